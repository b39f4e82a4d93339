#pragma once

namespace quorvex {

// The whole program: argument split, epoch listing or generation run.
// Returns the exit status (some paths end the process themselves).
int run(int argc, char **argv);

}  // namespace quorvex
