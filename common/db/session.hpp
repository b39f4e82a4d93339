// What every database tool does with its one connection: the built-in
// account, the connect message, the checking rule after each statement and
// the one error handler sql_error.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "database.hpp"

namespace rdb {

// The built-in account, the same in all tools.
inline constexpr const char *username = "vordadba";
inline constexpr const char *password = "qmtw4rvyle";

// Where the database is: RESPONSE_DB, or the default file below.
inline constexpr const char *default_database = "response.db";
std::string service_alias();

class Sql {
public:
    std::int32_t SQLCODE = 0;

    // Connect sequence: connect (checked), then the connected line.
    void connect();

    // Statements under the checking rule: the status is copied into SQLCODE
    // and a negative one ends the process through sql_error. The returned
    // status is then 0 or 1403.
    int select(const char *sql, std::initializer_list<In> inputs, std::initializer_list<Out> outputs);
    void open(Cursor &cursor, const char *sql, std::initializer_list<In> inputs);
    void prepare(Cursor &cursor, const std::string &text);
    void open(Cursor &cursor, std::initializer_list<In> inputs);
    int fetch(Cursor &cursor, std::initializer_list<Out> outputs);
    void close(Cursor &cursor);
    void commit_release();
    void rollback_release();

    // The one statement exempt from the checking rule (date conversion):
    // SQLCODE is set, nothing else happens.
    int select_unchecked(const char *sql, std::initializer_list<In> inputs,
                         std::initializer_list<Out> outputs);

    // Prints the database's message, rolls back with release, exits 1.
    [[noreturn]] void sql_error();

    Database &database() { return db_; }

private:
    int check(int status);
    Database db_;
};

}  // namespace rdb
