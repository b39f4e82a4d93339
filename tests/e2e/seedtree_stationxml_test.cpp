// seedtree stationxml end to end: header trees made by Mebrisk and Quorvex
// from the demo database (plain, USE_LOOKUP, USE_ABPOLY, with the
// barometer's polynomial channel, a 1,500-tap FIR, a station of two
// epochs) become documents that validate against the FDSN schema
// (../shared/fdsn-station-1.2.xsd) and that the independent checker
// tests/readers/stationxml_check.py finds equal to the tree value by
// value, with the same response at the stage-0 frequency. Values that
// StationXML cannot hold are refused with file, line and field, and no
// document.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "seed/reader/error.hpp"
#include "tests/support/harness.hpp"
#include "seed/writers/stationxml.hpp"
#include "seed/reader/unit_names.hpp"

using harness::Env;
using harness::run;

namespace {

namespace fs = std::filesystem;

const std::string schema = std::string(DEMO_DIR) + "/../../shared/fdsn-station-1.2.xsd";
const std::string unit_list = std::string(DEMO_DIR) + "/../../shared/stationxml-units.txt";
const std::string checker = std::string(READERS_DIR) + "/stationxml_check.py";
// SOURCE_DATE_EPOCH 1700000000: 2023-11-14 22:13:20 UTC.
const Env fixed_time = {{"SOURCE_DATE_EPOCH", "1700000000"}};

std::size_t count_lines(const std::string &text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// Replaces the first occurrence of from in line number (1-based) of a
// file; an empty from inserts to as a line before it, an empty to removes it.
void edit_line(const std::string &path, int number, const std::string &from, const std::string &to)
{
    std::istringstream in(harness::read_file(path));
    std::string out;
    int at = 0;
    for (std::string line; std::getline(in, line);) {
        if (++at == number) {
            std::size_t found = line.find(from);
            if (found == std::string::npos) throw std::runtime_error(path + ":" + std::to_string(number) + ": no " + from);
            if (from.empty()) {
                out += to + "\n";
            } else if (to.empty()) {
                continue;
            } else {
                line.replace(found, from.size(), to);
            }
        }
        out += line + "\n";
    }
    harness::write_file(path, out);
}

class SeedtreeStationXml : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::demo_sql()}); }
    static void TearDownTestSuite() { delete db; }

    // The demo request through Mebrisk twice (every record twice, HILL.XY's
    // two epochs), then the barometer LDO, whose first stage is a polynomial.
    void make_demo_tree(const Env &flags, const std::string &tree)
    {
        harness::write_file(dir / "req", harness::read_file(std::string(DEMO_DIR) + "/req"));
        Env env = flags;
        env.emplace("RESPONSE_DB", db->alias());
        env.emplace("DATA_ROOT", tree);
        for (int i = 0; i < 2; ++i) ASSERT_EQ(run("Mebrisk", {}, env, dir.path()).status, 0);
        ASSERT_EQ(run("Quorvex", {"HILL.XY:LDO", "2003/07/01", "00:00:00", "c"}, env, dir.path()).status, 0);
    }

    // Valid against the FDSN schema; false when the schema is absent.
    bool validates(const std::string &document)
    {
        if (!harness::file_exists(schema)) return false;
        auto r = run("/usr/bin/xmllint", {"--noout", "--schema", schema, document}, {});
        EXPECT_EQ(r.status, 0) << r.err;
        return true;
    }

    // The checker agrees with the tree, and computed responses channels;
    // unit names spelled as the validators' list has them, when it is there.
    void expect_reads_back(const std::string &document, const std::string &tree, std::size_t responses)
    {
        std::vector<std::string> args = {checker, document, tree};
        if (harness::file_exists(unit_list)) args.insert(args.begin() + 1, {"--units", unit_list});
        auto r = run("/usr/bin/python3", args, {});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(count_lines(r.out), responses) << r.out;
    }

    void skip_unless_validated(bool validated)
    {
        if (!validated) GTEST_SKIP() << "no FDSN schema at " << schema << ": the documents were checked but not validated";
    }

    static harness::TestDatabase *db;
    harness::TempDir dir;
};
harness::TestDatabase *SeedtreeStationXml::db = nullptr;

