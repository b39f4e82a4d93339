// stationxml2sql end to end, on the backend of the pass: the demo network
// through the whole loop (database, Mebrisk, tree, seedtree stationxml,
// stationxml2sql, a new database, Mebrisk, tree) keeps every field
// StationXML carries and every channel's response; the FDSN's own
// examples (../shared/stationxml-examples) come back through the
// generator with the response the independent reader computes from the
// original; a database that holds a document gets no second copy of
// anything; and input that is not StationXML, or values the response
// tables cannot hold, stop the run with their place and write nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <set>
#include <sstream>

#include "importer/dates.hpp"
#include "tests/support/harness.hpp"
#include "generator/seed_layout.hpp"

using harness::Env;
using harness::run;

namespace {

namespace fs = std::filesystem;

const std::string shared = std::string(DEMO_DIR) + "/../../shared";
const std::string schema = shared + "/fdsn-station-1.2.xsd";
const std::string examples = shared + "/stationxml-examples";
const std::string responses = std::string(READERS_DIR) + "/stationxml_response.py";
const Env fixed_time = {{"SOURCE_DATE_EPOCH", "1700000000"}};

std::size_t count(const std::string &text, const std::string &what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string replaced(std::string text, const std::string &from, const std::string &to, bool all = false)
{
    std::size_t at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("no \"" + from + "\" to replace");
    do {
        text.replace(at, from.size(), to);
        at = all ? text.find(from, at + to.size()) : std::string::npos;
    } while (at != std::string::npos);
    return text;
}

// The texts of every <Name> element (units and site), once each.
std::set<std::string> names(const std::string &document)
{
    std::set<std::string> out;
    for (std::size_t at = document.find("<Name>"); at != std::string::npos; at = document.find("<Name>", at + 1))
        out.insert(document.substr(at + 6, document.find("</Name>", at) - at - 6));
    return out;
}

// Comment ids are the database's comment keys, which may differ.
std::string without_comment_ids(std::string document)
{
    const std::string tag = "<Comment id=\"";
    for (std::size_t at = document.find(tag); at != std::string::npos; at = document.find(tag, at + 1))
        document.erase(at + 8, document.find('>', at) - at - 8);
    return document;
}

// One station epoch ending where the next begins, each with one channel
// epoch: poles and zeros in hertz, a FIR of even symmetry decimating by 2,
// a gain-only stage; a quote in the site name, a channel comment that
// begins inside its epoch, a time-zone offset and a fraction of a second.
const std::string small_document = R"(<?xml version="1.0" encoding="UTF-8"?>
<FDSNStationXML xmlns="http://www.fdsn.org/xml/station/1" schemaVersion="1.2">
  <Source>test</Source>
  <Created>2024-01-01T00:00:00Z</Created>
  <Network code="XT">
    <Description>Test network</Description>
    <Station code="TEST" startDate="2020-01-01T01:00:00+01:00" endDate="2021-01-01T00:00:00Z">
      <Latitude>10.5</Latitude>
      <Longitude>-20.25</Longitude>
      <Elevation>100</Elevation>
      <Site><Name>Hill's top</Name></Site>
      <Channel code="HHZ" locationCode="00" startDate="2020-01-01T00:00:00.75Z" endDate="2021-01-01T00:00:00Z">
        <Description>vertical</Description>
        <Comment><Value>Vault flooded</Value><BeginEffectiveTime>2020-06-01T00:00:00Z</BeginEffectiveTime></Comment>
        <Latitude>10.5</Latitude>
        <Longitude>-20.25</Longitude>
        <Elevation>100</Elevation>
        <Depth>2.5</Depth>
        <Type>CONTINUOUS</Type>
        <Type>GEOPHYSICAL</Type>
        <SampleRate>100</SampleRate>
        <ClockDrift>0.0001</ClockDrift>
        <CalibrationUnits><Name>A</Name><Description>Amperes</Description></CalibrationUnits>
        <Sensor><Description>Test seismometer</Description></Sensor>
        <Response>
          <InstrumentSensitivity>
            <Value>1200000</Value><Frequency>1</Frequency>
            <InputUnits><Name>m/s</Name></InputUnits><OutputUnits><Name>count</Name></OutputUnits>
          </InstrumentSensitivity>
          <Stage number="1">
            <PolesZeros>
              <InputUnits><Name>m/s</Name><Description>Velocity</Description></InputUnits>
              <OutputUnits><Name>V</Name><Description>Volts</Description></OutputUnits>
              <PzTransferFunctionType>LAPLACE (HERTZ)</PzTransferFunctionType>
              <NormalizationFactor>1.0000045</NormalizationFactor>
              <NormalizationFrequency>1</NormalizationFrequency>
              <Zero number="0"><Real>0</Real><Imaginary>-0.0</Imaginary></Zero>
              <Pole number="0"><Real plusError="0.001" minusError="0.002">-0.7</Real><Imaginary>0.7</Imaginary></Pole>
              <Pole number="1"><Real>-0.7</Real><Imaginary>-0.7</Imaginary></Pole>
            </PolesZeros>
            <StageGain><Value>1200</Value><Frequency>1</Frequency></StageGain>
          </Stage>
          <Stage number="2">
            <FIR name="HALF.BAND">
              <InputUnits><Name>V</Name></InputUnits><OutputUnits><Name>count</Name></OutputUnits>
              <Symmetry>EVEN</Symmetry>
              <NumeratorCoefficient i="0">0.125</NumeratorCoefficient>
              <NumeratorCoefficient i="1">0.375</NumeratorCoefficient>
            </FIR>
            <Decimation>
              <InputSampleRate>200</InputSampleRate><Factor>2</Factor><Offset>0</Offset>
              <Delay>0.0075</Delay><Correction>0.0075</Correction>
            </Decimation>
            <StageGain><Value>1000</Value><Frequency>1</Frequency></StageGain>
          </Stage>
          <Stage number="3">
            <StageGain><Value>1</Value><Frequency>1</Frequency></StageGain>
          </Stage>
        </Response>
      </Channel>
    </Station>
    <Station code="TEST" startDate="2021-01-01T00:00:00Z">
      <Latitude>10.5</Latitude>
      <Longitude>-20.25</Longitude>
      <Elevation>100</Elevation>
      <Site><Name>Hill's top</Name></Site>
      <Channel code="HHZ" locationCode="00" startDate="2021-01-01T00:00:00Z">
        <Latitude>10.5</Latitude>
        <Longitude>-20.25</Longitude>
        <Elevation>100</Elevation>
        <Depth>2.5</Depth>
        <SampleRate>100</SampleRate>
        <Sensor><Description> </Description></Sensor>
      </Channel>
    </Station>
  </Network>
</FDSNStationXML>
)";

// "frequency amplitude phase" lines of seedtree response, by channel line.
std::map<std::string, std::vector<std::complex<double>>> response_curves(const std::string &text)
{
    std::map<std::string, std::vector<std::complex<double>>> curves;
    std::istringstream in(text);
    std::string header;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("#", 0) == 0) {
            if (line.rfind("# stage", 0) != 0) header = line;
            continue;
        }
        double f = 0, amplitude = 0, phase = 0;
        std::istringstream fields(line);
        fields >> f >> amplitude >> phase;
        curves[header].push_back(std::polar(amplitude, phase * std::numbers::pi / 180));
    }
    return curves;
}

