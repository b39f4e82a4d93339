// The two text forms of an instant that cross the database boundary:
//   database date  "YYYY/MM/DD HH24:MI:SS"  (19 characters)
//   SEED time      "YYYY,DDD,HH24:MI:SS"    (17 characters, DDD day of year)
// Parsing is strict: exactly the form, every field in range, years 1-9999.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rdb {

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

bool parse_database_date(std::string_view text, DateTime &out);
bool parse_seed_time(std::string_view text, DateTime &out);

std::string format_database_date(const DateTime &t);
int day_of_year(const DateTime &t);

// Seconds since 1970/01/01 00:00:00: increases with time, equal for equal
// instants, exact in a double for every year the form allows.
double nominal_seconds(const DateTime &t);

// The date and time of a number of seconds since 1970/01/01 00:00:00.
DateTime date_time_at(std::int64_t seconds);

// Days of a month of the proleptic Gregorian calendar.
int days_in_month(int year, int month);

}  // namespace rdb
