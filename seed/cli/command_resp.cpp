// seedtree resp ROOT -o DIR [--channel STA.NET.LOC.CHA]...: one RESP file
// per channel, each epoch with every stage written out.
#include <CLI/CLI.hpp>

#include <memory>

#include "seed/cli/command_options.hpp"
#include "seed/cli/commands.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/files/output_target.hpp"
#include "seed/writers/resp.hpp"

namespace seed {

int run_resp(const RespArguments &a)
{
    check_output_directory(a.output, a.root);
    Inventory inventory = read_tree(a.root, ReadOptions{stations_of(a.channels)});
    note_dropped_repeats(inventory.dropped_repeats);
    std::vector<const ChannelEpoch *> epochs = select_channels(inventory, a.channels);
    if (epochs.empty()) throw Error(Source{inventory.root, 0}, "no channel epochs in the tree: no RESP file to write");
    write_resp_files(epochs, inventory.dictionary, a.output);
    return 0;
}

Subcommand add_resp_command(CLI::App &app)
{
    auto a = std::make_shared<RespArguments>();
    CLI::App *c = app.add_subcommand("resp", "Writes one RESP file per channel (RESP.NET.STA.LOC.CHA) into a directory.");
    c->add_option("ROOT", a->root, "Root directory of the header tree")->required();
    c->add_option("-o,--output", a->output, "The directory of the RESP files (made when missing)")->required();
    add_channel_option(*c, a->channels);
    c->footer("Each file holds every epoch of its channel; dictionary references are written out as blockettes "
              "61 and 62. A file appears only when complete.");
    return {c, [a] { return run_resp(*a); }};
}

}  // namespace seed
