#include "generator/spine.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generator/disk_tree.hpp"
#include "common/cli/epoch_listing.hpp"
#include "generator/generator.hpp"
#include "common/cli/run_arguments.hpp"

namespace quorvex {
namespace {

// A refused argument, before any database access.
int refuse(const char *message)
{
    std::printf("\n Error: %s\n\n", message);
    return 1;
}

}  // namespace

int run(int argc, char **argv)
{
    // A file grown past the size limit fails its write, which the run then
    // reports, instead of killing the process in the middle of a record.
    std::signal(SIGXFSZ, SIG_IGN);

    if (argc != 2 && argc != 5) {
        rdb::print_run_usage("Quorvex <sta.net[:chan]> [<YYYY/MM/DD> <HH:MM:SS> <a|s|c>]");
        return 0;
    }

    rdb::StationArgument arg;
    if (int status = rdb::refuse_station_argument(rdb::split_station_argument(argv[1], arg)); status >= 0)
        return status;
    Request request;
    request.station = arg.sta2;
    request.network = arg.net2;
    request.channel = arg.cha;
    if (argc == 5) {
        if (std::strlen(argv[2]) > 10) return refuse("Date longer than YYYY/MM/DD.");
        if (std::strlen(argv[3]) > 8) return refuse("Time longer than HH:MM:SS.");
        request.date = std::string(argv[2]) + " " + argv[3];
    }

    rdb::Sql sql;
    try {
        sql.connect();
        if (argc == 2) {
            char sta[7] = "", net[9] = "", ondate[32] = "", offdate[32] = "";
            return rdb::list_station_epochs(sql, arg.sta2, arg.net2, sta, net, ondate, offdate);
        }
        request.mode = argv[4];
        if (const char *root = std::getenv("DATA_ROOT")) request.data_root = root;
        request.lookup = std::getenv("USE_LOOKUP") != nullptr;
        request.abpoly = std::getenv("USE_ABPOLY") != nullptr;
        DiskTree tree;
        // A station-only run ends without the disconnect line.
        if (!generate(sql, tree, request, stdout).station_only) std::printf("\n Disconnecting from ORACLE ...\n\n");
        sql.commit_release();
        return 0;
    } catch (const rdb::RunEnd &end) {
        return sql.end(end);
    }
}

}  // namespace quorvex
