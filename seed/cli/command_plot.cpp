// seedtree plot ROOT [--channel STA.NET.LOC.CHA]... -o FILE.png|FILE.svg:
// a Bode plot, one curve per channel epoch.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>

#include "seed/cli/command_options.hpp"
#include "seed/cli/commands.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/analysis/plot.hpp"
#include "seed/analysis/response.hpp"

namespace seed {

int run_plot(const PlotArguments &a)
{
    check_frequency_range(a.fmin, a.fmax);
    PlotFormat format = plot_format_of(a.output);
    OutputTarget target = output_target(a.output, a.root);
    Inventory inventory = read_tree(a.root, ReadOptions{stations_of(a.channels)});
    note_dropped_repeats(inventory.dropped_repeats);
    std::vector<const ChannelEpoch *> epochs = select_channels(inventory, a.channels);
    if (epochs.empty()) throw Error(Source{inventory.root, 0}, "no channel epochs in the tree: nothing to plot");
    std::vector<PlotCurve> curves;
    for (const ChannelEpoch *e : epochs) {
        double fmax = a.fmax > 0 ? a.fmax : nyquist(*e);
        if (!(fmax > a.fmin))
            throw Error(e->codes() + ": the channel's Nyquist frequency is not above --fmin; give --fmax");
        curves.push_back(channel_curve(*e, inventory.dictionary, log_frequencies(a.fmin, fmax, a.points)));
    }
    std::string title;
    if (epochs.size() == 1) {
        title = "Response of " + epochs.front()->codes() + " from " + full_time(epochs.front()->id.start) + " to " +
                full_time(epochs.front()->id.end);
    } else {
        std::vector<std::string> codes;
        for (const ChannelEpoch *e : epochs)
            if (std::find(codes.begin(), codes.end(), e->codes()) == codes.end()) codes.push_back(e->codes());
        title = "Response of " + std::to_string(epochs.size()) + " channel epochs:";
        for (std::size_t i = 0; i < codes.size() && i < 4; ++i) title += (i ? ", " : " ") + codes[i];
        if (codes.size() > 4) title += ", ...";
    }
    OutputFile out(target);
    write_bode_plot(curves, title, out, format);
    out.commit();
    return 0;
}

Subcommand add_plot_command(CLI::App &app)
{
    auto a = std::make_shared<PlotArguments>();
    CLI::App *c = app.add_subcommand("plot", "Draws a Bode plot (amplitude and phase) of channel epochs' responses.");
    c->add_option("ROOT", a->root, "Root directory of the header tree")->required();
    add_channel_option(*c, a->channels);
    c->add_option("-o,--output", a->output, "The picture: FILE.png or FILE.svg")->required();
    add_frequency_options(*c, a->fmin, a->fmax, a->points);
    c->footer("Drawn by gnuplot (Debian package gnuplot-nox). The stage-0 sensitivity is marked, each channel's "
              "Nyquist frequency drawn as a dashed line. FILE is written whole or not at all.");
    return {c, [a] { return run_plot(*a); }};
}

}  // namespace seed
