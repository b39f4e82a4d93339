#include <gtest/gtest.h>

#include <tuple>

#include "common/time/calendar.hpp"
#include "generator/convert_date.hpp"
#include "tests/support/harness.hpp"

TEST(ConvertDate, DatabaseDateToSeedTime)
{
    harness::TestDatabase database({});
    setenv("RESPONSE_DB", database.alias().c_str(), 1);
    rdb::Sql sql;
    testing::internal::CaptureStdout();
    sql.connect();
    testing::internal::GetCapturedStdout();
    char seed[32];
    quorvex::Convert_Date(sql, "2000/12/31 23:59:59", seed);
    EXPECT_STREQ(seed, "2000,366,23:59:59");
    quorvex::Convert_Date(sql, "2001/01/01 00:00:00", seed);
    EXPECT_STREQ(seed, "2001,001,00:00:00");
    quorvex::Convert_Date(sql, "2001/02/01 13:45:10", seed);
    EXPECT_STREQ(seed, "2001,032,13:45:10");
    EXPECT_EQ(sql.SQLCODE, 0);
    sql.commit_release();
    // Not a date: the run ends through the database error path, before a
    // blank day of the year can reach a record.
    rdb::Sql own;
    testing::internal::CaptureStdout();
    own.connect();
    testing::internal::GetCapturedStdout();
    try {
        quorvex::Convert_Date(own, "2001/02/30 00:00:00", seed);
        ADD_FAILURE() << "no end of the run";
    } catch (const rdb::RunEnd &end) {
        EXPECT_EQ(end.status(), 1);
        EXPECT_EQ(end.text().rfind("\nORACLE error detected:\n", 0), 0u) << end.text();
        EXPECT_NE(end.text().find("ORA-01861: "), std::string::npos) << end.text();
        EXPECT_EQ(end.release(), rdb::Release::rollback);
    }
}

// The calendar's three ways of counting days agree on every day of the
// years the tools admit, and day-of-year numbering goes both ways.
TEST(Calendar, EveryDayOfTheYearsOneToNineThousandNineHundredNinetyNine)
{
    const std::int64_t epoch = calendar::days_before_year(1970);
    std::int64_t days = calendar::days_before_year(1) - epoch;
    for (std::int64_t year = 1; year <= 9999; ++year) {
        ASSERT_EQ(calendar::days_before_year(year) - epoch, days) << year;
        ASSERT_EQ(calendar::days_in_year(year), year % 400 == 0 || (year % 4 == 0 && year % 100 != 0) ? 366 : 365);
        for (int doy = 1; doy <= calendar::days_in_year(year); ++doy, ++days) {
            int month = 0, day = 0;
            calendar::month_and_day(year, doy, month, day);
            ASSERT_EQ(calendar::day_of_year(year, month, day), doy);
            ASSERT_EQ(calendar::days_from_civil(year, month, day), days) << year << "-" << month << "-" << day;
            std::int64_t y = 0;
            int m = 0, d = 0;
            calendar::civil_from_days(days, y, m, d);
            ASSERT_EQ(std::tie(y, m, d), std::tie(year, month, day));
        }
    }
    EXPECT_EQ(calendar::days_from_civil(1970, 1, 1), 0);
    EXPECT_EQ(calendar::days_from_civil(2000, 3, 1), 11017);
}
