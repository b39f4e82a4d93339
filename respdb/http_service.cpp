#include "respdb/http_service.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "respdb/fdsn_query.hpp"
#include "seed/writers/run_time.hpp"
#include "respdb/service_pages.hpp"

namespace respdb {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// A failed write of an answer's piece: the client is gone or too slow.
class ClientGone : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A query handed to a worker, and what it did. The session that made it
// waits for done; the worker touches it only until then.
struct Job {
    fdsn::Query query;
    beast::tcp_stream *stream = nullptr;
    std::chrono::seconds timeout{30};
    bool keep_alive = true;
    // Set by the worker.
    bool streamed = false;       // the answer went out as 200, chunked
    bool aborted = false;        // ... and broke off: the connection must close
    int status = 200;            // otherwise the status of an error answer
    std::string message;         // its reason
    std::size_t bytes = 0;
    std::function<void()> done;  // posted to the network thread at the end
    // The header of a streamed answer, alive while it is written.
    http::response<http::empty_body> header;
    std::unique_ptr<http::response_serializer<http::empty_body>> serializer;
};

// Runs an operation on the network thread and waits for its end, from a
// worker: the worker's answer is written one piece at a time.
template <class Start>
beast::error_code on_network_thread(beast::tcp_stream &stream, Start start)
{
    // The promise is shared with the handler: set_value may still be
    // returning on the network thread when the worker wakes.
    auto result = std::make_shared<std::promise<beast::error_code>>();
    std::future<beast::error_code> done = result->get_future();
    asio::post(stream.get_executor(), [&start, result] { start([result](beast::error_code ec) { result->set_value(ec); }); });
    return done.get();
}

// The worker threads: each has its database connection, made when first
// needed and again after a failure, and a fresh read transaction per query.
class Workers {
public:
    Workers(const ServiceOptions &options) : options_(options)
    {
        for (int k = 0; k < options.threads; ++k) threads_.emplace_back([this] { work(); });
    }
    ~Workers() { stop(); }

    void submit(Job *job)
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(job);
        changed_.notify_one();
    }

    void stop()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
        }
        for (std::thread &t : threads_)
            if (t.joinable()) t.join();
    }

private:
    void work()
    {
        std::unique_ptr<rdb::Sql> sql;
        for (;;) {
            Job *job = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                job = jobs_.front();
                jobs_.pop_front();
            }
            answer(sql, *job);
            auto done = std::move(job->done);
            asio::post(job->stream->get_executor(), std::move(done));
        }
    }

    // The connection for a query: the one held, renewed, or a new one.
    bool ready(std::unique_ptr<rdb::Sql> &sql, std::string &why)
    {
        if (sql && sql->database().renew_read_transaction() >= 0) return true;
        sql.reset();
        try {
            auto fresh = std::make_unique<rdb::Sql>();
            fresh->connect_to(options_.database);
            sql = std::move(fresh);
            return true;
        } catch (const rdb::RunEnd &e) {
            why = one_line(e.text());
        } catch (const std::exception &e) {
            why = e.what();
        }
        return false;
    }

    // Whether a failure was the database's: the connection no longer
    // answers the simplest statement.
    static bool database_gone(rdb::Sql &sql)
    {
        if (sql.database().renew_read_transaction() < 0) return true;
        char dummy[8] = "";
        return sql.database().select_into("select DUMMY  from DUAL", {}, {rdb::out(dummy)}) < 0;
    }

    void answer(std::unique_ptr<rdb::Sql> &sql, Job &job)
    {
        std::string why;
        if (!ready(sql, why)) {
            job.status = 503;
            job.message = "the database is not available: " + why;
            return;
        }
        fdsn::AnswerOptions answer = options_.answer;
        // Created: now, or SOURCE_DATE_EPOCH as the export has it.
        std::string problem;
        try {
            if (!seed::stamp_time(answer.created, problem)) answer.created = std::time(nullptr);
        } catch (const std::exception &) {
            answer.created = std::time(nullptr);
        }
        try {
            std::vector<StationPlan> plan = fdsn::query_plan(*sql, job.query, options_.max_channels);
            bool any = fdsn::write_answer(*sql, job.query, plan, answer, [&](std::string_view data) { send(job, data); });
            if (!any) {
                job.status = job.query.nodata;
                job.message = "no station or channel epoch matches the request";
                return;
            }
            finish(job);
        } catch (const fdsn::TooLarge &e) {
            job.status = 413;
            job.message = e.what();
        } catch (const ClientGone &) {
            job.aborted = true;
        } catch (const std::exception &e) {
            std::string what = e.what();
            if (const auto *end = dynamic_cast<const rdb::RunEnd *>(&e)) what = one_line(end->text());
            bool gone = database_gone(*sql);
            if (gone) sql.reset();
            if (job.streamed) {
                job.aborted = true;  // the status went out with the first piece
                return;
            }
            job.status = gone ? 503 : 500;
            job.message = gone ? "the database failed: " + what : what;
        }
    }

    // One piece of the answer; the status and header go with the first.
    void send(Job &job, std::string_view data)
    {
        if (data.empty()) return;
        beast::tcp_stream &stream = *job.stream;
        if (!job.streamed) {
            job.streamed = true;
            job.header.result(http::status::ok);
            job.header.version(11);
            job.header.set(http::field::server, "respdb");
            job.header.set(http::field::content_type,
                           job.query.format == fdsn::Format::text ? "text/plain; charset=utf-8" : "application/xml");
            job.header.set(http::field::access_control_allow_origin, "*");
            job.header.keep_alive(job.keep_alive);
            job.header.chunked(true);
            job.serializer = std::make_unique<http::response_serializer<http::empty_body>>(job.header);
            auto ec = on_network_thread(stream, [&](auto complete) {
                stream.expires_after(job.timeout);
                http::async_write_header(stream, *job.serializer,
                                         [complete](beast::error_code ec, std::size_t) { complete(ec); });
            });
            if (ec) throw ClientGone(ec.message());
        }
        auto ec = on_network_thread(stream, [&](auto complete) {
            stream.expires_after(job.timeout);
            asio::async_write(stream, http::make_chunk(asio::const_buffer(data.data(), data.size())),
                              [complete](beast::error_code ec, std::size_t) { complete(ec); });
        });
        if (ec) throw ClientGone(ec.message());
        job.bytes += data.size();
    }

    void finish(Job &job)
    {
        beast::tcp_stream &stream = *job.stream;
        auto ec = on_network_thread(stream, [&](auto complete) {
            stream.expires_after(job.timeout);
            asio::async_write(stream, http::make_chunk_last(),
                              [complete](beast::error_code ec, std::size_t) { complete(ec); });
        });
        if (ec) throw ClientGone(ec.message());
    }

    const ServiceOptions &options_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job *> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The text of the FDSN error answers.
