// Bode plots of channel responses (amplitude log-log over phase), drawn
// by gnuplot: a script made here, run as a child without a shell, writing
// PNG (pngcairo) or SVG (svg, with the codes as <text>) to its standard
// output. The script holds no file name, and every text in it reads back
// exactly as it is.
#pragma once

#include <complex>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "seed/reader/inventory.hpp"
#include "seed/files/output_file.hpp"
#include "seed/analysis/response.hpp"

namespace seed {

struct PlotCurve {
    std::string label;  // the legend's text: "HILL.XY..BHZ 2003,182,00:00:00"
    std::string units;  // of the amplitude: "COUNTS/(M/S)"
    std::vector<double> frequencies;
    std::vector<std::complex<double>> response;
    std::optional<double> sensitivity, sensitivity_frequency;  // stage 0, marked
    std::optional<double> nyquist;                               // drawn as a line
};

enum class PlotFormat { png, svg };

// The format a path's extension names (.png, .svg, any case); Error otherwise.
PlotFormat plot_format_of(const std::string &path);

// The gnuplot script that draws the curves to standard output.
std::string bode_script(const std::vector<PlotCurve> &curves, const std::string &title, PlotFormat format);

// How the points of the curves go into a script: every point as computed,
// or thinned for a site, leaving out a point wherever the line through its
// neighbours passes within a fraction of a pixel of it.
enum class PlotPoints { all, thinned };

// Draws the curves into out, which the caller commits: gnuplot draws into
// an unnamed temporary file first, so a failed drawing writes nothing.
// Error when gnuplot cannot be run, fails, or draws nothing.
void write_bode_plot(const std::vector<PlotCurve> &curves, const std::string &title, OutputFile &out,
                     PlotFormat format);

// Draws many plots with one gnuplot process. gnuplot reads the script
// through a pipe as it is made, and draws each plot into a numbered file
// of a scratch directory of its own (plot-1.svg, ...): no name of the
// caller's and no text but the quoted titles and labels reaches the
// script. finish() waits for gnuplot, then puts each drawing in place at
// its target, SVG made smaller by compact_svg and classed_svg (done while
// gnuplot draws on, the same work costs more system time than it saves).
// A batch never finished (an Error on the way, in finish() too) stops
// gnuplot and leaves no drawing behind, not even one already in place.
class PlotBatch {
public:
    // scratch: a directory to make, on the targets' file system.
    PlotBatch(std::string scratch, PlotFormat format);
    ~PlotBatch();
    PlotBatch(const PlotBatch &) = delete;
    PlotBatch &operator=(const PlotBatch &) = delete;

    // Queues a plot (thinned points) for target, a path of a directory the
    // run made for itself on the scratch directory's file system, written
    // as with Sync::by_caller. Error when gnuplot cannot be run or has failed.
    void add(const std::vector<PlotCurve> &curves, const std::string &title, const std::string &target);
    // Error when gnuplot fails or draws nothing for a plot.
    void finish();
    std::size_t size() const { return targets_.size(); }

private:
    void start();
    void send(bool everything);
    // Puts drawing i in place: made smaller, renamed to its target.
    void place(std::size_t i);
    [[noreturn]] void failed(const std::string &what);
    void stop();

    std::string scratch_;
    PlotFormat format_;
    std::vector<std::string> targets_;
    std::size_t placed_ = 0;  // drawings already at their targets
    std::string script_;  // not yet sent
    int pipe_ = -1;  // gnuplot reads the script from it
    int pid_ = -1;
    std::FILE *errors_ = nullptr;
    bool made_scratch_ = false;
};

// A gnuplot SVG made smaller without a visible change: its coordinates
// rounded to one decimal, its empty groups left out. Texts are kept as
// they are (only markup inside tags is touched).
std::string compact_svg(std::string_view svg);

// A compacted SVG (compact_svg's) smaller again for the site, drawing the
// same: the presentation attributes of groups and paths become classes of
// one <style> (lengths given their unit there), and path data of moves and
// lines is written with the shorter of absolute and relative commands,
// every point where it was to the tenth of a pixel. Anything of another
// form is kept as it is.
std::string classed_svg(std::string_view svg);

// The curve of one channel epoch at the given frequencies (every stage,
// polynomials left out). Throws ResponseError when it cannot be evaluated.
// memo: when given, shares the stages' responses between epochs.
PlotCurve channel_curve(const ChannelEpoch &epoch, const Dictionary &dictionary, const std::vector<double> &frequencies,
                        ResponseMemo *memo = nullptr);

}  // namespace seed
