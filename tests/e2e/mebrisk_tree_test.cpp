// The whole chain Mebrisk -> Lintaro -> Quorvex on the demo database: the
// tree a request file makes equals the tree of direct Quorvex runs for the
// same epochs, and no request text is ever run as a command.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::run;

namespace {

const std::string demo_dir = DEMO_DIR;

class MebriskTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::demo_sql()}); }
    static void TearDownTestSuite() { delete db; }

    static harness::TestDatabase *db;
    harness::TempDir cwd;
};
harness::TestDatabase *MebriskTree::db = nullptr;

// The Quorvex runs the demo request asks for: the station over both of its
// epochs, BHZ over both, the other channels over the second epoch only.
const std::vector<std::vector<std::string>> demo_runs = {
    {"HILL.XY", "1998/01/01", "00:00:00", "s"},     {"HILL.XY", "2003/07/01", "00:00:00", "s"},
    {"HILL.XY:BHZ", "1998/01/01", "00:00:00", "c"}, {"HILL.XY:BHZ", "2003/07/01", "00:00:00", "c"},
    {"HILL.XY:BHN", "2003/07/01", "00:00:00", "c"}, {"HILL.XY:BHE", "2003/07/01", "00:00:00", "c"},
    {"HILL.XY:LHZ", "2003/07/01", "00:00:00", "c"},
};

TEST_F(MebriskTree, DemoRequestMakesTheTreeOfDirectGeneratorRuns)
{
    // Plain, then with the environment the children must inherit.
    for (Env extra : {Env{}, Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}}) {
        harness::TempDir batch, direct;
        harness::write_file(batch / "req", harness::read_file(demo_dir + "/req"));
        Env env = extra;
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", batch / "tree");
        auto r = run("Mebrisk", {}, env, batch.path());

        Env direct_env = extra;
        direct_env.emplace("RESPONSE_DB", db->alias());
        direct_env.emplace("DATA_ROOT", direct / "tree");
        bool any_failed = false;
        std::size_t at = 0;
        for (const auto &args : demo_runs) {
            any_failed |= run("Quorvex", args, direct_env, direct.path()).status != 0;
            // The same run, in the same order, in the batch.
            std::string command = "\n[" + harness::tools_dir() + "/Quorvex " + args[0] + " " + args[1] + " " +
                                  args[2] + " " + args[3] + "]\n";
            at = r.out.find(command, at);
            ASSERT_NE(at, std::string::npos) << command << r.out;
            at += command.size();
        }
        EXPECT_EQ(r.out.find("/Quorvex ", at), std::string::npos) << "more runs than requested";

        EXPECT_EQ(r.status, any_failed ? 1 : 0) << r.err;
        auto batch_tree = harness::read_tree(batch / "tree");
        auto direct_tree = harness::read_tree(direct / "tree");
        EXPECT_EQ(batch_tree, direct_tree);
        for (const auto &[path, text] : direct_tree) {
            ASSERT_TRUE(batch_tree.count(path)) << path;
            EXPECT_EQ(batch_tree[path], text) << path;
        }
    }
}

