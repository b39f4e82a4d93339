// The calendar every part of the tool set counts days by: the proleptic
// Gregorian calendar, day-of-year numbering, and the open end of an epoch.
// No database and no text formats beyond the open end's three spellings.
#pragma once

#include <cstdint>

namespace calendar {

constexpr bool leap_year(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
constexpr int days_in_year(std::int64_t year) { return leap_year(year) ? 366 : 365; }
// month 1 to 12.
int days_in_month(std::int64_t year, int month);

// Days from 0000-01-01 to the first day of year (year >= 0).
constexpr std::int64_t days_before_year(std::int64_t year)
{
    return 365 * year + (year + 3) / 4 - (year + 99) / 100 + (year + 399) / 400;
}

// Day of year (1 to 366) of a date, and back.
int day_of_year(std::int64_t year, int month, int day);
void month_and_day(std::int64_t year, int day_of_year, int &month, int &day);

// Days from 1970-01-01 to a date (negative before), and back.
std::int64_t days_from_civil(std::int64_t year, int month, int day);
void civil_from_days(std::int64_t days, std::int64_t &year, int &month, int &day);

// An epoch is open when its end lies in this year or later; the database
// writes the open end as its last second of 2599, in its two forms.
constexpr int open_end_year = 2500;
constexpr const char *open_end_database = "2599/12/31 23:59:59";
constexpr const char *open_end_seed = "2599,365,23:59:59";

}  // namespace calendar
