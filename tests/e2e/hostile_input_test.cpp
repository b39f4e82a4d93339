// seedtree and stationxml2sql given what a hostile user would give them:
// texts made to break out of SQL or a gnuplot script, paths made to run a
// command, inputs made to take all memory and time, output names that
// point at devices, links, the tree itself or the input, values that are
// wrong, and names made to garble a terminal. Each case checks the status,
// a message that names the problem, and that the file system is as it was
// (or the output whole). Memory and time are limited per case, so that a
// regression fails instead of taking the machine.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::RunResult;

namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

#if defined(__SANITIZE_ADDRESS__)
// ASan reserves terabytes of address space and runs several times slower:
// no address-space limit, longer budgets.
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    std::size_t at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("no \"" + from + "\" to replace");
    return text.replace(at, from.size(), to);
}

// A blockette line with its length field set to its length.
std::string framed(std::string line)
{
    char length[8];
    std::snprintf(length, sizeof length, "%04zu", line.size());
    return line.replace(3, 4, length);
}

// Replaces from in a line of the file and frames that line again.
void edit(Tree &tree, const std::string &file, const std::string &from, const std::string &to)
{
    std::string &text = tree.at(file);
    std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << file << ": " << from;
    std::size_t begin = text.rfind('\n', at), end = text.find('\n', at);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::string line = text.substr(begin, end - begin);
    line.replace(at - begin, from.size(), to);
    text.replace(begin, end - begin, framed(line));
}

void write_tree(const std::string &root, const Tree &tree)
{
    fs::remove_all(root);
    fs::create_directories(root);
    for (const auto &[path, text] : tree) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        harness::write_file(root + "/" + path, text);
    }
}

// Every entry below dir with its content ("->target" for a link, "fifo").
std::map<std::string, std::string> snapshot(const std::string &dir)
{
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        std::string name = fs::relative(it->path(), dir).string();
        fs::file_status st = it->symlink_status();
        if (fs::is_symlink(st)) out[name] = "->" + fs::read_symlink(it->path()).string();
        else if (fs::is_fifo(st)) out[name] = "fifo";
        else if (fs::is_regular_file(st)) out[name] = harness::read_file(it->path().string());
        else out[name] = "directory";
        if (fs::is_symlink(st)) it.disable_recursion_pending();
    }
    return out;
}

std::size_t lines_of(const std::string &text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// The texts of an SVG's <text> elements, entities read back.
std::vector<std::string> svg_texts(const std::string &svg)
{
    static const std::map<std::string, char> named = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::vector<std::string> out;
    for (std::size_t at = svg.find("<text"); at != std::string::npos; at = svg.find("<text", at + 1)) {
        std::size_t from = svg.find('>', at) + 1;
        std::string raw = svg.substr(from, svg.find("</text>", from) - from), text;
        for (std::size_t k = 0; k < raw.size(); ++k) {
            std::size_t end = raw[k] == '&' ? raw.find(';', k) : k;
            text += end == k ? raw[k] : named.at(raw.substr(k + 1, end - k - 1));
            k = end;
        }
        out.push_back(text);
    }
    return out;
}

bool holds(const std::vector<std::string> &texts, const std::string &text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class Attack : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        harness::TestDatabase db({harness::demo_sql()});
        harness::TempDir d;
        for (auto [tree, env] : {std::pair{&plain, Env{}}, std::pair{&lookup, Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}}}) {
            env["RESPONSE_DB"] = db.alias();
            env["DATA_ROOT"] = d / "tree";
            fs::remove_all(d / "tree");
            auto r = harness::run("Quorvex", {"HILL.XY", "2004/01/01", "00:00:00", "a"}, env, d.path());
            ASSERT_EQ(r.status, 0) << r.out;
            *tree = new Tree(harness::read_tree(d / "tree"));
        }
    }
    static void TearDownTestSuite()
    {
        delete plain;
        delete lookup;
    }

    std::string root() const { return dir / "tree"; }
    std::string put(const Tree &tree)
    {
        write_tree(root(), tree);
        return root();
    }

    RunResult seedtree(const std::vector<std::string> &args)
    {
        return harness::run("seedtree", args, {{"SOURCE_DATE_EPOCH", "1700000000"}}, dir.path());
    }
    RunResult import(const std::vector<std::string> &args)
    {
        return harness::run("stationxml2sql", args, {{"SOURCE_DATE_EPOCH", "1700000000"}}, dir.path());
    }
    // A shell script in the test's directory; $BIN is build/bin.
    RunResult sh(const std::string &script, Env env = {})
    {
        env["BIN"] = harness::tools_dir();
        env["SOURCE_DATE_EPOCH"] = "1700000000";
        return harness::run("/bin/sh", {"-c", script}, env, dir.path());
    }

    // PROGRAM ARGS with at most megabytes of address space (not under ASan)
    // and seconds of time.
    RunResult limited(const std::string &program, const std::vector<std::string> &args, int megabytes, double seconds)
    {
        if (sanitized) seconds *= 6;
        std::string script = std::string(sanitized ? "" : "ulimit -v " + std::to_string(megabytes * 1024) + " && ") +
                             "exec timeout -s KILL " + std::to_string(static_cast<int>(seconds) + 1) +
                             " \"$BIN/" + program + "\" \"$@\"";
        std::vector<std::string> argv = {"-c", script, "sh"};
        argv.insert(argv.end(), args.begin(), args.end());
        auto begin = std::chrono::steady_clock::now();
        RunResult r = harness::run("/bin/sh", argv, {{"BIN", harness::tools_dir()}}, dir.path());
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(), seconds) << program;
        EXPECT_NE(r.status, 137) << program << " was killed: out of time";
        return r;
    }

    static Tree *plain, *lookup;
    harness::TempDir dir;
};
Tree *Attack::plain = nullptr;
Tree *Attack::lookup = nullptr;

