// The abbreviation dictionary H.A, and reading the lines of tree files.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "seed/reader/inventory.hpp"

namespace seed {

std::vector<Line> read_lines(const std::string &path, bool may_be_missing)
{
    std::vector<Line> lines;
    // Without blocking: a name that leads to a FIFO or a device is refused
    // once open, never waited on.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && may_be_missing) return lines;
        throw Error(Source{path, 0}, std::string("cannot read: ") + std::strerror(errno));
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error(Source{path, 0}, "not a regular file");
    }
    // The kernel's files look regular, and reading one (/proc/kmsg) may
    // wait or take what others would read.
    struct statfs fs{};
    if (::fstatfs(fd, &fs) == 0 && (fs.f_type == PROC_SUPER_MAGIC || fs.f_type == SYSFS_MAGIC)) {
        ::close(fd);
        throw Error(Source{path, 0}, "a file of the kernel (/proc, /sys), not of a header tree");
    }
    // The file whole into one text that its lines view, read by large
    // blocks; no blockette line is longer than its 4-digit length field, so
    // a longer one ends the reading at once, however big the file.
    // The text without zeroing it first: each block is read straight into
    // it, and realloc moves a large one without copying.
    struct Text {
        char *data = nullptr;
        std::size_t size = 0, capacity = 0;
        ~Text() { std::free(data); }
        void reserve(std::size_t n)
        {
            void *more = std::realloc(data, n);
            if (!more) throw std::bad_alloc();
            data = static_cast<char *>(more);
            capacity = n;
        }
    } text;
    constexpr std::size_t block = 1 << 20;
    // Room for the file as its size says, up to a few blocks: a larger
    // (or sparse) file grows the text as it is read, never ahead of it.
    text.reserve(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), 4 * block) + 1);
    std::vector<std::size_t> ends;  // of the lines, each at a newline
    std::size_t line_start = 0;
    for (;;) {
        std::size_t had = text.size;
        if (text.capacity == had) text.reserve(std::max(2 * had, had + block));
        ssize_t n = ::read(fd, text.data + had, std::min(text.capacity - had, block));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int saved = errno;
            ::close(fd);
            throw Error(Source{path, 0}, std::string("cannot read: ") + std::strerror(saved));
        }
        if (n == 0) break;
        text.size += static_cast<std::size_t>(n);
        for (std::size_t at = had; at < text.size;) {
            const void *newline = std::memchr(text.data + at, '\n', text.size - at);
            std::size_t end = newline ? static_cast<std::size_t>(static_cast<const char *>(newline) - text.data)
                                      : text.size;
            if (end - line_start > max_line_length) {
                ::close(fd);
                throw Error(Source{path, static_cast<int>(ends.size()) + 1},
                            "longer than " + std::to_string(max_line_length) + " characters, which no blockette line is");
            }
            if (!newline) break;
            ends.push_back(end);
            line_start = at = end + 1;
        }
    }
    ::close(fd);
    if (line_start < text.size) ends.push_back(text.size);
    if (text.capacity > text.size + text.size / 4 + 4096) text.reserve(text.size + 1);  // grown while read

    // The path held apart from the text: a place kept after the lines (a
    // message, a finding) does not keep the file's text alive.
    const FileName name(path);
    const char *data = text.data;
    text.data = nullptr;  // the lines own it now (freed here too if sharing it fails)
    std::shared_ptr<const void> owner(data, [](const char *p) { std::free(const_cast<char *>(p)); });
    lines.reserve(ends.size());
    std::size_t begin = 0;
    int number = 0;
    for (std::size_t end : ends) {
        lines.push_back(Line{LineText(owner, std::string_view(data + begin, end - begin)), Source{name, ++number}});
        begin = end + 1;
    }
    return lines;
}

const UnitEntry *Dictionary::unit(int key) const
{
    auto it = units.find(key);
    return it == units.end() ? nullptr : &it->second;
}

const Abbreviation *Dictionary::abbreviation(int key) const
{
    auto it = abbreviations.find(key);
    return it == abbreviations.end() ? nullptr : &it->second;
}

