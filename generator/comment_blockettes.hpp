// Blockettes 51 (station comments) and 59 (channel comments).
#pragma once

#include <initializer_list>
#include <string>

#include "common/db/host.hpp"

namespace quorvex {

struct Quorvex;
class TreeFile;

// One blockette of type ("051" or "059") per row of the comment cursor sql
// (outputs comment_id, comment_level), in the order the database gives them.
// Every one carries the epoch's start and end, database dates converted to
// SEED times, not dates of the comment itself.
void write_comment_blockettes(Quorvex &q, TreeFile &file, const char *type, const char *sql,
                              std::initializer_list<rdb::In> inputs, const char *start, const char *end,
                              const std::string &row);

}  // namespace quorvex
