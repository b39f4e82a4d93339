#include "respdb/progress.hpp"

#include <cstdio>
#include <string>

namespace respdb {
namespace {

std::string minutes(double seconds)
{
    long s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

ProgressBar::ProgressBar(bool enabled, std::size_t stations, std::size_t channel_epochs)
    : enabled_(enabled), stations_(stations), channel_epochs_(channel_epochs),
      started_(std::chrono::steady_clock::now()), drawn_(started_)
{
    draw(true);
}

void ProgressBar::advance(std::size_t channel_epochs)
{
    ++stations_done_;
    channel_epochs_done_ += channel_epochs;
    draw(stations_done_ == stations_);
}

void ProgressBar::finish()
{
    if (!enabled_ || finished_) return;
    finished_ = true;
    draw(true);
    std::fputc('\n', stderr);
}

void ProgressBar::draw(bool force)
{
    if (!enabled_ || (finished_ && !force)) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const double done = channel_epochs_ ? static_cast<double>(channel_epochs_done_) / static_cast<double>(channel_epochs_)
                        : stations_ ? static_cast<double>(stations_done_) / static_cast<double>(stations_)
                                    : 1.0;
    constexpr int width = 30;
    const int filled = static_cast<int>(done * width);
    std::string bar(static_cast<std::size_t>(filled), '=');
    if (filled < width) bar += '>';
    bar.resize(width, ' ');
    const std::string left = done > 0 && done < 1 ? minutes(elapsed / done - elapsed) : "-:--";
    std::fprintf(stderr, "\r[%s] %zu/%zu stations, %zu/%zu channel epochs, %s elapsed, %s left ", bar.c_str(),
                 stations_done_, stations_, channel_epochs_done_, channel_epochs_, minutes(elapsed).c_str(),
                 left.c_str());
    std::fflush(stderr);
}

}  // namespace respdb
