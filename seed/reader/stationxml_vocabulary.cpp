#include "seed/reader/stationxml_vocabulary.hpp"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "common/time/calendar.hpp"
#include "seed/reader/fields.hpp"

namespace seed {

namespace {

constexpr Term channel_type_terms[] = {
    {'T', "TRIGGERED"}, {'C', "CONTINUOUS"},   {'H', "HEALTH"},      {'G', "GEOPHYSICAL"},
    {'W', "WEATHER"},   {'F', "FLAG"},         {'S', "SYNTHESIZED"}, {'I', "INPUT"},
    {'E', "EXPERIMENTAL"}, {'M', "MAINTENANCE"}, {'B', "BEAM"}};
constexpr Term pz_transfer_terms[] = {
    {'A', "LAPLACE (RADIANS/SECOND)"}, {'B', "LAPLACE (HERTZ)"}, {'D', "DIGITAL (Z-TRANSFORM)"}};
constexpr Term cf_transfer_terms[] = {{'A', "ANALOG (RADIANS/SECOND)"}, {'B', "ANALOG (HERTZ)"}, {'D', "DIGITAL"}};
constexpr Term fir_symmetry_terms[] = {{'A', "NONE"}, {'B', "ODD"}, {'C', "EVEN"}};

}  // namespace

const Terms channel_types{channel_type_terms};
const Terms pz_transfer_types{pz_transfer_terms};
const Terms cf_transfer_types{cf_transfer_terms};
const Terms fir_symmetries{fir_symmetry_terms};

const char *word_of(Terms terms, char code)
{
    for (const Term &t : terms)
        if (t.code == code) return t.word;
    return nullptr;
}

char code_of(Terms terms, std::string_view word)
{
    for (const Term &t : terms)
        if (word == t.word) return t.code;
    return 0;
}

std::string codes_listed(Terms terms, const char *last)
{
    std::string out;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (i > 0) out += i + 1 == terms.size() ? last : ", ";
        out += terms[i].code;
    }
    return out;
}

std::string words_listed(Terms terms)
{
    std::string out;
    for (const Term &t : terms) out += (out.empty() ? "" : ", ") + std::string(t.word);
    return out;
}

bool xsd_double_text(std::string_view t)
{
    // [+-]? (digits ("." digits*)? | "." digits) ([eE] [+-]? digits)?
    std::size_t at = 0;
    auto digits = [&] {
        std::size_t from = at;
        while (at < t.size() && t[at] >= '0' && t[at] <= '9') ++at;
        return at - from;
    };
    if (at < t.size() && (t[at] == '+' || t[at] == '-')) ++at;
    std::size_t whole = digits(), fraction = 0;
    if (at < t.size() && t[at] == '.') {
        ++at;
        fraction = digits();
    }
    if (whole == 0 && fraction == 0) return false;
    if (at < t.size() && (t[at] == 'e' || t[at] == 'E')) {
        ++at;
        if (at < t.size() && (t[at] == '+' || t[at] == '-')) ++at;
        if (digits() == 0) return false;
    }
    return at == t.size();
}

std::string xml_double(double value)
{
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), ec == std::errc() ? end : buffer.data());
}

std::string xml_double(const Number &number)
{
    return xsd_double_text(number.text) ? number.text.str() : xml_double(number.value);
}

namespace {

bool two_digits(const std::string &t, std::size_t at, int &value)
{
    if (at + 2 > t.size() || !std::isdigit(static_cast<unsigned char>(t[at])) ||
        !std::isdigit(static_cast<unsigned char>(t[at + 1])))
        return false;
    value = (t[at] - '0') * 10 + (t[at + 1] - '0');
    return true;
}


}  // namespace

std::string xml_date_time_text(int year, int month, int day, int hour, int minute, int second, const std::string &fraction)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
    return buffer + (fraction.empty() ? "" : "." + fraction) + "Z";
}

bool xml_date_time(const std::string &t, std::string &out)
{
    std::int64_t ignored = 0;
    if (!parse_time(t, ignored)) return false;
    int year = std::stoi(t.substr(0, 4)), day = std::stoi(t.substr(5, 3));
    int hour = 0, minute = 0, second = 0;
    if (t.size() > 8) two_digits(t, 9, hour);
    if (t.size() > 11) two_digits(t, 12, minute);
    if (t.size() > 14) two_digits(t, 15, second);
    std::string fraction = t.size() > 18 ? t.substr(18) : "";
    // xs:dateTime has no year 0 and no 60th second.
    if (year == 0 || second == 60) return false;
    int month = 0;
    calendar::month_and_day(year, day, month, day);
    out = xml_date_time_text(year, month, day, hour, minute, second, fraction);
    return true;
}

bool open_end(const Time &end)
{
    long long year = 0;
    return end.open() || (end.text.size() >= 4 && parse_unsigned(std::string_view(end.text).substr(0, 4), year) &&
                          year >= calendar::open_end_year);
}

}  // namespace seed
