// Mebrisk's reading of "req", the merging of its lines into station and
// channel requests, and the Lintaro runs it starts, with a stand-in Lintaro
// that echoes its argument vector so that the whole output can be compared.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::run;

namespace {

const std::string station_heading = "\n Generating station blockettes:\n\n";
const std::string channel_heading = "\n Generating channel blockettes:\n\n";

std::string pad5(const std::string &s) { return s.size() >= 5 ? s : std::string(5 - s.size(), ' ') + s; }

// One request line: the ten fields joined by TABs.
std::string line(const std::string &sta, const std::string &net, const std::string &cha, const std::string &start,
                 const std::string &end, const std::string &middle = "\t\t\t\t")
{
    return sta + "\t" + net + "\t" + cha + "\t" + middle + "\t" + start + "\t" + end + "\n";
}

class MebriskRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        harness::write_file(tools / "Lintaro", harness::echo_tool);
        std::filesystem::permissions(tools / "Lintaro", std::filesystem::perms::owner_all);
    }

    harness::RunResult mebrisk(const std::string &req, std::vector<std::string> args = {}, Env env = {})
    {
        harness::write_file(cwd / "req", req);
        env.emplace("RESPONSE_TOOLS_DIR", tools.path());
        return run("Mebrisk", args, env, cwd.path());
    }

    // What Mebrisk prints for a station row, or for a channel row when cha
    // is given, run by the stand-in.
    std::string row(const std::string &sta, const std::string &net, const std::string &start, const std::string &end,
                    const std::string *cha = nullptr)
    {
        std::string s = start.substr(0, 17), e = end.substr(0, 17);
        std::string code = sta + "." + net + (cha ? ":" + *cha : "");
        std::string mode = cha ? "c" : "s";
        return pad5(sta) + " " + pad5(net) + " " + (cha ? pad5(*cha) + " " : "") + s + " " + e + "\n" + "\n[" +
               tools.path() + "/Lintaro " + code + " " + s + " " + e + " " + mode + "]\n" + "<4 {" + code + "} {" +
               s + "} {" + e + "} {" + mode + "}>\n";
    }
    std::string chan(const std::string &sta, const std::string &net, std::string cha, const std::string &start,
                     const std::string &end)
    {
        return row(sta, net, start, end, &cha);
    }

    harness::TempDir tools, cwd;
};

const std::string t1 = "2001,001,00:00:00", t5 = "2001,005,00:00:00", t10 = "2001,010,00:00:00",
                  t20 = "2001,020,00:00:00";

