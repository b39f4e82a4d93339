#include "record.hpp"

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

namespace quorvex {

void Record::vappend(const char *format, va_list args)
{
    char small[256];
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    if (n < 0) {
        va_end(again);
        throw std::runtime_error("record formatting failed");
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        text_.append(small, static_cast<std::size_t>(n));
    } else {
        std::size_t at = text_.size();
        text_.resize(at + static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text_.data() + at, static_cast<std::size_t>(n) + 1, format, again);
        text_.resize(at + static_cast<std::size_t>(n));
    }
    va_end(again);
}

void Record::begin(const char *format, ...)
{
    text_.clear();
    va_list args;
    va_start(args, format);
    vappend(format, args);
    va_end(args);
}

void Record::append(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vappend(format, args);
    va_end(args);
}

const std::string &Record::finish()
{
    if (text_.size() < 7 || !fits())
        throw std::logic_error("blockette record of " + std::to_string(text_.size()) +
                               " characters cannot be framed");
    char count[16];
    std::snprintf(count, sizeof count, "%04d", static_cast<int>(text_.size()));
    text_.replace(3, 4, count, 4);
    return text_;
}

std::size_t formatted_size(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

}  // namespace quorvex
