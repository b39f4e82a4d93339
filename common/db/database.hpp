// The database client: the operations every database tool needs, over SOCI.
//
//   connect, select into, open/fetch/close cursor, prepare (a statement text
//   built at run time), commit and release, rollback and release, and the
//   text of the last error.
//
// Every operation returns a status: 0, 1403 (no data) or negative (error,
// message in last_error()). Statement texts are given exactly as the tools
// state them, INTO list included; the layer strips the INTO list, binds the
// :bN inputs in order and keeps one prepared statement per distinct text for
// the life of the connection.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>

#include "common/db/host.hpp"
#include "common/db/status.hpp"

namespace rdb {

struct CachedStatement;

class Database;

// A cursor closes itself when it goes out of scope. Ending the connection
// (commit or rollback with release) detaches every cursor still open, so a
// cursor never reaches a statement of a released connection: a fetch or
// close after the release is an error status, never a touch of freed memory.
class Cursor {
public:
    Cursor() = default;
    ~Cursor();
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;
    bool is_open() const { return stmt_ != nullptr; }

private:
    friend class Database;
    Database *db_ = nullptr;          // set while open
    CachedStatement *stmt_ = nullptr; // set while open
    std::string dynamic_text_;        // set by prepare
};

class Database {
public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // connect_string: "user/password@alias". The alias names the database:
    // a SQLite file path (opened read-only), or a PostgreSQL URI.
    int connect(const std::string &connect_string);
    bool connected() const;

    int select_into(const char *sql, std::initializer_list<In> inputs,
                    Outputs outputs);

    int open(Cursor &cursor, const char *sql, std::initializer_list<In> inputs);
    int prepare(Cursor &cursor, const std::string &text);
    int open(Cursor &cursor, std::initializer_list<In> inputs);  // a prepared cursor
    int fetch(Cursor &cursor, Outputs outputs);
    int close(Cursor &cursor);

    int commit_release();
    int rollback_release();

    // Ends the connection's read transaction and begins a new one, its
    // prepared statements kept: a long-lived connection (a service's) then
    // sees what was committed since. No cursor may be open. Returns the
    // status (negative, with last_error(), when the server is gone).
    int renew_read_transaction();

    // Records an error that the caller found in what statements returned:
    // last_error() then gives message. Returns status.
    int report_error(int status, std::string message);

    // Copies the last error's text into buf (at most size bytes, no NUL)
    // and returns its length.
    std::size_t last_error(char *buf, std::size_t size) const;
    const std::string &last_error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rdb
