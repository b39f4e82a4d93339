// Reading a header tree into the inventory model.
//
//   root/H.A                      dictionary
//   root/STA.NET/B050, B051       station epochs and their comments
//   root/STA.NET/CHAN.LOC/B052    channel epochs, each a 52 and its response
//   root/STA.NET/CHAN.LOC/B059    their comments, in the order of the 52s
//
// The generator only appends, so a tree may hold the same epoch several
// times: identical repeats are kept once and counted; two different
// records for one epoch start are an error.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <tuple>

#include "seed/reader/inventory.hpp"

namespace seed {

const Stage *ChannelEpoch::stage(int number) const
{
    for (const Stage &s : stages)
        if (s.number == number) return &s;
    return nullptr;
}

std::string ChannelEpoch::codes() const { return station + "." + network + "." + id.location + "." + id.channel; }

namespace {

namespace fs = std::filesystem;

std::string place(const Source &s) { return s.file + ":" + std::to_string(s.line); }

std::string upper(std::string text)
{
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool is_directory(const std::string &path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Names of the subdirectories of dir, sorted; hidden ones left out.
std::vector<std::string> subdirectories(const std::string &dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        if (is_directory(dir + "/" + name)) names.push_back(name);
    }
    if (ec) throw Error(Source{dir, 0}, "cannot list the directory: " + ec.message());
    std::sort(names.begin(), names.end());
    return names;
}

// Where the tree's files are: on disk, or in memory as the generator
// wrote them. Paths are the root's, "/" and the path below it.
class TreeFiles {
public:
    virtual ~TreeFiles() = default;
    virtual std::vector<Line> lines(const std::string &path, bool may_be_missing) const = 0;
    virtual std::vector<std::string> subdirectories(const std::string &path) const = 0;
};

class DiskFiles : public TreeFiles {
public:
    std::vector<Line> lines(const std::string &path, bool may_be_missing) const override
    {
        return read_lines(path, may_be_missing);
    }
    std::vector<std::string> subdirectories(const std::string &path) const override
    {
        return seed::subdirectories(path);
    }
};

class MemoryFiles : public TreeFiles {
public:
    MemoryFiles(const TreeRecords &files, std::string label) : files_(files), label_(std::move(label)) {}

    std::vector<Line> lines(const std::string &path, bool may_be_missing) const override
    {
        auto it = files_.find(below_root(path));
        if (it != files_.end()) return lines_of_records(it->second, path);
        if (may_be_missing) return {};
        throw Error(Source{path, 0}, "no such file in the tree");
    }

    std::vector<std::string> subdirectories(const std::string &path) const override
    {
        const std::string prefix = below_root(path) + "/";
        std::vector<std::string> names;
        for (const auto &[name, records] : files_) {
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            std::size_t slash = name.find('/', prefix.size());
            if (slash == std::string::npos) continue;
            std::string sub = name.substr(prefix.size(), slash - prefix.size());
            if (!sub.empty() && sub[0] != '.' && (names.empty() || names.back() != sub)) names.push_back(sub);
        }
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        return names;
    }

private:
    std::string below_root(const std::string &path) const
    {
        return path.compare(0, label_.size() + 1, label_ + "/") == 0 ? path.substr(label_.size() + 1) : path;
    }

    const TreeRecords &files_;
    std::string label_;
};

[[noreturn]] void misplaced(const Line &line, const char *file)
{
    std::string type = line.text.substr(0, 3);
    if (known_type(std::stoi(type)))
        throw Error(line.source, "blockette type", "blockette " + type + " does not belong in " + file);
    throw Error(line.source, "blockette type", "unknown blockette type " + type);
}

bool overlaps(const Time &a_start, const Time &a_end, const Time &b_start, const Time &b_end)
{
    // Epochs that only touch (one ends where the next begins) do not.
    return (a_start.value < b_end.value && b_start.value < a_end.value) || a_start.value == b_start.value;
}

std::string span(const Time &start, const Time &end)
{
    return start.text + " to " + (end.open() ? std::string("(open)") : end.text);
}

// Takes count lines of the comment file from at on, each of type.
std::vector<Comment> take_comments(const std::vector<Line> &lines, std::size_t &at, int count, int type,
                                   const Line &owner, const std::string &count_field, const char *file)
{
    std::vector<Comment> out;
    if (lines.size() - at < static_cast<std::size_t>(count))
        throw Error(owner.source, count_field,
                    "counts " + std::to_string(count) + " comments, but " + file + " has " +
                        std::to_string(lines.size() - at) + " line(s) left");
    for (int i = 0; i < count; ++i, ++at) {
        const Line &line = lines[at];
        if (framed_type(line) != type) misplaced(line, file);
        out.push_back(type == 51 ? parse_b051(line) : parse_b059(line));
    }
    return out;
}

void no_comments_left(const std::vector<Line> &lines, std::size_t at, const char *file, const char *owner)
{
    if (at < lines.size())
        throw Error(lines[at].source, std::string("no blockette ") + owner + " counts this comment (" + file + " has " +
                                          std::to_string(lines.size()) + " lines, the counts take " +
                                          std::to_string(at) + ")");
}

class StageBuilder {
public:
    StageBuilder(const Dictionary &dictionary, ChannelEpoch &epoch) : dictionary_(dictionary), epoch_(epoch) {}

    // A line of the epoch's response, of the type framed_type gave.
    void add(const Line &line, int type)
    {
        bool continued = false;
        switch (type) {
        case 53: {
            PolesZeros p = parse_b053(line);
            stage(p.stage, line, 53).filters.push_back(Filter{p, std::nullopt, {line}});
            break;
        }
        case 54: {
            Coefficients c = parse_b054(line);
            stage(c.stage, line, 54).filters.push_back(Filter{c, std::nullopt, {line}});
            break;
        }
        case 61: {
            FirBlockette b = parse_b061(line);
            Stage &s = stage(b.stage, line, 61);
            // A long FIR goes on in the next blockette 61 of the stage.
            if (last_fir_ && last_stage_ == b.stage) {
                Fir &fir = std::get<Fir>(s.filters.back().response);
                if (fir.name.text == b.fir.name.text && fir.symmetry == b.fir.symmetry &&
                    fir.input_units == b.fir.input_units && fir.output_units == b.fir.output_units) {
                    fir.coefficients.append(b.fir.coefficients);
                    s.filters.back().lines.push_back(line);
                    continued = true;
                }
            }
            if (!continued) s.filters.push_back(Filter{std::move(b.fir), std::nullopt, {line}});
            last_stage_ = b.stage;
            break;
        }
        case 62: {
            PolynomialBlockette b = parse_b062(line);
            stage(b.stage, line, 62).filters.push_back(Filter{std::move(b.polynomial), std::nullopt, {line}});
            break;
        }
        case 57: {
            Decimation d = parse_b057(line);
            Stage &s = stage(d.stage, line, 57);
            if (s.decimation) twice(line, 57, s.number, s.decimation->line);
            s.decimation = std::move(d);
            break;
        }
        case 58: {
            Sensitivity g = parse_b058(line);
            if (g.stage == 0) {
                if (epoch_.sensitivity) twice(line, 58, 0, epoch_.sensitivity->line);
                epoch_.sensitivity = std::move(g);
            } else {
                Stage &s = stage(g.stage, line, 58);
                if (s.sensitivity) twice(line, 58, s.number, s.sensitivity->line);
                s.sensitivity = std::move(g);
            }
            break;
        }
        case 60: {
            Reference r = parse_b060(line);
            for (const Reference::Stage &rs : r.stages)
                for (int key : rs.keys) stage(rs.stage, line, 60).filters.push_back(resolve(key, line));
            break;
        }
        default:
            misplaced(line, "B052 after a blockette 52");
        }
        last_fir_ = type == 61;
    }

    void finish()
    {
        // Held for the whole read: no room beyond the stages.
        epoch_.stages.reserve(stages_.size());
        for (auto &[number, s] : stages_) epoch_.stages.push_back(std::move(s));
    }

private:
    Stage &stage(int number, const Line &line, int type)
    {
        if (number == 0)
            throw Error(line.source, field_label(type, seed_field::number(type, "stage sequence number")),
                        "stage 0 holds only the channel's blockette 58");
        Stage &s = stages_[number];
        s.number = number;
        return s;
    }

    [[noreturn]] void twice(const Line &line, int type, int number, const Line &first)
    {
        throw Error(line.source, "blockette " + std::to_string(type) + " for stage " + std::to_string(number) +
                                     " again (the first is at " + place(first.source) + ")");
    }

    // The dictionary's filter, shared (see Filter::lines).
    Filter resolve(int key, const Line &line)
    {
        Line place{LineText(), line.source};
        if (auto it = dictionary_.firs.find(key); it != dictionary_.firs.end())
            return Filter{it->second.fir, key, {std::move(place)}};
        if (auto it = dictionary_.polynomials.find(key); it != dictionary_.polynomials.end())
            return Filter{it->second.polynomial, key, {std::move(place)}};
        throw Error(line.source, field_label(60, 6),
                    "key " + std::to_string(key) + " has no blockette 41 or 42 in H.A");
    }

    const Dictionary &dictionary_;
    ChannelEpoch &epoch_;
    std::map<int, Stage> stages_;
    bool last_fir_ = false;
    int last_stage_ = -1;
};

// Lookup codes of the epochs that must be in the dictionary (0: none given).
class LookupCheck {
public:
    explicit LookupCheck(const Dictionary &d) : d_(d) {}

    void station(const StationEpoch &s)
    {
        need(d_.abbreviations.count(s.id.network_id), s.id.network_id, s.id.line, Label{50, 10}, 33);
        for (const Comment &c : s.comments) comment(c, 51);
    }

    void channel(const ChannelEpoch &c)
    {
        const ChannelId &id = c.id;
        need(d_.abbreviations.count(id.instrument), id.instrument, id.line, Label{52, 6}, 33);
        need(d_.units.count(id.signal_units), id.signal_units, id.line, Label{52, 8}, 34);
        need(d_.units.count(id.calibration_units), id.calibration_units, id.line, Label{52, 9}, 34);
        need(d_.formats.count(id.format), id.format, id.line, Label{52, 16}, 30);
        for (const Comment &m : c.comments) comment(m, 59);
        for (const Stage &s : c.stages)
            for (const Filter &f : s.filters) {
                if (f.lookup_key) continue;  // the dictionary's own units are checked with it
                std::visit([&](const auto &r) { units(r, f.lines.front()); }, f.response);
            }
    }

private:
    void comment(const Comment &c, int type)
    {
        need(d_.comments.count(c.key), c.key, c.line, Label{type, 5}, 31);
    }

    template <typename Response>
    void units(const Response &r, const Line &line)
    {
        int type = std::stoi(line.text.substr(0, 3));
        int in_field = type == 61 ? 6 : 5;
        need(d_.units.count(r.input_units), r.input_units, line, Label{type, in_field}, 34);
        need(d_.units.count(r.output_units), r.output_units, line, Label{type, in_field + 1}, 34);
    }

    // A field's label, written out only for a message.
    struct Label {
        int type, field;
        operator std::string() const { return field_label(type, field); }  // NOLINT
    };

    void need(bool present, int key, const Line &line, const Label &field, int kind)
    {
        if (key != 0 && !present) missing(key, line, field, kind);
    }
    [[noreturn]] static void missing(int key, const Line &line, const std::string &field, int kind)
    {
        throw Error(line.source, field,
                    "lookup code " + std::to_string(key) + " has no blockette " + std::to_string(kind) + " in H.A");
    }

    const Dictionary &d_;
};

bool same_lines(const std::vector<Line> &a, const std::vector<Line> &b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const Line &x, const Line &y) { return x.text == y.text; });
}

template <typename T>
std::vector<Line> lines_of(const std::vector<T> &items)
{
    std::vector<Line> out;
    for (const T &i : items) out.push_back(i.line);
    return out;
}

struct StationDirectory {
    std::string path, station, network;
};

std::vector<std::shared_ptr<ChannelEpoch>> read_channel(const TreeFiles &files, const std::string &path,
                                                        const std::string &channel, const std::string &location,
                                                        const StationDirectory &dir, const Dictionary &dictionary,
                                                        std::size_t &dropped)
{
    std::vector<Line> b052 = files.lines(path + "/B052", false);
    std::vector<Line> b059 = files.lines(path + "/B059", true);
    std::vector<std::shared_ptr<ChannelEpoch>> epochs;
    std::size_t at059 = 0;
    for (std::size_t i = 0; i < b052.size();) {
        const Line &head = b052[i];
        if (framed_type(head) != 52) {
            if (!known_type(std::stoi(head.text.substr(0, 3)))) misplaced(head, "B052");
            throw Error(head.source, "blockette type",
                        "blockette " + head.text.substr(0, 3) + " before the first blockette 52");
        }
        auto epoch = std::make_shared<ChannelEpoch>();
        epoch->station = dir.station;
        epoch->network = dir.network;
        epoch->id = parse_b052(head);
        if (epoch->id.channel != channel)
            throw Error(head.source, field_label(52, 4),
                        "channel " + epoch->id.channel + " in the directory of channel " + channel);
        if (epoch->id.location != location)
            throw Error(head.source, field_label(52, 3),
                        "location \"" + epoch->id.location + "\" in the directory of location \"" + location + "\"");
        StageBuilder stages(dictionary, *epoch);
        for (++i; i < b052.size(); ++i) {
            int type = framed_type(b052[i]);
            if (type == 52) break;
            stages.add(b052[i], type);
            epoch->response.push_back(std::move(b052[i]));  // the file's lines are read once
        }
        stages.finish();
        epoch->response.shrink_to_fit();
        epoch->comments =
            take_comments(b059, at059, epoch->id.comment_count, 59, head, field_label(52, 20), "B059");

        // One epoch per start: a repeat must be the same lines again.
        bool repeat = false;
        for (const auto &kept : epochs) {
            if (kept->id.start.value != epoch->id.start.value) continue;
            if (kept->id.line.text == head.text && same_lines(kept->response, epoch->response) &&
                same_lines(lines_of(kept->comments), lines_of(epoch->comments))) {
                repeat = true;
                break;
            }
            throw Error(head.source, field_label(52, 22),
                        "channel epoch " + epoch->codes() + " from " + epoch->id.start.text +
                            " differs from the one at " + place(kept->id.line.source));
        }
        if (repeat)
            ++dropped;
        else
            epochs.push_back(std::move(epoch));
    }
    no_comments_left(b059, at059, "B059", "52");
    return epochs;
}

void read_station(const TreeFiles &files, const StationDirectory &dir, const Dictionary &dictionary,
                  Inventory &inventory)
{
    std::vector<Line> b050 = files.lines(dir.path + "/B050", false);
    std::vector<Line> b051 = files.lines(dir.path + "/B051", true);
    std::vector<StationEpoch> epochs;
    std::size_t at051 = 0;
    for (const Line &line : b050) {
        if (framed_type(line) != 50) misplaced(line, "B050");
        StationEpoch epoch;
        epoch.id = parse_b050(line);
        if (epoch.id.station != dir.station)
            throw Error(line.source, field_label(50, 3),
                        "station " + epoch.id.station + " in the directory of station " + dir.station);
        if (epoch.id.network != dir.network)
            throw Error(line.source, field_label(50, 16),
                        "network " + epoch.id.network + " in the directory of network " + dir.network);
        epoch.comments = take_comments(b051, at051, epoch.id.comment_count, 51, line,
                                       field_label(50, 8), "B051");
        bool repeat = false;
        for (const StationEpoch &kept : epochs) {
            if (kept.id.start.value != epoch.id.start.value) continue;
            if (kept.id.line.text == line.text && same_lines(lines_of(kept.comments), lines_of(epoch.comments))) {
                repeat = true;
                break;
            }
            throw Error(line.source, field_label(50, 13),
                        "station epoch " + dir.station + "." + dir.network + " from " + epoch.id.start.text +
                            " differs from the one at " + place(kept.id.line.source));
        }
        if (repeat)
            ++inventory.dropped_repeats;
        else
            epochs.push_back(std::move(epoch));
    }
    no_comments_left(b051, at051, "B051", "50");

    for (const std::string &name : files.subdirectories(dir.path)) {
        std::size_t dot = name.find('.');
        if (dot == std::string::npos || dot == 0)
            throw Error(Source{dir.path + "/" + name, 0}, "not a channel directory (CHAN.LOC)");
        auto channel_epochs = read_channel(files, dir.path + "/" + name, name.substr(0, dot), name.substr(dot + 1),
                                           dir, dictionary, inventory.dropped_repeats);
        for (const auto &c : channel_epochs) {
            bool placed = false;
            for (StationEpoch &s : epochs)
                if (overlaps(c->id.start, c->id.end, s.id.start, s.id.end)) {
                    s.channels.push_back(c);
                    placed = true;
                }
            if (!placed)
                throw Error(c->id.line.source, field_label(52, 22),
                            "the channel epoch " + span(c->id.start, c->id.end) + " overlaps no station epoch of " +
                                dir.station + "." + dir.network);
        }
    }
    for (StationEpoch &s : epochs) {
        std::stable_sort(s.channels.begin(), s.channels.end(), [](const auto &a, const auto &b) {
            return std::tie(a->id.location, a->id.channel, a->id.start.value) <
                   std::tie(b->id.location, b->id.channel, b->id.start.value);
        });
        inventory.stations.push_back(std::move(s));
    }
}

}  // namespace

