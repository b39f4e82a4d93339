#include "common/db/database.hpp"

#include <soci/soci.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "common/db/connection.hpp"
#include "common/db/date_text.hpp"
#include "common/db/number_text.hpp"
#include "common/db/statement_text.hpp"

namespace rdb {

// One prepared statement of the client with its staging values. SOCI binds
// by address, so the staging vectors are sized once and never resized.
struct CachedStatement {
    std::string text;
    ParsedStatement parsed;
    std::unique_ptr<soci::statement> st;
    bool prepared = false;        // outputs bound and text prepared
    bool pending_execute = false; // cursor opened before its first fetch
    bool exhausted = false;       // cursor reported no data
    bool busy = false;            // held by an open cursor

    std::vector<In::Kind> in_kinds;
    std::vector<std::string> in_text;
    std::vector<int> in_int;

    std::vector<Out::Kind> out_kinds;
    std::vector<std::string> out_text;  // every kind: numbers are parsed from their text
    std::vector<std::int32_t> out_whole;  // parsed before any variable is written
    std::vector<double> out_real;
    std::vector<soci::indicator> out_ind;
};

struct Database::Impl {
    std::unique_ptr<soci::session> session;
    Dialect dialect = Dialect::sqlite;
    // Several instances of one text exist only while a cursor holds one.
    std::unordered_map<std::string, std::vector<std::unique_ptr<CachedStatement>>> cache;
    std::unordered_map<const char *, CachedStatement *> by_address;
    std::vector<Cursor *> open_cursors;
    std::string error;

    int fail(int status, std::string message)
    {
        error = std::move(message);
        return status;
    }

    // A statement that failed in the client. PostgreSQL refuses everything
    // after an error until the transaction ends; the tools go on after a
    // failed date conversion, so a new read transaction takes its place.
    int client_error(const std::exception &e)
    {
        error = e.what();
        if (dialect == Dialect::postgresql && session) {
            try {
                session->rollback();
                restart_read_transaction(*session);
            } catch (const std::exception &) {
                // The next statement reports the state of the connection.
            }
        }
        return err_generic;
    }

    CachedStatement *acquire(const char *text)
    {
        // Statement texts are mostly literals: look them up by address
        // first, confirming the text, before hashing the whole text.
        auto hit = by_address.find(text);
        if (hit != by_address.end() && !hit->second->busy && hit->second->text == text)
            return hit->second;
        auto &instances = cache[text];
        for (auto &s : instances) {
            if (!s->busy) {
                by_address[text] = s.get();
                return s.get();
            }
        }
        auto s = std::make_unique<CachedStatement>();
        s->text = text;
        s->parsed = parse_statement(s->text);
        s->st = std::make_unique<soci::statement>(*session);
        instances.push_back(std::move(s));
        by_address[text] = instances.back().get();
        return instances.back().get();
    }

    int load_inputs(CachedStatement &s, std::initializer_list<In> inputs)
    {
        if (static_cast<int>(inputs.size()) != s.parsed.inputs)
            return fail(err_generic, "statement expects " + std::to_string(s.parsed.inputs) +
                                         " input values, " + std::to_string(inputs.size()) +
                                         " given: " + s.text);
        if (s.in_kinds.empty() && inputs.size() > 0) {
            s.in_text.resize(inputs.size());
            s.in_int.resize(inputs.size());
            for (const In &v : inputs) s.in_kinds.push_back(v.kind);
        }
        std::size_t k = 0;
        for (const In &v : inputs) {
            bool as_text = v.kind != In::Kind::i32;
            if (as_text != (s.in_kinds[k] != In::Kind::i32))
                return fail(err_generic, "input value " + std::to_string(k) +
                                             " changed kind: " + s.text);
            if (v.kind == In::Kind::date) {
                DateTime t;
                if (!parse_database_date(v.text, t))
                    return fail(err_bad_date,
                                std::string("ORA-01861: literal does not match format string: '") +
                                    v.text + "' is not a date of the form YYYY/MM/DD HH24:MI:SS");
            }
            if (as_text)
                s.in_text[k].assign(v.text);
            else
                s.in_int[k] = v.number;
            ++k;
        }
        return ok;
    }

