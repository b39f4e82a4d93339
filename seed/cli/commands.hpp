// The subcommands of seedtree. Each adds itself to the program's command
// line (add_*_command) and gives the function that runs it once parsed; a
// run returns the exit status, failures are thrown (Error, or UsageError for
// arguments found wrong after parsing).
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace seed {

struct Subcommand {
    CLI::App *app = nullptr;
    std::function<int()> run;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ListArguments {
    std::string root;
};

struct VolumeArguments {
    std::string root;
    std::string output;  // "-": standard output
    std::vector<std::string> stations;
    std::string label, organization;  // empty: the defaults
    bool resolve_references = false;
};

struct StationXmlArguments {
    std::string root;
    std::string output = "-";  // "-": standard output
    std::vector<std::string> stations;
    std::string source = "response tools";
    std::string sender;  // empty: no Sender
};

struct ResponseArguments {
    std::string root;
    std::vector<std::string> channels;  // STA.NET.LOC.CHA; empty: all
    double fmin = 0.001;
    double fmax = 0;  // 0: each channel's Nyquist frequency
    int points = 100;
    int stage = -1;  // -1: the whole channel
    bool correct_delay = false;  // evalresp's phase convention, not the causal one
};

struct CheckArguments {
    std::string root;
};

struct RespArguments {
    std::string root;
    std::string output;  // directory
    std::vector<std::string> channels;
};

struct PlotArguments {
    std::string root;
    std::vector<std::string> channels;
    std::string output;  // FILE.png or FILE.svg
    double fmin = 0.001;
    double fmax = 0;
    int points = 400;
};

struct SiteArguments {
    std::string root;
    std::string output;  // directory
    std::string title;   // empty: the default
    bool with_files = false;
    bool no_plots = false;
};

int run_list(const ListArguments &arguments);
int run_volume(const VolumeArguments &arguments);
int run_stationxml(const StationXmlArguments &arguments);
int run_response(const ResponseArguments &arguments);
int run_check(const CheckArguments &arguments);
int run_resp(const RespArguments &arguments);
int run_plot(const PlotArguments &arguments);
int run_site(const SiteArguments &arguments);

Subcommand add_list_command(CLI::App &app);
Subcommand add_volume_command(CLI::App &app);
Subcommand add_stationxml_command(CLI::App &app);
Subcommand add_response_command(CLI::App &app);
Subcommand add_check_command(CLI::App &app);
Subcommand add_resp_command(CLI::App &app);
Subcommand add_plot_command(CLI::App &app);
Subcommand add_site_command(CLI::App &app);

// "STA.NET": a station code of 1 to 5 characters, a dot, a network code of
// 1 or 2, as the tree's reader takes them (valid_code_part).
bool valid_station_code(const std::string &code);

// The time of this run in seconds since 1970 (UTC): stamp_time(), a bad
// SOURCE_DATE_EPOCH a UsageError.
long long run_time();

// The note on dropped repeats, once per run, on standard error.
void note_dropped_repeats(std::size_t dropped);

}  // namespace seed
