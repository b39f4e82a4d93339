// seedtree: reads a header tree and writes what is made of it.
//
//   seedtree list ROOT
//   seedtree volume ROOT -o FILE|- [--station STA.NET]... [--label TEXT] [--organization TEXT]
//
// Exit status: 0 done, 1 failed ("seedtree: " and the reason on standard
// error), 2 usage error (one line and a hint on standard error).
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <new>

#include "commands.hpp"
#include "error.hpp"
#include "volume.hpp"

namespace seed {

bool valid_station_code(const std::string &code)
{
    std::size_t dot = code.find('.');
    if (dot == std::string::npos || dot < 1 || dot > 5 || code.size() - dot - 1 < 1 || code.size() - dot - 1 > 2)
        return false;
    for (std::size_t i = 0; i < code.size(); ++i)
        if (i != dot && !std::isalnum(static_cast<unsigned char>(code[i]))) return false;
    return true;
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
    std::fprintf(stderr, "seedtree: %s\n", message.c_str());
    return 1;
}

int usage_error(const std::string &message, const std::string &command)
{
    std::fprintf(stderr, "seedtree: error: %s\nRun 'seedtree%s --help' for usage.\n", message.c_str(),
                 command.empty() ? "" : (" " + command).c_str());
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

    seed::ListArguments list_arguments;
    CLI::App *list = app.add_subcommand("list", "One line per station epoch and per channel epoch of the tree.");
    list->add_option("ROOT", list_arguments.root, "Root directory of the header tree")->required();

    seed::VolumeArguments volume_arguments;
    CLI::App *volume = app.add_subcommand("volume", "Writes one dataless SEED 2.4 volume of the tree.");
    volume->add_option("ROOT", volume_arguments.root, "Root directory of the header tree")->required();
    volume->add_option("-o,--output", volume_arguments.output, "The volume file, or - for standard output")
        ->required();
    volume
        ->add_option("--station", volume_arguments.stations,
                     "Only this station (STA.NET, any case); may be given again for more")
        ->allow_extra_args(false)
        ->type_name("STA.NET")
        ->check(CLI::Validator(
            [](std::string &code) {
                return seed::valid_station_code(code) ? std::string()
                                                      : "'" + code + "' is not a station code STA.NET";
            },
            ""));
    auto text_check = CLI::Validator(
        [](std::string &text) {
            std::string problem = seed::variable_text_problem(text, 80);
            return problem.empty() ? problem : "'" + text + "' cannot be written: " + problem;
        },
        "");
    volume->add_option("--label", volume_arguments.label, "Volume label (default: \"Dataless SEED of network NET\")")
        ->check(text_check);
    volume
        ->add_option("--organization", volume_arguments.organization,
                     "Originating organization (default: the network's name from the dictionary)")
        ->check(text_check);
    volume->footer(
        "The volume time is now, or SOURCE_DATE_EPOCH (seconds since 1970) when set. FILE is written whole or "
        "not at all.");

    // CLI11 would only say that a subcommand is required.
    if (argc > 1 && argv[1][0] != '-' &&
        app.get_subcommands([&](CLI::App *sub) { return sub->get_name() == argv[1]; }).empty())
        return usage_error(std::string("unknown subcommand '") + argv[1] + "'", "");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::string command = volume->parsed() ? "volume" : list->parsed() ? "list" : "";
        return usage_error(e.what(), command);
    }

    try {
        if (list->parsed()) return seed::run_list(list_arguments);
        return seed::run_volume(volume_arguments);
    } catch (const seed::UsageError &e) {
        return usage_error(e.what(), volume->parsed() ? "volume" : "list");
    } catch (const seed::Error &e) {
        return failure(e.what());
    } catch (const std::bad_alloc &) {
        return failure("out of memory");
    } catch (const std::exception &) {
        return failure("internal error: please report how this run was made");
    }
}
