// A file that appears only when it is complete: written under a temporary
// name in the same directory and renamed into place by commit(). Until
// then, and if commit() is never reached (a failure, or a signal that ends
// the run), the target is left as it was and the temporary file removed.
// Standard output, and a FIFO or character device given as the target,
// are written into as the data comes.
#pragma once

#include <string>
#include <string_view>

#include "seed/files/output_target.hpp"

namespace seed {

// When a committed file reaches the disk: at its commit, or when the
// caller syncs the file system once for many files of a directory the run
// made for itself, before that directory is put in place (sync_file_system).
enum class Sync { at_commit, by_caller };

class OutputFile {
public:
    explicit OutputFile(const OutputTarget &target);  // Error when it cannot be created
    // A file of a directory the run made for itself, or "-".
    explicit OutputFile(const std::string &path, Sync sync = Sync::at_commit);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(std::string_view data);  // Error on a failed write
    void commit();
    const std::string &path() const { return path_; }

private:
    std::string path_;  // for messages
    std::string file_, temporary_;
    int fd_ = -1;
    int pending_ = -1;
    bool stream_ = false;  // written into as it is: no temporary, no rename
    bool committed_ = false;
    Sync sync_ = Sync::at_commit;
};

// Writes to disk what the file system holding path has in memory (every
// file of a directory written with Sync::by_caller). Error when it cannot.
void sync_file_system(const std::string &path);

}  // namespace seed
