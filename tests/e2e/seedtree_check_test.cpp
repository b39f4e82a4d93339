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

#include "tests/support/harness.hpp"

using harness::run;

namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

const std::string bhz = "HILL.XY/BHZ./B052", lhz = "HILL.XY/LHZ.00/B052";

using harness::lines_of;

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

// Inserts a line (its length field set) before line number, or at the end.
void insert_line(Tree &tree, const std::string &file, std::size_t number, const std::string &line)
{
    auto lines = lines_of(tree.at(file));
    lines.insert(lines.begin() + static_cast<long>(std::min(number - 1, lines.size())), reframe(line));
    tree[file] = text_of(lines);
}

// Moves every file below directory from to directory to.
void rename_directory(Tree &tree, const std::string &from, const std::string &to)
{
    Tree moved;
    for (const auto &[path, text] : tree)
        moved[path.compare(0, from.size() + 1, from + "/") == 0 ? to + path.substr(from.size()) : path] = text;
    tree = moved;
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

    // The findings of the tree as change leaves it, in order, and the
    // status their severities give.
    void expect_findings(const std::function<void(Tree &)> &change, const std::vector<std::string> &findings,
                         int epochs = 5, int stations = 1)
    {
        Tree tree = *pristine;
        change(tree);
        if (HasFatalFailure()) return;
        auto r = check(tree);
        std::size_t errors = 0;
        std::string lines;
        for (const auto &f : findings) {
            errors += f.compare(0, 6, "error ") == 0;
            lines += f + "\n";
        }
        EXPECT_EQ(r.status, errors ? 1 : 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, lines + std::to_string(errors) + " error(s), " + std::to_string(findings.size() - errors) +
                             " warning(s) in " + std::to_string(epochs) + " channel epoch(s) of " +
                             std::to_string(stations) + " station epoch(s)\n");
    }

    void expect_finding(const std::function<void(Tree &)> &change, const std::string &finding, int epochs = 5)
    {
        expect_findings(change, {finding}, epochs);
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
    expect_findings([](Tree &t) { edit(t, lhz, 7, swap("5.00000E-0200", "6.00000E-0100")); },
                    {"warning sensitivity-nyquist HILL.XY.00.LHZ 2003,182,00:00:00: the stage-0 frequency 0.6 Hz is "
                     "above the Nyquist frequency 0.5 Hz [HILL.XY/LHZ.00/B052:7]",
                     "warning fdsn-411 HILL.XY.00.LHZ 2003,182,00:00:00: the stage-0 frequency 0.6 Hz is not below "
                     "the Nyquist frequency 0.5 Hz [HILL.XY/LHZ.00/B052:7]"});
}

TEST_F(SeedtreeCheck, ChainAndSequenceRules)
{
    const std::string at = "HILL.XY..BHZ 2003,182,00:00:00: ";
    // Each with the validator's own rule for the same fault.
    expect_findings([](Tree &t) { edit(t, bhz, 7, swap("~B0010010015", "~B0030010015")); },
                    {"error unit-chain " + at +
                         "stage 3 takes V but the output units of stage 2 are COUNTS [HILL.XY/BHZ./B052:7]",
                     "error fdsn-403 " + at + "stage 3 takes \"V\" but stage 2 gives \"counts\" [HILL.XY/BHZ./B052:7]"});
    expect_findings([](Tree &t) { edit(t, bhz, 1, swap("2.0000E+01", "2.5000E+01")); },
                    {"error rate-chain " + at +
                         "the last decimation (stage 5) gives 20 samples/s but the channel's sample rate is 25 "
                         "[HILL.XY/BHZ./B052:1]",
                     "error fdsn-421 " + at +
                         "the last decimation (stage 5) gives 20 samples/s but the channel's sample rate is 25 "
                         "[HILL.XY/BHZ./B052:14]"});
    // The digitizer without its 57: the FIRs' rates still chain down to the channel's.
    expect_findings([](Tree &t) { remove_line(t, bhz, 5); },
                    {"error decimation-missing " + at +
                         "stage 2 is digital (coefficients (type D)) and has no blockette 57 [HILL.XY/BHZ./B052:4]",
                     "error fdsn-404 " + at +
                         "stage 2 is digital (coefficients of type D) and has no decimation (57) [HILL.XY/BHZ./B052:4]"});
    expect_findings(
        [](Tree &t) {
            edit(t, bhz, 13, swap("061047905", "061047906"));
            edit(t, bhz, 14, swap("005105", "005106"));
            edit(t, bhz, 15, swap("003505", "003506"));
        },
        {"error stage-sequence " + at + "stage 5 is missing: the stages are numbered 1 2 3 4 6 [HILL.XY/BHZ./B052:13]",
         "error fdsn-401 " + at + "the stages are numbered 1 2 3 4 6, not 1 to 5 [HILL.XY/BHZ./B052:13]"});
    expect_finding(
        [](Tree &t) {
            auto lines = lines_of(t.at(bhz));
            lines.insert(lines.begin() + 12, lines.back());
            lines.pop_back();
            t[bhz] = text_of(lines);
        },
        "error stage-sequence " + at +
            "stage 0 is not last: stage 5 follows the stage-0 sensitivity [HILL.XY/BHZ./B052:14]");
    expect_findings([](Tree &t) { remove_line(t, bhz, 16); },
                    {"error sensitivity-missing " + at + "no stage-0 sensitivity (blockette 58 of stage 0) "
                                                         "[HILL.XY/BHZ./B052:1]",
                     "error fdsn-416 " + at + "no stage-0 sensitivity (blockette 58 of stage 0) and no polynomial "
                                              "stage [HILL.XY/BHZ./B052:1]"});
}

TEST_F(SeedtreeCheck, EpochAndTextRules)
{
    const std::string lhz_at = "HILL.XY.00.LHZ ";
    expect_findings([](Tree &t) { edit(t, lhz, 1, swap("~2003,182,00:00:00~", "~2003,100,00:00:00~")); },
                    {"warning epoch-station " + lhz_at +
                         "2003,100,00:00:00: the channel epoch 2003,100,00:00:00 to 2599,365,23:59:59 is not inside "
                         "the station epoch 2003,182,00:00:00 to 2599,365,23:59:59 it is listed under "
                         "[HILL.XY/LHZ.00/B052:1]",
                     "error fdsn-212 " + lhz_at +
                         "2003,100,00:00:00: the channel epoch 2003,100,00:00:00 to 2599,365,23:59:59 reaches outside "
                         "the station epoch 2003,182,00:00:00 to 2599,365,23:59:59: StationXML clips it to "
                         "2003,182,00:00:00 to 2599,365,23:59:59, but a volume keeps blockette 52's dates "
                         "[HILL.XY/LHZ.00/B052:1]"});
    // A second epoch from 2010 while the first is still open (without comments of its own).
    expect_findings(
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
        {"error epoch-overlap " + lhz_at +
             "2010,001,00:00:00: the channel epoch 2010,001,00:00:00 to 2599,365,23:59:59 overlaps the epoch "
             "2003,182,00:00:00 to 2599,365,23:59:59 [HILL.XY/LHZ.00/B052:8]",
         "error fdsn-211 " + lhz_at +
             "2010,001,00:00:00: the channel epoch 2010,001,00:00:00 to 2599,365,23:59:59 overlaps the epoch "
             "2003,182,00:00:00 to 2599,365,23:59:59 under the station epoch from 2003,182,00:00:00 "
             "[HILL.XY/LHZ.00/B052:8]"},
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

// The validator's rules: each tree breaks one (and the tree's own rules
// where they see the same fault, or the validator's rules that fire
// together), the demo's with targeted edits as above.
TEST_F(SeedtreeCheck, ValidatorRules)
{
    const std::string bhe = "HILL.XY/BHE./B052", bhn = "HILL.XY/BHN./B052", ldo = "HILL.XY/LDO./B052";
    const std::string bhz_at = "HILL.XY..BHZ 2003,182,00:00:00: ", bhe_at = "HILL.XY..BHE 2003,182,00:00:00: ";
    const std::string lhz_at = "HILL.XY.00.LHZ 2003,182,00:00:00: ", ldo_at = "HILL.XY..LDO 2003,182,00:00:00: ";
    // A second station epoch of the demo's, without comments, from start to end.
    auto another_epoch = [](Tree &t, const std::string &start, const std::string &end) {
        std::string line = lines_of(t.at("HILL.XY/B050")).front();
        replace_in(line, "00000001Hill", "00000000Hill");
        replace_in(line, "2003,182,00:00:00~2599,365,23:59:59~", start + "~" + end + "~");
        insert_line(t, "HILL.XY/B050", 2, line);
    };
    const std::string volts = "0340024008VOLTAGE~Volts~";
    struct Case {
        const char *name;
        std::function<void(Tree &)> change;
        std::vector<std::string> findings;
        int stations = 1;
    } cases[] = {
        {"101", [](Tree &t) { rename_directory(t, "HILL.XY", "HILL.Xy"); edit(t, "HILL.Xy/B050", 1, swap("~NXY", "~NXy")); },
         {"error fdsn-101 HILL.Xy 2003,182,00:00:00: network code \"Xy\" is not 1 or 2 capital letters and digits "
          "[HILL.Xy/B050:1]"}},
        // The channel epochs moved out of the second station epoch.
        {"111",
         [&](Tree &t) {
             another_epoch(t, "2003,200,00:00:00", "2003,365,23:59:59");
             for (const std::string &file : {bhz, bhe, bhn, lhz, ldo})
                 edit(t, file, 1, swap("~2003,182,00:00:00~", "~2004,001,00:00:00~"));
         },
         {"error fdsn-111 HILL.XY 2003,200,00:00:00: the station epoch 2003,200,00:00:00 to 2003,365,23:59:59 overlaps "
          "the epoch 2003,182,00:00:00 to 2599,365,23:59:59 [HILL.XY/B050:2]"},
         2},
        {"201", [](Tree &t) { rename_directory(t, "HILL.XY", "hill.XY"); edit(t, "hill.XY/B050", 1, swap("HILL ", "hill ")); },
         {"error fdsn-201 hill.XY 2003,182,00:00:00: station code \"hill\" is not 1 to 5 capital letters and digits "
          "[hill.XY/B050:1]"}},
        {"210", [&](Tree &t) { another_epoch(t, "2001,001,00:00:00", "2000,001,00:00:00"); },
         {"error fdsn-210 HILL.XY 2001,001,00:00:00: the station epoch ends at 2000,001,00:00:00, not after its start "
          "[HILL.XY/B050:2]",
          "error epoch-order HILL.XY 2001,001,00:00:00: the station epoch ends (2000,001,00:00:00) before it begins "
          "(2001,001,00:00:00) [HILL.XY/B050:2]"},
         2},
        {"222", [&](Tree &t) { edit(t, bhe, 1, swap(" 37.876499-122", " 37.886499-122")); },
         {"warning fdsn-222 " + bhe_at + "the channel is 1.11195 km from its station epoch from 2003,182,00:00:00 (at "
                                         "most 1 km) [HILL.XY/BHE./B052:1]"}},
        {"223", [&](Tree &t) { edit(t, bhe, 1, swap("-122.235100   93.0", "-122.235100 1193.0")); },
         {"warning fdsn-223 " + bhe_at + "the channel's elevation 1193.0 m is 1100 m from its station's 93.0 m (at "
                                         "most 1000 m) [HILL.XY/BHE./B052:1]"}},
        {"301",
         [](Tree &t) {
             rename_directory(t, "HILL.XY/BHE.", "HILL.XY/BH.");
             edit(t, "HILL.XY/BH./B052", 1, swap("  BHE0000", "  BH 0000"));
         },
         {"error fdsn-301 HILL.XY..BH 2003,182,00:00:00: channel code \"BH\" is not 3 capital letters and digits "
          "[HILL.XY/BH./B052:1]"}},
        {"302",
         [](Tree &t) {
             rename_directory(t, "HILL.XY/LHZ.00", "HILL.XY/LHZ.0a");
             edit(t, "HILL.XY/LHZ.0a/B052", 1, swap("00LHZ", "0aLHZ"));
         },
         {"error fdsn-302 HILL.XY.0a.LHZ 2003,182,00:00:00: location code \"0a\" is not 0 to 2 capital letters and "
          "digits [HILL.XY/LHZ.0a/B052:1]"}},
        {"303",
         [&](Tree &t) {
             insert_line(t, "H.A", 99, "0340000008BOGUS~Made up~");
             edit(t, bhe, 1, swap("~002003 37", "~002008 37"));
         },
         {"error fdsn-303 " + bhe_at + "calibration units \"BOGUS\" are not a unit name validators accept "
                                       "[HILL.XY/BHE./B052:1]"}},
        {"304", [&](Tree &t) { edit(t, bhe, 1, swap("  BHE0000001~", "  BHE0000000~")); },
         {"warning fdsn-304 " + bhe_at + "no sensor description (B052 field 6, instrument identifier, is 0) "
                                         "[HILL.XY/BHE./B052:1]"}},
        {"305", [&](Tree &t) { edit(t, bhe, 1, swap("2.0000E+01", "0.0000E+00")); },
         {"error rate-chain " + bhe_at + "the last decimation (stage 5) gives 20 samples/s but the channel's sample "
                                         "rate is 0 [HILL.XY/BHE./B052:1]",
          "warning fdsn-305 " + bhe_at + "the sample rate is 0 but the channel has a response [HILL.XY/BHE./B052:1]"}},
        {"310", [&](Tree &t) { edit(t, lhz, 1, swap("~2599,365,23:59:59~", "~2003,182,00:00:00~")); },
         {"error fdsn-310 " + lhz_at + "the channel epoch ends at 2003,182,00:00:00, not after its start "
                                       "[HILL.XY/LHZ.00/B052:1]"}},
        // The seismometer's units volts throughout.
        {"321",
         [&](Tree &t) {
             edit(t, bhz, 1, swap("~002003 37", "~003003 37"));
             edit(t, bhz, 2, swap("A01002003", "A01003003"));
         },
         {"warning fdsn-321 " + bhz_at + "instrument code H: the response takes \"V\" and gives \"counts\", where "
                                         "validators expect m/s (or m/s**2) in and counts out [HILL.XY/BHZ./B052:2]"}},
        {"332", [&](Tree &t) { edit(t, bhn, 1, swap("   93.0  0.0  0.0  0.0", "   93.0  0.0 30.0  0.0")); },
         {"warning fdsn-332 HILL.XY..BHN 2003,182,00:00:00: azimuth 30.0 and dip 0.0 are not those of a north "
          "component (azimuth within 5 degrees of 0 or 180, dip within 5 of 0) [HILL.XY/BHN./B052:1]"}},
        {"333", [&](Tree &t) { edit(t, bhe, 1, swap("  0.0 90.0  0.0", "  0.0 60.0  0.0")); },
         {"warning fdsn-333 " + bhe_at + "azimuth 60.0 and dip 0.0 are not those of an east component (azimuth within "
                                         "5 degrees of 90 or 270, dip within 5 of 0) [HILL.XY/BHE./B052:1]"}},
        // Flagged HEALTH, a channel is exempt from the orientation rules.
        {"333 exempt",
         [&](Tree &t) {
             edit(t, bhe, 1, [](std::string &l) {
                 replace_in(l, "  0.0 90.0  0.0", "  0.0 60.0  0.0");
                 replace_in(l, "CG~", "CGH~");
             });
         },
         {}},
        {"334", [&](Tree &t) { edit(t, bhz, 1, swap("  0.0-90.0", "  0.0-80.0")); },
         {"warning fdsn-334 " + bhz_at + "azimuth 0.0 and dip -80.0 are not those of a vertical component (azimuth "
                                         "within 5 degrees of 0, dip within 5 of -90 or 90) [HILL.XY/BHZ./B052:1]"}},
        // Between the seismometer and the digitizer, a unit of its own.
        {"402",
         [&](Tree &t) {
             insert_line(t, "H.A", 99, volts);
             edit(t, bhz, 2, swap("A01002003", "A01002008"));
             edit(t, bhz, 4, swap("D02003001", "D02008001"));
         },
         {"error fdsn-402 " + bhz_at + "units \"VOLTAGE\" (stage 1 output, stage 2 input) are not a unit name "
                                       "validators accept [HILL.XY/BHZ./B052:2]"}},
        {"402 case",
         [&](Tree &t) {
             insert_line(t, "H.A", 99, "0340000008Unknown~Volts~");
             edit(t, bhz, 2, swap("A01002003", "A01002008"));
             edit(t, bhz, 4, swap("D02003001", "D02008001"));
         },
         {"warning fdsn-402 " + bhz_at + "units \"Unknown\" (stage 1 output, stage 2 input) are a unit name "
                                         "validators accept only in another case [HILL.XY/BHZ./B052:2]"}},
        // The barometer ends in a stage back to volts.
        {"406",
         [&](Tree &t) {
             insert_line(t, ldo, 99, "0530000A03001003 1.00000E+00 1.00000E+00000000");
             insert_line(t, ldo, 99, "058003503 1.00000E+00 1.00000E+0000");
         },
         {"error fdsn-406 " + ldo_at + "the last stage gives \"V\", not counts [HILL.XY/LDO./B052:6]"}},
        // A FIR's gain quoted at 2 Hz: the gains are not all at the sensitivity's frequency.
        {"410",
         [&](Tree &t) {
             edit(t, bhz, 16, swap(" 6.29145E+08", "-6.29145E+08"));
             edit(t, bhz, 9, swap("1.00000E+00 1.00000E+00", "1.00000E+00 2.00000E+00"));
         },
         {"error fdsn-410 " + bhz_at + "the stage-0 sensitivity is -6.29145E+08, not above 0 [HILL.XY/BHZ./B052:16]"}},
        {"412", [&](Tree &t) { edit(t, bhz, 16, swap("6.29145E+08", "6.67000E+08")); },
         {"error gain-product " + bhz_at + "the stage gains multiply to 6.29145e+08 but the stage-0 sensitivity is "
                                           "6.67e+08 (5.68 % apart) [HILL.XY/BHZ./B052:16]",
          "error response-sensitivity " + bhz_at + "the response is 6.29153e+08 at 1 Hz but the stage-0 sensitivity "
                                                   "is 6.67e+08 (5.67 % apart) [HILL.XY/BHZ./B052:16]",
          "error fdsn-412 " + bhz_at + "the stage gains, all at 1 Hz, multiply to 6.29145e+08 but the stage-0 "
                                       "sensitivity is 6.67e+08 (more than 5 % apart) [HILL.XY/BHZ./B052:16]"}},
        // The seismometer's gain moved into the digitizer's.
        {"413",
         [&](Tree &t) {
             remove_line(t, bhz, 3);
             edit(t, bhz, 5, swap("4.19430E+05", "6.29145E+08"));
         },
         {"error fdsn-413 " + bhz_at + "stage 1 has no gain (blockette 58) [HILL.XY/BHZ./B052:2]"}},
        {"414", [&](Tree &t) { edit(t, bhz, 3, swap("1.50000E+03 1.00000E+00", "1.50000E+03 0.00000E+00")); },
         {"error fdsn-414 " + bhz_at + "stage 1 has a zero at 0, where the response is 0, but its gain is given at 0 "
                                       "Hz [HILL.XY/BHZ./B052:2]"}},
        {"415", [&](Tree &t) { insert_line(t, ldo, 99, "058003500 4.19430E+05 0.00000E+0000"); },
         {"error fdsn-415 " + ldo_at + "a polynomial stage and a stage-0 sensitivity: StationXML describes the "
                                       "channel by an InstrumentPolynomial, without an InstrumentSensitivity "
                                       "[HILL.XY/LDO./B052:6]"}},
        // The long-period digitizer as an analog gain, without its 57.
        {"420",
         [&](Tree &t) {
             edit(t, lhz, 4, swap("0540024D02", "0540024A02"));
             remove_line(t, lhz, 5);
         },
         {"warning fdsn-420 " + lhz_at + "no stage has a decimation (blockette 57) [HILL.XY/LHZ.00/B052:1]"}},
        // FIR_HILL_2 at 120 samples/s, decimating by 3 to the same 40.
        {"422", [&](Tree &t) { edit(t, bhz, 11, swap("048.0000E+010000200000", "041.2000E+020000300000")); },
         {"error rate-chain " + bhz_at + "stage 4 takes 120 samples/s but stage 3 gives 80 [HILL.XY/BHZ./B052:11]",
          "error fdsn-422 " + bhz_at + "stage 4 takes 120 samples/s but stage 3 gives 80 [HILL.XY/BHZ./B052:11]"}},
        {"423",
         [&](Tree &t) {
             insert_line(t, bhz, 16, "0570000062.0000E+010000100000 0.0000E+00 0.0000E+00");
             insert_line(t, bhz, 17, "058003506 1.00000E+00 1.00000E+0000");
         },
         {"error fdsn-423 " + bhz_at + "stage 6 has a decimation and a gain but no filter [HILL.XY/BHZ./B052:16]"}},
        // Volts between the first two FIRs.
        {"424",
         [&](Tree &t) {
             edit(t, bhz, 7, swap("~B0010010015", "~B0010030015"));
             edit(t, bhz, 10, swap("~C0010010016", "~C0030010016"));
         },
         {"error fdsn-424 " + bhz_at + "stage 3 has a decimation but gives \"V\", not counts [HILL.XY/BHZ./B052:7]"}},
        // The seismometer decimating by 1 at the digitizer's rate.
        {"425", [&](Tree &t) { insert_line(t, bhz, 3, "0570000011.6000E+020000100000 0.0000E+00 0.0000E+00"); },
         {"error fdsn-424 " + bhz_at + "stage 1 has a decimation but gives \"V\", not counts [HILL.XY/BHZ./B052:2]",
          "error fdsn-425 " + bhz_at + "stage 1 is analog (poles and zeros of type A) and has a decimation "
                                       "[HILL.XY/BHZ./B052:3]"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        expect_findings(c.change, c.findings, 5, c.stations);
    }
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
