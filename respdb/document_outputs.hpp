// --stationxml and --volume of an export: the documents seedtree writes of
// a tree, made from the records generated in memory through the same
// reader and writers, so that the bytes are those seedtree writes of the
// exported tree. A file appears whole or not at all; standard output and a
// FIFO get nothing until the whole document is made.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "respdb/export.hpp"
#include "seed/reader/inventory.hpp"
#include "seed/files/output_file.hpp"
#include "seed/files/output_target.hpp"
#include "seed/writers/stationxml.hpp"
#include "seed/writers/volume.hpp"

namespace respdb {

// The reader's model of the generated H.A, with the messages of the
// export's label: what every document of an export is written from.
seed::Dictionary dictionary_model(const std::vector<std::string> &records);

// The station epochs' blockettes 50 as the reader's lines, for a
// StationXML document's Network descriptions.
std::vector<seed::Line> station_lines(const std::vector<std::string> &b050);

// A document that reaches its target only when commit() is called: a file
// through seed::OutputFile; standard output and streams from an unnamed
// temporary file.
class WholeOutput {
public:
    explicit WholeOutput(const seed::OutputTarget &target);
    ~WholeOutput();
    WholeOutput(const WholeOutput &) = delete;
    WholeOutput &operator=(const WholeOutput &) = delete;
    void write(std::string_view data);
    void commit();

private:
    seed::OutputTarget target_;
    std::unique_ptr<seed::OutputFile> file_;
    std::FILE *spool_ = nullptr;
};

class StationXmlOutput {
public:
    StationXmlOutput(const seed::OutputTarget &target, seed::StationXmlOptions options);
    void dictionary(const seed::Dictionary &dictionary);
    void station_line(const seed::Line &b050) { document_->add_station_line(b050); }
    void station(const std::vector<seed::StationEpoch> &epochs) { document_->station_directory(epochs); }
    seed::StationXmlSummary commit();

private:
    WholeOutput out_;
    seed::StationXmlOptions options_;
    std::unique_ptr<seed::StationXmlStream> document_;
};

// A volume needs every station epoch before its first record (its index):
// the model is kept whole until commit().
class VolumeOutput {
public:
    VolumeOutput(const seed::OutputTarget &target, seed::VolumeOptions options);
    void dictionary(const seed::Dictionary &dictionary) { inventory_.dictionary = dictionary; }
    void station(std::vector<seed::StationEpoch> epochs);
    void commit();

private:
    WholeOutput out_;
    seed::VolumeOptions options_;
    seed::Inventory inventory_;
};

}  // namespace respdb
