#include "generator/codes.hpp"

#include <cctype>
#include <cstring>

#include "generator/record.hpp"
#include "generator/state.hpp"

namespace quorvex {
namespace {

void check_code(Quorvex &q, const char *what, const char *code, std::size_t width)
{
    for (const char *c = code; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != ' ')
            q.sql.stop(rdb::Sql::Release::commit,
                       "\n Error: %s code \"%s\" of station %s.%s holds a character other than a letter, a digit "
                       "or a blank.\n\n",
                       what, printable_text(code).c_str(), q.sta2, q.net2);
    if (std::strlen(code) > width)
        q.sql.stop(rdb::Sql::Release::commit,
                   "\n Error: %s code \"%s\" of station %s.%s is longer than its %zu characters.\n\n", what, code,
                   q.sta2, q.net2, width);
}

}  // namespace

void check_station_codes(Quorvex &q)
{
    check_code(q, "Station", q.sta, 5);
    check_code(q, "Network", q.net, 2);
}

void check_codes(Quorvex &q)
{
    check_station_codes(q);
    check_code(q, "Channel", q.seedchan, 3);
    check_code(q, "Location", q.location_dir, 2);
}

}  // namespace quorvex
