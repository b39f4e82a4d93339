// dovrak on the inventory fixture, compared byte for byte on standard output.
#include <gtest/gtest.h>

#include "tests/support/harness.hpp"

using harness::run;

namespace {

const std::string connected = "\n Connected to ORACLE as user: vordadba\n\n";
const std::string closing = "\n\n\n Disconnecting from ORACLE ...\n\n";

class Dovrak : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = new harness::TestDatabase({harness::fixture("inventory.sql")}); }
    static void TearDownTestSuite() { delete db; }

    static harness::RunResult dovrak(const std::vector<std::string> &args)
    {
        return run("dovrak", args, {{"RESPONSE_DB", db->alias()}});
    }

    static harness::TestDatabase *db;
};
harness::TestDatabase *Dovrak::db = nullptr;

// Sensor 29031: every stage kind under component 1; component 3 is never
// reached because component 2 is missing. The "F" stage has its stage line
// only, and 0.125 and 0.005 (single precision) round down.
const std::string sensor_29031 =
    "\n\n\n Found Sensor ...\n"
    "\n STS-2      29031    -- Nb. component: 3 -- 1999/01/01 00:00:00  2599/12/31 23:59:59 "
    "\n\t Channel: Z  -- Type: V -- Sens: 1500.50 -- Freq:  0.01 Hz"
    "\n\t\t Type: A -- In: M/S          Out: V           "
    "\n\t\t Type: Z -- Real:  0.00 -- Imag:  0.00"
    "\n\t\t Type: P -- Real: -0.04 -- Imag:  0.04"
    "\n\t\t Type: P -- Real: -123.46 -- Imag:  0.00"
    "\n\t\t Type: B -- In: V            Out: V           "
    "\n\t\t High-Pass filter: Type: BU -- Nb. Pole: 2 -- Corner Freq:  0.01 -- Damping:  0.71"
    "\n\t\t Type: B -- In: V            Out: V           "
    "\n\t\t Low-Pass filter: Type: BE -- Nb. Pole: 4 -- Corner Freq: 40.00 -- Damping:  0.50"
    "\n\t\t Type: P -- In: V            Out: PA/S_LONG_UN"
    "\n\t\t Polynomial: Type: M -- Lower: -10.00 -- Upper: 10.00 -- Max. Error:  0.00 -- Nb Coeff: 3"
    "\n\t\t Coeff: 1 -- Value:  0.12"
    "\n\t\t Coeff: 2 -- Value:  1.50"
    "\n\t\t Coeff: 3 -- Value: -0.00"
    "\n\t\t Type: D -- In: V            Out: COUNTS      "
    "\n\t\t Type: Q -- In: COUNTS       Out: COUNTS      "
    "\n\n --> Sensor installed at HILL   XY  -- 2003/07/01 00:00:00  2599/12/31 23:59:59 ."
    "\n\n --> Sensor installed at HILL   XY  -- 1999/01/01 00:00:00  2003/06/30 23:59:59 ."
    "\n\n --> Sensor installed at ABC    XYZ --  .";

// Sensor without serial number and end date, after one that has both; its
// sequence ends at the stage whose output unit has no name.
const std::string sensor_null_serial =
    "\n\n\n Found Sensor ...\n"
    "\n STS-2       -- Nb. component: 1 -- 2005/03/01 00:00:00  "
    "\n\t Channel: N  -- Type: V -- Sens: 750.00 -- Freq:  1.00 Hz"
    "\n\t\t Type: A -- In: M/S          Out: V           "
    "\n\t\t High-Pass filter: Type: BU -- Nb. Pole: 2 -- Corner Freq:  0.01 -- Damping:  0.71"
    "\n\n --> Sensor not installed.";

const std::string sensor_bbx =
    "\n\n\n Found Sensor ...\n"
    "\n BBX-120    B120     -- Nb. component: 0 -- 2010/01/01 00:00:00  2599/12/31 23:59:59 "
    "\n\n --> Sensor not installed.";

const std::string sensor_quote =
    "\n\n\n Found Sensor ...\n"
    "\n L'4C       QU'OTE1  -- Nb. component: -1 -- 2001/01/01 00:00:00  2599/12/31 23:59:59 "
    "\n\n --> Sensor not installed.";

// Channel 1 has a response, channel 2 none, channel 3 is missing.
const std::string filamp_f1001 =
    "\n\n\n Found Filter-Amplifier ...\n"
    "\n\t FA-100 preamplifier for br F1001                      -- Nb. channel: 3"
    "\n\t\t Gain: 10.00 -- Freq:  0.50 Hz"
    "\n\t\t\t Type: B -- In: V            Out: V           "
    "\n\t\t\t Low-Pass filter: Type: BU -- Nb. Pole: 1 -- Corner Freq:  5.50 -- Damping:  0.71"
    "\n\t\t Gain:  1.00 -- Freq:  0.50 Hz"
    "\n\t\t\t No response"
    "\n\n --> Filter-Amplifier installed at HILL   XY  -- 2003/07/01 00:00:00  2599/12/31 23:59:59 .";

const std::string filamp_f2002 =
    "\n\n\n Found Filter-Amplifier ...\n"
    "\n\t FA-100 spare               F2002                      -- Nb. channel: 0"
    "\n\n --> Filter-Amplifier not installed.";

