#include "importer/dates.hpp"

#include <cstdio>

#include "common/db/date_text.hpp"

namespace importer {
namespace {

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
    rdb::DateTime t;
    t.year = static_cast<int>(year);
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return static_cast<Instant>(rdb::nominal_seconds(t));
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
    if (month < 1 || month > 12 || day < 1 || day > rdb::days_in_month(static_cast<int>(year), static_cast<int>(month)) || hour < 0 ||
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

std::string database_date(Instant t) { return rdb::format_database_date(rdb::date_time_at(t)); }

std::optional<Instant> parse_database_instant(std::string_view t)
{
    rdb::DateTime date;
    if (!rdb::parse_database_date(t, date)) return std::nullopt;
    return static_cast<Instant>(rdb::nominal_seconds(date));
}

Instant open_end() { return *parse_database_instant(open_end_text); }
Instant default_start() { return *parse_database_instant(default_start_text); }

}  // namespace importer
