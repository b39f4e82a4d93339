// seedtree on broken trees: every fault is one line naming file, line and
// field, with status 1, and a volume file appears only when whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "tests/support/harness.hpp"

using harness::run;

namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

// Replaces the first occurrence of from in the file; the test fails when
// there is none, so a case cannot pass by changing nothing.
void replace(Tree &tree, const std::string &file, const std::string &from, const std::string &to)
{
    std::string &text = tree.at(file);
    std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << file << ": " << from;
    text.replace(at, from.size(), to);
}

void write_tree(const std::string &root, const Tree &tree)
{
    for (const auto &[path, text] : tree) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        harness::write_file(root + "/" + path, text);
    }
}

class SeedtreeErrors : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        harness::TestDatabase db({harness::demo_sql()});
        harness::TempDir dir;
        auto r = run("Quorvex", {"HILL.XY", "2003/07/01", "00:00:00", "a"},
                     {{"RESPONSE_DB", db.alias()}, {"DATA_ROOT", dir / "tree"}, {"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}},
                     dir.path());
        ASSERT_EQ(r.status, 0) << r.out;
        pristine = new Tree(harness::read_tree(dir / "tree"));
    }
    static void TearDownTestSuite() { delete pristine; }

    // seedtree COMMAND on the demo tree as change leaves it.
    harness::RunResult broken(const std::function<void(Tree &)> &change, const std::string &command = "list")
    {
        Tree tree = *pristine;
        change(tree);
        fs::remove_all(root());
        write_tree(root(), tree);
        if (command == "list") return run("seedtree", {"list", root()}, {});
        return run("seedtree", {"volume", root(), "-o", dir / "out.seed"}, {});
    }

    std::string root() const { return dir / "tree"; }

    void expect_failure(const harness::RunResult &r, const std::string &message)
    {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "seedtree: " + message + "\n");
    }

    static Tree *pristine;
    harness::TempDir dir;
};
Tree *SeedtreeErrors::pristine = nullptr;

TEST_F(SeedtreeErrors, FaultyLinesNameFileLineAndField)
{
    const std::string b050 = root() + "/HILL.XY/B050", bhz = root() + "/HILL.XY/BHZ./B052";
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/B050", "0500116", "0500117"); }),
                   b050 + ":1: blockette length: the length field says 117 but the line has 116 characters");
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/BHZ./B052", "0570051", "0990051"); }),
                   bhz + ":5: blockette type: unknown blockette type 099");
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/BHZ./B052", "2.0000E+01", "2.0x00E+01"); }),
                   bhz + ":1: B052 field 18 (sample rate): \"2.0x00E+01\" is not a finite number");
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/BHZ./B052", "2003,182,00:00:00~", "2003,182,00:00~"); }),
                   bhz + ":1: blockette length: the length field says 139 but the line has 136 characters");
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/BHZ./B052", "CG~2003,182", "CG~2003,382"); }),
                   bhz + ":1: B052 field 22 (start date): \"2003,382,00:00:00\" is not a time YYYY,DDD,HH:MM:SS");
    expect_failure(broken([](Tree &t) { replace(t, "H.A", "0340018003V~Volts~", "0340018003V~Volts "); }),
                   root() + "/H.A:11: B034 field 5 (unit description): no \"~\" ends this field");
    // The FIR of stage 3 refers to key 101 of the dictionary.
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/BHZ./B052", "06000170103010101", "06000170103019999"); }),
                   bhz + ":7: B060 field 6 (response lookup key): key 9999 has no blockette 41 or 42 in H.A");
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/BHZ./B052", "  BHZ0000001~002", "  BHZ0000001~009"); }),
                   bhz + ":1: B052 field 8 (units of signal response): lookup code 9 has no blockette 34 in H.A");
}

