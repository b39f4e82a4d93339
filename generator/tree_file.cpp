#include "generator/tree_file.hpp"

#include <cerrno>
#include <cstring>

#include "common/seed/field_table.hpp"
#include "generator/state.hpp"

namespace quorvex {

std::unique_ptr<TreeFile> open_append_or_fail(Quorvex &q, const std::string &path)
{
    auto file = q.sink.open_append(path);
    if (!file) open_failure(q.sql, path);
    return file;
}

void write_record(rdb::Sql &sql, TreeFile &file, Record &record)
{
    // A value that does not fit its field would shift every later field for
    // a reader: nothing of the record is written.
    if (const auto &p = record.problem())
        sql.stop(rdb::Sql::Release::commit, "\n Error: Blockette %d field %d (%s) of %s: \"%s\" %s.\n\n",
                 p->blockette, p->field, seed_field::name(p->blockette, p->field), record.row().c_str(),
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