TEST_F(SeedtreeStationXml, DemoTreesValidateAndReadBackUnderEveryFlag)
{
    bool validated = true;
    for (Env flags : {Env{}, Env{{"USE_LOOKUP", ""}}, Env{{"USE_ABPOLY", ""}}, Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}}) {
        SCOPED_TRACE(flags.size() == 2 ? "both" : flags.empty() ? "plain" : flags.begin()->first);
        fs::remove_all(dir / "tree");
        make_demo_tree(flags, dir / "tree");
        auto r = run("seedtree", {"stationxml", dir / "tree", "-o", dir / "demo.xml"}, fixed_time);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "seedtree: note: dropped 7 identical repeated epoch(s)\n");
        EXPECT_EQ(r.out, "");
        validated = validates(dir / "demo.xml") && validated;
        // BHZ of the first epoch, BHE, BHN, BHZ and LHZ; LDO has no stage 0.
        expect_reads_back(dir / "demo.xml", dir / "tree", 5);
        std::string document = harness::read_file(dir / "demo.xml");
        EXPECT_NE(document.find("<InstrumentPolynomial"), std::string::npos);
        EXPECT_EQ(document.find("<InstrumentPolynomial"), document.rfind("<InstrumentPolynomial"));
    }
    skip_unless_validated(validated);
}

// Three blockettes 61 (or 41) of one FIR become one FIR of 1,500 taps.
TEST_F(SeedtreeStationXml, LongFirIsOneStage)
{
    harness::TestDatabase long_fir({harness::demo_sql(),
                                    "INSERT INTO DC (key, name, symmetry) VALUES (104, 'FIR.LONG', 'A');\n"
                                    "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 1500)\n"
                                    "INSERT INTO DC_Data (key, type, row_key, coefficient, error) SELECT 104, 'N', k, 1.0 / 1500, 0 FROM n;\n"
                                    "UPDATE Coefficients SET dc_key = 104 WHERE seedchan = 'BHE' AND stage_seq = 3;\n"});
    bool validated = true;
    for (Env flags : {Env{}, Env{{"USE_LOOKUP", ""}}}) {
        fs::remove_all(dir / "tree");
        Env env = flags;
        env.emplace("RESPONSE_DB", long_fir.alias());
        env.emplace("DATA_ROOT", dir / "tree");
        ASSERT_EQ(run("Quorvex", {"HILL.XY", "2003/07/01", "00:00:00", "a"}, env, dir.path()).status, 0);
        auto r = run("seedtree", {"stationxml", dir / "tree", "-o", dir / "long.xml"}, fixed_time);
        ASSERT_EQ(r.status, 0) << r.err;
        validated = validates(dir / "long.xml") && validated;
        expect_reads_back(dir / "long.xml", dir / "tree", 4);
        std::string document = harness::read_file(dir / "long.xml");
        EXPECT_NE(document.find("<FIR name=\"FIR_LONG\">"), std::string::npos);
        EXPECT_NE(document.find("<NumeratorCoefficient i=\"1499\">6.6666666E-04</NumeratorCoefficient>"),
                  std::string::npos);
        EXPECT_EQ(document.find("<NumeratorCoefficient i=\"1500\">"), std::string::npos);
    }
    skip_unless_validated(validated);
}

