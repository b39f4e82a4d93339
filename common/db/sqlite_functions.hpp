// SQL functions that the tools' statements expect from the database and that
// SQLite lacks: TO_DATE, TO_CHAR (for the masks the tools use) and the
// nominal-time function STRING2NOMINAL.
#pragma once

struct sqlite3;

namespace rdb {

// Returns an SQLite result code.
int register_sqlite_functions(sqlite3 *db);

}  // namespace rdb
