#include "respdb/fdsn_answer.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "respdb/document_outputs.hpp"
#include "seed/reader/error.hpp"
#include "respdb/export.hpp"
#include "respdb/fdsn_text.hpp"
#include "seed/writers/stationxml.hpp"

namespace respdb::fdsn {
namespace {

using Level = seed::StationXmlLevel;

// The query's time bounds and place over one epoch; a place without
// coordinates is outside every box and ring.
bool epoch_passes(const Query &q, const std::string &on, const std::string &off, const EpochPlace &place)
{
    if (q.start_before && !(on < *q.start_before)) return false;
    if (q.start_after && !(on > *q.start_after)) return false;
    if (q.end_before && !(off < *q.end_before)) return false;
    if (q.end_after && !(off > *q.end_after)) return false;
    if (q.box || q.ring) {
        if (!place.latitude || !place.longitude) return false;
        if (q.box && !q.box->contains(*place.latitude, *place.longitude)) return false;
        if (q.ring && !q.ring->contains(*place.latitude, *place.longitude)) return false;
    }
    return true;
}

std::string stored_location(const std::string &location) { return location.empty() ? "  " : location; }

// The latest load date of the rows a station table gives an epoch (""
// for none) is later than after.
bool rows_after(rdb::Sql &sql, const char *statement, std::initializer_list<rdb::In> inputs, const std::string &after)
{
    char lddate[64] = "";
    rdb::Indicator ind = 0;
    bool later = false;
    sql.for_each_row(statement, inputs, {rdb::out(lddate, &ind)}, [&] {
        std::string t = lddate;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        later = ind >= 0 && t > after;
        return !later;
    });
    return later;
}

// A station epoch counts as updated when its row or one of its comments
// was loaded after the date.
bool station_updated(rdb::Sql &sql, const StationEpochPlan &e, const std::string &after)
{
    if (e.place.lddate > after) return true;
    return rows_after(sql,
                      "select lddate  from Station_Comment where (((sta=:b0 and net=:b1) and ondate<=:b2) and offdate>=:b3)",
                      {rdb::in(e.station.c_str()), rdb::in(e.network.c_str()), rdb::in(e.off.c_str()), rdb::in(e.on.c_str())},
                      after);
}

// A channel epoch counts as updated when its row, a stage of its response
// or one of its comments was loaded after the date.
bool channel_updated(rdb::Sql &sql, const StationEpochPlan &e, const ChannelEpochRow &c, const std::string &after)
{
    if (c.place.lddate > after) return true;
    static const char *const statements[] = {
        "select lddate  from Poles_Zeros where (((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and ondate<=:b4) and offdate>=:b5)",
        "select lddate  from Coefficients where (((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and ondate<=:b4) and offdate>=:b5)",
        "select lddate  from Decimation where (((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and ondate<=:b4) and offdate>=:b5)",
        "select lddate  from Polynomial where (((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and ondate<=:b4) and offdate>=:b5)",
        "select lddate  from Sensitivity where (((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and ondate<=:b4) and offdate>=:b5)",
        "select lddate  from Channel_Comment where (((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and ondate<=:b4) and offdate>=:b5)",
    };
    const std::string location = stored_location(c.location);
    for (const char *statement : statements)
        if (rows_after(sql, statement,
                       {rdb::in(e.station.c_str()), rdb::in(e.network.c_str()), rdb::in(c.channel.c_str()),
                        rdb::in(location.c_str()), rdb::in(c.off.c_str()), rdb::in(c.on.c_str())},
                       after))
            return true;
    return false;
}

// The station codes of each network in the database.
std::map<std::string, std::size_t> total_stations(rdb::Sql &sql, const std::vector<StationPlan> &plan)
{
    std::map<std::string, std::size_t> totals;
    std::set<std::string> networks;
    for (const StationPlan &s : plan) networks.insert(s.network);
    for (const std::string &network : networks) {
        std::set<std::string> stations;
        char sta[64] = "";
        sql.for_each_row("select sta  from station_data where net=:b0", {rdb::in(network.c_str())}, {rdb::out(sta)}, [&] {
            std::string t = sta;
            while (!t.empty() && t.back() == ' ') t.pop_back();
            stations.insert(t);
        });
        totals[network] = stations.size();
    }
    return totals;
}

// The channel epochs of a station's model that its plan selects: the
// generator's runs write every epoch of a channel they reach, the plan
// names those the query selects.
void keep_selected_channels(std::vector<seed::StationEpoch> &epochs, const StationPlan &plan)
{
    for (seed::StationEpoch &s : epochs) {
        auto on = database_time(s.id.start.text);
        auto e = std::find_if(plan.epochs.begin(), plan.epochs.end(), [&](const auto &p) { return on && p.on == *on; });
        if (e == plan.epochs.end()) continue;
        std::set<std::tuple<std::string, std::string, std::string>> wanted;
        for (const ChannelEpochRow &r : e->channel_epochs) wanted.insert({r.location, r.channel, r.on});
        std::erase_if(s.channels, [&](const std::shared_ptr<const seed::ChannelEpoch> &c) {
            auto start = database_time(c->id.start.text);
            return start && !wanted.count({c->id.location, c->id.channel, *start});
        });
    }
}

// The export's sink for the service: the model of each station, narrowed
// to the selected channels, into the StationXML writer or the text writer.
class AnswerSink : public ExportSink {
public:
    AnswerSink(const Query &query, seed::StationXmlOptions xml_options, const std::function<void(std::string_view)> &out)
        : query_(query), xml_options_(std::move(xml_options)), out_([this, &out](std::string_view data) {
              written_ = written_ || !data.empty();
              out(data);
          })
    {
    }

