// stationxml2sql: FDSN StationXML in, SQL INSERTs for the response
// database out.
//
//   stationxml2sql FILE.xml... [-o FILE|-] [--schema XSD] [--skip-unsupported]
//
// The program never writes the database: with RESPONSE_DB set it reads it
// (read-only) to reuse dictionary entries and to leave out epochs already
// there; the user loads the SQL, one transaction, with sqlite3 or psql.
// Exit status: 0 done, 1 failed ("stationxml2sql: " and the reason on
// standard error, nothing written), 2 usage error.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>

#include "importer/existing_db.hpp"
#include "importer/importer.hpp"
#include "importer/input_file.hpp"
#include "seed/reader/message_text.hpp"
#include "seed/files/output_target.hpp"
#include "importer/sql_output.hpp"
#include "importer/xml_input.hpp"
#include "common/cli/command_line.hpp"

namespace {

struct Arguments {
    std::vector<std::string> files;
    std::string output = "-";
    std::string schema;
    bool skip_unsupported = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The load date of every row: SOURCE_DATE_EPOCH when set, so that two runs
// give the same bytes, else now.
std::string load_date()
{
    long long seconds = static_cast<long long>(std::time(nullptr));
    if (const char *fixed = std::getenv("SOURCE_DATE_EPOCH")) {
        std::string text = fixed;
        char *end = nullptr;
        errno = 0;
        seconds = text.empty() || text.find_first_not_of("0123456789") != std::string::npos
                      ? -1
                      : std::strtoll(text.c_str(), &end, 10);
        if (seconds < 0 || errno != 0 || seconds > 253402300799LL)
            throw UsageError("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970 up to year 9999, not \"" +
                             text + "\"");
    }
    return importer::database_date(seconds);
}

// The files a run reads, that its output must not replace: the
// documents, the schema and a SQLite database.
std::vector<std::string> inputs(const Arguments &a)
{
    std::vector<std::string> files = a.files;
    if (!a.schema.empty()) files.push_back(a.schema);
    if (const char *alias = std::getenv("RESPONSE_DB"); alias && *alias) {
        std::string path = alias;
        if (path.rfind("sqlite:", 0) == 0) files.push_back(path.substr(7));
        else if (path.rfind("postgres", 0) != 0) files.push_back(path);
    }
    return files;
}

int run(const Arguments &a, std::vector<std::string> &messages)
{
    importer::Options options;
    options.skip_unsupported = a.skip_unsupported;
    options.load_date = load_date();
    const seed::OutputTarget target = seed::output_target(a.output, "", inputs(a));

    // Each document is opened once, before any is read.
    std::vector<std::unique_ptr<importer::InputFile>> files;
    for (const std::string &file : a.files) files.push_back(std::make_unique<importer::InputFile>(file));
    std::unique_ptr<importer::Schema> schema;
    if (!a.schema.empty()) schema = std::make_unique<importer::Schema>(a.schema);
    importer::EpochIndex index;
    for (const auto &file : files) importer::index_document(*file, schema.get(), index);
    index.settle();

    std::unique_ptr<importer::ExistingDatabase> existing;
    if (const char *alias = std::getenv("RESPONSE_DB"); alias && *alias)
        existing = std::make_unique<importer::ExistingDatabase>(alias);

    importer::SqlOutput out;
    out.write("-- Rows of the response database, made by stationxml2sql " STATIONXML2SQL_VERSION
              " from FDSN StationXML.\n-- Load them in one transaction: sqlite3 -bail DB < FILE, or psql -v "
              "ON_ERROR_STOP=1 -f FILE.\nBEGIN;\n");
    importer::Importer importer(options, index, existing.get(), out, messages);
    for (const auto &file : files) importer::read_document(*file, index, importer);
    importer.finish();
    out.write("COMMIT;\n");
    if (index.adjusted_ends() > 0)
        messages.push_back("note: " + std::to_string(index.adjusted_ends()) +
                           " epoch end(s) equal to the start of the next epoch stored one second earlier (the "
                           "database's epochs include their end)");
    out.deliver(target);
    return 0;
}

int usage_error(const std::string &message)
{
    std::fprintf(stderr, "stationxml2sql: error: %s\nRun 'stationxml2sql --help' for usage.\n",
                 seed::printable(message).c_str());
    return 2;
}

void print(const std::vector<std::string> &messages)
{
    for (const std::string &m : messages) std::fprintf(stderr, "stationxml2sql: %s\n", seed::printable(m).c_str());
}

}  // namespace

int main(int argc, char **argv)
{
    CLI::App app{"Reads FDSN StationXML (1.0 to 1.2) and writes SQL INSERT statements that load its stations, "
                 "channels and responses into the response database (SQLite or PostgreSQL), as one transaction.",
                 "stationxml2sql"};
    app.set_version_flag("--version", "stationxml2sql " STATIONXML2SQL_VERSION);
    Arguments a;
    app.add_option("FILE", a.files, "StationXML documents, read in order")->required()->type_name("FILE.xml");
    app.add_option("-o,--output", a.output, "The SQL file, or - for standard output (default)");
    app.add_option("--schema", a.schema, "Validate every document against this XML schema (the FDSN's .xsd)")
        ->type_name("XSD");
    app.add_flag("--skip-unsupported", a.skip_unsupported,
                 "A value the response tables cannot hold leaves its channel (or station) out with a warning, "
                 "instead of failing the run");
    app.footer(
        "RESPONSE_DB (a SQLite path or postgresql://...), when set, names the database the SQL is for: it is read, "
        "never written, so that equal dictionary entries are reused, new keys go above those in use and epochs "
        "already there are left out. Without it keys start at 1. Every row's lddate is now, or SOURCE_DATE_EPOCH "
        "(seconds since 1970) when set. FILE is written whole or not at all; standard output gets nothing unless "
        "every document converts.\nExit status: 0 done, 1 failed, 2 usage error.");

    if (auto status = rdb::parse_command_line(app, argc, argv, [](const char *message) { return usage_error(message); }))
        return *status;

    std::vector<std::string> messages;
    try {
        int status = run(a, messages);
        print(messages);
        return status;
    } catch (const UsageError &e) {
        return usage_error(e.what());
    } catch (const seed::OutputConflict &e) {
        return usage_error(e.what());
    } catch (const importer::Failure &e) {
        print(messages);
        std::fprintf(stderr, "stationxml2sql: %s\n", seed::printable(e.what()).c_str());
    } catch (const seed::Error &e) {
        print(messages);
        std::fprintf(stderr, "stationxml2sql: %s\n", seed::printable(e.what()).c_str());
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "stationxml2sql: out of memory\n");
    } catch (const std::exception &) {
        std::fprintf(stderr, "stationxml2sql: internal error: please report how this run was made\n");
    }
    return 1;
}