std::string error_body(int status, const std::string &message, const std::string &target)
{
    char when[32];
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &tm);
    std::string reason(http::obsolete_reason(static_cast<http::status>(status)));
    return "Error " + std::to_string(status) + ": " + reason + "\n\n" + message +
           "\n\nUsage details are available from /fdsnws/station/1/\n\nRequest:\n" + target +
           "\n\nRequest Submitted:\n" + when + "\n\nService version:\n" + fdsn::service_version + "\n";
}

class Server;

// What the network thread knows of a connection.
struct Connection {
    beast::tcp_stream stream;
    bool waiting = true;  // for a request: cut off when the service stops
    explicit Connection(tcp::socket socket) : stream(std::move(socket)) {}
};

class Server {
public:
    Server(const ServiceOptions &options)
        : options_(options), acceptor_(io_), signals_(io_, SIGTERM, SIGINT), workers_(options)
    {
        beast::error_code ec;
        tcp::endpoint endpoint(asio::ip::make_address(options.address, ec), options.port);
        if (ec) throw std::runtime_error("--listen: '" + options.address + "' is not an IP address");
        acceptor_.open(endpoint.protocol());
        acceptor_.set_option(asio::socket_base::reuse_address(true));
        acceptor_.bind(endpoint, ec);
        if (ec) throw std::runtime_error("cannot listen on " + options.address + ":" + std::to_string(options.port) + ": " + ec.message());
        acceptor_.listen(asio::socket_base::max_listen_connections);
    }

    void run()
    {
        signals_.async_wait([this](beast::error_code ec, int) {
            if (!ec) drain();
        });
        asio::co_spawn(io_, accept(), asio::detached);
        std::printf("respdb serve: listening on %s:%u\n", options_.address.c_str(),
                    static_cast<unsigned>(acceptor_.local_endpoint().port()));
        std::fflush(stdout);
        io_.run();
        workers_.stop();
    }

private:
    // No new connections; connections waiting for a request close; those
    // answering finish, and close after their answer.
    void drain()
    {
        draining_ = true;
        beast::error_code ec;
        acceptor_.close(ec);
        for (Connection *c : connections_)
            if (c->waiting) c->stream.socket().close(ec);
    }

