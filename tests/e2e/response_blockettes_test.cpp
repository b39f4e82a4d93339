// Channel responses: whole B052 files compared byte for byte, one channel
// of RSP.XY (tests/fixtures/response.sql) per run.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/harness.hpp"

using harness::Env;

namespace {

using harness::lines_of;

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const auto &line : lines) text += line + "\n";
    return text;
}

// Blockette 52 of a fixture channel: only the code and the rate differ.
std::string b052_line(const std::string &chan, const std::string &rate = "2.0000E+01",
                      const std::string &location = "  ")
{
    return "0520139" + location + chan + "0000001~002003 37.876202-122.235603   91.0  0.0  0.0-90.0000112" +
           rate + "1.0000E-040000CG~2000,001,00:00:00~2599,365,23:59:59~N";
}

std::string message(int blockette, const std::string &chan, int stage)
{
    return "\n\t Generating Blockette " + std::to_string(blockette) + " for RSP.XY." + chan +
           ".   (Stage " + std::to_string(stage) + ") ....";
}

// The typical broadband channel BHZ, stage by stage, without flags.
const std::string bhz_53 =
    "0530238A01005006 1.00000E+00 1.00000E+00002 0.00000E+00 0.00000E+00 0.00000E+00 0.00000E+00"
    " 0.00000E+00 0.00000E+00 0.00000E+00 0.00000E+00002-3.70000E-02 3.70000E-02 0.00000E+00"
    " 0.00000E+00-3.70000E-02-3.70000E-02 0.00000E+00 0.00000E+00";
const std::vector<std::string> bhz_response = {
    bhz_53,
    "058003501 1.50000E+03 1.00000E+0000",
    "0540024D0200600700000000",
    "058003502 4.13333E+05 1.00000E+0000",
    "061006803FIR_1~B0070070003 2.5000000E-01 5.0000000E-01 2.5000000E-01",
    "0570051032.0000E+010000200000 1.2500E-02 1.2500E-02",
    "058003503 1.00000E+00 1.00000E+0000",
    "061005404FIR_2~C0070070002-1.2500000E-01 6.2500000E-01",
    "0570051041.0000E+010000100000 0.0000E+00 0.0000E+00",
    "058003504 1.00000E+00 1.00000E+0000",
    "061004005FIR_3~A0070070001 1.0000000E+00",
    "0570051051.0000E+010000100000-5.0000E-01 0.0000E+00",
    "058003505 1.00000E+00 1.00000E+0000",
    "058003500 6.20000E+08 1.00000E+0000",
};

class ResponseBlockettes : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::fixture("response.sql")}); }
    static void TearDownTestSuite() { delete db; }

    // Runs one channel of RSP.XY in a fresh tree.
    harness::RunResult quorvex(const std::string &chan, Env env = {})
    {
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", tree / "root");
        return harness::run("Quorvex", {"RSP.XY:" + chan, "2001/02/01", "00:00:00", "a"}, env,
                            tree.path());
    }
    std::string b052(const std::string &dir) { return harness::read_file(tree / ("root/RSP.XY/" + dir + "/B052")); }

    static harness::TestDatabase *db;
    harness::TempDir tree;
};
harness::TestDatabase *ResponseBlockettes::db = nullptr;

TEST_F(ResponseBlockettes, TypicalBroadbandChannelInTableOrderWithStageZeroLast)
{
    auto r = quorvex("BHZ");
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<std::string> expected = {b052_line("BHZ")};
    expected.insert(expected.end(), bhz_response.begin(), bhz_response.end());
    EXPECT_EQ(b052("BHZ."), joined(expected));

    std::string progress = message(53, "BHZ", 1) + message(58, "BHZ", 1) + message(54, "BHZ", 2) +
                           message(58, "BHZ", 2);
    for (int stage = 3; stage <= 5; ++stage)
        progress += message(61, "BHZ", stage) + message(57, "BHZ", stage) + message(58, "BHZ", stage);
    progress += message(58, "BHZ", 0) + "\n\n";
    EXPECT_NE(r.out.find("\n Generating Blockette 59 for RSP.XY.BHZ.   ...." + progress +
                         "\n Disconnecting from ORACLE ...\n\n"),
              std::string::npos)
        << r.out;
}

