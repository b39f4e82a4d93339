// Names in the header tree, built from the root path and the codes as
// fetched (trailing blanks already stripped). Paths are std::string: a long
// root path either opens or fails at open, it never overruns a buffer.
//
//   root/H.A                      abbreviation dictionary
//   root/STA.NET/B050, B051       station blockettes
//   root/STA.NET/CHAN.LOC/B052    channel identifier and its response
//   root/STA.NET/CHAN.LOC/B059    channel comments
//
// A blank location gives a channel directory whose name ends with "."
// (BHZ.): stored trees use that name, so it is kept.
#pragma once

#include <string>

namespace quorvex {

std::string dictionary_path(const std::string &root);
std::string station_directory(const std::string &root, const char *sta, const char *net);
// location: the trimmed form (empty for a blank location).
std::string channel_directory(const std::string &root, const char *sta, const char *net, const char *seedchan,
                              const char *location);

}  // namespace quorvex
