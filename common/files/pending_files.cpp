#include "common/files/pending_files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace files {

namespace {

struct Slot {
    volatile sig_atomic_t used = 0;  // set only once path is whole
    Pending kind = Pending::file;
    char path[4096];
};

// A run has a few outputs at a time: a document, a plot and its script, a
// site's directory.
Slot slots[32];

void remove_path(const Slot &s)
{
    switch (s.kind) {
    case Pending::file: ::unlink(s.path); break;
    case Pending::tree: remove_tree(s.path); break;
    case Pending::empty_dir: ::rmdir(s.path); break;
    }
}

void remove_all_pending()
{
    for (Slot &s : slots)
        if (s.used) {
            remove_path(s);
            s.used = 0;
        }
}

extern "C" void remove_pending_and_end(int signal_number)
{
    int saved = errno;
    remove_all_pending();
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
    errno = saved;
}

void install_handlers()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    std::atexit(remove_all_pending);
    struct sigaction action {};
    action.sa_handler = remove_pending_and_end;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        // A signal the caller's parent chose to ignore stays ignored.
        struct sigaction old {};
        if (::sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(signal_number, &action, nullptr);
    }
}

// Empties the directory open as fd, depth levels down at most.
bool empty_directory(int fd, int depth)
{
    alignas(8) char buffer[4096];
    bool removed_any = true, left = false;
    while (removed_any) {
        removed_any = left = false;
        if (::lseek(fd, 0, SEEK_SET) < 0) return false;
        for (;;) {
            ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                auto *entry = reinterpret_cast<struct dirent64 *>(buffer + at);
                at += entry->d_reclen;
                const char *name = entry->d_name;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
                if (entry->d_type != DT_DIR && ::unlinkat(fd, name, 0) == 0) {
                    removed_any = true;
                    continue;
                }
                int sub = depth > 0 ? ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
                if (sub >= 0) {
                    empty_directory(sub, depth - 1);
                    ::close(sub);
                }
                if (::unlinkat(fd, name, AT_REMOVEDIR) == 0)
                    removed_any = true;
                else
                    left = true;
            }
        }
    }
    return !left;
}

}  // namespace

bool remove_tree(const char *path)
{
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return ::unlink(path) == 0 || errno == ENOENT;
    empty_directory(fd, 16);
    ::close(fd);
    return ::rmdir(path) == 0;
}

SignalsHeld::SignalsHeld()
{
    sigset_t held;
    sigemptyset(&held);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&held, signal_number);
    ::sigprocmask(SIG_BLOCK, &held, &saved_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &saved_, nullptr); }

int pending_add(const std::string &path, Pending kind)
{
    install_handlers();
    if (path.size() >= sizeof slots[0].path) return -1;
    for (int i = 0; i < static_cast<int>(sizeof slots / sizeof *slots); ++i) {
        Slot &s = slots[i];
        if (s.used) continue;
        s.kind = kind;
        std::memcpy(s.path, path.c_str(), path.size() + 1);
        s.used = 1;
        return i;
    }
    return -1;
}

void pending_release(int slot)
{
    if (slot >= 0) slots[slot].used = 0;
}

void pending_remove(int slot)
{
    if (slot < 0 || !slots[slot].used) return;
    remove_path(slots[slot]);
    slots[slot].used = 0;
}

}  // namespace files
