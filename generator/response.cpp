// The response stage walk: stages 1 to the largest stage number of the
// channel, each in the fixed table order, then the stage-0 sensitivity.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "response_writers.hpp"
#include "state.hpp"
#include "writers.hpp"

namespace quorvex {

int select_channel_row(Quorvex &q, const char *sql, rdb::Outputs outputs)
{
    return q.sql.select(sql,
                        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in(q.seedchan), rdb::in(q.location),
                         rdb::in_date(q.date)},
                        outputs);
}

int select_stage_row(Quorvex &q, const char *sql, rdb::Outputs outputs)
{
    return q.sql.select(sql,
                        {rdb::in(q.sta2), rdb::in(q.net2), rdb::in(q.seedchan), rdb::in(q.location),
                         rdb::in_date(q.date), rdb::in(q.i)},
                        outputs);
}

void announce_blockette(const Quorvex &q, int blockette, std::int32_t stage)
{
    std::printf("\n\t Generating Blockette %d for %s.%s.%s.%s (Stage %d) ....", blockette, q.sta, q.net,
                q.seedchan, q.location, stage);
}

namespace {

// A table has a row for the stage when its load date comes back non-empty:
// no row and a row whose lddate is NULL both leave lddate empty.
bool present(Quorvex &q, const char *sql)
{
    q.lddate[0] = '\0';
    select_stage_row(q, sql, {rdb::out(q.lddate, &q.ind)});
    return q.lddate[0] != '\0';
}

// Largest stage_seq of the channel in one table; 0 when it has no row (the
// NULL maximum would otherwise keep the previous channel's value).
void largest_stage(Quorvex &q, const char *sql, std::int32_t &max)
{
    max = 0;
    select_channel_row(q, sql, {rdb::out(max, &q.ind)});
}

}  // namespace

void write_response(Quorvex &q, TreeFile &b052)
{
    largest_stage(q, "select max(stage_seq) into :b0:b1  from Polynomial where ((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate)", q.max_pn);
    largest_stage(q, "select max(stage_seq) into :b0:b1  from Coefficients where ((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate)", q.max_c);
    largest_stage(q, "select max(stage_seq) into :b0:b1  from Decimation where ((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate)", q.max_d);
    largest_stage(q, "select max(stage_seq) into :b0:b1  from Poles_Zeros where ((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate)", q.max_pz);
    largest_stage(q, "select max(stage_seq) into :b0:b1  from Sensitivity where ((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate)", q.max_s);
    const std::int32_t last = std::max({q.max_pn, q.max_c, q.max_d, q.max_pz, q.max_s});

    // Every number is visited, also where no table has a row: such a stage
    // writes nothing and the others keep their stored numbers. The counter
    // is wider than the stage number so that a largest stage_seq of
    // INT32_MAX ends the loop instead of overflowing it.
    for (std::int64_t stage = 1; stage <= last; ++stage) {
        q.i = static_cast<std::int32_t>(stage);
        if (present(q, "select lddate into :b0:b1  from Polynomial where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)"))
            write_polynomial(q, b052);
        if (present(q, "select lddate into :b0:b1  from Coefficients where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)"))
            write_coefficients(q, b052);
        if (present(q, "select lddate into :b0:b1  from Decimation where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)"))
            write_decimation(q, b052);
        if (present(q, "select lddate into :b0:b1  from Poles_Zeros where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)"))
            write_poles_zeros(q, b052);
        if (present(q, "select lddate into :b0:b1  from Sensitivity where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)"))
            write_stage_sensitivity(q, b052);
    }

    // The channel's overall sensitivity comes last.
    q.lddate[0] = '\0';
    select_channel_row(
        q,
        "select lddate into :b0:b1  from Sensitivity where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=0)",
        {rdb::out(q.lddate, &q.ind)});
    if (q.lddate[0] != '\0') write_channel_sensitivity(q, b052);
}

}  // namespace quorvex
