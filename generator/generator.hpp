// The generator as a library: the blockettes of one request (a station, or
// one of its channels, at one moment) over an open connection, into a tree
// on disk or in memory. Quorvex is its command line around one call; other
// programs make many calls over one connection, whose prepared statements
// they share. Every call starts from a state of its own, so what a NULL
// keeps (the previous value) is kept within a call, never across calls.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "common/db/session.hpp"
#include "generator/tree_sink.hpp"

namespace quorvex {

struct Request {
    std::string station, network;  // upper case, at most 6 and 8 characters
    std::string channel;           // upper case, at most 6 characters; empty: every channel
    std::string date;              // the moment, "YYYY/MM/DD HH24:MI:SS"
    std::string mode;              // "a", "s", "c" or "e"; anything else is refused
    // The tree's root as DATA_ROOT gives it: nullopt for unset ("./HAR000"),
    // empty for set but empty (refused).
    std::optional<std::string> data_root;
    bool lookup = false;  // blockettes 41 and references to them (USE_LOOKUP)
    bool abpoly = false;  // blockettes 42 and references to them (USE_ABPOLY)
};

// How a call ended normally.
struct Outcome {
    bool station_only = false;  // a mode "s" run that found its station
};

// Generates request into tree, printing progress lines into progress
// (nullptr: none). Where a run stops (the station not open at the moment,
// a value that does not fit its field, a database error, a file that
// cannot be written), throws rdb::RunEnd with Quorvex's message and
// release; what was written until then stays in the tree.
//
// cache: what earlier calls over the same connection, in the same read
// transaction, read and may share (run_cache.hpp); nullptr for none. The
// records are the same with or without it.
struct RunCache;
Outcome generate(rdb::Sql &sql, TreeSink &tree, const Request &request, std::FILE *progress,
                 RunCache *cache = nullptr);

// The abbreviation dictionary root/H.A alone (the root made when missing),
// the bytes the first run into a tree without one writes there: it reads
// only the dictionary tables, from a new state. Nothing when the tree has
// one. Throws rdb::RunEnd as generate() does.
void generate_dictionary(rdb::Sql &sql, TreeSink &tree, const std::string &root, bool lookup, bool abpoly,
                         std::FILE *progress);

}  // namespace quorvex