TEST_F(SeedtreeStationXml, HeaderSameBytesEverywhereAndSelection)
{
    make_demo_tree({}, dir / "tree");
    auto file = run("seedtree", {"stationxml", dir / "tree", "-o", dir / "a.xml", "--source", "Hill Obs & <friends>",
                                 "--sender", "Data centre \xc3\xa9t\xc3\xa9"}, fixed_time);
    auto piped = run("seedtree", {"stationxml", dir / "tree", "--sender", "Data centre \xc3\xa9t\xc3\xa9", "--source",
                                  "Hill Obs & <friends>"}, fixed_time);
    ASSERT_EQ(file.status, 0) << file.err;
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(harness::read_file(dir / "a.xml"), piped.out);
    EXPECT_EQ(piped.out.substr(0, piped.out.find("<Network")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<FDSNStationXML xmlns=\"http://www.fdsn.org/xml/station/1\" schemaVersion=\"1.2\">\n"
              "  <Source>Hill Obs &amp; &lt;friends&gt;</Source>\n"
              "  <Sender>Data centre \xc3\xa9t\xc3\xa9</Sender>\n"
              "  <Module>seedtree 1.0.0</Module>\n"
              "  <Created>2023-11-14T22:13:20Z</Created>\n  ");
    EXPECT_NE(piped.out.find("<Network code=\"XY\">\n    <Description>XY Hill Top Regional Network</Description>"),
              std::string::npos);

    // The default Source, no Sender; a selection in any case is the same.
    auto plain = run("seedtree", {"stationxml", dir / "tree"}, fixed_time);
    auto chosen = run("seedtree", {"stationxml", dir / "tree", "--station", "hill.xy"}, fixed_time);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(chosen.out, plain.out);
    EXPECT_NE(plain.out.find("  <Source>response tools</Source>\n  <Module>"), std::string::npos);

    auto none = run("seedtree", {"stationxml", dir / "tree", "--station", "ROCK.XY"}, fixed_time);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "seedtree: " + (dir / "tree") + ": no station ROCK.XY in the tree\n");
    EXPECT_EQ(none.out, "");
    for (const char *bad : {"tab\there", "\xc3(", "\xed\xa0\x80"}) {
        auto r = run("seedtree", {"stationxml", dir / "tree", "--sender", bad}, fixed_time);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "");
    }
    auto late = run("seedtree", {"stationxml", dir / "tree"}, {{"SOURCE_DATE_EPOCH", "1e9"}});
    EXPECT_EQ(late.status, 2);
    auto now = run("seedtree", {"stationxml", dir / "tree"}, {});
    ASSERT_EQ(now.status, 0);
    EXPECT_EQ(now.out.find("2023-11-14T22:13:20Z"), std::string::npos);
}

