// Per accepted channel row: blockette 52 at the head of B052, one
// blockette 59 per channel comment in B059, then the response into B052.
#include <cstdio>

#include "generator/seed_layout.hpp"
#include "generator/comment_blockettes.hpp"
#include "generator/convert_date.hpp"
#include "generator/record.hpp"
#include "generator/response_writers.hpp"
#include "generator/state.hpp"
#include "generator/tree_file.hpp"
#include "generator/tree_paths.hpp"
#include "generator/writers.hpp"

namespace quorvex {

void write_channel(Quorvex &q)
{
    const std::string directory = channel_directory(q.root, q.sta, q.net, q.seedchan, q.location_dir);
    q.sink.make_directory(directory);
    std::unique_ptr<TreeFile> b052 = open_append_or_fail(q, directory + "/B052");

    select_channel_row(
        q,
        "select count(*)  into :b0  from Channel_Comment where ((((sta=:b1 and net=:b2) and seedchan=:b3) and location=:b4) and :b5 between ondate and offdate)",
        {rdb::out(q.nb_cmt)});

    say(q, "\n\n Generating Blockette 52 for %s.%s.%s.%s ....", q.sta, q.net, q.seedchan, q.location);
    Convert_Date(q.sql, q.ondate, q.on_date);
    Convert_Date(q.sql, q.offdate, q.off_date);
    {
        Record record(channel_row(q));
        record.begin(
            "%.3s%04d%.2s%.3s%04d%03d%s~%03d%03d" SEED_B052_LATITUDE SEED_B052_LONGITUDE SEED_B052_ELEVATION
            SEED_B052_DEPTH SEED_B052_AZIMUTH SEED_B052_DIP "%04d%02d" SEED_B052_SAMPLE_RATE SEED_B052_CLOCK_DRIFT
            "%04d%s~%s~%s~%c",
            "052", 0, q.location, q.seedchan, 0, q.inid, q.remark, q.unit_signal, q.unit_calib,
            static_cast<double>(q.lat), static_cast<double>(q.lon), static_cast<double>(q.elev),
            static_cast<double>(q.edepth), static_cast<double>(q.azimuth), static_cast<double>(q.dip),
            q.format_id, q.record_length, static_cast<double>(q.samprate),
            static_cast<double>(q.clock_drift), q.nb_cmt, q.flags, q.on_date, q.off_date, 'N');
        write_record(q.sql, *b052, record);
    }

    {
        std::unique_ptr<TreeFile> b059 = open_append_or_fail(q, directory + "/B059");
        say(q, "\n Generating Blockette 59 for %s.%s.%s.%s ....", q.sta, q.net, q.seedchan, q.location);
        write_comment_blockettes(
            q, *b059, "059",
            "select comment_id ,comment_level  from Channel_Comment where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)",
            {rdb::in(q.sta2), rdb::in(q.net2), rdb::in(q.seedchan), rdb::in(q.location), rdb::in_date(q.date)},
            q.ondate, q.offdate, channel_row(q));
    }

    write_response(q, *b052);
}

}  // namespace quorvex
