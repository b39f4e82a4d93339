// The demo database's header tree holds complete, consistent responses:
// checked by the independent reader tests/readers/seed_response_curve.py, and under both
// flags every reference points at a dictionary entry.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "tests/support/harness.hpp"

namespace {

const std::string project = std::string(FIXTURE_DIR) + "/../..";

// The demo files that make HILL.XY's channels, dictionary and responses.
std::vector<std::string> demo_scripts()
{
    std::vector<std::string> scripts;
    for (const char *name : {"00-stations.sql", "10-dictionary.sql", "20-responses.sql"})
        scripts.push_back(harness::read_file(project + "/demo/" + name));
    return scripts;
}

using harness::lines_of;

class DemoResponses : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase(demo_scripts()); }
    static void TearDownTestSuite() { delete db; }

    harness::RunResult quorvex(harness::Env env = {})
    {
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", tree / "root");
        return harness::run("Quorvex", {"HILL.XY", "2003/07/01", "00:00:00", "a"}, env, tree.path());
    }

    static harness::TestDatabase *db;
    harness::TempDir tree;
};
harness::TestDatabase *DemoResponses::db = nullptr;

TEST_F(DemoResponses, IndependentReaderFindsTheStageZeroSensitivity)
{
    auto r = quorvex();
    ASSERT_EQ(r.status, 0) << r.out;
    auto bhz = lines_of(harness::read_file(tree / "root/HILL.XY/BHZ./B052"));
    ASSERT_EQ(bhz.size(), 16u);  // 52; 53 58; 54 57 58; 61 57 58 three times; 58
    EXPECT_EQ(bhz.back(), "058003500 6.29145E+08 1.00000E+0000");

    if (std::system("python3 -c '' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 for the reader";
    std::string report = tree / "report";
    std::string command = "python3 " + project + "/tests/readers/seed_response_curve.py check " + (tree / "root") + " >" + report + " 2>&1";
    int status = std::system(command.c_str());
    std::string out = harness::read_file(report);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    for (std::string chan : {"BHZ.", "BHN.", "BHE.", "LHZ.00"})
        EXPECT_NE(out.find("HILL.XY/" + chan), std::string::npos) << out;
    EXPECT_EQ(out.find("problem"), std::string::npos) << out;
}

TEST_F(DemoResponses, EveryReferenceUnderBothFlagsHasItsDictionaryEntry)
{
    auto r = quorvex({{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}});
    ASSERT_EQ(r.status, 0) << r.out;
    std::set<std::string> keys;
    for (const auto &line : lines_of(harness::read_file(tree / "root/H.A")))
        if (line.compare(0, 3, "041") == 0 || line.compare(0, 3, "042") == 0) keys.insert(line.substr(7, 4));
    int references = 0;
    for (const auto &[path, text] : harness::read_tree(tree / "root"))
        for (const auto &line : lines_of(text))
            if (line.compare(0, 3, "060") == 0) {
                ++references;
                EXPECT_EQ(line.size(), 17u) << path;
                EXPECT_EQ(keys.count(line.substr(13, 4)), 1u) << path << ": " << line;
            }
    EXPECT_EQ(references, 10);  // three FIRs in each of three channels, one polynomial
}

}  // namespace
