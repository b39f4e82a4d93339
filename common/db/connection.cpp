#include "common/db/connection.hpp"

#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>
#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

#include "common/db/sqlite_functions.hpp"

namespace rdb {
namespace {

bool starts_with(const std::string &text, const char *prefix) { return text.rfind(prefix, 0) == 0; }

std::string percent_decoded(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A libpq value in single quotes, so that blanks and quotes stay in it.
std::string conninfo_value(const std::string &value)
{
    std::string out = "'";
    for (char c : value) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

// A connection that cannot be made, or a server that stops answering, ends
// the run with an error instead of a wait without end; the alias's own
// values come later and so take precedence.
const char *const postgresql_defaults =
    "connect_timeout='10' keepalives='1' keepalives_idle='30' keepalives_interval='10' keepalives_count='3' ";

// libpq key/value pairs from a URI postgresql://HOST[:PORT]/DBNAME[?KEY=VALUE&...]
// (HOST may be a percent-encoded socket directory).
std::string uri_conninfo(const std::string &uri, std::size_t scheme_size)
{
    std::string conninfo;
    std::string rest = uri.substr(scheme_size);
    std::string query;
    if (std::size_t q = rest.find('?'); q != std::string::npos) {
        query = rest.substr(q + 1);
        rest.erase(q);
    }
    std::string authority = rest.substr(0, rest.find('/'));
    std::string dbname = rest.find('/') == std::string::npos ? "" : rest.substr(rest.find('/') + 1);
    std::string host = authority, port;
    if (std::size_t colon = authority.rfind(':');
        colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.size() > 1 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (!host.empty()) conninfo += "host=" + conninfo_value(percent_decoded(host)) + " ";
    if (!port.empty()) conninfo += "port=" + conninfo_value(port) + " ";
    if (!dbname.empty()) conninfo += "dbname=" + conninfo_value(percent_decoded(dbname)) + " ";
    for (std::size_t pos = 0; pos < query.size();) {
        std::size_t amp = query.find('&', pos);
        std::string pair = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        std::size_t eq = pair.find('=');
        std::string key = pair.substr(0, eq);
        for (char c : key)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
                throw std::invalid_argument("RESPONSE_DB: '" + key + "' is not a connection option name");
        if (eq != std::string::npos) conninfo += key + "=" + conninfo_value(percent_decoded(pair.substr(eq + 1))) + " ";
        pos = amp == std::string::npos ? query.size() : amp + 1;
    }
    return conninfo;
}

void open_sqlite(soci::session &session, const std::string &path)
{
    // Connections of one process (the workers of an export or a service)
    // must not meet at SQLite's global allocation counters, and each is
    // used by one thread only, so none needs its own locks. Only possible
    // before SQLite's first use, which this is in every tool.
    static const bool configured = [] {
        sqlite_api::sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        sqlite_api::sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
        return true;
    }();
    (void)configured;
    // SOCI reads the path from its own connection string, between double
    // quotes: one in the path would end it and let the rest be read as
    // options.
    if (path.empty()) throw std::invalid_argument("RESPONSE_DB: no SQLite file named");
    if (path.find('"') != std::string::npos)
        throw std::invalid_argument("RESPONSE_DB: a SQLite file name may not hold a double quote: " + path);
    // The tools never write: the file is opened read-only, so a missing
    // file is an error rather than a new empty database.
    session.open(soci::sqlite3, "db=\"" + path + "\" readonly=true");
    auto *backend = static_cast<soci::sqlite3_session_backend *>(session.get_backend());
    if (register_sqlite_functions(reinterpret_cast<::sqlite3 *>(backend->conn_)) != SQLITE_OK)
        throw std::runtime_error("cannot register the date functions");
    // A writer holding the file (a load in progress) is waited for, a few
    // seconds, rather than failing the run at once.
    session << "PRAGMA busy_timeout=5000";
    // A run is one read transaction over a cached database: SQLite then
    // takes its file lock once, and repeated statements hit memory. The
    // file is read, not mapped: a file cut short or replaced while a run
    // reads it is then an error status, not a SIGBUS.
    session << "PRAGMA cache_size=-65536";
    // Text comparisons are case-sensitive in the tools' statements, LIKE
    // included, as on the server databases the tools also run against.
    session << "PRAGMA case_sensitive_like=ON";
    session.begin();
    // The file is read at the first statement: a file that is not a
    // database fails here, at connect, like a missing one.
    int tables = 0;
    session << "select count(*) from sqlite_master", soci::into(tables);
}

void open_postgresql(soci::session &session, const std::string &conninfo)
{
    // The backend (and with it libpq and its TLS, Kerberos and LDAP
    // libraries) is loaded by name, only when a server is named: a run on a
    // SQLite file never pays for loading and relocating them.
    try {
        session.open("postgresql", conninfo);
    } catch (const soci::soci_error &e) {
        const std::string what = e.what();
        if (what.find("ailed to find shared library for backend") != std::string::npos ||
            what.find("ailed to load shared library for backend") != std::string::npos)
            throw std::runtime_error("the PostgreSQL backend cannot be loaded (install libsoci-postgresql4.0): " +
                                     what);
        throw;
    }
    // Dates are text and never meet a time zone, but pin the session to UTC
    // all the same; the tools' TO_DATE and TO_CHAR come before pg_catalog's.
    session << "SET TIME ZONE 'UTC'";
    // A backslash in a literal is a backslash whatever the server's default:
    // a search pattern can never end its literal early.
    session << "SET standard_conforming_strings = on";
    session << "SELECT set_config('search_path', 'rtools, ' || current_setting('search_path') || ', pg_catalog', false)";
    restart_read_transaction(session);
}

}  // namespace

DatabaseAddress resolve_alias(const std::string &alias, const std::string &user, const std::string &password)
{
    const std::string account = "user=" + conninfo_value(user) + " password=" + conninfo_value(password);
    for (const char *scheme : {"postgresql://", "postgres://"})
        if (starts_with(alias, scheme))
            return {Dialect::postgresql, postgresql_defaults + uri_conninfo(alias, std::strlen(scheme)) + account};
    if (starts_with(alias, "postgresql:"))
        return {Dialect::postgresql, postgresql_defaults + alias.substr(11) + " " + account};
    if (starts_with(alias, "sqlite:")) return {Dialect::sqlite, alias.substr(7)};
    return {Dialect::sqlite, alias};
}

void reset_sqlite_statements(soci::session &session)
{
    auto *backend = static_cast<soci::sqlite3_session_backend *>(session.get_backend());
    sqlite_api::sqlite3 *db = backend->conn_;
    for (sqlite_api::sqlite3_stmt *s = sqlite_api::sqlite3_next_stmt(db, nullptr); s;
         s = sqlite_api::sqlite3_next_stmt(db, s))
        sqlite_api::sqlite3_reset(s);
}

void restart_read_transaction(soci::session &session)
{
    // One consistent view of the database for the whole run, read only.
    session.begin();
    session << "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY";
}

Dialect open_session(soci::session &session, const std::string &alias, const std::string &user,
                     const std::string &password)
{
    DatabaseAddress address = resolve_alias(alias, user, password);
    if (address.dialect == Dialect::postgresql)
        open_postgresql(session, address.target);
    else
        open_sqlite(session, address.target);
    return address.dialect;
}

}  // namespace rdb
