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

std::vector<std::string> read_numerators(Quorvex &q)
{
    std::vector<std::string> coefficients;
    coefficients.reserve(q.nb_num > 0 ? static_cast<std::size_t>(q.nb_num) : 0);
    char text[64];
    for (q.j = 1; q.j <= q.nb_num; ++q.j) {
        q.sql.select(
            "select coefficient ,error into :b0,:b1:b2  from DC_Data where ((type='N' and key=:b3) and row_key=:b4)",
            {rdb::in(q.dc_key), rdb::in(q.j)}, {rdb::out(q.coeff), rdb::out(q.error, &q.ind)});
        std::snprintf(text, sizeof text, "%14.7E", static_cast<double>(q.coeff));
        coefficients.emplace_back(text);
    }
    return coefficients;
}

bool write_coefficient_records(Quorvex &q, TreeFile &file, std::size_t header_size,
                               const std::vector<std::string> &coefficients,
                               const std::function<void(Record &, int)> &begin)
{
    std::vector<std::size_t> runs = split_into_records(header_size, coefficients);
    if (runs.empty()) return false;
    std::size_t next = 0;
    for (std::size_t count : runs) {
        Record record;
        begin(record, static_cast<int>(count));
        for (std::size_t k = 0; k < count; ++k) record.append_text(coefficients[next++]);
        write_record(q.sql, file, record);
    }
    return true;
}

}  // namespace quorvex
