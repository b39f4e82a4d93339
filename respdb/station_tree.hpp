// One station's part of a header tree, generated in memory by the runs of
// its plan: each channel epoch once, as the batch writes it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/db/session.hpp"
#include "seed/reader/inventory.hpp"
#include "respdb/plan.hpp"
#include "generator/run_cache.hpp"

namespace respdb {

// The root the generator is given for trees in memory; paths of a
// StationTree are relative to it.
inline constexpr const char *memory_root = "tree";

struct StationTree {
    const StationPlan *plan = nullptr;
    // "STA.NET/B050", "STA.NET/CHAN.LOC/B052", ... -> records in order.
    std::map<std::string, std::vector<std::string>> files;
    // The reader's model of the files, when the export asks for it (made by
    // the worker that generated them, so that workers share the reading).
    std::vector<seed::StationEpoch> epochs;
    // With keep_going: one line per refused channel epoch, for standard error.
    std::vector<std::string> refused;
};

struct GenerateOptions {
    bool lookup = false, abpoly = false;
    bool keep_going = false;
};

// A run the generator refused, without keep_going: the run and the
// generator's message on one line.
class RefusedRun : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs every run of plan over sql. The records of a run that repeat, for a
// channel directory, what an earlier run wrote there whole (a channel
// epoch that spans two station epochs, written at both) are kept once.
// A refused run throws RefusedRun; with keep_going its records are left
// out and each channel epoch it writes is named in refused (a refused
// station run leaves out its whole station epoch).
// cache: what the connection's earlier runs read (nullptr: none).
StationTree generate_station(rdb::Sql &sql, const StationPlan &plan, const GenerateOptions &options,
                             quorvex::RunCache *cache);

// The model of tree's files as the reader makes it of a station directory
// (the same reading and checks as on disk, messages naming label as the
// root); no epochs when the station runs wrote nothing (no channel open at
// a station epoch's start).
std::vector<seed::StationEpoch> station_model(const StationTree &tree, const seed::Dictionary &dictionary,
                                              const std::string &label);

// The blockettes 50 of the plan's station epochs alone (their station
// runs), for writers that need them before the stations (a StationXML
// Network's Description). A refused run as generate_station has it, but
// with keep_going it is passed over here and named there.
std::vector<std::string> station_records(rdb::Sql &sql, const StationPlan &plan, const GenerateOptions &options);

// The generator's message of a run end on one line ("Blockette 52 field
// 12 (local depth) of ...: ...").
std::string one_line(const std::string &text);

}  // namespace respdb
