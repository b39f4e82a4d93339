// Starting a child without a shell, its outcome, and the tools directory.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "child.hpp"
#include "harness.hpp"

using namespace drivers;

namespace {

TEST(BlankWords, SplitsAtBlanksOnly)
{
    EXPECT_EQ(blank_words("2001/02/01 00:00:00"), (std::vector<std::string>{"2001/02/01", "00:00:00"}));
    EXPECT_EQ(blank_words("  a\t b;c  'd e' "), (std::vector<std::string>{"a", "b;c", "'d", "e'"}));
    EXPECT_TRUE(blank_words("   ").empty());
}

TEST(RunChild, ReportsExitStatusSignalAndStartFailure)
{
    ChildOutcome ok = run_child("/bin/sh", {"-c", "exit 0"});
    EXPECT_FALSE(ok.failed());

    ChildOutcome failed = run_child("/bin/sh", {"-c", "exit 7"});
    EXPECT_TRUE(failed.failed());
    EXPECT_EQ(describe(failed), "exit status 7");

    ChildOutcome killed = run_child("/bin/sh", {"-c", "kill -9 $$"});
    EXPECT_TRUE(killed.failed());
    EXPECT_EQ(describe(killed), "killed by signal 9");

    ChildOutcome missing = run_child("/nonexistent/Quorvex", {});
    EXPECT_TRUE(missing.failed());
    EXPECT_EQ(missing.kind, ChildOutcome::Kind::not_started);
    EXPECT_EQ(missing.code, ENOENT);
}

TEST(RunChild, ArgumentsArePassedVerbatim)
{
    harness::TempDir dir;
    // One argument with a separator, a blank and a substitution makes one file.
    const std::string name = dir / "a;touch b $(touch c)";
    ASSERT_FALSE(run_child("/usr/bin/touch", {name}).failed());
    EXPECT_TRUE(harness::file_exists(name));
    for (std::string other : {"a", "b", "c"}) EXPECT_FALSE(harness::file_exists(dir / other));
}

TEST(ToolsDir, EnvironmentFirstThenTheRunningExecutable)
{
    ::setenv("RESPONSE_TOOLS_DIR", "/opt/tools", 1);
    EXPECT_EQ(tools_dir(), "/opt/tools");
    ::setenv("RESPONSE_TOOLS_DIR", "", 1);
    const std::string own = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(tools_dir(), own);
    ::unsetenv("RESPONSE_TOOLS_DIR");
    EXPECT_EQ(tools_dir(), own);
}

}  // namespace
