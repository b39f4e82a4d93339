// The site's first page: the map, the networks and every station.
#include "seed/site/site_pages.hpp"

namespace seed::site_pages {

void Site::index_page()
{
    const std::string path = "index.html";
    Writer w;
    std::set<std::string> channel_codes;
    std::size_t epoch_count = layout_.channels.size();
    for (const auto &[c, page] : layout_.channels) channel_codes.insert(c->codes());

    // Networks.
    open_card(w, "Networks");
    table_head(w, {"Network", "Description", "#Stations", "#Station epochs", "#Channel epochs", "Checks"});
    for (std::size_t i = 0; i < inventory_.stations.size();) {
        const std::string &net = inventory_.stations[i].id.network;
        std::set<std::string> stations;
        std::set<const ChannelEpoch *> channels;
        std::size_t epochs = 0;
        Tally t;
        int network_id = inventory_.stations[i].id.network_id;
        for (; i < inventory_.stations.size() && inventory_.stations[i].id.network == net; ++i) {
            const StationEpoch &s = inventory_.stations[i];
            stations.insert(s.id.station);
            ++epochs;
            network_id = s.id.network_id;
            t.add(station_tally(s));
            for (const auto &c : s.channels) channels.insert(c.get());
        }
        w.open("tr");
        cell(w, net, "code");
        cell(w, network_name(network_id));
        cell(w, std::to_string(stations.size()), "num");
        cell(w, std::to_string(epochs), "num");
        cell(w, std::to_string(channels.size()), "num");
        w.open("td");
        badge(w, t);
        w.close("td");
        w.close("tr");
        w.line();
    }
    table_end(w);
    close_card(w);

    // Map: each station where its latest epoch puts it.
    std::vector<MapStation> points;
    for (const SiteLayout::Station &s : layout_.stations) {
        const StationEpoch &latest = *s.epochs.back();
        Tally t;
        for (const StationEpoch *e : s.epochs) t.add(station_tally(*e));
        points.push_back({latest.id.latitude.value, latest.id.longitude.value, s.codes,
                          s.codes + " \u2014 " + latest.id.site.text, link(path, s.page), t.worst()});
    }
    open_card(w, "Map", "map");
    w.open("figure", {{"class", "map"}});
    std::size_t left_out = write_station_map(w, points);
    std::string caption = "Stations at their latest coordinates, equirectangular; colour shows the worst check "
                          "finding (blue none, amber warning, red error).";
    if (left_out) caption += " " + plural(left_out, "station", "stations") + " with coordinates off the globe not shown.";
    w.element("figcaption", caption);
    w.close("figure");
    close_card(w);

    // Station epochs.
    open_card(w, "Station epochs");
    table_head(w, {"Station", "Site", "#Latitude", "#Longitude", "#Elevation (m)", "Start", "End", "#Channels",
                   "Checks"});
    for (const SiteLayout::Station &s : layout_.stations)
        for (const StationEpoch *e : s.epochs) {
            std::set<std::string> channels;
            for (const auto &c : e->channels) channels.insert(c->id.location + "." + c->id.channel);
            w.open("tr");
            w.open("td", {{"class", "code"}});
            w.element("a", s.codes, {{"href", link(path, s.page)}});
            w.close("td");
            cell(w, e->id.site.text);
            cell(w, number_text(e->id.latitude.value), "num");
            cell(w, number_text(e->id.longitude.value), "num");
            cell(w, number_text(e->id.elevation.value), "num");
            time_cell(w, e->id.start);
            time_cell(w, e->id.end);
            cell(w, std::to_string(channels.size()), "num");
            w.open("td");
            badge(w, station_tally(*e));
            w.close("td");
            w.close("tr");
            w.line();
        }
    table_end(w);
    close_card(w);

    const auto &dictionary = findings_by_codes("H.A");
    if (!dictionary.empty()) {
        open_card(w, "Dictionary findings");
        findings_list(w, dictionary);
        close_card(w);
    }
    files_card(w, path, nullptr);

    std::size_t station_count = layout_.stations.size();
    page(path, options_.title, {{options_.title, ""}}, options_.title,
         plural(station_count, "station", "stations") + ", " +
             plural(channel_codes.size(), "channel", "channels") + " in " +
             plural(epoch_count, "channel epoch", "channel epochs"),
         w);
}

}  // namespace seed::site_pages
