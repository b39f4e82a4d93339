#include "dates.hpp"

#include <cstdio>

namespace importer {
namespace {

bool leap(long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(long y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Days from 1970-01-01 to y-m-d, and back (H. Hinnant's civil algorithms).
std::int64_t days_from_civil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, std::int64_t &y, int &m, int &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

// n digits at t[at], or -1.
long digits(std::string_view t, std::size_t at, std::size_t n)
{
    if (at + n > t.size()) return -1;
    long v = 0;
    for (std::size_t k = at; k < at + n; ++k) {
        if (t[k] < '0' || t[k] > '9') return -1;
        v = v * 10 + (t[k] - '0');
    }
    return v;
}

constexpr Instant first_instant = -62135596800;  // 0001-01-01T00:00:00Z
constexpr Instant last_instant = 253402300799;   // 9999-12-31T23:59:59Z

std::optional<Instant> from_fields(long year, int month, int day, int hour, int minute, int second)
{
    return static_cast<Instant>(days_from_civil(year, month, day)) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace

std::optional<Instant> parse_xml_date_time(std::string_view t)
{
    // Year: four digits or more, no sign (the database has no year 0 or
    // before), no leading zero beyond four digits.
    std::size_t at = 0;
    while (at < t.size() && t[at] >= '0' && t[at] <= '9') ++at;
    if (at < 4 || at > 9 || (at > 4 && t[0] == '0')) return std::nullopt;
    long year = digits(t, 0, at);
    if (t.size() < at + 15 || t[at] != '-' || t[at + 3] != '-' || t[at + 6] != 'T' || t[at + 9] != ':' ||
        t[at + 12] != ':')
        return std::nullopt;
    long month = digits(t, at + 1, 2), day = digits(t, at + 4, 2);
    long hour = digits(t, at + 7, 2), minute = digits(t, at + 10, 2), second = digits(t, at + 13, 2);
    if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, static_cast<int>(month)) || hour < 0 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    at += 15;
    bool fraction_zero = true;
    if (at < t.size() && t[at] == '.') {
        std::size_t from = ++at;
        for (; at < t.size() && t[at] >= '0' && t[at] <= '9'; ++at)
            if (t[at] != '0') fraction_zero = false;
        if (at == from) return std::nullopt;
    }
    // 24:00:00 is the end of the day.
    if (hour > 24 || (hour == 24 && (minute != 0 || second != 0 || !fraction_zero))) return std::nullopt;
    long offset = 0;
    if (at < t.size() && t[at] == 'Z') {
        ++at;
    } else if (at < t.size() && (t[at] == '+' || t[at] == '-')) {
        long oh = digits(t, at + 1, 2), om = digits(t, at + 4, 2);
        if (at + 6 > t.size() || t[at + 3] != ':' || oh < 0 || om < 0 || om > 59 || oh > 14 || (oh == 14 && om != 0))
            return std::nullopt;
        offset = (t[at] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
        at += 6;
    }
    if (at != t.size()) return std::nullopt;
    Instant local = *from_fields(year, static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour),
                                 static_cast<int>(minute), static_cast<int>(second));
    Instant utc = local - offset;
    if (utc < first_instant || utc > last_instant) return std::nullopt;
    return utc;
}

std::string database_date(Instant t)
{
    std::int64_t days = t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
    std::int64_t rest = t - days * 86400;
    std::int64_t year = 0;
    int month = 0, day = 0;
    civil_from_days(days, year, month, day);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld/%02d/%02d %02d:%02d:%02d", static_cast<long long>(year), month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

std::optional<Instant> parse_database_instant(std::string_view t)
{
    if (t.size() != 19 || t[4] != '/' || t[7] != '/' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
        return std::nullopt;
    long year = digits(t, 0, 4), month = digits(t, 5, 2), day = digits(t, 8, 2);
    long hour = digits(t, 11, 2), minute = digits(t, 14, 2), second = digits(t, 17, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, static_cast<int>(month)) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    return from_fields(year, static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour),
                       static_cast<int>(minute), static_cast<int>(second));
}

Instant open_end() { return *parse_database_instant(open_end_text); }
Instant default_start() { return *parse_database_instant(default_start_text); }

}  // namespace importer
