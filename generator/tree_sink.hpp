// Where the generator's records go: the header tree on disk (DiskTree) or
// in memory (MemoryTree). The writers see only these two interfaces, so a
// record is the same bytes whichever tree receives it, and a file that the
// disk would refuse (a channel file without its station directory) is
// refused in memory too.
#pragma once

#include <memory>
#include <string>

namespace quorvex {

// One file of the tree, open for appending records.
class TreeFile {
public:
    explicit TreeFile(std::string path) : path_(std::move(path)) {}
    virtual ~TreeFile() = default;
    TreeFile(const TreeFile &) = delete;
    TreeFile &operator=(const TreeFile &) = delete;

    const std::string &path() const { return path_; }
    // The line and its newline, whole or not at all; false (errno set) when
    // it did not reach the file.
    virtual bool write_line(const std::string &line) = 0;

private:
    std::string path_;
};

class TreeSink {
public:
    virtual ~TreeSink() = default;

    // One level, its result ignored: a missing parent shows when a file
    // inside cannot be opened.
    virtual void make_directory(const std::string &path) = 0;
    // The file, created when missing; nullptr when it cannot be opened.
    virtual std::unique_ptr<TreeFile> open_append(const std::string &path) = 0;

    // The dictionary: written once per tree, whole or not at all.
    // present: it exists and can be read. locked: it exists but can be
    // neither read nor written (it must stay as it is).
    virtual bool dictionary_present(const std::string &path) = 0;
    virtual bool dictionary_locked(const std::string &path) = 0;
    // A new dictionary that is not in place until commit_dictionary(); one
    // dropped before that leaves nothing behind. nullptr: cannot be made.
    virtual std::unique_ptr<TreeFile> begin_dictionary(const std::string &path) = 0;
    virtual bool commit_dictionary(TreeFile &file) = 0;
};

}  // namespace quorvex
