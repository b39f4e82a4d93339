// Cost of one small generator statement through the database layer.
//
// Builds a SQLite database of about 9 MB (channels with stage rows, long
// coefficient sets), then times single statements of the kinds the
// generator runs one per coefficient, stage and table, and prints the
// median and 90th percentile per kind.
//
// On PostgreSQL it also times the floor of the coefficient row: the same
// statement prepared once and run with libpq alone, on a connection of its
// own to the same server.
//
// Usage: bench_statement_rate [STATEMENTS_PER_KIND]
//        bench_statement_rate --sql                  the rows, as SQL for either backend
//        bench_statement_rate --db ALIAS [STATEMENTS_PER_KIND]
//                                                    on a database that holds those rows
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/db/connection.hpp"
#include "common/db/database.hpp"
#include "common/db/session.hpp"

namespace {

constexpr int channels = 2000;
constexpr int coefficient_sets = 40;
constexpr int coefficients_per_set = 4000;

// The benchmark's rows, as SQL that loads into either backend.
std::string data_sql()
{
    char sql[2048];
    std::snprintf(sql, sizeof sql,
                  "INSERT INTO Sensitivity (sta, net, seedchan, location, ondate, offdate, stage_seq, sensitivity, "
                  "frequency, lddate)\n"
                  "WITH RECURSIVE c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c WHERE n < %d),\n"
                  "               s(m) AS (SELECT 0 UNION ALL SELECT m + 1 FROM s WHERE m < 6)\n"
                  "SELECT 'BNCH', 'XY', 'C' || (n %% 100), '  ', '2000/01/01 00:00:00', '2599/12/31 23:59:59',\n"
                  "       m + 10 * (n / 100), 1.5, 1.0, '2000/01/01 00:00:00' FROM c, s;\n"
                  "INSERT INTO DC_Data (key, type, row_key, coefficient, error)\n"
                  "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < %d),\n"
                  "               r(m) AS (SELECT 1 UNION ALL SELECT m + 1 FROM r WHERE m < %d)\n"
                  "SELECT n, 'N', m, 1.0 / m, 0 FROM k, r;\n",
                  channels - 1, coefficient_sets, coefficients_per_set);
    return sql;
}

void exec(sqlite3 *db, const std::string &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "setup failed: %s\n", err);
        std::exit(2);
    }
}

std::string build_sqlite_database()
{
    char path[] = "/tmp/statement-rate-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) std::exit(2);
    close(fd);
    std::remove(path);
    sqlite3 *db = nullptr;
    sqlite3_open(path, &db);
    std::ifstream schema(SCHEMA_DIR "/sqlite.sql");
    std::stringstream text;
    text << schema.rdbuf();
    exec(db, text.str());
    exec(db, "BEGIN");
    exec(db, data_sql());
    exec(db, "COMMIT");
    sqlite3_close(db);
    return path;
}

struct Figures {
    double median, p90;
};

template <typename F>
Figures time_each(int n, F &&statement)
{
    std::vector<double> us(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        auto t0 = std::chrono::steady_clock::now();
        statement(k);
        auto t1 = std::chrono::steady_clock::now();
        us[static_cast<std::size_t>(k)] = std::chrono::duration<double, std::micro>(t1 - t0).count();
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 9 / 10]};
}

