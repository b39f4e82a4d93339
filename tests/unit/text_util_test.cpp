#include <gtest/gtest.h>

#include <cstring>

#include "common/db/date_text.hpp"
#include "common/cli/run_arguments.hpp"
#include "common/cli/text_util.hpp"

using namespace rdb;

TEST(RemoveBlank, StripsTrailingBlanksOnly)
{
    char a[] = "BHZ  ";
    EXPECT_STREQ(Remove_Blank(a), "BHZ");
    char b[] = "  ";
    EXPECT_STREQ(Remove_Blank(b), "");
    char c[] = " A";
    EXPECT_STREQ(Remove_Blank(c), " A");
    char d[] = "A\t";
    EXPECT_STREQ(Remove_Blank(d), "A\t");
    char e[] = "";
    EXPECT_EQ(Remove_Blank(e), e);
}

TEST(StationArgument, SplitsAndUpperCases)
{
    StationArgument a;
    ASSERT_EQ(split_station_argument("abc.xy:bhz", a), SplitResult::ok);
    EXPECT_STREQ(a.sta2, "ABC");
    EXPECT_STREQ(a.net2, "XY");
    EXPECT_STREQ(a.cha, "BHZ");
    ASSERT_EQ(split_station_argument("ABC.XY", a), SplitResult::ok);
    EXPECT_STREQ(a.cha, "");
    EXPECT_EQ(split_station_argument("ABC", a), SplitResult::no_network);
    EXPECT_EQ(split_station_argument("ABCDEFG.XY", a), SplitResult::station_too_long);
    EXPECT_EQ(split_station_argument("ABCDEF.XY", a), SplitResult::ok);
    EXPECT_EQ(split_station_argument("A.XYZXYZXYZ", a), SplitResult::network_too_long);
    EXPECT_EQ(split_station_argument("A.XYZXYZXY:BHZ", a), SplitResult::ok);
    EXPECT_EQ(split_station_argument("A.X:BHZBHZZ", a), SplitResult::channel_too_long);
}

TEST(DateText, StrictFormsAndDayOfYear)
{
    DateTime t;
    ASSERT_TRUE(parse_database_date("2000/12/31 23:59:59", t));
    EXPECT_EQ(day_of_year(t), 366);
    ASSERT_TRUE(parse_database_date("2001/02/01 13:45:10", t));
    EXPECT_EQ(day_of_year(t), 32);
    EXPECT_FALSE(parse_database_date("2001/02/29 00:00:00", t));
    EXPECT_FALSE(parse_database_date("2001-02-01 00:00:00", t));
    EXPECT_FALSE(parse_database_date("2001/02/01 24:00:00", t));
    EXPECT_FALSE(parse_database_date("2001/02/01 00:00:00 ", t));
    ASSERT_TRUE(parse_seed_time("2000,366,23:59:59", t));
    EXPECT_EQ(format_database_date(t), "2000/12/31 23:59:59");
    EXPECT_FALSE(parse_seed_time("2001,000,00:00:00", t));
    EXPECT_FALSE(parse_seed_time("2001,032,13:45", t));
}

TEST(DateText, NominalTimeOrdersInstants)
{
    DateTime a, b, c;
    ASSERT_TRUE(parse_database_date("1970/01/01 00:00:00", a));
    ASSERT_TRUE(parse_database_date("2599/12/31 23:59:59", b));
    ASSERT_TRUE(parse_database_date("3000/01/01 00:00:00", c));
    EXPECT_EQ(nominal_seconds(a), 0.0);
    EXPECT_LT(nominal_seconds(b), nominal_seconds(c));
    EXPECT_EQ(nominal_seconds(c) - nominal_seconds(b), 400.0 * 365 * 86400 + 97 * 86400 + 1 - 0);
}
