// Lintaro's command line, interval checks, widening to whole epochs and the
// generator runs it starts. Most cases run a stand-in generator that echoes
// its argument vector, so that the whole standard output can be compared;
// the last ones run the real one.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::run;

namespace {

const std::string connected = "\n Connected to ORACLE as user: vordadba\n\n";
const std::string disconnect = "\n Disconnecting from ORACLE ...\n\n";

struct Epoch {
    std::string on, off;
};
const Epoch fiv[] = {
    {"1995/01/01 00:00:00", "1996/12/31 23:59:59"}, {"1997/01/01 00:00:00", "1998/12/31 23:59:59"},
    {"2000/01/01 00:00:00", "2001/12/31 23:59:59"}, {"2002/01/01 00:00:00", "2003/12/31 23:59:59"},
    {"2004/01/01 00:00:00", "2599/12/31 23:59:59"},
};

std::string conversion(const std::string &seed, const std::string &date)
{
    return "\n{" + seed + " --> " + date + "}\n";
}

class LintaroInterval : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::fixture("drivers.sql")}); }
    static void TearDownTestSuite() { delete db; }

    void SetUp() override
    {
        harness::write_file(tools / "Quorvex", harness::echo_tool);
        std::filesystem::permissions(tools / "Quorvex", std::filesystem::perms::owner_all);
    }

    // Lintaro with the stand-in generator.
    harness::RunResult lintaro(const std::vector<std::string> &args, Env env = {})
    {
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", cwd / "root");
        env.emplace("RESPONSE_TOOLS_DIR", tools.path());
        return run("Lintaro", args, env, cwd.path());
    }

    // What Lintaro prints for one epoch run by the stand-in.
    std::string epoch_run(const std::string &arg, const Epoch &e, const std::string &mode)
    {
        std::string date = e.on.substr(0, 10), time = e.on.substr(11);
        return "\n Generating response for time interval " + e.on + " --> " + e.off + "\n" + "<4 {" + arg +
               "} {" + date + "} {" + time + "} {" + mode + "}>\n" + "\n[" + tools.path() + "/Quorvex " +
               arg + " " + e.on + " " + mode + "]\n";
    }

    // ... and for a start of channel epochs inside a station epoch.
    std::string channel_epochs_run(const std::string &arg, const std::string &start)
    {
        return "\n Generating channel epochs starting " + start + "\n" + "<4 {" + arg + "} {" + start.substr(0, 10) +
               "} {" + start.substr(11) + "} {e}>\n" + "\n[" + tools.path() + "/Quorvex " + arg + " " + start +
               " e]\n";
    }

    static harness::TestDatabase *db;
    harness::TempDir tools, cwd;
};
harness::TestDatabase *LintaroInterval::db = nullptr;

