// print_response_sequence on the inventory fixture: stages whose detail is
// missing and a missing input unit (the full forms are in the e2e tests).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/harness.hpp"
#include "reports/response_sequence.hpp"

namespace {

class ResponseSequence : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db = new harness::TestDatabase({harness::fixture("inventory.sql"), R"(
            -- Sequence 50: the first stage's input unit has no name.
            INSERT INTO response VALUES (50, 1, 'H', 1, 98, 1, 'A'), (50, 2, 'H', 1, 1, 1, 'A');
        )"});
        setenv("RESPONSE_DB", db->alias().c_str(), 1);
        sql = new rdb::Sql;
        testing::internal::CaptureStdout();
        sql->connect();
        std::fflush(stdout);
        testing::internal::GetCapturedStdout();
    }
    static void TearDownTestSuite()
    {
        if (sql) sql->commit_release();
        delete sql;
        delete db;
    }

    static std::string print(std::int32_t seqresp_id, const char *indent, int unit_width, bool with_fir)
    {
        reports::ResponseBuffers buffers;
        testing::internal::CaptureStdout();
        reports::print_response_sequence(*sql, buffers, seqresp_id, indent, unit_width, with_fir);
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    static harness::TestDatabase *db;
    static rdb::Sql *sql;
};
harness::TestDatabase *ResponseSequence::db = nullptr;
rdb::Sql *ResponseSequence::sql = nullptr;

TEST_F(ResponseSequence, MissingDetailRowsLeaveTheStageLineOnly)
{
    const std::string stage = "\n\t\t Type: A -- In: M/S          Out: M/S         ";
    const std::string expected = stage + stage + stage + stage + stage +
                                 "\n\t\t Polynomial: Type: M -- Lower:  0.00 -- Upper:  1.00 -- Max. Error:  0.00 -- Nb Coeff: 0" +
                                 stage;
    EXPECT_EQ(print(21, reports::two_tabs, 12, false), expected);
    EXPECT_EQ(print(21, reports::two_tabs, 12, true), expected);
}

TEST_F(ResponseSequence, NothingForAnEmptySequenceOrAMissingFirstUnit)
{
    EXPECT_EQ(print(41, reports::two_tabs, 12, false), "");
    EXPECT_EQ(print(50, reports::three_tabs, 16, true), "");
    // The stage cursors were closed: the same sequences print again.
    EXPECT_EQ(print(20, reports::two_tabs, 12, false),
              "\n\t\t Type: A -- In: M/S          Out: V           "
              "\n\t\t High-Pass filter: Type: BU -- Nb. Pole: 2 -- Corner Freq:  0.01 -- Damping:  0.71");
}

}  // namespace
