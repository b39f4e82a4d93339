// Blockettes 53, 54 and 61 of the stage walk.
#include <string>
#include <vector>

#include "generator/seed_layout.hpp"
#include "generator/coefficient_set.hpp"
#include "generator/response_limits.hpp"
#include "generator/response_writers.hpp"
#include "generator/state.hpp"
#include "generator/tree_file.hpp"

namespace quorvex {

void write_poles_zeros(Quorvex &q, TreeFile &b052)
{
    announce_blockette(q, 53, q.i);
    select_stage_row(
        q,
        "select pz_key ,tf_type ,unit_in ,unit_out ,AO ,AF into :b0,:b1,:b2,:b3,:b4,:b5  from Poles_Zeros where (((((sta=:b6 and net=:b7) and seedchan=:b8) and location=:b9) and :b10 between ondate and offdate) and stage_seq=:b11)",
        {rdb::out(q.pz_key), rdb::out(q.tf_type), rdb::out(q.unit_in), rdb::out(q.unit_out),
         rdb::out(q.AO), rdb::out(q.AF)});
    q.sql.select("select count(*)  into :b0  from PZ_Data where (key=:b1 and type='P')",
                 {rdb::in(q.pz_key)}, {rdb::out(q.nb_poles)});
    q.sql.select("select count(*)  into :b0  from PZ_Data where (key=:b1 and type='Z')",
                 {rdb::in(q.pz_key)}, {rdb::out(q.nb_zeros)});

    Record record(stage_row(q));
    record.begin(SEED_B053_HEAD, "053", 0, q.tf_type, q.i, q.unit_in,
                 q.unit_out, static_cast<double>(q.AO), static_cast<double>(q.AF), q.nb_zeros);

    // One count field each for zeros and poles: a blockette 53 cannot be
    // continued, so one that does not fit is refused before anything of it
    // is read or written.
    std::size_t fit =
        groups_that_fit(record.size() + formatted_size("%03d", q.nb_poles), pz_group_size);
    long long groups = static_cast<long long>(q.nb_zeros) + q.nb_poles;
    if (groups > static_cast<long long>(fit))
        refuse_long_blockette(q, 53, "zeros and poles", static_cast<std::int32_t>(groups), fit);

    // One zero or pole, its group's fields from first_field on: real and
    // imaginary part, then their errors.
    auto append_row = [&q, &record](const char *sql, int first_field) {
        q.sql.select(sql, {rdb::in(q.pz_key), rdb::in(q.j)},
                     {rdb::out(q.r_value), rdb::out(q.r_error, &q.ind), rdb::out(q.i_value),
                      rdb::out(q.i_error, &q.ind)});
        record.append_group(first_field, SEED_B053_ROOT_GROUP, static_cast<double>(q.r_value),
                            static_cast<double>(q.i_value), static_cast<double>(q.r_error),
                            static_cast<double>(q.i_error));
    };
    for (q.j = 1; q.j <= q.nb_zeros; ++q.j)
        append_row("select r_value ,r_error ,i_value ,i_error into :b0,:b1:b2,:b3,:b4:b5  from PZ_Data where ((type='Z' and key=:b6) and row_key=:b7)", 10);
    record.append_group(14, "%03d", q.nb_poles);
    // Poles continue the row numbering after the zeros.
    for (q.j = q.nb_zeros + 1; q.j <= q.nb_zeros + q.nb_poles; ++q.j)
        append_row("select r_value ,r_error ,i_value ,i_error into :b0,:b1:b2,:b3,:b4:b5  from PZ_Data where ((type='P' and key=:b6) and row_key=:b7)", 15);
    write_record(q.sql, b052, record);
}

namespace {

void write_fir(Quorvex &q, TreeFile &b052)
{
    announce_blockette(q, 61, q.i);
    q.sql.select("select name ,symmetry into :b0:b1,:b2:b3  from DC where key=:b4",
                 {rdb::in(q.dc_key)}, {rdb::out(q.rname, &q.ind), rdb::out(q.symmetry, &q.ind)});
    apply_name_and_symmetry_rules(q);
    q.sql.select("select count(*)  into :b0  from DC_Data where (type='N' and key=:b1)",
                 {rdb::in(q.dc_key)}, {rdb::out(q.nb_num)});
    std::vector<double> coefficients = read_numerators(q);

    // A long FIR continues in further blockettes 61 of the same stage, each
    // with the same leading fields and the count of what it holds. The count
    // of one record stays below 1000, so the header's width does not depend
    // on it.
    const char *header = "%.3s%04d%02d%s~%c%03d%03d%04d";
    std::size_t header_size =
        formatted_size(header, "061", 0, q.i, q.rname, q.symmetry, q.unit_in, q.unit_out, 0);
    if (!write_coefficient_records(q, b052, stage_row(q), header_size, coefficients,
                                   [&q, header](Record &record, int count) {
            record.begin(header, "061", 0, q.i, q.rname, q.symmetry, q.unit_in, q.unit_out, count);
        }))
        refuse_long_blockette(q, 61, "coefficients", q.nb_num, 0);
}

}  // namespace

void write_coefficients(Quorvex &q, TreeFile &b052)
{
    select_stage_row(
        q,
        "select dc_key ,unit_in ,unit_out ,tf_type into :b0:b1,:b2,:b3,:b4  from Coefficients where (((((sta=:b5 and net=:b6) and seedchan=:b7) and location=:b8) and :b9 between ondate and offdate) and stage_seq=:b10)",
        {rdb::out(q.dc_key, &q.ind), rdb::out(q.unit_in), rdb::out(q.unit_out),
         rdb::out(q.tf_type)});

    if (q.ind == -1) {
        // No coefficient set: an empty digital stage, type "D" whatever
        // tf_type says.
        announce_blockette(q, 54, q.i);
        Record record(stage_row(q));
        record.begin("%.3s%04d%c%02d%03d%03d%04d", "054", 0, 'D', q.i, q.unit_in, q.unit_out, 0);
        record.append_group(10, "%04d", 0);  // no numerators: the denominator count follows
        write_record(q.sql, b052, record);
        return;
    }
    if (q.lookup) {
        announce_blockette(q, 60, q.i);
        write_reference(q, b052, q.dc_key);
        return;
    }
    write_fir(q, b052);
}

}  // namespace quorvex
