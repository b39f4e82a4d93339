#include "connection.hpp"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>
#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

#include "sqlite_functions.hpp"

namespace rdb {

namespace {

bool is_postgresql_alias(const std::string &alias)
{
    return alias.rfind("postgresql://", 0) == 0 || alias.rfind("postgres://", 0) == 0 ||
           alias.find("dbname=") != std::string::npos || alias.find("host=") != std::string::npos;
}

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

// Key/value connection string for libpq from the alias, with the tools'
// account: a URI postgresql://HOST[:PORT]/DBNAME[?KEY=VALUE&...] (HOST may be
// a percent-encoded socket directory), or key/value pairs as libpq takes them.
std::string postgresql_conninfo(const std::string &alias, const std::string &user,
                                const std::string &password)
{
    std::string conninfo;
    for (const char *scheme : {"postgresql://", "postgres://"}) {
        const std::size_t n = std::strlen(scheme);
        if (alias.compare(0, n, scheme) != 0) continue;
        std::string rest = alias.substr(n);
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
            if (std::size_t eq = pair.find('='); eq != std::string::npos)
                conninfo += pair.substr(0, eq) + "=" + conninfo_value(percent_decoded(pair.substr(eq + 1))) + " ";
            pos = amp == std::string::npos ? query.size() : amp + 1;
        }
        return conninfo + "user=" + conninfo_value(user) + " password=" + conninfo_value(password);
    }
    return alias + " user=" + conninfo_value(user) + " password=" + conninfo_value(password);
}

void open_sqlite(soci::session &session, const std::string &path)
{
    // The tools never write: the file is opened read-only, so a missing
    // file is an error rather than a new empty database.
    session.open(soci::sqlite3, "db=\"" + path + "\" readonly=true");
    auto *backend = static_cast<soci::sqlite3_session_backend *>(session.get_backend());
    if (register_sqlite_functions(reinterpret_cast<::sqlite3 *>(backend->conn_)) != SQLITE_OK)
        throw std::runtime_error("cannot register the date functions");
    // A run is one read transaction over a cached database: SQLite then
    // takes its file lock once, and repeated statements hit memory.
    session << "PRAGMA mmap_size=1073741824";
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
    session.open(soci::postgresql, conninfo);
    // Dates are text and never meet a time zone, but pin the session to UTC
    // all the same; the tools' TO_DATE and TO_CHAR come before pg_catalog's.
    session << "SET TIME ZONE 'UTC'";
    session << "SELECT set_config('search_path', 'rtools, ' || current_setting('search_path') || ', pg_catalog', false)";
    restart_read_transaction(session);
}

}  // namespace

void restart_read_transaction(soci::session &session)
{
    // One consistent view of the database for the whole run, read only.
    session.begin();
    session << "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY";
}

Dialect open_session(soci::session &session, const std::string &alias, const std::string &user,
                     const std::string &password)
{
    if (is_postgresql_alias(alias)) {
        open_postgresql(session, postgresql_conninfo(alias, user, password));
        return Dialect::postgresql;
    }
    open_sqlite(session, alias);
    return Dialect::sqlite;
}

}  // namespace rdb
