#include "generator/convert_date.hpp"

#include <cstdio>
#include <cstring>


namespace quorvex {

void Convert_Date(rdb::Sql &sql, const char *date, char (&seed)[32])
{
    // A padded copy, so that the fixed positions below stay inside the
    // buffer whatever the input's length.
    char in[32] = {};
    std::strncpy(in, date, sizeof in - 1);
    char ddd[32];
    std::memset(ddd, ' ', sizeof ddd - 1);
    ddd[sizeof ddd - 1] = '\0';
    sql.select(
        "select TO_CHAR(TO_DATE(:b0,'YYYY/MM/DD HH24:MI:SS'),'DDD') into :b1  from DUAL",
        {rdb::in(in)}, {rdb::out(ddd)});
    std::snprintf(seed, sizeof seed, "%.4s,%.3s,%.2s:%.2s:%.2s", in, ddd, in + 11, in + 14, in + 17);
}

}  // namespace quorvex
