// seedtree volume end to end: header trees made by Mebrisk and Quorvex from
// the demo database become dataless volumes, and the independent reader
// tests/readers/seed_volume.py gets back exactly the tree's lines (identical
// repeats once) in volume order, with every record header and the 10/11
// fields right.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include "tests/support/harness.hpp"
#include "seed/reader/inventory.hpp"
#include "seed/writers/volume.hpp"

using harness::Env;
using harness::run;

namespace {

using harness::lines_of;

std::string read_or_empty(const std::string &path)
{
    return harness::file_exists(path) ? harness::read_file(path) : std::string();
}

// Start and end texts of a 50 or 52 line: the last three "~"-ended fields
// of both are start, end and the rest (update flag, network code).
std::pair<std::string, std::string> epoch_of(const std::string &line)
{
    std::size_t end_tilde = line.rfind('~'), start_tilde = line.rfind('~', end_tilde - 1);
    std::size_t before = line.rfind('~', start_tilde - 1);
    std::string start = line.substr(before + 1, start_tilde - before - 1);
    if (line.compare(0, 3, "050") == 0) start = start.substr(9);  // network id, word orders
    return {start, line.substr(start_tilde + 1, end_tilde - start_tilde - 1)};
}

// The blockette lines a volume of the tree must hold, in order, built from
// the files with the simplest reading of the tree's conventions.
std::vector<std::string> expected_volume_lines(const std::string &root)
{
    std::vector<std::string> out;
    for (const auto &line : lines_of(harness::read_file(root + "/H.A"))) out.push_back("A\t" + line);

    struct Epoch {
        std::string start, end;
        std::vector<std::string> lines;
    };
    std::map<std::string, std::vector<Epoch>> stations;                   // "NET STA" -> epochs
    std::map<std::string, std::vector<std::tuple<std::string, std::string, Epoch>>> channels;  // by station
    for (const auto &[path, text] : harness::read_tree(root)) {
        std::size_t slash = path.find('/');
        if (slash == std::string::npos || path.substr(path.size() - 5) != "/B050") continue;
        std::string dir = path.substr(0, slash), sta = dir.substr(0, dir.find('.')), net = dir.substr(dir.find('.') + 1);
        auto b051 = lines_of(read_or_empty(root + "/" + dir + "/B051"));
        std::size_t at = 0;
        auto &epochs = stations[net + " " + sta];
        for (const auto &line : lines_of(text)) {
            Epoch e;
            std::tie(e.start, e.end) = epoch_of(line);
            e.lines = {line};
            for (int n = std::stoi(line.substr(44, 3)); n > 0; --n) e.lines.push_back(b051.at(at++));
            if (std::none_of(epochs.begin(), epochs.end(), [&](const Epoch &k) { return k.lines == e.lines; }))
                epochs.push_back(e);
        }
        for (const auto &[cpath, ctext] : harness::read_tree(root + "/" + dir)) {
            if (cpath.size() < 5 || cpath.substr(cpath.size() - 5) != "/B052") continue;
            std::string cdir = cpath.substr(0, cpath.size() - 5);
            auto b059 = lines_of(read_or_empty(root + "/" + dir + "/" + cdir + "/B059"));
            std::size_t c059 = 0;
            std::vector<Epoch> found;
            for (const auto &line : lines_of(ctext)) {
                if (line.compare(0, 3, "052") == 0) {
                    found.push_back(Epoch{});
                    std::tie(found.back().start, found.back().end) = epoch_of(line);
                }
                found.back().lines.push_back(line);
            }
            for (Epoch &e : found) {
                const std::string &head = e.lines.front();
                for (int n = std::stoi(head.substr(head.find('~', 19) + 76, 4)); n > 0; --n)
                    e.lines.push_back(b059.at(c059++));
            }
            auto &list = channels[dir];
            std::string loc = cdir.substr(cdir.find('.') + 1), chan = cdir.substr(0, cdir.find('.'));
            for (const Epoch &e : found)
                if (std::none_of(list.begin(), list.end(), [&](const auto &k) { return std::get<2>(k).lines == e.lines; }))
                    list.emplace_back(loc, chan, e);
        }
    }
    for (auto &[key, epochs] : stations) {
        std::sort(epochs.begin(), epochs.end(), [](const Epoch &a, const Epoch &b) { return a.start < b.start; });
        std::string dir = key.substr(key.find(' ') + 1) + "." + key.substr(0, key.find(' '));
        auto list = channels[dir];
        std::sort(list.begin(), list.end(), [](const auto &a, const auto &b) {
            return std::tie(std::get<0>(a), std::get<1>(a), std::get<2>(a).start) <
                   std::tie(std::get<0>(b), std::get<1>(b), std::get<2>(b).start);
        });
        for (const Epoch &s : epochs) {
            for (const auto &line : s.lines) out.push_back("S\t" + line);
            for (const auto &[loc, chan, c] : list)
                if (c.start <= s.end && s.start <= c.end)
                    for (const auto &line : c.lines) out.push_back("S\t" + line);
        }
    }
    return out;
}

struct ReaderResult {
    int status = -1;
    std::vector<std::string> lines;
    std::string problems;
};

ReaderResult read_volume(const std::string &volume, const harness::TempDir &scratch)
{
    std::string out = scratch / "reader.out", err = scratch / "reader.err";
    std::string command = "python3 " + std::string(READERS_DIR) + "/seed_volume.py " + volume + " >" + out + " 2>" + err;
    int status = std::system(command.c_str());
    ReaderResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.lines = lines_of(harness::read_file(out));
    r.problems = harness::read_file(err);
    return r;
}

// SOURCE_DATE_EPOCH 1700000000: 2023-11-14 22:13:20 UTC, day 318.
const Env fixed_time = {{"SOURCE_DATE_EPOCH", "1700000000"}};

class SeedtreeVolume : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::demo_sql()}); }
    static void TearDownTestSuite() { delete db; }

    // The demo request through Mebrisk, twice: every record is in the tree
    // twice, and BHZ's second epoch once more for each station epoch run.
    void make_demo_tree(const Env &flags, const std::string &name = "tree")
    {
        harness::write_file(dir / "req", harness::read_file(std::string(DEMO_DIR) + "/req"));
        Env env = flags;
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", dir / name);
        for (int i = 0; i < 2; ++i) ASSERT_EQ(run("Mebrisk", {}, env, dir.path()).status, 0);
    }

    void expect_volume_reads_back(const std::string &volume)
    {
        ReaderResult r = read_volume(volume, dir);
        EXPECT_EQ(r.status, 0) << r.problems;
        ASSERT_GE(r.lines.size(), 2u);
        std::vector<std::string> body(r.lines.begin() + 2, r.lines.end());
        EXPECT_EQ(body, expected_volume_lines(dir / "tree"));
    }

    static harness::TestDatabase *db;
    harness::TempDir dir;
};
harness::TestDatabase *SeedtreeVolume::db = nullptr;

