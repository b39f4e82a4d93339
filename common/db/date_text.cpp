#include "date_text.hpp"

#include <cstdio>

namespace rdb {
namespace {

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

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

// Days from 1970/01/01 to y/m/d (proleptic Gregorian calendar).
long days_from_civil(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

int days_in_month(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

DateTime date_time_at(std::int64_t seconds)
{
    std::int64_t z = (seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400));
    const std::int64_t rest = seconds - z * 86400;
    // Days to year, month and day: the inverse of days_from_civil.
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    DateTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
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
    if (t.year < 1 || doy < 1 || doy > (leap(t.year) ? 366 : 365)) return false;
    if (!time_of_day(text, 9, t)) return false;
    t.month = 1;
    while (doy > days_in_month(t.year, t.month)) doy -= days_in_month(t.year, t.month++);
    t.day = doy;
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

int day_of_year(const DateTime &t)
{
    int doy = t.day;
    for (int m = 1; m < t.month; ++m) doy += days_in_month(t.year, m);
    return doy;
}

double nominal_seconds(const DateTime &t)
{
    return static_cast<double>(days_from_civil(t.year, t.month, t.day)) * 86400.0 +
           t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

}  // namespace rdb
