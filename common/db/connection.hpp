// Opening a connection: which backend a database alias names, and how each
// backend's session is set up for the tools (read only, one transaction for
// the whole run). Internal to the database layer.
#pragma once

#include <string>

#include "statement_text.hpp"

namespace soci {
class session;
}

namespace rdb {

// Opens session on the database that alias names, logged in as user, and
// returns the dialect of its backend. Throws a std::exception on failure.
//   alias: a SQLite file path (opened read only), or a PostgreSQL URI
//   postgresql://HOST[:PORT]/DBNAME[?KEY=VALUE&...], or libpq key/value pairs.
Dialect open_session(soci::session &session, const std::string &alias, const std::string &user,
                     const std::string &password);

// Starts a new read-only transaction after a failed statement: PostgreSQL
// refuses every statement after an error until the transaction ends.
void restart_read_transaction(soci::session &session);

}  // namespace rdb
