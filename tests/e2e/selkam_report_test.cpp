// selkam on the inventory fixture, compared byte for byte on standard output.
#include <gtest/gtest.h>

#include "tests/support/harness.hpp"

using harness::run;

namespace {

const std::string connected = "\n Connected to ORACLE as user: vordadba\n\n";
const std::string closing = "\n\n\n Disconnecting from ORACLE ...\n\n";

class Selkam : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::fixture("inventory.sql")}); }
    static void TearDownTestSuite() { delete db; }

    static harness::RunResult selkam(const std::vector<std::string> &args)
    {
        return run("selkam", args, {{"RESPONSE_DB", db->alias()}});
    }

    static harness::TestDatabase *db;
};
harness::TestDatabase *Selkam::db = nullptr;

TEST_F(Selkam, UsageAndOverlongNameComeBeforeTheDatabase)
{
    for (auto args : {std::vector<std::string>{}, {"DEC100TO20", "x"}}) {
        auto r = selkam(args);
        EXPECT_EQ(r.out, "\n\n selkam <Filter sequence name>\n\n");
        EXPECT_EQ(r.status, 0);
    }
    auto r = run("selkam", {std::string(33, 'A')}, {{"RESPONSE_DB", "/nonexistent/none.db"}});
    EXPECT_EQ(r.out, "\n Error: Filter sequence name longer than 32 characters.\n\n");
    EXPECT_EQ(r.status, 1);
}

// Filter 1: FIR stages with unit names cut to 16 characters and FIR names to
// 12. Filter 2: every stage kind in the three-tab, 16-character form, the
// "F" stage with its FIR line. Gains show single-precision noise.
TEST_F(Selkam, SequenceWithEveryFilterAndItsResponseInAnyCase)
{
    const std::string expected =
        connected +
        "\n Nb Filter: 2 -- Gain: 0.987654328 -- Frequency: 20.00"
        "\n\n\t Filter 1:"
        "\n\t ---------\n"
        "\n\t\t Gain: 0.990000010 Freq: 40.00 -- In: 100.00 Hz Out: 50.00 Hz"
        "\n\t\t Offset: 0 Delay:  0.01 Corr:  0.01"
        "\n\t\t\t Type: D -- In: PA/S_LONG_UNIT_N Out: COUNTS          "
        "\n\t\t\t FIR Filter: SHORT        -- Symmetry: B -- Gain: 0.123456791"
        "\n\t\t\t Type: D -- In: COUNTS           Out: COUNTS          "
        "\n\t\t\t FIR Filter: FIR_DECIMATE -- Symmetry: A -- Gain: 0.990000010"
        "\n\n\t Filter 2:"
        "\n\t ---------\n"
        "\n\t\t Gain: 1.000000000 Freq: 10.00 -- In: 50.00 Hz Out: 20.00 Hz"
        "\n\t\t Offset: 2 Delay:  0.50 Corr:  0.50"
        "\n\t\t\t Type: A -- In: M/S              Out: V               "
        "\n\t\t\t Type: Z -- Real:  0.00 -- Imag:  0.00"
        "\n\t\t\t Type: P -- Real: -0.04 -- Imag:  0.04"
        "\n\t\t\t Type: P -- Real: -123.46 -- Imag:  0.00"
        "\n\t\t\t Type: B -- In: V                Out: V               "
        "\n\t\t\t High-Pass filter: Type: BU -- Nb. Pole: 2 -- Corner Freq:  0.01 -- Damping:  0.71"
        "\n\t\t\t Type: B -- In: V                Out: V               "
        "\n\t\t\t Low-Pass filter: Type: BE -- Nb. Pole: 4 -- Corner Freq: 40.00 -- Damping:  0.50"
        "\n\t\t\t Type: P -- In: V                Out: PA/S_LONG_UNIT_N"
        "\n\t\t\t Polynomial: Type: M -- Lower: -10.00 -- Upper: 10.00 -- Max. Error:  0.00 -- Nb Coeff: 3"
        "\n\t\t\t Coeff: 1 -- Value:  0.12"
        "\n\t\t\t Coeff: 2 -- Value:  1.50"
        "\n\t\t\t Coeff: 3 -- Value: -0.00"
        "\n\t\t\t Type: D -- In: V                Out: COUNTS          "
        "\n\t\t\t FIR Filter: FIR_DECIMATE -- Symmetry: A -- Gain: 0.990000010"
        "\n\t\t\t Type: Q -- In: COUNTS           Out: COUNTS          " +
        closing;
    for (std::string name : {"DEC100TO20", "dec100to20", "Dec100To20"}) {
        auto r = selkam({name});
        EXPECT_EQ(r.out, expected) << name;
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(Selkam, SequenceWithoutFilters)
{
    auto r = selkam({"empty"});
    EXPECT_EQ(r.out, connected + "\n Nb Filter: 0 -- Gain: 1.000000000 -- Frequency:  0.00" + closing);
    EXPECT_EQ(r.status, 0);
}

TEST_F(Selkam, MissingSequenceEndsWithOne)
{
    for (std::string name : {std::string("NOPE"), std::string("DEC100"), std::string(32, 'Z')}) {
        auto r = selkam({name});
        EXPECT_EQ(r.out, connected + "\n Sorry, this filter sequence is not in the database.\n\n") << name;
        EXPECT_EQ(r.status, 1);
    }
}

// Filter 2 has no row in the sequence, filter 3's filter does not exist:
// neither repeats filter 1's values, and the report goes on.
TEST_F(Selkam, MissingFilterRowsAreSaid)
{
    auto r = selkam({"HOLES"});
    EXPECT_EQ(r.out, connected +
                         "\n Nb Filter: 3 -- Gain: 1.000000000 -- Frequency:  1.00"
                         "\n\n\t Filter 1:"
                         "\n\t ---------\n"
                         "\n\t\t Gain: 0.500000000 Freq:  1.00 -- In: 20.00 Hz Out: 20.00 Hz"
                         "\n\t\t Offset: 0 Delay:  0.00 Corr:  0.00"
                         "\n\n\t Filter 2:"
                         "\n\t ---------\n"
                         "\n\t\t This filter is missing from the database."
                         "\n\n\t Filter 3:"
                         "\n\t ---------\n"
                         "\n\t\t This filter is missing from the database." +
                         closing);
    EXPECT_EQ(r.status, 0);
}

TEST_F(Selkam, NullLoadDateIsADatabaseError)
{
    harness::TestDatabase broken({harness::fixture("inventory.sql"),
                                  "UPDATE filter_sequence SET lddate = NULL WHERE name = 'EMPTY';"});
    auto r = run("selkam", {"EMPTY"}, {{"RESPONSE_DB", broken.alias()}});
    EXPECT_EQ(r.out.rfind(connected + "\nORACLE error detected:\nORA-01405: ", 0), 0u) << r.out;
    EXPECT_EQ(r.status, 1);
}

}  // namespace
