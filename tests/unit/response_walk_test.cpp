// The stage walk over several channels of one run: what one channel's
// decimation leaves in the shared state shows in the next channel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "generator/disk_tree.hpp"
#include "tests/support/harness.hpp"
#include "generator/state.hpp"
#include "generator/writers.hpp"

using namespace quorvex;

namespace {

class ResponseWalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("RESPONSE_DB", db->alias().c_str(), 1);
        q = std::make_unique<Quorvex>(sql, tree, nullptr);
        q->sql.connect();
        std::strcpy(q->sta2, "RSP");
        std::strcpy(q->net2, "XY");
        std::strcpy(q->sta, "RSP");
        std::strcpy(q->net, "XY");
        std::strcpy(q->date, "2001/02/01 00:00:00");
    }
    void TearDown() override { q->sql.commit_release(); }

    // As the channel loop hands a channel over: row values, then the walk.
    std::string walk(const std::string &seedchan, float samprate)
    {
        std::strcpy(q->seedchan, seedchan.c_str());
        std::strcpy(q->location, "  ");
        q->samprate = samprate;
        std::string path = dir / (seedchan + std::to_string(++walks));
        {
            auto b052 = tree.open_append(path);
            EXPECT_TRUE(b052);
            write_response(*q, *b052);
        }
        return harness::read_file(path);
    }

    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::fixture("response.sql")}); }
    static void TearDownTestSuite() { delete db; }

    static harness::TestDatabase *db;
    harness::TempDir dir;
    int walks = 0;
    rdb::Sql sql;
    DiskTree tree;
    std::unique_ptr<Quorvex> q;
};

harness::TestDatabase *ResponseWalk::db = nullptr;

TEST_F(ResponseWalk, MissingDecimationRowRepeatsTheLastDecimationOfTheRun)
{
    EXPECT_EQ(walk("NDM", 20), "0570051012.0000E+010000000000 0.0000E+00 0.0000E+00\n");
    walk("BHZ", 20);  // its last decimation: 10 sps, factor 1, delay -0.5
    EXPECT_EQ(walk("NDM", 20), "0570051012.0000E+010000100000-5.0000E-01 0.0000E+00\n");
}

}  // namespace
