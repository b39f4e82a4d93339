// respdb serve: the FDSN station web service over HTTP/1.1 (Boost.Beast
// on Asio). One network thread accepts connections, reads requests under
// limits and deadlines and answers the cheap endpoints itself; queries go
// to worker threads, each with its own database connection, which stream
// their answers back (chunked) through the network thread, one piece in
// flight at a time, so that a slow reader holds back its worker, not the
// service's memory.
#pragma once

#include <cstddef>
#include <string>

#include "respdb/fdsn_answer.hpp"

namespace respdb {

struct ServiceOptions {
    std::string address = "127.0.0.1";
    unsigned short port = 8080;
    int threads = 2;                      // workers, each with a connection
    std::size_t max_header = 8 * 1024;    // bytes of a request's header
    std::size_t max_body = 1 << 20;       // bytes of a POST body
    std::size_t max_channels = 100000;    // channel epochs in one answer
    int timeout = 30;                     // seconds: a request's read, each write, an idle connection
    int max_connections = 256;
    std::string database;                 // the alias, RESPONSE_DB's forms
    fdsn::AnswerOptions answer;
};

// Listens on the address and serves until SIGTERM or SIGINT; then stops
// accepting, closes idle connections, finishes the requests in flight and
// returns. One access-log line per request on standard output.
// std::runtime_error when the address cannot be listened on.
void run_service(const ServiceOptions &options);

}  // namespace respdb
