// Channel epochs of an inventory as the response subcommands walk them:
// each once (an epoch listed under two station epochs is one epoch), and
// chosen by their codes STA.NET.LOC.CHA.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "seed/reader/inventory.hpp"

namespace seed {

// Every channel epoch once, in inventory order.
std::vector<const ChannelEpoch *> channel_epochs(const Inventory &inventory);
// The same of some station epochs (one station directory's, say).
std::vector<const ChannelEpoch *> channel_epochs(const std::vector<StationEpoch> &stations);

// A code as the tree's reader takes it from its directories and
// blockettes: min to max printable ASCII characters, no "~", no "/", no
// blank at either end, and a "." only where dots may be (a location's).
bool valid_code_part(std::string_view part, std::size_t min, std::size_t max, bool dots);

// "STA.NET.LOC.CHA": station 1-5, network 1-2, location 0-2, channel 1-3
// characters ("HILL.XY..BHZ" for a blank location).
bool valid_channel_code(const std::string &code);

// "STA.NET" of a channel code.
std::string station_of_channel_code(const std::string &code);

// The channel epochs whose codes are among codes (any case), in inventory
// order; every channel epoch when codes is empty. Error naming a code that
// matches no channel epoch.
std::vector<const ChannelEpoch *> select_channels(const Inventory &inventory, const std::vector<std::string> &codes);

// A channel epoch's dates under a station epoch it is listed under, as
// StationXML nests them: the later start and the earlier end, so that an
// open end stays open only under an open station epoch. The channel's own
// dates win ties.
struct NestedDates {
    const Time *start, *end;
};
NestedDates nested_dates(const StationId &station, const ChannelId &channel);

// A time as "YYYY,DDD,HH:MM:SS" (".FFFF" added when it has a fraction);
// "(open)" for an open end.
std::string full_time(const Time &time);

// Values no writer puts out as they are (check reports them, the volume
// and StationXML writers refuse them): why, or "".
// An epoch that ends before it begins: "ends (...) before it begins (...)".
std::string epoch_order_problem(const Time &start, const Time &end);
// A sample rate below 0.
std::string sample_rate_problem(const Number &rate);

}  // namespace seed
