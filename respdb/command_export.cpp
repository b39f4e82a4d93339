// respdb export: the selected stations and channels of the database as a
// header tree, a StationXML document and a dataless SEED volume.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "commands.hpp"
#include "db/session.hpp"
#include "export.hpp"
#include "tree_output.hpp"

namespace respdb {
namespace {

struct ExportArguments {
    std::string networks, stations, locations, channels, start, end;
    std::string tree, stationxml, volume;
    std::string database;
    int jobs = 1;
    bool keep_going = false, quiet = false;
    bool lookup = false, no_lookup = false, abpoly = false, no_abpoly = false;
};

CodePatterns patterns(const std::string &text, std::size_t width, bool location, const char *option)
{
    auto p = CodePatterns::parse(text, width, location);
    if (!p)
        throw UsageError(std::string(option) + " '" + text + "': codes of at most " + std::to_string(width) +
                         " letters or digits, with * and ?, separated by commas" + (location ? " (-- for a blank location)" : ""));
    return *p;
}

std::optional<std::string> window_time(const std::string &text, const char *option)
{
    if (text.empty()) return std::nullopt;
    auto t = database_time(text);
    if (!t) throw UsageError(std::string(option) + " '" + text + "' is not a time (YYYY-MM-DD[THH:MM:SS], or YYYY,DDD[,HH:MM:SS])");
    return t;
}

// Every output of one export, fed together.
class Outputs : public ExportSink {
public:
    std::vector<ExportSink *> sinks;
    void begin(const std::vector<StationPlan> &plan) override
    {
        for (ExportSink *s : sinks) s->begin(plan);
    }
    void dictionary(const std::vector<std::string> &records) override
    {
        for (ExportSink *s : sinks) s->dictionary(records);
    }
    void station(const StationTree &tree) override
    {
        for (ExportSink *s : sinks) s->station(tree);
    }
};

// A flag from the environment unless the command line says otherwise.
bool setting(bool on, bool off, const char *variable) { return on || (!off && std::getenv(variable) != nullptr); }

int run_export_command(const ExportArguments &a)
{
    if (a.tree.empty() && a.stationxml.empty() && a.volume.empty())
        throw UsageError("nothing to write: give --tree, --stationxml or --volume");
    ExportOptions options;
    options.database = a.database.empty() ? rdb::service_alias() : a.database;
    options.selection.networks = patterns(a.networks, 2, false, "--network");
    options.selection.stations = patterns(a.stations, 5, false, "--station");
    options.selection.locations = patterns(a.locations, 2, true, "--location");
    options.selection.channels = patterns(a.channels, 3, false, "--channel");
    options.selection.start = window_time(a.start, "--start");
    options.selection.end = window_time(a.end, "--end");
    if (options.selection.start && options.selection.end && *options.selection.start > *options.selection.end)
        throw UsageError("--start is after --end");
    options.generate.lookup = setting(a.lookup, a.no_lookup, "USE_LOOKUP");
    options.generate.abpoly = setting(a.abpoly, a.no_abpoly, "USE_ABPOLY");
    options.generate.keep_going = a.keep_going;
    options.jobs = a.jobs;
    options.progress = !a.quiet && ::isatty(STDERR_FILENO);

    Outputs outputs;
    std::unique_ptr<TreeOutput> tree;
    if (!a.tree.empty()) {
        tree = std::make_unique<TreeOutput>(a.tree);
        outputs.sinks.push_back(tree.get());
    }
    ExportSummary summary;
    try {
        summary = run_export(options, outputs);
    } catch (const RefusedRun &e) {
        throw std::runtime_error(std::string(e.what()) + "; nothing written (--keep-going exports the rest)");
    } catch (const rdb::RunEnd &e) {
        throw std::runtime_error(one_line(e.text()));
    }
    for (const std::string &line : summary.refused) std::fprintf(stderr, "respdb: %s\n", line.c_str());
    if (tree) tree->commit();
    return summary.refused.empty() ? 0 : 1;
}

}  // namespace

Command add_export_command(CLI::App &app)
{
    auto a = std::make_shared<ExportArguments>();
    CLI::App *c = app.add_subcommand(
        "export", "Writes the selected station and channel epochs of the database, as the batch drivers would.");
    c->add_option("--network", a->networks, "Networks: a comma list of codes, * and ? as wildcards (default: all)");
    c->add_option("--station", a->stations, "Stations, as for --network");
    c->add_option("--location", a->locations, "Locations, as for --network; -- for a blank location");
    c->add_option("--channel", a->channels, "Channels, as for --network");
    c->add_option("--start", a->start, "Station epochs that end at or after this time: YYYY-MM-DD[THH:MM:SS] or YYYY,DDD[,HH:MM:SS]");
    c->add_option("--end", a->end, "Station epochs that begin at or before this time");
    c->add_option("--tree", a->tree, "A new header tree in DIR (which must not exist or be empty)")->type_name("DIR");
    c->add_option("--jobs", a->jobs, "Workers, each with its own database connection (same bytes as one)")
        ->check(CLI::Range(1, 64));
    c->add_flag("--keep-going", a->keep_going,
                "Export everything else when the generator refuses a value; name each refused channel epoch and end with status 1");
    c->add_flag("-q,--quiet", a->quiet, "No progress bar");
    c->add_option("--database", a->database, "The database (default: RESPONSE_DB, or response.db)")->type_name("ALIAS");
    auto lookup = c->add_flag("--lookup", a->lookup, "Blockettes 41 and references to them (default: USE_LOOKUP set)");
    c->add_flag("--no-lookup", a->no_lookup, "No blockettes 41, whatever USE_LOOKUP says")->excludes(lookup);
    auto abpoly = c->add_flag("--abpoly", a->abpoly, "Blockettes 42 and references to them (default: USE_ABPOLY set)");
    c->add_flag("--no-abpoly", a->no_abpoly, "No blockettes 42, whatever USE_ABPOLY says")->excludes(abpoly);
    c->footer("Every output is written whole or not at all.");
    return {c, [a] { return run_export_command(*a); }};
}

}  // namespace respdb
