// respdb export end to end, on the backend of the pass: the tree it writes
// for a selection equals the tree Mebrisk writes for the same request, each
// record once (seedtree's documents of both are the same bytes); workers
// give the bytes of one; a value the generator refuses stops the export
// with its message and nothing written, or, with --keep-going, leaves out
// what it refuses and names it; selection by wildcards, window and blank
// location; the progress bar only on a terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::run;

namespace {

namespace fs = std::filesystem;

const Env fixed_time = {{"SOURCE_DATE_EPOCH", "1700000000"}};

// A request file of every channel of stations over one window.
std::string request(const std::vector<std::string> &stations, const std::vector<std::string> &channels,
                    const std::string &start, const std::string &end)
{
    std::string req;
    for (const auto &sta : stations)
        for (const auto &cha : channels) req += sta + "\tXY\t" + cha + "\t\t\t\t\t\t" + start + "\t" + end + "\n";
    return req;
}

class RespdbExport : public ::testing::Test {
protected:
    harness::RunResult mebrisk(const harness::TestDatabase &db, const std::string &req, const std::string &tree,
                               Env env = {})
    {
        const std::string dir = cwd / ("batch-" + std::to_string(++batches));
        fs::create_directories(dir);
        harness::write_file(dir + "/req", req);
        env["RESPONSE_DB"] = db.alias();
        env["DATA_ROOT"] = tree;
        return run("Mebrisk", {}, env, dir);
    }

    harness::RunResult respdb(const harness::TestDatabase &db, std::vector<std::string> args, Env env = {})
    {
        args.insert(args.begin(), "export");
        env["RESPONSE_DB"] = db.alias();
        for (const auto &[k, v] : fixed_time) env[k] = v;
        return run("respdb", args, env, cwd.path());
    }

