// Per accepted channel row: blockette 52 at the head of B052, one
// blockette 59 per channel comment in B059, then the response into B052.
#include <cstdio>
#include <cstring>

#include "convert_date.hpp"
#include "record.hpp"
#include "state.hpp"
#include "text_util.hpp"
#include "tree_file.hpp"
#include "tree_paths.hpp"
#include "writers.hpp"

namespace quorvex {
namespace {

// A blank location is bound, printed and written as two blanks; the
// directory name uses the trimmed (empty) form.
void query_form_location(Quorvex &q)
{
    if (q.location[0] == '\0') std::strcpy(q.location, "  ");
}

}  // namespace

void write_channel(Quorvex &q)
{
    make_directory(channel_directory(q));
    TreeFile b052;
    open_append_or_fail(q, b052, channel_file(q, "B052"));
    query_form_location(q);

    q.sql.select(
        "select count(*)  into :b0  from Channel_Comment where ((((sta=:b1 and net=:b2) and seedchan=:b3) and location=:b4) and :b5 between ondate and offdate)",
        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in(q.seedchan), rdb::in(q.location), rdb::in_date(q.date)},
        {rdb::out(q.nb_cmt)});

    std::printf("\n\n Generating Blockette 52 for %s.%s.%s.%s ....", q.sta, q.net, q.seedchan, q.location);
    Convert_Date(q.sql, q.ondate, q.on_date);
    Convert_Date(q.sql, q.offdate, q.off_date);
    {
        Record record;
        record.begin(
            "%.3s%04d%.2s%.3s%04d%03d%s~%03d%03d%10.6f%11.6f%7.1f%5.1f%5.1f%5.1f%04d%02d%10.4E%10.4E%04d%s~%s~%s~%c",
            "052", 0, q.location, q.seedchan, 0, q.inid, q.remark, q.unit_signal, q.unit_calib,
            static_cast<double>(q.lat), static_cast<double>(q.lon), static_cast<double>(q.elev),
            static_cast<double>(q.edepth), static_cast<double>(q.azimuth), static_cast<double>(q.dip),
            q.format_id, q.record_length, static_cast<double>(q.samprate),
            static_cast<double>(q.clock_drift), q.nb_cmt, q.flags, q.on_date, q.off_date, 'N');
        write_record(q, b052, record);
    }

    rdb::Remove_Blank(q.location);
    {
        TreeFile b059;
        open_append_or_fail(q, b059, channel_file(q, "B059"));
        query_form_location(q);  // and so it stays for the response walk
        std::printf("\n Generating Blockette 59 for %s.%s.%s.%s ....", q.sta, q.net, q.seedchan, q.location);
        rdb::Cursor comments;
        q.sql.open(comments,
                   "select comment_id ,comment_level  from Channel_Comment where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)",
                   {rdb::in(q.sta2), rdb::in(q.net2), rdb::in(q.seedchan), rdb::in(q.location),
                    rdb::in_date(q.date)});
        while (q.sql.fetch(comments, {rdb::out(q.comment_id), rdb::out(q.comment_level)}) != rdb::no_data) {
            // Every comment carries the channel epoch, not an epoch of its own.
            Convert_Date(q.sql, q.ondate, q.on_date);
            Convert_Date(q.sql, q.offdate, q.off_date);
            Record record;
            record.begin("%.3s%04d%s~%s~%04d%06d", "059", 0, q.on_date, q.off_date, q.comment_id,
                         q.comment_level);
            write_record(q, b059, record);
        }
        q.sql.close(comments);
    }

    write_response(q, b052);
}

}  // namespace quorvex
