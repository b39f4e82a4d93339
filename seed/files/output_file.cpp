#include "seed/files/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "seed/reader/error.hpp"
#include "common/files/pending_files.hpp"

namespace seed {

namespace {

std::string reason() { return std::strerror(errno); }

OutputTarget file_target(const std::string &path)
{
    OutputTarget t;
    t.path = path;
    if (path != "-") {
        t.kind = OutputTarget::Kind::file;
        t.file = path;
    }
    return t;
}

}  // namespace

OutputFile::OutputFile(const std::string &path, Sync sync) : OutputFile(file_target(path)) { sync_ = sync; }

OutputFile::OutputFile(const OutputTarget &target) : path_(target.path), file_(target.file)
{
    if (target.kind == OutputTarget::Kind::standard_output) {
        fd_ = 1;
        stream_ = true;
        return;
    }
    if (target.kind == OutputTarget::Kind::stream) {
        fd_ = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) throw Error(Source{path_, 0}, "cannot open it for writing: " + reason());
        struct stat st{};
        if (::fstat(fd_, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
            throw Error(Source{path_, 0}, "is no longer a FIFO or a character device");
        }
        stream_ = true;
        return;
    }
    std::size_t slash = file_.rfind('/');
    std::string dir = slash == std::string::npos ? "." : file_.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? file_ : file_.substr(slash + 1);
    if (base.empty()) throw Error(Source{path_, 0}, "not a file name");
    temporary_ = (slash == std::string::npos ? "" : dir) + "." + base + ".XXXXXX";
    files::SignalsHeld held;
    fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        int saved = errno;
        temporary_.clear();
        errno = saved;
        throw Error(Source{path_, 0}, "cannot create the file: " + reason());
    }
    pending_ = files::pending_add(temporary_, files::Pending::file);
    // mkstemp makes the file private; the output gets the usual mode.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile()
{
    if (fd_ > 1) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    files::pending_release(pending_);
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
    if (stream_) {
        committed_ = true;
        if (fd_ > 1) {
            int fd = fd_;
            fd_ = -1;
            if (::close(fd) != 0) throw Error(Source{path_, 0}, "cannot write: " + reason());
        }
        return;
    }
    int fd = fd_;
    fd_ = -1;
    bool synced = sync_ == Sync::by_caller || ::fsync(fd) == 0;
    int saved = errno;
    bool closed = ::close(fd) == 0;
    if (!synced) errno = saved;
    if (!synced || !closed) throw Error(Source{path_, 0}, "cannot write: " + reason());
    if (std::rename(temporary_.c_str(), file_.c_str()) != 0)
        throw Error(Source{path_, 0}, "cannot put the file in place: " + reason());
    committed_ = true;
}

void sync_file_system(const std::string &path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool synced = fd >= 0 && ::syncfs(fd) == 0;
    int saved = errno;
    if (fd >= 0) ::close(fd);
    errno = saved;
    if (!synced) throw Error(Source{path, 0}, "cannot write: " + reason());
}

}  // namespace seed
