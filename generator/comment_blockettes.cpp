#include "generator/comment_blockettes.hpp"

#include "generator/convert_date.hpp"
#include "generator/record.hpp"
#include "generator/state.hpp"
#include "generator/tree_file.hpp"

namespace quorvex {

void write_comment_blockettes(Quorvex &q, TreeFile &file, const char *type, const char *sql,
                              std::initializer_list<rdb::In> inputs, const char *start, const char *end,
                              const std::string &row)
{
    q.sql.for_each_row(sql, inputs, {rdb::out(q.comment_id), rdb::out(q.comment_level)}, [&] {
        Convert_Date(q.sql, start, q.on_date);
        Convert_Date(q.sql, end, q.off_date);
        Record record(row);
        record.begin("%.3s%04d%s~%s~%04d%06d", type, 0, q.on_date, q.off_date, q.comment_id, q.comment_level);
        write_record(q.sql, file, record);
    });
}

}  // namespace quorvex
