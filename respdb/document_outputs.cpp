#include "respdb/document_outputs.hpp"

#include <cerrno>
#include <cstring>

#include "seed/reader/error.hpp"
#include "seed/files/output_file.hpp"

namespace respdb {

seed::Dictionary dictionary_model(const std::vector<std::string> &records)
{
    return seed::parse_dictionary(seed::lines_of_records(records, std::string(tree_label) + "/H.A"));
}

std::vector<seed::Line> station_lines(const std::vector<std::string> &b050)
{
    return seed::lines_of_records(b050, std::string(tree_label) + "/B050");
}

WholeOutput::WholeOutput(const seed::OutputTarget &target) : target_(target)
{
    if (target_.whole()) {
        file_ = std::make_unique<seed::OutputFile>(target_);
    } else {
        spool_ = std::tmpfile();
        if (!spool_) throw seed::Error(std::string("cannot make a temporary file: ") + std::strerror(errno));
    }
}

WholeOutput::~WholeOutput()
{
    if (spool_) std::fclose(spool_);
}

void WholeOutput::write(std::string_view data)
{
    if (file_) return file_->write(data);
    if (std::fwrite(data.data(), 1, data.size(), spool_) != data.size())
        throw seed::Error(std::string("cannot write a temporary file: ") + std::strerror(errno));
}

void WholeOutput::commit()
{
    if (!file_) {
        file_ = std::make_unique<seed::OutputFile>(target_);
        if (std::fflush(spool_) != 0 || std::fseek(spool_, 0, SEEK_SET) != 0)
            throw seed::Error(std::string("cannot read a temporary file back: ") + std::strerror(errno));
        char buffer[1 << 16];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, spool_)) > 0;)
            file_->write(std::string_view(buffer, n));
        if (std::ferror(spool_)) throw seed::Error("cannot read a temporary file back");
    }
    file_->commit();
}

StationXmlOutput::StationXmlOutput(const seed::OutputTarget &target, seed::StationXmlOptions options)
    : out_(target), options_(std::move(options))
{
}

void StationXmlOutput::dictionary(const seed::Dictionary &dictionary)
{
    document_ = std::make_unique<seed::StationXmlStream>(dictionary, options_,
                                                         [this](std::string_view data) { out_.write(data); });
}

seed::StationXmlSummary StationXmlOutput::commit()
{
    seed::StationXmlSummary summary = document_->finish();
    out_.commit();
    return summary;
}

VolumeOutput::VolumeOutput(const seed::OutputTarget &target, seed::VolumeOptions options)
    : out_(target), options_(std::move(options))
{
    inventory_.root = tree_label;
}

void VolumeOutput::station(std::vector<seed::StationEpoch> epochs)
{
    for (seed::StationEpoch &s : epochs) inventory_.stations.push_back(std::move(s));
}

void VolumeOutput::commit()
{
    if (inventory_.stations.empty())
        throw seed::Error(seed::Source{tree_label, 0}, "no station epochs: nothing to make a volume of");
    std::vector<const seed::StationEpoch *> stations;
    for (const seed::StationEpoch &s : inventory_.stations) stations.push_back(&s);
    if (options_.organization.empty()) options_.organization = seed::default_volume_organization(inventory_, stations);
    if (options_.label.empty()) options_.label = seed::default_volume_label(stations);
    seed::write_volume(inventory_, stations, options_, [this](std::string_view record) { out_.write(record); });
    out_.commit();
}

}  // namespace respdb
