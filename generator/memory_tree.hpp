// The header tree in memory: the records of each file, in the order
// written, by path relative to the root. Directories are tracked as the
// disk has them, so that a file the disk would refuse is refused here too
// and a run gives the same records and the same end in either tree.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "generator/tree_sink.hpp"

namespace quorvex {

class MemoryTree : public TreeSink {
public:
    // root: the root path the generator is given (its paths begin with it).
    // A tree that has_dictionary already counts its H.A as present, so
    // that runs into several trees need the dictionary written only once.
    explicit MemoryTree(std::string root, bool has_dictionary = false);

    // "H.A", "STA.NET/B050", "STA.NET/CHAN.LOC/B052", ... -> records.
    using Files = std::map<std::string, std::vector<std::string>>;
    const Files &files() const { return files_; }
    Files take_files() { return std::move(files_); }

    void make_directory(const std::string &path) override;
    std::unique_ptr<TreeFile> open_append(const std::string &path) override;
    bool dictionary_present(const std::string &path) override;
    bool dictionary_locked(const std::string &path) override;
    std::unique_ptr<TreeFile> begin_dictionary(const std::string &path) override;
    bool commit_dictionary(TreeFile &file) override;

private:
    // The path below the root, or nullptr for a path outside it.
    const char *relative(const std::string &path) const;
    bool directory_exists(const std::string &relative_path) const;

    std::string root_;
    bool has_dictionary_;
    Files files_;
    std::set<std::string> directories_;  // below the root, "" the root itself
};

}  // namespace quorvex
