#include "drivers/batch.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>

#include "drivers/child.hpp"

namespace drivers {
namespace {

// A file with no name that holds what one child writes to one stream.
struct Capture {
    std::FILE *file = std::tmpfile();
    ~Capture()
    {
        if (file) std::fclose(file);
    }
    int fd() const { return file ? fileno(file) : -1; }

    // Copies everything written into the file to out.
    void copy_to(std::FILE *out) const
    {
        if (!file) return;
        std::rewind(file);
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) std::fwrite(buffer, 1, n, out);
    }
};

struct Running {
    std::size_t index;
    Capture out, err;
    ChildOutcome outcome;
    bool done = false;
};

bool run_serially(const std::vector<BatchRun> &runs)
{
    bool any_failed = false;
    for (const BatchRun &run : runs) {
        std::fputs(run.before.c_str(), stdout);
        any_failed |= run_batch_child(run.path, run.args, run.command);
    }
    return any_failed;
}

}  // namespace

bool run_batch(const std::vector<BatchRun> &runs, int jobs, const std::function<bool()> &may_overlap)
{
    if (jobs <= 1) return run_serially(runs);

    bool any_failed = false;
    std::map<pid_t, std::unique_ptr<Running>> running;
    std::map<std::size_t, std::unique_ptr<Running>> finished;  // by index, not yet printed
    std::size_t next_to_start = 0, next_to_print = 0;

    // Prints the finished runs that come next in order.
    auto print_ready = [&] {
        for (auto it = finished.find(next_to_print); it != finished.end(); it = finished.find(next_to_print)) {
            const Running &r = *it->second;
            std::fputs(runs[r.index].before.c_str(), stdout);
            std::fflush(stdout);
            r.out.copy_to(stdout);
            std::fflush(stdout);
            r.err.copy_to(stderr);
            any_failed |= report_failure(r.outcome, runs[r.index].command);
            std::fflush(stderr);
            finished.erase(it);
            ++next_to_print;
        }
    };

    while (next_to_print < runs.size()) {
        // Start what may start: one at a time until overlapping is allowed.
        const std::size_t limit = may_overlap() ? static_cast<std::size_t>(jobs) : 1;
        while (next_to_start < runs.size() && running.size() < limit) {
            auto r = std::make_unique<Running>();
            r->index = next_to_start++;
            const BatchRun &run = runs[r->index];
            pid_t pid = 0;
            int rc = r->out.file && r->err.file ? start_child(run.path, run.args, r->out.fd(), r->err.fd(), pid) : EMFILE;
            if (rc != 0) {
                r->outcome = {ChildOutcome::Kind::not_started, rc};
                finished[r->index] = std::move(r);
                continue;
            }
            running[pid] = std::move(r);
        }
        print_ready();
        if (running.empty()) continue;

        int status = 0;
        pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            // No child left to wait for: what was running is lost.
            for (auto &[p, r] : running) {
                r->outcome = {ChildOutcome::Kind::not_started, errno};
                finished[r->index] = std::move(r);
            }
            running.clear();
            continue;
        }
        auto it = running.find(pid);
        if (it == running.end()) continue;
        it->second->outcome = outcome_of(status);
        finished[it->second->index] = std::move(it->second);
        running.erase(it);
        print_ready();
    }
    return any_failed;
}

}  // namespace drivers
