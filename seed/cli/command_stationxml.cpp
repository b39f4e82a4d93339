// seedtree stationxml ROOT [-o FILE|-] [--station STA.NET]... [--source
// TEXT] [--sender TEXT]: one FDSN StationXML 1.2 document of the tree.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <memory>

#include "seed/cli/command_options.hpp"
#include "seed/cli/commands.hpp"
#include "seed/files/output_file.hpp"
#include "seed/writers/stationxml.hpp"

namespace seed {

int run_stationxml(const StationXmlArguments &arguments)
{
    StationXmlOptions options;
    options.source = arguments.source;
    options.sender = arguments.sender;
    options.module = "seedtree " SEEDTREE_VERSION;
    options.created = run_time();

    OutputTarget target = output_target(arguments.output, arguments.root);
    StationXmlSummary summary;
    if (!target.whole()) {
        // A closed pipe is a failed write, reported like any other.
        std::signal(SIGPIPE, SIG_IGN);
        // Standard output (or a FIFO) cannot be taken back: a first pass
        // through the whole tree, writing nothing, finds what would be refused.
        write_stationxml_tree(arguments.root, arguments.stations, options, [](std::string_view) {});
        OutputFile out(target);
        summary = write_stationxml_tree(arguments.root, arguments.stations, options,
                                        [&out](std::string_view data) { out.write(data); });
        out.commit();
    } else {
        OutputFile out(target);
        summary = write_stationxml_tree(arguments.root, arguments.stations, options,
                                        [&out](std::string_view data) { out.write(data); });
        out.commit();
    }
    note_dropped_repeats(summary.dropped_repeats);
    if (summary.calibrations > 0)
        std::fprintf(stderr,
                     "seedtree: note: left out %zu calibration history entr%s of blockettes 58 "
                     "(StationXML has no place for them)\n",
                     summary.calibrations, summary.calibrations == 1 ? "y" : "ies");
    return 0;
}

Subcommand add_stationxml_command(CLI::App &app)
{
    auto arguments = std::make_shared<StationXmlArguments>();
    CLI::App *command = app.add_subcommand("stationxml", "Writes one FDSN StationXML 1.2 document of the tree.");
    command->add_option("ROOT", arguments->root, "Root directory of the header tree")->required();
    command->add_option("-o,--output", arguments->output, "The document file, or - for standard output (default)");
    add_station_option(*command, arguments->stations);
    auto problem = [](const std::string &text) { return xml_text_problem(text); };
    check_text_option(*command, "--source", arguments->source,
                      "Source: who made the metadata (default \"response tools\")", problem);
    check_text_option(*command, "--sender", arguments->sender, "Sender: who sends the document (default: none)",
                      problem);
    command->footer(
        "Created is now, or SOURCE_DATE_EPOCH (seconds since 1970) when set. FILE is written whole or not at all; "
        "standard output gets nothing unless the whole tree converts.");
    return {command, [arguments] { return run_stationxml(*arguments); }};
}

}  // namespace seed