TEST_F(SeedtreeErrors, EpochsAndCountsThatDoNotFit)
{
    const std::string hill = root() + "/HILL.XY";
    // A channel epoch of 1990 under a station that begins in 2003.
    expect_failure(broken([](Tree &t) {
                       replace(t, "HILL.XY/BHZ./B052", "CG~2003,182,00:00:00~2599,365,23:59:59~",
                               "CG~1990,001,00:00:00~1990,365,23:59:59~");
                   }),
                   hill + "/BHZ./B052:1: B052 field 22 (start date): the channel epoch 1990,001,00:00:00 to "
                          "1990,365,23:59:59 overlaps no station epoch of HILL.XY");
    expect_failure(broken([](Tree &t) { replace(t, "HILL.XY/B050", "93.00000001Hill", "93.00000002Hill"); }),
                   hill + "/B050:1: B050 field 8 (number of station comments): counts 2 comments, but B051 has 1 line(s) left");
    expect_failure(broken([](Tree &t) { t.at("HILL.XY/BHZ./B059") += t.at("HILL.XY/BHZ./B059"); }),
                   hill + "/BHZ./B059:2: no blockette 52 counts this comment (B059 has 2 lines, the counts take 1)");
    expect_failure(broken([](Tree &t) { t.at("HILL.XY/LHZ.00/B059") = ""; }),
                   hill + "/LHZ.00/B052:1: B052 field 20 (number of comments): counts 1 comments, but B059 has 0 line(s) left");
    // The same station epoch start again, with another site name.
    expect_failure(broken([](Tree &t) {
                       std::string again = t.at("HILL.XY/B050");
                       replace(t, "HILL.XY/B050", "Hill Top", "Hill Low");
                       t.at("HILL.XY/B050") += again;
                       t.at("HILL.XY/B051") += t.at("HILL.XY/B051");
                   }),
                   hill + "/B050:2: B050 field 13 (start effective date): station epoch HILL.XY from 2003,182,00:00:00 "
                          "differs from the one at " + hill + "/B050:1");
    expect_failure(broken([](Tree &t) {
                       std::string text = t.at("HILL.XY/BHN./B052");
                       t.at("HILL.XY/BHN./B052") += text;
                       replace(t, "HILL.XY/BHN./B052", "058003500 6.29145E+08", "058003500 6.29146E+08");
                   }),
                   hill + "/BHN./B052:17: B052 field 22 (start date): channel epoch HILL.XY..BHN from 2003,182,00:00:00 "
                          "differs from the one at " + hill + "/BHN./B052:1");
}

TEST_F(SeedtreeErrors, TreesThatMakeNoVolume)
{
    expect_failure(broken([](Tree &t) {
                       Tree moved;
                       for (const auto &[path, text] : t)
                           moved[path.compare(0, 8, "HILL.XY/") == 0 ? "HILX.XY/" + path.substr(8) : path] = text;
                       t = moved;
                   }),
                   root() + "/HILX.XY/B050:1: B050 field 3 (station call letters): station HILL in the directory of station HILX");
    expect_failure(broken([](Tree &t) { t.erase("H.A"); }, "volume"),
                   root() + ": no H.A: a header tree begins with its abbreviation dictionary");
    expect_failure(broken([](Tree &t) { t = Tree{{"H.A", t.at("H.A")}}; }, "volume"),
                   root() + ": no station epochs in the tree: nothing to make a volume of");
    EXPECT_FALSE(harness::file_exists(dir / "out.seed"));

    // 909 station epochs, one directory each: more than blockette 11 holds;
    // 908 make a volume whose index spans three records.
    Tree many{{"H.A", "0330026005XY Test Network~\n"}};
    for (int i = 0; i < 909; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "S%04d", i);
        many[std::string(code) + ".XY/B050"] = std::string("0500100") + code +
                                               " 37.000000-122.000000   10.00000000Site~0053210102000,001,00:00:00~"
                                               "2599,365,23:59:59~NXY\n";
    }
    expect_failure(broken([&](Tree &t) { t = many; }, "volume"),
                   "the volume would hold 909 station epochs, but blockette 11 indexes at most 908; "
                   "select stations with --station and write several volumes");
    many.erase("S0908.XY/B050");
    auto r = broken([&](Tree &t) { t = many; }, "volume");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string command = "python3 " + std::string(READERS_DIR) + "/seed_volume.py " + (dir / "out.seed") + " >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(SeedtreeErrors, NothingIsWrittenToTheFileOnFailure)
{
    harness::write_file(dir / "out.seed", "previous volume");
    auto r = broken([](Tree &t) { replace(t, "HILL.XY/LHZ.00/B052", "0530382A01", "0530382X01"); }, "volume");
    EXPECT_EQ(r.err, "seedtree: " + root() + "/HILL.XY/LHZ.00/B052:2: B053 field 3 (transfer function type): \"X\" is not one of A, B, C, D\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(harness::read_file(dir / "out.seed"), "previous volume");
    for (const auto &entry : fs::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.path().filename() == "out.seed" || entry.path().filename() == "tree") << entry.path();

    // A target that cannot be replaced: the reason, and no temporary file.
    ASSERT_EQ(broken([](Tree &) {}).status, 0);
    fs::create_directories(dir / "taken/out.seed");
    auto taken = run("seedtree", {"volume", root(), "-o", dir / "taken/out.seed"}, {});
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.err, "seedtree: " + (dir / "taken/out.seed") + ": cannot put the file in place: Is a directory\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "taken"), fs::directory_iterator()), 1);

    auto missing = run("seedtree", {"volume", root(), "-o", dir / "no/such/dir/out.seed"}, {});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "seedtree: " + (dir / "no/such/dir/out.seed") + ": cannot create the file: No such file or directory\n");
}

}  // namespace
