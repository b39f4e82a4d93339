// Several generator runs reading one database at the same time, each into a
// header tree of its own, give exactly what the same runs give one after
// another.
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/harness.hpp"

namespace {

constexpr int runs = 8;

TEST(Concurrency, EightGeneratorRunsAtOnceMatchTheSameRunsInTurn)
{
    harness::TestDatabase db({harness::demo_sql(), harness::demo_station_copies(runs)});
    harness::TempDir dir;

    auto generate = [&](const std::string &tree, int k) {
        return harness::run("Quorvex", {"ST" + std::to_string(k) + ".XY", "2004/01/01", "00:00:00", "a"},
                            {{"RESPONSE_DB", db.alias()}, {"DATA_ROOT", tree}}, dir.path());
    };

    std::vector<harness::RunResult> together(runs);
    std::vector<std::thread> threads;
    for (int k = 1; k <= runs; ++k)
        threads.emplace_back([&, k] { together[k - 1] = generate(dir / ("together" + std::to_string(k)), k); });
    for (auto &t : threads) t.join();

    for (int k = 1; k <= runs; ++k) {
        std::string one = dir / ("one" + std::to_string(k));
        harness::RunResult alone = generate(one, k);
        std::string both = dir / ("together" + std::to_string(k));
        ASSERT_EQ(alone.status, 0) << alone.out;
        EXPECT_EQ(together[k - 1].status, 0) << together[k - 1].out;
        // The outputs differ only in the root path they name.
        std::string expected = alone.out;
        expected.replace(expected.find(one), one.size(), both);
        EXPECT_EQ(together[k - 1].out, expected);

        auto tree = harness::read_tree(one);
        EXPECT_GE(tree.size(), 10u);  // H.A, B050, B051 and two files per channel
        EXPECT_NE(tree["ST" + std::to_string(k) + ".XY/BHZ./B052"].find("\n061"), std::string::npos);
        EXPECT_EQ(harness::read_tree(both), tree) << "run " << k;
    }
}

}  // namespace
