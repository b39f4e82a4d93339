// seedtree check end to end: the demo trees give no finding; each rule has
// a tree, the demo's with targeted edits, that breaks it alone (other
// values adjusted so that no other rule breaks) and gives exactly its one
// line; errors give status 1.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "harness.hpp"

using harness::run;

namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

const std::string bhz = "HILL.XY/BHZ./B052", lhz = "HILL.XY/LHZ.00/B052";

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string text_of(const std::vector<std::string> &lines)
{
    std::string out;
    for (const auto &l : lines) out += l + "\n";
    return out;
}

// The line with its length field set to its length.
std::string reframe(std::string line)
{
    char length[32];
    std::snprintf(length, sizeof length, "%04zu", line.size());
    return line.replace(3, 4, length);
}

// Applies change to line number (from 1) of file; the line keeps a right
// length field. The test fails when the change leaves the line as it was.
void edit(Tree &tree, const std::string &file, std::size_t number,
          const std::function<void(std::string &)> &change)
{
    auto lines = lines_of(tree.at(file));
    ASSERT_LE(number, lines.size());
    std::string before = lines[number - 1];
    change(lines[number - 1]);
    ASSERT_NE(before, lines[number - 1]) << file << ":" << number;
    lines[number - 1] = reframe(lines[number - 1]);
    tree[file] = text_of(lines);
}

void replace_in(std::string &line, const std::string &from, const std::string &to)
{
    std::size_t at = line.find(from);
    ASSERT_NE(at, std::string::npos) << from << " in " << line;
    line.replace(at, from.size(), to);
}

// A replacement of one text by another in a line.
std::function<void(std::string &)> swap(const std::string &from, const std::string &to)
{
    return [from, to](std::string &line) { replace_in(line, from, to); };
}

void remove_line(Tree &tree, const std::string &file, std::size_t number)
{
    auto lines = lines_of(tree.at(file));
    lines.erase(lines.begin() + static_cast<long>(number) - 1);
    tree[file] = text_of(lines);
}

// The coefficients of a blockette 61 line (after its 4-digit count).
std::vector<double> fir_coefficients(const std::string &line, std::size_t &first)
{
    first = line.find('~') + 1 + 1 + 3 + 3 + 4;
    std::vector<double> out;
    for (std::size_t at = first; at + 14 <= line.size(); at += 14) out.push_back(std::stod(line.substr(at, 14)));
    return out;
}

std::string fir_text(const std::vector<double> &c)
{
    std::string out;
    char text[32];
    for (double v : c) {
        std::snprintf(text, sizeof text, "%14.7E", v);
        out += text;
    }
    return out;
}

class SeedtreeCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db = new harness::TestDatabase({harness::demo_sql()});
        harness::TempDir dir;
        // Every channel of the open station epoch, the barometer LDO too.
        auto r = run("Quorvex", {"HILL.XY", "2004/01/01", "00:00:00", "a"},
                     {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", dir / "tree"}}, dir.path());
        ASSERT_EQ(r.status, 0) << r.out;
        pristine = new Tree(harness::read_tree(dir / "tree"));
    }
    static void TearDownTestSuite()
    {
        delete pristine;
        delete db;
    }

    harness::RunResult check(const Tree &tree)
    {
        fs::remove_all(root());
        for (const auto &[path, text] : tree) {
            fs::create_directories(fs::path(root() + "/" + path).parent_path());
            harness::write_file(root() + "/" + path, text);
        }
        return run("seedtree", {"check", root()}, {});
    }

    // The one finding of the tree as change leaves it, and the status
    // its severity gives.
    void expect_finding(const std::function<void(Tree &)> &change, const std::string &finding, int epochs = 5)
    {
        Tree tree = *pristine;
        change(tree);
        if (HasFatalFailure()) return;
        auto r = check(tree);
        bool error = finding.compare(0, 6, "error ") == 0;
        EXPECT_EQ(r.status, error ? 1 : 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, finding + "\n" + (error ? "1 error(s), 0 warning(s)" : "0 error(s), 1 warning(s)") +
                             " in " + std::to_string(epochs) + " channel epoch(s) of 1 station epoch(s)\n");
    }

    std::string root() const { return dir / "tree"; }

    static harness::TestDatabase *db;
    static Tree *pristine;
    harness::TempDir dir;
};
harness::TestDatabase *SeedtreeCheck::db = nullptr;
Tree *SeedtreeCheck::pristine = nullptr;