std::vector<std::string> station_directories(const std::string &root)
{
    std::vector<std::string> names = subdirectories(root);
    for (const std::string &name : names) {
        std::size_t dot = name.find('.');
        if (dot == std::string::npos || dot == 0 || dot + 1 == name.size() || name.find('.', dot + 1) != std::string::npos)
            throw Error(Source{root + "/" + name, 0}, "not a station directory (STA.NET)");
    }
    return names;
}

std::vector<std::string> station_directories_in_order(const std::string &root,
                                                      const std::vector<std::string> &stations)
{
    std::vector<std::string> names = station_directories(root);
    if (!stations.empty()) {
        std::vector<std::string> chosen;
        for (const std::string &wanted : stations) {
            auto it = std::find_if(names.begin(), names.end(), [&](const auto &n) { return upper(n) == upper(wanted); });
            if (it == names.end()) throw Error(Source{root, 0}, "no station " + upper(wanted) + " in the tree");
            if (std::find(chosen.begin(), chosen.end(), *it) == chosen.end()) chosen.push_back(*it);
        }
        names = std::move(chosen);
    }
    auto split = [](const std::string &name) {
        std::size_t dot = name.find('.');
        return std::make_pair(name.substr(dot + 1), name.substr(0, dot));
    };
    std::sort(names.begin(), names.end(), [&](const auto &a, const auto &b) { return split(a) < split(b); });
    return names;
}