    asio::awaitable<void> accept()
    {
        while (!draining_) {
            beast::error_code ec;
            tcp::socket socket = co_await acceptor_.async_accept(asio::redirect_error(asio::use_awaitable, ec));
            if (ec) {
                if (draining_) break;
                continue;  // a connection that failed before it was accepted
            }
            // An answer goes out in several writes (header, pieces, last
            // chunk): Nagle's delay would hold each small one back for the
            // client's delayed acknowledgement, 40 ms at a time.
            socket.set_option(tcp::no_delay(true), ec);
            asio::co_spawn(io_, session(std::move(socket)), asio::detached);
        }
    }

    void log(const std::string &peer, const http::request<http::string_body> &req, int status, std::size_t bytes,
             Clock::time_point start)
    {
        char when[32];
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        std::strftime(when, sizeof when, "%d/%b/%Y:%H:%M:%S +0000", &tm);
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        // A request cut off before its line was read is logged as "- -".
        std::string method(req.method_string()), target(req.target().substr(0, 2048));
        if (method.empty()) method = "-";
        if (target.empty()) target = "-";
        for (char &c : target)
            if (c < 0x20 || c == 0x7f || c == '"') c = '?';
        std::printf("%s - - [%s] \"%s %s HTTP/%u.%u\" %d %zu %.1fms\n", peer.c_str(), when,
                    method.c_str(), target.c_str(), req.version() / 10, req.version() % 10,
                    status, bytes, ms);
        std::fflush(stdout);
    }

    asio::awaitable<void> session(tcp::socket socket)
    {
        beast::error_code ec;
        std::string peer = socket.remote_endpoint(ec).address().to_string();
        Connection connection(std::move(socket));
        beast::tcp_stream &stream = connection.stream;
        const auto timeout = std::chrono::seconds(options_.timeout);
        if (static_cast<int>(connections_.size()) >= options_.max_connections) {
            http::response<http::string_body> res{http::status::service_unavailable, 11};
            res.set(http::field::content_type, "text/plain");
            res.set(http::field::access_control_allow_origin, "*");
            res.body() = error_body(503, "too many connections; try again later", "");
            res.keep_alive(false);
            res.prepare_payload();
            stream.expires_after(timeout);
            co_await http::async_write(stream, res, asio::redirect_error(asio::use_awaitable, ec));
            stream.socket().shutdown(tcp::socket::shutdown_send, ec);
            co_return;
        }
        connections_.insert(&connection);
        beast::flat_buffer buffer;
        for (;;) {
            http::request_parser<http::string_body> parser;
            parser.header_limit(static_cast<std::uint32_t>(options_.max_header));
            parser.body_limit(options_.max_body);
            connection.waiting = true;
            if (draining_) break;
            // One deadline for the whole request: a client that sends a byte
            // a second is cut off with it, as is an idle one.
            stream.expires_after(timeout);
            co_await http::async_read(stream, buffer, parser, asio::redirect_error(asio::use_awaitable, ec));
            connection.waiting = false;
            const auto start = Clock::now();
            // (Messages are made before each co_await: g++ 12 destroys the
            // temporaries of a conditional expression in one twice.)
            std::string refusal;
            int refused = 0;
            if (ec == http::error::body_limit) {
                refused = 413;
                refusal = "the request body is over this service's limit of " + std::to_string(options_.max_body) + " bytes";
            } else if (ec == http::error::header_limit) {
                refused = 431;
                refusal = "the request header is over this service's limit of " + std::to_string(options_.max_header) + " bytes";
            } else if (ec == beast::error::timeout && parser.got_some()) {
                refused = 408;
                refusal = "the request did not arrive whole in " + std::to_string(options_.timeout) + " s";
            } else if (ec && ec != http::error::end_of_stream && ec != beast::error::timeout &&
                       ec != asio::error::operation_aborted && ec != asio::error::connection_reset &&
                       ec != asio::error::bad_descriptor && parser.got_some()) {
                refused = 400;
                refusal = "a malformed HTTP request: " + ec.message();
            }
            if (refused) {
                http::request<http::string_body> req;
                if (refused == 413) req.base() = parser.get().base();
                co_await reply(stream, req, refused, refusal, false, peer, start);
                break;
            }
            if (ec) break;
            http::request<http::string_body> req = parser.release();
            bool keep = req.keep_alive() && !draining_;
            if (!co_await handle(stream, req, keep, peer, start)) break;
            if (!keep || draining_) break;
        }
        connections_.erase(&connection);
        stream.socket().shutdown(tcp::socket::shutdown_send, ec);
        stream.socket().close(ec);
    }