// The coefficient row with libpq alone: one prepared statement, text
// parameters and results, as the database layer runs it.
Figures libpq_floor(const std::string &conninfo, int n)
{
    PGconn *conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq floor: %s", PQerrorMessage(conn));
        std::exit(2);
    }
    PQclear(PQexec(conn, "BEGIN"));
    PQclear(PQexec(conn, "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    PGresult *prepared = PQprepare(conn, "coefficient",
                                   "select coefficient ,error from DC_Data where ((type='N' and key=$1) and row_key=$2)",
                                   2, nullptr);
    if (PQresultStatus(prepared) != PGRES_COMMAND_OK) std::exit(2);
    PQclear(prepared);
    auto run = [conn](int k) {
        std::string key = std::to_string(1 + k % coefficient_sets);
        std::string row = std::to_string(1 + (k * 7919) % coefficients_per_set);
        const char *values[] = {key.c_str(), row.c_str()};
        PGresult *r = PQexecPrepared(conn, "coefficient", 2, values, nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != 1) std::exit(2);
        volatile double value = std::strtod(PQgetvalue(r, 0, 0), nullptr);
        (void)value;
        PQclear(r);
    };
    time_each(n / 10 + 1, run);
    Figures f = time_each(n, run);
    PQclear(PQexec(conn, "COMMIT"));
    PQfinish(conn);
    return f;
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--sql") {
        std::fputs(data_sql().c_str(), stdout);
        return 0;
    }
    std::string alias;
    if (args.size() >= 2 && args[0] == "--db") {
        alias = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    const int n = !args.empty() ? std::atoi(args[0].c_str()) : 200000;
    const bool own_database = alias.empty();
    if (own_database) alias = build_sqlite_database();

    rdb::Database db;
    if (db.connect(std::string(rdb::username) + "/" + rdb::password + "@" + alias) != rdb::ok) {
        std::fprintf(stderr, "%s\n", db.last_error().c_str());
        return 2;
    }
    float coeff = 0, error = 0;
    rdb::Indicator ind;
    char lddate[32];
    std::int32_t max_s = 0;
    int failures = 0;

    auto coefficient = [&](int k) {
        std::int32_t key = 1 + k % coefficient_sets;
        std::int32_t row = 1 + (k * 7919) % coefficients_per_set;
        failures += db.select_into("select coefficient ,error into :b0,:b1:b2  from DC_Data where ((type='N' and key=:b3) and row_key=:b4)",
                                   {rdb::in(key), rdb::in(row)}, {rdb::out(coeff), rdb::out(error, &ind)}) != rdb::ok;
    };
    auto presence = [&](int k) {
        char chan[8];
        std::snprintf(chan, sizeof chan, "C%d", k % 100);
        std::int32_t stage = k % 7;
        lddate[0] = '\0';
        failures += db.select_into("select lddate into :b0:b1  from Sensitivity where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)",
                                   {rdb::in("BNCH"), rdb::in("XY"), rdb::in(chan), rdb::in("  "),
                                    rdb::in_date("2001/02/01 00:00:00"), rdb::in(stage)},
                                   {rdb::out(lddate, &ind)}) != rdb::ok;
    };
    auto maximum = [&](int k) {
        char chan[8];
        std::snprintf(chan, sizeof chan, "C%d", k % 100);
        failures += db.select_into("select max(stage_seq) into :b0:b1  from Sensitivity where ((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate)",
                                   {rdb::in("BNCH"), rdb::in("XY"), rdb::in(chan), rdb::in("  "),
                                    rdb::in_date("2001/02/01 00:00:00")},
                                   {rdb::out(max_s, &ind)}) != rdb::ok;
    };

    // Warm the page cache and the prepared statements first.
    time_each(n / 10 + 1, coefficient);
    time_each(n / 10 + 1, presence);
    time_each(n / 10 + 1, maximum);

    std::printf("database: %s (%d channels, %d coefficients)\n", alias.c_str(), channels,
                coefficient_sets * coefficients_per_set);
    auto t0 = std::chrono::steady_clock::now();
    Figures a = time_each(n, coefficient);
    Figures b = time_each(n, presence);
    Figures c = time_each(n, maximum);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%-34s median %6.2f us   p90 %6.2f us\n", "coefficient row (DC_Data)", a.median, a.p90);
    std::printf("%-34s median %6.2f us   p90 %6.2f us\n", "stage presence (Sensitivity)", b.median, b.p90);
    std::printf("%-34s median %6.2f us   p90 %6.2f us\n", "max(stage_seq) (Sensitivity)", c.median, c.p90);
    std::printf("%d statements in %.2f s: %.0f statements per second\n", 3 * n, seconds, 3 * n / seconds);
    rdb::DatabaseAddress address = rdb::resolve_alias(alias, rdb::username, rdb::password);
    if (address.dialect == rdb::Dialect::postgresql) {
        Figures floor = libpq_floor(address.target, n);
        std::printf("%-34s median %6.2f us   p90 %6.2f us   (layer / floor: %.2f)\n",
                    "coefficient row, libpq alone", floor.median, floor.p90, a.median / floor.median);
    }
    db.commit_release();
    if (own_database) std::remove(alias.c_str());
    return failures ? 1 : 0;
}
