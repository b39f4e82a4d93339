#include "output_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "error.hpp"

namespace seed {

namespace {

std::string reason() { return std::strerror(errno); }

}  // namespace

OutputFile::OutputFile(const std::string &path) : path_(path)
{
    if (path == "-") {
        fd_ = 1;
        return;
    }
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) throw Error(Source{path, 0}, "not a file name");
    temporary_ = (slash == std::string::npos ? "" : dir) + "." + base + ".XXXXXX";
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0) {
        int saved = errno;
        temporary_.clear();
        errno = saved;
        throw Error(Source{path, 0}, "cannot create the file: " + reason());
    }
    // mkstemp makes the file private; the volume gets the usual mode.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile()
{
    if (fd_ > 1) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void OutputFile::write(std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Error(Source{path_ == "-" ? "standard output" : path_, 0}, "cannot write: " + reason());
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

void OutputFile::commit()
{
    if (path_ == "-") {
        committed_ = true;
        return;
    }
    int fd = fd_;
    fd_ = -1;
    bool synced = ::fsync(fd) == 0;
    int saved = errno;
    bool closed = ::close(fd) == 0;
    if (!synced) errno = saved;
    if (!synced || !closed) throw Error(Source{path_, 0}, "cannot write: " + reason());
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw Error(Source{path_, 0}, "cannot put the file in place: " + reason());
    committed_ = true;
}

}  // namespace seed
