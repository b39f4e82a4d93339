#include "state.hpp"
#include "writers.hpp"

namespace quorvex {

void write_response(Quorvex &, TreeFile &) {}  // not yet built

}  // namespace quorvex
