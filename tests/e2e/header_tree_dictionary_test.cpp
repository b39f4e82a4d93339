// The abbreviation dictionary root/H.A, compared byte for byte: its
// blockettes for every flag combination, the run that finds it present, and
// the runs that end before it is complete (which leave no H.A).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/support/harness.hpp"

using harness::Env;

namespace {

const std::string connected = "\n Connected to ORACLE as user: vordadba\n\n";

std::string lines(std::initializer_list<std::string> records)
{
    std::string text;
    for (const auto &r : records) text += r + "\n";
    return text;
}

// Head of the dictionary: formats, comments and abbreviations of
// header_tree.sql. Format 6 lacks its second decoder key: the first is
// written again in its place.
const std::string head = lines({
    "0300034Test Format~000105002K1~K2~",
    "0300103Steim2 Integer Compression Format~000405003F1 P4 W4 D C2 R1 P8 W4 D C2~P0 W4 N15 S2,0,1~T0 X W4~",
    "0300026Gap~000601002G1~G1~",
    "03100310012SVault door open~000",
    "03100280013CClock locked~003",
    "03100221013SSensor~000",
    "0330014001ABC~",
    "0330026005XY Hill Network~",
});

// Units of header_tree_filters.sql.
const std::string filter_units = lines({
    "0340018002V~Volts~",
    "0340032003COUNTS~Digital Counts~",
    "0340021008PA~Pascals~",
    "0340028009C~Degrees Celsius~",
});

// Filter 10 has a NULL name and symmetry: both keep the previous row's.
const std::string fir_filters = lines({
    "04100700007FIR_1~B0030030003 2.5000000E-01 5.0000000E-01 2.5000000E-01",
    "04100580008FIR_2_A~C0030030002-1.5000000E+00 1.0000000E-07",
    "04100280009EMPTY~A0030030000",
    "04100420010EMPTY~A0030030001 1.0000000E+00",
});

// LKS_T LDS has both names: LDS decides (PA).
const std::string polynomials = lines({
    "04201375012LDS_A~P008002MA 0.00000E+00 1.00000E+00-1.00000E+01 1.00000E+01 0.00000E+00002 0.00000E+00 "
    "0.00000E+00 2.50000E+00 0.00000E+00",
    "04201175013LKS_T LDS~P008002MA 0.00000E+00 1.00000E+00 0.00000E+00 5.00000E+00 1.25000E-01001 1.25000E+00 "
    "0.00000E+00",
    "04201615014LKS_T~P009002MA 0.00000E+00 1.00000E+00-4.00000E+01 6.00000E+01 5.00000E-01003-3.00000E+00 "
    "0.00000E+00 1.00000E-02 0.00000E+00 2.00000E-06 0.00000E+00",
});

const std::string messages_30_to_34 =
    "\n Generating Abbreviation Dictionary ..."
    "\n\t Generating Blockettes 30 ..."
    "\n\t Generating Blockettes 31 ..."
    "\n\t Generating Blockettes 33 ..."
    "\n\t Generating Blockettes 34 ...";

// Every file below root that is not a header-tree file (left-over
// temporary dictionaries among them).
std::vector<std::string> stray_files(const std::string &root)
{
    std::vector<std::string> stray;
    for (const auto &[name, text] : harness::read_tree(root)) {
        auto base = std::filesystem::path(name).filename().string();
        if (base != "H.A" && base[0] != 'B') stray.push_back(name);
    }
    return stray;
}

class Dictionary : public ::testing::Test {
protected:
    harness::RunResult quorvex(const harness::TestDatabase &db, const std::string &root, Env env = {},
                               const std::string &station = "ABC.XY:BHZ")
    {
        env.emplace("RESPONSE_DB", db.alias());
        env.emplace("DATA_ROOT", root);
        return harness::run("Quorvex", {station, "2001/02/01", "00:00:00", "a"}, env, tree.path());
    }
    std::string root() const { return tree / "root"; }

