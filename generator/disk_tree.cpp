#include "generator/disk_tree.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/files/pending_files.hpp"

namespace quorvex {
namespace {

// A tree file on a descriptor of its own.
class DiskFile : public TreeFile {
public:
    DiskFile(std::string path, int fd) : TreeFile(std::move(path)), fd_(fd) {}
    ~DiskFile() override { close(); }

    bool write_line(const std::string &line) override
    {
        std::string out;
        out.reserve(line.size() + 1);
        out += line;
        out += '\n';
        struct stat before {};
        if (::fstat(fd_, &before) != 0) return false;
        const char *p = out.data();
        std::size_t left = out.size();
        while (left > 0) {
            ssize_t n = ::write(fd_, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = EIO;
                const int saved = errno;
                if (p != out.data()) (void)::ftruncate(fd_, before.st_size);
                errno = saved;
                return false;
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool close()
    {
        if (fd_ < 0) return true;
        int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

// The dictionary under its temporary name: removed when dropped before it
// is put in place.
class PendingDictionary : public DiskFile {
public:
    // slot: its place among the pending files, which no end of the run
    // (exit(), SIGTERM, SIGINT, SIGHUP) leaves behind.
    PendingDictionary(std::string path, std::string temporary, int fd, int slot)
        : DiskFile(std::move(path), fd), temporary_(std::move(temporary)), slot_(slot)
    {
    }
    ~PendingDictionary() override
    {
        close();
        if (!temporary_.empty()) ::unlink(temporary_.c_str());
        files::pending_release(slot_);
    }

    bool put_in_place()
    {
        if (!close() || std::rename(temporary_.c_str(), path().c_str()) != 0) return false;
        temporary_.clear();
        files::pending_release(slot_);
        slot_ = -1;
        return true;
    }

private:
    std::string temporary_;
    int slot_;
};

// The directory part of a path ("." for a bare name).
std::string directory_of(const std::string &path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

void DiskTree::make_directory(const std::string &path) { (void)::mkdir(path.c_str(), 0755); }

std::unique_ptr<TreeFile> DiskTree::open_append(const std::string &path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<DiskFile>(path, fd);
}

bool DiskTree::dictionary_present(const std::string &path)
{
    std::FILE *f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    std::fclose(f);
    return true;
}

bool DiskTree::dictionary_locked(const std::string &path)
{
    return ::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0;
}

// Hidden, in the same directory as H.A so that the rename is atomic, and
// new: a name already taken (a planted link, another run's file) is never
// opened, the next one is tried.
std::unique_ptr<TreeFile> DiskTree::begin_dictionary(const std::string &path)
{
    const std::string base = directory_of(path) + "/.H.A." + std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = attempt == 0 ? base : base + "." + std::to_string(attempt);
        files::SignalsHeld held;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::make_unique<PendingDictionary>(path, name, fd, files::pending_add(name, files::Pending::file));
        if (errno != EEXIST) break;
    }
    return nullptr;
}

bool DiskTree::commit_dictionary(TreeFile &file) { return static_cast<PendingDictionary &>(file).put_in_place(); }

}  // namespace quorvex