// Channel epochs that begin inside their station epoch (a station
// epoch's start run does not see them) reach the tree through runs in
// mode e: each once, with its own response, serial or four at once.
TEST_F(MebriskTree, EveryChannelEpochReachesTheTree)
{
    harness::TestDatabase network({harness::demo_sql(), harness::fixture("channel_epochs.sql")});
    std::string req;
    for (std::string cha : {"BHE", "BHN", "BHZ", "LHZ"})
        req += "EPO\tXY\t" + cha + "\t\t\t\t\t\t2004,001,00:00:00\t2012,001,00:00:00\n";
    std::map<std::string, harness::RunResult> batches;
    for (std::string jobs : {"1", "4"}) {
        const std::string dir = cwd / ("jobs" + jobs);
        std::filesystem::create_directories(dir);
        harness::write_file(dir + "/req", req);
        batches[jobs] = run("Mebrisk", {}, {{"RESPONSE_DB", network.alias()}, {"DATA_ROOT", "tree"}, {"RESPONSE_JOBS", jobs}},
                            dir);
    }
    const auto &serial = batches["1"];
    ASSERT_EQ(serial.status, 0) << serial.out << serial.err;
    EXPECT_EQ(batches["4"].out, serial.out);
    EXPECT_EQ(batches["4"].status, 0);
    const auto tree = harness::read_tree(cwd / "jobs1/tree");
    EXPECT_EQ(harness::read_tree(cwd / "jobs4/tree"), tree);

    // Ten runs at station epoch starts, five at the later channel starts.
    const std::string quorvex = "\n[" + harness::tools_dir() + "/Quorvex EPO.XY";
    std::string runs;
    for (std::size_t at = serial.out.find(quorvex); at != std::string::npos; at = serial.out.find(quorvex, at + 1))
        runs += serial.out.substr(at + quorvex.size(), serial.out.find(']', at) - at - quorvex.size()) + "\n";
    EXPECT_EQ(runs,
              " 2003/07/01 00:00:00 s\n 2010/01/01 00:00:00 s\n"
              ":BHE 2003/07/01 00:00:00 c\n:BHE 2005/03/15 00:00:00 e\n:BHE 2007/07/01 12:30:00 e\n"
              ":BHE 2010/01/01 00:00:00 c\n:BHN 2003/07/01 00:00:00 c\n:BHN 2005/03/15 00:00:00 e\n"
              ":BHN 2010/01/01 00:00:00 c\n:BHZ 2003/07/01 00:00:00 c\n:BHZ 2006/02/01 00:00:00 e\n"
              ":BHZ 2010/01/01 00:00:00 c\n:LHZ 2003/07/01 00:00:00 c\n:LHZ 2009/12/31 23:59:59 e\n"
              ":LHZ 2010/01/01 00:00:00 c\n");

    // The starts of each channel file's blockettes 52, in the order written:
    // every epoch once, but LHZ's second, which spans both station epochs
    // and is written at the second one's start again, as every channel
    // epoch open at a station epoch's start always was.
    std::map<std::string, std::string> starts;
    for (const auto &[path, text] : tree)
        for (const auto &line : harness::lines_of(text))
            if (line.rfind("052", 0) == 0) {
                std::size_t end = line.rfind('~', line.rfind('~') - 1), start = line.rfind('~', end - 1);
                starts[path] += line.substr(start + 1, end - start - 1) + " ";
            }
    EXPECT_EQ(starts, (std::map<std::string, std::string>{
                          {"EPO.XY/BHE./B052", "2003,182,00:00:00 2005,074,00:00:00 2007,182,12:30:00 2010,001,00:00:00 "},
                          {"EPO.XY/BHN./B052", "2003,182,00:00:00 2005,074,00:00:00 "},
                          {"EPO.XY/BHZ.00/B052", "2003,182,00:00:00 "},
                          {"EPO.XY/BHZ.10/B052", "2006,032,00:00:00 "},
                          {"EPO.XY/LHZ.00/B052", "2003,182,00:00:00 2009,365,23:59:59 2009,365,23:59:59 "}}));
    auto list = run("seedtree", {"list", cwd / "jobs1/tree"}, {});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.err, "seedtree: note: dropped 1 identical repeated epoch(s)\n");
    // Each epoch's own stage-1 gain, times the digitizer's 419430.
    std::string sensitivities;
    for (const auto &line : harness::sorted_lines(list.out))
        if (line.rfind("  ", 0) == 0) {
            std::size_t gain = line.find(" sensitivity ") + 13;
            sensitivities += line.substr(2, line.find(' ', 2) - 2) + " " + line.substr(gain, line.find(' ', gain) - gain) + "\n";
        }
    EXPECT_EQ(sensitivities, "BHE. 6.29145E+08\nBHE. 6.71088E+08\nBHE. 7.13031E+08\nBHE. 7.54974E+08\n"
                             "BHN. 6.29145E+08\nBHN. 6.92060E+08\nBHZ.00 6.29145E+08\nBHZ.10 6.50116E+08\n"
                             "LHZ.00 6.29145E+08\nLHZ.00 6.29564E+08\n");
}