TEST_F(SeedtreeVolume, DemoTreesReadBackLineForLineUnderEveryFlag)
{
    if (std::system("python3 -c '' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 for the reader";
    for (Env flags : {Env{}, Env{{"USE_LOOKUP", ""}}, Env{{"USE_ABPOLY", ""}}, Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}}) {
        SCOPED_TRACE(flags.size() == 2 ? "both" : flags.empty() ? "plain" : flags.begin()->first);
        std::filesystem::remove_all(dir / "tree");
        make_demo_tree(flags);
        auto r = run("seedtree", {"volume", dir / "tree", "-o", dir / "demo.seed"}, fixed_time);
        ASSERT_EQ(r.status, 0) << r.err;
        // The second run repeats 2 station epochs and 5 channel epochs.
        EXPECT_EQ(r.err, "seedtree: note: dropped 7 identical repeated epoch(s)\n");
        EXPECT_EQ(r.out, "");
        expect_volume_reads_back(dir / "demo.seed");

        ReaderResult v = read_volume(dir / "demo.seed", dir);
        ASSERT_GE(v.lines.size(), 2u);
        EXPECT_EQ(v.lines[0], "V\t010012402.4121998,001,00:00:00~2599,365,23:59:59~2023,318,22:13:20~"
                              "XY Hill Top Regional Network~Dataless SEED of network XY~");
        // The reader checks where the index points; here its codes.
        EXPECT_EQ(v.lines[1].substr(0, 17), "V\t0110032002HILL ") << v.lines[1];
        EXPECT_EQ(v.lines[1].substr(23, 5), "HILL ") << v.lines[1];
    }

    // Three stations, written station by station in two passes: the index
    // points at each station's header, and the selection keeps the order.
    ASSERT_EQ(std::system(("python3 '" + std::string(DEMO_DIR) + "/../bench/make_network.py' '" + (dir / "tree") +
                           "' '" + (dir / "net") + "' 3 >/dev/null")
                              .c_str()),
              0);
    auto r = run("seedtree", {"volume", dir / "net", "-o", dir / "net.seed"}, fixed_time);
    ASSERT_EQ(r.status, 0) << r.err;
    ReaderResult v = read_volume(dir / "net.seed", dir);
    EXPECT_EQ(v.status, 0) << v.problems;
    ASSERT_GE(v.lines.size(), 2u);
    EXPECT_EQ(v.lines[1].substr(0, 17), "V\t0110076006S0000") << v.lines[1];
    std::vector<std::string> body(v.lines.begin() + 2, v.lines.end());
    EXPECT_EQ(body, expected_volume_lines(dir / "net"));
    auto chosen = run("seedtree", {"volume", dir / "net", "-o", "-", "--station", "s0002.xx", "--station", "S0000.XX",
                                   "--station", "S0001.XX"}, fixed_time);
    EXPECT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_EQ(chosen.out, harness::read_file(dir / "net.seed"));

    // The second pass must meet the epochs the first measured, in order: a
    // tree changed in between is refused, not indexed wrongly.
    seed::Inventory net = seed::read_tree(dir / "net");
    ASSERT_EQ(net.stations.size(), 6u);
    const seed::VolumeOptions options{"Org", "Label", "2023,318,22:13:20"};
    seed::VolumeStream reordered(net.dictionary, false);
    for (const seed::StationEpoch &s : net.stations) reordered.measure(s);
    reordered.begin(options, [](std::string_view) {});
    EXPECT_THROW(reordered.write(net.stations.back()), seed::Error);
    seed::VolumeStream short_of_one(net.dictionary, false);
    for (const seed::StationEpoch &s : net.stations) short_of_one.measure(s);
    short_of_one.begin(options, [](std::string_view) {});
    for (std::size_t i = 0; i + 1 < net.stations.size(); ++i) short_of_one.write(net.stations[i]);
    EXPECT_THROW(short_of_one.finish(), seed::Error);
}

TEST_F(SeedtreeVolume, SameTimeSameBytesStandardOutputAndSelection)
{
    make_demo_tree({});
    Env env = fixed_time;
    auto first = run("seedtree", {"volume", dir / "tree", "-o", dir / "a.seed", "--label", "Demo", "--organization", "Hill Obs"}, env);
    auto second = run("seedtree", {"volume", dir / "tree", "-o", "-", "--organization", "Hill Obs", "--label", "Demo"}, env);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(harness::read_file(dir / "a.seed"), second.out);
    EXPECT_EQ(second.out.size() % 4096, 0u);
    EXPECT_NE(second.out.find("~Hill Obs~Demo~011"), std::string::npos);

    // A selection in any case; one that names no station fails.
    auto chosen = run("seedtree", {"volume", dir / "tree", "-o", "-", "--station", "hill.xy", "--label", "Demo",
                                   "--organization", "Hill Obs"}, env);
    EXPECT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_EQ(chosen.out, second.out);
    auto none = run("seedtree", {"volume", dir / "tree", "-o", "-", "--station", "HILL.XY", "--station", "ROCK.XY"}, env);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "seedtree: " + (dir / "tree") + ": no station ROCK.XY in the tree\n");
    EXPECT_EQ(none.out, "");

    // Without SOURCE_DATE_EPOCH the volume time is now.
    auto now = run("seedtree", {"volume", dir / "tree", "-o", "-"}, {});
    ASSERT_EQ(now.status, 0);
    EXPECT_EQ(now.out.find("2023,318,22:13:20"), std::string::npos);
}

