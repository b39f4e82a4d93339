#include "generator/state.hpp"

#include <cstdarg>

namespace quorvex {

void say(const Quorvex &q, const char *format, ...)
{
    if (!q.progress) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(q.progress, format, args);
    va_end(args);
}

std::string channel_row(const Quorvex &q)
{
    return std::string(q.sta) + "." + q.net + "." + q.seedchan + "." + q.location;
}

std::string stage_row(const Quorvex &q) { return channel_row(q) + " stage " + std::to_string(q.i); }

}  // namespace quorvex
