// Mutated demo trees through the reader: every run either reads the tree or
// throws seed::Error, never anything else; through the program, every run
// ends with status 0 or 1 and no crash or sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "tests/support/harness.hpp"
#include "seed/reader/inventory.hpp"

namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;


std::string join_lines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const auto &l : lines) text += l + "\n";
    return text;
}

// One to three edits of one file: a byte changed (often to a digit, a
// blank or "~"), a line cut, doubled, dropped or swapped with the next, a
// digit of a length or count field changed, the file cut short.
std::string mutate(const std::string &text, std::mt19937 &random)
{
    auto pick = [&](std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    std::vector<std::string> lines = harness::lines_of(text);
    for (int edits = 1 + static_cast<int>(pick(3)); edits > 0 && !lines.empty(); --edits) {
        std::string &line = lines[pick(lines.size())];
        std::size_t i = pick(lines.size());
        switch (pick(8)) {
        case 0:
            if (!line.empty()) line[pick(line.size())] = static_cast<char>(pick(256));
            break;
        case 1:
            if (!line.empty()) line[pick(line.size())] = "0123456789 ~.-+E"[pick(16)];
            break;
        case 2:
            line.resize(pick(line.size() + 1));
            break;
        case 3:
            lines.insert(lines.begin() + static_cast<long>(i), lines[i]);
            break;
        case 4:
            lines.erase(lines.begin() + static_cast<long>(i));
            break;
        case 5:
            if (i + 1 < lines.size()) std::swap(lines[i], lines[i + 1]);
            break;
        case 6:  // the length field, or a count a few fields on
            if (line.size() > 7) line[3 + pick(4)] = static_cast<char>('0' + pick(10));
            break;
        default:
            if (!line.empty()) {
                std::size_t at = pick(line.size());
                if (line[at] >= '0' && line[at] <= '9') line[at] = static_cast<char>('0' + pick(10));
            }
        }
    }
    std::string out = join_lines(lines);
    if (pick(10) == 0) out.resize(pick(out.size() + 1));
    return out;
}

class SeedtreeFuzz : public ::testing::Test {
protected:
    void SetUp() override
    {
        harness::TestDatabase db({harness::demo_sql()});
        // Both dictionaries and references, and the plain responses.
        for (harness::Env flags : {harness::Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}, harness::Env{}}) {
            std::string root = dir / (flags.empty() ? "plain" : "lookup");
            flags.emplace("RESPONSE_DB", db.alias());
            flags.emplace("DATA_ROOT", root);
            auto r = harness::run("Quorvex", {"HILL.XY", "2003/07/01", "00:00:00", "a"}, flags, dir.path());
            ASSERT_EQ(r.status, 0) << r.out;
            r = harness::run("Quorvex", {"HILL.XY", "1998/01/01", "00:00:00", "a"}, flags, dir.path());
            ASSERT_EQ(r.status, 0) << r.out;
        }
    }

    // Each round mutates one file of a tree, runs check, and restores it.
    template <typename Check>
    void rounds(int count, unsigned seed, Check check)
    {
        std::mt19937 random(seed);
        for (int n = 0; n < count; ++n) {
            std::string root = dir / (n % 2 ? "lookup" : "plain");
            Tree tree = harness::read_tree(root);
            ASSERT_FALSE(tree.empty()) << root;
            auto it = std::next(tree.begin(), static_cast<long>(random() % tree.size()));
            std::string path = root + "/" + it->first;
            harness::write_file(path, mutate(it->second, random));
            check(root, n);
            harness::write_file(path, it->second);
        }
    }

    harness::TempDir dir;
};

TEST_F(SeedtreeFuzz, ReaderReadsOrThrowsItsErrorOnMutatedTrees)
{
    int read = 0, refused = 0;
    rounds(3000, 12345, [&](const std::string &root, int n) {
        try {
            seed::Inventory inventory = seed::read_tree(root);
            ++read;
        } catch (const seed::Error &e) {
            ++refused;
            EXPECT_EQ(std::string(e.what()).find(root), 0u) << n << ": " << e.what();
        } catch (const std::exception &e) {
            ADD_FAILURE() << "round " << n << ": " << typeid(e).name() << ": " << e.what();
        }
    });
    // Most mutations break a tree, some do not (a changed digit in a value).
    EXPECT_GT(read, 100);
    EXPECT_GT(refused, 1500);
}

TEST_F(SeedtreeFuzz, ProgramEndsWithStatusZeroOrOneOnMutatedTrees)
{
    rounds(250, 54321, [&](const std::string &root, int n) {
        auto r = harness::run("seedtree", {"list", root}, {});
        EXPECT_TRUE(r.status == 0 || r.status == 1) << n << ": status " << r.status << "\n" << r.err;
        if (r.status == 1) {
            EXPECT_EQ(r.err.rfind("seedtree: " + root, 0), 0u) << n << ": " << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << n << ": " << r.err;
        }
        for (const char *bad : {"terminate", "Sanitizer", "runtime error", "internal error"})
            EXPECT_EQ(r.err.find(bad), std::string::npos) << n << ": " << r.err;
    });
}

}  // namespace
