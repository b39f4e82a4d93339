// A file that appears only when it is complete: written under a temporary
// name in the same directory and renamed into place by commit(). Until
// then, and if commit() is never reached, the target is left as it was.
// "-" is standard output, written as it comes.
#pragma once

#include <string>
#include <string_view>

namespace seed {

class OutputFile {
public:
    explicit OutputFile(const std::string &path);  // Error when it cannot be created
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(std::string_view data);  // Error on a failed write
    void commit();

private:
    std::string path_, temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace seed
