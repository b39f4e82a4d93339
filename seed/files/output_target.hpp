// Where a command's output goes (-o FILE), looked at before any work is
// done, so that no run replaces what the name points to by accident:
//
//   "-"                      standard output
//   a missing name           a new file
//   a regular file           replaced whole: the new file is written beside
//                            it and renamed over it; through a symbolic link
//                            the file it points to is replaced, the link
//                            kept
//   a FIFO, a character      written into as it is (/dev/stdout, a pipe
//   device                   another program reads), never replaced
//   anything else            refused (a directory, a socket, a block device)
//
// Refused as well, before anything is read: a file inside the header tree
// (its H.A, a new file among its directories) and a file that is one of the
// run's inputs (stationxml2sql in.xml -o in.xml).
#pragma once

#include <string>
#include <vector>

#include "seed/reader/error.hpp"

namespace seed {

// An output that would land in the tree or on an input: the arguments
// contradict each other (a usage error, status 2).
class OutputConflict : public Error {
public:
    using Error::Error;
};

struct OutputTarget {
    enum class Kind { standard_output, stream, file };
    Kind kind = Kind::standard_output;
    std::string path;  // as given, for messages
    std::string file;  // Kind::file: the file to put in place (symbolic links followed)

    // Written whole or not at all (a file); else written as it comes.
    bool whole() const { return kind == Kind::file; }
};

// The target of -o path for a run that reads the tree below root (empty:
// none) and the given input files. Error for a target that cannot be
// written; OutputConflict for one inside root or on an input.
OutputTarget output_target(const std::string &path, const std::string &root,
                           const std::vector<std::string> &inputs = {});

// A directory a run writes files into (seedtree resp -o DIR): missing (it
// is made), or a directory (a symbolic link to one will do).
// OutputConflict when it lies inside root, Error when it is something else.
void check_output_directory(const std::string &path, const std::string &root);

// path lies in outer or below it (both resolved through symbolic links as
// far as they exist).
bool lies_inside(const std::string &path, const std::string &outer);

}  // namespace seed
