// What an export runs: for every selected station epoch, the generator
// runs that the batch drivers make for it (Mebrisk's station run in mode
// "s" at its start; per selected channel, Lintaro's run in mode "c" at its
// start and one in mode "e" at every later start of one of its channel
// epochs), so that each record is the one the batch writes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/db/session.hpp"
#include "respdb/selection.hpp"

namespace respdb {

// Where an epoch is and when its row was last loaded, for the web
// service's filters (nullopt, "": NULL).
struct EpochPlace {
    std::optional<double> latitude, longitude;
    std::string lddate;  // database date as stored
};

struct ChannelEpochRow {
    std::string location;  // trimmed: "" for a blank location
    std::string channel;
    std::string on, off;   // database dates
    EpochPlace place;
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
    EpochPlace place;
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

// The runs of a station epoch for its channel_epochs (once they are
// chosen): the station run, then per channel the run at the epoch's start
// and one at every later start of one of its channel epochs.
std::vector<GeneratorRun> runs_of(const StationEpochPlan &epoch);

// The union of plans (each by network and station, as make_plan gives
// them): a station epoch in several has the union of their channel
// epochs, and its runs made again for them.
std::vector<StationPlan> merge_plans(std::vector<std::vector<StationPlan>> plans);

// The channel epochs of plan that run writes (mode "c": open at its date;
// "e": beginning then), for the messages of a refused run.
std::vector<const ChannelEpochRow *> epochs_of_run(const StationEpochPlan &plan, const GeneratorRun &run);

}  // namespace respdb
