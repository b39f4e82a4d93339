// A station's page: its epochs, their channels and comments.
#include "seed/site/site_pages.hpp"

namespace seed::site_pages {

void Site::station_page(const SiteLayout::Station &s)
{
    const std::string &path = s.page;
    Writer w;
    // The newest epoch first: what the station is now.
    for (auto it = s.epochs.rbegin(); it != s.epochs.rend(); ++it) {
        const StationEpoch &e = **it;
        open_card(w, "Epoch " + when(e.id.start) + " \u2013 " + when(e.id.end));
        w.open("dl", {{"class", "facts"}});
        fact(w, "Site", e.id.site.text);
        fact(w, "Latitude", number_text(e.id.latitude.value) + "\u00b0");
        fact(w, "Longitude", number_text(e.id.longitude.value) + "\u00b0");
        fact(w, "Elevation", number_text(e.id.elevation.value) + " m");
        std::string network = network_name(e.id.network_id);
        fact(w, "Network", e.id.network + (network.empty() ? "" : " \u2014 " + network));
        fact(w, "Epoch", full_time(e.id.start) + " \u2013 " + (open_end(e.id.end) ? "open" : full_time(e.id.end)));
        fact(w, "Checks", "", station_tally(e));
        w.close("dl");

        if (!e.comments.empty()) {
            w.element("h3", "Comments");
            comments(w, e.comments);
        }
        const auto &own = findings(e.codes(), e.id.start);
        if (!own.empty()) {
            w.element("h3", "Station findings");
            findings_list(w, own);
        }

        w.element("h3", "Channel epochs");
        table_head(w, {"Channel", "Start", "End", "#Rate (sps)", "#Azimuth", "#Dip", "#Depth (m)",
                       "#Sensitivity", "#at (Hz)", "Units", "#Stages", "Checks"});
        for (const auto &c : e.channels) {
            const std::string &target = layout_.page_of(c.get());
            w.open("tr");
            w.open("td", {{"class", "code"}});
            w.element("a", channel_label(*c), {{"href", link(path, target)}});
            w.close("td");
            time_cell(w, c->id.start);
            time_cell(w, c->id.end);
            cell(w, number_text(c->id.sample_rate.value), "num");
            cell(w, number_text(c->id.azimuth.value) + "\u00b0", "num");
            cell(w, number_text(c->id.dip.value) + "\u00b0", "num");
            cell(w, number_text(c->id.depth.value), "num");
            cell(w, c->sensitivity ? number_text(c->sensitivity->gain.value) : "\u2014", "num");
            cell(w, c->sensitivity ? number_text(c->sensitivity->frequency.value) : "\u2014", "num");
            cell(w, response_units(*c, dictionary_), "code");
            cell(w, std::to_string(c->stages.size()), "num");
            w.open("td");
            badge(w, channel_tally(*c));
            w.close("td");
            w.close("tr");
            w.line();
        }
        table_end(w);
        close_card(w);
    }
    const StationEpoch &latest = *s.epochs.back();
    page(path, s.codes + " \u2014 " + options_.title, {{options_.title, "index.html"}, {s.codes, ""}},
         s.codes + (latest.id.site.text.empty() ? "" : " \u2014 " + latest.id.site.text),
         plural(s.epochs.size(), "epoch", "epochs") + ", from " + when(s.epochs.front()->id.start) + " to " +
             when(latest.id.end),
         w);
}

void Site::comments(Writer &w, const std::vector<Comment> &list)
{
    w.open("ul", {{"class", "comments"}});
    for (const Comment &c : list) {
        const auto &entries = dictionary_.comments;
        auto it = entries.find(c.key);
        w.open("li");
        w.element("span", it == entries.end() ? "comment " + std::to_string(c.key) : it->second.description.text,
                  {{"class", "comment"}});
        w.element("span", " " + when(c.start) + " \u2013 " + when(c.end) +
                              (c.level ? ", level " + std::to_string(c.level) : ""),
                  {{"class", "quiet"}});
        w.close("li");
    }
    w.close("ul");
}

}  // namespace seed::site_pages
