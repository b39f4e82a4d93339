#include "respdb/station_tree.hpp"

#include "generator/generator.hpp"
#include "generator/memory_tree.hpp"

namespace respdb {
namespace {

using Files = quorvex::MemoryTree::Files;

// The records each file gained since sizes were taken.
Files added_since(const Files &files, const std::map<std::string, std::size_t> &sizes)
{
    Files added;
    for (const auto &[path, records] : files) {
        auto it = sizes.find(path);
        std::size_t from = it == sizes.end() ? 0 : it->second;
        // A file the run opened without writing to it is kept: the disk has it.
        if (records.size() > from || it == sizes.end())
            added[path].assign(records.begin() + static_cast<long>(from), records.end());
    }
    return added;
}

std::map<std::string, std::size_t> sizes_of(const Files &files)
{
    std::map<std::string, std::size_t> sizes;
    for (const auto &[path, records] : files) sizes[path] = records.size();
    return sizes;
}

std::string directory_of(const std::string &path) { return path.substr(0, path.rfind('/')); }

// What one run wrote into the files of one directory.
using RunOutput = std::map<std::string, std::vector<std::string>>;

class Assembler {
public:
    explicit Assembler(StationTree &tree) : tree_(tree) {}

    // Adds a run's records; a channel directory's output that an earlier
    // run gave whole is left out.
    void add(const Files &added)
    {
        std::map<std::string, RunOutput> by_directory;
        for (const auto &[path, records] : added) by_directory[directory_of(path)][path] = records;
        for (auto &[directory, output] : by_directory) {
            const bool channel_directory = directory.find('/') != std::string::npos;
            if (channel_directory) {
                auto &seen = kept_[directory];
                bool repeat = false;
                for (const RunOutput &earlier : seen) repeat = repeat || earlier == output;
                if (repeat) continue;
                seen.push_back(output);
            }
            for (auto &[path, records] : output) {
                auto &file = tree_.files[path];
                file.insert(file.end(), records.begin(), records.end());
            }
        }
    }

private:
    StationTree &tree_;
    std::map<std::string, std::vector<RunOutput>> kept_;
};

std::string codes_of(const StationEpochPlan &s, const ChannelEpochRow &c)
{
    return s.network + "." + s.station + "." + c.location + "." + c.channel;
}

quorvex::Request request_of(const StationEpochPlan &epoch, const GeneratorRun &run, const GenerateOptions &options)
{
    quorvex::Request request;
    request.station = epoch.station;
    request.network = epoch.network;
    request.channel = run.channel;
    request.date = run.date;
    request.mode = std::string(1, run.mode);
    request.data_root = memory_root;
    request.lookup = options.lookup;
    request.abpoly = options.abpoly;
    return request;
}

// The run and the generator's message, for a refused run.
std::string refusal(const StationEpochPlan &epoch, const GeneratorRun &run, const rdb::RunEnd &end)
{
    return epoch.network + "." + epoch.station + (run.channel.empty() ? "" : ":" + run.channel) + " at " + run.date +
           ": " + one_line(end.text());
}

}  // namespace

std::vector<std::string> station_records(rdb::Sql &sql, const StationPlan &plan, const GenerateOptions &options)
{
    std::vector<std::string> records;
    for (const StationEpochPlan &epoch : plan.epochs) {
        quorvex::MemoryTree memory(memory_root, true);
        try {
            quorvex::generate(sql, memory, request_of(epoch, epoch.runs.front(), options), nullptr);
        } catch (const rdb::RunEnd &end) {
            if (!options.keep_going) throw RefusedRun(refusal(epoch, epoch.runs.front(), end));
            continue;  // refused again, and named, when its station's turn comes
        }
        auto it = memory.files().find(epoch.station + "." + epoch.network + "/B050");
        if (it != memory.files().end()) records.insert(records.end(), it->second.begin(), it->second.end());
    }
    return records;
}

std::vector<seed::StationEpoch> station_model(const StationTree &tree, const seed::Dictionary &dictionary,
                                              const std::string &label)
{
    const std::string name = tree.plan->station + "." + tree.plan->network;
    if (!tree.files.count(name + "/B050")) return {};
    std::size_t dropped = 0;
    return seed::read_station_records(tree.files, label, name, dictionary, dropped);
}

std::string one_line(const std::string &text)
{
    std::string out;
    for (char c : text) out += c == '\n' ? ' ' : c;
    std::size_t first = out.find_first_not_of(' '), last = out.find_last_not_of(' ');
    out = first == std::string::npos ? "" : out.substr(first, last - first + 1);
    if (out.rfind("Error: ", 0) == 0) out.erase(0, 7);
    if (out.rfind("ORACLE error detected: ", 0) == 0) out.replace(0, 23, "database error: ");
    return out;
}

StationTree generate_station(rdb::Sql &sql, const StationPlan &plan, const GenerateOptions &options,
                             quorvex::RunCache *cache)
{
    StationTree tree;
    tree.plan = &plan;
    Assembler assembler(tree);
    quorvex::MemoryTree memory(memory_root, true);
    for (const StationEpochPlan &epoch : plan.epochs) {
        for (const GeneratorRun &run : epoch.runs) {
            const auto sizes = sizes_of(memory.files());
            try {
                quorvex::generate(sql, memory, request_of(epoch, run, options), nullptr, cache);
            } catch (const rdb::RunEnd &end) {
                const std::string what = refusal(epoch, run, end);
                if (!options.keep_going) throw RefusedRun(what);
                if (run.mode == 's') {
                    tree.refused.push_back("refused station epoch " + epoch.network + "." + epoch.station + " from " +
                                           epoch.on + " and its channel epochs: " + what);
                    break;
                }
                for (const ChannelEpochRow *c : epochs_of_run(epoch, run))
                    tree.refused.push_back("refused " + codes_of(epoch, *c) + " from " + c->on + ": " + what);
                continue;
            }
            assembler.add(added_since(memory.files(), sizes));
        }
    }
    return tree;
}

}  // namespace respdb
