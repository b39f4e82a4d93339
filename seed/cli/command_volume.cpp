// seedtree volume ROOT -o FILE|- [--station STA.NET]... [--label TEXT]
// [--organization TEXT] [--resolve-references]: one dataless SEED 2.4
// volume of the tree.
#include <CLI/CLI.hpp>

#include <csignal>
#include <memory>

#include "seed/cli/command_options.hpp"
#include "seed/cli/commands.hpp"
#include "seed/files/output_file.hpp"
#include "seed/writers/volume.hpp"

namespace seed {

namespace {

// The run time as a SEED time: SOURCE_DATE_EPOCH or now (run_time).
std::string volume_time()
{
    std::string text;
    seed_time_from_unix(run_time(), text);
    return text;
}

}  // namespace

int run_volume(const VolumeArguments &arguments)
{
    VolumeOptions options;
    options.volume_time = volume_time();
    options.resolve_references = arguments.resolve_references;
    OutputTarget target = output_target(arguments.output, arguments.root);
    std::string root = arguments.root;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    // Station directory by station directory, twice: the first pass sizes
    // each station header for blockette 11's index, the second writes.
    Dictionary dictionary = read_tree_dictionary(root);
    std::vector<std::string> names = station_directories_in_order(root, arguments.stations);
    VolumeStream volume(dictionary, options.resolve_references);
    std::size_t dropped = 0;
    for (const std::string &name : names)
        for (const StationEpoch &s : read_station_directory(root, name, dictionary, dropped)) volume.measure(s);
    note_dropped_repeats(dropped);
    if (volume.station_epochs() == 0)
        throw Error(Source{root, 0}, "no station epochs in the tree: nothing to make a volume of");
    options.organization = arguments.organization.empty() ? volume.default_organization() : arguments.organization;
    options.label = arguments.label.empty() ? volume.default_label() : arguments.label;

    // A closed pipe is a failed write, reported like any other.
    if (!target.whole()) std::signal(SIGPIPE, SIG_IGN);
    OutputFile out(target);
    volume.begin(options, [&out](std::string_view record) { out.write(record); });
    for (const std::string &name : names)
        for (const StationEpoch &s : read_station_directory(root, name, dictionary, dropped)) volume.write(s);
    volume.finish();
    out.commit();
    return 0;
}

Subcommand add_volume_command(CLI::App &app)
{
    auto arguments = std::make_shared<VolumeArguments>();
    CLI::App *volume = app.add_subcommand("volume", "Writes one dataless SEED 2.4 volume of the tree.");
    volume->add_option("ROOT", arguments->root, "Root directory of the header tree")->required();
    volume->add_option("-o,--output", arguments->output, "The volume file, or - for standard output")->required();
    add_station_option(*volume, arguments->stations);
    auto problem = [](const std::string &text) { return variable_text_problem(text, 80); };
    check_text_option(*volume, "--label", arguments->label, "Volume label (default: \"Dataless SEED of network NET\")",
                      problem);
    check_text_option(*volume, "--organization", arguments->organization,
                      "Originating organization (default: the network's name from the dictionary)", problem);
    volume->add_flag("--resolve-references", arguments->resolve_references,
                     "Write each blockette 60 as the 61 or 62 it refers to, and no 41 or 42, for readers that "
                     "know neither");
    volume->footer(
        "The volume time is now, or SOURCE_DATE_EPOCH (seconds since 1970) when set. FILE is written whole or "
        "not at all.");
    return {volume, [arguments] { return run_volume(*arguments); }};
}

}  // namespace seed