// The demo's LHZ from 2000 on, across both station epochs: under each it
// stands with its dates clipped to that epoch, with its whole response;
// the volume keeps blockette 52's dates under both.
TEST_F(SeedtreeStationXml, ChannelEpochAcrossTwoStationEpochsNests)
{
    Env env = {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", dir / "tree"}};
    for (const char *day : {"2000/01/01", "2004/01/01"})
        ASSERT_EQ(run("Quorvex", {"HILL.XY", day, "00:00:00", "a"}, env, dir.path()).status, 0);
    auto before = run("seedtree", {"stationxml", dir / "tree"}, fixed_time);
    ASSERT_EQ(before.status, 0) << before.err;
    edit_line(dir / "tree/HILL.XY/LHZ.00/B052", 1, "~2003,182,00:00:00~", "~2000,001,00:00:00~");
    auto r = run("seedtree", {"stationxml", dir / "tree", "-o", dir / "across.xml"}, fixed_time);
    ASSERT_EQ(r.status, 0) << r.err;
    bool validated = validates(dir / "across.xml");
    expect_reads_back(dir / "across.xml", dir / "tree", 6);

    const std::string doc = harness::read_file(dir / "across.xml");
    auto element = [](const std::string &text, std::size_t from, const std::string &name) {
        std::size_t end = text.find("</" + name + ">", from);
        return text.substr(from, end == std::string::npos ? 0 : end - from);
    };
    const std::string tag = "<Channel code=\"LHZ\" locationCode=\"00\" ";
    std::size_t first = doc.find(tag), second = doc.find(tag, first + 1);
    ASSERT_NE(second, std::string::npos) << doc;
    EXPECT_EQ(doc.find(tag, second + 1), std::string::npos);
    auto at = [&doc](std::size_t from, const std::string &text) { return doc.compare(from, text.size(), text) == 0; };
    EXPECT_TRUE(at(first + tag.size(), "startDate=\"2000-01-01T00:00:00Z\" endDate=\"2003-06-30T23:59:59Z\">"))
        << doc.substr(first, 200);
    EXPECT_TRUE(at(second + tag.size(), "startDate=\"2003-07-01T00:00:00Z\">")) << doc.substr(second, 200);
    // Each station epoch holds its channel epochs.
    EXPECT_LT(doc.rfind("<Station code=\"HILL\" startDate=\"1998-01-01T00:00:00Z\" endDate=\"2003-06-30T23:59:59Z\">",
                        first), first);
    EXPECT_GT(doc.find("<Station code=\"HILL\" startDate=\"2003-07-01T00:00:00Z\">"), first);
    EXPECT_LT(doc.find("<Station code=\"HILL\" startDate=\"2003-07-01T00:00:00Z\">"), second);
    // The response as before the edit, under both.
    const std::string response = element(before.out, before.out.find("<Response>", before.out.find(tag)), "Response");
    EXPECT_FALSE(response.empty());
    EXPECT_EQ(element(doc, doc.find("<Response>", first), "Response"), response);
    EXPECT_EQ(element(doc, doc.find("<Response>", second), "Response"), response);

    ASSERT_EQ(run("seedtree", {"volume", dir / "tree", "-o", dir / "across.seed"}, fixed_time).status, 0);
    auto volume = run("/usr/bin/python3", {std::string(READERS_DIR) + "/seed_volume.py", dir / "across.seed"}, {});
    ASSERT_EQ(volume.status, 0) << volume.err;
    std::istringstream b052(harness::read_file(dir / "tree/HILL.XY/LHZ.00/B052"));
    std::string head;
    std::getline(b052, head);
    std::size_t heads = 0;
    std::istringstream lines(volume.out);
    for (std::string line; std::getline(lines, line);) heads += line == "S\t" + head;
    EXPECT_EQ(heads, 2u);
    skip_unless_validated(validated);
}

// The validators' unit names, and the spelling of SEED's names in them.
TEST(StationXmlUnits, TableIsTheValidatorsListAndSpellsSeedNames)
{
    std::vector<std::string_view> table = seed::accepted_unit_names();
    EXPECT_EQ(seed::stationxml_unit_name("M/S"), "m/s");
    EXPECT_EQ(seed::stationxml_unit_name("M/S**2"), "m/s**2");
    EXPECT_EQ(seed::stationxml_unit_name("COUNTS"), "counts");
    EXPECT_EQ(seed::stationxml_unit_name("COUNT"), "count");
    EXPECT_EQ(seed::stationxml_unit_name("DEGC"), "degC");
    EXPECT_EQ(seed::stationxml_unit_name("MBAR"), "mbar");
    EXPECT_EQ(seed::stationxml_unit_name("PA"), "Pa");
    // No entry, or several: as it stands.
    for (const char *name : {"C", "UNKNOWN", "Unknown", "VOLTAGE", ""})
        EXPECT_EQ(seed::stationxml_unit_name(name), name);
    EXPECT_EQ(seed::unit_name_status("m/s"), seed::UnitNameStatus::accepted);
    EXPECT_EQ(seed::unit_name_status("M/S"), seed::UnitNameStatus::case_differs);
    EXPECT_EQ(seed::unit_name_status("C"), seed::UnitNameStatus::unknown);

    if (!harness::file_exists(unit_list)) GTEST_SKIP() << "no validators' unit list at " << unit_list << " to compare";
    std::vector<std::string> listed;
    std::istringstream in(harness::read_file(unit_list));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') listed.push_back(line);
    EXPECT_EQ(std::vector<std::string>(table.begin(), table.end()), listed);
}

// Each tree differs from the demo station in one value that StationXML
// cannot hold; the run fails naming file, line and field, leaves the file
// as it was, and writes nothing to standard output.
TEST_F(SeedtreeStationXml, ValuesStationXmlCannotHoldAreRefused)
{
    Env env = {{"RESPONSE_DB", db->alias()}, {"DATA_ROOT", dir / "demo"}};
    ASSERT_EQ(run("Quorvex", {"HILL.XY", "2003/07/01", "00:00:00", "a"}, env, dir.path()).status, 0);
    const std::string bhe = "HILL.XY/BHE./B052", ldo = "HILL.XY/LDO./B052";
    // An empty "from" inserts "to" as a line before the given one; an empty
    // "to" removes the line.
    struct Case {
        const char *name;
        std::string file;
        int line;
        std::string from, to;
        std::string message;
    } cases[] = {
        {"transfer function", bhe, 2, "A01", "C01",
         bhe + ":2: B053 field 3 (transfer function type): channel HILL.XY..BHE from 2003,182,00:00:00, stage 1: type "
               "\"C\" has no StationXML PzTransferFunctionType (A, B and D have)"},
        {"unit", bhe, 2, "A01002003", "A01000003",
         bhe + ":2: B053 field 5 (stage signal input units): channel HILL.XY..BHE from 2003,182,00:00:00, stage 1: unit key 0 "
               "has no blockette 34 in H.A; StationXML needs the unit"},
        {"clock drift", bhe, 1, "1.0000E-04", "-1.000E-04",
         bhe + ":1: B052 field 19 (max clock drift): \"-1.000E-04\" is negative; StationXML's ClockDrift is a tolerance "
               "of 0 or more"},
        {"azimuth", bhe, 1, " 90.0", "360.0",
         bhe + ":1: B052 field 14 (azimuth): \"360.0\" is outside the range of StationXML's Azimuth, 0 to under 360"},
        {"flag", bhe, 1, "CG~", "CX~",
         bhe + ":1: B052 field 21 (channel flags): flag \"X\" is not one of T, C, H, G, W, F, S, I, E, M, B"},
        {"stage without gain", bhe, 9, "058003503", "",
         bhe + ":7: channel HILL.XY..BHE from 2003,182,00:00:00, stage 3 has no blockette 58; StationXML gives every "
               "stage but a polynomial a StageGain"},
        {"polynomial decimation", ldo, 3, "", "0570051011.0000E+000000100000 0.0000E+00 0.0000E+00",
         ldo + ":3: B057 field 3 (stage sequence number): channel HILL.XY..LDO from 2003,182,00:00:00, stage 1 is a "
               "polynomial; a StationXML polynomial stage has no Decimation"},
        {"polynomial gain", ldo, 3, "", "058003501 1.00000E+00 0.00000E+0000",
         ldo + ":3: B058 field 3 (stage sequence number): channel HILL.XY..LDO from 2003,182,00:00:00, stage 1 is a "
               "polynomial; a StationXML polynomial stage has no StageGain"},
        {"leap second", "HILL.XY/B050", 1, "2599,365,23:59:59", "2499,365,23:59:60",
         "HILL.XY/B050:1: B050 field 14 (end effective date): \"2499,365,23:59:60\" has no xs:dateTime form (year 0 "
         "or a leap second)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "tree");
        fs::copy(dir / "demo", dir / "tree", fs::copy_options::recursive);
        edit_line(dir / "tree/" + c.file, c.line, c.from, c.to);
        harness::write_file(dir / "out.xml", "left as it was");
        auto r = run("seedtree", {"stationxml", dir / "tree", "-o", dir / "out.xml"}, fixed_time);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "seedtree: " + (dir / "tree") + "/" + c.message + "\n");
        EXPECT_EQ(harness::read_file(dir / "out.xml"), "left as it was");
        auto piped = run("seedtree", {"stationxml", dir / "tree"}, fixed_time);
        EXPECT_EQ(piped.status, 1);
        EXPECT_EQ(piped.out, "");
    }
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"demo", "out.xml", "tree"}));

    // A second station that names another network description.
    fs::remove_all(dir / "tree");
    fs::copy(dir / "demo", dir / "tree", fs::copy_options::recursive);
    fs::copy(dir / "tree/HILL.XY", dir / "tree/HIL2.XY", fs::copy_options::recursive);
    edit_line(dir / "tree/HIL2.XY/B050", 1, "HILL ", "HIL2 ");
    edit_line(dir / "tree/HIL2.XY/B050", 1, "~005", "~001");
    auto r = run("seedtree", {"stationxml", dir / "tree"}, fixed_time);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "seedtree: " + (dir / "tree") +
                         "/HILL.XY/B050:1: B050 field 10 (network identifier code): network XY is \"XY Hill Top "
                         "Regional Network\" here but \"Streckeisen STS-2 Seismometer\" at " +
                         (dir / "tree") +
                         "/HIL2.XY/B050:1; a StationXML Network has one Description\n");
}

