#include "tree_paths.hpp"

#include "state.hpp"

namespace quorvex {

std::string dictionary_path(const Quorvex &q) { return q.root + "/H.A"; }

std::string station_directory(const Quorvex &q)
{
    return q.root + "/" + q.sta + "." + q.net + "/";
}

std::string station_file(const Quorvex &q, const char *name) { return station_directory(q) + name; }

std::string channel_directory(const Quorvex &q)
{
    return q.root + "/" + q.sta + "." + q.net + "/" + q.seedchan + "." + q.location;
}

std::string channel_file(const Quorvex &q, const char *name)
{
    return channel_directory(q) + "/" + name;
}

}  // namespace quorvex