class Stationxml2sql : public ::testing::Test {
protected:
    static void SetUpTestSuite() { demo = new harness::TestDatabase({harness::demo_sql()}); }
    static void TearDownTestSuite()
    {
        delete demo;
        demo = nullptr;
    }

    harness::RunResult import(const std::vector<std::string> &args, const std::string &database = "")
    {
        Env env = fixed_time;
        if (!database.empty()) env["RESPONSE_DB"] = database;
        return run("stationxml2sql", args, env, dir.path());
    }

    // The demo request and the barometer LDO, through Mebrisk.
    void mebrisk(const std::string &database, const std::string &tree)
    {
        harness::write_file(dir / "req", harness::read_file(std::string(DEMO_DIR) + "/req") +
                                             "HILL\tXY\tLDO\t\t1\tM\t6\tbarometer\t2004,001,00:00:00\t2005,001,00:00:00\n");
        auto r = run("Mebrisk", {}, {{"RESPONSE_DB", database}, {"DATA_ROOT", tree}}, dir.path());
        ASSERT_EQ(r.status, 0) << r.out << r.err;
    }

    void quorvex(const std::string &database, const std::string &tree, const std::vector<std::string> &args)
    {
        auto r = run("Quorvex", args, {{"RESPONSE_DB", database}, {"DATA_ROOT", tree}}, dir.path());
        ASSERT_EQ(r.status, 0) << r.out << r.err;
    }

    std::string document(const std::string &tree, const std::string &path)
    {
        auto r = run("seedtree", {"stationxml", tree, "-o", path}, fixed_time);
        EXPECT_EQ(r.status, 0) << r.err;
        if (harness::file_exists(schema)) {
            auto v = run("/usr/bin/xmllint", {"--noout", "--schema", schema, path}, {});
            EXPECT_EQ(v.status, 0) << v.err;
        }
        return harness::file_exists(path) ? harness::read_file(path) : "";
    }

    static harness::TestDatabase *demo;
    harness::TempDir dir;
};
harness::TestDatabase *Stationxml2sql::demo = nullptr;

