// A report that did not reach standard output (a full disk, /dev/full, a
// closed pipe) must not end as a success.
#pragma once

namespace rdb {

// Flushes standard output. On a write error, now or earlier, prints
// "PROGRAM: cannot write the report to standard output: REASON" on standard
// error and returns 1; otherwise returns status.
int finish_standard_output(const char *program, int status);

}  // namespace rdb
