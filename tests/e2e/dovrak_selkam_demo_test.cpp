// Both reports on the demo database, as docs/reports.md runs them.
#include <gtest/gtest.h>

#include "tests/support/harness.hpp"

using harness::run;

namespace {

class ReportsOnDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::demo_sql()}); }
    static void TearDownTestSuite() { delete db; }
    static harness::TestDatabase *db;
};
harness::TestDatabase *ReportsOnDemo::db = nullptr;

TEST_F(ReportsOnDemo, FilterSequence)
{
    auto r = run("selkam", {"hill-fir"}, {{"RESPONSE_DB", db->alias()}});
    EXPECT_EQ(r.out,
              "\n Connected to ORACLE as user: vordadba\n\n"
              "\n Nb Filter: 2 -- Gain: 0.999899983 -- Frequency:  1.00"
              "\n\n\t Filter 1:\n\t ---------\n"
              "\n\t\t Gain: 1.000000000 Freq:  1.00 -- In: 200.00 Hz Out: 40.00 Hz"
              "\n\t\t Offset: 0 Delay:  0.06 Corr:  0.06"
              "\n\t\t\t Type: D -- In: COUNTS           Out: COUNTS          "
              "\n\t\t\t FIR Filter: FIR_DEC5     -- Symmetry: A -- Gain: 1.000000000"
              "\n\n\t Filter 2:\n\t ---------\n"
              "\n\t\t Gain: 0.999899983 Freq:  1.00 -- In: 40.00 Hz Out: 20.00 Hz"
              "\n\t\t Offset: 0 Delay:  0.35 Corr:  0.35"
              "\n\t\t\t Type: D -- In: COUNTS           Out: COUNTS          "
              "\n\t\t\t FIR Filter: FIR_DEC2     -- Symmetry: B -- Gain: 0.999899983"
              "\n\n\n Disconnecting from ORACLE ...\n\n");
    EXPECT_EQ(r.status, 0);
}

// Every item, with a stage of each kind whose units all have names.
TEST_F(ReportsOnDemo, EveryItem)
{
    auto r = run("dovrak", {"-serial", "*"}, {{"RESPONSE_DB", db->alias()}});
    EXPECT_EQ(r.status, 0);
    for (const char *line :
         {"\n STS-2      29031    -- Nb. component: 3 -- 1998/01/01 00:00:00  2599/12/31 23:59:59 ",
          "\n\t\t Type: A -- In: M/S          Out: V           \n\t\t Type: Z -- Real:  0.00 -- Imag:  0.00",
          "\n\t\t Type: P -- In: C            Out: V           \n\t\t Polynomial: Type: M",
          "\n\t\t\t Type: B -- In: V            Out: V           \n\t\t\t High-Pass filter: Type: BU",
          "\n\t\t\t Type: B -- In: V            Out: V           \n\t\t\t Low-Pass filter: Type: BU",
          "\n\t\t\t No response", "\n\n\n Found Datalogger ...\n",
          "\n\n --> Datalogger installed at HILL   XY  -- 2003/07/01 00:00:00  2599/12/31 23:59:59 .",
          "\n\n --> Sensor not installed.", "\n\n\n Disconnecting from ORACLE ...\n\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

}  // namespace
