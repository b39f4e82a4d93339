#include "generator/seed_layout.hpp"
#include "generator/coefficient_set.hpp"

#include <cstdio>

#include "generator/response_limits.hpp"
#include "generator/run_cache.hpp"
#include "generator/state.hpp"
#include "common/cli/text_util.hpp"
#include "generator/tree_file.hpp"

namespace quorvex {

void apply_name_and_symmetry_rules(Quorvex &q)
{
    rdb::copy_text(q.rname, fir_record_name(q.rname));
    q.symmetry = seed_symmetry(q.symmetry);
}

std::vector<double> read_numerators(Quorvex &q)
{
    // One cursor over rows 1 to nb_num gives what reading them one by one
    // gives, in a fraction of the statements: a row_key missing from the
    // sequence repeats the value before it (the host variables keep what
    // they held), a row_key found twice is an error, as a single-row select
    // finding two rows is. The coefficients' errors are not read: no
    // blockette carries them.
    const std::pair<std::int32_t, std::int32_t> key{q.dc_key, q.nb_num};
    if (q.cache) {
        if (auto hit = q.cache->numerators.find(key); hit != q.cache->numerators.end()) {
            q.coeff = hit->second.last;
            q.j = q.nb_num + 1;
            return hit->second.values;
        }
    }
    std::vector<double> coefficients;
    coefficients.reserve(q.nb_num > 0 ? static_cast<std::size_t>(q.nb_num) : 0);
    double previous = q.coeff;
    std::int32_t row_key = 0;
    // Whatever the run held before shows only when row 1 is missing.
    bool from_row_one = false;
    q.sql.for_each_row(
        "select row_key ,coefficient  from DC_Data where (((type='N' and key=:b0) and row_key>=:b1) and row_key<=:b2) order by row_key",
        {rdb::in(q.dc_key), rdb::in(1), rdb::in(q.nb_num)}, {rdb::out(row_key), rdb::out(q.coeff)}, [&] {
            if (static_cast<std::size_t>(row_key) <= coefficients.size())
                q.sql.sql_error(rdb::err_too_many_rows,
                                "ORA-01422: exact fetch returns more than requested number of rows: coefficient " +
                                    std::to_string(row_key) + " of DC_Data key " + std::to_string(q.dc_key));
            if (coefficients.empty()) from_row_one = row_key == 1;
            coefficients.resize(static_cast<std::size_t>(row_key) - 1, previous);
            coefficients.push_back(q.coeff);
            previous = q.coeff;
        });
    coefficients.resize(q.nb_num > 0 ? static_cast<std::size_t>(q.nb_num) : 0, previous);
    q.j = q.nb_num + 1;
    if (q.cache && from_row_one) q.cache->numerators[key] = {coefficients, q.coeff};
    return coefficients;
}

bool write_coefficient_records(Quorvex &q, TreeFile &file, const std::string &row, std::size_t header_size,
                               const std::vector<double> &coefficients,
                               const std::function<void(Record &, int)> &begin)
{
    // Single-precision values, inf and nan alike, take exactly 14 characters.
    std::vector<std::size_t> runs = split_into_records(header_size, coefficients.size(), fir_coefficient_size);
    if (runs.empty()) return false;
    std::size_t next = 0;
    for (std::size_t count : runs) {
        Record record(row);
        begin(record, static_cast<int>(count));
        // Every coefficient is field 9 of blockettes 41 and 61 alike.
        for (std::size_t k = 0; k < count; ++k) record.append_group(9, SEED_FIR_COEFFICIENT, coefficients[next++]);
        write_record(q.sql, file, record);
    }
    return true;
}

}  // namespace quorvex
