// Opening a connection: which backend a database alias names, and how each
// backend's session is set up for the tools (read only, one transaction for
// the whole run). Internal to the database layer.
#pragma once

#include <string>

#include "common/db/statement_text.hpp"

namespace soci {
class session;
}

namespace rdb {

// Where a database alias points. The backend is chosen by the alias's form
// alone, never by what it contains:
//   postgresql://HOST[:PORT]/DBNAME[?KEY=VALUE&...] or postgres://...
//   postgresql:KEY=VALUE ...       libpq key/value pairs
//   sqlite:PATH, or a plain PATH   a SQLite file, opened read only
// target: the SQLite path, or the whole libpq connection string with the
// timeouts and the account.
struct DatabaseAddress {
    Dialect dialect;
    std::string target;
};
DatabaseAddress resolve_alias(const std::string &alias, const std::string &user, const std::string &password);

// Opens session on the database that alias names, logged in as user, and
// returns the dialect of its backend. Throws a std::exception on failure.
Dialect open_session(soci::session &session, const std::string &alias, const std::string &user,
                     const std::string &password);

// Starts a new read-only transaction after a failed statement: PostgreSQL
// refuses every statement after an error until the transaction ends.
void restart_read_transaction(soci::session &session);

// Resets every prepared statement of a SQLite session: one stepped but not
// reset (a single-row select) holds its read snapshot open past the
// transaction's end, so that the file's later contents would never be seen.
void reset_sqlite_statements(soci::session &session);

}  // namespace rdb
