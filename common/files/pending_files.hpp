// Files and directories a run writes under a temporary name before it puts
// them in place. Whatever ends the run first, they do not stay behind:
// their owners remove them on failure, exit() removes what is left, and so
// does SIGTERM, SIGINT or SIGHUP (the handler then ends the process by the
// same signal, as if there were none).
//
// The handler only reads fixed buffers and calls async-signal-safe
// functions, so a signal may come at any moment.
#pragma once

#include <signal.h>

#include <string>

namespace files {

enum class Pending {
    file,       // unlinked
    tree,       // a directory, removed with everything in it
    empty_dir,  // a directory made for the output, removed only when empty
};

// Registers path; the handlers are installed on the first call. Returns
// the slot to release, or -1 when every slot is taken or the path is
// longer than a slot holds (the caller then has no guard, as before).
int pending_add(const std::string &path, Pending kind);

// The path has been put in place (or removed by its owner): forgotten.
void pending_release(int slot);

// Removes what is pending and forgets it: a run that gives up.
void pending_remove(int slot);

// Removes a directory and everything below it, without following symbolic
// links (async-signal-safe). false when something stays.
bool remove_tree(const char *path);

// Holds SIGTERM, SIGINT and SIGHUP back while it lives: a file created and
// then registered is never left between the two.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    sigset_t saved_;
};

}  // namespace files
