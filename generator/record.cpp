#include "generator/record.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace quorvex {
namespace {

std::string formatted(const std::string &conversion_text, ...)
{
    va_list args, again;
    va_start(args, conversion_text);
    va_copy(again, args);
    char small[128];
    int n = std::vsnprintf(small, sizeof small, conversion_text.c_str(), args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        throw std::runtime_error("record formatting failed");
    }
    std::string out;
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(n));
    } else {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), conversion_text.c_str(), again);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
}

// "%W.PE" and "%W.Pf" without flags: std::to_chars gives printf's digits
// (both round the exact binary value), several times faster, which counts
// for FIRs of thousands of coefficients.
std::string real_field(double value, char conversion, int width, int precision)
{
    char buffer[512];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   conversion == 'E' ? std::chars_format::scientific : std::chars_format::fixed,
                                   precision);
    std::string out(buffer, ec == std::errc() ? end : buffer);
    if (conversion == 'E')
        for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (width > 0 && out.size() < static_cast<std::size_t>(width)) out.insert(0, static_cast<std::size_t>(width) - out.size(), ' ');
    return out;
}

// Why a text cannot stand in a field, or nullptr.
const char *unfit_text(std::string_view text)
{
    for (unsigned char c : text) {
        if (c == '~') return "holds \"~\", the field terminator";
        if (c < 0x20 || c == 0x7f) return "holds a control character";
        if (c > 0x7f) return "holds a byte outside printable ASCII";
    }
    return nullptr;
}

}  // namespace

std::string printable_text(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

void Record::vappend(const char *format, va_list *args)
{
    for (const char *p = format; *p;) {
        if (*p != '%' || p[1] == '%') {
            text_ += *p;
            p += *p == '%' ? 2 : 1;
            continue;
        }
        const char *conversion_begin = p++;
        bool left = false, flags = false;
        while (*p == '-' || *p == '0' || *p == '+' || *p == ' ' || *p == '#') {
            left |= *p == '-';
            flags = true;
            ++p;
        }
        int width = -1, precision = -1;
        if (std::isdigit(static_cast<unsigned char>(*p))) width = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
        if (*p == '.') {
            ++p;
            precision = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
        }
        const char conversion = *p++;
        const std::string conversion_text(conversion_begin, p);
        const int field = next_field_++;

        std::string out;
        std::string_view shown;  // the value as a message shows it
        const char *reason = nullptr;
        std::string why;
        switch (conversion) {
        case 'd':
            out = formatted(conversion_text, va_arg(*args, int));
            if (width > 0 && out.size() != static_cast<std::size_t>(width))
                why = "is wider than its " + std::to_string(width) + " characters";
            break;
        case 'c':
            out.assign(1, static_cast<char>(va_arg(*args, int)));
            reason = unfit_text(out);
            break;
        case 'f':
        case 'E': {
            double v = va_arg(*args, double);
            out = !flags && precision >= 0 ? real_field(v, conversion, width, precision) : formatted(conversion_text, v);
            if (!std::isfinite(v))
                why = "is not a finite number";
            else if (width > 0 && out.size() != static_cast<std::size_t>(width))
                why = "is wider than its " + std::to_string(width) + " characters";
            break;
        }
        case 's': {
            std::string_view v = va_arg(*args, const char *);
            std::size_t limit = width >= 0 && left ? static_cast<std::size_t>(width)
                                : precision >= 0   ? static_cast<std::size_t>(precision)
                                                   : std::string_view::npos;
            if (v.size() > limit) why = "is longer than its " + std::to_string(limit) + " characters";
            reason = unfit_text(v);
            shown = v;
            out.assign(v.substr(0, limit));
            // A code shorter than its field is filled with blanks on the right.
            if (limit != std::string_view::npos) out.resize(limit, ' ');
            break;
        }
        default:
            throw std::logic_error(std::string("record format conversion not supported: ") + conversion_text);
        }
        if (field == 1) blockette_ = std::atoi(out.c_str());
        if (reason) why = reason;
        if (conversion != 's') {
            shown = out;
            while (!shown.empty() && shown.front() == ' ') shown.remove_prefix(1);
        }
        if (!why.empty() && !problem_) problem_ = FieldProblem{blockette_, field, printable_text(shown), why};
        text_ += out;
    }
}

void Record::begin(const char *format, ...)
{
    text_.clear();
    problem_.reset();
    next_field_ = 1;
    va_list args;
    va_start(args, format);
    vappend(format, &args);
    va_end(args);
}

void Record::append(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vappend(format, &args);
    va_end(args);
}

void Record::append_group(int first_field, const char *format, ...)
{
    next_field_ = first_field;
    va_list args;
    va_start(args, format);
    vappend(format, &args);
    va_end(args);
}

const std::string &Record::finish()
{
    if (text_.size() < 7 || !fits())
        throw std::logic_error("blockette record of " + std::to_string(text_.size()) +
                               " characters cannot be framed");
    char count[16];
    std::snprintf(count, sizeof count, "%04d", static_cast<int>(text_.size()));
    text_.replace(3, 4, count, 4);
    return text_;
}

std::size_t formatted_size(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

}  // namespace quorvex
