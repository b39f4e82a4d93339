// What an export runs: for every selected station epoch, the generator
// runs that the batch drivers make for it (Mebrisk's station run in mode
// "s" at its start; per selected channel, Lintaro's run in mode "c" at its
// start and one in mode "e" at every later start of one of its channel
// epochs), so that each record is the one the batch writes.
#pragma once

#include <string>
#include <vector>

#include "db/session.hpp"
#include "selection.hpp"

namespace respdb {

struct ChannelEpochRow {
    std::string location;  // trimmed: "" for a blank location
    std::string channel;
    std::string on, off;   // database dates
};

struct GeneratorRun {
    std::string channel;  // empty: the station run
    std::string date;
    char mode = 's';      // 's', 'c' or 'e'
};

struct StationEpochPlan {
    std::string network, station;
    std::string on, off;
    std::vector<GeneratorRun> runs;             // in the order they run
    std::vector<ChannelEpochRow> channel_epochs;  // selected, overlapping the epoch
};

// Every station of the selection with its epochs in order: one station's
// epochs belong to one worker, whose runs append to the same channel files.
struct StationPlan {
    std::string network, station;
    std::vector<StationEpochPlan> epochs;
    std::size_t channel_epochs() const;
};

// The plan of selection over the database, stations by network and
// station code: every station epoch of a selected station that overlaps
// the window, with or without selected channel epochs (as a station run
// writes it), but for epochs whose dates are not database dates.
std::vector<StationPlan> make_plan(rdb::Sql &sql, const Selection &selection);

// The channel epochs of plan that run writes (mode "c": open at its date;
// "e": beginning then), for the messages of a refused run.
std::vector<const ChannelEpochRow *> epochs_of_run(const StationEpochPlan &plan, const GeneratorRun &run);

}  // namespace respdb