    harness::TempDir tree;
};

TEST_F(Dictionary, WithoutFlagsHoldsFormatsCommentsAbbreviationsAndUnits)
{
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql")});
    auto r = quorvex(db, root());
    EXPECT_EQ(r.status, 0) << r.out;
    // MICRO M has a NULL description: it keeps the text of the row before.
    EXPECT_EQ(harness::read_file(root() + "/H.A"),
              head + lines({"0340044002M/S~Velocity in meters per second~", "0340032003COUNTS~Digital Counts~",
                            "0340033004MICRO.M~Digital Counts~", "0340018005V~Volts~"}));
    EXPECT_EQ(r.out.rfind(connected + "\n Using root path " + root() + "\n\n" + messages_30_to_34 +
                              "\n\n Generating Blockette 50 for ABC.XY ....",
                          0),
              0u)
        << r.out;
}

TEST_F(Dictionary, FlagsAddFirFiltersAndPolynomialsByPresenceAlone)
{
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_filters.sql")});
    struct Case {
        Env env;
        std::string dictionary;
        std::string messages;
    } cases[] = {
        {{}, head + filter_units, ""},
        {{{"USE_LOOKUP", ""}}, head + filter_units + fir_filters, "\n\t Generating Blockettes 41 ..."},
        {{{"USE_ABPOLY", "0"}}, head + filter_units + polynomials, "\n\t Generating Blockettes 42 ..."},
        {{{"USE_LOOKUP", "1"}, {"USE_ABPOLY", ""}},
         head + filter_units + fir_filters + polynomials,
         "\n\t Generating Blockettes 41 ...\n\t Generating Blockettes 42 ..."},
    };
    int n = 0;
    for (const auto &c : cases) {
        std::string root = tree / ("root" + std::to_string(n++));
        auto r = quorvex(db, root, c.env);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(harness::read_file(root + "/H.A"), c.dictionary) << root;
        EXPECT_NE(r.out.find(messages_30_to_34 + c.messages + "\n\n Generating Blockette 50"), std::string::npos)
            << r.out;
        EXPECT_TRUE(stray_files(root).empty());
    }
}

TEST_F(Dictionary, PresentDictionaryIsLeftAloneEvenWhenEmpty)
{
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql")});
    std::filesystem::create_directory(root());
    harness::write_file(root() + "/H.A", "");
    auto r = quorvex(db, root(), {{"USE_LOOKUP", ""}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(harness::read_file(root() + "/H.A"), "");
    EXPECT_NE(r.out.find("\n\n Using root path " + root() + "\n\n" +
                         "\n Abbreviation Dictionary already present.\n" +
                         "\n\n Generating Blockette 50 for ABC.XY ...."),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Generating Abbreviation"), std::string::npos);
    // The station and channel files are still written.
    EXPECT_TRUE(harness::file_exists(root() + "/ABC.XY/BHZ./B052"));
}

TEST_F(Dictionary, UnrecognisedPolynomialUnitsEndTheRunAndLeaveNoDictionary)
{
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_filters.sql"),
                              "INSERT INTO PN (key, name, poly_type, lower_bound, upper_bound, max_error) "
                              "VALUES (20, 'lds_lower  ', 'M', 0, 1, 0);"});
    auto r = quorvex(db, root(), {{"USE_ABPOLY", ""}});
    EXPECT_EQ(r.status, 1);
    const std::string tail = "\n\t Generating Blockettes 42 ...\n Error: Units for polynomial [lds_lower] not found.\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_TRUE(std::filesystem::exists(root()));
    EXPECT_TRUE(harness::read_tree(root()).empty());

    // Without the polynomials the next run writes a whole dictionary.
    r = quorvex(db, root());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(harness::read_file(root() + "/H.A"), head + filter_units);
}

TEST_F(Dictionary, DatabaseErrorMidwayLeavesNoDictionary)
{
    // A NULL comment class is read without an indicator: a database error
    // after the blockettes 30 are written.
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql"),
                              "INSERT INTO D_Comment (id, class, description, unit) VALUES (40, NULL, 'x', 0);"});
    auto r = quorvex(db, root());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\n\t Generating Blockettes 31 ...\nORACLE error detected:\nORA-01405: "), std::string::npos)
        << r.out;
    EXPECT_TRUE(harness::read_tree(root()).empty());
}

TEST_F(Dictionary, NullAbbreviationKeepsThePreviousDescriptionOnlyInTheFirstRow)
{
    // The first row is read with the indicator: its NULL description keeps
    // the last comment's text, which shares the variable.
    harness::TestDatabase first({harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql"),
                                 "UPDATE D_Abbreviation SET description = NULL WHERE id = 1;"});
    auto r = quorvex(first, root());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(harness::read_file(root() + "/H.A").find("03100221013SSensor~000\n0330017001Sensor~\n"),
              std::string::npos);

    // A later row is read without it: a database error.
    harness::TestDatabase later({harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql"),
                                 "UPDATE D_Abbreviation SET description = NULL WHERE id = 5;"});
    std::string root2 = tree / "root2";
    r = quorvex(later, root2);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\n\t Generating Blockettes 33 ...\nORACLE error detected:\nORA-01405: "), std::string::npos)
        << r.out;
    EXPECT_TRUE(harness::read_tree(root2).empty());
}

