// The response sequence report shared by dovrak and selkam: the stages of
// one seqresp_id with their units and the detail of each stage.
#pragma once

#include <cstdint>

#include "common/db/session.hpp"

namespace reports {

// The host variables the report fills. None is fetched with an indicator:
// a NULL in any of these columns is a database error.
struct ResponseBuffers {
    // Stage (response)
    std::int32_t resp_nb = 0;
    char resp_type = ' ';  // selects the detail table
    std::int32_t resp_id = 0;
    std::int32_t unit_in = 0;
    std::int32_t unit_out = 0;
    char r_type = ' ';  // the letter printed as the stage's type
    char unitin[81] = "";
    char unitout[81] = "";

    // High-pass and low-pass filters
    char filter_type[3] = "";
    std::int32_t nb_pole = 0;
    float corner_freq = 0;
    float damping_value = 0;

    // Poles and zeros
    char type = ' ';
    float r_value = 0;
    float i_value = 0;

    // Polynomials
    char poly_type = ' ';
    float lower_bound = 0;
    float upper_bound = 0;
    float max_error = 0;
    std::int32_t nb_coeff = 0;
    std::int32_t pn_nb = 0;
    float pn_value = 0;

    // FIR filters
    char name[33] = "";
    char symmetry = ' ';
    float gain = 0;
};

inline constexpr const char *two_tabs = "\t\t";
inline constexpr const char *three_tabs = "\t\t\t";

// Prints the stages of seqresp_id, each line "\n" + indent + body. Unit
// names take unit_width characters (16, or 12 for any other value); FIR
// stages get their detail line only with with_fir. A stage whose unit has
// no name ends the sequence there, silently. Opens and closes its own
// cursors; a database error ends the process through sql_error.
void print_response_sequence(rdb::Sql &sql, ResponseBuffers &r, std::int32_t seqresp_id,
                             const char *indent, int unit_width, bool with_fir);

}  // namespace reports
