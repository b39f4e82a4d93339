// The request file's splitters and the merging of its lines.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/db/run_end.hpp"
#include "drivers/request.hpp"

using namespace drivers;

namespace {

std::vector<std::string> fields(const TokenList &t)
{
    return std::vector<std::string>(t.tokenv, t.tokenv + t.tokenc);
}

TEST(Splitters, InlineAndCopyGiveTheSameFields)
{
    struct Case {
        std::string line;
        std::vector<std::string> expected;
    } cases[] = {
        {"", {}},
        {"A", {"A"}},
        {"\t", {"", ""}},
        {"A\tB", {"A", "B"}},
        {"A\t\tB\t", {"A", "", "B", ""}},
        {"\tA", {"", "A"}},
        {"A B\tC  D", {"A B", "C  D"}},
    };
    for (const auto &c : cases) {
        TokenList in_place;
        std::string buffer = c.line;
        EXPECT_EQ(split_inline(in_place, buffer.data()), static_cast<int>(c.expected.size())) << c.line;
        EXPECT_EQ(fields(in_place), c.expected) << c.line;
        // Separators became NULs: the buffer now reads as its first field.
        EXPECT_STREQ(buffer.c_str(), c.expected.empty() ? "" : c.expected[0].c_str());

        TokenList copies;
        EXPECT_EQ(split_copy(copies, c.line.c_str()), static_cast<int>(c.expected.size())) << c.line;
        EXPECT_EQ(fields(copies), c.expected) << c.line;
        for (std::int32_t k = 0; k < copies.tokenc; ++k)
            EXPECT_FALSE(copies.tokenv[k] >= c.line.data() && copies.tokenv[k] < c.line.data() + c.line.size());
    }
}

TEST(Splitters, ManyFieldsGrowTheListAndResetEmptiesIt)
{
    std::string line;
    for (int k = 0; k < 1000; ++k) line += std::to_string(k) + "\t";
    TokenList t;
    ASSERT_EQ(split_copy(t, line.c_str()), 1001);
    EXPECT_STREQ(t.tokenv[999], "999");
    EXPECT_STREQ(t.tokenv[1000], "");
    reset_token(t);
    EXPECT_EQ(t.tokenc, 0);
    EXPECT_EQ(t.tokenv, nullptr);
    // The list is reusable, now for fields in place.
    ASSERT_EQ(split_inline(t, line.data()), 1001);
    EXPECT_STREQ(t.tokenv[500], "500");
    // Copies added to fields in place, without a reset between: the reset
    // frees the copies only, never a pointer into the line.
    ASSERT_EQ(split_copy(t, "A\tB"), 1003);
    EXPECT_STREQ(t.tokenv[1002], "B");
    reset_token(t);
    EXPECT_EQ(t.tokenc, 0);
}

// The sanitizers' shadow memory does not live under an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
#define DRIVERS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DRIVERS_SANITIZED 1
#endif
#endif

#ifndef DRIVERS_SANITIZED
TEST(SplittersDeathTest, AllocationFailureEndsTheRunWithOne)
{
    auto grow_until_refused = [] {
        rlimit limit{};
        std::ifstream statm("/proc/self/statm");
        unsigned long pages = 0;
        statm >> pages;
        limit.rlim_cur = limit.rlim_max = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + (64ul << 20);
        setrlimit(RLIMIT_AS, &limit);
        TokenList t;
        static char field[] = "x";
        // The run's end, as Mebrisk's main gives it.
        try {
            for (;;) push_token(t, field);
        } catch (const rdb::RunEnd &end) {
            std::fputs(end.text().c_str(), stderr);
            std::exit(end.status());
        }
    };
    EXPECT_EXIT(grow_until_refused(), ::testing::ExitedWithCode(1), "^Error \\(re\\)allocing argv\n$");
}
#endif

// Merges lines given as station, network, channel, start, end.
Requests merged(const std::vector<std::vector<std::string>> &lines)
{
    Requests r;
    for (const auto &l : lines) {
        std::string buffer = l[0] + "\t" + l[1] + "\t" + l[2] + "\t\t\t\t\t\t" + l[3] + "\t" + l[4];
        TokenList t;
        EXPECT_EQ(split_inline(t, buffer.data()), 10);
        r.merge(t.tokenv);
    }
    return r;
}

TEST(Merge, EachKeyGetsTheByteWiseHullOfItsWindows)
{
    Requests r = merged({
        {"ABCDE", "XY", "BHZ", "2001,005,00:00:00", "2001,010,00:00:00"},
        {"ABCDE", "XY", "BHN", "2001,001,00:00:00", "2001,006,00:00:00"},
        {"ABCDE", "XY", "BHZ", "2001,005,00:00:00", "2001,010,00:00:00.5"},
        {"ABCDE", "YY", "BHZ", "2002,001,00:00:00", "2002,002,00:00:00"},
        {"ABCDE", "XY", "BHZ", "2001,004,23:59:59", "2001,009,00:00:00"},
    });
    ASSERT_EQ(r.rs.size(), 2u);
    EXPECT_EQ(r.rs[0].station, "ABCDE");
    EXPECT_EQ(r.rs[0].start, "2001,001,00:00:00");
    // A longer time sorts after the same 17 characters alone.
    EXPECT_EQ(r.rs[0].end, "2001,010,00:00:00.5");
    EXPECT_EQ(r.rs[1].network, "YY");

    ASSERT_EQ(r.rc.size(), 3u);
    EXPECT_EQ(r.rc[0].channel, "BHZ");
    EXPECT_EQ(r.rc[0].start, "2001,004,23:59:59");
    EXPECT_EQ(r.rc[0].end, "2001,010,00:00:00.5");
    EXPECT_EQ(r.rc[1].channel, "BHN");
    EXPECT_EQ(r.rc[1].end, "2001,006,00:00:00");
    EXPECT_EQ(r.rc[2].network, "YY");
}

TEST(Merge, TablesGrowPastAHundredKeys)
{
    std::vector<std::vector<std::string>> lines;
    for (int k = 0; k < 250; ++k)
        lines.push_back({"S" + std::to_string(k), "XY", "BHZ", "2001,001,00:00:00", "2001,002,00:00:00"});
    Requests r = merged(lines);
    ASSERT_EQ(r.rs.size(), 250u);
    EXPECT_EQ(r.rc.size(), 250u);
    EXPECT_EQ(r.rs[249].station, "S249");
}

}  // namespace
