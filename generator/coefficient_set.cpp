#include "coefficient_set.hpp"

#include <cstdio>

#include "response_limits.hpp"
#include "state.hpp"
#include "text_util.hpp"
#include "tree_file.hpp"

namespace quorvex {

void apply_name_and_symmetry_rules(Quorvex &q)
{
    rdb::Remove_Blank(q.rname);
    for (char *c = q.rname; *c; ++c)
        if (*c == '.') *c = '_';
    q.symmetry = q.symmetry == 'O' ? 'B' : q.symmetry == 'E' ? 'C' : 'A';
}

std::vector<double> read_numerators(Quorvex &q)
{
    std::vector<double> coefficients;
    coefficients.reserve(q.nb_num > 0 ? static_cast<std::size_t>(q.nb_num) : 0);
    for (q.j = 1; q.j <= q.nb_num; ++q.j) {
        q.sql.select(
            "select coefficient ,error into :b0,:b1:b2  from DC_Data where ((type='N' and key=:b3) and row_key=:b4)",
            {rdb::in(q.dc_key), rdb::in(q.j)}, {rdb::out(q.coeff), rdb::out(q.error, &q.ind)});
        coefficients.push_back(q.coeff);
    }
    return coefficients;
}

bool write_coefficient_records(Quorvex &q, TreeFile &file, const std::string &row, std::size_t header_size,
                               const std::vector<double> &coefficients,
                               const std::function<void(Record &, int)> &begin)
{
    std::vector<std::string> groups;
    groups.reserve(coefficients.size());
    for (double c : coefficients) groups.emplace_back(formatted_size("%14.7E", c), 'x');
    std::vector<std::size_t> runs = split_into_records(header_size, groups);
    if (runs.empty()) return false;
    std::size_t next = 0;
    for (std::size_t count : runs) {
        Record record(row);
        begin(record, static_cast<int>(count));
        // Every coefficient is field 9 of blockettes 41 and 61 alike.
        for (std::size_t k = 0; k < count; ++k) record.append_group(9, "%14.7E", coefficients[next++]);
        write_record(q.sql, file, record);
    }
    return true;
}

}  // namespace quorvex
