// seedtree response ROOT [--channel STA.NET.LOC.CHA]... [--fmin F] [--fmax F]
// [--points N] [--stage N] [--correct-delay]: the complex response of
// channel epochs (or of one stage) at log-spaced frequencies, as amplitude
// and phase.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

#include "seed/cli/command_options.hpp"
#include "seed/cli/commands.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/analysis/response.hpp"

namespace seed {

namespace {

std::string line_of(double f, std::complex<double> h)
{
    double amplitude = std::abs(h), phase = std::arg(h) * 180 / std::numbers::pi;
    if (phase == 0) phase = 0;  // no "-0.000000" for a negative zero
    char text[128];
    if (std::isfinite(amplitude) && std::isfinite(phase))
        std::snprintf(text, sizeof text, "%.9e %.9e %.6f\n", f, amplitude, phase);
    else
        std::snprintf(text, sizeof text, "%.9e nan nan\n", f);
    return text;
}

std::string polynomial_note(const Polynomial &p, int stage, const Dictionary &d)
{
    std::string out = "# stage " + std::to_string(stage) + " polynomial" +
                      (p.name.text.empty() ? "" : " " + p.name.text) + " " + unit_name(d, p.input_units) + " to " +
                      unit_name(d, p.output_units) + ": not a frequency response, left out; coefficients";
    for (const ValueError &c : p.coefficients) out += " " + c.value.text;
    out += "; valid " + p.lower_frequency.text + " to " + p.upper_frequency.text + " (" + p.frequency_units +
           "); approximation bounds " + p.lower_bound.text + " to " + p.upper_bound.text + "; maximum error " +
           p.max_error.text + "\n";
    return out;
}

}  // namespace

int run_response(const ResponseArguments &a)
{
    check_frequency_range(a.fmin, a.fmax);
    Inventory inventory = read_tree(a.root, ReadOptions{stations_of(a.channels)});
    note_dropped_repeats(inventory.dropped_repeats);
    std::vector<const ChannelEpoch *> epochs = select_channels(inventory, a.channels);
    const Dictionary &d = inventory.dictionary;
    const DelayConvention convention = a.correct_delay ? DelayConvention::corrected : DelayConvention::causal;
    std::size_t failed = 0;
    for (const ChannelEpoch *e : epochs) {
        std::string out = "# " + e->codes() + " " + full_time(e->id.start) + " " + full_time(e->id.end);
        const Stage *stage = a.stage > 0 ? e->stage(a.stage) : nullptr;
        std::string problem;
        if (a.stage > 0) {
            if (!stage) {
                out += " stage " + std::to_string(a.stage) + "\n";
                problem = "no stage " + std::to_string(a.stage);
            } else {
                out += " stage " + std::to_string(a.stage) + " " + stage_units(*stage, d);
                out += stage->sensitivity ? " gain " + stage->sensitivity->gain.text + " at " +
                                                stage->sensitivity->frequency.text + " Hz\n"
                                          : " no gain\n";
            }
        } else {
            out += " " + response_units(*e, d);
            out += e->sensitivity ? " sensitivity " + e->sensitivity->gain.text + " at " +
                                        e->sensitivity->frequency.text + " Hz\n"
                                  : " no stage-0 sensitivity\n";
        }
        for (const Stage &s : e->stages)
            if (!stage || &s == stage)
                for (const Filter &f : s.filters)
                    if (const auto *p = std::get_if<Polynomial>(&f.response)) out += polynomial_note(*p, s.number, d);

        double fmax = a.fmax > 0 ? a.fmax : nyquist(*e);
        if (problem.empty() && !(fmax > a.fmin))
            problem = "the channel's Nyquist frequency " + std::to_string(fmax) + " Hz is not above --fmin; give --fmax";
        if (problem.empty()) {
            try {
                std::string lines;
                for (double f : log_frequencies(a.fmin, fmax, a.points))
                    lines += line_of(f, stage ? stage_response(*stage, f, convention)
                                              : channel_response(*e, f, convention));
                out += lines;
            } catch (const ResponseError &error) {
                problem = error.what();
            }
        }
        if (!problem.empty()) {
            out += "# cannot evaluate: " + problem + "\n";
            ++failed;
        }
        print(out);
    }
    if (failed) throw Error(std::to_string(failed) + " of " + std::to_string(epochs.size()) +
                            " channel epoch(s) could not be evaluated (see the \"# cannot evaluate\" lines)");
    return 0;
}

Subcommand add_response_command(CLI::App &app)
{
    auto a = std::make_shared<ResponseArguments>();
    CLI::App *c = app.add_subcommand(
        "response", "Amplitude and phase of each channel epoch's response at log-spaced frequencies.");
    c->add_option("ROOT", a->root, "Root directory of the header tree")->required();
    add_channel_option(*c, a->channels);
    add_frequency_options(*c, a->fmin, a->fmax, a->points);
    c->add_option("--stage", a->stage, "Only this stage (its gain included)")->check(CLI::Range(1, 99));
    c->add_flag("--correct-delay", a->correct_delay,
                "Phase as evalresp gives it: symmetric FIRs with zero phase, asymmetric FIRs advanced by their "
                "blockette 57 correction");
    c->footer(
        "Per channel epoch a '#' line naming it, then 'frequency amplitude phase' per line (Hz; output per input "
        "units; degrees). Digital stages are evaluated as stored and causal, the phase holding each FIR's delay, "
        "unless --correct-delay is given.");
    return {c, [a] { return run_response(*a); }};
}

}  // namespace seed