    int check_output_shape(CachedStatement &s, Outputs outputs)
    {
        const auto &into = s.parsed.into_indicator;
        if (!into.empty()) {
            bool shape_ok = into.size() == outputs.size();
            std::size_t k = 0;
            for (const Out &o : outputs) {
                if (!shape_ok) break;
                shape_ok = into[k++] == (o.ind != nullptr);
            }
            if (!shape_ok)
                return fail(err_generic, "host variables do not match the INTO list of: " + s.text);
        }
        if (s.prepared) {
            bool same = s.out_kinds.size() == outputs.size();
            std::size_t k = 0;
            for (const Out &o : outputs) {
                if (!same) break;
                same = s.out_kinds[k++] == o.kind;
            }
            if (!same) return fail(err_generic, "host variables changed kind for: " + s.text);
        }
        return ok;
    }

    void prepare(CachedStatement &s, Outputs outputs)
    {
        const std::size_t n = outputs.size();
        s.out_text.resize(n);
        s.out_whole.resize(n);
        s.out_real.resize(n);
        s.out_ind.resize(n);
        std::size_t k = 0;
        for (const Out &o : outputs) {
            s.out_kinds.push_back(o.kind);
            s.st->exchange(soci::into(s.out_text[k], s.out_ind[k]));
            ++k;
        }
        for (std::size_t i = 0; i < s.in_kinds.size(); ++i) {
            if (s.in_kinds[i] == In::Kind::i32)
                s.st->exchange(soci::use(s.in_int[i]));
            else
                s.st->exchange(soci::use(s.in_text[i]));
        }
        s.st->alloc();
        s.st->prepare(adapt_to_dialect(s.parsed.sql, dialect));
        s.st->define_and_bind();
        s.prepared = true;
    }

    // A column's error: status and message naming the value and the column.
    int column_error(int status, const char *what, const CachedStatement &s, std::size_t k)
    {
        return fail(status, std::string(what) + ": '" + s.out_text[k] + "' (column " + std::to_string(k + 1) +
                                " of: " + s.text + ")");
    }

    // Output rules: checked for every column first, so that an error leaves
    // every variable as it was.
    int store_outputs(CachedStatement &s, Outputs outputs)
    {
        std::size_t k = 0;
        for (const Out &o : outputs) {
            const std::string &v = s.out_text[k];
            if (s.out_ind[k] == soci::i_null) {
                if (!o.ind)
                    return fail(err_null_no_indicator,
                                "ORA-01405: fetched column value is NULL (column " + std::to_string(k + 1) +
                                    " of: " + s.text + ")");
            } else if (o.kind == Out::Kind::text || o.kind == Out::Kind::chr) {
                std::size_t room = o.kind == Out::Kind::text ? o.width - 1 : 1;
                if (v.size() > room)
                    return fail(err_truncated, "ORA-01406: fetched column value was truncated (column " +
                                                   std::to_string(k + 1) + ", '" + v + "' longer than " +
                                                   std::to_string(room) + " characters, of: " + s.text + ")");
                // A C text would end at the NUL and drop the rest unseen.
                if (v.find('\0') != std::string::npos)
                    return fail(err_generic, "ORA-01406: fetched text holds a NUL byte (column " +
                                                 std::to_string(k + 1) + " of: " + s.text + ")");
            } else {
                NumberText status = o.kind == Out::Kind::i32 ? parse_int32(v, s.out_whole[k])
                                                             : parse_real(v, s.out_real[k]);
                if (status == NumberText::not_a_number)
                    return column_error(err_invalid_number, "ORA-01722: invalid number", s, k);
                if (status == NumberText::out_of_range)
                    return column_error(err_integer_overflow, "ORA-01455: converting column overflows integer datatype", s, k);
                if (status == NumberText::not_finite)
                    return column_error(err_numeric_overflow, "ORA-01426: numeric overflow", s, k);
            }
            ++k;
        }
        k = 0;
        for (const Out &o : outputs) {
            if (s.out_ind[k] == soci::i_null) {
                *o.ind = -1;
                ++k;
                continue;
            }
            if (o.ind) *o.ind = 0;
            const std::string &v = s.out_text[k];
            switch (o.kind) {
            case Out::Kind::text: {
                char *buf = static_cast<char *>(o.target);
                std::memcpy(buf, v.data(), v.size());
                std::memset(buf + v.size(), ' ', o.width - 1 - v.size());
                buf[o.width - 1] = '\0';
                break;
            }
            case Out::Kind::chr:
                *static_cast<char *>(o.target) = v.empty() ? ' ' : v[0];
                break;
            case Out::Kind::i32:
                *static_cast<std::int32_t *>(o.target) = s.out_whole[k];
                break;
            case Out::Kind::f32:
                *static_cast<float *>(o.target) = static_cast<float>(s.out_real[k]);
                break;
            case Out::Kind::f64:
                *static_cast<double *>(o.target) = s.out_real[k];
                break;
            }
            ++k;
        }
        return ok;
    }