    void dictionary(const std::vector<std::string> &records) override
    {
        dictionary_ = dictionary_model(records);
        if (query_.format == Format::xml)
            document_ = std::make_unique<seed::StationXmlStream>(dictionary_, xml_options_, out_);
        else
            text_ = std::make_unique<TextAnswer>(dictionary_, query_.level, xml_options_.total_stations, out_);
    }
    bool wants_station_records() const override { return query_.format == Format::xml; }
    void station_records(const std::vector<std::string> &b050) override
    {
        for (const seed::Line &line : station_lines(b050)) document_->add_station_line(line);
    }
    const seed::Dictionary *model_dictionary() const override { return &dictionary_; }
    void station(StationTree &tree) override
    {
        keep_selected_channels(tree.epochs, *tree.plan);
        if (document_)
            document_->station_directory(tree.epochs);
        else
            text_->station(tree.epochs);
    }

    // Ends the answer; false when it held nothing and nothing was written.
    bool finish()
    {
        if (text_) return text_->finish();
        if (document_->station_epochs() == 0 && !written_) return false;
        try {
            document_->finish();
        } catch (const seed::Error &) {
            if (!written_) return false;  // no station epoch was generated
            throw;
        }
        return true;
    }

private:
    const Query &query_;
    seed::StationXmlOptions xml_options_;
    std::function<void(std::string_view)> out_;
    bool written_ = false;
    seed::Dictionary dictionary_;
    std::unique_ptr<seed::StationXmlStream> document_;
    std::unique_ptr<TextAnswer> text_;
};

}  // namespace

std::vector<StationPlan> query_plan(rdb::Sql &sql, const Query &query, std::size_t max_channels)
{
    std::vector<std::vector<StationPlan>> plans;
    for (const Selection &selection : query.selections) {
        std::vector<StationPlan> plan = make_plan(sql, selection);
        for (StationPlan &s : plan)
            for (StationEpochPlan &e : s.epochs)
                std::erase_if(e.channel_epochs, [&](const ChannelEpochRow &c) { return !selection.overlaps(c.on, c.off); });
        plans.push_back(std::move(plan));
    }
    std::vector<StationPlan> plan = plans.size() == 1 ? std::move(plans.front()) : merge_plans(std::move(plans));
    std::size_t channels = 0;
    for (StationPlan &s : plan) {
        std::erase_if(s.epochs, [&](StationEpochPlan &e) {
            if (!epoch_passes(query, e.on, e.off, e.place)) return true;
            std::erase_if(e.channel_epochs, [&](const ChannelEpochRow &c) {
                EpochPlace place = c.place;
                if (!place.latitude || !place.longitude) place = e.place;  // the station's, as the channel has none
                return !epoch_passes(query, c.on, c.off, place);
            });
            bool updated = true;
            if (query.updated_after) {
                updated = station_updated(sql, e, *query.updated_after);
                std::erase_if(e.channel_epochs,
                              [&](const ChannelEpochRow &c) { return !channel_updated(sql, e, c, *query.updated_after); });
            }
            if (e.channel_epochs.empty() && (query.channels_asked || !updated)) return true;
            e.runs = runs_of(e);
            return false;
        });
        channels += s.channel_epochs();
    }
    std::erase_if(plan, [](const StationPlan &s) { return s.epochs.empty(); });
    if (query.level >= Level::channel && max_channels > 0 && channels > max_channels)
        throw TooLarge("the answer holds " + std::to_string(channels) + " channel epochs, more than this service's limit of " +
                       std::to_string(max_channels) + "; ask for fewer");
    return plan;
}

bool write_answer(rdb::Sql &sql, const Query &query, const std::vector<StationPlan> &plan,
                  const AnswerOptions &options, const std::function<void(std::string_view)> &out)
{
    if (plan.empty()) return false;
    seed::StationXmlOptions xml;
    xml.module = options.module;
    xml.created = options.created;
    xml.level = query.level;
    if (query.level == Level::network) xml.total_stations = total_stations(sql, plan);

    // Above the channel level only the station runs are needed.
    std::vector<StationPlan> stations_only;
    const std::vector<StationPlan> *generated = &plan;
    if (query.level <= Level::station) {
        stations_only = plan;
        for (StationPlan &s : stations_only)
            for (StationEpochPlan &e : s.epochs) e.runs.resize(1);
        generated = &stations_only;
    }
    AnswerSink sink(query, xml, out);
    export_plan(sql, *generated, options.generate, sink);
    return sink.finish();
}

}  // namespace respdb::fdsn
