#include "importer/dictionary.hpp"

#include <climits>

#include "seed/reader/message_text.hpp"
#include "importer/seed_fields.hpp"

namespace importer {

const char *const default_format_keys[4] = {"F1 P4 W4 D0-31 C2 R1 P8 W4 D0-31 C2", "P0 W4 N15 S2,0,1", "T0 X W4",
                                            "T1 Y4 W7 D0-7 C2"};

namespace {

std::string quoted(const std::string &s) { return seed::quoted_value(s); }

}  // namespace

Dictionary::Dictionary(const Dictionaries *existing, SqlOutput &out) : out_(out)
{
    if (!existing) return;
    const Dictionaries &d = *existing;
    last_unit_ = d.max_unit;
    last_abbreviation_ = d.max_abbreviation;
    last_comment_ = d.max_comment;
    last_format_ = d.max_format;
    last_poles_zeros_ = d.max_poles_zeros;
    last_coefficient_set_ = d.max_coefficient_set;
    last_polynomial_ = d.max_polynomial;
    last_decimation_ = d.max_decimation;
    // Maps are by ascending key: emplace keeps the lowest key of equal entries.
    for (const auto &[id, u] : d.units)
        existing_units_.emplace(seed_unit_name(u.name), std::make_pair(id, u.description));
    for (const auto &[id, text] : d.abbreviations) abbreviations_.emplace(text, id);
    for (const auto &[id, c] : d.comments)
        if (c.unit == 0) comments_.emplace(std::string(1, c.class_code) + c.description, id);
    for (const auto &[id, f] : d.formats)
        if (!format_ && f.name == default_format_name && f.family == default_format_family) format_ = id;
    for (const auto &[id, e] : d.poles_zeros)
        if (e.value) poles_zeros_.emplace(canonical(*e.value), id);
    for (const auto &[id, e] : d.coefficient_sets)
        if (e.value) coefficient_sets_[canonical(*e.value)].push_back(Named{id, *e.value->name});
    for (const auto &[id, e] : d.polynomials)
        if (e.value) polynomials_[canonical(*e.value)].push_back(Named{id, *e.value->name});
    for (const auto &[id, e] : d.decimations)
        if (e.value) decimations_.emplace(canonical(*e.value), id);
}

int Dictionary::next(int &counter, int limit, const char *what)
{
    if (counter >= limit)
        throw Failure(std::string("no key left for a new ") + what + ": keys go up to " + std::to_string(limit) +
                      ", the largest its SEED field holds, and " + std::to_string(counter) + " is in use");
    ++new_entries_;
    return ++counter;
}

int Dictionary::unit(const Unit &u)
{
    const std::string key = seed_unit_name(u.name);
    auto it = units_.find(key);
    if (it == units_.end()) {
        UnitState s;
        s.name = u.name;
        auto found = existing_units_.find(key);
        if (found != existing_units_.end()) {
            s.id = found->second.first;
            s.is_new = false;
            s.database_description = found->second.second;
        } else {
            s.id = next(last_unit_, 999, "unit (D_Unit)");
            unit_order_.push_back(key);
        }
        it = units_.emplace(key, s).first;
    }
    UnitState &s = it->second;
    if (u.description) {
        if (!s.description) {
            s.description = u.description;
            s.described_at = u.at;
            if (!s.is_new && *u.description != s.database_description)
                throw Failure(u.at.text() + ": unit " + quoted(u.name) + " is described as " + quoted(*u.description) +
                              " here but as " + quoted(s.database_description) + " in the database (D_Unit id " +
                              std::to_string(s.id) + "); a unit name has one description");
        } else if (*u.description != *s.description && !s.noted) {
            s.noted = true;
            notes_.push_back(u.at.text() + ": unit " + quoted(u.name) + " is described as " + quoted(*u.description) +
                             " here but as " + quoted(*s.description) + " at " + s.described_at.text() +
                             "; D_Unit keeps the first");
        }
    }
    return s.id;
}

int Dictionary::abbreviation(const std::string &description)
{
    auto [it, added] = abbreviations_.emplace(description, 0);
    if (!added) return it->second;
    it->second = next(last_abbreviation_, 999, "abbreviation (D_Abbreviation)");
    Rows rows("D_Abbreviation", "id, description");
    rows.add({sql_integer(it->second), sql_text(description)});
    out_.write(rows);
    return it->second;
}

int Dictionary::comment(char class_code, const std::string &description)
{
    auto [it, added] = comments_.emplace(std::string(1, class_code) + description, 0);
    if (!added) return it->second;
    it->second = next(last_comment_, 9999, "comment (D_Comment)");
    Rows rows("D_Comment", "id, class, description, unit");
    rows.add({sql_integer(it->second), sql_text(std::string(1, class_code)), sql_text(description), sql_integer(0)});
    out_.write(rows);
    return it->second;
}

int Dictionary::format()
{
    if (format_) return format_;
    format_ = next(last_format_, 9999, "data format (D_Format)");
    Rows head("D_Format", "id, name, family");
    head.add({sql_integer(format_), sql_text(default_format_name), sql_integer(default_format_family)});
    Rows keys("D_Format_Data", "id, row_id, key_d");
    for (int k = 0; k < 4; ++k) keys.add({sql_integer(format_), sql_integer(k + 1), sql_text(default_format_keys[k])});
    out_.write(head);
    out_.write(keys);
    return format_;
}

int Dictionary::poles_zeros(const PolesZeros &p)
{
    auto [it, added] = poles_zeros_.emplace(canonical(p), 0);
    if (!added) return it->second;
    it->second = next(last_poles_zeros_, INT_MAX, "pole-zero set (PZ_Data)");
    Rows rows("PZ_Data", "key, type, row_key, r_value, r_error, i_value, i_error");
    int row = 0;
    for (const auto &[type, roots] : {std::pair{"Z", &p.zeros}, std::pair{"P", &p.poles}})
        for (const Root &r : *roots)
            rows.add({sql_integer(it->second), sql_text(type), sql_integer(++row), sql_real(r.real.value),
                      sql_real(r.real.error), sql_real(r.imaginary.value), sql_real(r.imaginary.error)});
    out_.write(rows);
    return it->second;
}

int Dictionary::coefficient_set(const CoefficientSet &c)
{
    std::vector<Named> &same = coefficient_sets_[canonical(c)];
    for (const Named &n : same)
        if (!c.name || generated_fir_name(n.name) == generated_fir_name(*c.name)) return n.id;
    int id = next(last_coefficient_set_, 9999, "coefficient set (DC)");
    std::string name = c.name ? *c.name : "FIR_" + std::to_string(id);
    same.push_back(Named{id, name});
    Rows head("DC", "key, name, symmetry");
    head.add({sql_integer(id), sql_text(name), sql_text(std::string(1, c.symmetry))});
    Rows rows("DC_Data", "key, type, row_key, coefficient, error");
    int row = 0;
    for (const ValueError &v : c.coefficients)
        rows.add({sql_integer(id), sql_text("N"), sql_integer(++row), sql_real(v.value), sql_real(v.error)});
    out_.write(head);
    out_.write(rows);
    return id;
}

int Dictionary::polynomial(const Polynomial &p)
{
    std::vector<Named> &same = polynomials_[canonical(p)];
    for (const Named &n : same)
        if (!p.name || n.name == *p.name) return n.id;
    int id = next(last_polynomial_, 4999, "polynomial (PN)");
    std::string name = p.name.value_or("");
    same.push_back(Named{id, name});
    Rows head("PN", "key, name, poly_type, lower_bound, upper_bound, max_error");
    head.add({sql_integer(id), sql_text(name), sql_text(std::string(1, p.approximation)), sql_real(p.lower_bound),
              sql_real(p.upper_bound), sql_real(p.max_error)});
    Rows rows("PN_Data", "key, row_key, pn_value");
    int row = 0;
    for (double v : p.coefficients) rows.add({sql_integer(id), sql_integer(++row), sql_real(v)});
    out_.write(head);
    out_.write(rows);
    return id;
}

int Dictionary::decimation(const Decimation &d)
{
    auto [it, added] = decimations_.emplace(canonical(d), 0);
    if (!added) return it->second;
    it->second = next(last_decimation_, INT_MAX, "decimation (DM)");
    Rows rows("DM", "key, samprate, factor, \"offset\", delay, correction");
    rows.add({sql_integer(it->second), sql_real(d.input_rate), sql_integer(d.factor), sql_integer(d.offset),
              sql_real(d.delay), sql_real(d.correction)});
    out_.write(rows);
    return it->second;
}

void Dictionary::finish()
{
    Rows rows("D_Unit", "id, name, description");
    for (const std::string &key : unit_order_) {
        const UnitState &s = units_.at(key);
        rows.add({sql_integer(s.id), sql_text(s.name), sql_text(s.description.value_or(""))});
    }
    out_.write(rows);
}

}  // namespace importer
