// Running the children of a batch, one after another or several at once,
// with the output of a serial run either way.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace drivers {

struct BatchRun {
    std::string before;  // what the driver prints before the child's own output
    std::string path;
    std::vector<std::string> args;
    std::string command;  // names the run in its failed line
};

// Runs every run in order. With jobs 1 each child writes straight to the
// driver's standard output and error, as it runs. With more, up to jobs
// children run at once, but only while may_overlap() says so (until then
// one at a time); each child's standard output and error are captured and
// printed whole, in the order of runs, with its before text and its failed
// line ("Failed (OUTCOME): COMMAND" on standard error): the bytes of a
// serial run. A child that fails or is killed never stops the others.
// Returns true when any run failed.
bool run_batch(const std::vector<BatchRun> &runs, int jobs, const std::function<bool()> &may_overlap);

}  // namespace drivers
