// Lintaro: turns a station and a time interval into the whole station epochs
// that cover it and runs Quorvex once per epoch, at the epoch's start, and
// once more at every start of a channel epoch inside it; with the station
// argument alone it lists the station's epochs.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "drivers/child.hpp"
#include "common/db/date_text.hpp"
#include "common/db/session.hpp"
#include "common/cli/epoch_listing.hpp"
#include "common/cli/run_arguments.hpp"

namespace {

// Every host variable of a run.
struct Lintaro {
    rdb::Sql sql;

    char sta2[7] = "";
    char net2[9] = "";
    char cha[7] = "";  // the channel of the first argument; empty: every channel
    char sdate[20] = "";  // interval as database dates
    char edate[20] = "";
    double tsdate = 0, tedate = 0;  // their nominal times
    char mindate[20] = "";  // earliest ondate, latest offdate of the station
    char maxdate[20] = "";
    double tmindate = 0, tmaxdate = 0;
    char ondate[20] = "";  // the widened interval, then each epoch fetched
    char offdate[20] = "";
    char lddate[20] = "";  // emptied before a select: tells whether a row was found
    char sta[7] = "";
    char net[9] = "";
};

// SEED time "YYYY,DDD,HH:MM:SS" to database date. A time the database cannot
// convert ends the run here, before its value is used anywhere.
void Convert_Date(Lintaro &l, const char *seed_time, char (&result)[20])
{
    char converted[20] = "";
    l.sql.select("select TO_CHAR(TO_DATE(:b0,'YYYY,DDD,HH24:MI:SS'),'YYYY/MM/DD HH24:MI:SS') into :b1  from DUAL",
                 {rdb::in(seed_time)}, {rdb::out(converted)});
    std::printf("\n{%s --> %s}\n", seed_time, converted);
    std::memcpy(result, converted, sizeof result);
}

double nominal(Lintaro &l, const char *date)
{
    double t = 0;
    l.sql.select("select TRUETIME.STRING2NOMINAL(:b0) into :b1  from DUAL", {rdb::in(date)},
                 {rdb::out(t)});
    return t;
}

// The generator runs of a batch: the station argument as typed, a start
// date and a mode.
struct Generator {
    std::string path;
    std::string station_argument;
    bool any_failed = false;

