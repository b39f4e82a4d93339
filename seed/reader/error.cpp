#include "seed/reader/error.hpp"

namespace seed {

Error::Error(std::string message) : message_(std::move(message)), text_(message_) {}

Error::Error(const Source &source, std::string message) : Error(source, {}, std::move(message)) {}

Error::Error(const Source &source, std::string field, std::string message)
    : source_(source), field_(std::move(field)), message_(std::move(message))
{
    if (!source_.file.empty()) {
        text_ = source_.file.str();
        if (source_.line > 0) text_ += ":" + std::to_string(source_.line);
        text_ += ": ";
    }
    if (!field_.empty()) text_ += field_ + ": ";
    text_ += message_;
}

}  // namespace seed
