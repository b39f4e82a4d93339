#include "seed/writers/volume.hpp"

#include <algorithm>
#include <cstdio>
#include <set>

#include "seed/reader/epochs.hpp"

#include "common/time/calendar.hpp"

namespace seed {

void LogicalRecordWriter::open_record(bool continuation)
{
    if (sequence_ >= max_sequence_number)
        throw Error("the volume needs more than " + std::to_string(max_sequence_number) +
                    " logical records, the most 6-digit sequence numbers count; select fewer stations with --station");
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

// Writes every header; starts receives the sequence number of each
// station's first record.
void write_headers(LogicalRecordWriter &writer, const Inventory &inventory,
                   const std::vector<const StationEpoch *> &stations, const VolumeOptions &options,
                   const std::string &b010, const std::string &b011, std::vector<long> &starts)
{
    writer.begin_header('V');
    writer.add(b010);
    writer.add(b011);
    writer.end_header();
    writer.begin_header('A');
    for (const Line &line : inventory.dictionary.lines) {
        int type = framed_type(line);
        if (!options.resolve_references || (type != 41 && type != 42)) writer.add(line.text);
    }
    writer.end_header();
    starts.clear();
    for (const StationEpoch *s : stations) {
        starts.push_back(writer.next_sequence());
        write_station(writer, *s, inventory.dictionary, options);
    }
}

}  // namespace

void write_volume(const Inventory &inventory, const std::vector<const StationEpoch *> &stations,
                  const VolumeOptions &options, const RecordSink &sink)
{
    if (stations.empty()) throw Error("no station epochs to write");
    for (const StationEpoch *s : stations) refuse_unwritable(*s);
    const StationEpoch *first = stations.front(), *last = stations.front();
    for (const StationEpoch *s : stations) {
        if (s->id.start.value < first->id.start.value) first = s;
        if (s->id.end.value > last->id.end.value) last = s;
    }
    std::string b010 = volume_identifier(first->id.start.text, last->id.end.open() ? open_end : last->id.end.text, options);

    // The index needs the sequence numbers of the station records, which
    // follow the volume header it belongs to: its size does not depend on
    // the numbers, so one counting pass gives them.
    std::vector<std::pair<std::string, long>> index;
    for (const StationEpoch *s : stations) index.emplace_back(s->id.station_field, 0);
    std::vector<long> starts;
    LogicalRecordWriter counter;
    write_headers(counter, inventory, stations, options, b010, station_index(index), starts);
    for (std::size_t i = 0; i < index.size(); ++i) index[i].second = starts[i];

    LogicalRecordWriter writer(sink);
    write_headers(writer, inventory, stations, options, b010, station_index(index), starts);
}

namespace {

std::string networks_of(const std::vector<const StationEpoch *> &stations)
{
    std::set<std::string> codes;
    for (const StationEpoch *s : stations) codes.insert(s->id.network);
    std::string out;
    for (const std::string &c : codes) out += (out.empty() ? "" : " ") + c;
    return out;
}

}  // namespace

std::string default_volume_organization(const Inventory &inventory, const std::vector<const StationEpoch *> &stations)
{
    int id = stations.front()->id.network_id;
    bool shared = true;
    for (const StationEpoch *s : stations) shared = shared && s->id.network_id == id;
    const Abbreviation *a = inventory.dictionary.abbreviation(id);
    if (shared && a && variable_text_problem(a->description.text, 80).empty()) return a->description.text;
    return networks_of(stations);
}

std::string default_volume_label(const std::vector<const StationEpoch *> &stations)
{
    std::string networks = networks_of(stations);
    return networks.size() <= 60 ? "Dataless SEED of network " + networks : "Dataless SEED";
}

}  // namespace seed
