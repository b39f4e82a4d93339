// The writers of the response stage walk. Each one is called for the stage
// q.i of the current channel when its stage table has a row there; it
// prints its own progress line, reads the rest of its rows and appends its
// blockettes to the channel's open B052 file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/db/host.hpp"

namespace quorvex {

struct Quorvex;
class TreeFile;

// Polynomial row: blockette 62, or a reference 60 under USE_ABPOLY.
void write_polynomial(Quorvex &q, TreeFile &b052);

// Coefficients row: blockette 54 without dc_key, else a reference 60 under
// USE_LOOKUP, else blockette 61 (several when the FIR is long).
void write_coefficients(Quorvex &q, TreeFile &b052);

// Decimation row: blockette 57. DM.samprate lands in q.samprate.
void write_decimation(Quorvex &q, TreeFile &b052);

// Poles_Zeros row: blockette 53.
void write_poles_zeros(Quorvex &q, TreeFile &b052);

// Sensitivity row of stage q.i: blockette 58.
void write_stage_sensitivity(Quorvex &q, TreeFile &b052);

// Sensitivity row of stage 0: blockette 58, the channel's last record.
void write_channel_sensitivity(Quorvex &q, TreeFile &b052);

// Single-row selects over the current channel epoch: the inputs are the
// channel's keys (sta2, net2, seedchan, location) and the run date, and for
// a stage row also the stage q.i.
int select_channel_row(Quorvex &q, const char *sql, rdb::Outputs outputs);
int select_stage_row(Quorvex &q, const char *sql, rdb::Outputs outputs);

// "\n\t Generating Blockette N for STA.NET.CHAN.LOC (Stage S) ....".
void announce_blockette(const Quorvex &q, int blockette, std::int32_t stage);

// Blockette 60 pointing at dictionary blockette 41 or 42 with key.
void write_reference(Quorvex &q, TreeFile &b052, std::int32_t key);

// A blockette too long for one record that cannot be continued: the
// message, rollback with release, exit status 1. Nothing of it is written.
[[noreturn]] void refuse_long_blockette(Quorvex &q, int blockette, const char *what,
                                        std::int32_t count, std::size_t fit);

}  // namespace quorvex
