// Hostile database content, faults in the middle of a write, paths that
// would lead out of the tree, and hostile settings of the drivers, reports
// and connections: every case ends with status 1 and a message that names
// the problem, and whatever the run wrote before still parses whole, line by
// line, through the independent SEED reader.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/harness.hpp"

using harness::Env;

namespace {

const std::string project = std::string(FIXTURE_DIR) + "/../..";
const std::vector<std::string> hill_2004 = {"HILL.XY", "2004/01/01", "00:00:00", "a"};

bool sqlite() { return harness::backend() == "sqlite"; }

class Hostile : public ::testing::Test {
protected:
    // The demo rows, then sql: the hostile change.
    std::unique_ptr<harness::TestDatabase> database(const std::string &sql)
    {
        return std::make_unique<harness::TestDatabase>(std::vector<std::string>{harness::demo_sql(), sql});
    }

    harness::RunResult run(const harness::TestDatabase &db, const std::string &program,
                           const std::vector<std::string> &args, Env env = {})
    {
        env.emplace("RESPONSE_DB", db.alias());
        env.emplace("DATA_ROOT", root());
        return harness::run(program, args, env, dir.path());
    }

    // A command line through the shell, for limits, redirections and
    // processes in the background: $0 is build/bin/PROGRAM.
    harness::RunResult shell(const harness::TestDatabase &db, const std::string &script, const std::string &program,
                             const std::vector<std::string> &args, Env env = {})
    {
        std::vector<std::string> argv = {"-c", script, harness::tools_dir() + "/" + program};
        argv.insert(argv.end(), args.begin(), args.end());
        return run(db, "/bin/sh", argv, std::move(env));
    }

    std::string root() const { return dir / "root"; }

    // Every line of every file below root parses as its blockette.
    void expect_tree_parses(const std::string &what)
    {
        std::string report = dir / "parse.txt";
        int status = std::system(
            ("python3 " + project + "/tests/readers/seed_response_curve.py parse " + root() + " >" + report + " 2>&1").c_str());
        EXPECT_EQ(status, 0) << what << "\n" << harness::read_file(report);
    }

    void expect_refused(const harness::RunResult &r, const std::string &message, const std::string &what)
    {
        EXPECT_EQ(r.status, 1) << what << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(message), std::string::npos) << what << "\n" << r.out << r.err;
        expect_tree_parses(what);
    }

    harness::TempDir dir;
};

