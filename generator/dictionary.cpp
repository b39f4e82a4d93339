// The abbreviation dictionary root/H.A: blockettes 30, 31, 33, 34, and 41
// and 42 when enabled, written once per header tree.
//
// The file is written under a temporary name in the root and renamed into
// place after its last record. A run that ends early (database error,
// refused polynomial) leaves no H.A behind, so the next run writes a whole
// one instead of finding a truncated file "already present"; two runs that
// both find it missing each rename a complete file.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "coefficient_set.hpp"
#include "record.hpp"
#include "state.hpp"
#include "text_util.hpp"
#include "tree_file.hpp"
#include "tree_paths.hpp"
#include "writers.hpp"

namespace quorvex {
namespace {

// Offset of a polynomial's key wherever it is written as a lookup key.
constexpr std::int32_t polynomial_key_offset = 5000;

// The temporary dictionary of this process; removed by any exit before
// the rename (sql_error and the refusals below end with exit()).
std::string pending_dictionary;

void remove_pending_dictionary()
{
    if (!pending_dictionary.empty()) ::unlink(pending_dictionary.c_str());
}

void open_temporary(Quorvex &q, TreeFile &file, const std::string &path)
{
    static bool cleanup_registered = false;
    if (!cleanup_registered) {
        std::atexit(remove_pending_dictionary);
        cleanup_registered = true;
    }
    // Hidden, and unique per process, in the same directory as H.A so that
    // the rename is atomic.
    pending_dictionary = q.root + "/.H.A." + std::to_string(::getpid());
    if (!file.create(pending_dictionary)) {
        pending_dictionary.clear();
        open_failure(q, path);
    }
}

void put_in_place(Quorvex &q, TreeFile &file, const std::string &path)
{
    bool closed = file.close();
    if (!closed || std::rename(pending_dictionary.c_str(), path.c_str()) != 0) {
        std::printf("\n Error: Couldn't write file %s: %s\n\n", path.c_str(), std::strerror(errno));
        q.sql.commit_release();
        std::exit(1);  // removes the temporary file
    }
    pending_dictionary.clear();
}

void write_formats(Quorvex &q, TreeFile &file)
{
    std::printf("\n\t Generating Blockettes 30 ...");
    rdb::Cursor formats;
    q.sql.open(formats, "select id ,name ,family  from D_Format  order by id", {});
    while (q.sql.fetch(formats, {rdb::out(q.id), rdb::out(q.name), rdb::out(q.family)}) != rdb::no_data) {
        q.sql.select("select count(*)  into :b0  from D_Format_Data where id=:b1", {rdb::in(q.id)},
                     {rdb::out(q.nb_keys)});
        rdb::Remove_Blank(q.name);
        Record record;
        record.begin("%.3s%04d%s~%04d%03d%02d", "030", 0, q.name, q.id, q.family, q.nb_keys);
        // A missing row_id leaves key_d as it was: the previous key repeats.
        for (q.i = 1; q.i <= q.nb_keys; ++q.i) {
            q.sql.select("select key_d into :b0  from D_Format_Data where (id=:b1 and row_id=:b2)",
                         {rdb::in(q.id), rdb::in(q.i)}, {rdb::out(q.key_d)});
            rdb::Remove_Blank(q.key_d);
            record.append("%s~", q.key_d);
        }
        write_record(q, file, record);
    }
    q.sql.close(formats);
}

void write_comments(Quorvex &q, TreeFile &file)
{
    std::printf("\n\t Generating Blockettes 31 ...");
    rdb::Cursor comments;
    q.sql.open(comments, "select id ,class ,description ,unit  from D_Comment  order by id", {});
    while (q.sql.fetch(comments, {rdb::out(q.id), rdb::out(q.class_), rdb::out(q.description),
                                  rdb::out(q.unit)}) != rdb::no_data) {
        rdb::Remove_Blank(q.description);
        Record record;
        record.begin("%.3s%04d%04d%c%s~%03d", "031", 0, q.id, q.class_, q.description, q.unit);
        write_record(q, file, record);
    }
    q.sql.close(comments);
}

void write_abbreviations(Quorvex &q, TreeFile &file)
{
    std::printf("\n\t Generating Blockettes 33 ...");
    rdb::Cursor abbreviations;
    q.sql.open(abbreviations, "select id ,description  from D_Abbreviation  order by id", {});
    // Only the first fetch has the indicator: a NULL there keeps the previous
    // values, a NULL in a later row is a database error.
    bool first = true;
    for (;;) {
        rdb::Indicator *ind = first ? &q.ind : nullptr;
        first = false;
        if (q.sql.fetch(abbreviations, {rdb::out(q.id, ind), rdb::out(q.description, ind)}) == rdb::no_data)
            break;
        rdb::Remove_Blank(q.description);
        Record record;
        record.begin("%.3s%04d%03d%s~", "033", 0, q.id, q.description);
        write_record(q, file, record);
    }
    q.sql.close(abbreviations);
}

void write_units(Quorvex &q, TreeFile &file)
{
    std::printf("\n\t Generating Blockettes 34 ...");
    rdb::Cursor units;
    q.sql.open(units, "select id ,name ,description  from D_Unit  order by id", {});
    while (q.sql.fetch(units, {rdb::out(q.id), rdb::out(q.name), rdb::out(q.description, &q.ind)}) !=
           rdb::no_data) {
        rdb::Remove_Blank(q.name);
        for (char *c = q.name; *c; ++c)
            *c = *c == ' ' ? '.' : static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        rdb::Remove_Blank(q.description);
        Record record;
        record.begin("%.3s%04d%03d%s~%s~", "034", 0, q.id, q.name, q.description);
        write_record(q, file, record);
    }
    q.sql.close(units);
}

void write_fir_filters(Quorvex &q, TreeFile &file)
{
    std::printf("\n\t Generating Blockettes 41 ...");
    rdb::Cursor filters;
    q.sql.open(filters, "select key ,name ,symmetry  from DC  order by key", {});
    while (q.sql.fetch(filters, {rdb::out(q.dc_key), rdb::out(q.rname, &q.ind),
                                 rdb::out(q.symmetry, &q.ind)}) != rdb::no_data) {
        apply_name_and_symmetry_rules(q);
        q.sql.select("select count(*)  into :b0  from DC_Data where (type='N' and key=:b1)",
                     {rdb::in(q.dc_key)}, {rdb::out(q.nb_num)});
        q.sql.select("select id into :b0  from D_Unit where name='COUNTS'", {}, {rdb::out(q.unit_in)});
        q.unit_out = q.unit_in;
        std::vector<std::string> coefficients = read_numerators(q);

        // A filter longer than one record continues in further blockettes
        // 41 with the same leading fields, each counting the coefficients
        // it holds. The fixed part is at most about 100 characters, so at
        // least 700 coefficients always fit.
        const char *head = "%.3s%04d%04d%s~%c%03d%03d%04d";
        const std::size_t head_size =
            formatted_size(head, "041", 0, q.dc_key, q.rname, q.symmetry, q.unit_in, q.unit_out, 0);
        write_coefficient_records(q, file, head_size, coefficients, [&q, head](Record &record, int count) {
            record.begin(head, "041", 0, q.dc_key, q.rname, q.symmetry, q.unit_in, q.unit_out, count);
        });
    }
    q.sql.close(filters);
}

void write_polynomials(Quorvex &q, TreeFile &file)
{
    std::printf("\n\t Generating Blockettes 42 ...");
    rdb::Cursor polynomials;
    q.sql.open(polynomials,
               "select key ,name ,poly_type ,lower_bound ,upper_bound ,max_error  from PN  order by key", {});
    while (q.sql.fetch(polynomials, {rdb::out(q.pn_key), rdb::out(q.pname), rdb::out(q.poly_type),
                                     rdb::out(q.lower_bound), rdb::out(q.upper_bound),
                                     rdb::out(q.max_error)}) != rdb::no_data) {
        rdb::Remove_Blank(q.pname);
        q.sql.select("select count(*)  into :b0  from PN_Data where key=:b1", {rdb::in(q.pn_key)},
                     {rdb::out(q.nb_coeff)});
        q.sql.select("select id into :b0  from D_Unit where name='V'", {}, {rdb::out(q.unit_out)});
        if (std::strstr(q.pname, "LDS")) {
            q.sql.select("select id into :b0  from D_Unit where name='PA'", {}, {rdb::out(q.unit_in)});
        } else if (std::strstr(q.pname, "LKS")) {
            q.sql.select("select id into :b0  from D_Unit where name='C'", {}, {rdb::out(q.unit_in)});
        } else {
            // Ends without commit or rollback: the connection ends with the process.
            std::printf("\n Error: Units for polynomial [%s] not found.\n\n", q.pname);
            std::exit(1);
        }

        Record record;
        record.begin("%.3s%04d%04d%s~%c%03d%03d%c%c%12.5E%12.5E%12.5E%12.5E%12.5E%03d", "042", 0,
                     q.pn_key + polynomial_key_offset, q.pname, 'P', q.unit_in, q.unit_out, q.poly_type,
                     'A', 0.0, 1.0, static_cast<double>(q.lower_bound),
                     static_cast<double>(q.upper_bound), static_cast<double>(q.max_error), q.nb_coeff);
        for (q.j = 1; q.j <= q.nb_coeff; ++q.j) {
            q.sql.select("select pn_value into :b0  from PN_Data where (key=:b1 and row_key=:b2)",
                         {rdb::in(q.pn_key), rdb::in(q.j)}, {rdb::out(q.pn_value)});
            record.append("%12.5E%12.5E", static_cast<double>(q.pn_value), 0.0);
        }
        // A polynomial's coefficients cannot continue in a second blockette.
        if (!record.fits()) {
            std::printf("\n Error: Polynomial [%s] (key %d) has %d coefficients, more than one blockette 42 holds.\n\n",
                        q.pname, q.pn_key, q.nb_coeff);
            q.sql.rollback_release();
            std::exit(1);
        }
        write_record(q, file, record);
    }
    q.sql.close(polynomials);
}

}  // namespace

void write_dictionary(Quorvex &q)
{
    const std::string path = dictionary_path(q);
    if (readable_file(path)) {
        std::printf("\n Abbreviation Dictionary already present.\n");
        return;
    }
    // A file that exists but can be neither read nor written stays as it is:
    // its "wt" open would fail, and the rename must not replace it.
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) open_failure(q, path);

    TreeFile file;
    open_temporary(q, file, path);
    std::printf("\n Generating Abbreviation Dictionary ...");
    write_formats(q, file);
    write_comments(q, file);
    write_abbreviations(q, file);
    write_units(q, file);
    if (q.lookup == 1) write_fir_filters(q, file);
    if (q.abpoly == 1) write_polynomials(q, file);
    put_in_place(q, file, path);
}

}  // namespace quorvex
