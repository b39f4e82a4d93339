// The dictionary entries of an import: each distinct unit, abbreviation,
// comment, pole-zero set, coefficient set, polynomial and decimation gets
// one key, shared by every row that uses it. An equal entry of the
// existing database (equal: the generator writes the same fields from it)
// is reused; new keys go above the largest in use, and stop where the SEED
// field of the key stops (999 units or abbreviations, 9999 comments,
// formats or coefficient sets, 4999 polynomials, which the dictionary's
// blockette 42 numbers from 5001).
//
// A new entry's rows go to the output when it is made; new units at the
// end (finish), since a unit first named without a description may get
// one further on.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "importer/existing_db.hpp"
#include "importer/sql_output.hpp"

namespace importer {

// The one data format entry of imported channels: StationXML has none.
constexpr const char *default_format_name = "Steim2 Integer Compression Format";
constexpr int default_format_family = 50;
extern const char *const default_format_keys[4];

class Dictionary {
public:
    // existing: the database's dictionaries, or null (keys from 1).
    Dictionary(const Dictionaries *existing, SqlOutput &out);

    int unit(const Unit &u);
    int abbreviation(const std::string &description);
    int comment(char class_code, const std::string &description);
    int format();
    int poles_zeros(const PolesZeros &p);
    int coefficient_set(const CoefficientSet &c);
    int polynomial(const Polynomial &p);
    int decimation(const Decimation &d);

    // Writes the new units.
    void finish();

    std::size_t new_entries() const { return new_entries_; }
    // Units described differently in the document: which description D_Unit keeps.
    const std::vector<std::string> &notes() const { return notes_; }

private:
    int next(int &counter, int limit, const char *what);

    // Units by their name as blockette 34 holds it (seed_unit_name).
    struct UnitState {
        std::string name;  // as first written
        int id = 0;
        bool is_new = true;
        std::optional<std::string> description;
        Place described_at;
        std::string database_description;
        bool noted = false;
    };
    struct Named {
        int id;
        std::string name;
    };

    SqlOutput &out_;
    std::map<std::string, UnitState> units_;
    std::map<std::string, std::pair<int, std::string>> existing_units_;  // SEED name -> id, description
    std::vector<std::string> unit_order_;
    std::map<std::string, int> abbreviations_, comments_, poles_zeros_, decimations_;
    std::map<std::string, std::vector<Named>> coefficient_sets_, polynomials_;
    int format_ = 0;
    int last_unit_ = 0, last_abbreviation_ = 0, last_comment_ = 0, last_format_ = 0;
    int last_poles_zeros_ = 0, last_coefficient_set_ = 0, last_polynomial_ = 0, last_decimation_ = 0;
    std::size_t new_entries_ = 0;
    std::vector<std::string> notes_;
};

}  // namespace importer
