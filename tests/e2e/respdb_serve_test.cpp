// respdb serve end to end, on the backend of the pass, through a client of
// its own (respdb_serve_client.py, urllib): every parameter by both names,
// each level and format against respdb export, POST, 204/404/400/413, the
// WADL, a slow client cut off while others are served, SIGTERM with an
// answer in flight (status 0); the database gone and back (503, then
// answers); a bounded fuzz of query strings; two instances behind nginx
// give the answers of one.
#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/support/harness.hpp"

extern char **environ;

namespace {

// The value after key (up to a blank) in text, or "".
std::string value_after(const std::string &text, const std::string &key)
{
    std::size_t at = text.find(key);
    if (at == std::string::npos) return "";
    at += key.size();
    return text.substr(at, text.find_first_of(" \n", at) - at);
}

// An access-log line: 'PEER - - [DATE] "METHOD TARGET HTTP/1.x" STATUS BYTES TIMEms'.
bool access_log_line(const std::string &line)
{
    if (line.rfind("127.0.0.1 - - [", 0) != 0) return false;
    std::size_t open = line.find("] \""), close = line.rfind('"');
    if (open == std::string::npos || close <= open + 2) return false;
    std::istringstream request(line.substr(open + 3, close - open - 3)), rest(line.substr(close + 1));
    std::string method, target, version, time;
    int status = 0;
    long bytes = -1;
    request >> method >> target >> version;
    rest >> status >> bytes >> time;
    return (method == "GET" || method == "POST" || method == "-") && (target[0] == '/' || target == "-") &&
           version.rfind("HTTP/1.", 0) == 0 && status >= 100 && status < 600 && bytes >= 0 && time.size() > 2 &&
           time.substr(time.size() - 2) == "ms";
}

const std::string client = std::string(READERS_DIR) + "/../e2e/respdb_serve_client.py";

// One respdb serve on a port of its choosing, stopped (SIGTERM) when the
// object goes unless the test stopped it.
class Service {
public:
    Service(const std::string &database, const std::string &log, std::vector<std::string> args) : log_(log)
    {
        std::vector<std::string> argv = {harness::tools_dir() + "/respdb", "serve", "--listen", "127.0.0.1:0"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = {"RESPONSE_DB=" + database, "SOURCE_DATE_EPOCH=1700000000",
                                        "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin")};
        std::vector<char *> a, e;
        for (auto &s : argv) a.push_back(s.data());
        for (auto &s : env) e.push_back(s.data());
        a.push_back(nullptr);
        e.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (log + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(posix_spawn(&pid_, a[0], &actions, nullptr, a.data(), e.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        for (int k = 0; k < 200 && port_.empty(); ++k) {
            std::string text = harness::read_file(log);
            if (text.find('\n') != std::string::npos) port_ = value_after(text, "listening on 127.0.0.1:");
            else std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_FALSE(port_.empty()) << harness::read_file(log + ".err");
    }
    ~Service()
    {
        if (pid_ > 0) stop();
    }
    std::string base() const { return "http://127.0.0.1:" + port_; }
    std::string port() const { return port_; }
    pid_t pid() const { return pid_; }
    // SIGTERM, and the exit status.
    int stop()
    {
        if (pid_ > 0) kill(pid_, SIGTERM);
        return wait();
    }
    // The exit status; a service still running after 30 s is killed (status 137).
    int wait()
    {
        int status = 0;
        for (int k = 0; k < 600 && waitpid(pid_, &status, WNOHANG) == 0; ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string log() const { return harness::read_file(log_); }

private:
    std::string log_;
    pid_t pid_ = -1;
    std::string port_;
};

harness::RunResult client_run(const std::vector<std::string> &args)
{
    return harness::run("/usr/bin/python3", [&] {
        std::vector<std::string> a = {client};
        a.insert(a.end(), args.begin(), args.end());
        return a;
    }(), {});
}

class RespdbServe : public ::testing::Test {
protected:
    harness::RunResult respdb_export(const harness::TestDatabase &db, std::vector<std::string> args)
    {
        args.insert(args.begin(), "export");
        return harness::run("respdb", args, {{"RESPONSE_DB", db.alias()}, {"SOURCE_DATE_EPOCH", "1700000000"}}, cwd.path());
    }
    harness::TempDir cwd;
};

// The client's checks against a service over the demo and copies of its
// station; its documents at level response are the export's.
TEST_F(RespdbServe, AnswersAsTheExportAndKeepsItsLimits)
{
    // One stage of ST2's BHE loaded later than everything else: updatedafter's case.
    harness::TestDatabase db({harness::demo_sql(), harness::demo_station_copies(3),
                              "UPDATE Sensitivity SET lddate = '2030/01/01 00:00:00' WHERE sta = 'ST2' AND seedchan = 'BHE';\n"});
    for (const auto &[name, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"all.xml", {}}, {"hill.xml", {"--station", "HILL"}}, {"st1-bhz.xml", {"--network", "XY", "--station", "ST1", "--channel", "BHZ"}}}) {
        std::vector<std::string> a = args;
        a.insert(a.end(), {"--stationxml", cwd / name, "-q"});
        auto r = respdb_export(db, a);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    Service limited(db.alias(), cwd / "limited.log", {"--max-channels", "20"});
    Service service(db.alias(), cwd / "serve.log", {"--threads", "2", "--timeout", "3", "--max-body", "1048576"});
    auto r = client_run({service.base(), "checks", cwd.path(), std::to_string(service.pid()), limited.base()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("ok"), std::string::npos) << r.out;
    // SIGTERM came with an answer in flight: it was finished, then status 0.
    EXPECT_EQ(service.wait(), 0) << harness::read_file(cwd / "serve.log.err");
    // One access-log line per request: method, target, status, bytes.
    int requests = 0;
    for (const std::string &l : harness::lines_of(service.log())) {
        if (l.rfind("respdb serve:", 0) == 0) continue;
        EXPECT_TRUE(access_log_line(l)) << l;
        ++requests;
    }
    EXPECT_GT(requests, 100);
    EXPECT_EQ(harness::read_file(cwd / "serve.log.err"), "");
}

// The database failing under a running service: 503 in the FDSN error
// form, then answers again once it is back, without a restart. SQLite: the
// file's bytes spoiled and put back; PostgreSQL: the test cluster stopped
// and started.
TEST_F(RespdbServe, DatabaseGoneAndBack)
{
    harness::TestDatabase db({harness::demo_sql()});
    Service service(db.alias(), cwd / "serve.log", {"--threads", "1"});
    const std::string path = "/fdsnws/station/1/query?sta=HILL";
    auto status = [&] {
        auto r = client_run({service.base(), "status", path});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    ASSERT_EQ(status(), "200\n");
    std::function<void()> back;
    if (harness::backend() == "sqlite") {
        const std::string bytes = harness::read_file(db.alias());
        harness::write_file(db.alias(), std::string(bytes.size(), 'x'));
        back = [&, bytes] {
            std::fstream f(db.alias(), std::ios::in | std::ios::out | std::ios::binary);
            f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        };
    } else {
        // RESPONSE_TEST_PG_ADMIN is "host=DIR port=PORT ...": the cluster's directory and port.
        const std::string admin = std::getenv("RESPONSE_TEST_PG_ADMIN");
        const std::string dir = value_after(admin, "host="), port = value_after(admin, "port=");
        ASSERT_FALSE(dir.empty() || port.empty()) << admin;
        const std::string owner = getuid() == 0 ? "runuser -u postgres -- " : "";
        const std::string pg_ctl = owner + "$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)/pg_ctl -D " + dir + "/data";
        ASSERT_EQ(std::system((pg_ctl + " -m fast -w stop >/dev/null").c_str()), 0);
        back = [pg_ctl, dir, port] {
            std::string start = pg_ctl + " -l " + dir + "/server.log -w -o \"-p " + port + " -k " + dir +
                                " -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200\" start >/dev/null";
            ASSERT_EQ(std::system(start.c_str()), 0);
        };
    }
    EXPECT_EQ(status(), "503\n");
    EXPECT_EQ(status(), "503\n") << "still down";
    back();
    EXPECT_EQ(status(), "200\n") << "answers again once the database is back";
    EXPECT_EQ(service.stop(), 0);
    EXPECT_NE(service.log().find("\" 503 "), std::string::npos);
}
TEST_F(RespdbServe, FuzzedQueriesEachGetAStatus)
{
    harness::TestDatabase db({harness::demo_sql()});
    Service service(db.alias(), cwd / "serve.log", {"--threads", "2"});
    auto r = client_run({service.base(), "fuzz", "300", "26"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(client_run({service.base(), "status", "/fdsnws/station/1/version"}).out, "200\n");
    EXPECT_EQ(service.stop(), 0);
    EXPECT_EQ(harness::read_file(cwd / "serve.log.err"), "") << "the sanitizers' reports";
}

// Two instances behind nginx on 127.0.0.1 answer as one: the service keeps
// no state between requests.
TEST_F(RespdbServe, TwoInstancesBehindNginx)
{
    const char *nginx = "/usr/sbin/nginx";
    if (access(nginx, X_OK) != 0) GTEST_SKIP() << "nginx is not installed (apt-get install nginx-light)";
    harness::TestDatabase db({harness::demo_sql(), harness::demo_station_copies(2)});
    Service one(db.alias(), cwd / "one.log", {}), two(db.alias(), cwd / "two.log", {});
    // A port for nginx: one the kernel gives, released just before.
    Service probe(db.alias(), cwd / "probe.log", {});
    const std::string port = probe.port();
    probe.stop();
    harness::write_file(cwd / "nginx.conf",
                        "daemon off;\nerror_log " + cwd / "nginx-error.log" + ";\npid " + cwd / "nginx.pid" +
                            ";\nevents {}\nhttp {\n  access_log off;\n  client_body_temp_path " + cwd.path() +
                            ";\n  proxy_temp_path " + cwd.path() + ";\n  fastcgi_temp_path " + cwd.path() +
                            ";\n  uwsgi_temp_path " + cwd.path() + ";\n  scgi_temp_path " + cwd.path() +
                            ";\n  upstream fdsnws { server 127.0.0.1:" + one.port() + "; server 127.0.0.1:" + two.port() +
                            "; keepalive 8; }\n  server {\n    listen 127.0.0.1:" + port +
                            ";\n    location /fdsnws/ { proxy_pass http://fdsnws; proxy_http_version 1.1; "
                            "proxy_set_header Connection \"\"; proxy_buffering off; }\n  }\n}\n");
    pid_t pid = -1;
    std::string conf = cwd / "nginx.conf";
    std::vector<char *> argv = {const_cast<char *>(nginx), const_cast<char *>("-c"), conf.data(), const_cast<char *>("-p"),
                                const_cast<char *>(cwd.path().c_str()), nullptr};
    ASSERT_EQ(posix_spawn(&pid, nginx, nullptr, nullptr, argv.data(), environ), 0);
    // nginx stops with the test, whichever way it ends.
    std::unique_ptr<pid_t, void (*)(pid_t *)> stop_nginx(&pid, [](pid_t *p) {
        kill(*p, SIGTERM);
        waitpid(*p, nullptr, 0);
    });
    const std::string front = "http://127.0.0.1:" + port;
    std::string up;
    for (int k = 0; k < 100 && up != "200\n"; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        up = client_run({front, "status", "/fdsnws/station/1/version"}).out;
    }
    ASSERT_EQ(up, "200\n") << harness::read_file(cwd / "nginx-error.log");
    auto r = client_run({front, "same", one.base(), "8"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // Both instances answered some of them.
    for (const Service *s : {&one, &two}) EXPECT_NE(s->log().find("\"GET /fdsnws/station/1/query"), std::string::npos);
}

}  // namespace
