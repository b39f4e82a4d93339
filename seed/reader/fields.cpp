#include "seed/reader/fields.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "seed/reader/message_text.hpp"

#include "common/time/calendar.hpp"

namespace seed {

std::string_view trim(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

namespace {

// The common case of a field, "-1.23456E-03", in parts (see Decimal);
// false when the text is not of that simple form. "5." and ".5" are left
// to from_chars, as are more than 19 digits, which may not fit.
bool parse_simple_decimal(std::string_view text, Decimal &d)
{
    const char *p = text.data(), *end = p + text.size();
    bool negative = p < end && *p == '-';
    if (negative) ++p;
    auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10; };
    // Up to 19 digits do not overflow; more are counted and refused.
    std::uint64_t mantissa = 0;
    const char *first = p;
    for (; p < end && digit(*p); ++p) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    if (p == first) return false;
    long digits = p - first, scale = 0;
    if (p < end && *p == '.') {
        const char *point = ++p;
        for (; p < end && digit(*p); ++p) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        if (p == point) return false;
        scale = -(p - point);
        digits += p - point;
    }
    if (digits > 19 || mantissa > (std::uint64_t(1) << 53)) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool minus = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        const char *exponent_first = p;
        long exponent = 0;
        for (; p < end && digit(*p); ++p) exponent = exponent * 10 + (*p - '0');
        if (p == exponent_first || p - exponent_first > 3) return false;
        scale += minus ? -exponent : exponent;
    }
    if (p != end || scale < -22 || scale > 22) return false;
    d.mantissa = mantissa;
    d.scale = static_cast<int>(scale);
    d.negative = negative;
    return true;
}

}  // namespace

bool parse_real(std::string_view text, double &value)
{
    Decimal parts;
    bool usual = false;
    return parse_real(text, value, parts, usual);
}

bool parse_real(std::string_view text, double &value, Decimal &parts, bool &usual)
{
    // from_chars takes no "+"; SEED writers put one in exponents only, but
    // other writers may sign the mantissa too.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;
    }
    if (text.empty() || text.front() == '+' || text.front() == ' ') return false;
    usual = parse_simple_decimal(text, parts);
    if (usual) {
        value = decimal_value(parts);
        return true;
    }
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool parse_unsigned(std::string_view text, long long &value)
{
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

namespace {

bool digits(std::string_view text, std::size_t at, std::size_t count, int &value)
{
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}


}  // namespace

bool parse_time(std::string_view text, std::int64_t &value)
{
    int year = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
    if (!digits(text, 0, 4, year) || text.size() < 8 || text[4] != ',' || !digits(text, 5, 3, day)) return false;
    if (day < 1 || day > calendar::days_in_year(year)) return false;
    std::size_t at = 8;
    // Each further part is optional, but only in this order.
    struct Part {
        char separator;
        int *target;
        int max;
    } parts[] = {{',', &hour, 23}, {':', &minute, 59}, {':', &second, 60}};
    for (const Part &part : parts) {
        if (at == text.size()) break;
        if (text[at] != part.separator || !digits(text, at + 1, 2, *part.target) || *part.target > part.max)
            return false;
        at += 3;
    }
    if (at < text.size()) {
        if (at != 17 || text[at] != '.') return false;
        std::size_t count = text.size() - at - 1;
        if (count < 1 || count > 4 || !digits(text, at + 1, count, fraction)) return false;
        for (std::size_t i = count; i < 4; ++i) fraction *= 10;
        at = text.size();
    }
    std::int64_t days = calendar::days_before_year(year) + day - 1;
    value = ((days * 86400 + hour * 3600 + minute * 60 + second) * 10000) + fraction;
    return true;
}

bool seed_time_from_unix(long long seconds, std::string &text)
{
    if (seconds < 0 || seconds > 253402300799LL) return false;  // 9999-12-31 23:59:59
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return false;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d,%03d,%02d:%02d:%02d", tm.tm_year + 1900, tm.tm_yday + 1,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    text = buffer;
    return true;
}

namespace {

std::string quoted(std::string_view text) { return quoted_value(text); }

}  // namespace

namespace {

// Whether every character is printable ASCII (0x20 to 0x7E), eight at a
// time: a byte below 0x20 or above 0x7E sets its top bit in one of the
// two tests (the bit tricks "has less" and "has more" on 64-bit words).
bool all_printable(std::string_view text)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL, tops = 0x8080808080808080ULL;
    std::size_t i = 0;
    std::uint64_t bad = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t x;
        std::memcpy(&x, text.data() + i, 8);
        bad |= ((x - ones * 0x20) & ~x) | (x + ones * (127 - 0x7e)) | x;
    }
    if (bad & tops) return false;
    for (; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7e) return false;
    }
    return true;
}

}  // namespace

