// The station and channel files of the header tree, compared byte for byte:
// blockettes 50 and 51, 52 and 59, the directories they live in, the three
// modes and repeated runs. Channel and comment rows come in no fixed order,
// so such files and messages are compared order-insensitively.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::sorted_lines;

namespace {

const std::string connected = "\n Connected to ORACLE as user: vordadba\n\n";
const std::string disconnect = "\n Disconnecting from ORACLE ...\n\n";

// Worked examples.
const std::string b050_abc =
    "0500104ABC   37.876202-122.235603   91.00000002Hill Top~0053210101998,001,00:00:00~2599,365,23:59:59~NXY\n";
const std::string b051_abc = "05100531998,001,00:00:00~2599,365,23:59:59~0012000000\n"
                             "05100531998,001,00:00:00~2599,365,23:59:59~0013000250\n";
const std::string b052_bhz =
    "0520139  BHZ0000001~002003 37.876202-122.235603   91.0  0.0  0.0-90.00001122.0000E+011.0000E-040000CG~"
    "1998,001,00:00:00~2599,365,23:59:59~N\n";
const std::string b052_bhe =
    "0520139  BHE0000001~002003 37.876202-122.235603   91.0  0.0 90.0  0.00001122.0000E+011.0000E-040003CG~"
    "1998,001,00:00:00~2599,365,23:59:59~N\n";
const std::string b059_bhe = "05900531998,001,00:00:00~2599,365,23:59:59~0012000000\n"
                             "05900531998,001,00:00:00~2599,365,23:59:59~0013000005\n"
                             "05900531998,001,00:00:00~2599,365,23:59:59~1013123456\n";
// Location 00, a remark, an elevation and a depth that fill their fields.
const std::string b052_lhz =
    "052014700LHZ0000007borehole~002003 37.876202-122.235603-1408.5150.0  0.0-90.00001091.0000E+001.0000E-04"
    "0001CG~2000,001,00:00:00~2599,365,23:59:59~N\n";
const std::string b059_lhz = "05900532000,001,00:00:00~2599,365,23:59:59~0012000003\n";

std::string channel_messages(const std::string &channel)
{
    return "\n\n Generating Blockette 52 for " + channel + " ....\n Generating Blockette 59 for " + channel +
           " ....";
}

class HeaderTree : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db = new harness::TestDatabase(
            {harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql")});
    }
    static void TearDownTestSuite() { delete db; }

    harness::RunResult quorvex(const std::string &station, const std::string &mode, Env env = {})
    {
        env.emplace("RESPONSE_DB", db->alias());
        if (!env.count("DATA_ROOT")) env.emplace("DATA_ROOT", root());
        return harness::run("Quorvex", {station, "2001/02/01", "00:00:00", mode}, env, tree.path());
    }
    std::string root() const { return tree / "root"; }
    std::string file(const std::string &name) const { return harness::read_file(root() + "/" + name); }

    static harness::TestDatabase *db;
    harness::TempDir tree;
};
harness::TestDatabase *HeaderTree::db = nullptr;

TEST_F(HeaderTree, ModeAWritesTheStationAndEveryOpenChannel)
{
    auto r = quorvex("abc.xy", "a");
    ASSERT_EQ(r.status, 0) << r.out;

    auto files = harness::read_tree(root());
    std::vector<std::string> names;
    for (const auto &[name, text] : files) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"ABC.XY/B050", "ABC.XY/B051", "ABC.XY/BHE./B052", "ABC.XY/BHE./B059",
                                               "ABC.XY/BHZ./B052", "ABC.XY/BHZ./B059", "ABC.XY/LHZ.00/B052",
                                               "ABC.XY/LHZ.00/B059", "H.A"}));
    EXPECT_EQ(files["ABC.XY/B050"], b050_abc);
    EXPECT_EQ(sorted_lines(files["ABC.XY/B051"]), sorted_lines(b051_abc));
    EXPECT_EQ(files["ABC.XY/BHZ./B052"], b052_bhz);
    EXPECT_EQ(files["ABC.XY/BHZ./B059"], "");  // its comment is not valid yet
    EXPECT_EQ(files["ABC.XY/BHE./B052"], b052_bhe);
    EXPECT_EQ(sorted_lines(files["ABC.XY/BHE./B059"]), sorted_lines(b059_bhe));
    EXPECT_EQ(files["ABC.XY/LHZ.00/B052"], b052_lhz);
    EXPECT_EQ(files["ABC.XY/LHZ.00/B059"], b059_lhz);  // not the comment of location "  "

    const std::string head = connected + "\n Using root path " + root() + "\n\n" +
                             "\n Generating Abbreviation Dictionary ..." + "\n\t Generating Blockettes 30 ..." +
                             "\n\t Generating Blockettes 31 ..." + "\n\t Generating Blockettes 33 ..." +
                             "\n\t Generating Blockettes 34 ..." + "\n\n Generating Blockette 50 for ABC.XY ...." +
                             "\n Generating Blockette 51 for ABC.XY ....";
    const std::string tail = "\n\n" + disconnect;
    ASSERT_EQ(r.out.rfind(head, 0), 0u) << r.out;
    std::string channels = r.out.substr(head.size(), r.out.size() - head.size() - tail.size());
    EXPECT_EQ(r.out.substr(head.size() + channels.size()), tail);
    std::size_t total = 0;
    for (std::string c : {"ABC.XY.BHZ.  ", "ABC.XY.BHE.  ", "ABC.XY.LHZ.00"}) {
        EXPECT_NE(channels.find(channel_messages(c)), std::string::npos) << c << channels;
        total += channel_messages(c).size();
    }
    EXPECT_EQ(channels.size(), total) << channels;
}