// Database -> Mebrisk -> tree -> StationXML -> SQL -> a new database ->
// Mebrisk -> tree: both trees give the same document (but for comment
// keys) and the same response at 20 frequencies for every channel epoch.
TEST_F(Stationxml2sql, DemoRoundTripKeepsEveryFieldAndResponse)
{
    mebrisk(demo->alias(), dir / "first");
    const std::string first = document(dir / "first", dir / "first.xml");
    auto r = import({dir / "first.xml", "-o", dir / "demo.sql"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    const std::string sql = harness::read_file(dir / "demo.sql");
    EXPECT_EQ(import({dir / "first.xml"}).out, sql);  // standard output: the same text
    EXPECT_EQ(sql.find("BEGIN;\n"), sql.find('\n', sql.find('\n') + 1) + 1);
    EXPECT_EQ(sql.substr(sql.size() - 8), "COMMIT;\n");

    harness::TestDatabase loaded({sql});
    mebrisk(loaded.alias(), dir / "second");
    const std::string second = document(dir / "second", dir / "second.xml");
    EXPECT_EQ(without_comment_ids(second), without_comment_ids(first));
    EXPECT_NE(first.find("<Comment id="), std::string::npos);

    auto a = run("seedtree", {"response", dir / "first", "--points", "20"}, {});
    auto b = run("seedtree", {"response", dir / "second", "--points", "20"}, {});
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    auto before = response_curves(a.out), after = response_curves(b.out);
    ASSERT_EQ(before.size(), 6u);  // BHZ twice, BHN, BHE, LHZ and LDO
    double largest = 0;
    for (const auto &[channel, curve] : before) {
        ASSERT_EQ(after.count(channel), 1u) << channel;
        ASSERT_EQ(curve.size(), 20u);
        for (std::size_t k = 0; k < curve.size(); ++k)
            largest = std::max(largest, std::abs(curve[k] - after[channel][k]) / std::abs(curve[k]));
    }
    EXPECT_LE(largest, 1e-6);
}

// The FDSN's examples: each imports, loads, generates, comes back as a
// document that validates, with the response the independent reader
// computes from the original: within 1e-6 of the original rounded as SEED
// fields hold its values, within 1e-4 of it as written.
TEST_F(Stationxml2sql, FdsnExamplesComeBackWithTheirResponse)
{
    if (!fs::is_directory(examples))
        GTEST_SKIP() << "no FDSN StationXML examples at " << examples << ": nothing to import";
    for (const char *name : {"sts-2_rt130", "gs-13_Qx80", "kinemetrics_etna_fba-3", "Setra_270", "YSI-44031"}) {
        SCOPED_TRACE(name);
        const std::string original = examples + "/" + name + ".xml", sql = dir / (std::string(name) + ".sql");
        std::vector<std::string> args = {original, "-o", sql};
        if (harness::file_exists(schema)) args.insert(args.end(), {"--schema", schema});
        auto r = import(args);
        ASSERT_EQ(r.status, 0) << r.err;
        if (std::string(name) == "YSI-44031")
            EXPECT_NE(r.err.find("unit \"count\" is described as \"Volts\" here but as \"Digital Counts\" at "),
                      std::string::npos) << r.err;
        else
            EXPECT_EQ(r.err, "");

        harness::TestDatabase loaded({harness::read_file(sql)});
        const std::string tree = dir / (std::string(name) + "-tree");
        quorvex(loaded.alias(), tree, {"ABCD.XX", "1970/01/01", "00:00:00", "a"});
        const std::string back = document(tree, dir / (std::string(name) + "-back.xml"));
        // Nothing that a data centre's validator refuses.
        auto checked = run("seedtree", {"check", tree}, {});
        EXPECT_EQ(checked.out.find("error fdsn-"), std::string::npos) << checked.out;
        // The example's own unit names (and site name), spelled as it spells them.
        EXPECT_EQ(names(back), names(harness::read_file(original)));
        // Numerators only: back as a FIR, every coefficient kept.
        EXPECT_EQ(count(back, "<NumeratorCoefficient "), count(harness::read_file(original), "<Numerator>"));
        EXPECT_EQ(count(back, "<Numerator "), 0u);

        auto rounded = run("/usr/bin/python3", {responses, "compare", "--round-first", original, dir / (std::string(name) + "-back.xml")}, {});
        EXPECT_EQ(rounded.status, 0) << rounded.out << rounded.err;
        auto written = run("/usr/bin/python3", {responses, "compare", "--tolerance", "1e-4", original,
                                                dir / (std::string(name) + "-back.xml")}, {});
        EXPECT_EQ(written.status, 0) << written.out << written.err;
        EXPECT_NE(rounded.out.find(" at 20 frequencies"), std::string::npos) << rounded.out;
        std::cout << name << " rounded:    " << rounded.out << name << " as written: " << written.out;
    }
}

// An FDSN example made into a network whose channel changes inside its
// station epoch (three epochs of BHZ at location 10, each with a gain of
// its own, and location 20 from later on) comes back whole through
// stationxml2sql, Mebrisk and seedtree stationxml: every channel epoch, in
// order, with its response.
TEST_F(Stationxml2sql, ChannelEpochsInsideTheStationEpochComeBackThroughMebrisk)
{
    const std::string original = examples + "/sts-2_rt130.xml";
    if (!harness::file_exists(original)) GTEST_SKIP() << "no FDSN StationXML example at " << original;
    std::string text = replaced(harness::read_file(original), "<Station code=\"ABCD\">",
                                "<Station code=\"ABCD\" startDate=\"2020-01-01T00:00:00Z\">");
    const std::string open_tag = "<Channel code=\"BHZ\" locationCode=\"10\">";
    const std::size_t from = text.find(open_tag), to = text.find("</Channel>") + 10;
    ASSERT_NE(from, std::string::npos);
    const std::string channel = text.substr(from, to - from);
    auto epoch = [&](const std::string &location, const std::string &dates, const std::string &gain) {
        return replaced(replaced(channel, open_tag, "<Channel code=\"BHZ\" locationCode=\"" + location + "\" " + dates + ">"),
                        "<Value>1500.0</Value>", "<Value>" + gain + "</Value>");
    };
    text.replace(from, to - from,
                 epoch("10", "startDate=\"2020-01-01T00:00:00Z\" endDate=\"2021-03-01T00:00:00Z\"", "1500.0") + "\n" +
                     epoch("10", "startDate=\"2021-03-01T00:00:00Z\" endDate=\"2022-06-15T12:00:00Z\"", "1600.0") +
                     "\n" + epoch("10", "startDate=\"2022-06-15T12:00:00Z\"", "1700.0") + "\n" +
                     epoch("20", "startDate=\"2021-09-01T00:00:00Z\"", "1550.0"));
    harness::write_file(dir / "epochs.xml", text);
    auto r = import({dir / "epochs.xml", "-o", dir / "epochs.sql"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "stationxml2sql: note: 2 epoch end(s) equal to the start of the next epoch stored one second "
                     "earlier (the database's epochs include their end)\n");

    harness::TestDatabase loaded({harness::read_file(dir / "epochs.sql")});
    harness::write_file(dir / "req", "ABCD\tXX\tBHZ\t\t\t\t\t\t2020,100,00:00:00\t2023,001,00:00:00\n");
    auto batch = run("Mebrisk", {}, {{"RESPONSE_DB", loaded.alias()}, {"DATA_ROOT", dir / "tree"}}, dir.path());
    ASSERT_EQ(batch.status, 0) << batch.out << batch.err;
    const std::string back = document(dir / "tree", dir / "epochs-back.xml");
    EXPECT_EQ(count(back, "<Channel "), 4u);
    auto compared = run("/usr/bin/python3", {responses, "compare", "--round-first", dir / "epochs.xml", dir / "epochs-back.xml"}, {});
    EXPECT_EQ(compared.status, 0) << compared.out << compared.err;
}

// A database that holds the document gets nothing twice: epochs already
// there are left out with a note, a new station reuses every dictionary
// entry, and an epoch that differs, overlaps, or names a unit described
// otherwise stops the run, naming both.
TEST_F(Stationxml2sql, ExistingDatabaseGetsNoSecondCopy)
{
    mebrisk(demo->alias(), dir / "tree");
    const std::string doc = document(dir / "tree", dir / "demo.xml");

    auto same = import({dir / "demo.xml", "-o", dir / "same.sql"}, demo->alias());
    ASSERT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(count(harness::read_file(dir / "same.sql"), "INSERT"), 0u);
    EXPECT_EQ(count(same.err, "is in the database as it is here: left as it is\n"), 8u) << same.err;
    EXPECT_NE(same.err.find("stationxml2sql: note: " + (dir / "demo.xml") +
                            ":20: channel XY.HILL..BHZ from 1998/01/01 00:00:00 to 2003/06/30 23:59:59 is in the "
                            "database as it is here: left as it is\n"),
              std::string::npos) << same.err;

    // A second station of the same instruments: only its own rows.
    harness::write_file(dir / "hilx.xml", replaced(doc, "code=\"HILL\"", "code=\"HILX\"", true));
    auto hilx = import({dir / "hilx.xml", "-o", dir / "hilx.sql"}, demo->alias());
    ASSERT_EQ(hilx.status, 0) << hilx.err;
    EXPECT_EQ(hilx.err, "");
    const std::string sql = harness::read_file(dir / "hilx.sql");
    for (const char *table : {"D_Unit", "D_Abbreviation", "D_Comment", "D_Format", "PZ_Data", "DC", "DC_Data", "PN",
                              "PN_Data", "DM"})
        EXPECT_EQ(count(sql, std::string("INSERT INTO ") + table + " "), 0u) << table;
    EXPECT_EQ(count(sql, "INSERT INTO channel_data "), 6u);
    harness::TestDatabase both({harness::demo_sql(), sql});
    for (const char *station : {"HILL.XY", "HILX.XY"})
        for (const char *date : {"1998/01/01", "2003/07/01"})
            quorvex(both.alias(), dir / station, {station, date, "00:00:00", "a"});
    EXPECT_EQ(replaced(document(dir / "HILX.XY", dir / "hilx-back.xml"), "code=\"HILX\"", "code=\"HILL\"", true),
              document(dir / "HILL.XY", dir / "hill-back.xml"));

    struct Case {
        const char *name;
        std::string document;
        std::string message;
    } cases[] = {
        {"differs", replaced(doc, "<Dip>-90.0</Dip>", "<Dip>-80.0</Dip>"),
         ":20: channel XY.HILL..BHZ from 1998/01/01 00:00:00 to 2003/06/30 23:59:59 differs from the database's epoch "
         "from 1998/01/01 00:00:00 to 2003/06/30 23:59:59 (channel_data) (first difference: \"-80.0\" here, \"-90.0\" "
         "there); the generator would find both\n"},
        {"overlaps", replaced(doc, "code=\"BHN\" locationCode=\"\" startDate=\"2003-07-01T00:00:00Z\"",
                              "code=\"BHN\" locationCode=\"\" startDate=\"2004-01-01T00:00:00Z\""),
         ":375: channel XY.HILL..BHN from 2004/01/01 00:00:00 to 2599/12/31 23:59:59 overlaps the database's epoch "
         "from 2003/07/01 00:00:00 to 2599/12/31 23:59:59 (channel_data); the generator would find both\n"},
        {"unit", replaced(replaced(doc, "code=\"HILL\"", "code=\"HILX\"", true), "Velocity in Meters Per Second",
                          "Metres per second", true),
         ":53: unit \"m/s\" is described as \"Metres per second\" here but as \"Velocity in Meters Per Second\" in the "
         "database (D_Unit id 2); a unit name has one description\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        harness::write_file(dir / "case.xml", c.document);
        auto r = import({dir / "case.xml", "-o", dir / "case.sql"}, demo->alias());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("stationxml2sql: " + (dir / "case.xml") + c.message), std::string::npos) << r.err;
        EXPECT_FALSE(harness::file_exists(dir / "case.sql"));
    }
    // A database row whose key has no entry equals no document's epoch, and
    // says why.
    harness::TestDatabase broken({harness::demo_sql(), "DELETE FROM D_Abbreviation WHERE id = 1;"});
    auto r = import({dir / "demo.xml", "-o", dir / "case.sql"}, broken.alias());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("(first difference: \"-\" here, \"inid 1: no D_Abbreviation row\" there); "
                         "the generator would find both"),
              std::string::npos)
        << r.err;

    // An FDSN example loaded, then imported again.
    if (!fs::is_directory(examples)) GTEST_SKIP() << "no FDSN StationXML examples at " << examples;
    const std::string example = examples + "/gs-13_Qx80.xml";
    ASSERT_EQ(import({example, "-o", dir / "gs13.sql"}).status, 0);
    harness::TestDatabase loaded({harness::read_file(dir / "gs13.sql")});
    auto again = import({example}, loaded.alias());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(count(again.out, "INSERT"), 0u) << again.out;
    EXPECT_EQ(count(again.err, "left as it is\n"), 2u) << again.err;
}

// The small document through the loop: dates, touching epochs, quoting,
// units and the stage kinds the demo lacks.
TEST_F(Stationxml2sql, MappingOfTimesTextsAndStages)
{
    harness::write_file(dir / "small.xml", small_document);
    auto r = import({dir / "small.xml", "-o", dir / "small.sql"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "stationxml2sql: note: 2 epoch end(s) equal to the start of the next epoch stored one second "
                     "earlier (the database's epochs include their end)\n");
    harness::TestDatabase loaded({harness::read_file(dir / "small.sql")});
    for (const char *date : {"2020/01/01", "2021/01/01"})
        quorvex(loaded.alias(), dir / "tree", {"TEST.XT", date, "00:00:00", "a"});
    const std::string back = document(dir / "tree", dir / "back.xml");
    for (const char *expected : {
             "<Network code=\"XT\">\n    <Description>Test network</Description>",
             "<Station code=\"TEST\" startDate=\"2020-01-01T00:00:00Z\" endDate=\"2020-12-31T23:59:59Z\">",
             "<Station code=\"TEST\" startDate=\"2021-01-01T00:00:00Z\">", "<Name>Hill's top</Name>",
             "<Channel code=\"HHZ\" locationCode=\"00\" startDate=\"2020-01-01T00:00:00Z\" "
             "endDate=\"2020-12-31T23:59:59Z\">",
             "<Description>vertical</Description>", "<Depth>2.5</Depth>", "<Azimuth>0.0</Azimuth>",
             "<Type>CONTINUOUS</Type>", "<Type>GEOPHYSICAL</Type>", "<ClockDrift>1.0000E-04</ClockDrift>",
             "<Name>A</Name>", "<Description>Amperes</Description>", "<Description>Test seismometer</Description>",
             "<Name>m/s</Name>", "<Description>Velocity</Description>", "<Name>count</Name>",
             "<PzTransferFunctionType>LAPLACE (HERTZ)</PzTransferFunctionType>",
             "<NormalizationFactor>1.00000E+00</NormalizationFactor>",
             "<Real plusError=\"2.00000E-03\" minusError=\"2.00000E-03\">-7.00000E-01</Real>",
             "<FIR name=\"HALF_BAND\">", "<Symmetry>EVEN</Symmetry>",
             "<NumeratorCoefficient i=\"1\">3.7500000E-01</NumeratorCoefficient>", "<Factor>2</Factor>"})
        EXPECT_NE(back.find(expected), std::string::npos) << expected << "\n" << back;
    // A blank description is none.
    const std::string second = back.substr(back.find("startDate=\"2021-01-01T00:00:00Z\">\n        <Latitude>"));
    EXPECT_EQ(second.find("<Sensor>"), std::string::npos);
    // A gain-only stage stays one.
    const std::size_t stage3 = back.find("<Stage number=\"3\">");
    EXPECT_EQ(back.find_first_not_of(" \n", stage3 + 18), back.find("<StageGain>", stage3));
    // The comment that begins inside its epoch is not open at the epoch's start.
    EXPECT_EQ(back.find("Vault flooded"), std::string::npos);
    EXPECT_NE(harness::read_file(dir / "small.sql").find("'Vault flooded'"), std::string::npos);
    quorvex(loaded.alias(), dir / "june", {"TEST.XT", "2020/06/01", "00:00:00", "a"});
    EXPECT_NE(harness::read_file(dir / "june/TEST.XT/HHZ.00/B059").find("0001000000"), std::string::npos);

    // Two files giving the same epochs: each written once; given otherwise: refused.
    auto twice = import({dir / "small.xml", dir / "small.xml"});
    EXPECT_EQ(twice.out, harness::read_file(dir / "small.sql"));
    EXPECT_NE(twice.err.find("stationxml2sql: note: 4 epoch(s) given again identically in the documents, written "
                             "once\n"), std::string::npos) << twice.err;
    harness::write_file(dir / "other.xml", replaced(small_document, "<Value>1000</Value>", "<Value>999</Value>"));
    auto other = import({dir / "small.xml", dir / "other.xml"});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.err, "stationxml2sql: " + (dir / "other.xml") + ":12: channel XT.TEST.00.HHZ from 2020/01/01 "
                         "00:00:00 differs from the same epoch at " + (dir / "small.xml") + ":12; the generator "
                         "would find both (first difference: \" 9.99000E+02\" here, \" 1.00000E+03\" there)\n");

    // Imported again into the database it went into: nothing twice.
    auto again = import({dir / "small.xml"}, loaded.alias());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(count(again.out, "INSERT"), 0u);
    EXPECT_EQ(count(again.err, "is in the database as it is here: left as it is\n"), 4u) << again.err;

    // The text as the standard output gives it, loaded with the command
    // line client as one transaction: a failing statement leaves nothing.
    if (harness::backend() == "sqlite") {
        std::string broken = replaced(harness::read_file(dir / "small.sql"), "COMMIT;", "INSERT INTO nowhere VALUES (1);\nCOMMIT;");
        harness::write_file(dir / "broken.sql", broken);
        const std::string db = dir / "cli.db";
        ASSERT_EQ(run("/usr/bin/sqlite3", {"-bail", db, ".read " + std::string(SCHEMA_DIR) + "/sqlite.sql"}, {}).status, 0);
        EXPECT_NE(run("/usr/bin/sqlite3", {"-bail", db, ".read " + (dir / "broken.sql")}, {}).status, 0);
        auto rows = run("/usr/bin/sqlite3", {db, "select count(*) from station_data; select count(*) from D_Unit;"}, {});
        EXPECT_EQ(rows.out, "0\n0\n");
        EXPECT_EQ(run("/usr/bin/sqlite3", {"-bail", db, ".read " + (dir / "small.sql")}, {}).status, 0);
        rows = run("/usr/bin/sqlite3", {db, "select count(*) from station_data; select count(*) from D_Unit;"}, {});
        EXPECT_EQ(rows.out, "2\n4\n");
    }
}

// Input that is not what it must be: its place and status 1, no output
// (a file given with -o is left as it was, standard output gets nothing).
TEST_F(Stationxml2sql, BadInputWritesNothing)
{
    struct Case {
        const char *name;
        std::string document;
        std::vector<std::string> options;
        std::string message;  // after "stationxml2sql: FILE:"
    } cases[] = {
        {"not XML", "hello\n", {}, "1: not well-formed XML: "},
        {"broken XML", replaced(small_document, "</Site>", "</Sight>"), {}, "11: not well-formed XML: "},
        {"not StationXML", "<?xml version=\"1.0\"?>\n<q:quakeml xmlns:q=\"http://quakeml.org/xmlns/bed/1.2\"/>\n", {},
         "2: not FDSN StationXML: the root element is \"quakeml\" of namespace \"http://quakeml.org/xmlns/bed/1.2\", "
         "not FDSNStationXML of \"http://www.fdsn.org/xml/station/1\"\n"},
        {"version", replaced(small_document, "schemaVersion=\"1.2\"", "schemaVersion=\"2.0\""), {},
         "2: FDSNStationXML schemaVersion \"2.0\": stationxml2sql reads StationXML 1.0 to 1.2\n"},
        {"date", replaced(small_document, "endDate=\"2021-01-01T00:00:00Z\">\n      <Latitude>",
                          "endDate=\"2021-02-30T00:00:00Z\">\n      <Latitude>"),
         {}, "7: Station XT.TEST endDate \"2021-02-30T00:00:00Z\" is not a date and time (xs:dateTime, years 1 to 9999)\n"},
        {"comment date", replaced(small_document, "2020-06-01T00:00:00Z", "June 2020"), {},
         "14: Comment BeginEffectiveTime \"June 2020\" is not a date and time (xs:dateTime, years 1 to 9999)\n"},
        {"backwards", replaced(small_document, "startDate=\"2021-01-01T00:00:00Z\">\n        <Latitude>",
                               "startDate=\"2021-01-01T00:00:00Z\" endDate=\"2020-01-01T00:00:00Z\">\n        <Latitude>"),
         {}, "67: Channel XT.TEST.00.HHZ ends (2020/01/01 00:00:00) before it starts (2021/01/01 00:00:00)\n"},
        {"overlap", replaced(small_document, "<Channel code=\"HHZ\" locationCode=\"00\" startDate=\"2021-01-01T00:00:00Z\">",
                             "<Channel code=\"HHZ\" locationCode=\"00\" startDate=\"2020-12-01T00:00:00Z\">"),
         {}, "67: channel XT.TEST.00.HHZ from 2020/12/01 00:00:00 to 2599/12/31 23:59:59 overlaps its epoch from "
             "2020/01/01 00:00:00 to 2021/01/01 00:00:00 at "},
        {"stage twice", replaced(small_document, "<Stage number=\"3\">", "<Stage number=\"2\">"), {},
         "56: channel XT.TEST.00.HHZ from 2020/01/01 00:00:00: stage 2 is given twice (also at line 43)\n"},
        {"number", replaced(small_document, "<Depth>2.5</Depth>", "<Depth>2,5</Depth>"), {},
         "18: Depth \"2,5\" is not a number\n"},
        {"schema", replaced(small_document, "<Depth>2.5</Depth>\n        <Type>", "<Type>"),
         {"--schema", schema}, "18: does not validate against the schema: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.options.empty() && !harness::file_exists(schema)) continue;
        const std::string input = dir / "input.xml";
        harness::write_file(input, c.document);
        harness::write_file(dir / "out.sql", "left as it was");
        std::vector<std::string> args = {input, "-o", dir / "out.sql"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        auto r = import(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("stationxml2sql: " + input + ":" + c.message, 0), 0u) << r.err;
        EXPECT_EQ(harness::read_file(dir / "out.sql"), "left as it was");
        args.erase(args.begin() + 1, args.begin() + 3);
        auto piped = import(args);
        EXPECT_EQ(piped.status, 1);
        EXPECT_EQ(piped.out, "");
    }
    if (!harness::file_exists(schema)) GTEST_SKIP() << "no FDSN schema at " << schema << ": schema case not run";

    // Command line: help on standard output, usage errors with status 2.
    auto help = import({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--skip-unsupported"), std::string::npos);
    auto none = import({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err.substr(none.err.find('\n') + 1), "Run 'stationxml2sql --help' for usage.\n");
    EXPECT_EQ(import({"--version"}).out, "stationxml2sql 1.0.0\n");
    auto missing = import({dir / "absent.xml"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "stationxml2sql: " + (dir / "absent.xml") + ": cannot read the file: No such file or directory\n");
}

// Every limit the import admits is one the generator can write and the
// reader read back: the widest numbers, the longest texts, the most zeros
// and poles and polynomial coefficients that one blockette holds (the
// generator's own layouts). One past each limit is refused at import.
TEST_F(Stationxml2sql, EveryLimitAdmittedGeneratesAndReadsBack)
{
    auto text = [](std::size_t n, char c = 'x') { return std::string(n, c); };
    auto roots = [](const char *element, std::size_t n) {
        std::string out;
        for (std::size_t k = 0; k < n; ++k)
            out += "<" + std::string(element) + " number=\"" + std::to_string(k) + "\"><Real>-0.7</Real><Imaginary>0." +
                   std::to_string(k % 9 + 1) + "</Imaginary></" + element + ">";
        return out;
    };
    auto polynomial = [](std::size_t n, const std::string &name) {
        std::string out = "<Polynomial name=\"" + name + "\"><InputUnits><Name>V</Name></InputUnits><OutputUnits><Name>count"
                          "</Name></OutputUnits><ApproximationType>MACLAURIN</ApproximationType><FrequencyLowerBound>0"
                          "</FrequencyLowerBound><FrequencyUpperBound>1</FrequencyUpperBound><ApproximationLowerBound>0"
                          "</ApproximationLowerBound><ApproximationUpperBound>1</ApproximationUpperBound><MaximumError>0"
                          "</MaximumError>";
        for (std::size_t k = 0; k < n; ++k) out += "<Coefficient>" + std::to_string(k) + "</Coefficient>";
        return out + "</Polynomial>";
    };
    const std::string pz = small_document.substr(small_document.find("<Zero number"),
                                                 small_document.find("</PolesZeros>") - small_document.find("<Zero number"));
    const std::string fir = small_document.substr(small_document.find("<FIR name"),
                                                  small_document.find("</FIR>") + 6 - small_document.find("<FIR name"));
    const std::size_t roots_max = quorvex::max_poles_and_zeros(), name = 25;
    const std::size_t coefficients_max = quorvex::max_polynomial_coefficients(name);
    struct Limit {
        const char *what;
        std::string from, at, past;
    } limits[] = {
        {"elevation", "<Elevation>100</Elevation>", "<Elevation>99999.9</Elevation>", "<Elevation>100000</Elevation>"},
        {"depth", "<Depth>2.5</Depth>", "<Depth>-99.9</Depth>", "<Depth>-100</Depth>"},
        {"site name", "<Name>Hill's top</Name>", "<Name>" + text(50) + "</Name>", "<Name>" + text(51) + "</Name>"},
        {"channel description", "<Description>vertical</Description>", "<Description>" + text(30) + "</Description>",
         "<Description>" + text(31) + "</Description>"},
        {"sensor", "<Description>Test seismometer</Description>", "<Description>" + text(50) + "</Description>",
         "<Description>" + text(51) + "</Description>"},
        {"comment", "Vault flooded", text(70), text(71)},
        {"unit name", "<Name>A</Name>", "<Name>" + text(20, 'A') + "</Name>", "<Name>" + text(21, 'A') + "</Name>"},
        {"decimation factor", "<Factor>2</Factor>", "<Factor>99999</Factor>", "<Factor>100000</Factor>"},
        {"zeros and poles", pz, roots("Zero", 1) + roots("Pole", roots_max - 1), roots("Zero", 1) + roots("Pole", roots_max)},
        // Named for its transducer, as blockette 42 needs to find its units.
        {"polynomial", fir, polynomial(coefficients_max, "LDS" + text(name - 3, 'P')),
         polynomial(coefficients_max + 1, "LDS" + text(name - 3, 'P'))},
    };
    // All at once: what the import admits generates and reads back.
    std::string widest = small_document;
    for (const Limit &l : limits) widest = replaced(widest, l.from, l.at, true);
    harness::write_file(dir / "widest.xml", widest);
    auto r = import({dir / "widest.xml", "-o", dir / "widest.sql"});
    ASSERT_EQ(r.status, 0) << r.err;
    harness::TestDatabase loaded({harness::read_file(dir / "widest.sql")});
    for (Env flags : {Env{}, Env{{"USE_ABPOLY", ""}}}) {
        const std::string tree = dir / ("tree" + std::to_string(flags.size()));
        flags["RESPONSE_DB"] = loaded.alias();
        flags["DATA_ROOT"] = tree;
        auto q = run("Quorvex", {"TEST.XT", "2020/01/01", "00:00:00", "a"}, flags, dir.path());
        ASSERT_EQ(q.status, 0) << q.out;
        auto list = run("seedtree", {"list", tree}, {});
        EXPECT_EQ(list.status, 0) << list.err;
        EXPECT_NE(list.out.find(text(50) + "\n"), std::string::npos) << list.out;
    }
    // One past each, alone: refused before any SQL is written.
    for (const Limit &l : limits) {
        SCOPED_TRACE(l.what);
        harness::write_file(dir / "past.xml", replaced(small_document, l.from, l.past, true));
        auto past = import({dir / "past.xml", "-o", dir / "past.sql"});
        EXPECT_EQ(past.status, 1) << past.err;
        EXPECT_FALSE(harness::file_exists(dir / "past.sql"));
    }
}

// Values the response tables or their SEED fields cannot hold: the run
// stops naming network, station, channel, epoch and stage; with
// --skip-unsupported the channel (or station) is left out with a warning
// and the rest loads.
TEST_F(Stationxml2sql, UnsupportedValuesNameTheirPlaceOrAreLeftOut)
{
    std::string many;
    for (int k = 0; k < 500; ++k) many += "<Coefficient>" + std::to_string(k) + "</Coefficient>";
    const std::string polynomial =
        "<Polynomial><InputUnits><Name>C</Name></InputUnits><OutputUnits><Name>V</Name></OutputUnits>"
        "<ApproximationType>MACLAURIN</ApproximationType><FrequencyLowerBound>0</FrequencyLowerBound>"
        "<FrequencyUpperBound>1</FrequencyUpperBound><ApproximationLowerBound>0</ApproximationLowerBound>"
        "<ApproximationUpperBound>1</ApproximationUpperBound><MaximumError>0</MaximumError>" + many + "</Polynomial>";
    const std::string fir_stage = small_document.substr(small_document.find("            <FIR name"),
                                                        small_document.find("            <Decimation>") -
                                                            small_document.find("            <FIR name"));
    const std::string channel = "channel XT.TEST.00.HHZ from 2020/01/01 00:00:00";
    struct Case {
        const char *name;
        std::string from, to;
        std::string message;  // after "stationxml2sql: FILE:"
    } cases[] = {
        {"response list", fir_stage,
         "<ResponseList><InputUnits><Name>V</Name></InputUnits><OutputUnits><Name>count</Name></OutputUnits>"
         "</ResponseList>",
         "43: " + channel + ", stage 2: a ResponseList (amplitudes and phases at frequencies) has no place in the "
                            "response tables"},
        {"denominators", fir_stage,
         "<Coefficients><InputUnits><Name>V</Name></InputUnits><OutputUnits><Name>count</Name></OutputUnits>"
         "<CfTransferFunctionType>DIGITAL</CfTransferFunctionType><Numerator>1</Numerator>"
         "<Denominator>1</Denominator><Denominator>-0.5</Denominator></Coefficients>",
         "43: " + channel + ", stage 2: a Coefficients filter with Denominators has no place in the response tables: "
                            "a coefficient set (DC) is written as a FIR, numerators only"},
        {"transfer function", "LAPLACE (HERTZ)", "LAPLACE (DEGREES)",
         "31: " + channel + ", stage 1: PzTransferFunctionType \"LAPLACE (DEGREES)\" is none of the types blockette "
                            "53 holds (LAPLACE (RADIANS/SECOND), LAPLACE (HERTZ), DIGITAL (Z-TRANSFORM))"},
        {"polynomial", fir_stage, polynomial,
         "43: " + channel + ", stage 2: a Polynomial of 500 coefficients: at most 413 fit in one blockette 62 or 42"},
        {"depth", "<Depth>2.5</Depth>", "<Depth>1000</Depth>",
         "12: " + channel + ": Depth 1000 does not fit B052 field 13 (local depth): \"1000.0\" is wider than its 5 "
                            "characters"},
        {"sample rate", "<SampleRate>100</SampleRate>", "<SampleRate>-100</SampleRate>",
         "12: " + channel + ": SampleRate -100 does not fit B052 field 18 (sample rate): \"-1.0000E+02\" is wider "
                            "than its 10 characters"},
        {"gain", "<Value>1200</Value>", "<Value>1e39</Value>",
         "30: " + channel + ", stage 1: StageGain Value 1e+39 is not a finite single-precision number, which B058 "
                            "field 4 (sensitivity/gain) needs"},
        {"location", "locationCode=\"00\" startDate=\"2020", "locationCode=\"000\" startDate=\"2020",
         "12: channel XT.TEST.000.HHZ from 2020/01/01 00:00:00: locationCode \"000\" is longer than its 2 characters"},
        {"tilde", "Vault flooded", "Vault ~flooded",
         "14: " + channel + ": Comment Value \"Vault ~flooded\" holds a \"~\", which ends a SEED field (B031 field 5, "
                            "description of comment)"},
        {"unit", "<Name>A</Name>", "<Name>Amperes per square metre</Name>",
         "23: " + channel + ": unit Name \"Amperes per square metre\" is longer than its 20 characters (B034 field 4, "
                            "unit name)"},
        {"station", "<Site><Name>Hill's top</Name></Site>\n      <Channel code=\"HHZ\" locationCode=\"00\" startDate=\"2020",
         "<Site><Name>Z\xc3\xbcrich</Name></Site>\n      <Channel code=\"HHZ\" locationCode=\"00\" startDate=\"2020",
         "7: station XT.TEST from 2020/01/01 00:00:00: Site Name \"Z\xc3\xbcrich\" holds a character beyond printable "
         "ASCII (B050 field 9, site name, as the generator holds it)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = dir / "input.xml";
        harness::write_file(input, replaced(small_document, c.from, c.to));
        auto r = import({input, "-o", dir / "out.sql"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "stationxml2sql: " + input + ":" + c.message + "\n");
        EXPECT_FALSE(harness::file_exists(dir / "out.sql"));

        auto skipped = import({input, "-o", dir / "out.sql", "--skip-unsupported"});
        EXPECT_EQ(skipped.status, 0) << skipped.err;
        bool station = std::string(c.name) == "station";
        EXPECT_NE(skipped.err.find("stationxml2sql: warning: " + input + ":" + c.message +
                                   (station ? "; the station epoch is left out with its channels\n"
                                            : "; the channel epoch is left out\n")),
                  std::string::npos) << skipped.err;
        const std::string sql = harness::read_file(dir / "out.sql");
        EXPECT_EQ(count(sql, "('TEST', 'XT', 'HHZ', 'HHZ', 'FDSNXML', '00'"), 1u);  // the second epoch's
        EXPECT_EQ(count(sql, "INSERT INTO station_data "), station ? 1u : 2u);
        fs::remove(dir / "out.sql");
    }
    // What is left loads, and generates.
    harness::write_file(dir / "input.xml", replaced(small_document, "<Depth>2.5</Depth>", "<Depth>-100</Depth>"));
    auto r = import({dir / "input.xml", "-o", dir / "left.sql", "--skip-unsupported"});
    ASSERT_EQ(r.status, 0);
    harness::TestDatabase loaded({harness::read_file(dir / "left.sql")});
    quorvex(loaded.alias(), dir / "tree", {"TEST.XT", "2021/01/01", "00:00:00", "a"});
    EXPECT_TRUE(harness::file_exists(dir / "tree/TEST.XT/HHZ.00/B052"));
}

TEST(StationXmlDates, TimesOfTheDatabase)
{
    using importer::database_date;
    using importer::parse_xml_date_time;
    auto text = [](const char *t) {
        auto i = parse_xml_date_time(t);
        return i ? database_date(*i) : std::string("none");
    };
    EXPECT_EQ(text("2003-07-01T00:00:00"), "2003/07/01 00:00:00");
    EXPECT_EQ(text("2003-07-01T00:00:00Z"), "2003/07/01 00:00:00");
    EXPECT_EQ(text("2003-07-01T00:30:00+01:00"), "2003/06/30 23:30:00");
    EXPECT_EQ(text("2003-12-31T23:00:00-01:30"), "2004/01/01 00:30:00");
    EXPECT_EQ(text("2599-12-31T23:59:59.9999Z"), "2599/12/31 23:59:59");
    EXPECT_EQ(text("2000-02-29T24:00:00"), "2000/03/01 00:00:00");
    EXPECT_EQ(text("0001-01-01T00:00:00Z"), "0001/01/01 00:00:00");
    EXPECT_EQ(text("1969-12-31T23:59:59Z"), "1969/12/31 23:59:59");
    for (const char *bad : {"2001-02-29T00:00:00", "2003-07-01", "2003-07-01T24:00:01", "2003-07-01T00:00:60",
                            "0000-01-01T00:00:00", "-2003-07-01T00:00:00", "10000-01-01T00:00:00",
                            "0001-01-01T00:00:00+01:00", "2003-07-01T00:00:00+15:00", "2003-07-01 00:00:00",
                            "2003-07-01T00:00:00.", "02003-07-01T00:00:00", " 2003-07-01T00:00:00", ""})
        EXPECT_EQ(text(bad), "none") << bad;
}

}  // namespace
