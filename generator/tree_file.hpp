// Files and directories of the header tree.
//
// Station and channel files are opened for appending; each record reaches its
// file in one write() of the record and its newline, so runs appending to
// the same file at once never interleave inside a line. A write that fails
// part-way (a full disk, the file size limit) is cut back to where the
// record began, so that no later run appends to a broken line.
#pragma once

#include <string>

#include "db/session.hpp"
#include "record.hpp"

namespace quorvex {

class TreeFile {
public:
    TreeFile() = default;
    TreeFile(const TreeFile &) = delete;
    TreeFile &operator=(const TreeFile &) = delete;
    ~TreeFile() { close(); }

    bool open_append(const std::string &path);  // "a+t": created when missing
    // A new file that did not exist before, not even as a symbolic link:
    // false with errno EEXIST when the name is taken.
    bool create_new(const std::string &path);
    bool is_open() const { return fd_ >= 0; }
    const std::string &path() const { return path_; }
    bool write_line(const std::string &line);  // the line and "\n", one write
    bool close();

private:
    int fd_ = -1;
    std::string path_;
};

// "rt" test: the file exists and can be read.
bool readable_file(const std::string &path);

// mkdir with mode 0755, one level; the result is ignored on purpose: a
// missing parent shows when a file inside cannot be opened.
void make_directory(const std::string &path);

// Opens a tree file or ends the run through open_failure.
void open_append_or_fail(rdb::Sql &sql, TreeFile &file, const std::string &path);

// Frames the record and writes it. A record with a value that does not fit
// its field, a record longer than 9999 characters or a failed write ends
// the run with status 1.
void write_record(rdb::Sql &sql, TreeFile &file, Record &record);

// "\n Error: Couldn't open file %s\n\n", commit with release, status 1.
[[noreturn]] void open_failure(rdb::Sql &sql, const std::string &path);

// "\n Error: Couldn't write file %s: REASON\n\n" (errno), commit with
// release, status 1: a record that did not reach its file must not end as
// a success.
[[noreturn]] void write_failure(rdb::Sql &sql, const std::string &path);

}  // namespace quorvex
