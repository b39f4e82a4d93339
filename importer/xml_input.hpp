// Reading FDSN StationXML (1.0 to 1.2) with libxml2's streaming reader, in
// two passes over each file:
//
//   index_document  checks that the file is well-formed StationXML (and
//                   valid against the FDSN schema when one is given) and
//                   notes every station and channel epoch: codes, dates,
//                   line. Nothing but attributes is kept.
//   read_document   gives each station epoch and then each of its channel
//                   epochs, one Channel element expanded at a time, so
//                   that memory follows the largest channel, not the
//                   document.
//
// Between the passes the EpochIndex settles the dates: an epoch whose end
// is the start of the next epoch of the same station (or channel) ends one
// second earlier, since the database's epochs hold both ends; epochs that
// overlap otherwise are refused, naming both.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "importer/input_file.hpp"
#include "importer/model.hpp"

namespace importer {

// The FDSN schema, parsed once for every file of a run.
class Schema {
public:
    explicit Schema(const std::string &path);  // InputError when it cannot be read
    ~Schema();
    Schema(const Schema &) = delete;
    Schema &operator=(const Schema &) = delete;
    void *handle() const { return schema_; }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    void *schema_ = nullptr;
};

class EpochIndex {
public:
    // key: "NET.STA" for stations, "NET.STA.LOC.CHA" for channels.
    void add(const std::string &key, Instant start, Instant end, const Place &at);
    // Adjusts touching ends and refuses overlaps (Failure naming both).
    void settle();
    // After settle, an epoch is known by its start: two different epochs of
    // one key with one start overlap, which settle refuses.
    // The end to store for the epoch that starts at start.
    Instant end_of(const std::string &key, Instant start) const;
    // Several elements of the documents give this epoch (same dates).
    bool repeated(const std::string &key, Instant start) const;
    std::size_t adjusted_ends() const { return adjusted_; }

private:
    struct Epoch {
        Instant start, end, stored_end;
        Place at;
        int count;
    };
    std::map<std::string, std::vector<Epoch>> epochs_;
    std::size_t adjusted_ = 0;
};

// Pass 1. InputError for a file that is not well-formed XML, not FDSN
// StationXML 1.0 to 1.2, invalid against schema (when not null), or with
// a station or channel date that does not parse.
void index_document(const InputFile &file, const Schema *schema, EpochIndex &index);

// What pass 2 gives. Unsupported thrown while a station or channel is read
// or handled goes to the unsupported_* calls, which rethrow it or leave
// the element out (a station left out takes its channels with it).
class DocumentHandler {
public:
    virtual ~DocumentHandler() = default;
    virtual void station(const StationEpoch &s) = 0;
    virtual void channel(const ChannelEpoch &c) = 0;
    virtual void unsupported_station(const Unsupported &e) = 0;
    virtual void unsupported_channel(const Unsupported &e) = 0;
};

// Pass 2, over a file index_document accepted, with the settled index.
void read_document(const InputFile &file, const EpochIndex &index, DocumentHandler &handler);

}  // namespace importer