TEST_F(SeedtreeCheck, DemoTreesHaveNoFinding)
{
    auto r = check(*pristine);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "0 error(s), 0 warning(s) in 5 channel epoch(s) of 1 station epoch(s)\n");

    // The demo request, twice, plain and with dictionary references.
    for (harness::Env flags : {harness::Env{}, harness::Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}}) {
        harness::TempDir run_dir;
        harness::write_file(run_dir / "req", harness::read_file(std::string(DEMO_DIR) + "/req"));
        flags.emplace("RESPONSE_DB", db->alias());
        flags.emplace("DATA_ROOT", run_dir / "tree");
        for (int i = 0; i < 2; ++i) ASSERT_EQ(run("Mebrisk", {}, flags, run_dir.path()).status, 0);
        auto demo = run("seedtree", {"check", run_dir / "tree"}, {});
        EXPECT_EQ(demo.status, 0) << demo.out;
        EXPECT_EQ(demo.out, "0 error(s), 0 warning(s) in 5 channel epoch(s) of 2 station epoch(s)\n");
        EXPECT_EQ(demo.err, "seedtree: note: dropped 7 identical repeated epoch(s)\n");
    }
}

// Lines of BHZ's B052: 1 the 52; stage 1: 2 (53), 3 (58); stage 2: 4 (54),
// 5 (57), 6 (58); stages 3, 4, 5: a 61, a 57 and a 58 each (7-15); 16 the
// stage-0 sensitivity, 6.29145E+08 at 1 Hz. LHZ: 1 the 52, ..., 7 stage 0
// at 0.05 Hz.
TEST_F(SeedtreeCheck, ResponseAndGainRules)
{
    const std::string at = "HILL.XY..BHZ 2003,182,00:00:00: ";
    // The sensitivity quoted at 0.01 Hz, where the seismometer is well below its plateau.
    expect_finding([](Tree &t) { edit(t, bhz, 16, swap("1.00000E+0000", "1.00000E-0200")); },
                   "error response-sensitivity " + at +
                       "the response is 5.16994e+08 at 0.01 Hz but the stage-0 sensitivity is 6.29145e+08 (17.8 % "
                       "apart) [HILL.XY/BHZ./B052:16]");
    // ... at 0.0261052 Hz, 0.5 % below the plateau.
    expect_finding([](Tree &t) { edit(t, bhz, 16, swap("1.00000E+0000", "2.61052E-0200")); },
                   "warning response-sensitivity " + at +
                       "the response is 6.26015e+08 at 0.0261052 Hz but the stage-0 sensitivity is 6.29145e+08 "
                       "(0.498 % apart) [HILL.XY/BHZ./B052:16]");
    // The response's own value at 0.01 Hz: right as a response, but not the gains' product.
    expect_finding([](Tree &t) { edit(t, bhz, 16, swap("6.29145E+08 1.00000E+0000", "5.16994E+08 1.00000E-0200")); },
                   "error gain-product " + at +
                       "the stage gains multiply to 6.29145e+08 but the stage-0 sensitivity is 5.16994e+08 (21.7 % "
                       "apart) [HILL.XY/BHZ./B052:16]");
    // A0 5 % high, the sensitivity quoted where the seismometer is 5 % below its plateau.
    expect_finding(
        [](Tree &t) {
            edit(t, bhz, 2, swap("5.92054E+07", "6.21657E+07"));
            edit(t, bhz, 16, swap("1.00000E+0000", "1.47081E-0200"));
        },
        "error pz-normalization " + at +
            "stage 1: |A0 H(fn)| is 1.05 at the normalization frequency 1 Hz, not 1 [HILL.XY/BHZ./B052:2]");
    // FIR_HILL_1 5 % high at 0 Hz (and everywhere), the sensitivity as above.
    expect_finding(
        [](Tree &t) {
            edit(t, bhz, 7, [](std::string &line) {
                std::size_t first = 0;
                auto c = fir_coefficients(line, first);
                for (double &v : c) v *= 1.05;
                line = line.substr(0, first) + fir_text(c);
            });
            edit(t, bhz, 16, swap("1.00000E+0000", "1.47081E-0200"));
        },
        "error fir-unity " + at +
            "stage 3 FIR FIR_HILL_1 has gain 1.05 at 0 Hz (the sum of its 29 coefficients), not 1 "
            "[HILL.XY/BHZ./B052:7]");
    // FIR_HILL_1 written out whole with symmetry A: the same response.
    expect_finding(
        [](Tree &t) {
            edit(t, bhz, 7, [](std::string &line) {
                std::size_t first = 0;
                auto c = fir_coefficients(line, first);
                for (std::size_t k = c.size() - 1; k-- > 0;) c.push_back(c[k]);
                line = line.substr(0, first - 11) + "A0010010029" + fir_text(c);
            });
        },
        "warning fir-symmetry " + at +
            "stage 3 FIR FIR_HILL_1 is symmetric (29 coefficients) but stored with symmetry A: B would store half "
            "[HILL.XY/BHZ./B052:7]");
    // The long-period channel's sensitivity quoted at 0.6 Hz, above its Nyquist frequency (flat there).
    expect_finding([](Tree &t) { edit(t, lhz, 7, swap("5.00000E-0200", "6.00000E-0100")); },
                   "warning sensitivity-nyquist HILL.XY.00.LHZ 2003,182,00:00:00: the stage-0 frequency 0.6 Hz is "
                   "above the Nyquist frequency 0.5 Hz [HILL.XY/LHZ.00/B052:7]");
}

