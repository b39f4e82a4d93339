// The answer of the station web service to a checked query, over one
// connection: the plan of its selections (the export's), narrowed by the
// service's filters, generated station by station and written as it goes
// through the export's StationXML writer at the query's level, or as FDSN
// text. Memory follows the largest station, not the answer.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/db/session.hpp"
#include "respdb/fdsn_query.hpp"
#include "respdb/plan.hpp"
#include "respdb/station_tree.hpp"

namespace respdb::fdsn {

// More channel epochs than the service gives in one answer (a 413).
class TooLarge : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct AnswerOptions {
    std::size_t max_channels = 0;  // 0: no limit
    std::string module;            // StationXML Module
    long long created = 0;         // StationXML Created (seconds since 1970)
    GenerateOptions generate;      // lookup and abpoly as the export has them
};

// The plan of query over sql: its selections' plans merged, then the
// service's filters (time bounds, box or ring, updatedafter), station
// epochs without a selected channel epoch left out when channels were
// asked for. TooLarge past max_channels (levels channel and response).
std::vector<StationPlan> query_plan(rdb::Sql &sql, const Query &query, std::size_t max_channels);

// Writes the answer of plan into out (pieces of 64 KiB or so, the first
// once the first station is written). Returns false, with nothing
// written, when the plan gives nothing to answer. Throws what the
// generator and writers throw.
bool write_answer(rdb::Sql &sql, const Query &query, const std::vector<StationPlan> &plan,
                  const AnswerOptions &options, const std::function<void(std::string_view)> &out);

}  // namespace respdb::fdsn
