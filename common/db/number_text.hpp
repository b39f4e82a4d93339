// Numeric columns reach the host variables through their text, parsed
// strictly: a number stored as text that is no number, an integer beyond 32
// bits or a value that is not finite is a conversion error, never a value
// silently cut, wrapped or made 0 (what a lenient conversion of '12abc',
// 5000000005 or 'fast' gives).
#pragma once

#include <cstdint>
#include <string_view>

namespace rdb {

enum class NumberText { ok, not_a_number, out_of_range, not_finite };

// A decimal number, blanks around it allowed. A value with a fraction (a
// real stored in an integer column) is cut toward zero.
NumberText parse_int32(std::string_view text, std::int32_t &out);

// A decimal or exponent number, blanks around it allowed; finite only.
NumberText parse_real(std::string_view text, double &out);

}  // namespace rdb