TEST_F(HeaderTree, StationWithoutCommentsAndWithNullFields)
{
    auto r = quorvex("NOC.XY", "a");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(file("NOC.XY/B050"),
              "0500096NOC    0.000000   0.000000    0.00000000~0000000002000,001,00:00:00~2599,365,23:59:59~NXY\n");
    EXPECT_TRUE(harness::file_exists(root() + "/NOC.XY/B051"));
    EXPECT_EQ(file("NOC.XY/B051"), "");
    EXPECT_NE(r.out.find("\n\n Generating Blockette 50 for NOC.XY ....\n Generating Blockette 51 for NOC.XY ...."),
              std::string::npos);
}

TEST_F(HeaderTree, SecondIdenticalRunDoublesEveryFileButTheDictionary)
{
    ASSERT_EQ(quorvex("ABC.XY", "a").status, 0);
    auto first = harness::read_tree(root());
    auto r = quorvex("ABC.XY", "a");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n Abbreviation Dictionary already present.\n\n\n Generating Blockette 50"),
              std::string::npos);
    auto second = harness::read_tree(root());
    ASSERT_EQ(first.size(), second.size());
    for (const auto &[name, text] : first) {
        if (name == "H.A")
            EXPECT_EQ(second[name], text);
        else
            EXPECT_EQ(sorted_lines(second[name]), sorted_lines(text + text)) << name;
    }
    // Blockette 52 of a channel stays the first line of each copy.
    EXPECT_EQ(second["ABC.XY/BHZ./B052"], b052_bhz + b052_bhz);
}

TEST_F(HeaderTree, RunsAtOnceIntoOneTreeLeaveWholeFiles)
{
    // The dictionary of one run alone, for comparison.
    ASSERT_EQ(quorvex("ABC.XY", "s", {{"DATA_ROOT", tree / "alone"}}).status, 0);
    const std::string dictionary = harness::read_file(tree / "alone/H.A");

    constexpr int runs = 6;
    std::vector<harness::RunResult> results(runs);
    std::vector<std::thread> threads;
    for (int k = 0; k < runs; ++k) threads.emplace_back([&, k] { results[k] = quorvex("ABC.XY", "a"); });
    for (auto &t : threads) t.join();
    for (const auto &r : results) EXPECT_EQ(r.status, 0) << r.out;

    // Whoever wrote it last, the dictionary is whole, and no temporary
    // file is left; every appended line is whole.
    auto files = harness::read_tree(root());
    EXPECT_EQ(files.size(), 9u);
    EXPECT_EQ(files["H.A"], dictionary);
    auto times = [](const std::string &text) {
        std::string all;
        for (int k = 0; k < runs; ++k) all += text;
        return sorted_lines(all);
    };
    EXPECT_EQ(sorted_lines(files["ABC.XY/B050"]), times(b050_abc));
    EXPECT_EQ(sorted_lines(files["ABC.XY/B051"]), times(b051_abc));
    EXPECT_EQ(sorted_lines(files["ABC.XY/BHE./B059"]), times(b059_bhe));
    EXPECT_EQ(sorted_lines(files["ABC.XY/LHZ.00/B052"]), times(b052_lhz));
}

