#include "importer/sql_output.hpp"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstring>

#include "importer/errors.hpp"
#include "seed/reader/error.hpp"
#include "seed/files/output_file.hpp"

namespace importer {

std::string sql_text(std::string_view text)
{
    std::string out = "'";
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw Failure("internal error: a control character reached an SQL text literal");
        if (c == '\\') throw Failure("internal error: a backslash reached an SQL text literal");
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

std::string sql_real(double value)
{
    if (!std::isfinite(value)) throw Failure("internal error: a value that is not finite reached the SQL text");
    if (value == 0) value = 0.0;  // SQLite keeps no negative zero; neither backend gets one
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc()) throw Failure("internal error: a real that cannot be written");
    return std::string(buffer.data(), end);
}

std::string sql_integer(long long value) { return std::to_string(value); }

void Rows::add(std::initializer_list<std::string> values)
{
    std::string row = "(";
    for (const std::string &v : values) {
        if (row.size() > 1) row += ", ";
        row += v;
    }
    rows_.push_back(row + ")");
}

std::string Rows::text() const
{
    constexpr std::size_t per_statement = 200;
    std::string out;
    for (std::size_t first = 0; first < rows_.size(); first += per_statement) {
        out += "INSERT INTO " + table_ + " (" + columns_ + ") VALUES\n";
        std::size_t last = std::min(rows_.size(), first + per_statement);
        for (std::size_t k = first; k < last; ++k) out += " " + rows_[k] + (k + 1 < last ? ",\n" : ";\n");
    }
    return out;
}

SqlOutput::SqlOutput()
{
    file_ = std::tmpfile();
    if (!file_) throw Failure(std::string("cannot create a temporary file: ") + std::strerror(errno));
}

SqlOutput::~SqlOutput()
{
    if (file_) std::fclose(file_);
}

void SqlOutput::write(std::string_view text)
{
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
        throw Failure(std::string("cannot write the temporary file: ") + std::strerror(errno));
}

void SqlOutput::deliver(const seed::OutputTarget &target)
{
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0)
        throw Failure(std::string("cannot read back the temporary file: ") + std::strerror(errno));
    // A closed pipe is a failed write, reported like any other.
    if (!target.whole()) std::signal(SIGPIPE, SIG_IGN);
    try {
        seed::OutputFile out(target);
        std::array<char, 65536> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), file_)) > 0) out.write(std::string_view(buffer.data(), n));
        if (std::ferror(file_)) throw Failure(std::string("cannot read back the temporary file: ") + std::strerror(errno));
        out.commit();
    } catch (const seed::Error &e) {
        throw Failure(e.what());
    }
}

}  // namespace importer