// ---- 1. SQL that stays data on every server ---------------------------------

const char *const document_template = R"(<?xml version="1.0" encoding="UTF-8"?>
<FDSNStationXML xmlns="http://www.fdsn.org/xml/station/1" schemaVersion="1.2">
  <Source>test</Source>
  <Created>2024-01-01T00:00:00Z</Created>
  <Network code="XT">
    <Description>@NETWORK@</Description>
    <Station code="TEST" startDate="2020-01-01T00:00:00Z">
      <Latitude>10.5</Latitude>
      <Longitude>-20.25</Longitude>
      <Elevation>100</Elevation>
      <Site><Name>@SITE@</Name></Site>
      <Channel code="HHZ" locationCode="00" startDate="2020-01-01T00:00:00Z">
        <Description>@REMARK@</Description>
        <Comment><Value>@COMMENT@</Value></Comment>
        <Latitude>10.5</Latitude>
        <Longitude>-20.25</Longitude>
        <Elevation>100</Elevation>
        <Depth>0</Depth>
        <Azimuth>0</Azimuth>
        <Dip>-90</Dip>
        <SampleRate>100</SampleRate>
        <Sensor><Description>@SENSOR@</Description></Sensor>
        <Response>
          <Stage number="1">
            <Decimation>
              <InputSampleRate>100</InputSampleRate><Factor>1</Factor><Offset>0</Offset>
              <Delay>0</Delay><Correction>0</Correction>
            </Decimation>
            <StageGain><Value>1</Value><Frequency>1</Frequency></StageGain>
          </Stage>
        </Response>
      </Channel>
    </Station>
  </Network>
</FDSNStationXML>
)";

std::string xml_escaped(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : c == '\'' ? "&apos;"
                                                                                                   : std::string(1, c);
    return out;
}

std::string document(std::map<std::string, std::string> texts)
{
    std::string d = document_template;
    for (const char *key : {"NETWORK", "SITE", "REMARK", "COMMENT", "SENSOR"}) {
        std::string text = texts.count(key) ? texts[key] : std::string("plain ") + key;
        d = replaced(d, std::string("@") + key + "@", xml_escaped(text));
    }
    return d;
}

