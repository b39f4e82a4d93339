#include "seed/files/output_target.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace seed {

namespace {

namespace fs = std::filesystem;

std::string reason() { return std::strerror(errno); }

std::string directory_of(const std::string &path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a name stands for: symbolic links of its last component
// followed, as far as they go (a link to a missing name gives that name).
std::string followed(const std::string &path)
{
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st{};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n < 0) throw Error(Source{path, 0}, "cannot follow the symbolic link: " + reason());
        target.resize(static_cast<std::size_t>(n));
        at = target.front() == '/' ? target : directory_of(at) + "/" + target;
    }
    throw Error(Source{path, 0}, "too many levels of symbolic links");
}

bool same_file(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

bool lies_inside(const std::string &path, const std::string &outer)
{
    std::error_code inner_ec, outer_ec;
    fs::path inner = fs::weakly_canonical(path, inner_ec), base = fs::weakly_canonical(outer, outer_ec);
    if (inner_ec || outer_ec) return false;
    auto [o, i] = std::mismatch(base.begin(), base.end(), inner.begin(), inner.end());
    // A trailing slash leaves an empty last element.
    return o == base.end() || (std::next(o) == base.end() && o->empty());
}

OutputTarget output_target(const std::string &path, const std::string &root, const std::vector<std::string> &inputs)
{
    OutputTarget t;
    t.path = path;
    if (path == "-") return t;
    if (path.empty() || path.back() == '/') throw Error(Source{path, 0}, "not a file name");

    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
            t.kind = OutputTarget::Kind::stream;
            return t;
        }
        if (S_ISDIR(st.st_mode)) throw Error(Source{path, 0}, "cannot put the file in place: Is a directory");
        if (!S_ISREG(st.st_mode))
            throw Error(Source{path, 0}, "not a regular file, a FIFO or a character device: nothing to write into");
        for (const std::string &input : inputs) {
            struct stat in{};
            if (::stat(input.c_str(), &in) == 0 && same_file(st, in))
                throw OutputConflict(Source{path, 0}, "is an input of this run (" + input + "): give another output file");
        }
    } else if (errno != ENOENT && errno != ENOTDIR) {
        throw Error(Source{path, 0}, "cannot look at it: " + reason());
    }
    t.kind = OutputTarget::Kind::file;
    t.file = followed(path);
    if (!root.empty() && lies_inside(directory_of(t.file), root))
        throw OutputConflict(Source{path, 0}, "lies inside the header tree " + root + ": give a file outside it");
    return t;
}

void check_output_directory(const std::string &path, const std::string &root)
{
    if (!root.empty() && lies_inside(path, root))
        throw OutputConflict(Source{path, 0}, "lies inside the header tree " + root + ": give a directory outside it");
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) throw Error(Source{path, 0}, "not a directory");
    } else if (errno != ENOENT) {
        throw Error(Source{path, 0}, "cannot look at it: " + reason());
    }
}

}  // namespace seed
