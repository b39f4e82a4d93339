// Cost of the generator on channels with long FIR cascades.
//
// Builds a SQLite database of one station whose channels each have a
// seismometer stage, a digitizer stage and FIR_STAGES decimating FIR stages
// of TAPS coefficients (one statement per coefficient), then runs the whole
// generator (mode "a", every channel) in this process, RUNS times, each into
// a fresh header tree. Statements are counted by SQLite itself: a trace
// callback on every connection counts each statement execution.
//
// Usage: bench_response_walk [CHANNELS [FIR_STAGES [TAPS [RUNS]]]]
//        (defaults 100 4 1000 3)
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "generator/spine.hpp"

namespace {

long long statements = 0;

int count_statement(unsigned, void *, void *, void *)
{
    ++statements;
    return 0;
}

int hook_connection(sqlite3 *db, const char **, const void *)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, count_statement, nullptr);
    return SQLITE_OK;
}

void exec(sqlite3 *db, const std::string &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "setup failed: %s\n", err ? err : "?");
        std::exit(2);
    }
}

std::string schema_text()
{
    std::string here = __FILE__;
    std::string path = here.substr(0, here.rfind('/')) + "/../common/schema/sqlite.sql";
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::exit(2);
    }
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Channel codes C00 ... CZZ.
std::string channel_code(int c)
{
    const char *digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return std::string("C") + digits[(c / 36) % 36] + digits[c % 36];
}