// The tree read whole gives the document that streaming gives; a failed
// write reaches the caller as the sink's own error, with nothing from
// libxml2 on standard error.
TEST_F(SeedtreeStationXml, WholeOrStreamedSameDocumentAndFailedWrites)
{
    make_demo_tree({}, dir / "tree");
    seed::StationXmlOptions options;
    options.created = 1700000000;
    options.module = "seedtree 1.0.0";
    std::string streamed, whole;
    seed::StationXmlSummary s = seed::write_stationxml_tree(dir / "tree", {}, options,
                                                            [&](std::string_view data) { streamed.append(data); });
    seed::Inventory inventory = seed::read_tree(dir / "tree");
    std::vector<const seed::StationEpoch *> stations;
    for (const auto &station : inventory.stations) stations.push_back(&station);
    seed::StationXmlSummary w = seed::write_stationxml(inventory, stations, options,
                                                       [&](std::string_view data) { whole.append(data); });
    EXPECT_TRUE(whole == streamed);
    EXPECT_EQ(std::tie(s.stations, s.channels, s.dropped_repeats), std::make_tuple(2u, 6u, 7u));
    EXPECT_EQ(std::tie(w.stations, w.channels, w.dropped_repeats), std::tie(s.stations, s.channels, s.dropped_repeats));
    EXPECT_TRUE(run("seedtree", {"stationxml", dir / "tree"}, fixed_time).out == streamed);

    // The writer hands its bytes on in large blocks: the demo's document may
    // be one; the first write fails and nothing is written after it.
    std::size_t writes = 0;
    testing::internal::CaptureStderr();
    try {
        seed::write_stationxml_tree(dir / "tree", {}, {}, [&](std::string_view data) {
            ++writes;
            if (!data.empty()) throw seed::Error("disk full");
        });
        ADD_FAILURE() << "no error";
    } catch (const seed::Error &e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(writes, 1u);
}

TEST(StationXmlValues, NumbersAndTimes)
{
    // The tree's texts are carried; anything else is the value, shortest.
    for (const char *text : {"5.92054E+07", "-122.235603", "+1.5", "5.", ".5", "-.5E-3", "0"})
        EXPECT_EQ(seed::xml_double(seed::Number{0.25, text}), text);
    for (const char *text : {"1.5E", "E5", "+-1", ".", "1e+", "0x1p3", " 1", "1.5 ", "inf", ""})
        EXPECT_EQ(seed::xml_double(seed::Number{0.1, text}), "0.1") << text;
    EXPECT_EQ(seed::xml_double(1.0 / 3), "0.3333333333333333");
    EXPECT_EQ(seed::xml_double(1e-300), "1e-300");

    std::string out;
    EXPECT_TRUE(seed::xml_date_time("2003,182,00:00:00", out));
    EXPECT_EQ(out, "2003-07-01T00:00:00Z");
    EXPECT_TRUE(seed::xml_date_time("2004,366,23:59:59.0125", out));
    EXPECT_EQ(out, "2004-12-31T23:59:59.0125Z");
    EXPECT_TRUE(seed::xml_date_time("2000,060", out));
    EXPECT_EQ(out, "2000-02-29T00:00:00Z");
    EXPECT_TRUE(seed::xml_date_time("1999,060,12", out));
    EXPECT_EQ(out, "1999-03-01T12:00:00Z");
    for (const char *bad : {"0000,001,00:00:00", "2016,366,23:59:60", "2003,366", "2003-07-01", ""})
        EXPECT_FALSE(seed::xml_date_time(bad, out)) << bad;

    EXPECT_TRUE(seed::open_end(seed::Time{}));
    EXPECT_TRUE(seed::open_end(seed::Time{"2500,001,00:00:00", 0}));
    EXPECT_FALSE(seed::open_end(seed::Time{"2499,365,23:59:59", 0}));
}

}  // namespace
