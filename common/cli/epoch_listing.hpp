// The epoch listing of a station, the one-argument form of the generator
// and of the interval driver: one line per epoch in order of ondate, the
// values as fetched (blank-filled), then the disconnect and status 1.
#pragma once

#include <cstddef>
#include <cstdio>

#include "common/db/session.hpp"

namespace rdb {

template <std::size_t W>
int list_station_epochs(Sql &sql, const char *sta2, const char *net2, char (&sta)[7], char (&net)[9],
                        char (&ondate)[W], char (&offdate)[W])
{
    sql.for_each_row(
        "select sta ,net ,ondate ,offdate  from station_data where (sta=:b0 and net=:b1) order by ondate",
        {in(sta2), in(net2)}, {out(sta), out(net), out(ondate), out(offdate)},
        [&] { std::printf("\n %s\t%s\t%s\t%s", sta, net, ondate, offdate); });
    std::printf("\n\n Disconnecting from ORACLE ...\n\n");
    sql.commit_release();
    return 1;
}

}  // namespace rdb
