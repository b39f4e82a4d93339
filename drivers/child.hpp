// Starting the next tool of a batch. The tool is found in the tools
// directory and started from an argument vector, never through a shell, so
// no text of a request or command line is ever interpreted; the parent waits
// for it before going on.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace drivers {

// RESPONSE_TOOLS_DIR when set, otherwise the directory of the running
// executable: the drivers and the generator are installed side by side.
std::string tools_dir();

struct ChildOutcome {
    enum class Kind { exited, signaled, not_started };
    Kind kind = Kind::exited;
    int code = 0;  // exit status, signal number, or errno of the start

    bool failed() const { return kind != Kind::exited || code != 0; }
};

// Runs path with args (argv[0] is path) and the inherited environment, and
// waits for it. Standard output is flushed first so that the child's lines
// come after the parent's even when they share a pipe.
ChildOutcome run_child(const std::string &path, const std::vector<std::string> &args);

// Starts path with args without waiting; its standard output and error go
// to out_fd and err_fd (-1: the parent's). Returns 0 and sets pid, or the
// error number of a child that could not start.
int start_child(const std::string &path, const std::vector<std::string> &args, int out_fd, int err_fd,
                pid_t &pid);

// The outcome of a wait status.
ChildOutcome outcome_of(int status);

// "exit status 1", "killed by signal 9", "not started: No such file or directory".
std::string describe(const ChildOutcome &outcome);

// A failed child named on standard error, "Failed (OUTCOME): COMMAND";
// returns true when it failed.
bool report_failure(const ChildOutcome &outcome, const std::string &command);

// run_child for a batch: a child that failed is named on standard error as
// "Failed (OUTCOME): COMMAND" and the batch goes on. Returns true when it
// failed.
bool run_batch_child(const std::string &path, const std::vector<std::string> &args, const std::string &command);

// The words the shell makes of a text by field splitting at blanks, and
// nothing else: no quoting, expansion or command separators.
std::vector<std::string> blank_words(std::string_view text);

}  // namespace drivers
