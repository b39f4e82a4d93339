// respdb export: the selected stations and channels of the database as a
// header tree, a StationXML document and a dataless SEED volume.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "respdb/commands.hpp"
#include "common/db/session.hpp"
#include "respdb/document_outputs.hpp"
#include "seed/reader/error.hpp"
#include "respdb/export.hpp"
#include "seed/reader/fields.hpp"
#include "seed/writers/run_time.hpp"
#include "respdb/tree_output.hpp"

namespace respdb {
namespace {

struct ExportArguments {
    std::string networks, stations, locations, channels, start, end;
    std::string tree, stationxml, volume;
    std::string source = "response tools", sender, label, organization;
    bool resolve_references = false;
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

// Every output of one export, fed together: the tree takes the records,
// the documents the model the reader makes of them (once for both).
class Outputs : public ExportSink {
public:
    TreeOutput *tree = nullptr;
    StationXmlOutput *stationxml = nullptr;
    VolumeOutput *volume = nullptr;

    void dictionary(const std::vector<std::string> &records) override
    {
        if (tree) tree->dictionary(records);
        if (!stationxml && !volume) return;
        dictionary_ = dictionary_model(records);
        if (stationxml) stationxml->dictionary(dictionary_);
        if (volume) volume->dictionary(dictionary_);
    }
    bool wants_station_records() const override { return stationxml != nullptr; }
    void station_records(const std::vector<std::string> &b050) override
    {
        for (const seed::Line &line : station_lines(b050)) stationxml->station_line(line);
    }
    const seed::Dictionary *model_dictionary() const override
    {
        return stationxml || volume ? &dictionary_ : nullptr;
    }
    void station(StationTree &t) override
    {
        if (tree) tree->station(t);
        if (stationxml) stationxml->station(t.epochs);
        if (volume) volume->station(std::move(t.epochs));
    }

private:
    seed::Dictionary dictionary_;
};

// The target of an output option; one on the database file is a usage error.
seed::OutputTarget target_of(const std::string &path, const std::string &database)
{
    try {
        return seed::output_target(path, "", {database});
    } catch (const seed::OutputConflict &e) {
        throw UsageError(e.what());
    }
}

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

    long long created = 0;
    std::string problem;
    if (!seed::stamp_time(created, problem)) throw UsageError(problem);

    Outputs outputs;
    std::unique_ptr<TreeOutput> tree;
    std::unique_ptr<StationXmlOutput> stationxml;
    std::unique_ptr<VolumeOutput> volume;
    if (!a.stationxml.empty()) {
        seed::StationXmlOptions o;
        o.source = a.source;
        o.sender = a.sender;
        // The document's writer is seedtree's: the same bytes as seedtree's
        // document of the exported tree.
        o.module = "seedtree " RESPDB_VERSION;
        o.created = created;
        stationxml = std::make_unique<StationXmlOutput>(target_of(a.stationxml, options.database), o);
        outputs.stationxml = stationxml.get();
    }
    if (!a.volume.empty()) {
        seed::VolumeOptions o;
        seed::seed_time_from_unix(created, o.volume_time);
        o.label = a.label;
        o.organization = a.organization;
        o.resolve_references = a.resolve_references;
        volume = std::make_unique<VolumeOutput>(target_of(a.volume, options.database), o);
        outputs.volume = volume.get();
    }
    if (!a.tree.empty()) {
        tree = std::make_unique<TreeOutput>(a.tree);
        outputs.tree = tree.get();
    }
    // A closed pipe is a failed write, reported like any other.
    std::signal(SIGPIPE, SIG_IGN);
    ExportSummary summary;
    try {
        summary = run_export(options, outputs);
    } catch (const RefusedRun &e) {
        throw std::runtime_error(std::string(e.what()) + "; nothing written (--keep-going exports the rest)");
    } catch (const rdb::RunEnd &e) {
        throw std::runtime_error(one_line(e.text()));
    }
    for (const std::string &line : summary.refused) std::fprintf(stderr, "respdb: %s\n", line.c_str());
    // Every document is made before any is put in place.
    seed::StationXmlSummary documented;
    if (stationxml) documented = stationxml->commit();
    if (volume) volume->commit();
    if (tree) tree->commit();
    if (documented.calibrations > 0)
        std::fprintf(stderr,
                     "respdb: note: left out %zu calibration history entr%s of blockettes 58 "
                     "(StationXML has no place for them)\n",
                     documented.calibrations, documented.calibrations == 1 ? "y" : "ies");
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
    c->add_option("--stationxml", a->stationxml, "One FDSN StationXML 1.2 document, as seedtree stationxml writes it")
        ->type_name("FILE|-");
    c->add_option("--volume", a->volume, "One dataless SEED 2.4 volume, as seedtree volume writes it")->type_name("FILE|-");
    auto xml_text = [](const std::string &text) {
        std::string why = seed::xml_text_problem(text);
        return why.empty() ? why : "'" + text + "' cannot be written: " + why;
    };
    auto seed_text = [](const std::string &text) {
        std::string why = seed::variable_text_problem(text, 80);
        return why.empty() ? why : "'" + text + "' cannot be written: " + why;
    };
    c->add_option("--source", a->source, "StationXML Source (default \"response tools\")")->check(CLI::Validator(xml_text, ""));
    c->add_option("--sender", a->sender, "StationXML Sender (default: none)")->check(CLI::Validator(xml_text, ""));
    c->add_option("--label", a->label, "Volume label (default: \"Dataless SEED of network NET\")")
        ->check(CLI::Validator(seed_text, ""));
    c->add_option("--organization", a->organization, "Volume's originating organization (default: the network's name)")
        ->check(CLI::Validator(seed_text, ""));
    c->add_flag("--resolve-references", a->resolve_references,
                "In the volume, each blockette 60 as the 61 or 62 it refers to, and no 41 or 42");
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
    c->footer("Every output is written whole or not at all; standard output gets nothing until the whole document "
              "is made. Created and the volume time are now, or SOURCE_DATE_EPOCH when set.");
    return {c, [a] { return run_export_command(*a); }};
}

}  // namespace respdb
