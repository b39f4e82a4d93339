// Cost of one small generator statement through the database layer.
//
// Builds a SQLite database of about 8 MB (channels with stage rows, long
// coefficient sets), then times single statements of the kinds the
// generator runs one per coefficient, stage and table, and prints the
// median and 90th percentile per kind.
//
// Usage: bench_statement_rate [STATEMENTS_PER_KIND]
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

#include "db/database.hpp"

namespace {

constexpr int channels = 2000;
constexpr int coefficient_sets = 40;
constexpr int coefficients_per_set = 4000;

void exec(sqlite3 *db, const std::string &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "setup failed: %s\n", err);
        std::exit(2);
    }
}

std::string build_database()
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
    sqlite3_stmt *st;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Sensitivity (sta, net, seedchan, location, ondate, offdate, stage_seq, "
                       "sensitivity, frequency, lddate) VALUES ('BNCH', 'XY', ?, '  ', '2000/01/01 00:00:00', "
                       "'2599/12/31 23:59:59', ?, 1.5, 1.0, '2000/01/01 00:00:00')",
                       -1, &st, nullptr);
    for (int c = 0; c < channels; ++c) {
        char chan[8];
        std::snprintf(chan, sizeof chan, "C%02d", c % 100);
        for (int s = 0; s <= 6; ++s) {
            // Channel codes repeat every 100, so spread them over stations.
            sqlite3_bind_text(st, 1, chan, -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(st, 2, s + 10 * (c / 100));
            sqlite3_step(st);
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "INSERT INTO DC_Data (key, type, row_key, coefficient, error) VALUES (?, 'N', ?, ?, 0)", -1,
                       &st, nullptr);
    for (int k = 1; k <= coefficient_sets; ++k)
        for (int r = 1; r <= coefficients_per_set; ++r) {
            sqlite3_bind_int(st, 1, k);
            sqlite3_bind_int(st, 2, r);
            sqlite3_bind_double(st, 3, 1.0 / r);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
    sqlite3_finalize(st);
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

}  // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 200000;
    std::string path = build_database();
    std::FILE *f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);

    rdb::Database db;
    if (db.connect("vordadba/x@" + path) != rdb::ok) {
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
        std::snprintf(chan, sizeof chan, "C%02d", k % 100);
        std::int32_t stage = k % 7;
        lddate[0] = '\0';
        failures += db.select_into("select lddate into :b0:b1  from Sensitivity where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)",
                                   {rdb::in("BNCH"), rdb::in("XY"), rdb::in(chan), rdb::in("  "),
                                    rdb::in_date("2001/02/01 00:00:00"), rdb::in(stage)},
                                   {rdb::out(lddate, &ind)}) != rdb::ok;
    };
    auto maximum = [&](int k) {
        char chan[8];
        std::snprintf(chan, sizeof chan, "C%02d", k % 100);
        failures += db.select_into("select max(stage_seq) into :b0:b1  from Sensitivity where ((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate)",
                                   {rdb::in("BNCH"), rdb::in("XY"), rdb::in(chan), rdb::in("  "),
                                    rdb::in_date("2001/02/01 00:00:00")},
                                   {rdb::out(max_s, &ind)}) != rdb::ok;
    };

    // Warm the page cache and the prepared statements first.
    time_each(n / 10 + 1, coefficient);
    time_each(n / 10 + 1, presence);
    time_each(n / 10 + 1, maximum);

    std::printf("database: %s (%.1f MB, %d channels, %d coefficients)\n", path.c_str(), size / 1e6, channels,
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
    db.commit_release();
    std::remove(path.c_str());
    return failures ? 1 : 0;
}
