#include "generator/tree_paths.hpp"

namespace quorvex {

std::string dictionary_path(const std::string &root) { return root + "/H.A"; }

std::string station_directory(const std::string &root, const char *sta, const char *net)
{
    return root + "/" + sta + "." + net + "/";
}

std::string channel_directory(const std::string &root, const char *sta, const char *net, const char *seedchan,
                              const char *location)
{
    return root + "/" + sta + "." + net + "/" + seedchan + "." + location;
}

}  // namespace quorvex
