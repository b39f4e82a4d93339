// The subcommands of seedtree. Each returns the exit status; failures are
// thrown (Error, or UsageError for arguments found wrong after parsing).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace seed {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ListArguments {
    std::string root;
};

struct VolumeArguments {
    std::string root;
    std::string output;  // "-": standard output
    std::vector<std::string> stations;
    std::string label, organization;  // empty: the defaults
};

int run_list(const ListArguments &arguments);
int run_volume(const VolumeArguments &arguments);

// "STA.NET": 1 to 5 letters or digits, a dot, 1 or 2 letters or digits.
bool valid_station_code(const std::string &code);

// The note on dropped repeats, once per run, on standard error.
void note_dropped_repeats(std::size_t dropped);

}  // namespace seed