TEST_F(MebriskRequest, WindowsOfOneStationAndChannelMergeIntoTheirHull)
{
    for (std::vector<std::string> args : {std::vector<std::string>{}, {"0"}, {"1"}, {"7x", "ignored"}}) {
        auto r = mebrisk(line("ABC", "XY", "BHZ", t1, t10) + line("ABC", "XY", "BHZ", t5, t20), args);
        EXPECT_EQ(r.out, station_heading + row("ABC", "XY", t1, t20) + channel_heading +
                             chan("ABC", "XY", "BHZ", t1, t20) + "\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
    }
    // Windows that do not overlap still give one hull.
    auto r = mebrisk(line("ABC", "XY", "BHZ", t10, t20) + line("ABC", "XY", "BHZ", t1, t5));
    EXPECT_EQ(r.out,
              station_heading + row("ABC", "XY", t1, t20) + channel_heading + chan("ABC", "XY", "BHZ", t1, t20) + "\n");
}

TEST_F(MebriskRequest, FieldsThreeToSevenTakeNoPartInAnyKey)
{
    auto r = mebrisk(line("ABC", "XY", "BHZ", t1, t10, "00\t20\tM\t1\tfirst") +
                     line("ABC", "XY", "BHZ", t5, t20, "10\t40\tD\t2\tsecond"));
    EXPECT_EQ(r.out,
              station_heading + row("ABC", "XY", t1, t20) + channel_heading + chan("ABC", "XY", "BHZ", t1, t20) + "\n");
}

TEST_F(MebriskRequest, RowsKeepTheOrderOfFirstOccurrenceStationsFirst)
{
    auto r = mebrisk(line("ST2", "XY", "BHZ", t5, t10) + line("ST1", "XY", "BHN", t1, t5) +
                     line("ST2", "XY", "BHN", t10, t20) + line("ST1", "YY", "BHN", t1, t5) +
                     line("ST1", "XY", "BHN", t5, t20));
    EXPECT_EQ(r.out, station_heading + row("ST2", "XY", t5, t20) + row("ST1", "XY", t1, t20) +
                         row("ST1", "YY", t1, t5) + channel_heading + chan("ST2", "XY", "BHZ", t5, t10) +
                         chan("ST1", "XY", "BHN", t1, t20) + chan("ST2", "XY", "BHN", t10, t20) +
                         chan("ST1", "YY", "BHN", t1, t5) + "\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(MebriskRequest, LongestSeedCodesAndLongFieldsAreCarriedWhole)
{
    // Times are compared whole and cut to the SEED time only when printed
    // and passed on; a line far longer than any fixed buffer is one line.
    const std::string long_end = t20 + ".0000" + std::string(400, 'x');
    auto r = mebrisk(line("ABCDE", "XY", "BHZ", t5 + "9", t10, std::string(300, 'm') + "\t\t\t\t") +
                     line("ABCDE", "XY", "BHZ", t5, long_end));
    EXPECT_EQ(r.out, station_heading + row("ABCDE", "XY", t5, long_end) + channel_heading +
                         chan("ABCDE", "XY", "BHZ", t5, long_end) + "\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(MebriskRequest, LastLineWithoutNewlineIsRead)
{
    std::string req = line("ABC", "XY", "BHZ", t1, t10);
    req.pop_back();
    auto r = mebrisk(req);
    EXPECT_EQ(r.out,
              station_heading + row("ABC", "XY", t1, t10) + channel_heading + chan("ABC", "XY", "BHZ", t1, t10) + "\n");
}

TEST_F(MebriskRequest, LineWithoutTenFieldsStopsTheRunBeforeAnyChild)
{
    const std::string good = line("ABC", "XY", "BHZ", t1, t10);
    const std::string nine = "ABC\tXY\tBHZ\t\t\t\t\t" + t1 + "\t" + t10 + "\n";
    // In place, the buffer shows the first field only; copies leave it whole.
    auto r = mebrisk(good + nine + good);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error scanning line, expected 10, found 9\nLine:\tABC");
    EXPECT_EQ(r.status, 1);
    r = mebrisk(good + nine, {"1"});
    EXPECT_EQ(r.err, "Error scanning line, expected 10, found 9\nLine:\t" + nine.substr(0, nine.size() - 1));
    EXPECT_EQ(r.status, 1);

    r = mebrisk(good + "\n" + good);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error scanning line, expected 10, found 0\nLine:\t");
    EXPECT_EQ(r.status, 1);

    r = mebrisk(good + line("ABC", "XY", "BHZ", t1, t10 + "\textra"), {"2"});
    EXPECT_EQ(r.err, "Error scanning line, expected 10, found 11\nLine:\tABC\tXY\tBHZ\t\t\t\t\t\t" + t1 + "\t" + t10 +
                         "\textra");
    EXPECT_EQ(r.status, 1);
}

TEST_F(MebriskRequest, MissingOrEmptyRequestFile)
{
    auto r = run("Mebrisk", {}, {{"RESPONSE_TOOLS_DIR", tools.path()}}, cwd.path());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error opening file req\n");
    EXPECT_EQ(r.status, 1);

    r = mebrisk("");
    EXPECT_EQ(r.out, station_heading + channel_heading + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);

    // A "req" that opens but cannot be read is not an empty request.
    harness::TempDir dir_cwd;
    std::filesystem::create_directory(dir_cwd / "req");
    r = run("Mebrisk", {}, {{"RESPONSE_TOOLS_DIR", tools.path()}}, dir_cwd.path());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error reading file req: Is a directory\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(MebriskRequest, FailedRunsAreNamedAndEndTheBatchWithOne)
{
    // Run by run, and three at a time (the tree's dictionary exists, so the
    // runs may overlap): the same bytes.
    harness::write_file(cwd / "H.A", "");
    for (std::string jobs : {"1", "3"}) {
        auto r = mebrisk(line("BAD", "XY", "BHZ", t1, t10) + line("SIG", "XY", "BHZ", t1, t10) +
                             line("OK", "XY", "BHZ", t1, t10),
                         {}, {{"FAKE_FAIL", "BAD.XY"}, {"FAKE_KILL", "SIG.XY:BHZ"}, {"RESPONSE_JOBS", jobs},
                              {"DATA_ROOT", cwd.path()}});
        EXPECT_EQ(r.out, station_heading + row("BAD", "XY", t1, t10) + row("SIG", "XY", t1, t10) +
                             row("OK", "XY", t1, t10) + channel_heading + chan("BAD", "XY", "BHZ", t1, t10) +
                             chan("SIG", "XY", "BHZ", t1, t10) + chan("OK", "XY", "BHZ", t1, t10) + "\n");
        const std::string lintaro = tools.path() + "/Lintaro ";
        EXPECT_EQ(r.err, "Failed (exit status 3): " + lintaro + "BAD.XY " + t1 + " " + t10 + " s\n" +
                             "Failed (killed by signal 9): " + lintaro + "SIG.XY:BHZ " + t1 + " " + t10 + " c\n");
        EXPECT_EQ(r.status, 1);
    }
}

TEST_F(MebriskRequest, AChildFloodingStandardErrorNeitherBlocksTheBatchNorTheReader)
{
    auto r = mebrisk(line("LOUD", "XY", "BHZ", t1, t10), {}, {{"FAKE_FLOOD", "LOUD.XY"}});
    EXPECT_EQ(r.out, station_heading + row("LOUD", "XY", t1, t10) + channel_heading +
                         chan("LOUD", "XY", "BHZ", t1, t10) + "\n");
    EXPECT_EQ(r.err, std::string(1048576, 'e'));
    EXPECT_EQ(r.status, 0);
}

TEST_F(MebriskRequest, FieldsReachTheChildAsDataNeverAsShellText)
{
    // Each formatted word is one argument, however many blanks, quotes or
    // command separators it holds.
    auto r = mebrisk(line("AB;touch x", "XY", "$(touch y)", "'" + t1, t10 + " z"));
    EXPECT_EQ(r.out, station_heading + row("AB;touch x", "XY", "'" + t1, t10 + " z") + channel_heading +
                         chan("AB;touch x", "XY", "$(touch y)", "'" + t1, t10 + " z") + "\n");
    EXPECT_EQ(r.status, 0);
    for (std::string name : {"x", "x.XY", "y"}) EXPECT_FALSE(harness::file_exists(cwd / name)) << name;
}

}  // namespace
