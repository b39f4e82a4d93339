// The subcommands of respdb: each adds itself to the command line and gives
// the function that runs it once parsed (its exit status); failures are
// thrown (std::exception with the message, UsageError for arguments found
// wrong after parsing).
#pragma once

#include <functional>
#include <stdexcept>

namespace CLI {
class App;
}

namespace respdb {

struct Command {
    CLI::App *app = nullptr;
    std::function<int()> run;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Command add_export_command(CLI::App &app);
Command add_serve_command(CLI::App &app);

}  // namespace respdb
