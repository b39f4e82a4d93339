// The site's first page: the map, the networks and every station.
#include "seed/site/site_pages.hpp"

namespace seed::site_pages {

void Site::index_page()
{
    const std::string path = "index.html";
    Writer w;

    // Networks.
    open_card(w, "Networks");
    table_head(w, {"Network", "Description", "#Stations", "#Station epochs", "#Channel epochs", "Checks"});
    for (std::size_t i = 0; i < index_.size();) {
        const std::string &net = index_[i].network;
        std::set<std::string> stations;
        std::size_t epochs = 0, channels = 0;
        Tally t;
        int network_id = index_[i].network_id;
        for (; i < index_.size() && index_[i].network == net; ++i) {
            const IndexEpoch &s = index_[i];
            stations.insert(s.station);
            ++epochs;
            network_id = s.network_id;
            t.add(s.tally);
            channels += s.new_epochs;
        }
        w.open("tr");
        cell(w, net, "code");
        cell(w, network_name(network_id));
        cell(w, std::to_string(stations.size()), "num");
        cell(w, std::to_string(epochs), "num");
        cell(w, std::to_string(channels), "num");
        w.open("td");
        badge(w, t);
        w.close("td");
        w.close("tr");
        w.line();
    }
    table_end(w);
    close_card(w);

    // Map: each station where its latest epoch puts it.
    open_card(w, "Map", "map");
    w.open("figure", {{"class", "map"}});
    std::size_t left_out = write_station_map(w, points_);
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
    for (const IndexEpoch &e : index_) {
        w.open("tr");
        w.open("td", {{"class", "code"}});
        w.element("a", e.codes, {{"href", link(path, e.page)}});
        w.close("td");
        cell(w, e.site);
        cell(w, number_text(e.latitude), "num");
        cell(w, number_text(e.longitude), "num");
        cell(w, number_text(e.elevation), "num");
        time_cell(w, e.start);
        time_cell(w, e.end);
        cell(w, std::to_string(e.channels), "num");
        w.open("td");
        badge(w, e.tally);
        w.close("td");
        w.close("tr");
        w.line();
    }
    table_end(w);
    close_card(w);

    std::vector<const Finding *> dictionary;
    for (const Finding &f : dictionary_findings_) dictionary.push_back(&f);
    if (!dictionary.empty()) {
        open_card(w, "Dictionary findings");
        findings_list(w, dictionary);
        close_card(w);
    }
    files_card(w, path, nullptr);

    std::size_t station_count = points_.size();
    page(path, options_.title, {{options_.title, ""}}, options_.title,
         plural(station_count, "station", "stations") + ", " +
             plural(channel_codes_.size(), "channel", "channels") + " in " +
             plural(channel_epochs_, "channel epoch", "channel epochs"),
         w);
}

}  // namespace seed::site_pages
