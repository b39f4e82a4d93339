#include "generator/seed_layout.hpp"
#include "generator/polynomial.hpp"

#include <cstdint>

#include "generator/record.hpp"
#include "generator/response_limits.hpp"
#include "generator/state.hpp"

namespace quorvex {

std::int32_t polynomial_lookup_key(std::int32_t pn_key)
{
    return pn_key > INT32_MAX - polynomial_key_offset ? INT32_MAX : pn_key + polynomial_key_offset;
}

bool append_polynomial_coefficients(Quorvex &q, Record &record, int first_field)
{
    std::size_t fit = groups_that_fit(record.size(), polynomial_group_size);
    if (q.nb_coeff > 0 && static_cast<std::size_t>(q.nb_coeff) > fit) return false;
    // A missing row leaves pn_value as it was: the previous value repeats.
    for (q.j = 1; q.j <= q.nb_coeff; ++q.j) {
        q.sql.select("select pn_value into :b0  from PN_Data where (key=:b1 and row_key=:b2)",
                     {rdb::in(q.pn_key), rdb::in(q.j)}, {rdb::out(q.pn_value)});
        record.append_group(first_field, SEED_POLYNOMIAL_GROUP, static_cast<double>(q.pn_value), 0.0);
    }
    return true;
}

}  // namespace quorvex
