#include "common/db/date_text.hpp"

#include <cstdio>

#include "common/time/calendar.hpp"

namespace rdb {
namespace {

// Digits at text[pos, pos+n) as a number, or -1.
int digits(std::string_view text, std::size_t pos, std::size_t n)
{
    int v = 0;
    for (std::size_t k = pos; k < pos + n; ++k) {
        char c = text[k];
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool time_of_day(std::string_view text, std::size_t pos, DateTime &t)
{
    if (text[pos + 2] != ':' || text[pos + 5] != ':') return false;
    t.hour = digits(text, pos, 2);
    t.minute = digits(text, pos + 3, 2);
    t.second = digits(text, pos + 6, 2);
    return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59;
}


}  // namespace

int days_in_month(int y, int m) { return calendar::days_in_month(y, m); }

DateTime date_time_at(std::int64_t seconds)
{
    std::int64_t z = (seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400));
    const std::int64_t rest = seconds - z * 86400;
    DateTime t;
    std::int64_t year = 0;
    calendar::civil_from_days(z, year, t.month, t.day);
    t.year = static_cast<int>(year);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

bool parse_database_date(std::string_view text, DateTime &out)
{
    if (text.size() != 19 || text[4] != '/' || text[7] != '/' || text[10] != ' ') return false;
    DateTime t;
    t.year = digits(text, 0, 4);
    t.month = digits(text, 5, 2);
    t.day = digits(text, 8, 2);
    if (t.year < 1 || t.month < 1 || t.month > 12) return false;
    if (t.day < 1 || t.day > days_in_month(t.year, t.month)) return false;
    if (!time_of_day(text, 11, t)) return false;
    out = t;
    return true;
}

bool parse_seed_time(std::string_view text, DateTime &out)
{
    if (text.size() != 17 || text[4] != ',' || text[8] != ',') return false;
    DateTime t;
    t.year = digits(text, 0, 4);
    int doy = digits(text, 5, 3);
    if (t.year < 1 || doy < 1 || doy > calendar::days_in_year(t.year)) return false;
    if (!time_of_day(text, 9, t)) return false;
    calendar::month_and_day(t.year, doy, t.month, t.day);
    out = t;
    return true;
}

std::string format_database_date(const DateTime &t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buf;
}

int day_of_year(const DateTime &t) { return calendar::day_of_year(t.year, t.month, t.day); }

double nominal_seconds(const DateTime &t)
{
    return static_cast<double>(calendar::days_from_civil(t.year, t.month, t.day)) * 86400.0 +
           t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

}  // namespace rdb
