#include "state.hpp"

namespace quorvex {

std::string channel_row(const Quorvex &q)
{
    return std::string(q.sta) + "." + q.net + "." + q.seedchan + "." + q.location;
}

std::string stage_row(const Quorvex &q) { return channel_row(q) + " stage " + std::to_string(q.i); }

}  // namespace quorvex
