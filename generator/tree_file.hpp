// Records into the files of the header tree, and how a file that cannot be
// opened or written ends the run.
#pragma once

#include <memory>
#include <string>

#include "common/db/session.hpp"
#include "generator/record.hpp"
#include "generator/tree_sink.hpp"

namespace quorvex {

struct Quorvex;

// Opens a tree file for appending or ends the run through open_failure.
std::unique_ptr<TreeFile> open_append_or_fail(Quorvex &q, const std::string &path);

// Frames the record and writes it. A record with a value that does not fit
// its field, a record longer than 9999 characters or a failed write ends
// the run with status 1.
void write_record(rdb::Sql &sql, TreeFile &file, Record &record);

// "\n Error: Couldn't open file %s\n\n", commit with release, status 1.
[[noreturn]] void open_failure(rdb::Sql &sql, const std::string &path);

// "\n Error: Couldn't write file %s: REASON\n\n" (errno), commit with
// release, status 1: a record that did not reach its file must not end as
// a success.
[[noreturn]] void write_failure(rdb::Sql &sql, const std::string &path);

}  // namespace quorvex
