// seedtree check ROOT: one line per finding of the tree's responses and
// epochs, a closing count, and status 1 when any finding is an error.
#include <CLI/CLI.hpp>

#include <memory>

#include "seed/analysis/check.hpp"
#include "seed/cli/command_options.hpp"
#include "seed/cli/commands.hpp"
#include "seed/reader/epochs.hpp"

namespace seed {

int run_check(const CheckArguments &a)
{
    Inventory inventory = read_tree(a.root);
    note_dropped_repeats(inventory.dropped_repeats);
    std::size_t errors = 0, warnings = 0;
    std::string out;
    // Findings are printed as they come, in blocks, never all held.
    check_inventory(inventory, [&](const Finding &f) {
        (f.severity == Severity::error ? errors : warnings)++;
        out += format_finding(f, inventory.root);
        out += '\n';
        if (out.size() >= 64 * 1024) {
            print(out);
            out.clear();
        }
    });
    out += std::to_string(errors) + " error(s), " + std::to_string(warnings) + " warning(s) in " +
           std::to_string(channel_epochs(inventory).size()) + " channel epoch(s) of " +
           std::to_string(inventory.stations.size()) + " station epoch(s)\n";
    print(out);
    return errors ? 1 : 0;
}

Subcommand add_check_command(CLI::App &app)
{
    auto a = std::make_shared<CheckArguments>();
    CLI::App *c = app.add_subcommand("check", "Checks the responses and epochs of the tree: one line per finding.");
    c->add_option("ROOT", a->root, "Root directory of the header tree")->required();
    std::string rules = "Rules:\n";
    for (const CheckRule &r : check_rules())
        rules += "  " + std::string(r.id) + " (" + severity_name(r.severity) + "): " + r.description + "\n";
    c->footer(rules + "Exit status 1 when any finding is an error.");
    return {c, [a] { return run_check(*a); }};
}

}  // namespace seed
