// Dataless SEED volumes: logical records of 4096 bytes holding the
// volume header (10, 11), the abbreviation header (H.A) and one station
// header per station epoch, each header starting a new record.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "seed/reader/inventory.hpp"

namespace seed {

constexpr std::size_t logical_record_length = 4096;
constexpr long max_sequence_number = 999999;
// Entries of one blockette 11: 10 + 11 * 908 characters fit its 4-digit length.
constexpr std::size_t max_volume_stations = 908;

using RecordSink = std::function<void(std::string_view record)>;

// Packs blockettes into logical records. Every record begins with its
// 6-digit sequence number, the header type and a continuation flag ("*" on
// every record of a header but its first). Blockettes follow each other
// and go on into the next record; a record is filled with blanks only when
// the next blockette's type and length (7 characters) do not fit, or when
// the header ends.
class LogicalRecordWriter {
public:
    // Without a sink the writer only counts.
    explicit LogicalRecordWriter(RecordSink sink = {}) : sink_(std::move(sink)) {}

    // The next blockette begins a new record of this header type.
    void begin_header(char type);
    void add(std::string_view blockette);
    // Fills the last record of the header with blanks.
    void end_header();
    // Sequence number of the next record to begin.
    long next_sequence() const { return sequence_ + 1; }

private:
    void open_record(bool continuation);
    void flush_record();
    RecordSink sink_;
    std::string record_;  // the record being filled; empty when none is
    char type_ = ' ';
    bool header_started_ = false;  // the header has its first record
    long sequence_ = 0;
};

struct VolumeOptions {
    std::string organization;  // blockette 10 field 8
    std::string label;         // blockette 10 field 9
    std::string volume_time;   // a SEED time, blockette 10 field 7
    // Each blockette 60 written as the 61s and 62s it refers to, stage by
    // stage, and no 41 or 42 in the abbreviation header: for readers that
    // know neither (ObsPy's). Otherwise the tree's lines as they stand.
    bool resolve_references = false;
};

// Text allowed in a variable field of at most max characters: printable
// ASCII without "~". Returns an explanation when it is not, else empty.
std::string variable_text_problem(std::string_view text, std::size_t max);

// Blockette 10 (format 2.4, record length 2^12) and 11 for the stations.
std::string volume_identifier(const std::string &begin, const std::string &end, const VolumeOptions &options);
std::string station_index(const std::vector<std::pair<std::string, long>> &stations);

// What a volume of the given station epochs says when no organization or
// label is given: the network's own name (its blockette 33) when every
// station shares one, else the network codes; "Dataless SEED of network
// NET ...".
std::string default_volume_organization(const Inventory &inventory, const std::vector<const StationEpoch *> &stations);
std::string default_volume_label(const std::vector<const StationEpoch *> &stations);

// A volume written station epoch by station epoch, for writers that read
// the tree one station directory at a time: blockette 11 indexes the
// record of every station header before the first of them, so the
// epochs go through twice, in the same order: measure() sizes each
// header, then write() sends it. Memory follows the largest station.
class VolumeStream {
public:
    // resolve_references: as the options begin() is given will say.
    VolumeStream(const Dictionary &dictionary, bool resolve_references) : dictionary_(dictionary)
    {
        options_.resolve_references = resolve_references;
    }

    // First pass: one station epoch; Error for a value a volume must not
    // carry (the epoch's line named).
    void measure(const StationEpoch &station);
    std::size_t station_epochs() const { return index_.size(); }
    // Defaults as default_volume_organization and default_volume_label
    // give them for the measured epochs.
    std::string default_organization() const;
    std::string default_label() const;

    // Checks every limit of the volume, then sends the volume and
    // abbreviation headers: nothing reaches the sink before. Error when
    // nothing was measured.
    void begin(const VolumeOptions &options, RecordSink sink);
    // Second pass: the measured epochs again, in the same order. Error when
    // one is not as measured (the tree changed in between).
    void write(const StationEpoch &station);
    // Error when an epoch measured was not written.
    void finish();

private:
    const Dictionary &dictionary_;
    VolumeOptions options_;
    std::vector<std::pair<std::string, long>> index_;  // station field, records (then first record)
    Time first_start_, last_end_;  // the earliest start and latest end measured
    std::vector<std::string> networks_;  // codes measured, sorted, each once
    int network_id_ = 0;
    bool one_network_id_ = true;
    std::unique_ptr<LogicalRecordWriter> writer_;
    std::size_t written_ = 0;
};

// Writes the volume of the given station epochs (in the order given) and
// the whole dictionary of the inventory (without 41 and 42 when references
// are resolved). Checks every limit before the
// first record reaches the sink.
void write_volume(const Inventory &inventory, const std::vector<const StationEpoch *> &stations,
                  const VolumeOptions &options, const RecordSink &sink);

}  // namespace seed
