// Quorvex's command line, station check, environment, mode check and
// channel loop, compared byte for byte on standard output.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::run;

namespace {

const std::string connected = "\n Connected to ORACLE as user: vordadba\n\n";
const std::string disconnect = "\n Disconnecting from ORACLE ...\n\n";

class QuorvexSpine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::fixture("spine.sql")}); }
    static void TearDownTestSuite() { delete db; }

    harness::RunResult quorvex(const std::vector<std::string> &args, Env env = {})
    {
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", tree / "root");
        return run("Quorvex", args, env, tree.path());
    }

    static harness::TestDatabase *db;
    harness::TempDir tree;
};
harness::TestDatabase *QuorvexSpine::db = nullptr;

TEST_F(QuorvexSpine, UsageOnAnyOtherArgumentCount)
{
    const std::string usage =
        "\n\n Quorvex <sta.net[:chan]> [<YYYY/MM/DD> <HH:MM:SS> <a|s|c>]\n"
        "\n a = ALL -- s = STATION -- c = CHANNEL."
        "\n Environment variable DATA_ROOT specifies the root path and name."
        "\n Environment variable USE_LOOKUP set --> Use blockettes 41 & 60 instead of 61."
        "\n Environment variable USE_ABPOLY set --> Use blockettes 42 & 60 instead of 62.\n\n";
    for (auto args : {std::vector<std::string>{}, {"ABC.XY", "2001/02/01", "00:00:00"},
                      {"a", "b", "c", "d", "e"}}) {
        auto r = quorvex(args);
        EXPECT_EQ(r.out, usage);
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(QuorvexSpine, MissingNetworkCodeEndsWithZeroBeforeConnecting)
{
    auto r = quorvex({"abc"});
    EXPECT_EQ(r.out, "\n Error: Network code missing.\n\n");
    EXPECT_EQ(r.status, 0);
    r = quorvex({"abc", "2001/02/01", "00:00:00", "a"});
    EXPECT_EQ(r.out, "\n Error: Network code missing.\n\n");
}

TEST_F(QuorvexSpine, OverlongArgumentsAreRefusedBeforeConnecting)
{
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"ABCDEFG.XY"}, "\n Error: Station code longer than 6 characters.\n\n"},
        {{"ABC.XYXYXYXYX", "2001/02/01", "00:00:00", "a"}, "\n Error: Network code longer than 8 characters.\n\n"},
        {{"ABC.XY:BHZBHZB", "2001/02/01", "00:00:00", "a"}, "\n Error: Channel code longer than 6 characters.\n\n"},
        {{"ABC.XY", "2001/02/01/", "00:00:00", "a"}, "\n Error: Date longer than YYYY/MM/DD.\n\n"},
        {{"ABC.XY", "2001/02/01", "00:00:00:00", "a"}, "\n Error: Time longer than HH:MM:SS.\n\n"},
    };
    for (const auto &c : cases) {
        auto r = quorvex(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
    }
}