    void detach(Cursor &cursor)
    {
        if (cursor.stmt_) cursor.stmt_->busy = false;
        cursor.stmt_ = nullptr;
        cursor.db_ = nullptr;
        open_cursors.erase(std::remove(open_cursors.begin(), open_cursors.end(), &cursor), open_cursors.end());
    }

    int open(Database &db, Cursor &cursor, const char *text, std::initializer_list<In> inputs)
    {
        if (cursor.stmt_) detach(cursor);  // reopening closes first
        CachedStatement *s = acquire(text);
        int rc = load_inputs(*s, inputs);
        if (rc != ok) return rc;
        s->exhausted = false;
        if (s->prepared) {
            s->st->execute(false);
            s->pending_execute = false;
        } else {
            s->pending_execute = true;  // outputs become known at the first fetch
        }
        s->busy = true;
        cursor.stmt_ = s;
        cursor.db_ = &db;
        open_cursors.push_back(&cursor);
        return ok;
    }

    // Every statement goes with the connection; cursors still open are
    // detached from them first.
    void forget_statements()
    {
        for (Cursor *c : open_cursors) {
            c->stmt_ = nullptr;
            c->db_ = nullptr;
        }
        open_cursors.clear();
        by_address.clear();
        cache.clear();
    }

    // Ends the transaction (commit or rollback) and the connection; the
    // connection is gone afterwards whether or not the end succeeded.
    int release(bool commit)
    {
        if (!session) return fail(err_not_connected, "ORA-03114: not connected to ORACLE");
        forget_statements();
        try {
            if (commit)
                session->commit();
            else
                session->rollback();
            session->close();
        } catch (const std::exception &e) {
            session.reset();
            return fail(err_generic, e.what());
        }
        session.reset();
        return ok;
    }
};

Cursor::~Cursor()
{
    if (db_) db_->close(*this);
}

Database::Database() : impl_(std::make_unique<Impl>()) {}
Database::~Database() { impl_->forget_statements(); }

bool Database::connected() const { return impl_->session != nullptr; }

int Database::connect(const std::string &connect_string)
{
    Impl &d = *impl_;
    if (d.session) return d.fail(err_generic, "already connected");
    std::size_t slash = connect_string.find('/');
    std::size_t at = connect_string.find('@', slash == std::string::npos ? 0 : slash);
    if (slash == std::string::npos || at == std::string::npos)
        return d.fail(err_generic, "ORA-12154: connect string must be user/password@alias");
    const std::string user = connect_string.substr(0, slash);
    const std::string password = connect_string.substr(slash + 1, at - slash - 1);
    const std::string alias = connect_string.substr(at + 1);
    if (alias.empty()) return d.fail(err_generic, "ORA-12154: no database alias given");

    try {
        d.session = std::make_unique<soci::session>();
        d.dialect = open_session(*d.session, alias, user, password);
    } catch (const std::exception &e) {
        d.session.reset();
        return d.fail(err_generic, e.what());
    }
    return ok;
}

int Database::select_into(const char *sql, std::initializer_list<In> inputs,
                          Outputs outputs)
{
    Impl &d = *impl_;
    if (!d.session) return d.fail(err_not_connected, "ORA-03114: not connected to ORACLE");
    try {
        CachedStatement *s = d.acquire(sql);
        int rc = d.check_output_shape(*s, outputs);
        if (rc == ok) rc = d.load_inputs(*s, inputs);
        if (rc != ok) return rc;
        if (!s->prepared) d.prepare(*s, outputs);
        if (!s->st->execute(true)) return no_data;
        // A second row makes a single-row select ambiguous.
        if (s->st->fetch())
            return d.fail(err_too_many_rows,
                          "ORA-01422: exact fetch returns more than requested number of rows: " +
                              s->text);
        return d.store_outputs(*s, outputs);
    } catch (const std::exception &e) {
        return d.client_error(e);
    }
}

int Database::open(Cursor &cursor, const char *sql, std::initializer_list<In> inputs)
{
    Impl &d = *impl_;
    if (!d.session) return d.fail(err_not_connected, "ORA-03114: not connected to ORACLE");
    try {
        return d.open(*this, cursor, sql, inputs);
    } catch (const std::exception &e) {
        return d.client_error(e);
    }
}

int Database::prepare(Cursor &cursor, const std::string &text)
{
    Impl &d = *impl_;
    if (!d.session) return d.fail(err_not_connected, "ORA-03114: not connected to ORACLE");
    try {
        parse_statement(text);
    } catch (const std::exception &e) {
        return d.fail(err_generic, e.what());
    }
    cursor.dynamic_text_ = text;
    return ok;
}

int Database::open(Cursor &cursor, std::initializer_list<In> inputs)
{
    if (cursor.dynamic_text_.empty())
        return impl_->fail(err_cursor_state, "ORA-01001: open of a cursor that was not prepared");
    std::string text = cursor.dynamic_text_;
    return open(cursor, text.c_str(), inputs);
}

int Database::fetch(Cursor &cursor, Outputs outputs)
{
    Impl &d = *impl_;
    if (!cursor.stmt_) return d.fail(err_cursor_state, "ORA-01001: fetch from a cursor that is not open");
    CachedStatement &s = *cursor.stmt_;
    if (s.exhausted) return no_data;
    try {
        int rc = d.check_output_shape(s, outputs);
        if (rc != ok) return rc;
        if (!s.prepared) d.prepare(s, outputs);
        if (s.pending_execute) {
            s.st->execute(false);
            s.pending_execute = false;
        }
        if (!s.st->fetch()) {
            s.exhausted = true;
            return no_data;
        }
        return d.store_outputs(s, outputs);
    } catch (const std::exception &e) {
        return d.client_error(e);
    }
}

int Database::close(Cursor &cursor)
{
    if (!cursor.stmt_) return impl_->fail(err_cursor_state, "ORA-01001: close of a cursor that is not open");
    impl_->detach(cursor);
    return ok;
}

int Database::commit_release() { return impl_->release(true); }

int Database::renew_read_transaction()
{
    Impl &d = *impl_;
    if (!d.session) return d.fail(err_not_connected, "ORA-03114: not connected to ORACLE");
    try {
        if (d.dialect == Dialect::sqlite) reset_sqlite_statements(*d.session);
        d.session->rollback();
        if (d.dialect == Dialect::postgresql)
            restart_read_transaction(*d.session);
        else
            d.session->begin();
    } catch (const std::exception &e) {
        return d.fail(err_generic, e.what());
    }
    return ok;
}

int Database::rollback_release() { return impl_->release(false); }

int Database::report_error(int status, std::string message) { return impl_->fail(status, std::move(message)); }

std::size_t Database::last_error(char *buf, std::size_t size) const
{
    std::size_t n = impl_->error.size() < size ? impl_->error.size() : size;
    std::memcpy(buf, impl_->error.data(), n);
    return n;
}

const std::string &Database::last_error() const { return impl_->error; }

}  // namespace rdb
