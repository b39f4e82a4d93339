#pragma once

namespace quorvex {

// The whole program Quorvex: argument split, then the epoch listing or one
// generation run into the tree on disk. Returns the exit status.
int run(int argc, char **argv);

}  // namespace quorvex
