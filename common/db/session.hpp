// What every database tool does with its one connection: the built-in
// account, the connect message, the checking rule after each statement and
// the one error handler sql_error.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

#include "common/db/database.hpp"
#include "common/db/run_end.hpp"

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
    // The connection alone, to the database alias names, without the
    // line: for programs whose standard output is their product.
    void connect_to(const std::string &alias);

    // Statements under the checking rule: the status is copied into SQLCODE
    // and a negative one ends the process through sql_error. The returned
    // status is then 0 or 1403.
    int select(const char *sql, std::initializer_list<In> inputs, Outputs outputs);
    void open(Cursor &cursor, const char *sql, std::initializer_list<In> inputs);
    void prepare(Cursor &cursor, const std::string &text);
    void open(Cursor &cursor, std::initializer_list<In> inputs);
    int fetch(Cursor &cursor, Outputs outputs);
    void close(Cursor &cursor);
    void commit_release();
    void rollback_release();

    // A whole cursor: opens it, fetches every row into outputs and calls
    // row() after each fetch, then closes it. A row() that returns false
    // stops the loop there (the cursor still closes).
    template <class Row>
    void for_each_row(const char *sql, std::initializer_list<In> inputs, Outputs outputs,
                      Row &&row)
    {
        Cursor cursor;
        open(cursor, sql, inputs);
        rows_of(cursor, outputs, row);
    }
    // The same over a cursor prepared from a run-time text, without inputs.
    template <class Row>
    void for_each_row(const std::string &text, Outputs outputs, Row &&row)
    {
        Cursor cursor;
        prepare(cursor, text);
        open(cursor, {});
        rows_of(cursor, outputs, row);
    }

    using Release = rdb::Release;

    // The one way a run stops early: throws RunEnd with status 1, the
    // message (printf format) as it stands and release.
    [[noreturn]] void stop(Release release, const char *format, ...) __attribute__((format(printf, 3, 4)));

    // Ends the run with the database's message, to be rolled back with
    // release, status 1.
    [[noreturn]] void sql_error();
    // The same for an error the caller found in what statements returned.
    [[noreturn]] void sql_error(int status, const std::string &message);

    // Where a program catches RunEnd: prints its text on standard output,
    // ends the connection as it says (without checking: a failing end must
    // not report twice) and returns its status.
    int end(const RunEnd &run_end);

    Database &database() { return db_; }

private:
    int check(int status);

    template <class Row>
    void rows_of(Cursor &cursor, Outputs outputs, Row &row)
    {
        while (fetch(cursor, outputs) != no_data) {
            if constexpr (std::is_same_v<std::invoke_result_t<Row &>, bool>) {
                if (!row()) return;
            } else {
                row();
            }
        }
        close(cursor);
    }

    Database db_;
};

}  // namespace rdb
