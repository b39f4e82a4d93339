// The header tree on disk.
//
// Station and channel files are opened for appending; each record reaches its
// file in one write() of the record and its newline, so runs appending to
// the same file at once never interleave inside a line. A write that fails
// part-way (a full disk, the file size limit) is cut back to where the
// record began, so that no later run appends to a broken line.
//
// The dictionary is written under a hidden temporary name beside H.A and
// renamed into place after its last record: a run that ends early leaves no
// H.A behind, so the next run writes a whole one instead of finding a
// truncated file "already present"; two runs that both find it missing
// each rename a complete file. The temporary goes with its TreeFile, and
// with the process on SIGTERM, SIGINT or SIGHUP.
#pragma once

#include "generator/tree_sink.hpp"

namespace quorvex {

class DiskTree : public TreeSink {
public:
    void make_directory(const std::string &path) override;
    std::unique_ptr<TreeFile> open_append(const std::string &path) override;
    bool dictionary_present(const std::string &path) override;
    bool dictionary_locked(const std::string &path) override;
    std::unique_ptr<TreeFile> begin_dictionary(const std::string &path) override;
    bool commit_dictionary(TreeFile &file) override;
};

}  // namespace quorvex
