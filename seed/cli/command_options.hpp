// Options that subcommands share: station and channel selection, the
// frequencies to evaluate at, and texts that go into a document.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace seed {

// --station STA.NET, repeatable.
void add_station_option(CLI::App &command, std::vector<std::string> &stations);

// Checks a text option's value: problem(value) says why it cannot be
// written, or is empty.
void check_text_option(CLI::App &command, const char *name, std::string &value, const char *description,
                       std::string (*problem)(const std::string &));

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