Dictionary read_tree_dictionary(const std::string &root)
{
    struct stat st{};
    if (::stat(root.c_str(), &st) != 0)
        throw Error(Source{root, 0}, std::string("cannot read the header tree: ") + std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) throw Error(Source{root, 0}, "not a directory");
    std::string dictionary_path = root + "/H.A";
    if (::stat(dictionary_path.c_str(), &st) != 0 && errno == ENOENT)
        throw Error(Source{root, 0}, "no H.A: a header tree begins with its abbreviation dictionary");
    return read_dictionary(dictionary_path);
}

namespace {

std::vector<StationEpoch> read_one_station(const TreeFiles &files, const std::string &root, const std::string &name,
                                           const Dictionary &dictionary, std::size_t &dropped)
{
    std::size_t dot = name.find('.');
    if (dot == std::string::npos) throw Error(Source{root + "/" + name, 0}, "not a station directory (STA.NET)");
    Inventory inventory;
    read_station(files, {root + "/" + name, name.substr(0, dot), name.substr(dot + 1)}, dictionary, inventory);
    LookupCheck check(dictionary);
    for (const StationEpoch &s : inventory.stations) {
        check.station(s);
        for (const auto &c : s.channels) check.channel(*c);
    }
    std::stable_sort(inventory.stations.begin(), inventory.stations.end(),
                     [](const auto &a, const auto &b) { return a.id.start.value < b.id.start.value; });
    dropped += inventory.dropped_repeats;
    return std::move(inventory.stations);
}

}  // namespace