TEST_F(ResponseBlockettes, LookupAndPolynomialFlagsReplaceOnlyTheirStages)
{
    struct Case {
        Env env;
        bool lookup, abpoly;
    } cases[] = {{{}, false, false},
                 {{{"USE_LOOKUP", ""}}, true, false},
                 {{{"USE_ABPOLY", "0"}}, false, true},
                 {{{"USE_LOOKUP", "1"}, {"USE_ABPOLY", ""}}, true, true}};
    for (const auto &c : cases) {
        harness::TempDir fresh;
        std::vector<std::string> bhz = {b052_line("BHZ")};
        bhz.insert(bhz.end(), bhz_response.begin(), bhz_response.end());
        if (c.lookup) {
            bhz[5] = "06000170103010012";
            bhz[8] = "06000170104010013";
            bhz[11] = "06000170105010014";
        }
        std::string polynomial =
            c.abpoly ? "06000170101015007"
                     : "0620129P01002005MA 0.00000E+00 5.00000E-01-1.00000E+01 1.00000E+01 0.00000E+00002"
                       " 0.00000E+00 0.00000E+00 2.50000E+00 0.00000E+00";
        for (const std::string chan : {"BHZ", "LDO"}) {
            Env env = c.env;
            env.emplace("RESPONSE_DB", db->alias());
            env.emplace("DATA_ROOT", fresh / "root");
            auto r = harness::run("Quorvex", {"RSP.XY:" + chan, "2001/02/01", "00:00:00", "a"}, env,
                                  fresh.path());
            ASSERT_EQ(r.status, 0) << r.out;
            std::string file = harness::read_file(fresh / ("root/RSP.XY/" + chan + "./B052"));
            if (chan == "BHZ") {
                EXPECT_EQ(file, joined(bhz)) << c.lookup << c.abpoly;
                EXPECT_EQ(r.out.find(message(61, "BHZ", 3)) == std::string::npos, c.lookup);
                EXPECT_EQ(r.out.find(message(60, "BHZ", 3)) != std::string::npos, c.lookup);
            } else {
                EXPECT_EQ(file, joined({b052_line("LDO", "1.0000E+00"), polynomial})) << c.lookup << c.abpoly;
                EXPECT_NE(r.out.find(message(c.abpoly ? 60 : 62, "LDO", 1)), std::string::npos) << r.out;
            }
        }
    }
}

TEST_F(ResponseBlockettes, StageNumbersAndTableOrder)
{
    struct Case {
        std::string chan;
        std::vector<std::string> response;
    } cases[] = {
        // Only the overall sensitivity: no stage loop at all.
        {"SNS", {"058003500 6.20000E+08 1.00000E+0000"}},
        // Stage 2 has no row anywhere: nothing for it, no renumbering.
        {"GAP", {"058003501 2.00000E+00 1.00000E+0000", "058003503 3.00000E+00 1.00000E+0000"}},
        // Decimation before poles-zeros in one stage; a stage without zeros.
        {"DPZ",
         {"0570051011.0000E+010000100000 0.0000E+00 0.0000E+00",
          "0530094A01006006 1.00000E+00 1.00000E+00000001-5.00000E-01 0.00000E+00 0.00000E+00 0.00000E+00",
          "058003501 5.00000E+00 1.00000E+0000"}},
        // The poles-zeros row with a NULL lddate counts as absent.
        {"NLD", {"058003501 7.00000E+00 1.00000E+0000"}},
        // A polynomial sees the channel's rate until a decimation of an
        // earlier stage is written, then half that decimation's input rate.
        {"PAD",
         {"0620129P01002005MA 0.00000E+00 1.00000E+01-1.00000E+01 1.00000E+01 0.00000E+00002"
          " 0.00000E+00 0.00000E+00 2.50000E+00 0.00000E+00",
          "0570051014.0000E+010000200001 5.0000E-02 5.0000E-02",
          "0620129P02002005MA 0.00000E+00 2.00000E+01-1.00000E+01 1.00000E+01 0.00000E+00002"
          " 0.00000E+00 0.00000E+00 2.50000E+00 0.00000E+00"}},
        // A missing DM row: the channel's rate and the zeros of a run
        // without an earlier decimation.
        {"NDM", {"0570051012.0000E+010000000000 0.0000E+00 0.0000E+00"}},
    };
    for (const auto &c : cases) {
        harness::TempDir fresh;
        Env env = {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", fresh / "root"}};
        auto r = harness::run("Quorvex", {"RSP.XY:" + c.chan, "2001/02/01", "00:00:00", "a"}, env,
                              fresh.path());
        ASSERT_EQ(r.status, 0) << r.out;
        std::vector<std::string> expected = {b052_line(c.chan)};
        expected.insert(expected.end(), c.response.begin(), c.response.end());
        EXPECT_EQ(harness::read_file(fresh / ("root/RSP.XY/" + c.chan + "./B052")), joined(expected))
            << c.chan;
    }
}

TEST_F(ResponseBlockettes, LocationIsPartOfEveryStageQuery)
{
    ASSERT_EQ(quorvex("LHZ").status, 0);
    EXPECT_EQ(b052("LHZ.00"),
              joined({b052_line("LHZ", "1.0000E+00", "00"), "058003500 1.50000E+09 2.00000E-0200"}));
    EXPECT_EQ(b052("LHZ."), joined({b052_line("LHZ", "1.0000E+00"), "058003500 2.50000E+09 5.00000E-0200"}));
}

TEST_F(ResponseBlockettes, LongFirContinuesInFullBlockettes61AsItsDictionaryEntryDoes)
{
    auto r = quorvex("LFR");
    ASSERT_EQ(r.status, 0) << r.out;
    auto lines = lines_of(b052("LFR."));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], b052_line("LFR"));

    // 29 characters of leading fields and 712 coefficients of 14 fill a
    // record to 9997; the rest follows with the same leading fields.
    const std::size_t counts[] = {712, 712, 76};
    std::string coefficients;
    for (int k = 0; k < 3; ++k) {
        const std::string &line = lines[1 + k];
        std::size_t length = 29 + 14 * counts[k];
        ASSERT_EQ(line.size(), length);
        char head[40];
        std::snprintf(head, sizeof head, "061%04zu01LONG_FIR~A007007%04zu", length, counts[k]);
        EXPECT_EQ(line.substr(0, 29), head);
        coefficients += line.substr(29);
    }
    std::string expected;
    char value[32];
    for (int k = 1; k <= 1500; ++k) {
        std::snprintf(value, sizeof value, "%14.7E", static_cast<double>(static_cast<float>(k * 0.001)));
        expected += value;
    }
    EXPECT_EQ(coefficients, expected);
    EXPECT_EQ(r.out.find(message(61, "LFR", 1)), r.out.rfind(message(61, "LFR", 1)));  // one message

    // The dictionary splits the same set at the same places.
    harness::TempDir fresh;
    Env env = {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", fresh / "root"}, {"USE_LOOKUP", ""}};
    r = harness::run("Quorvex", {"RSP.XY:LFR", "2001/02/01", "00:00:00", "a"}, env, fresh.path());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(harness::read_file(fresh / "root/RSP.XY/LFR./B052"),
              joined({b052_line("LFR"), "06000170101010030"}));
    std::vector<std::string> fir41;
    for (const auto &line : lines_of(harness::read_file(fresh / "root/H.A")))
        if (line.compare(0, 3, "041") == 0 && line.compare(7, 4, "0030") == 0) fir41.push_back(line);
    ASSERT_EQ(fir41.size(), 3u);
    std::string dictionary;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(fir41[k].substr(27, 4), (k < 2 ? "0712" : "0076"));
        dictionary += fir41[k].substr(31);
    }
    EXPECT_EQ(dictionary, expected);
}

