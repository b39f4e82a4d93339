#include "respdb/tree_output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace respdb {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string &what, const std::string &path)
{
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

}  // namespace

TreeOutput::TreeOutput(std::string directory) : directory_(std::move(directory))
{
    while (directory_.size() > 1 && directory_.back() == '/') directory_.pop_back();
    std::error_code ec;
    if (fs::exists(fs::symlink_status(directory_, ec)) && !(fs::is_directory(directory_, ec) && fs::is_empty(directory_, ec)))
        throw std::runtime_error(directory_ + " exists and is not an empty directory: a tree is written only into a new one");
    const fs::path target(directory_);
    std::string base = (target.has_parent_path() ? target.parent_path().string() + "/" : std::string()) + "." +
                       target.filename().string() + ".XXXXXX";
    if (!::mkdtemp(base.data())) fail("cannot make a directory beside", directory_);
    work_ = base;
    ::chmod(work_.c_str(), 0755);
}

TreeOutput::~TreeOutput()
{
    if (!committed_) {
        std::error_code ec;
        fs::remove_all(work_, ec);
    }
}

void TreeOutput::write(const std::string &path, const std::vector<std::string> &records)
{
    const std::string full = work_ + "/" + path;
    std::error_code ec;
    fs::create_directories(fs::path(full).parent_path(), ec);
    if (ec) throw std::runtime_error("cannot make the directory of " + full + ": " + ec.message());
    int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot create", full);
    std::string text;
    for (const std::string &r : records) {
        text += r;
        text += '\n';
    }
    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            const int saved = errno;
            ::close(fd);
            errno = saved;
            fail("cannot write", full);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) fail("cannot write", full);
}

void TreeOutput::dictionary(const std::vector<std::string> &records) { write("H.A", records); }

void TreeOutput::station(StationTree &tree)
{
    for (const auto &[path, records] : tree.files) write(path, records);
}

void TreeOutput::commit()
{
    std::error_code ec;
    if (fs::is_directory(directory_, ec)) fs::remove(directory_, ec);  // empty, as checked
    if (std::rename(work_.c_str(), directory_.c_str()) != 0) fail("cannot put the tree in place at", directory_);
    committed_ = true;
}

}  // namespace respdb
