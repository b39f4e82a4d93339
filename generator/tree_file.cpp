#include "tree_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quorvex {

bool TreeFile::open_append(const std::string &path)
{
    close();
    fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    path_ = path;
    return fd_ >= 0;
}

bool TreeFile::create_new(const std::string &path)
{
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    path_ = path;
    return fd_ >= 0;
}

bool TreeFile::write_line(const std::string &line)
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

bool TreeFile::close()
{
    if (fd_ < 0) return true;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

bool readable_file(const std::string &path)
{
    std::FILE *f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    std::fclose(f);
    return true;
}

void make_directory(const std::string &path) { (void)::mkdir(path.c_str(), 0755); }

void open_append_or_fail(rdb::Sql &sql, TreeFile &file, const std::string &path)
{
    if (!file.open_append(path)) open_failure(sql, path);
}

void write_record(rdb::Sql &sql, TreeFile &file, Record &record)
{
    // A value that does not fit its field would shift every later field for
    // a reader: nothing of the record is written.
    if (const auto &p = record.problem())
        sql.stop(rdb::Sql::Release::commit, "\n Error: Blockette %d field %d (%s) of %s: \"%s\" %s.\n\n",
                 p->blockette, p->field, field_name(p->blockette, p->field), record.row().c_str(),
                 p->value.c_str(), p->reason.c_str());
    // Refused whole: a cut or over-long line would corrupt the file.
    if (!record.fits())
        sql.stop(rdb::Sql::Release::rollback,
                 "\n Error: Blockette %.3s of %zu characters is longer than a record (%zu) for file %s\n\n",
                 record.text().c_str(), record.size(), max_record_size, file.path().c_str());
    if (!file.write_line(record.finish())) write_failure(sql, file.path());
}

void open_failure(rdb::Sql &sql, const std::string &path)
{
    sql.stop(rdb::Sql::Release::commit, "\n Error: Couldn't open file %s\n\n", path.c_str());
}

void write_failure(rdb::Sql &sql, const std::string &path)
{
    sql.stop(rdb::Sql::Release::commit, "\n Error: Couldn't write file %s: %s\n\n", path.c_str(),
             std::strerror(errno));
}

}  // namespace quorvex
