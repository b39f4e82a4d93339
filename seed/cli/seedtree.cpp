// seedtree: reads a header tree and writes what is made of it, one
// subcommand per file (command_*.cpp):
//
//   list        station and channel epochs
//   volume      a dataless SEED 2.4 volume
//   stationxml  an FDSN StationXML 1.2 document
//   check       findings on responses and epochs
//   response    amplitude and phase at log-spaced frequencies
//   resp        RESP files
//   plot        Bode plots
//   site        a static web site
//
// Exit status: 0 done, 1 failed ("seedtree: " and the reason on standard
// error), 2 usage error (one line and a hint on standard error).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <new>
#include <vector>

#include "seed/cli/commands.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/reader/error.hpp"
#include "seed/reader/message_text.hpp"
#include "seed/files/output_target.hpp"
#include "common/cli/command_line.hpp"

namespace seed {

bool valid_station_code(const std::string &code)
{
    std::size_t dot = code.find('.');
    if (dot == std::string::npos) return false;
    std::string_view c = code;
    return valid_code_part(c.substr(0, dot), 1, 5, false) && valid_code_part(c.substr(dot + 1), 1, 2, false);
}

void note_dropped_repeats(std::size_t dropped)
{
    if (dropped > 0) std::fprintf(stderr, "seedtree: note: dropped %zu identical repeated epoch(s)\n", dropped);
}

}  // namespace seed

namespace {

int failure(const std::string &message)
{
    std::fflush(stdout);
    std::fprintf(stderr, "seedtree: %s\n", seed::printable(message).c_str());
    return 1;
}

// The name of the subcommand on the command line, or "".
std::string parsed_name(const std::vector<seed::Subcommand> &subcommands)
{
    for (const seed::Subcommand &s : subcommands)
        if (s.app->parsed()) return s.app->get_name();
    return "";
}

int usage_error(const std::string &message, const std::string &command)
{
    std::fprintf(stderr, "seedtree: error: %s\nRun 'seedtree%s --help' for usage.\n",
                 seed::printable(message).c_str(), command.empty() ? "" : (" " + command).c_str());
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    CLI::App app{"Reads a header tree (the blockette files Quorvex writes) and writes SEED metadata made of it.",
                 "seedtree"};
    app.set_version_flag("--version", "seedtree " SEEDTREE_VERSION);
    app.require_subcommand(1);
    app.footer("Exit status: 0 done, 1 failed, 2 usage error.");

    const std::vector<seed::Subcommand> subcommands = {
        seed::add_list_command(app),
        seed::add_volume_command(app),
        seed::add_stationxml_command(app),
        seed::add_check_command(app),
        seed::add_response_command(app),
        seed::add_resp_command(app),
        seed::add_plot_command(app),
        seed::add_site_command(app),
    };

    // CLI11 would only say that a subcommand is required.
    if (argc > 1 && argv[1][0] != '-' &&
        app.get_subcommands([&](CLI::App *sub) { return sub->get_name() == argv[1]; }).empty())
        return usage_error(std::string("unknown subcommand '") + argv[1] + "'", "");

    if (auto status = rdb::parse_command_line(
            app, argc, argv, [&](const char *message) { return usage_error(message, parsed_name(subcommands)); }))
        return *status;

    try {
        for (const seed::Subcommand &s : subcommands)
            if (s.app->parsed()) return s.run();
        return usage_error("a subcommand is required", "");
    } catch (const seed::UsageError &e) {
        return usage_error(e.what(), parsed_name(subcommands));
    } catch (const seed::OutputConflict &e) {
        return usage_error(e.what(), parsed_name(subcommands));
    } catch (const seed::Error &e) {
        return failure(e.what());
    } catch (const std::bad_alloc &) {
        return failure("out of memory");
    } catch (const std::exception &) {
        return failure("internal error: please report how this run was made");
    }
}
