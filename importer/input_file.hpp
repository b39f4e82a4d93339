// A document the import reads: opened once, before anything is read, and
// read from the start by each pass. A pipe or a device (stationxml2sql
// <(curl ...), /dev/stdin) is copied first into an unnamed temporary file,
// since it can be read only once.
#pragma once

#include <sys/types.h>

#include <string>

namespace importer {

class InputFile {
public:
    // Failure when it cannot be read; InputError when it is empty.
    explicit InputFile(const std::string &path);
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    const std::string &path() const { return path_; }
    // Up to size bytes from offset; -1 on a failed read (errno set).
    ssize_t read(char *buffer, std::size_t size, off_t offset) const;

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace importer
