// The one error type of the header-tree reader and the volume writer.
//
// Thrown wherever a tree or a request cannot be turned into metadata, and
// caught once, in the program's failure path. what() is the whole message:
//
//   FILE:LINE: B052 field 18 (sample rate): "2.0x00E+01" is not a number
//   FILE: message                 (no line: a file or directory as a whole)
//   message                       (no place: a request that cannot be met)
#pragma once

#include <exception>
#include <string>

namespace seed {

// Where a line of the tree came from: file path and 1-based line number.
struct Source {
    std::string file;
    int line = 0;
};

class Error : public std::exception {
public:
    explicit Error(std::string message);
    Error(const Source &source, std::string message);
    Error(const Source &source, std::string field, std::string message);

    const char *what() const noexcept override { return text_.c_str(); }
    const Source &source() const { return source_; }
    const std::string &field() const { return field_; }
    const std::string &message() const { return message_; }

private:
    Source source_;
    std::string field_;  // "B052 field 18 (sample rate)", or empty
    std::string message_;
    std::string text_;
};

}  // namespace seed