// Board 1 without serial number, its module 2 likewise; board 2 stops at its
// missing module 2; board 3 is missing.
const std::string datalogger_d001 =
    "\n\n\n Found Datalogger ...\n"
    "\n\t Type: Q330         -- Serial: D001         Firmware: 1.2.3        Soft: Ringserver   Version: v3.1        "
    "\n\t Nb Board: 3 -- Word 32: 3210 Word 16: 10"
    "\n\t\t Serial:  -- Nb Module: 2"
    "\n\t\t\t Serial: M11          -- Sensitivity: 1.500000"
    "\n\t\t\t Serial:  -- Sensitivity: 0.250000"
    "\n\t\t Serial: B2           -- Nb Module: 3"
    "\n\t\t\t Serial: M21          -- Sensitivity: 2.000000"
    "\n\n --> Datalogger installed at HILL   XY  -- 2003/07/01 00:00:00  2599/12/31 23:59:59 .";

// NULL firmware, software and word_16 after a datalogger that has them.
const std::string datalogger_d002 =
    "\n\n\n Found Datalogger ...\n"
    "\n\t Type: Q330HR       -- Serial: D002         Firmware:  Soft:  Version: "
    "\n\t Nb Board: 0 -- Word 32: 10 Word 16: 0"
    "\n\n --> Datalogger not installed.";

TEST_F(Dovrak, UsageAndUnknownOptionComeBeforeTheDatabase)
{
    const std::string usage = "\n\n dovrak [-name <name>] [-serial <serial number>]\n\n";
    for (auto args : {std::vector<std::string>{}, {"-name"}, {"-name", "a", "b"}}) {
        auto r = dovrak(args);
        EXPECT_EQ(r.out, usage);
        EXPECT_EQ(r.status, 0);
    }
    for (std::string option : {"-Name", "-serial_nb", "name"}) {
        auto r = dovrak({option, "STS-2"});
        EXPECT_EQ(r.out, "\n Error: [" + option + "] Unknown option.\n\n");
        EXPECT_EQ(r.status, 1);
    }
    // Not even a database is needed to refuse.
    auto r = run("dovrak", {"-size", "x"}, {{"RESPONSE_DB", "/nonexistent/none.db"}});
    EXPECT_EQ(r.out, "\n Error: [-size] Unknown option.\n\n");
}

TEST_F(Dovrak, PatternOver31CharactersIsRefused)
{
    auto r = dovrak({"-name", std::string(32, 'A')});
    EXPECT_EQ(r.out, "\n Error: Pattern longer than 31 characters.\n\n");
    EXPECT_EQ(r.status, 1);
    r = dovrak({"-name", std::string(31, '%')});
    EXPECT_EQ(r.out.rfind(connected + "\n\n\n Found Sensor ...\n", 0), 0u);
    EXPECT_EQ(r.status, 0);
}

TEST_F(Dovrak, SensorsInOndateOrderWithPartsResponsesAndInstallations)
{
    auto r = dovrak({"-name", "STS-2"});
    EXPECT_EQ(r.out, connected + sensor_29031 + sensor_null_serial + closing);
    EXPECT_EQ(r.status, 0);
}

TEST_F(Dovrak, FilterAmplifiersAndDataloggers)
{
    auto r = dovrak({"-serial", "F1001"});
    EXPECT_EQ(r.out, connected + filamp_f1001 + closing);
    // -name matches dataloggers on their type, -serial on the serial number.
    r = dovrak({"-name", "Q330*"});
    EXPECT_EQ(r.out, connected + datalogger_d001 + datalogger_d002 + closing);
    EXPECT_EQ(dovrak({"-serial", "Q330*"}).out, connected + closing);
    EXPECT_EQ(dovrak({"-name", "D001"}).out, connected + closing);
}

TEST_F(Dovrak, EveryKindIsSearchedInTurn)
{
    auto r = dovrak({"-name", "%"});
    EXPECT_EQ(r.out, connected + sensor_29031 + sensor_quote + sensor_null_serial + sensor_bbx + filamp_f1001 +
                         filamp_f2002 + datalogger_d001 + datalogger_d002 + closing);
}

TEST_F(Dovrak, WildcardsAndCaseSensitiveMatching)
{
    struct Case {
        std::vector<std::string> args;
        std::string found;
    } cases[] = {
        {{"-serial", "*002"}, filamp_f2002 + datalogger_d002},
        {{"-serial", "_002"}, datalogger_d002},
        {{"-serial", "?002"}, datalogger_d002},
        {{"-serial", "B1%"}, sensor_bbx},
        {{"-serial", "B12?"}, sensor_bbx},
        {{"-name", "BBX?120"}, sensor_bbx},
        {{"-name", "BBX*"}, sensor_bbx},
        {{"-name", "bbx*"}, ""},
        {{"-serial", "b120"}, ""},
        {{"-serial", "B12"}, ""},
    };
    for (const auto &c : cases) {
        auto r = dovrak(c.args);
        EXPECT_EQ(r.out, connected + c.found + closing) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(Dovrak, QuotesInThePatternAreMatchedLiterally)
{
    EXPECT_EQ(dovrak({"-serial", "QU'OTE1"}).out, connected + sensor_quote + closing);
    EXPECT_EQ(dovrak({"-name", "L'*"}).out, connected + sensor_quote + closing);
    // Would match every item if the quote ended the literal.
    for (std::string pattern : {"' OR ''='", "x' OR 1=1 --", "'", ":b0", "''"}) {
        auto r = dovrak({"-name", pattern});
        EXPECT_EQ(r.out, connected + closing) << pattern;
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(Dovrak, NullSensorComponentResponseIsADatabaseError)
{
    harness::TestDatabase broken({harness::fixture("inventory.sql"),
                                  "UPDATE sensor_component SET seqresp_id = NULL WHERE sensor_id = 2;"});
    auto r = run("dovrak", {"-name", "STS-2"}, {{"RESPONSE_DB", broken.alias()}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind(connected + sensor_29031 + "\n\n\n Found Sensor ...\n", 0), 0u);
    EXPECT_NE(r.out.find("\nORACLE error detected:\nORA-01405: "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Disconnecting"), std::string::npos);
}

}  // namespace
