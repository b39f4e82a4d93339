#include "state.hpp"
#include "writers.hpp"

namespace quorvex {

void write_channel(Quorvex &) {}  // not yet built

}  // namespace quorvex
