// Status codes of a statement: 0 success, 1403 no data, negative error.
// Each negative value is the number that the tools' error messages print
// with its condition (ORA-01422 for two rows, ORA-01405 for a NULL without
// indicator, ...), the numbers operators' scripts look for.
#pragma once

namespace rdb {

constexpr int ok = 0;
constexpr int no_data = 1403;

constexpr int err_generic = -1;
constexpr int err_too_many_rows = -1422;   // single-row select found two rows
constexpr int err_null_no_indicator = -1405;
constexpr int err_truncated = -1406;       // value longer than its host variable
constexpr int err_invalid_number = -1722;  // a numeric column holds text that is no number
constexpr int err_integer_overflow = -1455;  // beyond the 32 bits of an integer host variable
constexpr int err_numeric_overflow = -1426;  // not a finite number
constexpr int err_bad_date = -1861;        // text does not match the date form
constexpr int err_not_connected = -3114;
constexpr int err_cursor_state = -1001;    // fetch/close of a cursor not open

}  // namespace rdb
