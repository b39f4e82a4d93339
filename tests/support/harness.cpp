#include "tests/support/harness.hpp"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace fs = std::filesystem;

namespace harness {

TempDir::TempDir()
{
    std::string tmpl = (fs::temp_directory_path() / "rtools-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string &path) { return fs::exists(path); }

std::string fixture(const std::string &name) { return read_file(std::string(FIXTURE_DIR) + "/" + name); }

std::string demo_sql()
{
    std::vector<std::string> files;
    for (const auto &entry : fs::directory_iterator(DEMO_DIR))
        if (entry.path().extension() == ".sql") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    std::string sql;
    for (const auto &f : files) sql += read_file(f) + "\n";
    return sql;
}

std::string tools_dir() { return TOOLS_DIR; }

std::string demo_station_copies(int n)
{
    const char *tables[] = {"station_data", "channel_data", "Station_Comment", "Channel_Comment", "Poles_Zeros",
                            "Coefficients", "Decimation",   "Polynomial",      "Sensitivity"};
    std::string sql;
    for (int k = 1; k <= n; ++k) {
        for (const char *t : tables) {
            sql += std::string("CREATE TEMP TABLE copy AS SELECT * FROM ") + t + " WHERE sta = 'HILL';\n";
            sql += "UPDATE copy SET sta = 'ST" + std::to_string(k) + "';\n";
            sql += std::string("INSERT INTO ") + t + " SELECT * FROM copy;\n";
            sql += "DROP TABLE copy;\n";
        }
    }
    return sql;
}

const char *const echo_tool = R"(#!/bin/sh
printf '<%s' "$#"
for a in "$@"; do printf ' {%s}' "$a"; done
printf '>\n'
for a in "$@"; do
  [ -n "${FAKE_KILL:-}" ] && [ "$a" = "$FAKE_KILL" ] && kill -9 $$
  [ -n "${FAKE_FAIL:-}" ] && [ "$a" = "$FAKE_FAIL" ] && exit 3
  [ -n "${FAKE_FLOOD:-}" ] && [ "$a" = "$FAKE_FLOOD" ] && head -c 1048576 /dev/zero | tr '\0' e >&2
done
exit 0
)";

namespace {

void exec_sqlite(sqlite3 *db, const std::string &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        throw std::runtime_error("fixture SQL failed: " + msg);
    }
}

}  // namespace

std::string backend()
{
    const char *b = std::getenv("RESPONSE_TEST_BACKEND");
    return b && *b ? b : "sqlite";
}

namespace {

std::string env_or_throw(const char *name)
{
    const char *v = std::getenv(name);
    if (!v || !*v) throw std::runtime_error(std::string(name) + " is not set");
    return v;
}

void exec_postgresql(PGconn *conn, const std::string &sql)
{
    PGresult *r = PQexec(conn, sql.c_str());
    ExecStatusType st = PQresultStatus(r);
    std::string msg = PQresultErrorMessage(r);
    PQclear(r);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK && st != PGRES_EMPTY_QUERY)
        throw std::runtime_error("fixture SQL failed: " + msg);
}

PGconn *connect_postgresql(const std::string &conninfo)
{
    PGconn *conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string msg = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot connect to the test server: " + msg);
    }
    exec_postgresql(conn, "SET client_min_messages = warning");
    return conn;
}

}  // namespace

// On PostgreSQL every test database is a database of its own in the test
// cluster (RESPONSE_TEST_PG_ADMIN: the superuser's connection string;
// RESPONSE_TEST_PG_ADDRESS: HOST:PORT the tools connect to).
TestDatabase::TestDatabase(const std::vector<std::string> &scripts)
{
    // A fixture that does not load is a broken test, never a skipped one:
    // an exception here would let a suite's set-up skip its tests quietly.
    try {
        load(scripts);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "test database: %s\n", e.what());
        std::abort();
    }
}

