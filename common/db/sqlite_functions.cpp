#include "common/db/sqlite_functions.hpp"

#include <sqlite3.h>

#include <cstdio>

#include <string>
#include <string_view>

#include "common/db/date_text.hpp"

namespace rdb {
namespace {

// Dates live in SQLite as database-date text, so TO_DATE yields that text.
constexpr std::string_view mask_date = "YYYY/MM/DD HH24:MI:SS";
constexpr std::string_view mask_seed = "YYYY,DDD,HH24:MI:SS";
constexpr std::string_view mask_day = "DDD";

std::string_view text_arg(sqlite3_value *v)
{
    const unsigned char *p = sqlite3_value_text(v);
    return {reinterpret_cast<const char *>(p), static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

void report_bad_date(sqlite3_context *ctx, std::string_view value, std::string_view mask)
{
    std::string msg = "ORA-01861: literal does not match format string: '";
    msg.append(value).append("' is not a valid date for '").append(mask).append("'");
    sqlite3_result_error(ctx, msg.c_str(), -1);
}

void to_date(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string_view value = text_arg(argv[0]);
    std::string_view mask = text_arg(argv[1]);
    DateTime t;
    bool ok;
    if (mask == mask_date)
        ok = parse_database_date(value, t);
    else if (mask == mask_seed)
        ok = parse_seed_time(value, t);
    else
        return sqlite3_result_error(ctx, "TO_DATE: unsupported format mask", -1);
    if (!ok) return report_bad_date(ctx, value, mask);
    std::string s = format_database_date(t);
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void to_char(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string_view value = text_arg(argv[0]);
    std::string_view mask = text_arg(argv[1]);
    DateTime t;
    if (!parse_database_date(value, t)) return report_bad_date(ctx, value, mask_date);
    std::string s;
    if (mask == mask_day) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%03d", day_of_year(t));
        s = buf;
    } else if (mask == mask_date) {
        s = format_database_date(t);
    } else {
        return sqlite3_result_error(ctx, "TO_CHAR: unsupported format mask", -1);
    }
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void string2nominal(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string_view value = text_arg(argv[0]);
    DateTime t;
    if (!parse_database_date(value, t)) return report_bad_date(ctx, value, mask_date);
    sqlite3_result_double(ctx, nominal_seconds(t));
}

}  // namespace

int register_sqlite_functions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function(db, "TO_DATE", 2, flags, nullptr, to_date, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "TO_CHAR", 2, flags, nullptr, to_char, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "STRING2NOMINAL", 1, flags, nullptr, string2nominal,
                                     nullptr, nullptr);
    return rc;
}

}  // namespace rdb