TEST_F(Hostile, ValuesThatDoNotFitTheirFieldsStopTheRunBeforeTheRecord)
{
    struct Case {
        std::string sql, message;
        bool sqlite_only = false;
        std::string station = "HILL.XY";
    } cases[] = {
        // A newline would split the dictionary record, "~" shift every later field.
        {"UPDATE D_Abbreviation SET description = 'XY Hill Top\nRegional Network' WHERE id = 5;",
         "Blockette 33 field 4 (abbreviation description) of abbreviation 5: \"XY Hill Top\\nRegional Network\" "
         "holds a control character.\n\n"},
        {"UPDATE DC SET name = 'FIR~HILL' WHERE key = 101;",
         "Blockette 61 field 4 (response name) of HILL.XY.BHZ.   stage 3: \"FIR~HILL\" holds \"~\", the field "
         "terminator.\n\n"},
        // Numbers wider than their fields: a reader would take the next field's start.
        {"UPDATE channel_data SET edepth = 1500 WHERE seedchan = 'BHN';",
         "Blockette 52 field 13 (local depth) of HILL.XY.BHN.  : \"1500.0\" is wider than its 5 characters.\n\n"},
        {"UPDATE D_Abbreviation SET id = 1234 WHERE id = 5;",
         "Blockette 33 field 3 (abbreviation lookup code) of abbreviation 1234: \"1234\" is wider than its 3 "
         "characters.\n\n"},
        {"UPDATE Sensitivity SET stage_seq = 100 WHERE seedchan = 'BHN' AND stage_seq = 1;",
         "Blockette 58 field 3 (stage sequence number) of HILL.XY.BHN.   stage 100: \"100\" is wider than its 2 "
         "characters.\n\n"},
        {"UPDATE Sensitivity SET stage_seq = 2147483647 WHERE seedchan = 'BHN' AND stage_seq = 1;",
         "stage 2147483647: \"2147483647\" is wider than its 2 characters.\n\n"},
        {"UPDATE station_data SET sta = 'HILLTO' WHERE sta = 'HILL'; UPDATE channel_data SET sta = 'HILLTO';",
         "Station code \"HILLTO\" of station HILLTO.XY is longer than its 5 characters.\n\n", false, "HILLTO.XY"},
        // A date the day-of-year conversion cannot convert.
        {"UPDATE channel_data SET ondate = '2003/06/31 00:00:00' WHERE seedchan = 'BHE';", "ORA-01861"},
        // Conversion errors: never Inf, a wrapped integer, 12 for '12abc' or 0 for 'fast'.
        {sqlite() ? "UPDATE channel_data SET samprate = 9e999 WHERE seedchan = 'BHE';"
                  : "UPDATE channel_data SET samprate = 'Infinity' WHERE seedchan = 'BHE';",
         "ORA-01426: numeric overflow"},
        {"UPDATE channel_data SET inid = 5000000005 WHERE seedchan = 'BHE';",
         "ORA-01455: converting column overflows integer datatype: '5000000005'", true},
        {"UPDATE channel_data SET format_id = '12abc' WHERE seedchan = 'BHE';", "ORA-01722: invalid number: '12abc'",
         true},
        {"UPDATE channel_data SET samprate = 'fast' WHERE seedchan = 'BHE';", "ORA-01722: invalid number: 'fast'",
         true},
        {"UPDATE station_data SET staname = 'Hill' || char(0) || 'Top';", "fetched text holds a NUL byte", true},
    };
    for (const auto &c : cases) {
        if (c.sqlite_only && !sqlite()) continue;
        auto db = database(c.sql);
        std::filesystem::remove_all(root());
        std::vector<std::string> args = hill_2004;
        args[0] = c.station;
        expect_refused(run(*db, "Quorvex", args), c.message, c.sql);
    }

    // A code shorter than its field is blank-filled, and then parses.
    auto db = database("UPDATE channel_data SET location = '0' WHERE seedchan = 'LHZ';");
    std::filesystem::remove_all(root());
    auto r = run(*db, "Quorvex", hill_2004);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(harness::read_file(root() + "/HILL.XY/LHZ.0/B052").substr(0, 12), "05201500 LHZ");
    expect_tree_parses("one-character location");
}

