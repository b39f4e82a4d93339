#include "respdb/plan.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "common/db/date_text.hpp"

namespace respdb {
namespace {

std::string trimmed(const char *text)
{
    std::string s = text;
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

bool is_date(const std::string &text)
{
    rdb::DateTime t;
    return rdb::parse_database_date(text, t);
}

// A coordinate read with its indicator.
std::optional<double> coordinate(double value, rdb::Indicator ind)
{
    return ind < 0 ? std::nullopt : std::optional(value);
}

// The selected channel epochs that overlap the station epoch.
std::vector<ChannelEpochRow> channel_epochs(rdb::Sql &sql, const Selection &selection, const StationEpochPlan &s)
{
    std::vector<ChannelEpochRow> rows;
    char seedchan[64] = "", location[64] = "", on[64] = "", off[64] = "", lddate[64] = "";
    double lat = 0, lon = 0;
    rdb::Indicator lat_ind = 0, lon_ind = 0, lddate_ind = 0;
    sql.for_each_row(
        "select seedchan ,location ,ondate ,offdate ,lat ,lon ,lddate  from channel_data where (((sta=:b0 and net=:b1) and ondate<=:b2) and offdate>=:b3) order by seedchan ,location ,ondate",
        {rdb::in(s.station.c_str()), rdb::in(s.network.c_str()), rdb::in(s.off.c_str()), rdb::in(s.on.c_str())},
        {rdb::out(seedchan), rdb::out(location), rdb::out(on), rdb::out(off), rdb::out(lat, &lat_ind),
         rdb::out(lon, &lon_ind), rdb::out(lddate, &lddate_ind)},
        [&] {
            ChannelEpochRow row{trimmed(location), trimmed(seedchan), trimmed(on), trimmed(off),
                                {coordinate(lat, lat_ind), coordinate(lon, lon_ind), lddate_ind < 0 ? "" : trimmed(lddate)}};
            if (selection.channel_matches(row.location, row.channel) && is_date(row.on) && is_date(row.off))
                rows.push_back(std::move(row));
        });
    return rows;
}

}  // namespace

// Lintaro's runs for each channel: at the station epoch's start, and at
// every later start inside it, each start once.
std::vector<GeneratorRun> runs_of(const StationEpochPlan &s)
{
    std::vector<GeneratorRun> runs{{"", s.on, 's'}};
    std::map<std::string, std::set<std::string>> later;
    for (const ChannelEpochRow &c : s.channel_epochs) {
        auto &starts = later[c.channel];
        if (c.on > s.on) starts.insert(c.on);
    }
    for (const auto &[channel, starts] : later) {
        runs.push_back({channel, s.on, 'c'});
        for (const std::string &date : starts) runs.push_back({channel, date, 'e'});
    }
    return runs;
}

std::size_t StationPlan::channel_epochs() const
{
    std::size_t n = 0;
    for (const StationEpochPlan &e : epochs) n += e.channel_epochs.size();
    return n;
}

std::vector<StationPlan> make_plan(rdb::Sql &sql, const Selection &selection)
{
    std::vector<StationEpochPlan> epochs;
    char sta[64] = "", net[64] = "", on[64] = "", off[64] = "", lddate[64] = "";
    double lat = 0, lon = 0;
    rdb::Indicator lat_ind = 0, lon_ind = 0, lddate_ind = 0;
    sql.for_each_row("select sta ,net ,ondate ,offdate ,lat ,lon ,lddate  from station_data  order by net ,sta ,ondate", {},
                     {rdb::out(sta), rdb::out(net), rdb::out(on), rdb::out(off), rdb::out(lat, &lat_ind),
                      rdb::out(lon, &lon_ind), rdb::out(lddate, &lddate_ind)},
                     [&] {
                         StationEpochPlan s{trimmed(net), trimmed(sta), trimmed(on), trimmed(off), {}, {},
                                            {coordinate(lat, lat_ind), coordinate(lon, lon_ind),
                                             lddate_ind < 0 ? "" : trimmed(lddate)}};
                         if (selection.station_matches(s.network, s.station) && is_date(s.on) && is_date(s.off) &&
                             selection.overlaps(s.on, s.off))
                             epochs.push_back(std::move(s));
                     });
    std::vector<StationPlan> plan;
    for (StationEpochPlan &s : epochs) {
        s.channel_epochs = channel_epochs(sql, selection, s);
        s.runs = runs_of(s);
        if (plan.empty() || plan.back().network != s.network || plan.back().station != s.station)
            plan.push_back({s.network, s.station, {}});
        plan.back().epochs.push_back(std::move(s));
    }
    return plan;
}

std::vector<StationPlan> merge_plans(std::vector<std::vector<StationPlan>> plans)
{
    // (network, station) -> (on -> epoch)
    std::map<std::pair<std::string, std::string>, std::map<std::string, StationEpochPlan>> merged;
    for (std::vector<StationPlan> &plan : plans)
        for (StationPlan &station : plan)
            for (StationEpochPlan &epoch : station.epochs) {
                auto &epochs = merged[{station.network, station.station}];
                auto [it, inserted] = epochs.emplace(epoch.on, epoch);
                if (inserted) continue;
                auto &rows = it->second.channel_epochs;
                for (ChannelEpochRow &row : epoch.channel_epochs) {
                    auto same = [&](const ChannelEpochRow &r) {
                        return r.channel == row.channel && r.location == row.location && r.on == row.on;
                    };
                    if (std::none_of(rows.begin(), rows.end(), same)) rows.push_back(std::move(row));
                }
            }
    std::vector<StationPlan> out;
    for (auto &[codes, epochs] : merged) {
        StationPlan station{codes.first, codes.second, {}};
        for (auto &[on, epoch] : epochs) {
            // The order of the channel query: channel, location, start.
            std::sort(epoch.channel_epochs.begin(), epoch.channel_epochs.end(), [](const auto &a, const auto &b) {
                return std::tie(a.channel, a.location, a.on) < std::tie(b.channel, b.location, b.on);
            });
            epoch.runs = runs_of(epoch);
            station.epochs.push_back(std::move(epoch));
        }
        out.push_back(std::move(station));
    }
    return out;
}

std::vector<const ChannelEpochRow *> epochs_of_run(const StationEpochPlan &plan, const GeneratorRun &run)
{
    std::vector<const ChannelEpochRow *> out;
    for (const ChannelEpochRow &c : plan.channel_epochs) {
        if (!run.channel.empty() && c.channel != run.channel) continue;
        bool written = run.mode == 'e' ? c.on == run.date : (c.on <= run.date && c.off >= run.date);
        if (written) out.push_back(&c);
    }
    return out;
}

}  // namespace respdb
