#include "session.hpp"

#include <cstdio>
#include <cstdlib>

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
    std::string user_pwd = std::string(username) + "/" + password + "@" + service_alias();
    check(db_.connect(user_pwd));
    std::printf("\n Connected to ORACLE as user: %s\n\n", username);
}

int Sql::select(const char *sql, std::initializer_list<In> inputs, std::initializer_list<Out> outputs)
{
    return check(db_.select_into(sql, inputs, outputs));
}

int Sql::select_unchecked(const char *sql, std::initializer_list<In> inputs,
                          std::initializer_list<Out> outputs)
{
    SQLCODE = db_.select_into(sql, inputs, outputs);
    return SQLCODE;
}

void Sql::open(Cursor &cursor, const char *sql, std::initializer_list<In> inputs)
{
    check(db_.open(cursor, sql, inputs));
}

void Sql::prepare(Cursor &cursor, const std::string &text) { check(db_.prepare(cursor, text)); }

void Sql::open(Cursor &cursor, std::initializer_list<In> inputs) { check(db_.open(cursor, inputs)); }

int Sql::fetch(Cursor &cursor, std::initializer_list<Out> outputs)
{
    return check(db_.fetch(cursor, outputs));
}

void Sql::close(Cursor &cursor) { check(db_.close(cursor)); }

void Sql::commit_release() { check(db_.commit_release()); }

void Sql::rollback_release() { check(db_.rollback_release()); }

void Sql::sql_error()
{
    char msg[512];
    std::size_t len = db_.last_error(msg, sizeof msg);
    std::printf("\nORACLE error detected:");
    std::printf("\n%.*s \n", static_cast<int>(len), msg);
    // Not checked: a failing rollback must not call the handler again.
    SQLCODE = db_.connected() ? db_.rollback_release() : 0;
    std::exit(1);
}

}  // namespace rdb
