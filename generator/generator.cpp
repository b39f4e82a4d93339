#include "generator/generator.hpp"

#include <cstring>
#include <memory>

#include "generator/codes.hpp"
#include "common/cli/run_arguments.hpp"
#include "generator/state.hpp"
#include "common/cli/text_util.hpp"
#include "generator/tree_paths.hpp"
#include "generator/writers.hpp"

namespace quorvex {
namespace {

// The trimmed location names the channel directory; everything else binds,
// prints and writes it as two blanks when it is blank.
void fetch_location_forms(Quorvex &q)
{
    std::memcpy(q.location_dir, q.location, sizeof q.location_dir);
    if (q.location[0] == '\0') std::strcpy(q.location, "  ");
}

// Copies a request's text into a host variable; a text that does not fit
// is a caller's fault, refused like the command line refuses it.
template <std::size_t W>
void set_text(Quorvex &q, char (&target)[W], const std::string &text, const char *what)
{
    if (!rdb::copy_text(target, text)) q.sql.stop(rdb::Release::none, "\n Error: %s too long.\n\n", what);
}

bool generate_run(Quorvex &q, const Request &r)
{
    // Station check: no row leaves lddate empty.
    q.lddate[0] = '\0';
    q.sql.select(
        "select lddate into :b0  from station_data where ((sta=:b1 and net=:b2) and :b3 between ondate and offdate)",
        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in_date(q.date)}, {rdb::out(q.lddate)});
    if (q.lddate[0] == '\0')
        q.sql.stop(rdb::Sql::Release::rollback, "\n No data found for this station at this date.\n\n");

    // An empty root would put the tree at the file system's root.
    if (r.data_root && r.data_root->empty())
        q.sql.stop(rdb::Sql::Release::rollback,
                   "\n Error: DATA_ROOT is set but empty: set it to the header tree's root directory.\n\n");
    if (!r.data_root) {
        say(q, "\n No root path specified, using ./HAR000\n\n");
        q.root = "./HAR000";
    } else {
        say(q, "\n Using root path %s\n\n", r.data_root->c_str());
        q.root = *r.data_root;
    }
    q.lookup = r.lookup ? 1 : 0;
    q.abpoly = r.abpoly ? 1 : 0;

    if (!rdb::is_generator_mode(r.mode.c_str())) q.sql.stop(rdb::Sql::Release::rollback, "%s", rdb::bad_run_mode);
    q.mode = r.mode[0];

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
                q.sink.make_directory(q.root);
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
    say(q, "\n\n");
    return station_only;
}

}  // namespace

Outcome generate(rdb::Sql &sql, TreeSink &tree, const Request &request, std::FILE *progress, RunCache *cache)
{
    // The state is large, and new for every run.
    auto state = std::make_unique<Quorvex>(sql, tree, progress);
    Quorvex &q = *state;
    q.cache = cache;
    set_text(q, q.sta2, request.station, "Station code");
    set_text(q, q.net2, request.network, "Network code");
    set_text(q, q.cha, request.channel, "Channel code");
    set_text(q, q.date, request.date, "Date");
    return Outcome{generate_run(q, request)};
}

void generate_dictionary(rdb::Sql &sql, TreeSink &tree, const std::string &root, bool lookup, bool abpoly,
                         std::FILE *progress)
{
    auto state = std::make_unique<Quorvex>(sql, tree, progress);
    Quorvex &q = *state;
    q.root = root;
    q.lookup = lookup ? 1 : 0;
    q.abpoly = abpoly ? 1 : 0;
    q.sink.make_directory(q.root);
    write_dictionary(q);
}

}  // namespace quorvex
