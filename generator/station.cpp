#include "state.hpp"
#include "writers.hpp"

namespace quorvex {

void write_station_blockettes(Quorvex &) {}  // not yet built

}  // namespace quorvex