TEST_F(SeedtreeVolume, ListShowsEveryEpochUnderEachStationEpoch)
{
    make_demo_tree({});
    auto r = run("seedtree", {"list", dir / "tree"}, {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "HILL.XY  1998,001,00:00:00  2003,181,23:59:59  1 channel epoch(s)  Hill Top Observatory\n"
              "  BHZ.  1998,001,00:00:00  2003,181,23:59:59  rate 2.0000E+01  stages 2  sensitivity 6.29145E+08 at 1.00000E+00\n"
              "HILL.XY  2003,182,00:00:00  2599,365,23:59:59  4 channel epoch(s)  Hill Top Observatory\n"
              "  BHE.  2003,182,00:00:00  2599,365,23:59:59  rate 2.0000E+01  stages 5  sensitivity 6.29145E+08 at 1.00000E+00\n"
              "  BHN.  2003,182,00:00:00  2599,365,23:59:59  rate 2.0000E+01  stages 5  sensitivity 6.29145E+08 at 1.00000E+00\n"
              "  BHZ.  2003,182,00:00:00  2599,365,23:59:59  rate 2.0000E+01  stages 5  sensitivity 6.29145E+08 at 1.00000E+00\n"
              "  LHZ.00  2003,182,00:00:00  2599,365,23:59:59  rate 1.0000E+00  stages 2  sensitivity 6.29145E+08 at 5.00000E-02\n");
}

// The header tree of a volume's blockettes as the reader prints them: H.A
// from the abbreviation header, and each 52 with the response lines after
// it in the B052 of its directory (comments left out).
void write_tree_of_volume(const std::vector<std::string> &lines, const std::string &root)
{
    auto trimmed = [](std::string s) {
        s.erase(s.find_last_not_of(' ') + 1);
        return s.substr(std::min(s.find_first_not_of(' '), s.size()));
    };
    std::map<std::string, std::string> files;
    std::string station, channel;
    for (const std::string &l : lines) {
        std::string b = l.substr(2), type = b.substr(0, 3);
        if (l[0] == 'A')
            files["H.A"] += b + "\n";
        else if (type == "050")
            station = trimmed(b.substr(7, 5)) + "." + trimmed(b.substr(b.size() - 2));
        else if (type == "052")
            channel = station + "/" + trimmed(b.substr(9, 3)) + "." + trimmed(b.substr(7, 2));
        if (l[0] == 'S' && type != "050" && type != "051" && type != "059") files[channel + "/B052"] += b + "\n";
    }
    for (const auto &[path, text] : files) {
        std::filesystem::create_directories(std::filesystem::path(root + "/" + path).parent_path());
        harness::write_file(root + "/" + path, text);
    }
}

// A tree with dictionary references (41 and 42, the barometer's
// polynomial too) as a volume of resolved references: no 41, 42 or 60 in
// it, the responses the independent reader gets from it are the tree's,
// and the plain tree's but for the polynomial's valid frequencies, which
// the generator writes otherwise in 42 and 62.
TEST_F(SeedtreeVolume, ResolvedReferencesGiveThePlainTreesResponses)
{
    if (std::system("python3 -c '' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 for the reader";
    for (const auto &[name, flags] : {std::pair{"tree", Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}}, std::pair{"plain", Env{}}}) {
        make_demo_tree(flags, name);
        Env env = flags;
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", dir / name);
        ASSERT_EQ(run("Quorvex", {"HILL.XY:LDO", "2003/07/01", "00:00:00", "c"}, env, dir.path()).status, 0);
    }
    auto r = run("seedtree", {"volume", dir / "tree", "-o", dir / "resolved.seed", "--resolve-references"}, fixed_time);
    ASSERT_EQ(r.status, 0) << r.err;
    ReaderResult resolved = read_volume(dir / "resolved.seed", dir);
    ASSERT_EQ(resolved.status, 0) << resolved.problems;
    std::map<std::string, int> types;
    for (const auto &line : resolved.lines) ++types[line.substr(2, 3)];
    for (const char *type : {"041", "042", "060"}) EXPECT_EQ(types[type], 0) << type;
    EXPECT_GT(types["061"], 0);
    EXPECT_GT(types["062"], 0);
    // By default the tree's lines as they stand.
    ASSERT_EQ(run("seedtree", {"volume", dir / "tree", "-o", dir / "default.seed"}, fixed_time).status, 0);
    ReaderResult plain_lines = read_volume(dir / "default.seed", dir);
    EXPECT_GT(std::count_if(plain_lines.lines.begin(), plain_lines.lines.end(),
                            [](const std::string &l) { return l.compare(2, 3, "060") == 0; }), 0);

    write_tree_of_volume(std::vector<std::string>(resolved.lines.begin() + 2, resolved.lines.end()), dir / "back");
    const std::string dump = std::string(READERS_DIR) + "/seed_response_curve.py";
    auto back = run("/usr/bin/python3", {dump, "dump", dir / "back"}, {});
    auto tree = run("/usr/bin/python3", {dump, "dump", dir / "tree"}, {});
    auto plain = run("/usr/bin/python3", {dump, "dump", dir / "plain"}, {});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, tree.out);
    auto without_valid_frequencies = [](const std::string &text) {
        std::string out;
        for (std::string line : lines_of(text)) {
            if (std::size_t at = line.find(" 62 P PA V M A "); at != std::string::npos)
                line.erase(at + 15, line.find(" ", line.find(" ", at + 15) + 1) - at - 15);
            out += line + "\n";
        }
        return out;
    };
    EXPECT_NE(plain.out.find(" 62 P PA V "), std::string::npos) << plain.out;
    EXPECT_EQ(without_valid_frequencies(back.out), without_valid_frequencies(plain.out));
}

// A FIR of 1,500 taps: three blockettes 61 in the stage (or 41 in the
// dictionary), each longer than two logical records.
TEST_F(SeedtreeVolume, LongFirContinuesAcrossBlockettesAndRecords)
{
    if (std::system("python3 -c '' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 for the reader";
    harness::TestDatabase long_fir({harness::demo_sql(),
                                    "INSERT INTO DC (key, name, symmetry) VALUES (104, 'FIR.LONG', 'A');\n"
                                    "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 1500)\n"
                                    "INSERT INTO DC_Data (key, type, row_key, coefficient, error) SELECT 104, 'N', k, 1.0 / 1500, 0 FROM n;\n"
                                    "UPDATE Coefficients SET dc_key = 104 WHERE seedchan = 'BHE' AND stage_seq = 3;\n"});
    for (Env flags : {Env{}, Env{{"USE_LOOKUP", ""}}}) {
        std::filesystem::remove_all(dir / "tree");
        Env env = flags;
        env.emplace("RESPONSE_DB", long_fir.alias());
        env.emplace("DATA_ROOT", dir / "tree");
        ASSERT_EQ(run("Quorvex", {"HILL.XY", "2003/07/01", "00:00:00", "a"}, env, dir.path()).status, 0);
        std::string file = flags.empty() ? dir / "tree/HILL.XY/BHE./B052" : dir / "tree/H.A";
        std::string kind = flags.empty() ? "061" : "041";
        std::vector<std::size_t> pieces;
        for (const auto &line : lines_of(harness::read_file(file)))
            if (line.compare(0, 3, kind) == 0 && line.find("FIR_LONG") != std::string::npos) pieces.push_back(line.size());
        ASSERT_EQ(pieces.size(), 3u);
        EXPECT_GT(pieces[0], 2 * 4096u);
        EXPECT_GT(pieces[1], 2 * 4096u);

        // One filter in the model, however it was written.
        seed::Inventory inventory = seed::read_tree(dir / "tree");
        const auto &bhe = *inventory.stations.at(0).channels.at(0);
        ASSERT_EQ(bhe.id.channel, "BHE");
        const seed::Filter &filter = bhe.stage(3)->filters.at(0);
        EXPECT_EQ(std::get<seed::Fir>(filter.response).coefficients.size(), 1500u);
        EXPECT_EQ(std::get<seed::Fir>(filter.response).coefficients.back().text, "6.6666666E-04");
        EXPECT_EQ(filter.lines.size(), flags.empty() ? 3u : 1u);
        if (!flags.empty()) {
            EXPECT_EQ(filter.lookup_key, 104);
            EXPECT_EQ(inventory.dictionary.firs.at(104).lines.size(), 3u);
        }
        auto r = run("seedtree", {"volume", dir / "tree", "-o", dir / "long.seed"}, fixed_time);
        ASSERT_EQ(r.status, 0) << r.err;
        expect_volume_reads_back(dir / "long.seed");
    }
}

}  // namespace