void build_database(const std::string &path, int channels, int fir_stages, int taps)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::exit(2);
    exec(db, schema_text());
    exec(db, "BEGIN");
    const std::string epoch = "'2000/01/01 00:00:00', '2599/12/31 23:59:59'";
    const std::string lddate = "'2000/01/01 00:00:00'";
    exec(db, "INSERT INTO station_data VALUES ('BNCH', 'XY', 1, 2, 3, 'Bench', 1, 3210, 10, " + epoch + ", " +
                 lddate + ")");
    std::ostringstream sql;
    for (int c = 0; c < channels; ++c) {
        std::string keys = "'BNCH', 'XY', '" + channel_code(c) + "', '  ', " + epoch;
        sql << "INSERT INTO channel_data (sta, net, seedchan, channel, location, inid, remark, unit_signal, "
               "unit_calib, lat, lon, elev, edepth, azimuth, dip, format_id, record_length, samprate, "
               "clock_drift, flags, ondate, offdate, lddate) VALUES ('BNCH', 'XY', '"
            << channel_code(c) << "', 'BHZ', '  ', 1, '', 2, 3, 1, 2, 3, 0, 0, -90, 1, 12, 20, 0.0001, 'CG', "
            << epoch << ", " << lddate << ");\n";
        sql << "INSERT INTO Poles_Zeros (sta, net, seedchan, location, ondate, offdate, stage_seq, pz_key, "
               "tf_type, unit_in, unit_out, AO, AF, lddate) VALUES ("
            << keys << ", 1, 1, 'A', 2, 3, 5.9e7, 1, " << lddate << ");\n";
        sql << "INSERT INTO Coefficients (sta, net, seedchan, location, ondate, offdate, stage_seq, dc_key, "
               "unit_in, unit_out, tf_type, lddate) VALUES ("
            << keys << ", 2, NULL, 3, 1, 'D', " << lddate << ");\n";
        for (int s = 2; s <= 2 + fir_stages; ++s) {
            if (s > 2)
                sql << "INSERT INTO Coefficients (sta, net, seedchan, location, ondate, offdate, stage_seq, "
                       "dc_key, unit_in, unit_out, tf_type, lddate) VALUES ("
                    << keys << ", " << s << ", " << s - 2 << ", 1, 1, 'D', " << lddate << ");\n";
            sql << "INSERT INTO Decimation (sta, net, seedchan, location, ondate, offdate, stage_seq, dm_key, "
                   "lddate) VALUES ("
                << keys << ", " << s << ", " << s << ", " << lddate << ");\n";
        }
        for (int s = 0; s <= 2 + fir_stages; ++s)
            sql << "INSERT INTO Sensitivity (sta, net, seedchan, location, ondate, offdate, stage_seq, "
                   "sensitivity, frequency, lddate) VALUES ("
                << keys << ", " << s << ", 1.5e3, 1, " << lddate << ");\n";
    }
    sql << "INSERT INTO PZ_Data VALUES (1, 'Z', 1, 0, 0, 0, 0), (1, 'Z', 2, 0, 0, 0, 0), "
           "(1, 'P', 3, -0.037, 0, 0.037, 0), (1, 'P', 4, -0.037, 0, -0.037, 0), (1, 'P', 5, -251.3, 0, 0, 0);\n";
    for (int k = 1; k <= fir_stages; ++k) {
        sql << "INSERT INTO DC VALUES (" << k << ", 'FIR." << k << "', 'A');\n";
        sql << "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " << taps
            << ") INSERT INTO DC_Data SELECT " << k << ", 'N', i, 1.0 / " << taps << ", 0 FROM n;\n";
    }
    for (int s = 2; s <= 2 + fir_stages; ++s)
        sql << "INSERT INTO DM VALUES (" << s << ", " << (20 << (2 + fir_stages - s)) << ", "
            << (s == 2 ? 1 : 2) << ", 0, 0.01, 0.01);\n";
    exec(db, sql.str());
    exec(db, "COMMIT");
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char **argv)
{
    int channels = argc > 1 ? std::atoi(argv[1]) : 100;
    int fir_stages = argc > 2 ? std::atoi(argv[2]) : 4;
    int taps = argc > 3 ? std::atoi(argv[3]) : 1000;
    int runs = argc > 4 ? std::atoi(argv[4]) : 3;
    if (channels < 1 || channels > 36 * 36 || fir_stages < 1 || taps < 1 || runs < 1) {
        std::fprintf(stderr, "usage: bench_response_walk [CHANNELS(1-1296) [FIR_STAGES [TAPS [RUNS]]]]\n");
        return 2;
    }

    char dir[] = "/tmp/response-walk-XXXXXX";
    if (!mkdtemp(dir)) return 2;
    std::string db_path = std::string(dir) + "/bench.db";
    build_database(db_path, channels, fir_stages, taps);
    setenv("RESPONSE_DB", db_path.c_str(), 1);
    unsetenv("USE_LOOKUP");
    unsetenv("USE_ABPOLY");
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(hook_connection));

    std::printf("%d channels, each: seismometer, digitizer, %d FIR stages of %d coefficients\n", channels,
                fir_stages, taps);
    std::vector<double> seconds, cpu_seconds;
    long long per_run = 0;
    for (int r = 0; r < runs; ++r) {
        std::string root = std::string(dir) + "/tree" + std::to_string(r);
        setenv("DATA_ROOT", root.c_str(), 1);
        std::string station = "BNCH.XY";
        std::string day = "2001/02/01", time = "00:00:00", mode = "a", name = "Quorvex";
        char *args[] = {name.data(), station.data(), day.data(), time.data(), mode.data(), nullptr};

        // The progress lines go to /dev/null, as they would to a log.
        std::fflush(stdout);
        int saved = dup(1);
        if (!std::freopen("/dev/null", "w", stdout)) return 2;
        statements = 0;
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpu_start = std::clock();
        int status = quorvex::run(5, args);
        std::fflush(stdout);
        std::clock_t cpu_end = std::clock();
        auto end = std::chrono::steady_clock::now();
        dup2(saved, 1);
        close(saved);
        if (status != 0) {
            std::fprintf(stderr, "generator run failed with status %d\n", status);
            return 1;
        }
        per_run = statements;
        seconds.push_back(std::chrono::duration<double>(end - start).count());
        cpu_seconds.push_back(static_cast<double>(cpu_end - cpu_start) / CLOCKS_PER_SEC);
    }
    // Wall time depends on what else the machine runs; processor time of
    // this process does much less.
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu_seconds.begin(), cpu_seconds.end());
    double median = seconds[seconds.size() / 2];
    double cpu = cpu_seconds[cpu_seconds.size() / 2];
    std::printf("statements per run: %lld (%.0f per channel)\n", per_run,
                static_cast<double>(per_run) / channels);
    std::printf("run time, median of %d runs: %.3f s wall, %.3f s processor\n", runs, median, cpu);
    std::printf("statements per second: %.0f wall, %.0f processor\n", static_cast<double>(per_run) / median,
                static_cast<double>(per_run) / cpu);
    std::printf("microseconds per channel: %.0f wall, %.0f processor\n", median * 1e6 / channels,
                cpu * 1e6 / channels);
    std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
