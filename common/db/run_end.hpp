// How a run ends early: one exception that carries the exit status, the
// exact text the program prints and how its connection ends. Library code
// throws it where a run must stop; each program's main catches it, prints
// the text, ends the connection and returns the status, so nothing below
// main ever ends the process.
#pragma once

#include <exception>
#include <string>

namespace rdb {

// How a stopped run ends its connection.
enum class Release { commit, rollback, none };

class RunEnd : public std::exception {
public:
    RunEnd(int status, std::string text, Release release)
        : status_(status), text_(std::move(text)), release_(release)
    {
    }
    int status() const { return status_; }
    // What the program prints on standard output, as it stands ("\n Error: ...\n\n").
    const std::string &text() const { return text_; }
    Release release() const { return release_; }
    const char *what() const noexcept override { return text_.c_str(); }

private:
    int status_;
    std::string text_;
    Release release_;
};

}  // namespace rdb
