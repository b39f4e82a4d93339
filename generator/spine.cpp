#include "spine.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "codes.hpp"
#include "epoch_listing.hpp"
#include "run_arguments.hpp"
#include "state.hpp"
#include "text_util.hpp"
#include "tree_file.hpp"
#include "writers.hpp"

namespace quorvex {
namespace {

// A refused argument, before any database access.
int refuse(const char *message)
{
    std::printf("\n Error: %s\n\n", message);
    return 1;
}

// The trimmed location names the channel directory; everything else binds,
// prints and writes it as two blanks when it is blank.
void fetch_location_forms(Quorvex &q)
{
    std::memcpy(q.location_dir, q.location, sizeof q.location_dir);
    if (q.location[0] == '\0') std::strcpy(q.location, "  ");
}

int generate(Quorvex &q, const char *mode)
{
    // Station check: no row leaves lddate empty.
    q.lddate[0] = '\0';
    q.sql.select(
        "select lddate into :b0  from station_data where ((sta=:b1 and net=:b2) and :b3 between ondate and offdate)",
        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in_date(q.date)}, {rdb::out(q.lddate)});
    if (q.lddate[0] == '\0')
        q.sql.stop(rdb::Sql::Release::rollback, "\n No data found for this station at this date.\n\n");

    const char *data_root = std::getenv("DATA_ROOT");
    // An empty root would put the tree at the file system's root.
    if (data_root && *data_root == '\0')
        q.sql.stop(rdb::Sql::Release::rollback,
                   "\n Error: DATA_ROOT is set but empty: set it to the header tree's root directory.\n\n");
    if (!data_root) {
        std::printf("\n No root path specified, using ./HAR000\n\n");
        q.root = "./HAR000";
    } else {
        std::printf("\n Using root path %s\n\n", data_root);
        q.root = data_root;
    }
    q.lookup = std::getenv("USE_LOOKUP") ? 1 : 0;
    q.abpoly = std::getenv("USE_ABPOLY") ? 1 : 0;

    if (!rdb::is_generator_mode(mode)) q.sql.stop(rdb::Sql::Release::rollback, "%s", rdb::bad_run_mode);
    q.mode = mode[0];

    rdb::Indicator *ind = &q.ind;
    bool station_only = false;
    q.sql.for_each_row(
        "select sta ,net ,seedchan ,channel ,channelsrc ,location ,inid ,remark ,unit_signal ,unit_calib ,lat ,lon ,elev ,edepth ,azimuth ,dip ,format_id ,record_length ,samprate ,clock_drift ,flags ,ondate ,offdate  from channel_data where ((sta=:b0 and net=:b1) and :b2 between ondate and offdate)",
        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in_date(q.date)},
        {rdb::out(q.sta, ind), rdb::out(q.net, ind), rdb::out(q.seedchan, ind), rdb::out(q.channel, ind),
         rdb::out(q.channelsrc, ind), rdb::out(q.location, ind), rdb::out(q.inid, ind), rdb::out(q.remark, ind),
         rdb::out(q.unit_signal, ind), rdb::out(q.unit_calib, ind), rdb::out(q.lat, ind), rdb::out(q.lon, ind),
         rdb::out(q.elev, ind), rdb::out(q.edepth, ind), rdb::out(q.azimuth, ind), rdb::out(q.dip, ind),
         rdb::out(q.format_id, ind), rdb::out(q.record_length, ind), rdb::out(q.samprate, ind),
         rdb::out(q.clock_drift, ind), rdb::out(q.flags, ind), rdb::out(q.ondate, ind), rdb::out(q.offdate, ind)},
        [&q, &station_only] {
            for (char *text : {q.sta, q.net, q.seedchan, q.channel, q.channelsrc, q.location, q.ondate,
                               q.offdate, q.flags, q.remark})
                rdb::Remove_Blank(text);
            fetch_location_forms(q);

            if (q.cha[0] != '\0' && std::strcmp(q.seedchan, q.cha) != 0) return true;
            // Mode "e" is mode "c" for the channel epochs that begin at the
            // run date; the others open then were written by an earlier run.
            if (q.mode == 'e' && std::strcmp(q.ondate, q.date) != 0) return true;
            check_codes(q);

            if (q.first_match == 0) {
                q.first_match = 1;
                make_directory(q.root);
                write_dictionary(q);
                if (q.mode == 'a' || q.mode == 's') write_station_blockettes(q);
                if (q.mode == 's') {
                    station_only = true;
                    return false;
                }
            }
            write_channel(q);
            return true;
        });
    // A station-only run ends without the disconnect line.
    std::printf("\n\n");
    if (!station_only) std::printf("\n Disconnecting from ORACLE ...\n\n");
    q.sql.commit_release();
    return 0;
}

}  // namespace

int run(int argc, char **argv)
{
    // A file grown past the size limit fails its write, which the run then
    // reports, instead of killing the process in the middle of a record.
    std::signal(SIGXFSZ, SIG_IGN);

    if (argc != 2 && argc != 5) {
        rdb::print_run_usage("Quorvex <sta.net[:chan]> [<YYYY/MM/DD> <HH:MM:SS> <a|s|c>]");
        return 0;
    }

    // The state is large and lives for the whole run.
    auto state = std::make_unique<Quorvex>();
    Quorvex &q = *state;

    rdb::StationArgument arg;
    if (int status = rdb::refuse_station_argument(rdb::split_station_argument(argv[1], arg)); status >= 0)
        return status;
    std::memcpy(q.sta2, arg.sta2, sizeof q.sta2);
    std::memcpy(q.net2, arg.net2, sizeof q.net2);
    std::memcpy(q.cha, arg.cha, sizeof q.cha);

    if (argc == 5) {
        if (std::strlen(argv[2]) > 10) return refuse("Date longer than YYYY/MM/DD.");
        if (std::strlen(argv[3]) > 8) return refuse("Time longer than HH:MM:SS.");
        std::snprintf(q.date, sizeof q.date, "%s %s", argv[2], argv[3]);
    }

    q.sql.connect();
    return argc == 2 ? rdb::list_station_epochs(q.sql, q.sta2, q.net2, q.sta, q.net, q.ondate, q.offdate)
                     : generate(q, argv[4]);
}

}  // namespace quorvex
