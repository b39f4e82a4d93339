#include <gtest/gtest.h>

#include "convert_date.hpp"
#include "harness.hpp"

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
