#pragma once

#include "common/db/session.hpp"

namespace quorvex {

// Database date "YYYY/MM/DD HH24:MI:SS" to SEED time "YYYY,DDD,HH:MM:SS".
// The day of the year comes from the database; a date it cannot convert ends
// the run through sql_error, so that no blank day of the year reaches a
// record. The result is written to seed[32] (callers keep their own copies:
// on_date, off_date).
void Convert_Date(rdb::Sql &sql, const char *date, char (&seed)[32]);

}  // namespace quorvex
