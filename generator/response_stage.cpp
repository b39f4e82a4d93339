// Blockettes 62, 57, 58 and 60 of the stage walk.
#include <cstdio>

#include "generator/seed_layout.hpp"
#include "generator/polynomial.hpp"
#include "generator/response_limits.hpp"
#include "generator/response_writers.hpp"
#include "generator/state.hpp"
#include "generator/tree_file.hpp"

namespace quorvex {

void refuse_long_blockette(Quorvex &q, int blockette, const char *what, std::int32_t count,
                           std::size_t fit)
{
    q.sql.stop(rdb::Sql::Release::rollback,
               "\n Error: Blockette %d for %s.%s.%s.%s (Stage %d) has %d %s; at most %zu fit in one record.\n\n",
               blockette, q.sta, q.net, q.seedchan, q.location, q.i, count, what, fit);
}

void write_reference(Quorvex &q, TreeFile &b052, std::int32_t key)
{
    Record record(stage_row(q));
    record.begin("%.3s%04d%02d%02d%02d%04d", "060", 0, 1, q.i, 1, key);
    write_record(q.sql, b052, record);
}

void write_polynomial(Quorvex &q, TreeFile &b052)
{
    select_stage_row(
        q,
        "select pn_key ,tf_type ,unit_in ,unit_out into :b0,:b1,:b2,:b3  from Polynomial where (((((sta=:b4 and net=:b5) and seedchan=:b6) and location=:b7) and :b8 between ondate and offdate) and stage_seq=:b9)",
        {rdb::out(q.pn_key), rdb::out(q.tf_type), rdb::out(q.unit_in), rdb::out(q.unit_out)});

    if (q.abpoly) {
        announce_blockette(q, 60, q.i);
        write_reference(q, b052, polynomial_lookup_key(q.pn_key));
        return;
    }

    announce_blockette(q, 62, q.i);
    q.sql.select(
        "select poly_type ,lower_bound ,upper_bound ,max_error into :b0,:b1,:b2,:b3  from PN where key=:b4",
        {rdb::in(q.pn_key)},
        {rdb::out(q.poly_type), rdb::out(q.lower_bound), rdb::out(q.upper_bound),
         rdb::out(q.max_error)});
    q.sql.select("select count(*)  into :b0  from PN_Data where key=:b1", {rdb::in(q.pn_key)},
                 {rdb::out(q.nb_coeff)});

    // The valid band ends at half the rate this stage sees: the channel's,
    // or the input rate of the last decimation written for this channel.
    Record record(stage_row(q));
    record.begin(SEED_B062_HEAD, "062", 0,
                 q.tf_type, q.i, q.unit_in, q.unit_out, q.poly_type, 'A', 0.0,
                 static_cast<double>(q.samprate) * 0.5, static_cast<double>(q.lower_bound),
                 static_cast<double>(q.upper_bound), static_cast<double>(q.max_error), q.nb_coeff);
    if (!append_polynomial_coefficients(q, record, 15))
        refuse_long_blockette(q, 62, "coefficients", q.nb_coeff,
                              groups_that_fit(record.size(), polynomial_group_size));
    write_record(q.sql, b052, record);
}

void write_decimation(Quorvex &q, TreeFile &b052)
{
    announce_blockette(q, 57, q.i);
    select_stage_row(
        q,
        "select dm_key into :b0  from Decimation where (((((sta=:b1 and net=:b2) and seedchan=:b3) and location=:b4) and :b5 between ondate and offdate) and stage_seq=:b6)",
        {rdb::out(q.dm_key)});
    // No DM row leaves every value as the last decimation (or the channel
    // row, for the rate) left it.
    q.sql.select(
        "select samprate ,factor ,offset ,delay ,correction into :b0,:b1,:b2,:b3,:b4  from DM where key=:b5",
        {rdb::in(q.dm_key)},
        {rdb::out(q.samprate), rdb::out(q.factor), rdb::out(q.offset), rdb::out(q.delay),
         rdb::out(q.correction)});

    Record record(stage_row(q));
    record.begin("%.3s%04d%02d" SEED_B057_RATE "%05d%05d" SEED_B057_DELAY SEED_B057_CORRECTION, "057", 0, q.i,
                 static_cast<double>(q.samprate), q.factor, q.offset, static_cast<double>(q.delay),
                 static_cast<double>(q.correction));
    write_record(q.sql, b052, record);
}

namespace {

void write_sensitivity(Quorvex &q, TreeFile &b052, int stage)
{
    Record record(channel_row(q) + " stage " + std::to_string(stage));
    record.begin("%.3s%04d%02d" SEED_B058_GAIN SEED_B058_FREQUENCY "%02d", "058", 0, stage,
                 static_cast<double>(q.sensitivity), static_cast<double>(q.frequency), 0);
    write_record(q.sql, b052, record);
}

}  // namespace

void write_stage_sensitivity(Quorvex &q, TreeFile &b052)
{
    announce_blockette(q, 58, q.i);
    select_stage_row(
        q,
        "select sensitivity ,frequency into :b0,:b1  from Sensitivity where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=:b7)",
        {rdb::out(q.sensitivity), rdb::out(q.frequency)});
    write_sensitivity(q, b052, q.i);
}

void write_channel_sensitivity(Quorvex &q, TreeFile &b052)
{
    announce_blockette(q, 58, 0);
    select_channel_row(
        q,
        "select sensitivity ,frequency into :b0,:b1  from Sensitivity where (((((sta=:b2 and net=:b3) and seedchan=:b4) and location=:b5) and :b6 between ondate and offdate) and stage_seq=0)",
        {rdb::out(q.sensitivity), rdb::out(q.frequency)});
    write_sensitivity(q, b052, 0);
}

}  // namespace quorvex