TEST_F(Hostile, AFailedWriteLeavesNothingBehind)
{
    auto db = database("");
    // The file size limit cuts the first long FIR record of BHZ short: the
    // cut part is removed, and the next run appends whole lines after it.
    auto r = shell(*db, "ulimit -f 3 && exec \"$0\" \"$@\"", "Quorvex", hill_2004);
    expect_refused(r, "Couldn't write file " + root() + "/HILL.XY/BHZ./B052: File too large", "file size limit");
    r = run(*db, "Quorvex", hill_2004);
    EXPECT_EQ(r.status, 0) << r.out;
    expect_tree_parses("the run after the cut one");

    // A report that does not reach standard output.
    for (auto [program, args] : {std::pair<std::string, std::vector<std::string>>{"dovrak", {"-name", "*"}},
                                 {"selkam", {"hill-fir"}}}) {
        r = shell(*db, "exec \"$0\" \"$@\" >/dev/full", program, args);
        EXPECT_EQ(r.status, 1) << program;
        EXPECT_EQ(r.err, program + ": cannot write the report to standard output: No space left on device\n");
    }

    // A run stopped while it writes the dictionary (40,000 comments: long
    // enough to be caught at it) leaves no temporary file. A loaded machine
    // may let a run finish before the signal: then it left a whole H.A, and
    // the run is tried again.
    const std::string hundreds = [] {
        std::string s = "(SELECT 0 AS k";
        for (int k = 1; k < 200; ++k) s += " UNION ALL SELECT " + std::to_string(k);
        return s + ")";
    }();
    auto big = database("INSERT INTO D_Comment (id, class, description, unit) "
                        "SELECT 1000 + a.k * 200 + b.k, 'S', 'comment number ' || (a.k * 200 + b.k), 0 FROM " +
                        hundreds + " a, " + hundreds + " b;");
    const std::string stop_while_writing =
        "\"$0\" \"$@\" >/dev/null & pid=$!; "
        "for i in $(seq 4000); do ls -a \"$DATA_ROOT\" | grep -q '^\\.H\\.A\\.' && break; "
        "kill -0 $pid 2>/dev/null || break; sleep 0.005; done; "
        "kill -TERM $pid 2>/dev/null; wait $pid; echo \"status $?\"";
    bool stopped = false;
    for (int attempt = 0; attempt < 5 && !stopped; ++attempt) {
        std::filesystem::remove_all(root());
        std::filesystem::create_directory(root());
        r = shell(*big, stop_while_writing, "Quorvex", hill_2004);
        stopped = r.out == "status 143\n";
        auto tree = harness::read_tree(root());
        if (stopped)
            EXPECT_TRUE(tree.empty()) << "the temporary dictionary is left behind";
        else
            EXPECT_EQ(r.out, "status 0\n") << r.err;
        for (const auto &[path, text] : tree) EXPECT_NE(path.rfind(".H.A.", 0), 0u) << path;
    }
    EXPECT_TRUE(stopped) << "no run was caught writing its dictionary";

    // The database file cut short under a running program: an error, never
    // a SIGBUS (the file is read, not mapped).
    if (sqlite()) {
        std::filesystem::remove_all(root());
        std::filesystem::create_directory(root());
        r = shell(*big,
                  "\"$0\" \"$@\" >/dev/null & pid=$!; "
                  "for i in $(seq 2000); do ls -a \"$DATA_ROOT\" | grep -q '^\\.H\\.A\\.' && break; "
                  "kill -0 $pid 2>/dev/null || break; sleep 0.005; done; "
                  ": >\"$RESPONSE_DB\"; wait $pid; echo \"status $?\"",
                  "Quorvex", hill_2004);
        EXPECT_TRUE(r.out == "status 1\n" || r.out == "status 0\n") << r.out << r.err;
        expect_tree_parses("database cut short");
    }
}

TEST_F(Hostile, OutputStaysInsideTheTree)
{
    auto db = database("UPDATE channel_data SET seedchan = '../' WHERE seedchan = 'BHE';");
    auto r = run(*db, "Quorvex", hill_2004);
    expect_refused(r,
                   "\n Error: Channel code \"../\" of station HILL.XY holds a character other than a letter, a digit "
                   "or a blank.\n\n",
                   "channel ../");
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(entry.path().filename() == "root" || entry.path().filename() == "parse.txt") << entry.path();
    EXPECT_FALSE(std::filesystem::exists(root() + "/HILL.XY/B052"));

    auto demo = database("");
    r = run(*demo, "Quorvex", hill_2004, {{"DATA_ROOT", ""}});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\n Error: DATA_ROOT is set but empty: set it to the header tree's root directory.\n\n"),
              std::string::npos)
        << r.out;

    // A link planted under the temporary dictionary's name (the run's own
    // process number, which exec keeps) is never written through.
    std::filesystem::remove_all(root());
    std::filesystem::create_directory(root());
    harness::write_file(dir / "victim", "keep\n");
    r = shell(*demo, "ln -s \"$VICTIM\" \"$DATA_ROOT/.H.A.$$\" && exec \"$0\" \"$@\"", "Quorvex", hill_2004,
              {{"VICTIM", dir / "victim"}});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(harness::read_file(dir / "victim"), "keep\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(root() + "/H.A"));
    for (const auto &entry : std::filesystem::directory_iterator(root()))
        if (entry.is_symlink()) std::filesystem::remove(entry.path());  // the test's own link
    expect_tree_parses("planted link");
}

