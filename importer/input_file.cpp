#include "importer/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "importer/errors.hpp"

namespace importer {

namespace {

std::string reason() { return std::strerror(errno); }

}  // namespace

InputFile::InputFile(const std::string &path) : path_(path)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) throw Failure(path + ": cannot read the file: " + reason());
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        std::string why = reason();
        ::close(fd_);
        throw Failure(path + ": cannot read the file: " + why);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd_);
        throw Failure(path + ": cannot read the file: Is a directory");
    }
    off_t size = st.st_size;
    if (!S_ISREG(st.st_mode)) {
        // Read once: into a file of its own that both passes can read.
        std::FILE *copy = std::tmpfile();
        if (!copy) {
            ::close(fd_);
            throw Failure(path + ": cannot make a temporary file to read it into: " + reason());
        }
        int fd = ::dup(::fileno(copy));
        std::fclose(copy);
        char buffer[65536];
        size = 0;
        for (;;) {
            ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            bool failed = n < 0;
            for (ssize_t at = 0; !failed && at < n;) {
                ssize_t w = ::write(fd, buffer + at, static_cast<std::size_t>(n - at));
                if (w < 0 && errno == EINTR) continue;
                failed = w <= 0;
                at += w > 0 ? w : 0;
            }
            if (failed) {
                std::string why = reason();
                ::close(fd);
                ::close(fd_);
                throw Failure(path + (n < 0 ? ": cannot read the file: " : ": cannot copy it to a temporary file: ") +
                              why);
            }
            if (n == 0) break;
            size += n;
        }
        ::close(fd_);
        fd_ = fd;
    }
    if (size == 0) {
        ::close(fd_);
        fd_ = -1;
        throw InputError(Place{path, 0}, "the file is empty: not FDSN StationXML");
    }
}

InputFile::~InputFile()
{
    if (fd_ >= 0) ::close(fd_);
}

ssize_t InputFile::read(char *buffer, std::size_t size, off_t offset) const
{
    ssize_t n;
    do n = ::pread(fd_, buffer, size, offset);
    while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace importer
