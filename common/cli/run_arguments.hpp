// The command line that the generator and the interval driver share:
// STA.NET[:CHAN] alone (the epoch listing) or with a moment or interval and
// a run mode.
#pragma once

#include <string_view>

namespace rdb {

// The station argument STA.NET[:CHAN]. Codes that do not fit their buffers
// are refused, never cut.
struct StationArgument {
    char sta2[7] = "";
    char net2[9] = "";
    char cha[7] = "";
};
enum class SplitResult { ok, no_network, station_too_long, network_too_long, channel_too_long };
SplitResult split_station_argument(std::string_view arg, StationArgument &out);

// For a split that failed: prints the tools' message and returns the exit
// status (0 for a missing network code, 1 for a code that does not fit).
// Returns -1, printing nothing, when the split succeeded.
int refuse_station_argument(SplitResult result);

// The usage text: synopsis is the program's first line, e.g.
// "Quorvex <sta.net[:chan]> [<YYYY/MM/DD> <HH:MM:SS> <a|s|c>]".
void print_run_usage(const char *synopsis);

// "a", "s" or "c" exactly.
bool is_run_mode(const char *mode);
// Those, or "e": the generator's run of the channel epochs that begin at
// its moment, which the interval driver starts on its own.
bool is_generator_mode(const char *mode);
inline constexpr const char *bad_run_mode = "\n Error: Argument has to be <a | s | c>.\n\n";

}  // namespace rdb