TEST_F(LintaroInterval, UsageAndMissingNetworkEndWithZeroBeforeConnecting)
{
    const std::string usage =
        "\n\n Lintaro <sta.net[:chan]> [<YYYY,DDD,HH:MM:SS> <YYYY,DDD,HH:MM:SS> <a|s|c>]\n"
        "\n a = ALL -- s = STATION -- c = CHANNEL."
        "\n Environment variable DATA_ROOT specifies the root path and name."
        "\n Environment variable USE_LOOKUP set --> Use blockettes 41 & 60 instead of 61."
        "\n Environment variable USE_ABPOLY set --> Use blockettes 42 & 60 instead of 62.\n\n";
    for (auto args : {std::vector<std::string>{}, {"FIV.XY", "2000,001,00:00:00"},
                      {"FIV.XY", "2000,001,00:00:00", "2000,002,00:00:00"}, {"a", "b", "c", "d", "e"}}) {
        auto r = lintaro(args);
        EXPECT_EQ(r.out, usage);
        EXPECT_EQ(r.status, 0);
    }
    for (auto args : {std::vector<std::string>{"FIV"}, {"FIV", "2000,001,00:00:00", "2000,002,00:00:00", "a"}}) {
        auto r = lintaro(args);
        EXPECT_EQ(r.out, "\n Error: Network code missing.\n\n");
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(LintaroInterval, OverlongCodesAreRefusedBeforeConnecting)
{
    struct Case {
        std::string arg, out;
    } cases[] = {
        {"FIVEEPO.XY", "\n Error: Station code longer than 6 characters.\n\n"},
        {"AB;touch x.XY", "\n Error: Station code longer than 6 characters.\n\n"},
        {"FIV.XYXYXYXYX", "\n Error: Network code longer than 8 characters.\n\n"},
        {"FIV.XY:BHZBHZB", "\n Error: Channel code longer than 6 characters.\n\n"},
    };
    for (const auto &c : cases) {
        for (auto args : {std::vector<std::string>{c.arg}, {c.arg, "2000,001,00:00:00", "2000,002,00:00:00", "a"}}) {
            auto r = lintaro(args);
            EXPECT_EQ(r.out, c.out) << c.arg;
            EXPECT_EQ(r.status, 1);
        }
    }
    // The longest codes that fit are accepted (and then simply unknown).
    auto r = lintaro({"ABCDEF.ABCDEFGH:ABCDEF"});
    EXPECT_EQ(r.out, connected + "\n" + disconnect);
    EXPECT_EQ(r.status, 1);
}

TEST_F(LintaroInterval, ListingPrintsEveryEpochAndEndsWithOne)
{
    auto r = lintaro({"fiv.xy:bhz"});
    std::string expected = connected;
    for (const auto &e : fiv) expected += "\n FIV   \tXY      \t" + e.on + "\t" + e.off;
    EXPECT_EQ(r.out, expected + "\n" + disconnect);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(harness::file_exists(cwd / "root"));
}

TEST_F(LintaroInterval, EqualStartAndEndRunTheEpochHoldingThatInstant)
{
    auto r = lintaro({"FIV.XY", "2000,100,12:00:00", "2000,100,12:00:00", "a"});
    EXPECT_EQ(r.out, connected + conversion("2000,100,12:00:00", "2000/04/09 12:00:00") +
                         conversion("2000,100,12:00:00", "2000/04/09 12:00:00") + epoch_run("FIV.XY", fiv[2], "a") +
                         "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(LintaroInterval, IntervalCoveringAllEpochsRunsEachInOrder)
{
    auto r = lintaro({"FIV.XY", "1990,001,00:00:00", "2700,001,00:00:00", "s"});
    std::string expected = connected + conversion("1990,001,00:00:00", "1990/01/01 00:00:00") +
                           conversion("2700,001,00:00:00", "2700/01/01 00:00:00");
    for (const auto &e : fiv) expected += epoch_run("FIV.XY", e, "s");
    EXPECT_EQ(r.out, expected + "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);
}

TEST_F(LintaroInterval, EpochsAreTakenWholeBetweenTheEpochsHoldingStartAndEnd)
{
    // Third and fourth of five epochs, each run at its own start.
    auto r = lintaro({"FIV.XY", "2000,100,12:00:00", "2002,200,00:00:00", "c"});
    EXPECT_EQ(r.out, connected + conversion("2000,100,12:00:00", "2000/04/09 12:00:00") +
                         conversion("2002,200,00:00:00", "2002/07/19 00:00:00") + epoch_run("FIV.XY", fiv[2], "c") +
                         epoch_run("FIV.XY", fiv[3], "c") + "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);
}

TEST_F(LintaroInterval, StartInAGapGoesBackToTheFirstEpoch)
{
    auto r = lintaro({"FIV.XY", "1999,100,00:00:00", "2000,100,12:00:00", "a"});
    EXPECT_EQ(r.out, connected + conversion("1999,100,00:00:00", "1999/04/10 00:00:00") +
                         conversion("2000,100,12:00:00", "2000/04/09 12:00:00") + epoch_run("FIV.XY", fiv[0], "a") +
                         epoch_run("FIV.XY", fiv[1], "a") + epoch_run("FIV.XY", fiv[2], "a") + "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);
}

TEST_F(LintaroInterval, EndInAGapGoesOnToTheLastEpoch)
{
    auto r = lintaro({"FIV.XY", "1997,100,00:00:00", "1999,100,00:00:00", "a"});
    std::string expected = connected + conversion("1997,100,00:00:00", "1997/04/10 00:00:00") +
                           conversion("1999,100,00:00:00", "1999/04/10 00:00:00");
    for (int k = 1; k < 5; ++k) expected += epoch_run("FIV.XY", fiv[k], "a");
    EXPECT_EQ(r.out, expected + "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);
}

// After each station epoch's run, one run in mode e per later start of a
// channel epoch inside it, in date order, a start shared by two channels
// once; for the channel of the argument only; none in mode s. A failed one
// is named and counted like any other.
TEST_F(LintaroInterval, ChannelEpochsInsideAStationEpochGetRunsOfTheirOwn)
{
    const Epoch chg[] = {{"2000/01/01 00:00:00", "2000/12/31 23:59:59"}, {"2001/01/01 00:00:00", "2599/12/31 23:59:59"}};
    const std::string head = connected + conversion("2000,100,00:00:00", "2000/04/09 00:00:00") +
                             conversion("2002,001,00:00:00", "2002/01/01 00:00:00");
    auto r = lintaro({"CHG.XY", "2000,100,00:00:00", "2002,001,00:00:00", "a"}, {{"FAKE_FAIL", "2001/05/05"}});
    EXPECT_EQ(r.out, head + epoch_run("CHG.XY", chg[0], "a") + channel_epochs_run("CHG.XY", "2000/03/01 12:00:00") +
                         channel_epochs_run("CHG.XY", "2000/07/01 00:00:00") +
                         channel_epochs_run("CHG.XY", "2000/12/31 23:59:59") + epoch_run("CHG.XY", chg[1], "a") +
                         channel_epochs_run("CHG.XY", "2001/05/05 00:00:00") + "\n\n" + disconnect);
    EXPECT_EQ(r.err, "Failed (exit status 3): " + tools.path() + "/Quorvex CHG.XY 2001/05/05 00:00:00 e\n");
    EXPECT_EQ(r.status, 1);

    r = lintaro({"chg.xy:bhz", "2000,100,00:00:00", "2002,001,00:00:00", "c"});
    EXPECT_EQ(r.out, head + epoch_run("chg.xy:bhz", chg[0], "c") +
                         channel_epochs_run("chg.xy:bhz", "2000/07/01 00:00:00") + epoch_run("chg.xy:bhz", chg[1], "c") +
                         "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);

    r = lintaro({"CHG.XY:BHE", "2000,100,00:00:00", "2002,001,00:00:00", "s"});
    EXPECT_EQ(r.out, head + epoch_run("CHG.XY:BHE", chg[0], "s") + epoch_run("CHG.XY:BHE", chg[1], "s") + "\n\n" +
                         disconnect);
    EXPECT_EQ(r.status, 0);
}

TEST_F(LintaroInterval, LowerCaseArgumentIsPassedOnUnchanged)
{
    auto r = lintaro({"fiv.xy:bhz", "2002,200,00:00:00", "2002,200,00:00:00", "c"});
    EXPECT_EQ(r.out, connected + conversion("2002,200,00:00:00", "2002/07/19 00:00:00") +
                         conversion("2002,200,00:00:00", "2002/07/19 00:00:00") +
                         epoch_run("fiv.xy:bhz", fiv[3], "c") + "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);
}

TEST_F(LintaroInterval, StartAfterEndIsRefused)
{
    auto r = lintaro({"FIV.XY", "2002,200,00:00:00", "2000,100,12:00:00", "a"});
    EXPECT_EQ(r.out, connected + conversion("2002,200,00:00:00", "2002/07/19 00:00:00") +
                         conversion("2000,100,12:00:00", "2000/04/09 12:00:00") +
                         "\n End date has to be greater than start date.\n\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(LintaroInterval, IntervalOutsideAllEpochsFindsNoDataEvenWithAWrongMode)
{
    for (std::string mode : {"a", "x"}) {
        auto r = lintaro({"FIV.XY", "1990,001,00:00:00", "1991,001,00:00:00", mode});
        EXPECT_EQ(r.out, connected + conversion("1990,001,00:00:00", "1990/01/01 00:00:00") +
                             conversion("1991,001,00:00:00", "1991/01/01 00:00:00") +
                             "\n No data found for this station at this date.\n\n");
        EXPECT_EQ(r.status, 1);
        r = lintaro({"FIV.XY", "2600,001,00:00:00", "2601,001,00:00:00", mode});
        EXPECT_EQ(r.out, connected + conversion("2600,001,00:00:00", "2600/01/01 00:00:00") +
                             conversion("2601,001,00:00:00", "2601/01/01 00:00:00") +
                             "\n No data found for this station at this date.\n\n");
        EXPECT_EQ(r.status, 1);
    }
}

TEST_F(LintaroInterval, WrongModeIsRefusedAfterTheIntervalChecks)
{
    for (std::string mode : {"A", "all", ""}) {
        auto r = lintaro({"FIV.XY", "2000,100,12:00:00", "2000,100,12:00:00", mode});
        EXPECT_EQ(r.out, connected + conversion("2000,100,12:00:00", "2000/04/09 12:00:00") +
                             conversion("2000,100,12:00:00", "2000/04/09 12:00:00") +
                             "\n Error: Argument has to be <a | s | c>.\n\n");
        EXPECT_EQ(r.status, 1);
    }
}

TEST_F(LintaroInterval, InvalidSeedTimeEndsTheRunBeforeAnyChild)
{
    // Day 366 of a common year, a database date instead of a SEED time, an
    // over-long text: each a database error at its conversion.
    for (std::string bad : {"2001,366,00:00:00", "2001/01/01 00:00:00", "2001,001,00:00:00 and more", ""}) {
        auto r = lintaro({"FIV.XY", bad, "2002,200,00:00:00", "a"});
        EXPECT_EQ(r.out.rfind(connected + "\nORACLE error detected:\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("ORA-01861: "), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find('{'), std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - 2), " \n");
        EXPECT_EQ(r.status, 1);

        r = lintaro({"FIV.XY", "2000,100,12:00:00", bad, "a"});
        EXPECT_EQ(r.out.rfind(connected + conversion("2000,100,12:00:00", "2000/04/09 12:00:00") +
                                  "\nORACLE error detected:\n",
                              0),
                  0u)
            << r.out;
        EXPECT_NE(r.out.find("ORA-01861: "), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Generating"), std::string::npos);
        EXPECT_EQ(r.status, 1);
    }
}

TEST_F(LintaroInterval, StationWithoutEpochsIsADatabaseError)
{
    auto r = lintaro({"NONE.XY", "2000,100,12:00:00", "2002,200,00:00:00", "a"});
    EXPECT_NE(r.out.find("\nORACLE error detected:\nORA-01405: "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Generating"), std::string::npos);
    EXPECT_EQ(r.status, 1);
}

TEST_F(LintaroInterval, FailedChildrenDoNotStopTheRunButEndItWithOne)
{
    // The second epoch's run exits 3, the fourth's is killed.
    auto r = lintaro({"FIV.XY", "1990,001,00:00:00", "2700,001,00:00:00", "a"},
                     {{"FAKE_FAIL", "1997/01/01"}, {"FAKE_KILL", "2002/01/01"}});
    std::string expected = connected + conversion("1990,001,00:00:00", "1990/01/01 00:00:00") +
                           conversion("2700,001,00:00:00", "2700/01/01 00:00:00");
    for (const auto &e : fiv) expected += epoch_run("FIV.XY", e, "a");
    EXPECT_EQ(r.out, expected + "\n\n" + disconnect);
    EXPECT_EQ(r.err, "Failed (exit status 3): " + tools.path() + "/Quorvex FIV.XY 1997/01/01 00:00:00 a\n" +
                         "Failed (killed by signal 9): " + tools.path() + "/Quorvex FIV.XY 2002/01/01 00:00:00 a\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(LintaroInterval, MissingGeneratorIsAFailedChild)
{
    std::filesystem::remove(tools / "Quorvex");
    auto r = lintaro({"FIV.XY", "2000,100,12:00:00", "2000,100,12:00:00", "a"});
    EXPECT_NE(r.out.find("\n[" + tools.path() + "/Quorvex FIV.XY 2000/01/01 00:00:00 a]\n\n\n" + disconnect),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "Failed (not started: No such file or directory): " + tools.path() +
                         "/Quorvex FIV.XY 2000/01/01 00:00:00 a\n");
    EXPECT_EQ(r.status, 1);
}

// The real generator, found next to Lintaro.
TEST_F(LintaroInterval, RealGeneratorRunsPerEpochAndAFailingOneIsCounted)
{
    Env env{{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", cwd / "root"}};
    auto r = run("Lintaro", {"nld.xy", "2000,100,00:00:00", "2002,100,00:00:00", "s"}, env, cwd.path());
    const std::string bin = harness::tools_dir();
    // The middle epoch's load date is NULL: that run fails, the others go on.
    for (std::string on : {"2000/01/01", "2001/01/01", "2002/01/01"})
        EXPECT_NE(r.out.find("\n[" + bin + "/Quorvex nld.xy " + on + " 00:00:00 s]\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nORACLE error detected:\nORA-01405: "), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 2 - disconnect.size()), "\n\n" + disconnect);
    EXPECT_EQ(r.err, "Failed (exit status 1): " + bin + "/Quorvex nld.xy 2001/01/01 00:00:00 s\n");
    EXPECT_EQ(r.status, 1);

    r = run("Lintaro", {"FIV.XY", "2000,100,00:00:00", "2002,100,00:00:00", "s"}, env, cwd.path());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
