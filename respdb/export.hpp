// respdb export: the selected part of the database, generated in one
// process into header trees in memory, station by station, and handed on
// in station order to whatever writes the outputs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "respdb/selection.hpp"
#include "respdb/station_tree.hpp"

namespace respdb {

struct ExportOptions {
    std::string database;  // the database alias (RESPONSE_DB's forms)
    Selection selection;
    GenerateOptions generate;
    int jobs = 1;          // workers, each with a connection of its own
    bool progress = false; // a progress bar on standard error
};

// What the outputs receive.
class ExportSink {
public:
    virtual ~ExportSink() = default;
    // The plan, before any station: what is coming.
    virtual void begin(const std::vector<StationPlan> &plan) { (void)plan; }
    // H.A, as generated once for every station.
    virtual void dictionary(const std::vector<std::string> &records) = 0;
    // The blockettes 50 of every station epoch, before the first station,
    // for a sink that asks for them.
    virtual bool wants_station_records() const { return false; }
    virtual void station_records(const std::vector<std::string> &b050) { (void)b050; }
    // Whether each station should come with the reader's model of its
    // files (StationTree::epochs), read with the dictionary it was given.
    virtual const seed::Dictionary *model_dictionary() const { return nullptr; }
    // Each station, in plan order (network, station).
    virtual void station(StationTree &tree) = 0;
};

struct ExportSummary {
    std::size_t stations = 0, station_epochs = 0, channel_epochs = 0;
    std::vector<std::string> refused;  // with keep_going
};

// The label that stands for the root in the messages of the model.
inline constexpr const char *tree_label = "(export)";

// Runs the export into sink. A refused run (without keep_going), a
// database error or a sink's exception ends it: the exception reaches the
// caller after every worker has stopped.
ExportSummary run_export(const ExportOptions &options, ExportSink &sink);

// The same sink calls for a plan made by the caller, generated over sql
// in the calling thread: for callers that hold a connection of their own
// (the web service's workers). Exceptions as run_export's.
ExportSummary export_plan(rdb::Sql &sql, const std::vector<StationPlan> &plan, const GenerateOptions &options,
                          ExportSink &sink);

}  // namespace respdb
