// respdb: work straight on the response database, in one process.
//
//   respdb export [selection] [--tree DIR] [--stationxml FILE|-] [--volume FILE] ...
//   respdb serve [--listen ADDR:PORT] [--threads N] ...
//
// Exit status: 0 done, 1 failed ("respdb: " and the reason on standard
// error), 2 usage error (one line and a hint on standard error).
#include <CLI/CLI.hpp>

#include <malloc.h>

#include <cstdio>
#include <new>
#include <stdexcept>

#include "respdb/commands.hpp"
#include "common/cli/command_line.hpp"

namespace {

int usage_error(const std::string &message, const std::string &command)
{
    std::fprintf(stderr, "respdb: error: %s\nRun 'respdb%s --help' for usage.\n", message.c_str(),
                 command.empty() ? "" : (" " + command).c_str());
    return 2;
}

int failure(const std::string &message)
{
    std::fflush(stdout);
    std::fprintf(stderr, "respdb: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    // The workers build their stations' records in memory and let them go:
    // each arena grows in large steps instead of a page fault's worth at a
    // time.
    mallopt(M_TOP_PAD, 64 << 20);
    CLI::App app{"Works straight on the response database: exports header trees, StationXML and dataless SEED "
                 "of a network in one process, and serves them as an FDSN station web service.",
                 "respdb"};
    app.set_version_flag("--version", "respdb " RESPDB_VERSION);
    app.require_subcommand(1);
    app.footer("Exit status: 0 done, 1 failed, 2 usage error.");

    const std::vector<respdb::Command> commands = {respdb::add_export_command(app), respdb::add_serve_command(app)};

    if (argc > 1 && argv[1][0] != '-' &&
        app.get_subcommands([&](CLI::App *sub) { return sub->get_name() == argv[1]; }).empty())
        return usage_error(std::string("unknown subcommand '") + argv[1] + "'", "");

    std::string name;
    if (auto status = rdb::parse_command_line(app, argc, argv, [&](const char *message) {
            for (const respdb::Command &c : commands)
                if (c.app->parsed()) name = c.app->get_name();
            return usage_error(message, name);
        }))
        return *status;

    try {
        for (const respdb::Command &c : commands)
            if (c.app->parsed()) {
                name = c.app->get_name();
                return c.run();
            }
        return usage_error("a subcommand is required", "");
    } catch (const respdb::UsageError &e) {
        return usage_error(e.what(), name);
    } catch (const std::bad_alloc &) {
        return failure("out of memory");
    } catch (const std::exception &e) {
        return failure(e.what());
    }
}
