// seedtree list ROOT: one line per station epoch, and under it one per
// channel epoch, for a quick look at what a tree holds.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "seed/cli/commands.hpp"
#include "seed/reader/inventory.hpp"

namespace seed {

namespace {

std::string end_text(const Time &end) { return end.open() ? std::string("(open)") : end.text; }

}  // namespace

int run_list(const ListArguments &arguments)
{
    Inventory inventory = read_tree(arguments.root);
    note_dropped_repeats(inventory.dropped_repeats);
    std::string out;
    for (const StationEpoch &s : inventory.stations) {
        out += s.codes() + "  " + s.id.start.text + "  " + end_text(s.id.end) + "  " +
               std::to_string(s.channels.size()) + " channel epoch(s)  " + s.id.site.text + "\n";
        for (const auto &c : s.channels) {
            out += "  " + c->id.channel + "." + c->id.location + "  " + c->id.start.text + "  " + end_text(c->id.end) +
                   "  rate " + c->id.sample_rate.text + "  stages " + std::to_string(c->stages.size());
            if (c->sensitivity)
                out += "  sensitivity " + c->sensitivity->gain.text + " at " + c->sensitivity->frequency.text;
            else
                out += "  no stage-0 sensitivity";
            out += "\n";
        }
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        throw Error("cannot write to standard output");
    return 0;
}

Subcommand add_list_command(CLI::App &app)
{
    auto arguments = std::make_shared<ListArguments>();
    CLI::App *list = app.add_subcommand("list", "One line per station epoch and per channel epoch of the tree.");
    list->add_option("ROOT", arguments->root, "Root directory of the header tree")->required();
    return {list, [arguments] { return run_list(*arguments); }};
}

}  // namespace seed
