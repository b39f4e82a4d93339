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
#include <memory>
#include <string>
#include <string_view>

namespace seed {

// A file's path, shared by the places that name it: every line of a file
// carries its path, which is held once. Reads like a const std::string.
class FileName {
public:
    FileName() = default;
    FileName(std::string path) : path_(std::make_shared<const std::string>(std::move(path))) {}  // NOLINT: as a string
    FileName(const char *path) : FileName(std::string(path)) {}                                   // NOLINT
    // A path held by (or beside) something else that owner keeps alive.
    explicit FileName(std::shared_ptr<const std::string> path) : path_(std::move(path)) {}

    const std::string &str() const { return path_ ? *path_ : none(); }
    operator const std::string &() const { return str(); }  // NOLINT: reads as a string
    bool empty() const { return str().empty(); }
    std::size_t size() const { return str().size(); }
    const char *c_str() const { return str().c_str(); }

    friend std::string operator+(const FileName &a, const std::string &b) { return a.str() + b; }
    friend std::string operator+(const FileName &a, const char *b) { return a.str() + b; }
    friend std::string operator+(const std::string &a, const FileName &b) { return a + b.str(); }
    friend std::string operator+(const char *a, const FileName &b) { return a + b.str(); }
    friend bool operator==(const FileName &a, const FileName &b) { return a.str() == b.str(); }
    friend bool operator==(const FileName &a, std::string_view b) { return a.str() == b; }

private:
    static const std::string &none()
    {
        static const std::string empty;
        return empty;
    }
    std::shared_ptr<const std::string> path_;
};

// Where a line of the tree came from: file path and 1-based line number.
struct Source {
    FileName file;
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
