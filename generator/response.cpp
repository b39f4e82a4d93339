// The response stage walk: stages 1 to the largest stage number of the
// channel, each in the fixed table order, then the stage-0 sensitivity.
#include <cstdint>
#include <cstdio>
#include <map>

#include "generator/response_writers.hpp"
#include "generator/state.hpp"
#include "generator/writers.hpp"

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
    say(q, "\n\t Generating Blockette %d for %s.%s.%s.%s (Stage %d) ....", blockette, q.sta, q.net,
                q.seedchan, q.location, stage);
}

namespace {

// The stage tables in the order the walk visits them within one stage.
enum StageTable { polynomial, coefficients, decimation, poles_zeros, sensitivity, table_count };

// The stage numbers of the channel epoch that a stage table has a row for:
// a row counts when its load date is not NULL. Stage 0 (the overall
// sensitivity) is kept apart by the caller.
void collect_stages(Quorvex &q, const char *sql, StageTable table, std::map<std::int32_t, unsigned> &stages)
{
    std::int32_t stage = 0;
    rdb::Indicator stage_ind = 0, lddate_ind = 0;
    q.sql.for_each_row(sql,
                       {rdb::in(q.sta2), rdb::in(q.net2), rdb::in(q.seedchan), rdb::in(q.location),
                        rdb::in_date(q.date)},
                       {rdb::out(stage, &stage_ind), rdb::out(q.lddate, &lddate_ind)}, [&] {
                           if (stage_ind != -1 && lddate_ind != -1) stages[stage] |= 1u << table;
                       });
}

}  // namespace

// The walk visits the stages that exist, in ascending order, each table in
// the fixed order, and then the stage-0 sensitivity: its cost follows the
// rows of the channel, never the largest stage number.
void write_response(Quorvex &q, TreeFile &b052)
{
    std::map<std::int32_t, unsigned> stages;
    collect_stages(q, "select stage_seq ,lddate  from Polynomial where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)", polynomial, stages);
    collect_stages(q, "select stage_seq ,lddate  from Coefficients where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)", coefficients, stages);
    collect_stages(q, "select stage_seq ,lddate  from Decimation where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)", decimation, stages);
    collect_stages(q, "select stage_seq ,lddate  from Poles_Zeros where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)", poles_zeros, stages);
    collect_stages(q, "select stage_seq ,lddate  from Sensitivity where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)", sensitivity, stages);

    using Writer = void (*)(Quorvex &, TreeFile &);
    const Writer writers[table_count] = {write_polynomial, write_coefficients, write_decimation, write_poles_zeros,
                                         write_stage_sensitivity};
    for (const auto &[stage, tables] : stages) {
        if (stage < 1) continue;
        q.i = stage;
        for (int table = 0; table < table_count; ++table)
            if (tables & (1u << table)) writers[table](q, b052);
    }

    // The channel's overall sensitivity comes last.
    auto stage_zero = stages.find(0);
    if (stage_zero != stages.end() && (stage_zero->second & (1u << sensitivity))) write_channel_sensitivity(q, b052);
}

}  // namespace quorvex
