#include "common/db/session.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace rdb {

std::string service_alias()
{
    const char *env = std::getenv("RESPONSE_DB");
    return env && *env ? env : default_database;
}

int Sql::check(int status)
{
    SQLCODE = status;
    if (status < 0) sql_error();
    return status;
}

void Sql::connect()
{
    connect_to(service_alias());
    std::printf("\n Connected to ORACLE as user: %s\n\n", username);
}

void Sql::connect_to(const std::string &alias)
{
    check(db_.connect(std::string(username) + "/" + password + "@" + alias));
}

int Sql::select(const char *sql, std::initializer_list<In> inputs, Outputs outputs)
{
    return check(db_.select_into(sql, inputs, outputs));
}

void Sql::open(Cursor &cursor, const char *sql, std::initializer_list<In> inputs)
{
    check(db_.open(cursor, sql, inputs));
}

void Sql::prepare(Cursor &cursor, const std::string &text) { check(db_.prepare(cursor, text)); }

void Sql::open(Cursor &cursor, std::initializer_list<In> inputs) { check(db_.open(cursor, inputs)); }

int Sql::fetch(Cursor &cursor, Outputs outputs)
{
    return check(db_.fetch(cursor, outputs));
}

void Sql::close(Cursor &cursor) { check(db_.close(cursor)); }

void Sql::commit_release() { check(db_.commit_release()); }

void Sql::rollback_release() { check(db_.rollback_release()); }

void Sql::stop(Release release, const char *format, ...)
{
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    throw RunEnd(1, std::move(text), release);
}

int Sql::end(const RunEnd &run_end)
{
    std::fputs(run_end.text().c_str(), stdout);
    if (db_.connected()) {
        if (run_end.release() == Release::commit)
            SQLCODE = db_.commit_release();
        else if (run_end.release() == Release::rollback)
            SQLCODE = db_.rollback_release();
    }
    return run_end.status();
}

void Sql::sql_error(int status, const std::string &message)
{
    SQLCODE = db_.report_error(status, message);
    sql_error();
}

void Sql::sql_error()
{
    char msg[512];
    std::size_t len = db_.last_error(msg, sizeof msg);
    stop(Release::rollback, "\nORACLE error detected:\n%.*s \n", static_cast<int>(len), msg);
}

}  // namespace rdb
