// How the tools built on CLI11 (seedtree, stationxml2sql, respdb) read their
// command line: --help and --version print on standard output and end the
// run with status 0; any other parse error is the caller's usage error
// (one line and a hint on standard error, status 2).
#pragma once

#include <CLI/CLI.hpp>

#include <optional>

namespace rdb {

// Parses argv into app. nullopt when the run goes on; otherwise the status
// to end with, usage_error(message) giving it for a parse error.
template <class UsageError>
std::optional<int> parse_command_line(CLI::App &app, int argc, char **argv, UsageError &&usage_error)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        return usage_error(e.what());
    }
    return std::nullopt;
}

}  // namespace rdb
