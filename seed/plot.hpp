// Bode plots of channel responses (amplitude log-log over phase), drawn
// by gnuplot: a script made here, run as a child without a shell, writing
// PNG (pngcairo) or SVG (svg, with the codes as <text>) to its standard
// output. The script holds no file name, and every text in it reads back
// exactly as it is.
#pragma once

#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "inventory.hpp"
#include "output_file.hpp"

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

// Draws the curves into out, which the caller commits: gnuplot draws into
// an unnamed temporary file first, so a failed drawing writes nothing.
// Error when gnuplot cannot be run, fails, or draws nothing.
void write_bode_plot(const std::vector<PlotCurve> &curves, const std::string &title, OutputFile &out,
                     PlotFormat format);

// The curve of one channel epoch at the given frequencies (every stage,
// polynomials left out). Throws ResponseError when it cannot be evaluated.
PlotCurve channel_curve(const ChannelEpoch &epoch, const Dictionary &dictionary, const std::vector<double> &frequencies);

}  // namespace seed
