// A polynomial (PN, PN_Data) as blockettes 42 and 62 both write it: the
// key offset of its lookup key and its coefficient groups.
#pragma once

#include <cstdint>

namespace quorvex {

struct Quorvex;
class Record;

// Added to a polynomial's key wherever it is written as a dictionary lookup
// key (blockette 42, and the blockette 60 that refers to it), so that
// polynomial keys stay apart from the coefficient sets' own keys.
constexpr std::int32_t polynomial_key_offset = 5000;

// pn_key plus the offset; a key too large for that gives INT32_MAX, which
// no lookup key field holds, instead of overflowing.
std::int32_t polynomial_lookup_key(std::int32_t pn_key);

// Appends the coefficient rows 1 to q.nb_coeff of q.pn_key to record, each
// as value and error (always 0.0), "%12.5E%12.5E", the value being field
// first_field. A polynomial cannot continue in a second blockette: when its
// groups cannot all fit behind what record already holds, returns false
// without reading a row.
bool append_polynomial_coefficients(Quorvex &q, Record &record, int first_field);

}  // namespace quorvex