TEST_F(Dictionary, LongFirFilterContinuesInFurtherBlockettesWithTheSameKey)
{
    // 1500 coefficients: 712 fill a record of exactly 9999 characters.
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_filters.sql"),
                              "DELETE FROM DC; DELETE FROM DC_Data;"
                              "INSERT INTO DC (key, name, symmetry) VALUES (21, 'LONG.FIR', 'E');"
                              "INSERT INTO DC_Data (key, type, row_key, coefficient, error) "
                              "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 1500) "
                              "SELECT 21, 'N', k, k * 0.5, NULL FROM n;"});
    auto r = quorvex(db, root(), {{"USE_LOOKUP", ""}});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string dictionary = harness::read_file(root() + "/H.A");
    ASSERT_EQ(dictionary.compare(0, head.size() + filter_units.size(), head + filter_units), 0);
    std::istringstream in(dictionary.substr(head.size() + filter_units.size()));
    std::vector<std::string> records;
    for (std::string line; std::getline(in, line);) records.push_back(line);
    ASSERT_EQ(records.size(), 3u);

    std::string expected[] = {"04199990021LONG_FIR~C0030030712", "04199990021LONG_FIR~C0030030712",
                              "04110950021LONG_FIR~C0030030076"};
    std::string coefficients;
    for (std::size_t k = 0; k < records.size(); ++k) {
        EXPECT_EQ(records[k].substr(0, 31), expected[k]);
        EXPECT_EQ(records[k].size(), static_cast<std::size_t>(std::stoi(records[k].substr(3, 4))));
        coefficients += records[k].substr(31);
    }
    std::string all;
    for (int k = 1; k <= 1500; ++k) {
        char text[32];
        std::snprintf(text, sizeof text, "%14.7E", k * 0.5);
        all += text;
    }
    EXPECT_EQ(coefficients, all);
}

TEST_F(Dictionary, PolynomialTooLongForOneBlocketteIsRefusedWhole)
{
    // 412 coefficients fit (9979 characters), 413 do not.
    auto polynomial = [](int count) {
        return "DELETE FROM PN; DELETE FROM PN_Data;"
               "INSERT INTO PN (key, name, poly_type, lower_bound, upper_bound, max_error) "
               "VALUES (31, 'LDS_BIG', 'M', 0, 1, 0);"
               "INSERT INTO PN_Data (key, row_key, pn_value) "
               "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < " +
               std::to_string(count) + ") SELECT 31, k, k FROM n;";
    };
    harness::TestDatabase fits({harness::fixture("header_tree.sql"), harness::fixture("header_tree_filters.sql"),
                                polynomial(412)});
    auto r = quorvex(fits, root(), {{"USE_ABPOLY", ""}});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string dictionary = harness::read_file(root() + "/H.A");
    std::string last = dictionary.substr(head.size() + filter_units.size());
    EXPECT_EQ(last.substr(0, 19), "04299795031LDS_BIG~");
    EXPECT_EQ(last.substr(88, 3), "412");
    EXPECT_EQ(last.size(), 9980u);  // one line and its newline

    harness::TestDatabase too_long({harness::fixture("header_tree.sql"),
                                    harness::fixture("header_tree_filters.sql"), polynomial(413)});
    std::string root2 = tree / "root2";
    r = quorvex(too_long, root2, {{"USE_ABPOLY", ""}});
    EXPECT_EQ(r.status, 1);
    const std::string tail =
        "\n\t Generating Blockettes 42 ..."
        "\n Error: Polynomial [LDS_BIG] (key 31) has 413 coefficients, more than one blockette 42 holds.\n\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_TRUE(harness::read_tree(root2).empty());
}

TEST_F(Dictionary, OverLongRecordOfAnyKindIsRefusedWithoutDictionary)
{
    // 2000 decoder keys would make a blockette 30 of about 15000 characters;
    // their count does not fit its two digits in the first place.
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql"),
                              "INSERT INTO D_Format_Data (id, row_id, key_d) "
                              "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 2000) "
                              "SELECT 9, k, 'KEY' || k FROM n;"
                              "INSERT INTO D_Format (id, name, family) VALUES (9, 'Many keys', 1);"});
    auto r = quorvex(db, root());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\n Error: Blockette 30 field 6 (number of decoder keys) of data format 9: \"2000\" is "
                         "wider than its 2 characters.\n\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(harness::read_tree(root()).empty());
}

TEST_F(Dictionary, RootWhoseParentIsMissingFailsAtTheDictionary)
{
    harness::TestDatabase db({harness::fixture("header_tree.sql"), harness::fixture("header_tree_units.sql")});
    std::string root = tree / "missing/root";
    auto r = quorvex(db, root);
    EXPECT_EQ(r.out, connected + "\n Using root path " + root + "\n\n" + "\n Error: Couldn't open file " + root +
                         "/H.A\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(tree / "missing"));
}

}  // namespace
