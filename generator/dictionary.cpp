#include "state.hpp"
#include "writers.hpp"

namespace quorvex {

void write_dictionary(Quorvex &) {}  // not yet built

}  // namespace quorvex