TEST_F(SeedtreeCheck, ChainAndSequenceRules)
{
    const std::string at = "HILL.XY..BHZ 2003,182,00:00:00: ";
    expect_finding([](Tree &t) { edit(t, bhz, 7, swap("~B0010010015", "~B0030010015")); },
                   "error unit-chain " + at +
                       "stage 3 takes V but the output units of stage 2 are COUNTS [HILL.XY/BHZ./B052:7]");
    expect_finding([](Tree &t) { edit(t, bhz, 1, swap("2.0000E+01", "2.5000E+01")); },
                   "error rate-chain " + at +
                       "the last decimation (stage 5) gives 20 samples/s but the channel's sample rate is 25 "
                       "[HILL.XY/BHZ./B052:1]");
    // The digitizer without its 57: the FIRs' rates still chain down to the channel's.
    expect_finding([](Tree &t) { remove_line(t, bhz, 5); },
                   "error decimation-missing " + at +
                       "stage 2 is digital (coefficients (type D)) and has no blockette 57 [HILL.XY/BHZ./B052:4]");
    expect_finding(
        [](Tree &t) {
            edit(t, bhz, 13, swap("061047905", "061047906"));
            edit(t, bhz, 14, swap("005105", "005106"));
            edit(t, bhz, 15, swap("003505", "003506"));
        },
        "error stage-sequence " + at + "stage 5 is missing: the stages are numbered 1 2 3 4 6 [HILL.XY/BHZ./B052:13]");
    expect_finding(
        [](Tree &t) {
            auto lines = lines_of(t.at(bhz));
            lines.insert(lines.begin() + 12, lines.back());
            lines.pop_back();
            t[bhz] = text_of(lines);
        },
        "error stage-sequence " + at +
            "stage 0 is not last: stage 5 follows the stage-0 sensitivity [HILL.XY/BHZ./B052:14]");
    expect_finding([](Tree &t) { remove_line(t, bhz, 16); },
                   "error sensitivity-missing " + at + "no stage-0 sensitivity (blockette 58 of stage 0) "
                                                       "[HILL.XY/BHZ./B052:1]");
}

