// What a header tree holds, as one model for every writer and check: the
// abbreviation dictionary, station epochs with their comments, and under
// each station epoch the channel epochs it overlaps, each with its
// response by stage.
//
// Every blockette keeps its line (text and source), so writers copy the
// tree's lines as they stand and checks cite file and line.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "seed/reader/blockettes.hpp"

namespace seed {

// A FIR from the dictionary: consecutive blockettes 41 of one key, merged.
struct FirEntry {
    int key = 0;
    Fir fir;
    std::vector<Line> lines;
};

struct PolynomialEntry {
    int key = 0;
    Polynomial polynomial;
    Line line;
};

struct Dictionary {
    std::vector<Line> lines;  // H.A in its order
    std::map<int, FormatEntry> formats;          // 30
    std::map<int, CommentEntry> comments;        // 31
    std::map<int, Abbreviation> abbreviations;   // 33
    std::map<int, UnitEntry> units;              // 34
    std::map<int, FirEntry> firs;                // 41
    std::map<int, PolynomialEntry> polynomials;  // 42

    const UnitEntry *unit(int key) const;
    const Abbreviation *abbreviation(int key) const;
};

// One filter of a stage: the response written in the stage (53, 54, 61,
// 62) or referenced through a blockette 60 and resolved to the
// dictionary's 41 or 42.
struct Filter {
    std::variant<PolesZeros, Coefficients, Fir, Polynomial> response;
    std::optional<int> lookup_key;  // set when the stage refers to the dictionary
    // The stage's blockette(s): 53, 54, 62, the 61s; for a reference only
    // the place of its 60 (the text is the epoch's response line): one
    // 60 may name thousands of keys.
    std::vector<Line> lines;
};

struct Stage {
    int number = 0;
    std::vector<Filter> filters;  // one, as a rule
    std::optional<Decimation> decimation;
    std::optional<Sensitivity> sensitivity;
};

struct ChannelEpoch {
    std::string station, network;  // codes of the station directory
    ChannelId id;                   // blockette 52
    std::vector<Line> response;     // the response blockettes in tree order
    std::vector<Stage> stages;      // by number, from 1
    std::optional<Sensitivity> sensitivity;  // stage 0: the channel's
    std::vector<Comment> comments;           // blockettes 59

    const Stage *stage(int number) const;
    // STA.NET.LOC.CHAN
    std::string codes() const;
};

struct StationEpoch {
    StationId id;                    // blockette 50
    std::vector<Comment> comments;   // blockettes 51
    // Ordered by location, channel and start; a channel epoch that spans
    // two station epochs is listed under both.
    std::vector<std::shared_ptr<const ChannelEpoch>> channels;

    // STA.NET
    std::string codes() const { return id.station + "." + id.network; }
};

struct Inventory {
    std::string root;
    Dictionary dictionary;
    // Ordered by network, station and start.
    std::vector<StationEpoch> stations;
    // Identical repeated station and channel epochs left out.
    std::size_t dropped_repeats = 0;
};

// Reading a tree. stations: "STA.NET" codes (any case) of the station
// directories to read; empty reads them all. A code that matches no
// directory is an error.
struct ReadOptions {
    std::vector<std::string> stations;
};

// Reads and checks the whole tree below root (Error on the first fault).
Inventory read_tree(const std::string &root, const ReadOptions &options = {});

// The dictionary of the tree below root: its H.A, with the same checks of
// root that read_tree makes.
Dictionary read_tree_dictionary(const std::string &root);

// Names of the station directories below root ("STA.NET"), sorted; Error
// on a directory whose name is not one.
std::vector<std::string> station_directories(const std::string &root);

// The station directories to go through one at a time, in the order
// read_tree gives their epochs (by network, then station): the ones
// stations names ("STA.NET", any case; each once), or every one when it
// is empty. Error for a code that names no station directory.
std::vector<std::string> station_directories_in_order(const std::string &root,
                                                      const std::vector<std::string> &stations);

// Reads one station directory of the tree (a name that station_directories
// gives) with the tree's dictionary, checked as read_tree checks it: its
// station epochs by start, each with the channel epochs it overlaps. For
// writers that go station by station, so that memory follows the largest
// station rather than the network. Identical repeats left out are added
// to dropped.
std::vector<StationEpoch> read_station_directory(const std::string &root, const std::string &name,
                                                 const Dictionary &dictionary, std::size_t &dropped);

// Reads H.A (or any dictionary file): the 41s of one key merged, every key
// once per kind.
Dictionary read_dictionary(const std::string &path);
// The same of lines already read.
Dictionary parse_dictionary(std::vector<Line> lines);

// A header tree in memory, as the generator writes one: the records of
// each file by its path below the root ("H.A", "STA.NET/B050",
// "STA.NET/CHAN.LOC/B052"), in order. label stands for the root in
// messages, as the root's path does on disk.
using TreeRecords = std::map<std::string, std::vector<std::string>>;

// The records of a file as numbered lines of file.
std::vector<Line> lines_of_records(const std::vector<std::string> &records, const std::string &file);

// One station directory ("STA.NET") of a tree in memory, read and checked
// as read_station_directory reads one on disk, with the same messages.
std::vector<StationEpoch> read_station_records(const TreeRecords &files, const std::string &label,
                                               const std::string &name, const Dictionary &dictionary,
                                               std::size_t &dropped);

// The lines of a file, numbered from 1. A missing file gives no lines
// when may_be_missing; otherwise Error, as for anything but a regular file
// and for a line longer than a blockette line can be.
constexpr std::size_t max_line_length = 9999;
std::vector<Line> read_lines(const std::string &path, bool may_be_missing);

}  // namespace seed