void TestDatabase::load(const std::vector<std::string> &scripts)
{
    if (backend() == "postgresql") {
        static int counter = 0;
        pg_name_ = "rt_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
                   std::to_string(std::random_device{}() % 100000);
        admin_ = env_or_throw("RESPONSE_TEST_PG_ADMIN");
        PGconn *admin = connect_postgresql(admin_);
        try {
            exec_postgresql(admin, "CREATE DATABASE " + pg_name_);
        } catch (...) {
            PQfinish(admin);
            throw;
        }
        PQfinish(admin);
        PGconn *conn = connect_postgresql(admin_ + " dbname=" + pg_name_);
        try {
            exec_postgresql(conn, read_file(std::string(SCHEMA_DIR) + "/postgresql.sql"));
            exec_postgresql(conn, read_file(std::string(SCHEMA_DIR) + "/postgresql-account.sql"));
            for (const auto &s : scripts) exec_postgresql(conn, s);
        } catch (...) {
            PQfinish(conn);
            drop_postgresql();
            throw;
        }
        PQfinish(conn);
        alias_ = "postgresql://" + env_or_throw("RESPONSE_TEST_PG_ADDRESS") + "/" + pg_name_;
        return;
    }
    alias_ = dir_ / "response.db";
    sqlite3 *db = nullptr;
    if (sqlite3_open(alias_.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create test database");
    try {
        exec_sqlite(db, read_file(std::string(SCHEMA_DIR) + "/sqlite.sql"));
        for (const auto &s : scripts) exec_sqlite(db, s);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

void TestDatabase::drop_postgresql()
{
    if (pg_name_.empty()) return;
    PGconn *admin = PQconnectdb(admin_.c_str());
    if (PQstatus(admin) == CONNECTION_OK) {
        PGresult *r = PQexec(admin, ("DROP DATABASE IF EXISTS " + pg_name_ + " WITH (FORCE)").c_str());
        PQclear(r);
    }
    PQfinish(admin);
}

TestDatabase::~TestDatabase() { drop_postgresql(); }

namespace {

// Reads both pipes until both are closed, whichever the child fills first:
// a child that writes more than a pipe holds to one stream must not block
// while the other is read.
void drain_both(int out_fd, int err_fd, std::string &out, std::string &err)
{
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string *sinks[2] = {&out, &err};
    char buf[8192];
    int open_count = 2;
    while (open_count > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                fds[k].fd = -1;  // poll ignores it from now on
                --open_count;
                continue;
            }
            sinks[k]->append(buf, static_cast<std::size_t>(n));
        }
    }
}

}  // namespace

RunResult run(const std::string &program, const std::vector<std::string> &args, const Env &env,
              const std::string &cwd)
{
    static const char *const cleared[] = {"RESPONSE_DB", "DATA_ROOT", "USE_LOOKUP", "USE_ABPOLY",
                                          "RESPONSE_TOOLS_DIR"};
    std::vector<std::string> envv;
    for (char **e = environ; *e; ++e) {
        std::string var = *e;
        std::string name = var.substr(0, var.find('='));
        if (std::find(std::begin(cleared), std::end(cleared), name) != std::end(cleared)) continue;
        if (env.count(name)) continue;
        envv.push_back(var);
    }
    for (const auto &[k, v] : env) envv.push_back(k + "=" + v);

    std::string path = program.front() == '/' ? program : tools_dir() + "/" + program;
    std::vector<char *> argv{path.data()};
    std::vector<std::string> copies(args);
    for (auto &a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (auto &e : envv) envp.push_back(e.data());
    envp.push_back(nullptr);

    int out_pipe[2], err_pipe[2];
    // Close-on-exec, so that runs started from several threads at once do not
    // hold each other's pipes open.
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]);
        close(out_pipe[1]);
        close(err_pipe[0]);
        close(err_pipe[1]);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        execve(path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    RunResult r;
    drain_both(out_pipe[0], err_pipe[0], r.out, r.err);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

std::map<std::string, std::string> read_tree(const std::string &root)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        files[fs::relative(entry.path(), root).string()] = read_file(entry.path().string());
    }
    return files;
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> sorted_lines(const std::string &text)
{
    std::vector<std::string> lines = lines_of(text);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace harness