namespace {

std::string place(const Source &s) { return s.file + ":" + std::to_string(s.line); }

// Adds entry under key; a key defined twice is an error naming the field
// that holds it (type, field) and the first definition.
template <typename Map, typename Entry>
void insert_once(Map &map, int key, Entry &&entry, const Source &source, int type, int field)
{
    auto [it, inserted] = map.emplace(key, std::forward<Entry>(entry));
    if (!inserted)
        throw Error(source, field_label(type, field),
                    "key " + std::to_string(key) + " is already defined at " + place(it->second.line.source));
}

bool same_leading_fields(const Fir &a, const Fir &b)
{
    return a.name.text == b.name.text && a.symmetry == b.symmetry && a.input_units == b.input_units &&
           a.output_units == b.output_units;
}

void require_unit(const Dictionary &d, int key, const Line &line, const std::string &field)
{
    if (key != 0 && !d.unit(key))
        throw Error(line.source, field, "unit lookup code " + std::to_string(key) + " has no blockette 34 in H.A");
}

}  // namespace

Dictionary read_dictionary(const std::string &path) { return parse_dictionary(read_lines(path, false)); }

Dictionary parse_dictionary(std::vector<Line> lines)
{
    Dictionary d;
    d.lines = std::move(lines);
    int previous_fir = -1;  // key of the line just before, when it was a 41
    for (const Line &line : d.lines) {
        int type = framed_type(line);
        int fir_key = -1;
        switch (type) {
        case 30: {
            FormatEntry e = parse_b030(line);
            insert_once(d.formats, e.code, std::move(e), line.source, 30, 4);
            break;
        }
        case 31: {
            CommentEntry e = parse_b031(line);
            insert_once(d.comments, e.key, std::move(e), line.source, 31, 3);
            break;
        }
        case 33: {
            Abbreviation e = parse_b033(line);
            insert_once(d.abbreviations, e.key, std::move(e), line.source, 33, 3);
            break;
        }
        case 34: {
            UnitEntry e = parse_b034(line);
            insert_once(d.units, e.key, std::move(e), line.source, 34, 3);
            break;
        }
        case 41: {
            FirBlockette b = parse_b041(line);
            fir_key = b.key;
            auto it = d.firs.find(b.key);
            // A long FIR goes on in the next blockette 41 of the same key.
            if (it != d.firs.end() && previous_fir == b.key && same_leading_fields(it->second.fir, b.fir)) {
                it->second.fir.coefficients.append(b.fir.coefficients);
                it->second.lines.push_back(line);
            } else if (it != d.firs.end()) {
                throw Error(line.source, field_label(41, 3),
                            "key " + std::to_string(b.key) + " is already defined at " +
                                place(it->second.lines.front().source));
            } else {
                d.firs.emplace(b.key, FirEntry{b.key, std::move(b.fir), {line}});
            }
            break;
        }
        case 42: {
            PolynomialBlockette b = parse_b042(line);
            if (d.firs.count(b.key))
                throw Error(line.source, field_label(42, 3),
                            "key " + std::to_string(b.key) + " is already a blockette 41 at " +
                                place(d.firs.at(b.key).lines.front().source));
            auto [it, inserted] = d.polynomials.emplace(b.key, PolynomialEntry{b.key, std::move(b.polynomial), line});
            if (!inserted)
                throw Error(line.source, field_label(42, 3),
                            "key " + std::to_string(b.key) + " is already defined at " + place(it->second.line.source));
            break;
        }
        default:
            if (known_type(type))
                throw Error(line.source, "blockette type", "blockette " + line.text.substr(0, 3) + " does not belong in H.A");
            throw Error(line.source, "blockette type", "unknown blockette type " + line.text.substr(0, 3));
        }
        previous_fir = fir_key;
    }
    // A 41 key met after a 42 of the same key.
    for (const auto &[key, entry] : d.firs)
        if (d.polynomials.count(key))
            throw Error(entry.lines.front().source, field_label(41, 3),
                        "key " + std::to_string(key) + " is already a blockette 42 at " +
                            place(d.polynomials.at(key).line.source));

    for (const auto &[key, e] : d.comments) require_unit(d, e.level_units, e.line, field_label(31, 6));
    for (const auto &[key, e] : d.firs)
        for (const Line &line : e.lines) {
            require_unit(d, e.fir.input_units, line, field_label(41, 6));
            require_unit(d, e.fir.output_units, line, field_label(41, 7));
        }
    for (const auto &[key, e] : d.polynomials) {
        require_unit(d, e.polynomial.input_units, e.line, field_label(42, 6));
        require_unit(d, e.polynomial.output_units, e.line, field_label(42, 7));
    }
    return d;
}

}  // namespace seed
