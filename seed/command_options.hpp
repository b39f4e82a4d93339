// Options that the response subcommands share: channel selection and the
// frequencies to evaluate at.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace seed {

// --channel STA.NET.LOC.CHA, repeatable.
void add_channel_option(CLI::App &command, std::vector<std::string> &channels);

// --fmin, --fmax, --points; fmax 0 stands for each channel's Nyquist frequency.
void add_frequency_options(CLI::App &command, double &fmin, double &fmax, int &points);

// UsageError when fmax is given and not above fmin.
void check_frequency_range(double fmin, double fmax);

// "STA.NET" of each channel code: the station directories to read.
std::vector<std::string> stations_of(const std::vector<std::string> &channels);

// Writes text to standard output; Error when it cannot.
void print(const std::string &text);

}  // namespace seed