std::vector<StationEpoch> read_station_directory(const std::string &root, const std::string &name,
                                                 const Dictionary &dictionary, std::size_t &dropped)
{
    return read_one_station(DiskFiles(), root, name, dictionary, dropped);
}

std::vector<StationEpoch> read_station_records(const TreeRecords &files, const std::string &label,
                                               const std::string &name, const Dictionary &dictionary,
                                               std::size_t &dropped)
{
    return read_one_station(MemoryFiles(files, label), label, name, dictionary, dropped);
}

std::vector<Line> lines_of_records(const std::vector<std::string> &records, const std::string &file)
{
    std::vector<Line> lines;
    lines.reserve(records.size());
    const FileName name(file);
    int number = 0;
    for (const std::string &r : records) lines.push_back(Line{r, Source{name, ++number}});
    return lines;
}

Inventory read_tree(const std::string &root_path, const ReadOptions &options)
{
    std::string root = root_path;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    Inventory inventory;
    inventory.root = root;
    inventory.dictionary = read_tree_dictionary(root);

    std::vector<StationDirectory> directories;
    for (const std::string &name : station_directories(root)) {
        std::size_t dot = name.find('.');
        directories.push_back({root + "/" + name, name.substr(0, dot), name.substr(dot + 1)});
    }
    if (!options.stations.empty()) {
        std::vector<StationDirectory> chosen;
        for (const std::string &wanted : options.stations) {
            auto it = std::find_if(directories.begin(), directories.end(), [&](const StationDirectory &d) {
                return upper(d.station + "." + d.network) == upper(wanted);
            });
            if (it == directories.end()) throw Error(Source{root, 0}, "no station " + upper(wanted) + " in the tree");
            if (std::none_of(chosen.begin(), chosen.end(), [&](const auto &c) { return c.path == it->path; }))
                chosen.push_back(*it);
        }
        directories = std::move(chosen);
    }
    const DiskFiles files;
    for (const StationDirectory &dir : directories) read_station(files, dir, inventory.dictionary, inventory);

    LookupCheck check(inventory.dictionary);
    for (const StationEpoch &s : inventory.stations) {
        check.station(s);
        for (const auto &c : s.channels) check.channel(*c);
    }
    std::stable_sort(inventory.stations.begin(), inventory.stations.end(), [](const auto &a, const auto &b) {
        return std::tie(a.id.network, a.id.station, a.id.start.value) <
               std::tie(b.id.network, b.id.station, b.id.start.value);
    });
    return inventory;
}

}  // namespace seed