TEST_F(HeaderTree, ModeSWritesTheStationOnlyAndModeCThenTheChannels)
{
    auto r = quorvex("ABC.XY:LHZ", "s");
    ASSERT_EQ(r.status, 0);
    const std::string tail_s = "\n Generating Blockette 51 for ABC.XY ....\n\n";
    ASSERT_GE(r.out.size(), tail_s.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail_s.size()), tail_s);
    auto tree_s = harness::read_tree(root());
    EXPECT_EQ(tree_s.size(), 3u);  // H.A, B050, B051
    EXPECT_EQ(tree_s["ABC.XY/B050"], b050_abc);
    EXPECT_FALSE(std::filesystem::exists(root() + "/ABC.XY/LHZ.00"));

    r = quorvex("ABC.XY:LHZ", "c");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\n Abbreviation Dictionary already present.\n" + channel_messages("ABC.XY.LHZ.00") +
                         "\n\n" + disconnect),
              std::string::npos)
        << r.out;
    auto tree_c = harness::read_tree(root());
    EXPECT_EQ(tree_c.size(), 5u);
    EXPECT_EQ(tree_c["ABC.XY/B050"], b050_abc);  // mode "c" leaves the station alone
    EXPECT_EQ(tree_c["ABC.XY/B051"], tree_s["ABC.XY/B051"]);
    EXPECT_EQ(tree_c["ABC.XY/LHZ.00/B052"], b052_lhz);
    EXPECT_EQ(tree_c["ABC.XY/LHZ.00/B059"], b059_lhz);
}

TEST_F(HeaderTree, ModeCWithoutStationDirectoryFailsAtTheChannelFile)
{
    auto r = quorvex("ABC.XY:BHZ", "c");
    EXPECT_EQ(r.status, 1);
    const std::string tail = "\n Error: Couldn't open file " + root() + "/ABC.XY/BHZ./B052\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_FALSE(std::filesystem::exists(root() + "/ABC.XY"));
    EXPECT_TRUE(harness::file_exists(root() + "/H.A"));  // written before the channel
}

TEST_F(HeaderTree, DefaultRootIsHar000InTheWorkingDirectory)
{
    auto r = harness::run("Quorvex", {"ABC.XY:BHZ", "2001/02/01", "00:00:00", "a"}, {{"RESPONSE_DB", db->alias()}},
                          tree.path());
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n No root path specified, using ./HAR000\n\n"), std::string::npos);
    EXPECT_EQ(harness::read_file(tree / "HAR000/ABC.XY/BHZ./B052"), b052_bhz);
}

TEST_F(HeaderTree, LongRootPathsWorkOrFailCleanlyAtOpen)
{
    // Over 255 characters: still a valid path.
    std::string deep = tree.path();
    while (deep.size() < 400) deep += "/" + std::string(60, 'd');
    std::filesystem::create_directories(deep);
    auto r = quorvex("ABC.XY:BHZ", "a", {{"DATA_ROOT", deep + "/root"}});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(harness::read_file(deep + "/root/ABC.XY/BHZ./B052"), b052_bhz);

    // Longer than any path the system opens.
    std::string too_long = tree / std::string(5000, 'x');
    r = quorvex("ABC.XY:BHZ", "a", {{"DATA_ROOT", too_long}});
    EXPECT_EQ(r.status, 1);
    const std::string tail = "\n Error: Couldn't open file " + too_long + "/H.A\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
}

}  // namespace