TEST_F(Attack, SqlTextsComeBackByteForByteOrAreRefused)
{
    const std::map<std::string, std::string> texts = {
        {"NETWORK", "it's ''quoted'' \"twice\"; --"},
        {"SITE", "'); DROP TABLE station_data; --"},
        {"REMARK", "$$ $q$ :x :'y' %s%n /*"},
        {"COMMENT", "';COMMIT;DROP TABLE pn_data;-- `touch PWNED` @x"},
        {"SENSOR", "\"; \"\"; ''' :ON_ERROR_STOP"},
    };
    harness::write_file(dir / "hostile.xml", document(texts));
    auto r = import({dir / "hostile.xml", "-o", dir / "hostile.sql"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::pair<const char *, const char *> queries[] = {
        {"NETWORK", "SELECT description FROM D_Abbreviation WHERE description LIKE 'it%'"},
        {"SITE", "SELECT staname FROM station_data"},
        {"REMARK", "SELECT remark FROM channel_data"},
        {"COMMENT", "SELECT description FROM D_Comment"},
        {"SENSOR", "SELECT description FROM D_Abbreviation WHERE description LIKE '\"%'"}};

    // The same file into every client and server setting: every text back.
    auto expect_texts_back = [&](const std::function<std::string(const std::string &)> &query, const std::string &how) {
        for (auto [key, q] : queries) EXPECT_EQ(query(q), texts.at(key) + "\n") << how << ": " << key;
        EXPECT_EQ(query("SELECT count(*) FROM pn_data"), "0\n") << how;
        EXPECT_FALSE(fs::exists(dir / "PWNED")) << how;
    };
    if (harness::backend() == "sqlite") {
        harness::TestDatabase db({});
        ASSERT_EQ(sh("sqlite3 -bail '" + db.alias() + "' < hostile.sql").status, 0);
        expect_texts_back(
            [&](const std::string &q) {
                harness::write_file(dir / "q.sql", q + ";\n");
                return sh("sqlite3 '" + db.alias() + "' < q.sql").out;
            },
            "sqlite3");
    } else {
        const char *admin = std::getenv("RESPONSE_TEST_PG_ADMIN");
        ASSERT_TRUE(admin);
        for (const char *setting : {"on", "off"}) {
            harness::TestDatabase db({});
            const std::string conninfo = std::string(admin) + " dbname=" + db.alias().substr(db.alias().rfind('/') + 1);
            auto psql = [&](const std::string &args) {
                return sh("psql -X -q -At -v ON_ERROR_STOP=1 -d \"$CONNINFO\" " + args,
                          {{"CONNINFO", conninfo}, {"PGOPTIONS", std::string("-c standard_conforming_strings=") + setting}});
            };
            ASSERT_EQ(psql("-c 'SHOW standard_conforming_strings'").out, std::string(setting) + "\n");
            auto load = psql("-f hostile.sql");
            ASSERT_EQ(load.status, 0) << setting << ": " << load.err;
            expect_texts_back(
                [&](const std::string &q) {
                    harness::write_file(dir / "q.sql", q + ";\n");
                    return psql("-f q.sql").out;
                },
                std::string("psql, standard_conforming_strings ") + setting);
        }
    }

    // A backslash would mean something else with standard_conforming_strings
    // off: refused, and nothing written.
    for (const std::string &text : {std::string("C:\\"), std::string("\\', 0); COMMIT; DROP TABLE pn_data; \\! touch X #"),
                                    std::string("a\\\\b"), std::string("\\x27")}) {
        SCOPED_TRACE(text);
        harness::write_file(dir / "out.sql", "left as it was");
        harness::write_file(dir / "bad.xml", document({{"SITE", text}}));
        auto bad = import({dir / "bad.xml", "-o", dir / "out.sql"});
        EXPECT_EQ(bad.status, 1);
        EXPECT_NE(bad.err.find("Site Name \"" + text.substr(0, 40)), std::string::npos) << bad.err;
        EXPECT_NE(bad.err.find("holds a \"\\\""), std::string::npos) << bad.err;
        EXPECT_EQ(harness::read_file(dir / "out.sql"), "left as it was");
        auto piped = import({dir / "bad.xml"});
        EXPECT_EQ(piped.status, 1);
        EXPECT_EQ(piped.out, "");
    }
}

// ---- 2. No command from a path, every text read back -------------------------

TEST_F(Attack, PathsNeverRunACommandAndEveryTextReadsBack)
{
    const std::string tree = put(*plain);
    fs::create_directory(dir / "out");
    const std::string png = dir / "out/bhz\n!touch PWNED\n.png", svg = dir / "out/bhz\n!touch PWNED\n.svg";
    for (const std::string &path : {png, svg}) {
        auto r = seedtree({"plot", tree, "--channel", "HILL.XY..BHZ", "-o", path});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(harness::read_file(path).substr(0, 4), path == png ? "\x89PNG" : "<?xm");
    }
    auto site = seedtree({"site", tree, "-o", dir / "s\n!touch PWNED\n#"});
    EXPECT_EQ(site.status, 0) << site.err;
    EXPECT_TRUE(fs::exists(dir / "s\n!touch PWNED\n#/index.html"));
    for (const std::string &d : {dir.path(), dir / "out"}) EXPECT_FALSE(fs::exists(d + "/PWNED")) << d;

    // Every printable character (but "~", which ends SEED texts) in a unit
    // name that the amplitude's label carries, quotes leading and doubled;
    // and a station code of the characters gnuplot and the shell treat
    // specially, in the title and the legend.
    std::string printable;
    for (char c = ' '; c < '~'; ++c) printable += c;
    std::vector<std::string> names = {"'", "''x", "CO''UNTS", "a'''", "`touch PWNED`"};
    for (std::size_t at = 0; at < printable.size(); at += 19) names.push_back(printable.substr(at, 19));
    names.push_back("'" + printable.substr(0, 18));
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        Tree t = *plain;
        edit(t, "H.A", "001COUNTS~", "001" + name + "~");
        put(t);
        auto r = seedtree({"plot", root(), "--channel", "HILL.XY..BHZ", "-o", dir / "units.svg"});
        ASSERT_EQ(r.status, 0) << r.err;
        auto texts = svg_texts(harness::read_file(dir / "units.svg"));
        EXPECT_TRUE(holds(texts, "Amplitude (" + name + "/(M/S))"));
    }
    // The station 'h"$\` (the --channel option takes its code as the tree
    // does), and the whole site drawn with such a unit.
    Tree odd;
    for (const auto &[path, text] : *plain)
        odd[path.rfind("HILL.XY/", 0) == 0 ? "'\"$\\`.XY/" + path.substr(8) : path] = text;
    edit(odd, "'\"$\\`.XY/B050", "0500116HILL ", "0500116'\"$\\`");
    edit(odd, "H.A", "001COUNTS~", "001CO''UNTS~");
    put(odd);
    auto r = seedtree({"plot", root(), "--channel", "'\"$\\`.XY..BHZ", "-o", dir / "odd.svg"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto texts = svg_texts(harness::read_file(dir / "odd.svg"));
    EXPECT_TRUE(holds(texts, "'\"$\\`.XY..BHZ 2003,182,00:00:00"));
    EXPECT_TRUE(holds(texts, "Response of '\"$\\`.XY..BHZ from 2003,182,00:00:00 to 2599,365,23:59:59"));
    auto whole = seedtree({"site", root(), "-o", dir / "odd-site"});
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_FALSE(fs::exists(dir / "PWNED"));
}

// ---- 3. Memory and time bounded by the input ---------------------------------

TEST_F(Attack, MemoryAndTimeFollowTheInput)
{
    // One blockette 60 of 9.9 KB naming the dictionary's FIR 2,376 times,
    // with the FIR a short one and a long one (143 blockettes 41, 1.4 MB).
    Tree refs = *lookup;
    std::string b060 = "060" "0000" "99";
    for (int stage = 1; stage <= 99; ++stage) {
        char head[8];
        std::snprintf(head, sizeof head, "%02d24", stage);
        b060 += head;
        for (int k = 0; k < 24; ++k) b060 += "0101";
    }
    std::string &bhz = refs.at("HILL.XY/BHZ./B052");
    bhz = bhz.substr(0, bhz.find('\n') + 1) + framed(b060) + "\n";
    Tree long_fir = refs;
    std::string &dictionary = long_fir.at("H.A");
    std::size_t fir = dictionary.find("04102430101"), end = dictionary.find('\n', fir);
    std::string coefficients;
    for (int k = 0; k < 700; ++k) coefficients += " 1.4285714E-03";
    std::string b041 = framed("0410000" + std::string("0101FIR_HILL_1~A0010010700") + coefficients), lines;
    for (int k = 0; k < 143; ++k) lines += b041 + "\n";
    dictionary.replace(fir, end + 1 - fir, lines);
    ASSERT_GT(dictionary.size(), 1400000u);
    for (const Tree *t : {&refs, &long_fir}) {
        put(*t);
        auto r = limited("seedtree", {"list", root()}, 300, 15);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("BHZ.  2003,182,00:00:00  2599,365,23:59:59  rate 2.0000E+01  stages 99"),
                  std::string::npos);
    }

    // A comment file grown to 1 GiB (sparse): refused at its first line.
    put(*plain);
    fs::resize_file(root() + "/HILL.XY/BHZ./B059", 1ull << 30);
    for (const char *command : {"list", "check"}) {
        auto r = limited("seedtree", {command, root()}, 200, 5);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "seedtree: " + root() + "/HILL.XY/BHZ./B059:2: longer than 9999 characters, which "
                                                         "no blockette line is\n");
    }
    // A tree file that is a FIFO nobody writes (or a link to one): refused,
    // never waited on.
    put(*plain);
    fs::remove(root() + "/HILL.XY/B051");
    ASSERT_EQ(::mkfifo((root() + "/HILL.XY/B051").c_str(), 0600), 0);
    fs::remove(root() + "/HILL.XY/LHZ.00/B059");
    fs::create_symlink(root() + "/HILL.XY/B051", root() + "/HILL.XY/LHZ.00/B059");
    auto fifo = limited("seedtree", {"list", root()}, 200, 5);
    EXPECT_EQ(fifo.status, 1);
    EXPECT_EQ(fifo.err, "seedtree: " + root() + "/HILL.XY/B051: not a regular file\n");

    // StationXML: an entity of 100 KB used 2,000 times, an external DTD,
    // and 40,000 attributes on one element.
    const std::string d = document({});
    std::string bomb = replaced(d, "<FDSNStationXML", "<!DOCTYPE FDSNStationXML [<!ENTITY e \"" + std::string(100000, 'x') +
                                                          "\">]>\n<FDSNStationXML");
    std::string uses;
    for (int k = 0; k < 2000; ++k) uses += "&e;";
    bomb = replaced(bomb, "plain SITE", uses);
    std::string attributes;
    for (int k = 0; k < 40000; ++k) attributes += " a" + std::to_string(k) + "=\"1\"";
    struct Case {
        const char *name;
        std::string document, message;
    } cases[] = {
        {"entities", bomb, ":2: has a DTD with declarations of its own: StationXML needs none, and entities declared "
                           "there are not expanded\n"},
        {"external DTD", replaced(d, "<FDSNStationXML", "<!DOCTYPE FDSNStationXML SYSTEM \"file:///etc/passwd\">\n<FDSNStationXML"),
         ":2: names an external DTD: StationXML needs none, and it is not read\n"},
        {"attributes", replaced(d, "<Source>", "<Source" + attributes + ">"),
         ":3: an element with more than 1000 attributes: no StationXML element carries so many\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        harness::write_file(dir / "attack.xml", c.document);
        auto r = limited("stationxml2sql", {dir / "attack.xml", "-o", dir / "attack.sql"}, 200, 5);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "stationxml2sql: " + (dir / "attack.xml") + c.message);
        EXPECT_FALSE(fs::exists(dir / "attack.sql"));
    }
}

// ---- 4. Output targets ----------------------------------------------------------

// Runs build/bin/PROGRAM, waits (spinning) until the directory holds a
// name that begins with prefix, and sends the signal: the status (128 +
// the signal when it ended by it), or -1 when it ended before.
int stopped_while_writing(const std::string &program, const std::vector<std::string> &args, const std::string &directory,
                          const std::string &prefix, int signal_number)
{
    std::string path = harness::tools_dir() + "/" + program;
    std::vector<char *> argv{path.data()};
    std::vector<std::string> copies(args);
    for (auto &a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        // A test started in the background may ignore SIGINT, and an ignored
        // signal stays ignored in the program (as nohup wants).
        for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, SIG_DFL);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    bool seen = false;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !seen && std::chrono::steady_clock::now() < deadline;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return -1;
        std::error_code ec;
        for (fs::directory_iterator it(directory, ec), end; !ec && it != end && !seen; it.increment(ec))
            seen = it->path().filename().string().rfind(prefix, 0) == 0;
    }
    ::kill(pid, seen ? signal_number : SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

TEST_F(Attack, OutputsNeverReplaceWhatTheyShouldNot)
{
    const std::string tree = put(*plain);
    ASSERT_EQ(seedtree({"volume", tree, "-o", dir / "volume.seed"}).status, 0);
    ASSERT_EQ(seedtree({"stationxml", tree, "-o", dir / "stations.xml"}).status, 0);
    const std::string volume = harness::read_file(dir / "volume.seed");

    // A FIFO and a device are written into, never replaced; a link keeps
    // pointing at the file, which gets the output.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    auto fifo = sh("cat fifo > got & \"$BIN/seedtree\" volume tree -o fifo; s=$?; wait; exit $s");
    EXPECT_EQ(fifo.status, 0) << fifo.err;
    EXPECT_TRUE(harness::read_file(dir / "got") == volume);
    auto fifo_sql = sh("cat fifo > got.sql & \"$BIN/stationxml2sql\" stations.xml -o fifo; s=$?; wait; exit $s");
    EXPECT_EQ(fifo_sql.status, 0) << fifo_sql.err;
    EXPECT_NE(harness::read_file(dir / "got.sql").find("COMMIT;\n"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    fs::create_symlink("/dev/null", dir / "null");
    harness::write_file(dir / "real.seed", "old");
    fs::create_symlink("real.seed", dir / "link.seed");
    for (const std::string &target : {dir / "null", dir / "link.seed"}) {
        EXPECT_EQ(seedtree({"volume", tree, "-o", target}).status, 0) << target;
        EXPECT_EQ(import({dir / "stations.xml", "-o", target}).status, 0) << target;
        EXPECT_EQ(seedtree({"volume", tree, "-o", target}).status, 0) << target;
        EXPECT_TRUE(fs::is_symlink(dir / fs::path(target).filename().string())) << target;
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(harness::read_file(dir / "real.seed") == volume);

    // Inside the tree, or over an input: a usage error, and all as it was.
    const auto before = snapshot(dir.path());
    const std::vector<std::vector<std::string>> conflicts = {
        {"volume", tree, "-o", tree + "/H.A"},
        {"stationxml", tree, "-o", tree + "/HILL.XY/new.xml"},
        {"plot", tree, "-o", tree + "/bhz.png"},
        {"resp", tree, "-o", tree + "/resp"},
    };
    for (const auto &args : conflicts) {
        auto r = seedtree(args);
        EXPECT_EQ(r.status, 2) << args[0] << ": " << r.err;
        EXPECT_NE(r.err.find("lies inside the header tree " + tree), std::string::npos) << r.err;
    }
    for (const auto &args : std::vector<std::vector<std::string>>{{dir / "stations.xml", "-o", dir / "stations.xml"},
                                                                  {"volume.seed", "--schema", "stations.xml", "-o", "stations.xml"}}) {
        auto r = import(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("is an input of this run"), std::string::npos) << r.err;
    }
    EXPECT_EQ(snapshot(dir.path()), before);
    fs::create_directory(dir / "out");
    auto directory = seedtree({"volume", tree, "-o", dir / "out"});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err, "seedtree: " + (dir / "out") + ": cannot put the file in place: Is a directory\n");

    // A signal while the output is being written leaves no temporary file
    // and the target as it was. A network of 300 stations keeps each run
    // busy long enough to be caught at it; a run that finishes first is
    // tried again.
    Tree big;
    for (const auto &[path, text] : *plain) {
        if (path.rfind("HILL.XY/", 0) != 0) {
            big[path] = text;
            continue;
        }
        for (int k = 0; k < 300; ++k) {
            char code[8];
            std::snprintf(code, sizeof code, "S%04d", k);
            std::string file = std::string(code) + ".XY/" + path.substr(8);
            big[file] = path == "HILL.XY/B050" ? replaced(text, "HILL ", code) : text;
        }
    }
    put(big);
    ASSERT_EQ(seedtree({"stationxml", root(), "-o", dir / "big.xml"}).status, 0);
    fs::create_directory(dir / "o");
    harness::write_file(dir / "o/old", "old");
    struct Run {
        const char *program;
        std::vector<std::string> args;
        const char *prefix;
    } runs[] = {
        {"seedtree", {"volume", root(), "-o", dir / "o/old"}, ".old."},
        {"seedtree", {"stationxml", root(), "-o", dir / "o/old"}, ".old."},
        {"seedtree", {"plot", root(), "--channel", "S0001.XY..BHZ", "-o", dir / "o/old.png"}, ".old.png."},
        {"seedtree", {"resp", root(), "-o", dir / "o"}, ".resp."},
        {"seedtree", {"site", root(), "-o", dir / "o/site", "--no-plots"}, ".site."},
        {"stationxml2sql", {dir / "big.xml", "-o", dir / "o/old"}, ".old."},
    };
    const auto outputs = snapshot(dir / "o");
    int signals[] = {SIGTERM, SIGINT, SIGHUP};
    for (std::size_t i = 0; i < std::size(runs); ++i) {
        SCOPED_TRACE(std::string(runs[i].program) + " " + runs[i].args[0]);
        // Caught: ended by the signal with the directory as it was. Done
        // before the signal came, or the signal came between putting the
        // output in place and the exit (a loaded machine's window): its
        // output goes and it runs again; a program that replaces the output
        // on every signal fails all five.
        int status = -1;
        bool caught = false, replaced = false;
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            status = stopped_while_writing(runs[i].program, runs[i].args, dir / "o", runs[i].prefix, signals[i % 3]);
            replaced = snapshot(dir / "o") != outputs;
            caught = status == 128 + signals[i % 3] && !replaced;
            if (!caught) {
                fs::remove_all(dir / "o");
                fs::create_directory(dir / "o");
                harness::write_file(dir / "o/old", "old");
            }
        }
        EXPECT_TRUE(caught) << (replaced && status == 128 + signals[i % 3] ? "the output changed on the signal"
                                                                            : "never caught writing")
                            << ", status " << status;
    }

    // An old site with anything in it that a site does not write is left
    // alone; as it was written, it is replaced.
    put(*plain);
    ASSERT_EQ(seedtree({"site", root(), "-o", dir / "site", "--no-plots"}).status, 0);
    for (const char *foreign : {"notes.txt", "HILL.XY/notes.txt", "resp/notes.txt", ".git"}) {
        harness::write_file(dir / ("site/" + std::string(foreign)), "mine");
        const auto site = snapshot(dir / "site");
        auto r = seedtree({"site", root(), "-o", dir / "site", "--no-plots"});
        EXPECT_EQ(r.status, 1) << foreign;
        EXPECT_NE(r.err.find("holds " + std::string(foreign) + ", which seedtree site does not write"), std::string::npos)
            << r.err;
        EXPECT_EQ(snapshot(dir / "site"), site) << foreign;
        fs::remove(dir / ("site/" + std::string(foreign)));
    }
    EXPECT_EQ(seedtree({"site", root(), "-o", dir / "site", "--no-plots"}).status, 0);

    // RESP files on a full disk (a file size limit): nothing new is left,
    // old files are kept.
    for (const std::string &target : {dir / "new-resp", dir / "o"}) {
        const auto was = fs::exists(target) ? snapshot(target) : std::map<std::string, std::string>{};
        auto r = sh("trap '' XFSZ; ulimit -f 8 && exec \"$BIN/seedtree\" resp tree -o '" + target + "'");
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        if (was.empty()) EXPECT_FALSE(fs::exists(target));
        else EXPECT_EQ(snapshot(target), was);
    }
}

// ---- 5. Values that are wrong are never written with status 0 ------------------

TEST_F(Attack, WrongValuesAreRefusedOrReported)
{
    struct Case {
        const char *name;
        std::function<void(Tree &)> change;
        std::vector<std::string> command;  // the tree is the argument after the subcommand
        std::string message;               // after "seedtree: ROOT/"
        std::string volume_message = "";   // also refused by volume: its message
    };
    const std::string channel_end = "CG~2003,182,00:00:00~2599,365,23:59:59~";
    const std::string backwards = "the channel epoch ends (2002,001,00:00:00) before it begins (2003,182,00:00:00)";
    // 150 polynomial coefficients: scaled by the digitizer's gain to the
    // power of 149 they overflow (a gain of 1e-3) or underflow (4.19430E+05).
    std::string b062 = "0620000P01004003MB 0.00000E+00 5.00000E-01 8.00000E+04 1.10000E+05 5.00000E-01150";
    for (int k = 0; k < 150; ++k) b062 += " 1.00000E+00 0.00000E+00";
    auto long_polynomial = [b062](Tree &t) {
        std::string &ldo = t.at("HILL.XY/LDO./B052");
        std::size_t at = ldo.find("\n062"), end = ldo.find('\n', at + 1);
        ldo.replace(at + 1, end - at - 1, framed(b062));
    };
    const Case cases[] = {
        {"channel epoch backwards", [&](Tree &t) { edit(t, "HILL.XY/BHZ./B052", channel_end, "CG~2003,182,00:00:00~2002,001,00:00:00~"); },
         {"stationxml"}, "HILL.XY/BHZ./B052:1: B052 field 23 (end date): " + backwards,
         "HILL.XY/BHZ./B052:1: B052 field 23 (end date): " + backwards},
        {"station epoch backwards", [](Tree &t) { edit(t, "HILL.XY/B050", "2003,182,00:00:00~2599,365,23:59:59~NXY", "2003,182,00:00:00~2002,001,00:00:00~NXY"); },
         {"stationxml"}, "HILL.XY/B050:1: B050 field 14 (end effective date): the station epoch ends "
                         "(2002,001,00:00:00) before it begins (2003,182,00:00:00)",
         "HILL.XY/B050:1: B050 field 14 (end effective date): the station epoch ends "
         "(2002,001,00:00:00) before it begins (2003,182,00:00:00)"},
        {"negative rate", [](Tree &t) { edit(t, "HILL.XY/BHZ./B052", "2.0000E+01", "-2.000E+01"); }, {"stationxml"},
         "HILL.XY/BHZ./B052:1: B052 field 18 (sample rate): the sample rate -2.000E+01 is negative; StationXML's "
         "SampleRate is 0 or more",
         "HILL.XY/BHZ./B052:1: B052 field 18 (sample rate): the sample rate -2.000E+01 is negative"},
        {"polynomial overflows", [&](Tree &t) { long_polynomial(t); edit(t, "HILL.XY/LDO./B052", " 4.19430E+05", " 1.00000E-03"); },
         {"stationxml"}, "HILL.XY/LDO./B052:2: B062 field 15 (polynomial coefficient): coefficient 103 / 0.001^103 is INF: "
                         "the document cannot hold it"},
        {"polynomial underflows", long_polynomial, {"stationxml"},
         "HILL.XY/LDO./B052:2: B062 field 15 (polynomial coefficient): coefficient 55 / 419430^55 is 0 (it underflows): "
         "the document cannot hold it"},
        {"gains beyond a double", [](Tree &t) {
             edit(t, "HILL.XY/BHZ./B052", "058003501 1.50000E+03", "058003501 1.0000E+300");
             edit(t, "HILL.XY/BHZ./B052", "058003502 4.19430E+05", "058003502 1.0000E+300");
         }, {"plot", "--channel", "HILL.XY..BHZ", "-o", "out.png"},
         "HILL.XY/BHZ./B052:1: the product of the stages at 1.000000000e-03 Hz is not a finite number"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Tree t = *plain;
        c.change(t);
        put(t);
        std::vector<std::string> args = {c.command.front(), root()};
        args.insert(args.end(), c.command.begin() + 1, c.command.end());
        auto r = seedtree(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "seedtree: " + root() + "/" + c.message + "\n");
        if (!c.volume_message.empty()) {
            auto v = seedtree({"volume", root(), "-o", dir / "out"});
            EXPECT_EQ(v.status, 1);
            EXPECT_EQ(v.err, "seedtree: " + root() + "/" + c.volume_message + "\n");
        }
        EXPECT_FALSE(fs::exists(dir / "out") || fs::exists(dir / "out.png"));
    }
    // check reports the epochs; response says it cannot evaluate.
    Tree t = *plain;
    edit(t, "HILL.XY/BHZ./B052", channel_end, "CG~2003,182,00:00:00~2002,001,00:00:00~");
    edit(t, "HILL.XY/B050", "2003,182,00:00:00~2599,365,23:59:59~NXY", "2003,182,00:00:00~2002,001,00:00:00~NXY");
    edit(t, "HILL.XY/BHN./B052", "058003501 1.50000E+03", "058003501 1.0000E+300");
    edit(t, "HILL.XY/BHN./B052", "058003502 4.19430E+05", "058003502 1.0000E+300");
    put(t);
    auto check = seedtree({"check", root()});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("error epoch-order HILL.XY 2003,182,00:00:00: the station epoch ends (2002,001,00:00:00) "
                             "before it begins (2003,182,00:00:00) [HILL.XY/B050:1]\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("error epoch-order HILL.XY..BHZ 2003,182,00:00:00: " + backwards + " [HILL.XY/BHZ./B052:1]\n"),
              std::string::npos) << check.out;
    auto response = seedtree({"response", root(), "--channel", "HILL.XY..BHN", "--points", "3"});
    EXPECT_EQ(response.status, 1);
    EXPECT_NE(response.out.find("# cannot evaluate: " + root() + "/HILL.XY/BHN./B052:1: the product of the stages at "
                                "1.000000000e-03 Hz is not a finite number\n"), std::string::npos) << response.out;
    EXPECT_EQ(response.out.find("nan"), std::string::npos);

    // Numbers of a document that are out of range or not what their digits
    // say, and entity references that would vanish.
    const std::string d = document({});
    struct Import {
        const char *name;
        std::string document, message;
    } imports[] = {
        {"5,000 digits", replaced(d, "<Latitude>10.5", "<Latitude>" + std::string(5000, '1')),
         ":8: Latitude \"1111111111111111111111111111111111111111...\" (5000 characters) is beyond the range of a double"},
        {"tiny", replaced(d, "<Depth>0", "<Depth>1e-400"), ":18: Depth \"1e-400\" is beyond the range of a double"},
        {"latitude", replaced(d, "<Latitude>10.5", "<Latitude>999"),
         ":7: station XT.TEST from 2020/01/01 00:00:00: Latitude 999 is outside -90 to under 90"},
        {"longitude", replaced(d, "<Longitude>-20.25</Longitude>\n        <Elevation>", "<Longitude>181</Longitude>\n        <Elevation>"),
         ":12: channel XT.TEST.00.HHZ from 2020/01/01 00:00:00: Longitude 181 is outside -180 to 180"},
        {"azimuth", replaced(d, "<Azimuth>0", "<Azimuth>360"),
         ":12: channel XT.TEST.00.HHZ from 2020/01/01 00:00:00: Azimuth 360 is outside 0 to under 360"},
        {"dip", replaced(d, "<Dip>-90", "<Dip>-90.5"),
         ":12: channel XT.TEST.00.HHZ from 2020/01/01 00:00:00: Dip -90.5 is outside -90 to 90"},
        {"factor", replaced(d, "<Factor>1", "<Factor>-1"),
         ":24: channel XT.TEST.00.HHZ from 2020/01/01 00:00:00, stage 1: Decimation Factor -1 is less than 1"},
        {"offset", replaced(d, "<Offset>0", "<Offset>-1"),
         ":24: channel XT.TEST.00.HHZ from 2020/01/01 00:00:00, stage 1: Decimation Offset -1 is less than 0"},
        {"entity", replaced(d, "plain SITE", "A&x;B"), ":11: not well-formed XML: Entity 'x' not defined"},
        {"entity and DTD", replaced(replaced(d, "plain SITE", "A&x;B"), "<FDSNStationXML", "<!DOCTYPE x SYSTEM \"x.dtd\">\n<FDSNStationXML"),
         ":2: names an external DTD: StationXML needs none, and it is not read"},
    };
    for (const Import &c : imports) {
        SCOPED_TRACE(c.name);
        harness::write_file(dir / "in.xml", c.document);
        auto r = import({dir / "in.xml", "-o", dir / "out.sql", "--skip-unsupported"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "stationxml2sql: " + (dir / "in.xml") + c.message + "\n");
        EXPECT_FALSE(fs::exists(dir / "out.sql"));
    }
}

// ---- 6. Messages a terminal can show ---------------------------------------------

TEST_F(Attack, MessagesAreOneLineATerminalShows)
{
    // A name with escape sequences and a newline, and a value of 3,000
    // characters: shown escaped, cut, on one line.
    const std::string name = dir / "\x1b[2J\a\nroot\x9b";
    put(*plain);
    for (const auto &r : {seedtree({"list", name}), import({name}), seedtree({"volume", root(), "-o", name + "/x"})}) {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(lines_of(r.err), 1u) << r.err;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("\\x1b[2J\\x07\\x0aroot\\x9b"), std::string::npos) << r.err;
    }
    Tree t = *plain;
    edit(t, "HILL.XY/BHZ./B052", "CG~2003,182,00:00:00~", "CG~" + std::string(3000, '9') + "~");
    put(t);
    auto long_value = seedtree({"list", root()});
    EXPECT_EQ(long_value.err, "seedtree: " + root() + "/HILL.XY/BHZ./B052:1: B052 field 22 (start date): \"" +
                                  std::string(40, '9') + "...\" (3000 characters) is not a time YYYY,DDD,HH:MM:SS\n");
    harness::write_file(dir / "long.xml", document({{"SITE", std::string(5000, 'x')}}));
    auto long_site = import({dir / "long.xml"});
    EXPECT_EQ(long_site.status, 1);
    EXPECT_LT(long_site.err.size(), 300u) << long_site.err;

    // A document through a pipe or /dev/stdin is read once, into a
    // temporary file; an empty one is named as such; a stage number may
    // have a "+".
    const std::string d = document({});
    harness::write_file(dir / "d.xml", d);
    harness::write_file(dir / "plus.xml", replaced(d, "<Stage number=\"1\">", "<Stage number=\"+1\">"));
    ASSERT_EQ(import({dir / "d.xml", "-o", dir / "d.sql"}).status, 0);
    const std::string sql = harness::read_file(dir / "d.sql");
    EXPECT_EQ(sh("cat d.xml | \"$BIN/stationxml2sql\" /dev/stdin").out, sql);
    EXPECT_EQ(sh("mkfifo in.fifo && { cat d.xml > in.fifo & } && \"$BIN/stationxml2sql\" in.fifo").out, sql);
    EXPECT_EQ(import({dir / "plus.xml"}).out, sql);
    harness::write_file(dir / "empty.xml", "");
    for (const auto &r : {import({dir / "empty.xml"}), sh(": | \"$BIN/stationxml2sql\" /dev/stdin")}) {
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(": the file is empty: not FDSN StationXML\n"), std::string::npos) << r.err;
    }

    // Every code the tree's reader takes, --channel and --station take.
    Tree odd;
    for (const auto &[path, text] : *plain) {
        std::string p = path.rfind("HILL.XY/", 0) == 0 ? "H-L_.XY/" + path.substr(8) : path;
        if (p.rfind("H-L_.XY/BHZ./", 0) == 0) p = "H-L_.XY/B:Z.a./" + p.substr(13);
        odd[p] = text;
    }
    edit(odd, "H-L_.XY/B050", "0500116HILL ", "0500116H-L_ ");
    edit(odd, "H-L_.XY/B:Z.a./B052", "0520139  BHZ", "0520139a.B:Z");
    put(odd);
    auto response = seedtree({"response", root(), "--channel", "h-l_.xy.a..b:z", "--points", "2"});
    EXPECT_EQ(response.status, 0) << response.err;
    EXPECT_EQ(response.out.rfind("# H-L_.XY.a..B:Z 2003,182,00:00:00 2599,365,23:59:59 COUNTS/(M/S)", 0), 0u) << response.out;
    EXPECT_EQ(seedtree({"volume", root(), "--station", "H-L_.XY", "-o", dir / "odd.seed"}).status, 0);
    EXPECT_EQ(seedtree({"response", root(), "--channel", "H~L.XY..BHZ"}).status, 2);
}

}  // namespace
