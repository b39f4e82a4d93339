// The database an import adds to (RESPONSE_DB), read only, through the
// tools' database layer: its dictionaries, so that equal entries are
// reused and new keys go above the largest in use, and its epochs, so that
// an epoch already there is not loaded twice.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "importer/model.hpp"

namespace rdb {
class Database;
}

namespace importer {

struct ExistingUnit {
    std::string name, description;
};

struct ExistingComment {
    char class_code = ' ';
    std::string description;
    int unit = 0;
};

struct ExistingFormat {
    std::string name;
    int family = 0;
    std::vector<std::string> keys;
};

// A dictionary entry the generator reads the regular way (every row it
// asks for present once, no NULL where it reads without indicator). An
// irregular one is never reused and never equal to anything.
template <class T>
struct Entry {
    std::optional<T> value;
};

struct Dictionaries {
    std::map<int, ExistingUnit> units;
    std::map<int, std::string> abbreviations;
    std::map<int, ExistingComment> comments;
    std::map<int, ExistingFormat> formats;
    std::map<int, Entry<PolesZeros>> poles_zeros;
    std::map<int, Entry<CoefficientSet>> coefficient_sets;  // name always set
    std::map<int, Entry<Polynomial>> polynomials;           // name always set
    std::map<int, Entry<Decimation>> decimations;
    // The largest key in use of each table (0 when empty).
    int max_unit = 0, max_abbreviation = 0, max_comment = 0, max_format = 0;
    int max_poles_zeros = 0, max_coefficient_set = 0, max_polynomial = 0, max_decimation = 0;
};

class ExistingDatabase {
public:
    // alias: RESPONSE_DB's value. Failure when the database cannot be read.
    explicit ExistingDatabase(const std::string &alias);
    ~ExistingDatabase();
    ExistingDatabase(const ExistingDatabase &) = delete;
    ExistingDatabase &operator=(const ExistingDatabase &) = delete;

    const Dictionaries &dictionaries() const { return d_; }

    // The station's epochs that share an instant with [start, end], each
    // as the generator would read it at its start; the place names the row.
    std::vector<StationEpoch> station_epochs(const std::string &network, const std::string &station, Instant start,
                                             Instant end);
    // The same for a channel, with its comments and its stages.
    std::vector<ChannelEpoch> channel_epochs(const ChannelEpoch &c);

private:
    void load();
    void load_descriptions();
    void load_poles_zeros();
    void load_coefficient_sets();
    void load_polynomials();
    void load_decimations();
    [[noreturn]] void fail(const std::string &what);
    // A unit by its key; a key without its row is noted in unmatched.
    std::optional<Unit> unit(int id, std::optional<std::string> &unmatched) const;
    std::vector<Comment> comments(std::optional<std::string> &unmatched, const char *sql,
                                  std::initializer_list<const char *> codes, Instant start,
                                  Instant end);
    void stages(ChannelEpoch &c, const std::string &location);
    struct StageSet;
    void poles_zeros_stages(StageSet &set);
    void coefficient_stages(StageSet &set);
    void polynomial_stages(StageSet &set);
    void decimation_stages(StageSet &set);
    void gain_stages(StageSet &set);

    std::unique_ptr<rdb::Database> db_;
    std::string alias_;
    Dictionaries d_;
};

}  // namespace importer
