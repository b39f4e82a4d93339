// How many repeated groups a response blockette can carry in one record.
//
// A record holds at most max_record_size characters. Blockettes 53 and 62
// (and dictionary blockette 42) have a single count field in their fixed
// part, so an over-long one cannot be continued and is refused. A FIR
// (blockette 61, dictionary blockette 41) is continued the way the SEED
// standard continues long coefficient blockettes: further blockettes of the
// same stage with the same leading fields, each counting only the
// coefficients it holds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "generator/record.hpp"

namespace quorvex {

// Characters of one repeated group. The conversions give every
// single-precision value (and inf or nan) exactly this width: the exponent
// never needs a third digit.
constexpr std::size_t pz_group_size = 48;          // zero or pole: "%12.5E" x 4
constexpr std::size_t fir_coefficient_size = 14;   // "%14.7E"
constexpr std::size_t polynomial_group_size = 24;  // "%12.5E%12.5E"

// Groups of group_size characters that fit behind fixed_size characters.
constexpr std::size_t groups_that_fit(std::size_t fixed_size, std::size_t group_size)
{
    return fixed_size >= max_record_size ? 0 : (max_record_size - fixed_size) / group_size;
}

// Splits formatted groups into consecutive runs that each fit one record
// behind a fixed part of header_size characters, filling every record
// before the next begins. Returns the number of groups of each run; no
// groups give one empty run. Empty when not even one group fits.
std::vector<std::size_t> split_into_records(std::size_t header_size,
                                            const std::vector<std::string> &groups);
// The same for count groups of group_size characters each.
std::vector<std::size_t> split_into_records(std::size_t header_size, std::size_t count, std::size_t group_size);

}  // namespace quorvex
