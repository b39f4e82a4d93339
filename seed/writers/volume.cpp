#include "seed/writers/volume.hpp"

#include <algorithm>
#include <cstdio>
#include <set>

#include "seed/reader/epochs.hpp"

#include "common/time/calendar.hpp"

namespace seed {

namespace {

[[noreturn]] void too_many_records()
{
    throw Error("the volume needs more than " + std::to_string(max_sequence_number) +
                " logical records, the most 6-digit sequence numbers count; select fewer stations with --station");
}

}  // namespace

void LogicalRecordWriter::open_record(bool continuation)
{
    if (sequence_ >= max_sequence_number) too_many_records();
    ++sequence_;
    char head[96];
    std::snprintf(head, sizeof head, "%06ld%c%c", sequence_, type_, continuation ? '*' : ' ');
    record_.assign(head, 8);
}

void LogicalRecordWriter::flush_record()
{
    if (record_.empty()) return;
    record_.resize(logical_record_length, ' ');
    if (sink_) sink_(record_);
    record_.clear();
}

void LogicalRecordWriter::begin_header(char type)
{
    flush_record();
    type_ = type;
    header_started_ = false;
}

void LogicalRecordWriter::add(std::string_view blockette)
{
    if (record_.empty()) {
        open_record(header_started_);
        header_started_ = true;
    } else if (logical_record_length - record_.size() < 7) {
        // Type and length of a blockette never straddle two records.
        flush_record();
        open_record(true);
    }
    while (!blockette.empty()) {
        std::size_t n = std::min(blockette.size(), logical_record_length - record_.size());
        record_.append(blockette.substr(0, n));
        blockette.remove_prefix(n);
        if (record_.size() == logical_record_length) {
            flush_record();
            if (!blockette.empty()) open_record(true);
        }
    }
}

void LogicalRecordWriter::end_header()
{
    flush_record();
    header_started_ = false;
}

std::string variable_text_problem(std::string_view text, std::size_t max)
{
    if (text.empty()) return "it is empty";
    if (text.size() > max) return "it is longer than " + std::to_string(max) + " characters";
    for (char c : text) {
        if (c == '~') return "it holds a \"~\", which ends SEED's text fields";
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            return "it holds a character that is not printable ASCII";
    }
    return {};
}

namespace {

std::string framed(const char *type, const std::string &fields)
{
    char head[96];
    std::snprintf(head, sizeof head, "%s%04zu", type, 7 + fields.size());
    return head + fields;
}

}  // namespace

std::string volume_identifier(const std::string &begin, const std::string &end, const VolumeOptions &options)
{
    struct {
        const char *name;
        const std::string &text;
        std::size_t max;
    } texts[] = {{"beginning time", begin, 22}, {"end time", end, 22}, {"volume time", options.volume_time, 22},
                 {"originating organization", options.organization, 80}, {"label", options.label, 80}};
    std::string fields = "02.412";  // format version 2.4, records of 2^12 bytes
    for (const auto &t : texts) {
        std::string problem = variable_text_problem(t.text, t.max);
        if (!problem.empty()) throw Error(std::string("blockette 10 ") + t.name + ": " + problem);
        fields += t.text + "~";
    }
    return framed("010", fields);
}

std::string station_index(const std::vector<std::pair<std::string, long>> &stations)
{
    if (stations.size() > max_volume_stations)
        throw Error("the volume would hold " + std::to_string(stations.size()) +
                    " station epochs, but blockette 11 indexes at most " + std::to_string(max_volume_stations) +
                    "; select stations with --station and write several volumes");
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%03zu", stations.size());
    std::string fields = buffer;
    for (const auto &[code, sequence] : stations) {
        std::snprintf(buffer, sizeof buffer, "%-5.5s%06ld", code.c_str(), sequence);
        fields += buffer;
    }
    return framed("011", fields);
}

namespace {

// Values a volume must not carry as they stand: Error naming the line.
void refuse_unwritable(const StationEpoch &s)
{
    if (std::string p = epoch_order_problem(s.id.start, s.id.end); !p.empty())
        throw Error(s.id.line.source, field_label(50, 14), "the station epoch " + p);
    for (const auto &c : s.channels) {
        if (std::string p = epoch_order_problem(c->id.start, c->id.end); !p.empty())
            throw Error(c->id.line.source, field_label(52, 23), "the channel epoch " + p);
        if (std::string p = sample_rate_problem(c->id.sample_rate); !p.empty())
            throw Error(c->id.line.source, field_label(52, 18), p);
    }
}

// The far end SEED writers give an open epoch.
const char *const open_end = calendar::open_end_seed;

// A response line, or the blockettes a 60 refers to in its place.
void add_response_line(LogicalRecordWriter &writer, const Line &line, const Dictionary &dictionary,
                       const VolumeOptions &options)
{
    if (!options.resolve_references || framed_type(line) != 60) {
        writer.add(line.text);
        return;
    }
    // The reader has found every key in the dictionary.
    for (const Reference::Stage &stage : parse_b060(line).stages)
        for (int key : stage.keys) {
            if (auto fir = dictionary.firs.find(key); fir != dictionary.firs.end())
                for (const Line &piece : fir->second.lines) writer.add(b061_from_b041(piece, stage.stage));
            else
                writer.add(b062_from_b042(dictionary.polynomials.at(key).line, stage.stage));
        }
}

void write_station(LogicalRecordWriter &writer, const StationEpoch &station, const Dictionary &dictionary,
                   const VolumeOptions &options)
{
    writer.begin_header('S');
    writer.add(station.id.line.text);
    for (const Comment &c : station.comments) writer.add(c.line.text);
    for (const auto &channel : station.channels) {
        writer.add(channel->id.line.text);
        for (const Line &line : channel->response) add_response_line(writer, line, dictionary, options);
        for (const Comment &c : channel->comments) writer.add(c.line.text);
    }
    writer.end_header();
}

// The volume and abbreviation headers.
void write_volume_headers(LogicalRecordWriter &writer, const Dictionary &dictionary, const VolumeOptions &options,
                          const std::string &b010, const std::string &b011)
{
    writer.begin_header('V');
    writer.add(b010);
    writer.add(b011);
    writer.end_header();
    writer.begin_header('A');
    for (const Line &line : dictionary.lines) {
        int type = framed_type(line);
        if (!options.resolve_references || (type != 41 && type != 42)) writer.add(line.text);
    }
    writer.end_header();
}

// The network codes as a label or organization names them: sorted, by blanks.
std::string joined(const std::vector<std::string> &codes)
{
    std::string out;
    for (const std::string &c : codes) out += (out.empty() ? "" : " ") + c;
    return out;
}

// A volume's default organization: the network's own name (its
// blockette 33) when every station shares one, else the network codes.
std::string organization_of(const Dictionary &dictionary, bool one_id, int id, const std::string &networks)
{
    const Abbreviation *a = dictionary.abbreviation(id);
    if (one_id && a && variable_text_problem(a->description.text, 80).empty()) return a->description.text;
    return networks;
}

// A volume's default label.
std::string label_of(const std::string &networks)
{
    return networks.size() <= 60 ? "Dataless SEED of network " + networks : "Dataless SEED";
}

}  // namespace

void VolumeStream::measure(const StationEpoch &station)
{
    if (writer_) throw Error("a volume's station epochs are measured before it is written");
    refuse_unwritable(station);
    if (index_.empty() || station.id.start.value < first_start_.value) first_start_ = station.id.start;
    if (index_.empty() || station.id.end.value > last_end_.value) last_end_ = station.id.end;
    if (index_.empty()) network_id_ = station.id.network_id;
    one_network_id_ = one_network_id_ && station.id.network_id == network_id_;
    auto at = std::lower_bound(networks_.begin(), networks_.end(), station.id.network);
    if (at == networks_.end() || *at != station.id.network) networks_.insert(at, station.id.network);
    // Every header begins a record: its size does not depend on where it goes.
    LogicalRecordWriter counter;
    write_station(counter, station, dictionary_, options_);
    index_.emplace_back(station.id.station_field, counter.next_sequence() - 1);
}

std::string VolumeStream::default_organization() const
{
    return organization_of(dictionary_, one_network_id_, network_id_, joined(networks_));
}

std::string VolumeStream::default_label() const { return label_of(joined(networks_)); }

void VolumeStream::begin(const VolumeOptions &options, RecordSink sink)
{
    if (index_.empty()) throw Error("no station epochs to write");
    if (options.resolve_references != options_.resolve_references)
        throw Error("a volume's references are resolved as its station epochs were measured");
    options_ = options;
    std::string b010 = volume_identifier(first_start_.text, last_end_.open() ? open_end : last_end_.text, options_);
    // The index's size does not depend on the numbers in it: counted with
    // zeros, it gives where the first station header begins.
    std::vector<std::pair<std::string, long>> zeros;
    for (const auto &[code, records] : index_) zeros.emplace_back(code, 0);
    LogicalRecordWriter counter;
    write_volume_headers(counter, dictionary_, options_, b010, station_index(zeros));
    long next = counter.next_sequence();
    for (auto &[code, records] : index_) {
        if (records > max_sequence_number - next + 1) too_many_records();
        long first = next;
        next += records;
        records = first;
    }
    writer_ = std::make_unique<LogicalRecordWriter>(std::move(sink));
    write_volume_headers(*writer_, dictionary_, options_, b010, station_index(index_));
}

void VolumeStream::write(const StationEpoch &station)
{
    if (!writer_) throw Error("a volume is begun before its station epochs are written");
    if (written_ == index_.size() || writer_->next_sequence() != index_[written_].second ||
        station.id.station_field != index_[written_].first)
        throw Error(station.id.line.source, "the tree changed while the volume was written: write it again");
    write_station(*writer_, station, dictionary_, options_);
    ++written_;
}

void VolumeStream::finish()
{
    if (written_ != index_.size()) throw Error("the tree changed while the volume was written: write it again");
}

void write_volume(const Inventory &inventory, const std::vector<const StationEpoch *> &stations,
                  const VolumeOptions &options, const RecordSink &sink)
{
    if (stations.empty()) throw Error("no station epochs to write");
    VolumeStream volume(inventory.dictionary, options.resolve_references);
    for (const StationEpoch *s : stations) volume.measure(*s);
    volume.begin(options, sink);
    for (const StationEpoch *s : stations) volume.write(*s);
    volume.finish();
}

namespace {

std::string networks_of(const std::vector<const StationEpoch *> &stations)
{
    std::set<std::string> codes;
    for (const StationEpoch *s : stations) codes.insert(s->id.network);
    return joined(std::vector<std::string>(codes.begin(), codes.end()));
}

bool one_network_id(const std::vector<const StationEpoch *> &stations)
{
    int id = stations.front()->id.network_id;
    bool shared = true;
    for (const StationEpoch *s : stations) shared = shared && s->id.network_id == id;
    return shared;
}

}  // namespace

std::string default_volume_organization(const Inventory &inventory, const std::vector<const StationEpoch *> &stations)
{
    return organization_of(inventory.dictionary, one_network_id(stations), stations.front()->id.network_id,
                           networks_of(stations));
}

std::string default_volume_label(const std::vector<const StationEpoch *> &stations)
{
    return label_of(networks_of(stations));
}

}  // namespace seed
