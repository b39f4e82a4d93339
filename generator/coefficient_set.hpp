// A coefficient set (DC, DC_Data) as blockettes 41 and 61 both write it: the
// same name and symmetry rules, the same numerators, and the same way of
// continuing a set too long for one record.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "generator/record.hpp"

namespace quorvex {

struct Quorvex;
class TreeFile;

// q.rname loses its trailing blanks and every "." becomes "_"; q.symmetry
// becomes its SEED code: "O" -> "B", "E" -> "C", anything else -> "A" (so a
// NULL symmetry, which keeps the code mapped last, always gives "A").
void apply_name_and_symmetry_rules(Quorvex &q);

// Numerator rows 1 to q.nb_num of q.dc_key; a missing row repeats the value
// before it.
std::vector<double> read_numerators(Quorvex &q);

// Writes the coefficients, "%14.7E" each, as consecutive records of row,
// each filled before the next begins: begin(record, count) formats the
// leading fields with the number of coefficients that record holds
// (header_size characters when the count is 0). Returns false, writing
// nothing, when not one coefficient fits.
bool write_coefficient_records(Quorvex &q, TreeFile &file, const std::string &row, std::size_t header_size,
                               const std::vector<double> &coefficients,
                               const std::function<void(Record &, int)> &begin);

}  // namespace quorvex