TEST_F(SeedtreeCheck, EpochAndTextRules)
{
    const std::string lhz_at = "HILL.XY.00.LHZ ";
    expect_finding([](Tree &t) { edit(t, lhz, 1, swap("~2003,182,00:00:00~", "~2003,100,00:00:00~")); },
                   "warning epoch-station " + lhz_at +
                       "2003,100,00:00:00: the channel epoch 2003,100,00:00:00 to 2599,365,23:59:59 is not inside "
                       "the station epoch 2003,182,00:00:00 to 2599,365,23:59:59 it is listed under "
                       "[HILL.XY/LHZ.00/B052:1]");
    // A second epoch from 2010 while the first is still open (without comments of its own).
    expect_finding(
        [](Tree &t) {
            auto lines = lines_of(t.at(lhz));
            std::size_t n = lines.size();
            for (std::size_t i = 0; i < n; ++i) lines.push_back(lines[i]);
            t[lhz] = text_of(lines);
            edit(t, lhz, n + 1, [](std::string &line) {
                replace_in(line, "~2003,182,00:00:00~", "~2010,001,00:00:00~");
                replace_in(line, "1.0000E-040001", "1.0000E-040000");
            });
        },
        "error epoch-overlap " + lhz_at +
            "2010,001,00:00:00: the channel epoch 2010,001,00:00:00 to 2599,365,23:59:59 overlaps the epoch "
            "2003,182,00:00:00 to 2599,365,23:59:59 [HILL.XY/LHZ.00/B052:8]",
        6);
    // The same second epoch after the first has closed at the end of 2005:
    // four years without one inside the station epoch. Ends and starts one
    // second apart leave no gap (the demo's BHZ, in the pristine tree).
    expect_finding(
        [](Tree &t) {
            auto lines = lines_of(t.at(lhz));
            std::size_t n = lines.size();
            for (std::size_t i = 0; i < n; ++i) lines.push_back(lines[i]);
            t[lhz] = text_of(lines);
            edit(t, lhz, 1, swap("~2599,365,23:59:59~", "~2005,365,23:59:59~"));
            edit(t, lhz, n + 1, [](std::string &line) {
                replace_in(line, "~2003,182,00:00:00~", "~2010,001,00:00:00~");
                replace_in(line, "1.0000E-040001", "1.0000E-040000");
            });
        },
        "warning epoch-coverage " + lhz_at +
            "2010,001,00:00:00: no epoch of the channel from 2005,365,23:59:59 to 2010,001,00:00:00 inside the "
            "station epoch 2003,182,00:00:00 to 2599,365,23:59:59 [HILL.XY/LHZ.00/B052:8]",
        6);
    expect_finding([](Tree &t) { edit(t, lhz, 1, swap("long period~", "long period vertical, vault 2, pier B~")); },
                   "warning text-length " + lhz_at +
                       "2003,182,00:00:00: B052 field 7 (optional comment) has 37 characters, at most 30 "
                       "[HILL.XY/LHZ.00/B052:1]");
    expect_finding([](Tree &t) { edit(t, "H.A", 8, swap("Hill Top Regional Network", "Hill Top Regional Network of "
                                                                                       "the Northern Coastal Ranges")); },
                   "warning text-length H.A: B033 field 4 (abbreviation description) has 59 characters, at most 50 "
                   "[H.A:8]");
}

// A number wider than its field shifts every field after it: the reader
// refuses the line and names it, and check reports no findings.
TEST_F(SeedtreeCheck, NumberWiderThanItsFieldNamesTheLine)
{
    Tree tree = *pristine;
    edit(tree, bhz, 3, swap(" 1.50000E+03", "+1.500000E+03"));
    auto r = check(tree);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "seedtree: " + root() + "/" + bhz +
                         ":3: B058 field 5 (frequency): \"3 1.00000E+0\" is not a finite number\n");
}

}  // namespace