TEST_F(ResponseBlockettes, BlockettesAtTheRecordLimitAreWrittenWhole)
{
    // 46 + 207 x 48 and 81 + 413 x 24 characters.
    ASSERT_EQ(quorvex("PZM").status, 0);
    auto pz = lines_of(b052("PZM."));
    ASSERT_EQ(pz.size(), 2u);
    EXPECT_EQ(pz[1].size(), 9982u);
    EXPECT_EQ(pz[1].substr(0, 91),
              "0539982B01005006 1.00000E+00 1.00000E+00100-1.00000E+00 5.00000E-01 0.00000E+00 0.00000E+00");
    EXPECT_EQ(pz[1].substr(43 + 100 * 48, 3), "107");
    EXPECT_EQ(pz[1].substr(pz[1].size() - 48), "-2.07000E+02 1.03500E+02 0.00000E+00 0.00000E+00");

    harness::TestDatabase polynomials({harness::fixture("response.sql"),
                                       harness::fixture("response_long_polynomials.sql")});
    harness::TempDir fresh;
    auto r = harness::run("Quorvex", {"RSP.XY:PNM", "2001/02/01", "00:00:00", "a"},
                          {{"RESPONSE_DB", polynomials.alias()}, {"DATA_ROOT", fresh / "root"}}, fresh.path());
    ASSERT_EQ(r.status, 0) << r.out;
    auto pn = lines_of(harness::read_file(fresh / "root/RSP.XY/PNM./B052"));
    ASSERT_EQ(pn.size(), 2u);
    EXPECT_EQ(pn[1].size(), 9993u);
    EXPECT_EQ(pn[1].substr(0, 81),
              "0629993P01002005MA 0.00000E+00 5.00000E-01-1.00000E+00 1.00000E+00 1.00000E-03413");
    EXPECT_EQ(pn[1].substr(pn[1].size() - 24), " 1.03250E+02 0.00000E+00");
}

TEST_F(ResponseBlockettes, OverlongPolesZerosOrPolynomialIsRefusedWithNothingOfItWritten)
{
    auto r = quorvex("PZL");
    EXPECT_EQ(r.status, 1);
    std::string tail = message(58, "PZL", 1) + message(53, "PZL", 2) +
                       "\n Error: Blockette 53 for RSP.XY.PZL.   (Stage 2) has 208 zeros and poles; at most 207 "
                       "fit in one record.\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
    EXPECT_EQ(b052("PZL."), joined({b052_line("PZL"), "058003501 1.00000E+00 1.00000E+0000"}));

    harness::TestDatabase polynomials({harness::fixture("response.sql"),
                                       harness::fixture("response_long_polynomials.sql")});
    harness::TempDir fresh;
    r = harness::run("Quorvex", {"RSP.XY:PNL", "2001/02/01", "00:00:00", "a"},
                     {{"RESPONSE_DB", polynomials.alias()}, {"DATA_ROOT", fresh / "root"}}, fresh.path());
    EXPECT_EQ(r.status, 1);
    tail = message(62, "PNL", 1) +
           "\n Error: Blockette 62 for RSP.XY.PNL.   (Stage 1) has 414 coefficients; at most 413 fit in one "
           "record.\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
    EXPECT_EQ(harness::read_file(fresh / "root/RSP.XY/PNL./B052"), joined({b052_line("PNL", "1.0000E+00")}));
}

}  // namespace
