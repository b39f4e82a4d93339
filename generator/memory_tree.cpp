#include "generator/memory_tree.hpp"

#include <cerrno>

namespace quorvex {
namespace {

class MemoryFile : public TreeFile {
public:
    MemoryFile(std::string path, std::vector<std::string> &records) : TreeFile(std::move(path)), records_(records) {}
    bool write_line(const std::string &line) override
    {
        records_.push_back(line);
        return true;
    }

private:
    std::vector<std::string> &records_;
};

// The dictionary's records until it is put in place.
class PendingDictionary : public TreeFile {
public:
    explicit PendingDictionary(std::string path) : TreeFile(std::move(path)) {}
    bool write_line(const std::string &line) override
    {
        records.push_back(line);
        return true;
    }
    std::vector<std::string> records;
};

std::string parent_of(const std::string &relative_path)
{
    std::size_t slash = relative_path.rfind('/');
    return slash == std::string::npos ? "" : relative_path.substr(0, slash);
}

}  // namespace

MemoryTree::MemoryTree(std::string root, bool has_dictionary)
    : root_(std::move(root)), has_dictionary_(has_dictionary)
{
}

const char *MemoryTree::relative(const std::string &path) const
{
    if (path.compare(0, root_.size(), root_) != 0) return nullptr;
    if (path.size() == root_.size()) return "";
    if (path[root_.size()] != '/') return nullptr;
    return path.c_str() + root_.size() + 1;
}

bool MemoryTree::directory_exists(const std::string &relative_path) const
{
    return directories_.count(relative_path) != 0;
}

void MemoryTree::make_directory(const std::string &path)
{
    const char *r = relative(path);
    if (!r) return;
    std::string name = r;
    while (!name.empty() && name.back() == '/') name.pop_back();
    if (name.empty() || directory_exists(parent_of(name))) directories_.insert(name);
}

std::unique_ptr<TreeFile> MemoryTree::open_append(const std::string &path)
{
    const char *r = relative(path);
    if (!r || !directory_exists(parent_of(r))) {
        errno = ENOENT;
        return nullptr;
    }
    return std::make_unique<MemoryFile>(path, files_[r]);
}

bool MemoryTree::dictionary_present(const std::string &path)
{
    const char *r = relative(path);
    return has_dictionary_ || (r && files_.count(r) != 0);
}

bool MemoryTree::dictionary_locked(const std::string &) { return false; }

std::unique_ptr<TreeFile> MemoryTree::begin_dictionary(const std::string &path)
{
    const char *r = relative(path);
    if (!r || !directory_exists(parent_of(r))) {
        errno = ENOENT;
        return nullptr;
    }
    return std::make_unique<PendingDictionary>(path);
}

bool MemoryTree::commit_dictionary(TreeFile &file)
{
    auto &pending = static_cast<PendingDictionary &>(file);
    files_[relative(file.path())] = std::move(pending.records);
    return true;
}

}  // namespace quorvex
