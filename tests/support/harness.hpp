// End-to-end test harness: databases built from the schema plus SQL
// fixtures, programs run with a chosen environment, header trees read back.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace harness {

// A directory removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &text);
bool file_exists(const std::string &path);

// Text of tests/fixtures/NAME.
std::string fixture(const std::string &name);

// The demo database's rows: every demo/*.sql in name order.
std::string demo_sql();

// SQL that copies the demo station HILL, with every row of its epochs,
// channels and stages, as stations ST1 to STn.
std::string demo_station_copies(int n);

// A test database made from the schema and the given SQL scripts (texts).
// The backend is SQLite unless RESPONSE_TEST_BACKEND says otherwise; alias()
// is what RESPONSE_DB must be set to.
class TestDatabase {
public:
    explicit TestDatabase(const std::vector<std::string> &scripts);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;
    const std::string &alias() const { return alias_; }

private:
    void load(const std::vector<std::string> &scripts);
    void drop_postgresql();
    TempDir dir_;
    std::string alias_;
    std::string pg_name_;  // the test's own database on PostgreSQL
    std::string admin_;
};

// "sqlite" or "postgresql": RESPONSE_TEST_BACKEND, default sqlite.
std::string backend();

struct RunResult {
    std::string out;  // standard output
    std::string err;  // standard error
    int status = -1;  // exit status, or 128 + signal
};

using Env = std::map<std::string, std::string>;

// Runs build/bin/PROGRAM (or PROGRAM itself, an absolute path) with args in cwd. The environment is the test's own
// without the tools' variables (RESPONSE_DB, DATA_ROOT, USE_LOOKUP,
// USE_ABPOLY, RESPONSE_TOOLS_DIR), plus env.
RunResult run(const std::string &program, const std::vector<std::string> &args, const Env &env,
              const std::string &cwd = ".");

std::string tools_dir();

// A stand-in child program for the drivers' tests (a shell script): prints
// its argument count and arguments; exits 3 when an argument equals
// FAKE_FAIL, kills itself when one equals FAKE_KILL, and writes 1 MiB to
// standard error when one equals FAKE_FLOOD.
extern const char *const echo_tool;

// Every regular file below root: relative path -> content.
std::map<std::string, std::string> read_tree(const std::string &root);

// Lines of a text, without their newlines, in order.
std::vector<std::string> lines_of(const std::string &text);

// Lines of a text, sorted: for files whose rows come in no fixed order.
std::vector<std::string> sorted_lines(const std::string &text);

}  // namespace harness