int framed_type(const Line &line)
{
    const std::string_view t = line.text;
    bool printable = all_printable(t);
    for (std::size_t i = 0; !printable && i < t.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        if (c < 0x20 || c > 0x7e) {
            char buffer[96];
            std::snprintf(buffer, sizeof buffer, "character 0x%02X at column %zu is not printable ASCII", c, i + 1);
            throw Error(line.source, buffer);
        }
    }
    if (t.empty()) throw Error(line.source, "empty line");
    long long type = 0, length = 0;
    if (t.size() < 7 || !parse_unsigned(std::string_view(t).substr(0, 3), type))
        throw Error(line.source, "blockette type: " + quoted(t.substr(0, 3)) + " is not a 3-digit blockette type");
    if (!parse_unsigned(std::string_view(t).substr(3, 4), length))
        throw Error(line.source, "blockette length: " + quoted(t.substr(3, 4)) + " is not a 4-digit length");
    if (static_cast<std::size_t>(length) != t.size())
        throw Error(line.source, "blockette length: the length field says " + std::to_string(length) +
                                     " but the line has " + std::to_string(t.size()) + " characters");
    return static_cast<int>(type);
}

FieldReader::FieldReader(const Line &line, int type) : line_(line), text_(line.text), type_(type)
{
    if (framed_type(line) != type) throw Error(line.source, "not a blockette " + std::to_string(type));
}

void FieldReader::fail(int field, const std::string &message) const
{
    throw Error(line_.source, field_label(type_, field), message);
}

const seed_field::Field &FieldReader::layout(int field) const
{
    const seed_field::Field *f = seed_field::find(type_, field);
    if (!f) throw std::logic_error("no field " + std::to_string(field) + " in blockette " + std::to_string(type_));
    return *f;
}

std::string_view FieldReader::take(int field)
{
    auto width = static_cast<std::size_t>(layout(field).width);
    if (at_ + width > text_.size())
        fail(field, "the line ends inside this field (" + std::to_string(width) + " characters wanted at column " +
                        std::to_string(at_ + 1) + ")");
    std::string_view out = text_.substr(at_, width);
    at_ += width;
    return out;
}

std::string FieldReader::fixed(int field) { return std::string(take(field)); }

std::string FieldReader::code(int field)
{
    std::string_view raw = take(field);
    std::string_view t = trim(raw);
    if (t.empty()) fail(field, "blank");
    if (t.find('~') != std::string_view::npos) fail(field, quoted(raw) + " holds a \"~\"");
    return std::string(t);
}

char FieldReader::character(int field)
{
    std::string_view c = take(field);
    if (c[0] == ' ' || c[0] == '~') fail(field, quoted(c) + " is not a code letter");
    return c[0];
}

char FieldReader::character(int field, std::string_view allowed)
{
    char c = character(field);
    if (allowed.find(c) == std::string_view::npos) {
        std::string list;
        for (char a : allowed) list += (list.empty() ? "" : ", ") + std::string(1, a);
        fail(field, quoted(std::string_view(&c, 1)) + " is not one of " + list);
    }
    return c;
}

long FieldReader::integer(int field)
{
    std::string_view raw = take(field);
    long long value = 0;
    if (!parse_unsigned(trim(raw), value)) fail(field, quoted(raw) + " is not an unsigned integer");
    return static_cast<long>(value);
}

long FieldReader::count(int field, std::size_t group_width)
{
    long n = integer(field);
    if (static_cast<std::size_t>(n) * group_width > remaining())
        fail(field, "counts " + std::to_string(n) + " groups of " + std::to_string(group_width) +
                        " characters, but " + std::to_string(remaining()) + " characters follow");
    return n;
}

Number FieldReader::real(int field)
{
    std::string_view raw = take(field);
    std::string_view t = trim(raw);
    Number n;
    if (!parse_real(t, n.value)) fail(field, quoted(raw) + " is not a finite number");
    n.text = NumberText(t);
    return n;
}

double FieldReader::real_value(int field, Decimal &parts, bool &usual)
{
    std::string_view raw = take(field);
    double value = 0;
    if (!parse_real(trim(raw), value, parts, usual)) fail(field, quoted(raw) + " is not a finite number");
    return value;
}

Text FieldReader::variable(int field)
{
    const seed_field::Field &f = layout(field);
    std::size_t end = text_.find('~', at_);
    if (end == std::string_view::npos) fail(field, "no \"~\" ends this field");
    Text t{std::string(text_.substr(at_, end - at_)), static_cast<std::size_t>(f.width)};
    if (t.text.size() < static_cast<std::size_t>(f.least)) fail(field, "empty");
    at_ = end + 1;
    return t;
}

Time FieldReader::time(int field)
{
    Text t = variable(field);
    Time out{t.text, open_time};
    if (t.text.empty()) return out;
    if (!parse_time(t.text, out.value)) fail(field, quoted(t.text) + " is not a time YYYY,DDD,HH:MM:SS");
    return out;
}

void FieldReader::done()
{
    if (at_ < text_.size())
    {
        char label[96];
        std::snprintf(label, sizeof label, "B%03d", type_);
        throw Error(line_.source, label, std::to_string(text_.size() - at_) + " characters after the last field");
    }
}

}  // namespace seed
