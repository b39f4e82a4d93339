#include "seed/cli/command_options.hpp"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>

#include "seed/cli/commands.hpp"
#include "seed/reader/epochs.hpp"
#include "seed/writers/run_time.hpp"

namespace seed {

void add_station_option(CLI::App &command, std::vector<std::string> &stations)
{
    command
        .add_option("--station", stations, "Only this station (STA.NET, any case); may be given again for more")
        ->allow_extra_args(false)
        ->type_name("STA.NET")
        ->check(CLI::Validator(
            [](std::string &code) {
                return valid_station_code(code) ? std::string() : "'" + code + "' is not a station code STA.NET";
            },
            ""));
}

void check_text_option(CLI::App &command, const char *name, std::string &value, const char *description,
                       std::string (*problem)(const std::string &))
{
    command.add_option(name, value, description)
        ->check(CLI::Validator(
            [problem](std::string &text) {
                std::string why = problem(text);
                return why.empty() ? why : "'" + text + "' cannot be written: " + why;
            },
            ""));
}

void add_channel_option(CLI::App &command, std::vector<std::string> &channels)
{
    command
        .add_option("--channel", channels,
                    "Only this channel (STA.NET.LOC.CHA, any case; HILL.XY..BHZ for a blank location); may be "
                    "given again for more")
        ->allow_extra_args(false)
        ->type_name("STA.NET.LOC.CHA")
        ->check(CLI::Validator(
            [](std::string &code) {
                return valid_channel_code(code) ? std::string() : "'" + code + "' is not a channel code STA.NET.LOC.CHA";
            },
            ""));
}

void add_frequency_options(CLI::App &command, double &fmin, double &fmax, int &points)
{
    auto positive = CLI::Validator(
        [](std::string &text) {
            double v = 0;
            return parse_real(text, v) && v > 0 ? std::string() : "'" + text + "' is not a positive number";
        },
        "");
    command.add_option("--fmin", fmin, "Lowest frequency in Hz (default 0.001)")->check(positive);
    command.add_option("--fmax", fmax, "Highest frequency in Hz (default: each channel's Nyquist frequency)")
        ->check(positive);
    command.add_option("--points", points, "Number of log-spaced frequencies, both ends included")
        ->check(CLI::Range(2, 100000));
}

void check_frequency_range(double fmin, double fmax)
{
    if (fmax > 0 && !(fmax > fmin)) throw UsageError("--fmax must be above --fmin");
}

std::vector<std::string> stations_of(const std::vector<std::string> &channels)
{
    std::vector<std::string> out;
    for (const std::string &c : channels) out.push_back(station_of_channel_code(c));
    return out;
}

void print(const std::string &text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw Error("cannot write to standard output");
}

long long run_time()
{
    long long seconds = 0;
    std::string problem;
    if (!stamp_time(seconds, problem)) throw UsageError(problem);
    return seconds;
}

}  // namespace seed