    // A whole answer of a few bytes; false when it could not be written.
    asio::awaitable<bool> reply(beast::tcp_stream &stream, const http::request<http::string_body> &req, int status,
                                std::string text, bool keep, std::string peer, Clock::time_point start,
                                const char *type = "text/plain; charset=utf-8")
    {
        http::response<http::string_body> res{static_cast<http::status>(status), 11};
        res.set(http::field::server, "respdb");
        res.set(http::field::access_control_allow_origin, "*");
        if (status >= 400)
            res.body() = error_body(status, text, std::string(req.target()));
        else if (status != 204)
            res.body() = text;
        if (status != 204) res.set(http::field::content_type, type);
        res.keep_alive(keep);
        res.prepare_payload();
        beast::error_code ec;
        stream.expires_after(std::chrono::seconds(options_.timeout));
        co_await http::async_write(stream, res, asio::redirect_error(asio::use_awaitable, ec));
        log(peer, req, status, res.body().size(), start);
        co_return !ec;
    }

    // Answers one request; false when the connection must close.
    asio::awaitable<bool> handle(beast::tcp_stream &stream, const http::request<http::string_body> &req, bool keep,
                                 const std::string &peer, Clock::time_point start)
    {
        std::string_view target(req.target().data(), req.target().size());
        std::string_view path = target.substr(0, target.find('?'));
        std::string_view query_string = path.size() < target.size() ? target.substr(path.size() + 1) : "";
        const std::string base = "/fdsnws/station/1/";
        const bool get = req.method() == http::verb::get;
        if (path == base + "query") {
            if (!get && req.method() != http::verb::post)
                co_return co_await reply(stream, req, 405, "query takes GET or POST", keep, peer, start);
            Job job;
            std::string bad;
            try {
                job.query = get ? fdsn::parse_query_string(query_string) : fdsn::parse_post_body(req.body());
            } catch (const fdsn::BadRequest &e) {
                bad = e.what();
            }
            if (!bad.empty()) co_return co_await reply(stream, req, 400, bad, keep, peer, start);
            co_return co_await answer(stream, req, job, keep, peer, start);
        }
        if (!get) co_return co_await reply(stream, req, 405, "only GET is served here", keep, peer, start);
        if (path == base + "version") co_return co_await reply(stream, req, 200, fdsn::service_version, keep, peer, start);
        if (path == base + "application.wadl") {
            const std::string wadl = fdsn::wadl();
            co_return co_await reply(stream, req, 200, wadl, keep, peer, start, "application/xml");
        }
        if (path == base || path == "/fdsnws/station/1" || path == "/" || path == "/fdsnws/station/" || path == "/fdsnws/") {
            const std::string page = service_page(path == "/" || path == "/fdsnws/");
            co_return co_await reply(stream, req, 200, page, keep, peer, start, "text/html; charset=utf-8");
        }
        const std::string missing = "no such page; the service is at " + base;
        co_return co_await reply(stream, req, 404, missing, keep, peer, start);
    }

    // A query, answered by a worker while this coroutine waits.
    asio::awaitable<bool> answer(beast::tcp_stream &stream, const http::request<http::string_body> &req, Job &job, bool keep,
                                 const std::string &peer, Clock::time_point start)
    {
        job.stream = &stream;
        job.timeout = std::chrono::seconds(options_.timeout);
        job.keep_alive = keep;
        asio::steady_timer wake(stream.get_executor(), asio::steady_timer::time_point::max());
        bool finished = false;
        job.done = [&] {
            finished = true;
            wake.cancel();
        };
        workers_.submit(&job);
        while (!finished) {
            beast::error_code ec;
            co_await wake.async_wait(asio::redirect_error(asio::use_awaitable, ec));
        }
        if (job.streamed) {
            log(peer, req, 200, job.bytes, start);
            co_return !job.aborted;
        }
        if (job.aborted) co_return false;
        co_return co_await reply(stream, req, job.status, job.message, keep, peer, start);
    }

    const ServiceOptions &options_;
    asio::io_context io_{1};
    tcp::acceptor acceptor_;
    asio::signal_set signals_;
    Workers workers_;
    std::set<Connection *> connections_;
    bool draining_ = false;
};

}  // namespace

void run_service(const ServiceOptions &options)
{
    // A closed connection is a failed write, handled where it happens.
    std::signal(SIGPIPE, SIG_IGN);
    Server server(options);
    server.run();
}

}  // namespace respdb