    std::string stationxml(const std::string &tree)
    {
        auto r = run("seedtree", {"stationxml", tree}, fixed_time);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    harness::TempDir cwd;
    int batches = 0;
};

// The demo over both station epochs, plain and with dictionary references,
// and the channel epochs that begin inside their station epoch: the same
// tree as Mebrisk's but for its repeats, and the same StationXML.
TEST_F(RespdbExport, TreeIsTheBatchTreeEachRecordOnce)
{
    harness::TestDatabase db({harness::demo_sql(), harness::fixture("channel_epochs.sql")});
    for (Env flags : {Env{}, Env{{"USE_LOOKUP", ""}}, Env{{"USE_ABPOLY", ""}}}) {
        const std::string tag = std::to_string(batches);
        auto batch = mebrisk(db, request({"HILL"}, {"BHZ", "BHN", "BHE", "LHZ", "LDO"}, "1999,001,00:00:00", "2005,001,00:00:00"),
                             cwd / ("mebrisk" + tag), flags);
        ASSERT_EQ(batch.status, 0) << batch.err;
        auto r = respdb(db, {"--station", "HILL", "--start", "1999-01-01", "--end", "2005,001,00:00:00", "--tree",
                             cwd / ("export" + tag), "--stationxml", cwd / ("export" + tag + ".xml"), "--volume",
                             cwd / ("export" + tag + ".seed")},
                        flags);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(harness::read_tree(cwd / ("export" + tag)), harness::read_tree(cwd / ("mebrisk" + tag)));
        // The documents of the records in memory are seedtree's of the batch's tree.
        EXPECT_EQ(harness::read_file(cwd / ("export" + tag + ".xml")), stationxml(cwd / ("mebrisk" + tag)));
        auto volume = run("seedtree", {"volume", cwd / ("mebrisk" + tag), "-o", cwd / ("mebrisk" + tag + ".seed")}, fixed_time);
        ASSERT_EQ(volume.status, 0) << volume.err;
        EXPECT_EQ(harness::read_file(cwd / ("export" + tag + ".seed")), harness::read_file(cwd / ("mebrisk" + tag + ".seed")));
    }

    auto batch = mebrisk(db, request({"EPO"}, {"BHE", "BHN", "BHZ", "LHZ"}, "2004,001,00:00:00", "2012,001,00:00:00"),
                         cwd / "epo-mebrisk");
    ASSERT_EQ(batch.status, 0) << batch.err;
    auto r = respdb(db, {"--network", "XY", "--station", "EPO", "--start", "2004-01-01T00:00:00Z", "--end",
                         "2012-01-01", "--tree", cwd / "epo-export", "--stationxml", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto exported = harness::read_tree(cwd / "epo-export"), batched = harness::read_tree(cwd / "epo-mebrisk");
    EXPECT_EQ(r.out, stationxml(cwd / "epo-mebrisk"));
    EXPECT_EQ(stationxml(cwd / "epo-export"), r.out);
    // LHZ's second epoch spans both station epochs: the batch writes it twice.
    auto lines = harness::lines_of(batched.at("EPO.XY/LHZ.00/B052"));
    ASSERT_EQ(lines.size(), 21u);
    lines.resize(14);
    EXPECT_EQ(harness::lines_of(exported.at("EPO.XY/LHZ.00/B052")), lines);
    exported.erase("EPO.XY/LHZ.00/B052");
    batched.erase("EPO.XY/LHZ.00/B052");
    EXPECT_EQ(exported, batched);
    EXPECT_EQ(run("seedtree", {"list", cwd / "epo-export"}, {}).err, "") << "no repeats to drop";
}

// A generated network: any number of workers gives the bytes of one, and
// the selection picks by wildcards, window and blank location.
TEST_F(RespdbExport, WorkersAndSelection)
{
    harness::TestDatabase db({harness::demo_sql(), harness::demo_station_copies(5)});
    auto one = respdb(db, {"--tree", cwd / "one", "--jobs", "1", "--stationxml", cwd / "one.xml"});
    ASSERT_EQ(one.status, 0) << one.err;
    auto three = respdb(db, {"--tree", cwd / "three", "--jobs", "3", "--stationxml", cwd / "three.xml"});
    ASSERT_EQ(three.status, 0) << three.err;
    const auto whole = harness::read_tree(cwd / "one");
    EXPECT_EQ(harness::read_tree(cwd / "three"), whole);
    EXPECT_EQ(harness::read_file(cwd / "three.xml"), harness::read_file(cwd / "one.xml"));
    EXPECT_EQ(whole.count("ST5.XY/LHZ.00/B052"), 1u);

    // Any station ST?, channels BH*, the blank location, the open epoch only.
    auto some = respdb(db, {"--station", "st?", "--channel", "BH*,LDO", "--location", "--", "--start", "2004-01-01",
                            "--tree", cwd / "some"});
    ASSERT_EQ(some.status, 0) << some.err;
    std::set<std::string> files;
    for (const auto &[path, text] : harness::read_tree(cwd / "some")) files.insert(path);
    for (int k = 1; k <= 5; ++k) {
        const std::string sta = "ST" + std::to_string(k) + ".XY/";
        for (std::string f : {"B050", "B051", "BHZ./B052", "BHN./B059", "BHE./B052", "LDO./B052"})
            EXPECT_EQ(files.count(sta + f), 1u) << sta + f;
        EXPECT_EQ(files.count(sta + "LHZ.00/B052"), 0u);
    }
    EXPECT_EQ(files.count("HILL.XY/B050"), 0u);
    EXPECT_EQ(harness::lines_of(harness::read_tree(cwd / "some").at("ST1.XY/B050")).size(), 1u) << "one station epoch";

    // Usage errors: status 2 and a hint; nothing to write; a DIR in use.
    for (std::vector<std::string> args : {std::vector<std::string>{"--station", "HI LL", "--tree", cwd / "x"},
                                          {"--start", "2004-13-01", "--tree", cwd / "x"},
                                          {"--start", "2005-01-01", "--end", "2004-01-01", "--tree", cwd / "x"},
                                          {"--station", "HILL"}}) {
        auto r = respdb(db, args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("Run 'respdb export --help' for usage."), std::string::npos) << r.err;
    }
    auto used = respdb(db, {"--tree", cwd / "one"});
    EXPECT_EQ(used.status, 1);
    EXPECT_NE(used.err.find("exists and is not an empty directory"), std::string::npos) << used.err;
    EXPECT_EQ(harness::read_tree(cwd / "one"), whole);
}

// A value the generator refuses: the export ends with its message and
// writes nothing (standard output included); --keep-going writes the rest
// and names what it left out.
TEST_F(RespdbExport, RefusedValueStopsTheExportOrIsLeftOut)
{
    harness::TestDatabase db({harness::demo_sql(), harness::demo_station_copies(2),
                              "UPDATE channel_data SET edepth = 1500 WHERE sta = 'ST1' AND seedchan = 'BHN';"});
    auto r = respdb(db, {"--tree", cwd / "tree", "--start", "2004-01-01", "--stationxml", cwd / "doc.xml", "--volume", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "respdb: XY.ST1:BHN at 2003/07/01 00:00:00: Blockette 52 field 13 (local depth) of ST1.XY.BHN.  : "
              "\"1500.0\" is wider than its 5 characters.; nothing written (--keep-going exports the rest)\n");
    EXPECT_FALSE(fs::exists(cwd / "tree"));
    for (const auto &entry : fs::directory_iterator(cwd.path())) ADD_FAILURE() << "left behind: " << entry.path();

    r = respdb(db, {"--tree", cwd / "tree", "--start", "2004-01-01", "--keep-going", "--jobs", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "respdb: refused XY.ST1..BHN from 2003/07/01 00:00:00: XY.ST1:BHN at 2003/07/01 00:00:00: Blockette "
              "52 field 13 (local depth) of ST1.XY.BHN.  : \"1500.0\" is wider than its 5 characters.\n");
    auto tree = harness::read_tree(cwd / "tree");
    EXPECT_EQ(tree.count("ST1.XY/BHN./B052"), 0u);
    EXPECT_EQ(tree.count("ST1.XY/BHE./B052"), 1u);
    EXPECT_EQ(tree.count("ST2.XY/BHN./B052"), 1u);
    EXPECT_EQ(tree.count("HILL.XY/BHN./B052"), 1u);
}

// The progress bar goes to a terminal only: under a pseudo-terminal its
// line is drawn; into a pipe, or with --quiet, nothing.
TEST_F(RespdbExport, ProgressBarOnlyOnATerminal)
{
    harness::TestDatabase db({harness::demo_sql()});
    const std::string pty = R"(
import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], sys.argv[1:])
out = b""
while True:
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    out += chunk
os.waitpid(pid, 0)
sys.stdout.write(out.decode())
)";
    harness::write_file(cwd / "in_terminal.py", pty);
    Env env = {{"RESPONSE_DB", db.alias()}};
    auto tty = run("/usr/bin/python3", {cwd / "in_terminal.py", harness::tools_dir() + "/respdb", "export", "--tree", cwd / "a"},
                   env, cwd.path());
    EXPECT_NE(tty.out.find("] 1/1 stations, 6/6 channel epochs, "), std::string::npos) << tty.out;
    auto quiet = run("/usr/bin/python3",
                     {cwd / "in_terminal.py", harness::tools_dir() + "/respdb", "export", "--quiet", "--tree", cwd / "b"}, env,
                     cwd.path());
    EXPECT_EQ(quiet.out, "");
    auto piped = respdb(db, {"--tree", cwd / "c"});
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(harness::read_tree(cwd / "a"), harness::read_tree(cwd / "c"));
}

}  // namespace