TEST_F(Hostile, DriversReportsAndConnections)
{
    // An epoch start without its time is a failed run, not three arguments.
    auto db = database("UPDATE station_data SET ondate = '2003/07/01' WHERE ondate = '2003/07/01 00:00:00';");
    auto r = run(*db, "Lintaro", {"HILL.XY", "1999,001,00:00:00", "2005,001,00:00:00", "s"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Failed (epoch start \"2003/07/01\" is not a date YYYY/MM/DD HH24:MI:SS): "),
              std::string::npos)
        << r.err;
    expect_tree_parses("epoch start without time");

    // A search pattern never leaves its literal, whatever the server's
    // string setting, and a backslash in it matches a backslash.
    std::string items = "INSERT INTO Sensor (sensor_id, name, serial_nb, ondate, offdate, nb_component) VALUES "
                        "(91, 'A\\B', 'S91', '2000/01/01 00:00:00', '2599/12/31 23:59:59', 0), "
                        "(92, 'AB', 'S92', '2000/01/01 00:00:00', '2599/12/31 23:59:59', 0);";
    if (!sqlite())
        items += "DO $$ BEGIN EXECUTE 'ALTER DATABASE ' || quote_ident(current_database()) || "
                 "' SET standard_conforming_strings = off'; END $$;";
    auto inventory = database(items);
    r = run(*inventory, "dovrak", {"-name", "zz\\' OR 1=1 --"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("Found"), std::string::npos) << r.out;
    r = run(*inventory, "dovrak", {"-name", "A\\B"});
    EXPECT_NE(r.out.find("\n A\\B        S91      -- Nb. component: 0"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("S92"), std::string::npos) << r.out;

    // The backend is chosen by the form of RESPONSE_DB, never by its content;
    // a double quote cannot add connection options.
    if (sqlite()) {
        std::filesystem::copy_file(db->alias(), dir / "host=x.db");
        for (std::string alias : {"host=x.db", "sqlite:host=x.db"}) {
            r = harness::run("Quorvex", {"HILL.XY"}, {{"RESPONSE_DB", alias}}, dir.path());
            EXPECT_NE(r.out.find("\n HILL  \tXY      \t1998/01/01 00:00:00"), std::string::npos) << alias << r.out;
        }
        r = harness::run("Quorvex", {"HILL.XY"}, {{"RESPONSE_DB", "new4.db\" timeout=\""}}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("a SQLite file name may not hold a double quote"), std::string::npos) << r.out;
        EXPECT_FALSE(std::filesystem::exists(dir / "new4.db"));

        // A writer holding the file is waited for.
        r = shell(*db,
                  "python3 -c 'import sqlite3, sys, time; c = sqlite3.connect(sys.argv[1], isolation_level=None); "
                  "c.execute(\"BEGIN EXCLUSIVE\"); print(\"locked\", flush=True); time.sleep(1.5); "
                  "c.execute(\"COMMIT\")' \"$RESPONSE_DB\" & sleep 0.5; \"$0\" \"$@\"; echo \"status $?\"; wait",
                  "Quorvex", {"HILL.XY"});
        EXPECT_NE(r.out.find("locked\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\n HILL  \tXY      \t1998/01/01 00:00:00"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("status 1\n"), std::string::npos) << r.out;
    }

    // A server that accepts the connection and never answers.
    auto started = std::chrono::steady_clock::now();
    r = shell(*db,
              "python3 -c 'import socket, time; s = socket.socket(); s.bind((\"127.0.0.1\", 0)); s.listen(); "
              "print(s.getsockname()[1], flush=True); c = s.accept(); time.sleep(30)' >\"$DATA_ROOT.port\" 2>&1 & "
              "server=$!; while [ ! -s \"$DATA_ROOT.port\" ]; do sleep 0.05; done; "
              "RESPONSE_DB=\"postgresql://127.0.0.1:$(cat \"$DATA_ROOT.port\")/x?connect_timeout=2\" \"$0\" \"$@\"; "
              "status=$?; kill $server; echo \"status $status\"",
              "Quorvex", {"HILL.XY"});
    EXPECT_NE(r.out.find("ORACLE error detected:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("status 1\n"), std::string::npos) << r.out;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

    // A polynomial key at the top of the integers: no overflow on the way to
    // a lookup key that no field holds.
    auto polynomial = database("UPDATE PN SET key = 2147483647; UPDATE PN_Data SET key = 2147483647; "
                               "UPDATE Polynomial SET pn_key = 2147483647;");
    std::filesystem::remove_all(root());
    r = run(*polynomial, "Quorvex", hill_2004, {{"USE_ABPOLY", ""}});
    expect_refused(r,
                   "Blockette 42 field 3 (response lookup key) of polynomial key 2147483647: \"2147483647\" is "
                   "wider than its 4 characters.\n\n",
                   "polynomial key");
}

}  // namespace