    // Runs the generator at start, a database date whose blank makes it the
    // two arguments DATE and TIME, then prints its command.
    void run(const char *start, const char *mode)
    {
        const std::string command = path + " " + station_argument + " " + start + " " + mode;
        // A start that is not a whole date and time would reach the
        // generator as some other number of arguments: a failed run.
        rdb::DateTime parsed;
        if (!rdb::parse_database_date(start, parsed)) {
            any_failed = true;
            std::string shown = start;
            shown.erase(shown.find_last_not_of(' ') + 1);
            std::fprintf(stderr, "Failed (epoch start \"%s\" is not a date YYYY/MM/DD HH24:MI:SS): %s\n",
                         shown.c_str(), command.c_str());
            return;
        }
        std::vector<std::string> args{station_argument};
        for (auto &word : drivers::blank_words(start)) args.push_back(word);
        args.push_back(mode);
        any_failed |= drivers::run_batch_child(path, args, command);
        std::printf("\n[%s]\n", command.c_str());
    }
};

// The run at a station epoch's start writes the channel epochs open then;
// every later start of a channel epoch inside the station epoch (of CHAN
// only, when the argument names one) gets a run of its own in mode "e".
// The bounds are compared as text, as the epoch cursor compares them, so
// that an epoch whose dates are not well formed fails only its own run.
void run_channel_epochs(Lintaro &l, Generator &generator)
{
    std::vector<std::string> starts;
    char start[20] = "";
    l.sql.for_each_row(
        "select distinct ondate  from channel_data where ((((sta=:b0 and net=:b1) and ondate>:b2) and ondate<=:b3) and (:b4='' or rtrim(seedchan)=:b5)) order by ondate",
        {rdb::in(l.sta2), rdb::in(l.net2), rdb::in(l.ondate), rdb::in(l.offdate), rdb::in(l.cha), rdb::in(l.cha)},
        {rdb::out(start)}, [&] { starts.emplace_back(start); });
    for (const std::string &date : starts) {
        std::printf("\n Generating channel epochs starting %s\n", date.c_str());
        generator.run(date.c_str(), "e");
    }
}

int run_interval(Lintaro &l, const char *station_argument, const char *start, const char *end,
                 const char *mode)
{
    Convert_Date(l, start, l.sdate);
    Convert_Date(l, end, l.edate);
    l.tsdate = nominal(l, l.sdate);
    l.tedate = nominal(l, l.edate);

    l.sql.select("select min(ondate) into :b0  from station_data where (sta=:b1 and net=:b2)",
                 {rdb::in(l.sta2), rdb::in(l.net2)}, {rdb::out(l.mindate)});
    l.sql.select("select max(offdate) into :b0  from station_data where (sta=:b1 and net=:b2)",
                 {rdb::in(l.sta2), rdb::in(l.net2)}, {rdb::out(l.maxdate)});
    l.tmindate = nominal(l, l.mindate);
    l.tmaxdate = nominal(l, l.maxdate);

    const auto rollback = rdb::Sql::Release::rollback;
    if (l.tsdate > l.tedate) l.sql.stop(rollback, "\n End date has to be greater than start date.\n\n");
    if (l.tsdate > l.tmaxdate || l.tedate < l.tmindate)
        l.sql.stop(rollback, "\n No data found for this station at this date.\n\n");
    if (!rdb::is_run_mode(mode)) l.sql.stop(rollback, "%s", rdb::bad_run_mode);

    // Widen the start to the start of the epoch holding it; a start that no
    // epoch holds goes back to the station's first epoch.
    l.lddate[0] = '\0';
    l.sql.select(
        "select ondate ,lddate into :b0,:b1  from station_data where ((sta=:b2 and net=:b3) and :b4 between ondate and offdate)",
        {rdb::in(l.sta2), rdb::in(l.net2), rdb::in_date(l.sdate)}, {rdb::out(l.ondate), rdb::out(l.lddate)});
    if (l.lddate[0] == '\0') std::memcpy(l.ondate, l.mindate, sizeof l.ondate);

    // Likewise the end, to the station's last epoch when no epoch holds it.
    l.lddate[0] = '\0';
    l.sql.select(
        "select offdate ,lddate into :b0,:b1  from station_data where ((sta=:b2 and net=:b3) and :b4 between ondate and offdate)",
        {rdb::in(l.sta2), rdb::in(l.net2), rdb::in_date(l.edate)}, {rdb::out(l.offdate), rdb::out(l.lddate)});
    if (l.lddate[0] == '\0') std::memcpy(l.offdate, l.maxdate, sizeof l.offdate);

    Generator generator{drivers::tools_dir() + "/Quorvex", station_argument};
    // The bounds are captured at open, so the fetch may overwrite them.
    l.sql.for_each_row(
        "select ondate ,offdate  from station_data where (((sta=:b0 and net=:b1) and ondate>=:b2) and offdate<=:b3) order by ondate",
        {rdb::in(l.sta2), rdb::in(l.net2), rdb::in_date(l.ondate), rdb::in_date(l.offdate)},
        {rdb::out(l.ondate), rdb::out(l.offdate)}, [&] {
            std::printf("\n Generating response for time interval %s --> %s\n", l.ondate, l.offdate);
            generator.run(l.ondate, mode);
            if (std::strcmp(mode, "s") != 0) run_channel_epochs(l, generator);
        });
    std::printf("\n\n");
    std::printf("\n Disconnecting from ORACLE ...\n\n");
    l.sql.commit_release();
    return generator.any_failed ? 1 : 0;
}

int run(int argc, char **argv)
{
    if (argc != 2 && argc != 5) {
        rdb::print_run_usage("Lintaro <sta.net[:chan]> [<YYYY,DDD,HH:MM:SS> <YYYY,DDD,HH:MM:SS> <a|s|c>]");
        return 0;
    }

    Lintaro l;
    rdb::StationArgument arg;
    if (int status = rdb::refuse_station_argument(rdb::split_station_argument(argv[1], arg)); status >= 0)
        return status;
    std::memcpy(l.sta2, arg.sta2, sizeof l.sta2);
    std::memcpy(l.net2, arg.net2, sizeof l.net2);
    std::memcpy(l.cha, arg.cha, sizeof l.cha);

    try {
        l.sql.connect();
        return argc == 2 ? rdb::list_station_epochs(l.sql, l.sta2, l.net2, l.sta, l.net, l.ondate, l.offdate)
                         : run_interval(l, argv[1], argv[2], argv[3], argv[4]);
    } catch (const rdb::RunEnd &end) {
        return l.sql.end(end);
    }
}

}  // namespace

int main(int argc, char **argv) { return run(argc, argv); }
