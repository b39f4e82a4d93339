// A progress bar on standard error, for runs long enough to want one:
// stations done of all, channel epochs, elapsed and remaining time, drawn
// again at most ten times a second. Nothing at all when not enabled (not
// a terminal, or --quiet).
#pragma once

#include <chrono>
#include <cstddef>

namespace respdb {

class ProgressBar {
public:
    ProgressBar(bool enabled, std::size_t stations, std::size_t channel_epochs);
    void advance(std::size_t channel_epochs);  // one more station done
    void finish();                             // the last line, and its newline

private:
    void draw(bool force);

    bool enabled_;
    std::size_t stations_, channel_epochs_;
    std::size_t stations_done_ = 0, channel_epochs_done_ = 0;
    std::chrono::steady_clock::time_point started_, drawn_;
    bool finished_ = false;
};

}  // namespace respdb
