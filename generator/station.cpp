// Blockettes 50 (station identifier) and 51 (station comments), once per
// run in modes "a" and "s".
#include <cstdio>

#include "generator/seed_layout.hpp"
#include "generator/codes.hpp"
#include "generator/comment_blockettes.hpp"
#include "generator/convert_date.hpp"
#include "generator/record.hpp"
#include "generator/state.hpp"
#include "common/cli/text_util.hpp"
#include "generator/tree_file.hpp"
#include "generator/tree_paths.hpp"
#include "generator/writers.hpp"

namespace quorvex {

void write_station_blockettes(Quorvex &q)
{
    // Every column with the indicator: a NULL leaves the variable as it was,
    // which for the station record means zero or empty text.
    rdb::Indicator *ind = &q.ind;
    q.sql.select(
        "select sta ,net ,lat ,lon ,elev ,staname ,net_id ,word_32 ,word_16 ,ondate ,offdate into :b0:b1,:b2:b3,:b4:b5,:b6:b7,:b8:b9,:b10:b11,:b12:b13,:b14:b15,:b16:b17,:b18:b19,:b20:b21  from station_data where ((sta=:b22 and net=:b23) and :b24 between ondate and offdate)",
        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in_date(q.date)},
        {rdb::out(q.sta, ind), rdb::out(q.net, ind), rdb::out(q.slat, ind), rdb::out(q.slon, ind),
         rdb::out(q.selev, ind), rdb::out(q.staname, ind), rdb::out(q.net_id, ind),
         rdb::out(q.word_32, ind), rdb::out(q.word_16, ind), rdb::out(q.sta_ondate, ind),
         rdb::out(q.sta_offdate, ind)});
    for (char *text : {q.sta, q.net, q.staname, q.sta_ondate, q.sta_offdate}) rdb::Remove_Blank(text);
    check_station_codes(q);

    q.sql.select(
        "select count(*)  into :b0  from Station_Comment where ((sta=:b1 and net=:b2) and :b3 between ondate and offdate)",
        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in_date(q.date)}, {rdb::out(q.nb_cmt)});

    const std::string directory = station_directory(q.root, q.sta, q.net);
    q.sink.make_directory(directory);
    {
        std::unique_ptr<TreeFile> b050 = open_append_or_fail(q, directory + "B050");
        say(q, "\n\n Generating Blockette 50 for %s.%s ....", q.sta, q.net);
        Convert_Date(q.sql, q.sta_ondate, q.on_date);
        Convert_Date(q.sql, q.sta_offdate, q.off_date);
        Record record(std::string("station ") + q.sta + "." + q.net);
        record.begin("%.3s%04d%-5s" SEED_B050_LATITUDE SEED_B050_LONGITUDE SEED_B050_ELEVATION "%04d%03d%s~%03d%04d%02d%s~%s~%c%.2s", "050", 0, q.sta,
                     static_cast<double>(q.slat), static_cast<double>(q.slon),
                     static_cast<double>(q.selev), 0, q.nb_cmt, q.staname, q.net_id, q.word_32,
                     q.word_16, q.on_date, q.off_date, 'N', q.net);
        write_record(q.sql, *b050, record);
    }

    std::unique_ptr<TreeFile> b051 = open_append_or_fail(q, directory + "B051");
    say(q, "\n Generating Blockette 51 for %s.%s ....", q.sta, q.net);
    write_comment_blockettes(
        q, *b051, "051",
        "select comment_id ,comment_level  from Station_Comment where ((sta=:b0 and net=:b1) and :b2 between ondate and offdate)",
        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in_date(q.date)}, q.sta_ondate, q.sta_offdate,
        std::string("station ") + q.sta + "." + q.net);
}

}  // namespace quorvex