TEST_F(MebriskTree, RequestTextIsNeverRunAsACommand)
{
    // Through a shell the station field would run touch, and the channel
    // field would redirect into x at either level of the chain.
    const std::string t1 = "2004,001,00:00:00", t2 = "2005,001,00:00:00";
    harness::write_file(cwd / "req", "AB;touch x\tXY\tBHZ\t\t\t\t\t\t" + t1 + "\t" + t2 + "\n" +
                                         "HILL\tXY\t;>x\t\t\t\t\t\t" + t1 + "\t" + t2 + "\n");
    auto r = run("Mebrisk", {}, {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", cwd / "tree"}}, cwd.path());
    for (std::string name : {"x", "x.XY", "HAR000"}) EXPECT_FALSE(harness::file_exists(cwd / name)) << name;
    EXPECT_NE(r.out.find("\n[" + harness::tools_dir() + "/Quorvex HILL.XY:;>x 2003/07/01 00:00:00 c]\n"),
              std::string::npos)
        << r.out;
    // The over-long station code is refused by Lintaro, in both of its runs.
    const std::string lintaro = harness::tools_dir() + "/Lintaro AB;touch x.XY";
    EXPECT_EQ(r.err, "Failed (exit status 1): " + lintaro + " " + t1 + " " + t2 + " s\n" +
                         "Failed (exit status 1): " + lintaro + ":BHZ " + t1 + " " + t2 + " c\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(MebriskTree, UnknownStationFailsItsRunsAndTheBatchGoesOn)
{
    const std::string t1 = "2004,001,00:00:00", t2 = "2005,001,00:00:00";
    harness::write_file(cwd / "req", "NONE\tXY\tBHZ\t\t\t\t\t\t" + t1 + "\t" + t2 + "\n" +
                                         "HILL\tXY\tBHZ\t\t\t\t\t\t" + t1 + "\t" + t2 + "\n");
    auto r = run("Mebrisk", {}, {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", cwd / "tree"}}, cwd.path());
    const std::string lintaro = harness::tools_dir() + "/Lintaro ";
    EXPECT_EQ(r.err, "Failed (exit status 1): " + lintaro + "NONE.XY " + t1 + " " + t2 + " s\n" +
                         "Failed (exit status 1): " + lintaro + "NONE.XY:BHZ " + t1 + " " + t2 + " c\n");
    EXPECT_NE(r.out.find("\n[" + harness::tools_dir() + "/Quorvex HILL.XY:BHZ 2003/07/01 00:00:00 c]\n"),
              std::string::npos);
    const std::string last = "\n Disconnecting from ORACLE ...\n\n\n";
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last) << "the closing line comes after the last run";
    EXPECT_EQ(r.status, 1);
}

// RESPONSE_JOBS runs Lintaro children at once and prints what a serial batch
// prints; a network cut into slices of whole stations, each run on its own
// (on other machines), gives the same tree once the station directories are
// copied together.
TEST_F(MebriskTree, ParallelRunsAndSlicesOfStationsGiveTheSerialBatch)
{
    harness::TestDatabase network({harness::demo_sql(), harness::demo_station_copies(4)});
    auto lines = [](std::vector<std::string> stations) {
        std::string req;
        for (const auto &sta : stations)
            for (std::string cha : {"BHZ", "BHE", "LHZ"})
                req += sta + "\tXY\t" + cha + "\t\t\t\t\t\t1999,001,00:00:00\t2005,001,00:00:00\n";
        return req;
    };
    auto batch = [&](const harness::TestDatabase &db, const std::string &dir, const std::string &req,
                     const std::string &jobs) {
        std::filesystem::create_directories(dir);
        harness::write_file(dir + "/req", req);
        return run("Mebrisk", {}, {{"RESPONSE_DB", db.alias()}, {"DATA_ROOT", "tree"}, {"RESPONSE_JOBS", jobs}}, dir);
    };

    // A failing station among the others: its failed lines keep their place.
    const std::string whole = lines({"ST1", "NONE", "ST2", "ST3", "ST4"});
    for (auto [db, req] : {std::pair{&network, whole}, std::pair{db, harness::read_file(demo_dir + "/req")}}) {
        auto serial = batch(*db, cwd / "serial", req, "1");
        auto parallel = batch(*db, cwd / "parallel", req, "4");
        EXPECT_EQ(parallel.out, serial.out);
        EXPECT_EQ(parallel.err, serial.err);
        EXPECT_EQ(parallel.status, serial.status);
        EXPECT_EQ(harness::read_tree(cwd / "parallel/tree"), harness::read_tree(cwd / "serial/tree"));
        if (db == &network) {
            EXPECT_EQ(serial.status, 1);
            EXPECT_NE(serial.err.find("NONE.XY:BHE"), std::string::npos) << serial.err;
            EXPECT_NE(serial.out.find("Quorvex ST4.XY:LHZ"), std::string::npos);
        }
        std::filesystem::remove_all(cwd / "serial");
        std::filesystem::remove_all(cwd / "parallel");
    }
    EXPECT_EQ(batch(network, cwd / "serial", whole, "0").err,
              "Error: RESPONSE_JOBS must be a whole number from 1 to 64, not \"0\"\n");

    auto one_machine = batch(network, cwd / "one", whole, "1");
    batch(network, cwd / "a", lines({"ST1", "ST2"}), "2");
    batch(network, cwd / "b", lines({"NONE", "ST3", "ST4"}), "2");
    EXPECT_EQ(harness::read_file(cwd / "a/tree/H.A"), harness::read_file(cwd / "b/tree/H.A"));
    for (std::string sta : {"ST3.XY", "ST4.XY"})
        std::filesystem::copy(cwd / "b/tree/" + sta, cwd / "a/tree/" + sta, std::filesystem::copy_options::recursive);
    EXPECT_EQ(harness::read_tree(cwd / "a/tree"), harness::read_tree(cwd / "one/tree"));
}

}  // namespace
