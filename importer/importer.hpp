// From StationXML epochs to rows of the response tables: the checks of
// what the tables and the generator's SEED fields can hold, the identity
// of epochs (repeated in the documents, or already in the database), and
// the rows of each epoch.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "importer/dictionary.hpp"
#include "importer/existing_db.hpp"
#include "importer/sql_output.hpp"
#include "importer/xml_input.hpp"

namespace importer {

struct Options {
    bool skip_unsupported = false;
    std::string load_date;  // lddate of every row: "YYYY/MM/DD HH24:MI:SS"
};

// Every check that an epoch is one the tables and the generator's SEED
// fields can hold. Unsupported, naming the epoch (and stage), when not.
void check_station(const StationEpoch &s);
void check_channel(const ChannelEpoch &c);

class Importer : public DocumentHandler {
public:
    // existing: the database read through RESPONSE_DB, or null. Messages
    // (warnings and notes) go to messages, each a line without the
    // program's name.
    Importer(const Options &options, const EpochIndex &index, ExistingDatabase *existing, SqlOutput &out,
             std::vector<std::string> &messages);

    void station(const StationEpoch &s) override;
    void channel(const ChannelEpoch &c) override;
    void unsupported_station(const Unsupported &e) override;
    void unsupported_channel(const Unsupported &e) override;

    // The rows that wait for the end (new units), and the closing notes.
    void finish();

private:
    // False when the epoch is written already (an identical repeat).
    bool first_of_repeats(const std::string &key, Instant start, const std::string &text, const Place &at,
                          const char *what);
    // True when the database holds the epoch as it is here (noted); an
    // epoch it holds otherwise, or that overlaps, is a Failure.
    bool in_database(const ChannelEpoch &c, const std::string &text);
    struct ChannelKeys;
    // The epoch's rows: channel_data, its comments, then its stages.
    void write_channel(const ChannelEpoch &c);
    void write_stages(const ChannelEpoch &c, const ChannelKeys &keys);
    // A unit's key in the dictionary (0: none).
    int unit_key(const std::optional<Unit> &u);

    Options options_;
    const EpochIndex &index_;
    ExistingDatabase *existing_;
    SqlOutput &out_;
    Dictionary dictionary_;
    std::vector<std::string> &messages_;
    std::size_t repeats_ = 0;  // epochs given again identically, written once
    // Epochs given more than once in the documents: their first text.
    std::map<std::string, std::pair<std::string, Place>> repeated_;
};

}  // namespace importer
