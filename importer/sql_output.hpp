// The SQL text of an import: INSERT statements that load unchanged into
// SQLite (sqlite3 -bail) and PostgreSQL (psql -v ON_ERROR_STOP=1), as
// one transaction. Literals come from the routines below only.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "seed/files/output_target.hpp"

namespace importer {

// A text literal: single quotes doubled. Failure for a NUL or another
// control character, which no column of the response tables holds, and for
// a backslash, which a PostgreSQL session with standard_conforming_strings
// off would read as an escape (the callers refuse them first, with a
// message naming where).
std::string sql_text(std::string_view text);
// A real in shortest round-trip form ("20", "1.5e-05"); Failure when not
// finite.
std::string sql_real(double value);
std::string sql_integer(long long value);
constexpr const char *sql_null = "NULL";

// Rows of one table, written as INSERTs of at most a few hundred rows each
// (both backends cap the length of one statement).
class Rows {
public:
    Rows(std::string table, std::string columns) : table_(std::move(table)), columns_(std::move(columns)) {}
    // One row: its values, already literals.
    void add(std::initializer_list<std::string> values);
    bool empty() const { return rows_.empty(); }
    std::string text() const;

private:
    std::string table_;
    std::string columns_;
    std::vector<std::string> rows_;
};

// Where the SQL goes: a temporary file (tmpfile), copied to its
// destination only when the import has succeeded.
class SqlOutput {
public:
    SqlOutput();
    ~SqlOutput();
    SqlOutput(const SqlOutput &) = delete;
    SqlOutput &operator=(const SqlOutput &) = delete;

    void write(std::string_view text);
    void write(const Rows &rows)
    {
        if (!rows.empty()) write(rows.text());
    }
    // The whole text to the target: a file appears whole or not at all.
    // Failure on any error.
    void deliver(const seed::OutputTarget &target);

private:
    std::FILE *file_ = nullptr;
};

}  // namespace importer
