// FDSN StationXML 1.2 documents from the header-tree model, written as they
// go through a streaming writer (xml_writer.hpp): no document is built in
// memory.
//
// The mapping, element by element, is in docs/seedtree-stationxml.md;
// in short: one Network per network code, one Station per
// station epoch, one Channel per channel epoch under every station epoch
// it overlaps (its dates clipped to that epoch), and its Response stage by
// stage, unit names spelled as validators accept them (unit_names.hpp).
// Numbers carry the tree's text when it is an xs:double; nothing
// StationXML cannot hold is written approximately: such a value is an
// Error naming file, line and field.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "seed/reader/inventory.hpp"
#include "seed/reader/stationxml_vocabulary.hpp"

namespace seed {

// How deep a document goes, as the FDSN station web service's levels:
// network (Network elements with their station counts), station (Station
// elements without channels), channel (Channel elements without Response),
// response (everything).
enum class StationXmlLevel { network, station, channel, response };

struct StationXmlOptions {
    std::string source = "response tools";  // Source
    std::string sender;                     // Sender; empty: none
    std::string module;                     // Module ("seedtree 1.0.0"); empty: none
    long long created = 0;                  // Created, seconds since 1970 (UTC)
    StationXmlLevel level = StationXmlLevel::response;
    // At network level: each network's TotalNumberStations (a network not
    // named: none written). SelectedNumberStations counts the station codes
    // the document was given.
    std::map<std::string, std::size_t> total_stations;
};

// What a document holds, and what the tree had that StationXML has no
// place for, for the notes a program prints.
struct StationXmlSummary {
    std::size_t stations = 0;          // Station elements (station epochs)
    std::size_t channels = 0;          // Channel elements
    std::size_t dropped_repeats = 0;   // identical repeated epochs read once
    std::size_t calibrations = 0;      // blockette 58 calibration history entries left out
};

// Receives the document piece by piece; may throw (a failed write).
using XmlSink = std::function<void(std::string_view)>;

// The document of the given station epochs of an inventory read whole, in
// the order given (by network, station and start, as read_tree orders
// them). Error when stations is empty.
StationXmlSummary write_stationxml(const Inventory &inventory, const std::vector<const StationEpoch *> &stations,
                                   const StationXmlOptions &options, const XmlSink &sink);

// The document of the tree below root, read one station directory at a
// time (the dictionary once), so that memory follows the largest station
// and not the network. stations: "STA.NET" codes in any case; empty: all.
// A code that names no station directory, or a tree without station
// epochs, is an Error before anything reaches the sink.
StationXmlSummary write_stationxml_tree(const std::string &root, const std::vector<std::string> &stations,
                                        const StationXmlOptions &options, const XmlSink &sink);

// A document written station directory by station directory, for writers
// whose stations come one at a time (a tree read station by station, or
// generated in memory): memory follows the largest station.
class StationXmlStream {
public:
    StationXmlStream(const Dictionary &dictionary, const StationXmlOptions &options, const XmlSink &sink);
    ~StationXmlStream();
    StationXmlStream(const StationXmlStream &) = delete;
    StationXmlStream &operator=(const StationXmlStream &) = delete;

    // Every station epoch's blockette 50 (lines of other types are passed
    // over), before the first station: a Network's Description needs all
    // of its stations'.
    void add_station_line(const Line &line);
    // The epochs of one station directory, in document order: by network,
    // then station (as station directories sort by network first).
    void station_directory(const std::vector<StationEpoch> &epochs);
    // Ends the document; Error when it holds no station epoch. Nothing
    // reaches the sink before the first station.
    StationXmlSummary finish();

    // What the sink is given.
    std::size_t station_epochs() const { return station_epochs_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::size_t station_epochs_ = 0;
};

// Why a text given for the document (Source, Sender) cannot be written
// as it is: not UTF-8, or a control character; empty when it can.
std::string xml_text_problem(std::string_view text);

}  // namespace seed
