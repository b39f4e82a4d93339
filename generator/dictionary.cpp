// The abbreviation dictionary root/H.A: blockettes 30, 31, 33, 34, and 41
// and 42 when enabled, written once per header tree, whole or not at all
// (the tree's begin_dictionary and commit_dictionary).
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "generator/seed_layout.hpp"
#include "generator/coefficient_set.hpp"
#include "generator/polynomial.hpp"
#include "generator/record.hpp"
#include "generator/state.hpp"
#include "common/cli/text_util.hpp"
#include "generator/tree_file.hpp"
#include "generator/tree_paths.hpp"
#include "generator/writers.hpp"

namespace quorvex {
namespace {

void write_formats(Quorvex &q, TreeFile &file)
{
    say(q, "\n\t Generating Blockettes 30 ...");
    q.sql.for_each_row("select id ,name ,family  from D_Format  order by id", {},
                       {rdb::out(q.id), rdb::out(q.name), rdb::out(q.family)}, [&q, &file] {
        q.sql.select("select count(*)  into :b0  from D_Format_Data where id=:b1", {rdb::in(q.id)},
                     {rdb::out(q.nb_keys)});
        rdb::Remove_Blank(q.name);
        Record record("data format " + std::to_string(q.id));
        record.begin("%.3s%04d%s~%04d%03d%02d", "030", 0, q.name, q.id, q.family, q.nb_keys);
        // A missing row_id leaves key_d as it was: the previous key repeats.
        for (q.i = 1; q.i <= q.nb_keys; ++q.i) {
            q.sql.select("select key_d into :b0  from D_Format_Data where (id=:b1 and row_id=:b2)",
                         {rdb::in(q.id), rdb::in(q.i)}, {rdb::out(q.key_d)});
            rdb::Remove_Blank(q.key_d);
            record.append_group(7, "%s~", q.key_d);
        }
        write_record(q.sql, file, record);
    });
}

void write_comments(Quorvex &q, TreeFile &file)
{
    say(q, "\n\t Generating Blockettes 31 ...");
    q.sql.for_each_row("select id ,class ,description ,unit  from D_Comment  order by id", {},
                       {rdb::out(q.id), rdb::out(q.class_), rdb::out(q.description), rdb::out(q.unit)},
                       [&q, &file] {
        rdb::Remove_Blank(q.description);
        Record record("comment " + std::to_string(q.id));
        record.begin("%.3s%04d%04d%c%s~%03d", "031", 0, q.id, q.class_, q.description, q.unit);
        write_record(q.sql, file, record);
    });
}

void write_abbreviations(Quorvex &q, TreeFile &file)
{
    say(q, "\n\t Generating Blockettes 33 ...");
    // Only the first fetch has the indicator: a NULL there keeps the previous
    // values, a NULL in a later row is a database error. The host variables
    // change between fetches, so this cursor is walked by hand.
    rdb::Cursor abbreviations;
    q.sql.open(abbreviations, "select id ,description  from D_Abbreviation  order by id", {});
    for (rdb::Indicator *ind = &q.ind;
         q.sql.fetch(abbreviations, {rdb::out(q.id, ind), rdb::out(q.description, ind)}) != rdb::no_data;
         ind = nullptr) {
        rdb::Remove_Blank(q.description);
        Record record("abbreviation " + std::to_string(q.id));
        record.begin("%.3s%04d%03d%s~", "033", 0, q.id, q.description);
        write_record(q.sql, file, record);
    }
    q.sql.close(abbreviations);
}

void write_units(Quorvex &q, TreeFile &file)
{
    say(q, "\n\t Generating Blockettes 34 ...");
    q.sql.for_each_row("select id ,name ,description  from D_Unit  order by id", {},
                       {rdb::out(q.id), rdb::out(q.name), rdb::out(q.description, &q.ind)}, [&q, &file] {
        rdb::copy_text(q.name, unit_record_name(q.name));
        rdb::Remove_Blank(q.description);
        Record record("unit " + std::to_string(q.id));
        record.begin("%.3s%04d%03d%s~%s~", "034", 0, q.id, q.name, q.description);
        write_record(q.sql, file, record);
    });
}

void write_fir_filters(Quorvex &q, TreeFile &file)
{
    say(q, "\n\t Generating Blockettes 41 ...");
    q.sql.for_each_row("select key ,name ,symmetry  from DC  order by key", {},
                       {rdb::out(q.dc_key), rdb::out(q.rname, &q.ind), rdb::out(q.symmetry, &q.ind)},
                       [&q, &file] {
        apply_name_and_symmetry_rules(q);
        q.sql.select("select count(*)  into :b0  from DC_Data where (type='N' and key=:b1)",
                     {rdb::in(q.dc_key)}, {rdb::out(q.nb_num)});
        q.sql.select("select id into :b0  from D_Unit where name='COUNTS'", {}, {rdb::out(q.unit_in)});
        q.unit_out = q.unit_in;
        std::vector<double> coefficients = read_numerators(q);

        // A filter longer than one record continues in further blockettes
        // 41 with the same leading fields, each counting the coefficients
        // it holds.
        const char *head = "%.3s%04d%04d%s~%c%03d%03d%04d";
        const std::size_t head_size =
            formatted_size(head, "041", 0, q.dc_key, q.rname, q.symmetry, q.unit_in, q.unit_out, 0);
        if (!write_coefficient_records(q, file, "filter key " + std::to_string(q.dc_key), head_size, coefficients,
                                       [&q, head](Record &record, int count) {
                record.begin(head, "041", 0, q.dc_key, q.rname, q.symmetry, q.unit_in, q.unit_out, count);
            }))
            q.sql.stop(rdb::Sql::Release::rollback,
                       "\n Error: Blockette 41 for filter [%s] (key %d) leaves no room for a coefficient in one "
                       "record.\n\n",
                       q.rname, q.dc_key);
    });
}

void write_polynomials(Quorvex &q, TreeFile &file)
{
    say(q, "\n\t Generating Blockettes 42 ...");
    q.sql.for_each_row(
        "select key ,name ,poly_type ,lower_bound ,upper_bound ,max_error  from PN  order by key", {},
        {rdb::out(q.pn_key), rdb::out(q.pname), rdb::out(q.poly_type), rdb::out(q.lower_bound),
         rdb::out(q.upper_bound), rdb::out(q.max_error)},
        [&q, &file] {
        rdb::Remove_Blank(q.pname);
        q.sql.select("select count(*)  into :b0  from PN_Data where key=:b1", {rdb::in(q.pn_key)},
                     {rdb::out(q.nb_coeff)});
        q.sql.select("select id into :b0  from D_Unit where name='V'", {}, {rdb::out(q.unit_out)});
        if (std::strstr(q.pname, "LDS"))
            q.sql.select("select id into :b0  from D_Unit where name='PA'", {}, {rdb::out(q.unit_in)});
        else if (std::strstr(q.pname, "LKS"))
            q.sql.select("select id into :b0  from D_Unit where name='C'", {}, {rdb::out(q.unit_in)});
        else
            q.sql.stop(rdb::Sql::Release::none, "\n Error: Units for polynomial [%s] not found.\n\n", q.pname);

        Record record("polynomial key " + std::to_string(q.pn_key));
        record.begin(SEED_B042_HEAD, "042", 0,
                     polynomial_lookup_key(q.pn_key), q.pname, 'P', q.unit_in, q.unit_out, q.poly_type,
                     'A', 0.0, 1.0, static_cast<double>(q.lower_bound),
                     static_cast<double>(q.upper_bound), static_cast<double>(q.max_error), q.nb_coeff);
        if (!append_polynomial_coefficients(q, record, 16))
            q.sql.stop(rdb::Sql::Release::rollback,
                       "\n Error: Polynomial [%s] (key %d) has %d coefficients, more than one blockette 42 "
                       "holds.\n\n",
                       q.pname, q.pn_key, q.nb_coeff);
        write_record(q.sql, file, record);
    });
}

}  // namespace

void write_dictionary(Quorvex &q)
{
    const std::string path = dictionary_path(q.root);
    if (q.sink.dictionary_present(path)) {
        say(q, "\n Abbreviation Dictionary already present.\n");
        return;
    }
    // A file that exists but can be neither read nor written stays as it is:
    // its "wt" open would fail, and the rename must not replace it.
    if (q.sink.dictionary_locked(path)) open_failure(q.sql, path);

    std::unique_ptr<TreeFile> file = q.sink.begin_dictionary(path);
    if (!file) open_failure(q.sql, path);
    say(q, "\n Generating Abbreviation Dictionary ...");
    write_formats(q, *file);
    write_comments(q, *file);
    write_abbreviations(q, *file);
    write_units(q, *file);
    if (q.lookup == 1) write_fir_filters(q, *file);
    if (q.abpoly == 1) write_polynomials(q, *file);
    // A dictionary that does not reach its place goes with its file.
    if (!q.sink.commit_dictionary(*file)) write_failure(q.sql, path);
}

}  // namespace quorvex
