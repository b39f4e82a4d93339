// respdb serve: the FDSN station web service (fdsnws-station 1.1) on the
// response database, read only.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <memory>

#include "respdb/commands.hpp"
#include "common/db/session.hpp"
#include "respdb/http_service.hpp"

namespace respdb {
namespace {

struct ServeArguments {
    std::string listen = "127.0.0.1:8080";
    std::string database;
    ServiceOptions service;
};

int run_serve_command(ServeArguments &a)
{
    ServiceOptions o = a.service;
    std::size_t colon = a.listen.rfind(':');
    if (colon == std::string::npos || colon == 0) throw UsageError("--listen '" + a.listen + "': ADDRESS:PORT expected");
    o.address = a.listen.substr(0, colon);
    if (o.address.size() > 2 && o.address.front() == '[' && o.address.back() == ']')
        o.address = o.address.substr(1, o.address.size() - 2);
    const std::string port = a.listen.substr(colon + 1);
    char *end = nullptr;
    long p = port.empty() ? -1 : std::strtol(port.c_str(), &end, 10);
    if (p < 0 || p > 65535 || *end != '\0') throw UsageError("--listen '" + a.listen + "': the port is a number up to 65535");
    o.port = static_cast<unsigned short>(p);
    o.database = a.database.empty() ? rdb::service_alias() : a.database;
    // The documents' writer is seedtree's, as the export's.
    o.answer.module = "seedtree " RESPDB_VERSION;
    o.answer.generate.lookup = std::getenv("USE_LOOKUP") != nullptr;
    o.answer.generate.abpoly = std::getenv("USE_ABPOLY") != nullptr;
    run_service(o);
    return 0;
}

}  // namespace

Command add_serve_command(CLI::App &app)
{
    auto a = std::make_shared<ServeArguments>();
    CLI::App *c = app.add_subcommand("serve", "Serves the database as an FDSN station web service (fdsnws-station 1.1).");
    c->add_option("--listen", a->listen, "Address and port to listen on (default 127.0.0.1:8080; port 0: any)")
        ->type_name("ADDR:PORT");
    c->add_option("--threads", a->service.threads, "Workers, each with its own database connection (default 2)")
        ->check(CLI::Range(1, 256));
    c->add_option("--max-body", a->service.max_body, "Largest POST body, in bytes (default 1048576)")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 30));
    c->add_option("--max-channels", a->service.max_channels,
                  "Most channel epochs in one answer at level channel or response; more is a 413 (default 100000, 0: no limit)");
    c->add_option("--timeout", a->service.timeout,
                  "Seconds for a request to arrive whole, for each piece of an answer to be taken, and for an idle "
                  "connection to stay open (default 30)")
        ->check(CLI::Range(1, 3600));
    c->add_option("--max-connections", a->service.max_connections, "Connections open at once; more get a 503 (default 256)")
        ->check(CLI::Range(1, 100000));
    c->add_option("--database", a->database, "The database (default: RESPONSE_DB, or response.db)")->type_name("ALIAS");
    c->footer("Endpoints under /fdsnws/station/1/: query (GET, POST), version, application.wadl. One access-log line per "
              "request on standard output; SIGTERM finishes the requests in flight and exits 0. USE_LOOKUP and "
              "USE_ABPOLY as for respdb export.");
    return {c, [a] { return run_serve_command(*a); }};
}

}  // namespace respdb