TEST_F(QuorvexSpine, ListingPrintsEveryEpochAndEndsWithOne)
{
    auto r = quorvex({"abc.xy:bhz"});
    EXPECT_EQ(r.out, connected +
                         "\n ABC   \tXY      \t1998/01/01 00:00:00            \t2000/12/31 23:59:59            "
                         "\n ABC   \tXY      \t2001/01/01 00:00:00            \t2599/12/31 23:59:59            "
                         "\n\n Disconnecting from ORACLE ...\n\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(QuorvexSpine, DateOutsideEveryEpochComesBeforeTheModeCheck)
{
    for (std::string mode : {"a", "x"}) {
        auto r = quorvex({"ABC.XY", "1990/01/01", "00:00:00", mode});
        EXPECT_EQ(r.out, connected + "\n No data found for this station at this date.\n\n");
        EXPECT_EQ(r.status, 1);
    }
    EXPECT_FALSE(harness::file_exists(tree / "root"));
}

TEST_F(QuorvexSpine, WrongModeIsRefusedAfterTheRootPathMessage)
{
    for (std::string mode : {"all", "A", ""}) {
        auto r = quorvex({"ABC.XY", "2001/02/01", "00:00:00", mode});
        EXPECT_EQ(r.out, connected + "\n Using root path " + (tree / "root") + "\n\n" +
                             "\n Error: Argument has to be <a | s | c>.\n\n");
        EXPECT_EQ(r.status, 1);
    }
    auto r = run("Quorvex", {"ABC.XY", "2001/02/01", "00:00:00", "b"}, {{"RESPONSE_DB", db->alias()}},
                 tree.path());
    EXPECT_EQ(r.out, connected + "\n No root path specified, using ./HAR000\n\n" +
                         "\n Error: Argument has to be <a | s | c>.\n\n");
}

TEST_F(QuorvexSpine, TouchingEpochsAtTheSharedInstantAreADatabaseError)
{
    auto r = quorvex({"TCH.XY", "2001/01/01", "00:00:00", "a"});
    EXPECT_EQ(r.out.rfind(connected + "\nORACLE error detected:\nORA-01422: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 2), " \n");
    EXPECT_EQ(r.status, 1);
    // One second later only the second epoch holds.
    EXPECT_EQ(quorvex({"TCH.XY", "2001/01/01", "00:00:01", "a"}).status, 0);
}

TEST_F(QuorvexSpine, NullLoadDateIsADatabaseError)
{
    auto r = quorvex({"NUL.XY", "2001/01/01", "00:00:00", "a"});
    EXPECT_EQ(r.out.rfind(connected + "\nORACLE error detected:\nORA-01405: ", 0), 0u) << r.out;
    EXPECT_EQ(r.status, 1);
}

TEST_F(QuorvexSpine, MalformedDateIsADatabaseError)
{
    auto r = quorvex({"ABC.XY", "2001-02-01", "00:00:00", "a"});
    EXPECT_EQ(r.out.rfind(connected + "\nORACLE error detected:\nORA-01861: ", 0), 0u) << r.out;
    EXPECT_EQ(r.status, 1);
}

TEST_F(QuorvexSpine, MissingDatabaseFileIsAConnectError)
{
    auto r = run("Quorvex", {"ABC.XY"}, {{"RESPONSE_DB", tree / "missing.db"}}, tree.path());
    EXPECT_EQ(r.out.rfind("\nORACLE error detected:\n", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("Connected"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 2), " \n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(QuorvexSpine, GenerationRunWalksTheOpenChannels)
{
    auto r = quorvex({"abc.xy", "2001/02/01", "00:00:00", "a"});
    EXPECT_EQ(r.out.rfind(connected + "\n Using root path " + (tree / "root") + "\n\n", 0), 0u) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 2 - disconnect.size()), "\n\n" + disconnect);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(harness::file_exists(tree / "root"));
}

TEST_F(QuorvexSpine, NoMatchingChannelWritesNothing)
{
    // LHZ closed before the run date; XYZ does not exist.
    for (std::string arg : {"ABC.XY:LHZ", "ABC.XY:XYZ"}) {
        for (std::string mode : {"a", "s", "c"}) {
            auto r = quorvex({arg, "2001/02/01", "00:00:00", mode});
            EXPECT_EQ(r.out, connected + "\n Using root path " + (tree / "root") + "\n\n" + "\n\n" + disconnect);
            EXPECT_EQ(r.status, 0);
            EXPECT_FALSE(harness::file_exists(tree / "root"));
        }
    }
}

TEST_F(QuorvexSpine, StationModeStopsAfterTheFirstMatchingChannel)
{
    auto r = quorvex({"ABC.XY:BHN", "2001/02/01", "00:00:00", "s"});
    EXPECT_EQ(r.out.find(disconnect), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(harness::file_exists(tree / "root"));
}

}  // namespace

namespace {

// A server that cannot be reached, or a database it does not have, fails at
// connect like a missing file: the database's message, status 1, no
// connected line.
TEST(QuorvexConnect, UnreachableServerOrMissingDatabaseIsAConnectError)
{
    harness::TempDir dir;
    std::vector<std::string> aliases = {"postgresql://127.0.0.1:1/response"};
    if (harness::backend() == "postgresql") {
        harness::TestDatabase db({});
        aliases.push_back(db.alias() + "_missing");
    }
    for (const auto &alias : aliases) {
        auto r = run("Quorvex", {"ABC.XY"}, {{"RESPONSE_DB", alias}}, dir.path());
        EXPECT_EQ(r.out.rfind("\nORACLE error detected:\n", 0), 0u) << r.out;
        EXPECT_EQ(r.out.find("Connected"), std::string::npos) << r.out;
        EXPECT_EQ(r.status, 1);
    }
}

// The PostgreSQL backend, and libpq with it, is loaded only when a server
// is named; when it cannot be loaded, naming a server is a connect error
// that says so. (The backend's file is hidden by an empty file bound over
// it in a mount namespace of the run's own: root only.)
TEST(QuorvexConnect, PostgreSqlClientIsLoadedOnlyForAServer)
{
    harness::TempDir dir;
    harness::TestDatabase db({harness::fixture("spine.sql")});
    if (harness::backend() == "sqlite") {
        auto r = run("Quorvex", {"ABC.XY"}, {{"RESPONSE_DB", db.alias()}, {"LD_DEBUG", "libs"}}, dir.path());
        EXPECT_NE(r.err.find("libsoci_sqlite3"), std::string::npos) << "LD_DEBUG shows the libraries loaded";
        EXPECT_EQ(r.err.find("libpq"), std::string::npos);
        EXPECT_EQ(r.err.find("libsoci_postgresql"), std::string::npos);
    }

    if (geteuid() != 0) GTEST_SKIP() << "hiding the backend's library needs root";
    auto r = run("/usr/bin/unshare",
                 {"--mount", "/bin/sh", "-c",
                  "backend=$(readlink -f /usr/lib/x86_64-linux-gnu/libsoci_postgresql.so.4.0) && "
                  "mount --bind /dev/null \"$backend\" && exec \"$0\" ABC.XY",
                  harness::tools_dir() + "/Quorvex"},
                 {{"RESPONSE_DB", "postgresql://127.0.0.1:1/response"}}, dir.path());
    if (r.out.empty()) GTEST_SKIP() << "no mount namespace here: " << r.err;
    EXPECT_NE(r.out.find("\nORACLE error detected:\nthe PostgreSQL backend cannot be loaded (install "
                         "libsoci-postgresql4.0)"),
              std::string::npos)
        << r.out << r.err;
    EXPECT_EQ(r.status, 1);
}

}  // namespace
