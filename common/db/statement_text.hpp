// The statement texts of the tools are kept exactly as the tools state them,
// embedded-SQL style: "select a ,b into :b0,:b1:b2  from T where k=:b3".
// Before a client library sees such a text the INTO list is taken out (the
// outputs are bound by position instead) and the remaining :bN placeholders
// become the positional inputs.
#pragma once

#include <string>
#include <vector>

namespace rdb {

struct ParsedStatement {
    std::string sql;                  // the text without its INTO list
    std::vector<bool> into_indicator; // one per INTO item: has an indicator
    int inputs = 0;                   // :bN placeholders left in sql
};

// Throws std::invalid_argument on a malformed INTO list.
ParsedStatement parse_statement(const std::string &text);

// Number of :name placeholders outside quoted literals.
int count_placeholders(const std::string &sql);

enum class Dialect { sqlite, postgresql };

// Rewrites what a backend cannot parse as written, or would read otherwise,
// and nothing else: SQLite has no qualified function names; PostgreSQL
// reserves OFFSET and escapes LIKE patterns with a backslash.
std::string adapt_to_dialect(const std::string &sql, Dialect dialect);

}  // namespace rdb
