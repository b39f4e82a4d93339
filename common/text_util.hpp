// Small text routines shared by the tools.
#pragma once

#include <cstddef>
#include <string_view>

namespace rdb {

// Strips trailing blanks (the space character only) in place; returns s.
char *Remove_Blank(char *s);

// Copies src into dst[size] when it fits (size-1 characters); false otherwise,
// leaving dst empty. Never writes past dst.
bool copy_text(char *dst, std::size_t size, std::string_view src);
template <std::size_t W>
bool copy_text(char (&dst)[W], std::string_view src) { return copy_text(dst, W, src); }

void upper_case(char *s);

// The station argument STA.NET[:CHAN] of the generator and the interval
// driver. Codes that do not fit their buffers are refused, never cut.
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

}  // namespace rdb
