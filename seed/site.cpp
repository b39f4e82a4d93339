#include "site.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <set>

#include "epochs.hpp"
#include "output_file.hpp"
#include "plot.hpp"
#include "resp.hpp"
#include "response.hpp"
#include "site_html.hpp"
#include "site_map.hpp"
#include "stationxml.hpp"

namespace seed {

namespace {

using html::Attributes;
using html::Writer;

std::string lower(std::string text)
{
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A name not yet in used (compared without case, for file systems that
// ignore it): base, else base-2, base-3, ...
std::string unique_name(const std::string &base, std::set<std::string> &used)
{
    std::string name = base;
    for (int n = 2; !used.insert(lower(name)).second; ++n) name = base + "-" + std::to_string(n);
    return name;
}

// "2003,182,00:00:00" -> "2003-182"; the time of day and fraction only
// when there are any, so that names stay short and stay apart.
std::string start_tag(const Time &start)
{
    std::string t = full_time(start), out = t.substr(0, 4) + "-" + t.substr(5, 3);
    if (t.size() >= 17 && t.compare(9, 8, "00:00:00") != 0)
        out += "-" + t.substr(9, 2) + t.substr(12, 2) + t.substr(15, 2);
    if (t.size() > 17) out += t.substr(17);
    return out;
}

// Numbers as people read them: plain between 0.0001 and ten million,
// else in exponent form; the shortest digits that give the value back.
std::string number_text(double value)
{
    char text[64];
    double a = std::fabs(value);
    auto format = value == 0 || (a >= 1e-4 && a < 1e7) ? std::chars_format::fixed : std::chars_format::scientific;
    auto result = std::to_chars(text, text + sizeof text, value, format);
    return std::string(text, result.ec == std::errc() ? result.ptr : text);
}

// "2003-07-01", "2003-06-30 23:59:59", or "open".
std::string when(const Time &t)
{
    if (open_end(t)) return "open";
    std::string seed = full_time(t), iso;
    if (!xml_date_time(seed, iso) || iso.size() < 20) return seed;
    std::string date = iso.substr(0, 10), clock = iso.substr(11, iso.size() - 12);
    return clock == "00:00:00" ? date : date + " " + clock;
}

std::string relative_source(const Source &source, const std::string &root)
{
    std::string file = source.file;
    if (file.compare(0, root.size() + 1, root + "/") == 0) file = file.substr(root.size() + 1);
    return source.line > 0 ? file + ":" + std::to_string(source.line) : file;
}

std::string plural(std::size_t n, const std::string &one, const std::string &many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string utc_text(long long seconds)
{
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "";
    if (gmtime_r(&t, &parts)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    return text;
}

struct Tally {
    std::size_t errors = 0, warnings = 0;

    void add(const Finding &f) { (f.severity == Severity::error ? errors : warnings)++; }
    void add(const Tally &t)
    {
        errors += t.errors;
        warnings += t.warnings;
    }
    // "error", "warning" or "": the class of the worst.
    std::string worst() const { return errors ? "error" : warnings ? "warning" : ""; }
};

void badge(Writer &out, const Tally &t)
{
    if (t.errors == 0 && t.warnings == 0) {
        out.element("span", "ok", {{"class", "badge ok"}});
        return;
    }
    std::string text;
    if (t.errors) text = plural(t.errors, "error", "errors");
    if (t.warnings) text += (text.empty() ? "" : ", ") + plural(t.warnings, "warning", "warnings");
    out.element("span", text, {{"class", "badge " + t.worst()}});
}

const char *transfer_kind(char type)
{
    switch (type) {
    case 'A': return "Laplace, rad/s";
    case 'B': return "Laplace, Hz";
    case 'C': return "composite";
    case 'D': return "digital";
    default: return "unknown type";
    }
}

std::string filter_type(const Filter &f)
{
    std::string out;
    if (const auto *pz = std::get_if<PolesZeros>(&f.response))
        out = std::string("Poles and zeros (") + transfer_kind(pz->transfer_type) + ")";
    else if (const auto *c = std::get_if<Coefficients>(&f.response))
        out = std::string("Coefficients (") + transfer_kind(c->response_type) + ")";
    else if (const auto *fir = std::get_if<Fir>(&f.response))
        out = std::string("FIR (") +
              (fir->symmetry == 'B' ? "odd symmetry" : fir->symmetry == 'C' ? "even symmetry" : "no symmetry") + ")";
    else
        out = "Polynomial (Maclaurin)";
    if (f.lookup_key) out += ", dictionary key " + std::to_string(*f.lookup_key);
    return out;
}

// The filter's name and size: what tells two filters apart at a glance.
std::string filter_detail(const Filter &f)
{
    if (const auto *pz = std::get_if<PolesZeros>(&f.response))
        return plural(pz->zeros.size(), "zero", "zeros") + ", " + plural(pz->poles.size(), "pole", "poles") +
               "; A0 " + number_text(pz->normalization.value) + " at " + number_text(pz->frequency.value) + " Hz";
    if (const auto *c = std::get_if<Coefficients>(&f.response))
        return plural(c->numerators.size(), "numerator", "numerators") + ", " +
               plural(c->denominators.size(), "denominator", "denominators");
    if (const auto *fir = std::get_if<Fir>(&f.response)) {
        std::size_t taps = expanded_coefficients(*fir).size();
        std::string out = fir->name.text.empty() ? "" : fir->name.text + ": ";
        out += plural(taps, "tap", "taps");
        if (taps != fir->coefficients.size()) out += " (" + std::to_string(fir->coefficients.size()) + " stored)";
        return out;
    }
    const auto &p = std::get<Polynomial>(f.response);
    return (p.name.text.empty() ? "" : p.name.text + ": ") + plural(p.coefficients.size(), "coefficient", "coefficients");
}

struct Crumb {
    std::string label, page;  // page empty: this page
};

class Site {
public:
    Site(const Inventory &inventory, const std::vector<Finding> &findings, const std::string &dir,
         const SiteOptions &options)
        : inventory_(inventory), dir_(dir), options_(options), layout_(site_layout(inventory)),
          plots_(dir + "/.plots", PlotFormat::svg)
    {
        for (const Finding &f : findings) {
            by_epoch_[{f.codes, f.start}].push_back(&f);
            all_.add(f);
        }
        if (options_.title.empty()) options_.title = default_title();
    }

    SiteSummary write()
    {
        file("style.css", stylesheet());
        for (const SiteLayout::Station &s : layout_.stations) {
            std::string station_dir = dir_ + "/" + s.page.substr(0, s.page.rfind('/'));
            if (::mkdir(station_dir.c_str(), 0777) != 0)
                throw Error(Source{station_dir, 0}, std::string("cannot make the directory: ") + std::strerror(errno));
            station_page(s);
            for (const StationEpoch *e : s.epochs)
                for (const auto &c : e->channels)
                    if (written_.insert(c.get()).second) channel_page(*c, s);
        }
        index_page();
        plots_.finish();
        return summary_;
    }

private:
    std::string default_title() const
    {
        std::set<std::string> networks;
        for (const StationEpoch &s : inventory_.stations) networks.insert(s.id.network);
        std::string codes;
        for (const std::string &n : networks) codes += (codes.empty() ? "" : ", ") + n;
        if (networks.empty()) return "Header tree";
        return (networks.size() == 1 ? "Network " : "Networks ") + codes;
    }

    void file(const std::string &path, const std::string &text)
    {
        OutputFile out(dir_ + "/" + path, Sync::by_caller);
        out.write(text);
        out.commit();
    }

    const std::vector<const Finding *> &findings(const std::string &codes, const Time &start) const
    {
        static const std::vector<const Finding *> none;
        auto it = by_epoch_.find({codes, full_time(start)});
        return it == by_epoch_.end() ? none : it->second;
    }

    Tally tally(const std::vector<const Finding *> &list) const
    {
        Tally t;
        for (const Finding *f : list) t.add(*f);
        return t;
    }

    Tally channel_tally(const ChannelEpoch &c) const { return tally(findings(c.codes(), c.id.start)); }

    Tally station_tally(const StationEpoch &s) const
    {
        Tally t = tally(findings(s.codes(), s.id.start));
        for (const auto &c : s.channels) t.add(channel_tally(*c));
        return t;
    }

    std::string link(const std::string &from, const std::string &to) const { return html::relative_link(from, to); }

    // The page around body: head, header with breadcrumbs and heading, footer.
    void page(const std::string &path, const std::string &title, const std::vector<Crumb> &crumbs,
              const std::string &heading, const std::string &subtitle, const Writer &body)
    {
        Writer w;
        w.open("html", {{"xmlns", "http://www.w3.org/1999/xhtml"}, {"lang", "en"}});
        w.line();
        w.open("head");
        w.line();
        w.empty("meta", {{"charset", "utf-8"}});
        w.empty("meta", {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}});
        w.empty("meta", {{"name", "generator"}, {"content", options_.generator}});
        w.line();
        w.element("title", title);
        w.empty("link", {{"rel", "stylesheet"}, {"href", link(path, "style.css")}});
        w.line();
        w.close("head");
        w.line();
        w.open("body");
        w.line();
        w.open("header", {{"class", "top"}});
        w.open("div", {{"class", "wrap"}});
        w.open("nav", {{"class", "crumbs"}, {"aria-label", "Breadcrumbs"}});
        for (std::size_t i = 0; i < crumbs.size(); ++i) {
            if (i) w.element("span", "\u203a", {{"class", "sep"}});
            if (crumbs[i].page.empty())
                w.element("span", crumbs[i].label, {{"aria-current", "page"}});
            else
                w.element("a", crumbs[i].label, {{"href", link(path, crumbs[i].page)}});
        }
        w.close("nav");
        w.element("h1", heading);
        if (!subtitle.empty()) w.element("p", subtitle, {{"class", "subtitle"}});
        w.close("div");
        w.close("header");
        w.line();
        w.open("main", {{"class", "wrap"}});
        w.line();
        w.append(body);
        w.close("main");
        w.line();
        w.open("footer", {{"class", "wrap"}});
        w.text("Made by " + options_.generator + " from a header tree on " + utc_text(options_.created) +
               ". Checks of the whole tree: " + plural(all_.errors, "error", "errors") + ", " +
               plural(all_.warnings, "warning", "warnings") + ".");
        w.close("footer");
        w.line();
        w.close("body");
        w.line();
        w.close("html");
        w.line();
        file(path, "<!DOCTYPE html>\n" + w.str());
        ++summary_.pages;
    }

    static void open_card(Writer &w, const std::string &heading, const std::string &id = "")
    {
        Attributes a = {{"class", "card"}};
        if (!id.empty()) a.emplace_back("id", id);
        w.open("section", a);
        w.element("h2", heading);
    }
    static void close_card(Writer &w)
    {
        w.close("section");
        w.line();
    }

    // A table's head: each heading "text" or "#text" for a number column.
    static void table_head(Writer &w, std::initializer_list<const char *> headings)
    {
        w.open("div", {{"class", "scroll"}});
        w.open("table");
        w.open("thead");
        w.open("tr");
        for (const char *h : headings) {
            if (h[0] == '#')
                w.element("th", h + 1, {{"class", "num"}});
            else
                w.element("th", h);
        }
        w.close("tr");
        w.close("thead");
        w.open("tbody");
        w.line();
    }
    static void table_end(Writer &w)
    {
        w.close("tbody");
        w.close("table");
        w.close("div");
    }
    static void cell(Writer &w, const std::string &text, const char *kind = nullptr)
    {
        if (kind)
            w.element("td", text, {{"class", kind}});
        else
            w.element("td", text);
    }
    static void time_cell(Writer &w, const Time &t)
    {
        w.open("td", {{"class", "time"}});
        w.element("span", when(t), {{"title", t.open() ? "open" : full_time(t)}});
        w.close("td");
    }

    void findings_list(Writer &w, const std::vector<const Finding *> &list)
    {
        if (list.empty()) {
            w.open("p", {{"class", "quiet"}});
            w.element("span", "ok", {{"class", "badge ok"}});
            w.text(" Every check passed.");
            w.close("p");
            return;
        }
        w.open("ul", {{"class", "findings"}});
        for (const Finding *f : list) {
            std::string severity = severity_name(f->severity);
            w.open("li", {{"class", severity}});
            w.element("span", severity, {{"class", "badge " + severity}});
            w.text(" ");
            w.element("code", f->rule);
            w.text(" " + f->message + " ");
            w.element("span", relative_source(f->source, inventory_.root), {{"class", "where"}});
            w.close("li");
        }
        w.close("ul");
    }

    void files_card(Writer &w, const std::string &path, const ChannelEpoch *channel)
    {
        struct Entry {
            std::string label, target, note;
        };
        std::vector<Entry> entries;
        if (channel && !options_.resp.empty())
            entries.push_back({"RESP file", options_.resp + "/" + resp_file_name(*channel),
                               "every epoch of the channel, stage by stage"});
        if (!options_.stationxml.empty())
            entries.push_back({"FDSN StationXML", options_.stationxml, "the whole network"});
        if (!options_.volume.empty()) entries.push_back({"Dataless SEED", options_.volume, "the whole network"});
        if (entries.empty()) return;
        open_card(w, "Files");
        w.open("ul", {{"class", "files"}});
        for (const Entry &e : entries) {
            w.open("li");
            w.element("a", e.target.substr(e.target.rfind('/') + 1), {{"href", link(path, e.target)}});
            w.text(" \u2014 " + e.label + ", " + e.note);
            struct stat st{};
            if (::stat((dir_ + "/" + e.target).c_str(), &st) == 0)
                w.element("span", " (" + size_text(static_cast<long long>(st.st_size)) + ")", {{"class", "quiet"}});
            w.close("li");
        }
        w.close("ul");
        close_card(w);
    }

    static std::string size_text(long long bytes)
    {
        if (bytes < 1024) return plural(static_cast<std::size_t>(bytes), "byte", "bytes");
        char text[32];
        std::snprintf(text, sizeof text, bytes < 1024 * 1024 ? "%.1f KiB" : "%.1f MiB",
                      bytes < 1024 * 1024 ? bytes / 1024.0 : bytes / 1048576.0);
        return text;
    }

    std::string network_name(int key) const
    {
        const Abbreviation *a = inventory_.dictionary.abbreviation(key);
        return a ? a->description.text : "";
    }

    std::string unit_text(int key) const
    {
        const UnitEntry *u = inventory_.dictionary.unit(key);
        if (!u) return key == 0 ? "none" : "unit " + std::to_string(key);
        return u->description.text.empty() ? u->name.text : u->name.text + " (" + u->description.text + ")";
    }

    // ---- index.html

    void index_page()
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

    std::vector<const Finding *> findings_by_codes(const std::string &codes) const
    {
        std::vector<const Finding *> out;
        for (const auto &[key, list] : by_epoch_)
            if (key.first == codes) out.insert(out.end(), list.begin(), list.end());
        return out;
    }

    // ---- a station's page

    void station_page(const SiteLayout::Station &s)
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
                cell(w, response_units(*c, inventory_.dictionary), "code");
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

    // "BHZ", "00.LHZ"
    static std::string channel_label(const ChannelEpoch &c)
    {
        return c.id.location.empty() ? c.id.channel : c.id.location + "." + c.id.channel;
    }

    static void fact(Writer &w, const std::string &label, const std::string &value, std::optional<Tally> t = {})
    {
        w.open("div");
        w.element("dt", label);
        w.open("dd");
        if (t)
            badge(w, *t);
        else
            w.text(value.empty() ? "\u2014" : value);
        w.close("dd");
        w.close("div");
    }

    void comments(Writer &w, const std::vector<Comment> &list)
    {
        w.open("ul", {{"class", "comments"}});
        for (const Comment &c : list) {
            const auto &entries = inventory_.dictionary.comments;
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

    // ---- a channel epoch's page

    void channel_page(const ChannelEpoch &c, const SiteLayout::Station &s)
    {
        const std::string &path = layout_.page_of(&c);
        const Dictionary &d = inventory_.dictionary;
        Writer w;

        open_card(w, "Channel");
        w.open("dl", {{"class", "facts"}});
        const Abbreviation *instrument = d.abbreviation(c.id.instrument);
        fact(w, "Instrument", instrument ? instrument->description.text : "");
        fact(w, "Signal units", unit_text(c.id.signal_units));
        fact(w, "Calibration units", unit_text(c.id.calibration_units));
        fact(w, "Sample rate", number_text(c.id.sample_rate.value) + " samples/s");
        fact(w, "Clock drift", number_text(c.id.clock_drift.value) + " s/sample");
        fact(w, "Latitude, longitude",
             number_text(c.id.latitude.value) + "\u00b0, " + number_text(c.id.longitude.value) + "\u00b0");
        fact(w, "Elevation, depth",
             number_text(c.id.elevation.value) + " m, " + number_text(c.id.depth.value) + " m");
        fact(w, "Azimuth, dip", number_text(c.id.azimuth.value) + "\u00b0, " + number_text(c.id.dip.value) + "\u00b0");
        fact(w, "Sensitivity",
             c.sensitivity ? number_text(c.sensitivity->gain.value) + " " + response_units(c, d) + " at " +
                                 number_text(c.sensitivity->frequency.value) + " Hz"
                           : "");
        fact(w, "Flags", c.id.flags.text);
        auto format = d.formats.find(c.id.format);
        fact(w, "Data format", format == d.formats.end() ? "" : format->second.name.text);
        fact(w, "Remark", c.id.remark.text);
        fact(w, "Epoch", full_time(c.id.start) + " \u2013 " + (open_end(c.id.end) ? "open" : full_time(c.id.end)));
        fact(w, "Checks", "", channel_tally(c));
        w.close("dl");
        if (!c.comments.empty()) {
            w.element("h3", "Comments");
            comments(w, c.comments);
        }
        close_card(w);

        // Findings come first when there are any; else the badge above says so.
        const auto &own = findings(c.codes(), c.id.start);
        if (!own.empty()) {
            open_card(w, "Check findings");
            findings_list(w, own);
            close_card(w);
        }

        open_card(w, "Response");
        plot(w, c, path);
        w.element("h3", "Stages");
        stage_table(w, c);
        close_card(w);

        // Other epochs of the channel, for going back and forth in time.
        std::vector<const ChannelEpoch *> others;
        std::set<const ChannelEpoch *> seen;
        for (const StationEpoch *e : s.epochs)
            for (const auto &o : e->channels)
                if (o->codes() == c.codes() && seen.insert(o.get()).second) others.push_back(o.get());
        if (others.size() > 1) {
            open_card(w, "Epochs of " + c.codes());
            w.open("ul", {{"class", "epochs"}});
            for (const ChannelEpoch *o : others) {
                w.open("li");
                std::string label = when(o->id.start) + " \u2013 " + when(o->id.end);
                if (o == &c)
                    w.element("strong", label + " (this page)");
                else
                    w.element("a", label, {{"href", link(path, layout_.page_of(o))}});
                w.close("li");
            }
            w.close("ul");
            close_card(w);
        }
        files_card(w, path, &c);

        std::string epoch = when(c.id.start) + " \u2013 " + when(c.id.end);
        page(path, c.codes() + " " + full_time(c.id.start) + " \u2014 " + options_.title,
             {{options_.title, "index.html"}, {s.codes, s.page}, {channel_label(c) + " " + when(c.id.start), ""}},
             c.codes(), "Channel epoch " + epoch, w);
    }

    void plot(Writer &w, const ChannelEpoch &c, const std::string &path)
    {
        std::string reason;
        const double fmin = 0.001;
        double fmax = nyquist(c);
        if (!options_.plots)
            reason = "This site was made without plots.";
        else if (c.stages.empty())
            reason = "The channel has no response stages.";
        else if (!(fmax > fmin * 10))
            reason = "The channel's sample rate of " + number_text(c.id.sample_rate.value) +
                     " samples/s leaves no frequency range to plot.";
        if (reason.empty()) {
            std::string image = path.substr(0, path.size() - 5) + ".svg";
            try {
                PlotCurve curve = channel_curve(c, inventory_.dictionary, log_frequencies(fmin, fmax, 300), &responses_);
                plots_.add({curve},
                           "Response of " + c.codes() + " from " + full_time(c.id.start) + " to " +
                               (open_end(c.id.end) ? "open" : full_time(c.id.end)),
                           dir_ + "/" + image);
                ++summary_.plots;
                w.open("figure", {{"class", "plot"}});
                w.empty("img", {{"src", link(path, image)},
                                {"alt", "Bode plot of " + c.codes() + ": amplitude and phase from " +
                                            number_text(fmin) + " Hz to " + number_text(fmax) + " Hz"},
                                {"width", "1100"},
                                {"height", "850"}});
                w.element("figcaption",
                          "Amplitude (" + response_units(c, inventory_.dictionary) +
                              ") and phase from " + number_text(fmin) + " Hz to the Nyquist frequency " +
                              number_text(fmax) +
                              " Hz; the ring marks the stage-0 sensitivity. Digital stages are evaluated causal, "
                              "with each FIR's whole delay in the phase.");
                w.close("figure");
                return;
            } catch (const ResponseError &e) {
                reason = "The response cannot be evaluated: " + e.message() +
                         (e.source().file.empty() ? "" : " [" + relative_source(e.source(), inventory_.root) + "]");
            }
        }
        ++summary_.unplotted;
        w.element("p", "No plot. " + reason, {{"class", "quiet noplot"}});
    }

    void stage_table(Writer &w, const ChannelEpoch &c)
    {
        const Dictionary &d = inventory_.dictionary;
        table_head(w, {"#Stage", "Type", "Units in \u2192 out", "#Gain", "#at (Hz)", "#Input rate", "#Factor",
                       "#Output rate", "#Delay (s)", "Filter"});
        for (const Stage &s : c.stages) {
            w.open("tr");
            cell(w, std::to_string(s.number), "num");
            std::string type, detail;
            for (const Filter &f : s.filters) {
                type += (type.empty() ? "" : "; ") + filter_type(f);
                detail += (detail.empty() ? "" : "; ") + filter_detail(f);
            }
            cell(w, type.empty() ? "gain only" : type);
            cell(w, s.filters.empty() ? "\u2014"
                                      : unit_name(d, input_units(s.filters.front())) + " \u2192 " +
                                            unit_name(d, output_units(s.filters.back())),
                 "code");
            cell(w, s.sensitivity ? number_text(s.sensitivity->gain.value) : "\u2014", "num");
            cell(w, s.sensitivity ? number_text(s.sensitivity->frequency.value) : "\u2014", "num");
            if (s.decimation) {
                const Decimation &m = *s.decimation;
                cell(w, number_text(m.input_rate.value), "num");
                cell(w, std::to_string(m.factor), "num");
                cell(w, m.factor > 0 ? number_text(m.input_rate.value / m.factor) : "\u2014", "num");
                cell(w, number_text(m.delay.value) + " / " + number_text(m.correction.value), "num");
            } else {
                for (int i = 0; i < 4; ++i) cell(w, "\u2014", "num");
            }
            cell(w, detail.empty() ? "\u2014" : detail);
            w.close("tr");
            w.line();
        }
        if (c.sensitivity) {
            w.open("tr", {{"class", "total"}});
            cell(w, "0", "num");
            cell(w, "Sensitivity of the channel");
            cell(w, response_units(c, d), "code");
            cell(w, number_text(c.sensitivity->gain.value), "num");
            cell(w, number_text(c.sensitivity->frequency.value), "num");
            for (int i = 0; i < 5; ++i) cell(w, "");
            w.close("tr");
            w.line();
        }
        table_end(w);
        if (c.stages.empty()) w.element("p", "The channel has no response stages.", {{"class", "quiet"}});
        else
            w.element("p", "Delay (s): the estimated delay and the correction applied, of each decimation.",
                      {{"class", "quiet"}});
    }

    static std::string stylesheet();

    const Inventory &inventory_;
    std::string dir_;
    SiteOptions options_;
    SiteLayout layout_;
    std::map<std::pair<std::string, std::string>, std::vector<const Finding *>> by_epoch_;
    Tally all_;
    std::set<const ChannelEpoch *> written_;
    PlotBatch plots_;  // every plot of the site, drawn by one gnuplot
    ResponseMemo responses_;  // stage responses shared by the plots
    SiteSummary summary_;
};

}  // namespace

SiteLayout site_layout(const Inventory &inventory)
{
    SiteLayout layout;
    // Names the site keeps for itself at its root.
    std::set<std::string> used = {"index.html", "style.css", "resp", "stations.xml", "dataless.seed"};
    std::map<std::string, std::set<std::string>> used_in;  // per station directory
    for (const StationEpoch &s : inventory.stations) {
        if (layout.stations.empty() || layout.stations.back().codes != s.codes()) {
            std::string directory = unique_name(html::file_name(s.codes()), used);
            layout.stations.push_back({s.codes(), directory + "/index.html", {}});
            used_in[directory] = {"index.html"};
        }
        SiteLayout::Station &station = layout.stations.back();
        station.epochs.push_back(&s);
        std::string directory = station.page.substr(0, station.page.rfind('/'));
        for (const auto &c : s.channels) {
            if (layout.channels.count(c.get())) continue;
            std::string base = html::file_name(c->id.channel + "." + c->id.location + "_" + start_tag(c->id.start));
            // The page and its plot share the name: one is reserved for both.
            std::string name = unique_name(base, used_in[directory]);
            layout.channels.emplace(c.get(), directory + "/" + name + ".html");
        }
    }
    return layout;
}

SiteSummary write_site(const Inventory &inventory, const std::vector<Finding> &findings, const std::string &dir,
                       const SiteOptions &options)
{
    return Site(inventory, findings, dir, options).write();
}

namespace {

std::string Site::stylesheet()
{
    return R"(/* The network site of seedtree: system fonts, no downloads. */
:root {
  --ink: #1d2733; --muted: #5d6b7b; --line: #dde3ea; --band: #f5f7f9; --page: #eef2f6;
  --accent: #1d5fa0; --head: #163250;
  --error: #b42318; --error-bg: #fdeceb; --warning: #8a5300; --warning-bg: #fff3d6;
  --ok: #1d7a3a; --ok-bg: #e5f4ea;
}
* { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; }
body {
  margin: 0; background: var(--page); color: var(--ink);
  font: 15px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "Noto Sans", "DejaVu Sans", sans-serif;
}
a { color: var(--accent); text-decoration: none; }
a:hover { text-decoration: underline; }
.wrap { max-width: 1240px; margin: 0 auto; padding-left: 24px; padding-right: 24px; }
header.top { background: var(--head); color: #fff; padding: 14px 0 20px; margin-bottom: 22px; }
header.top .wrap { padding-top: 0; }
.crumbs { font-size: 13px; color: #b8c9dc; }
.crumbs a { color: #d7e6f6; }
.crumbs .sep { margin: 0 8px; color: #7f9ab6; }
h1 { margin: 6px 0 2px; font-size: 28px; font-weight: 650; letter-spacing: -0.01em; }
.subtitle { margin: 0; color: #c4d3e3; }
h2 { margin: 0 0 12px; font-size: 18px; font-weight: 650; }
h3 { margin: 18px 0 8px; font-size: 13px; font-weight: 650; color: var(--muted);
     text-transform: uppercase; letter-spacing: 0.04em; }
section.card {
  background: #fff; border: 1px solid var(--line); border-radius: 10px;
  padding: 18px 22px; margin: 0 0 20px; box-shadow: 0 1px 2px rgba(16, 32, 48, 0.05);
}
.scroll { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; font-size: 14px; }
th, td { padding: 7px 10px; text-align: left; vertical-align: top; border-bottom: 1px solid var(--line); }
thead th {
  background: var(--band); color: var(--muted); font-size: 12px; font-weight: 650;
  text-transform: uppercase; letter-spacing: 0.03em; white-space: nowrap; border-bottom: 2px solid var(--line);
}
tbody tr:nth-child(even) { background: #f9fafc; }
tbody tr:hover { background: #edf4fb; }
tr.total td { font-weight: 650; border-top: 2px solid var(--line); }
.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
.time { white-space: nowrap; font-variant-numeric: tabular-nums; }
.code, code { font-family: ui-monospace, "SF Mono", "DejaVu Sans Mono", Menlo, monospace; font-size: 13px; }
td.code { white-space: nowrap; }
.badge {
  display: inline-block; padding: 1px 9px; border-radius: 999px; font-size: 12px; font-weight: 650;
  white-space: nowrap; border: 1px solid transparent;
}
.badge.ok { color: var(--ok); background: var(--ok-bg); border-color: #b9e0c5; }
.badge.warning { color: var(--warning); background: var(--warning-bg); border-color: #f1d48f; }
.badge.error { color: var(--error); background: var(--error-bg); border-color: #f4b9b4; }
.quiet { color: var(--muted); }
ul.findings { list-style: none; margin: 0; padding: 0; }
ul.findings li { padding: 8px 12px; margin: 0 0 6px; border-left: 4px solid var(--line); background: var(--band);
                 border-radius: 4px; }
ul.findings li.error { border-left-color: var(--error); background: var(--error-bg); }
ul.findings li.warning { border-left-color: #d99a00; background: var(--warning-bg); }
ul.findings .where { color: var(--muted); font-size: 12px; font-family: ui-monospace, "DejaVu Sans Mono", monospace; }
ul.comments, ul.files, ul.epochs { margin: 0; padding-left: 20px; }
dl.facts { display: grid; grid-template-columns: repeat(auto-fill, minmax(190px, 1fr)); gap: 10px 26px; margin: 0; }
dl.facts dt { font-size: 12px; color: var(--muted); text-transform: uppercase; letter-spacing: 0.03em; }
dl.facts dd { margin: 0; font-weight: 500; overflow-wrap: anywhere; }
figure { margin: 0; }
figcaption { margin-top: 8px; font-size: 13px; color: var(--muted); }
svg.map { display: block; width: 100%; height: auto; max-height: 560px; }
svg.map .sea { fill: #f2f6fa; }
svg.map .frame { fill: none; stroke: #9fb0c2; stroke-width: 1; }
svg.map .graticule line { stroke: #d3dde8; stroke-width: 1; }
svg.map .graticule text, svg.map .scale text { font-size: 11px; fill: #6a7888; }
svg.map .scale path { fill: none; stroke: #4a5a6b; stroke-width: 1.5; }
svg.map .station circle { fill: var(--accent); stroke: #fff; stroke-width: 2; }
svg.map .station.warning circle { fill: #d99a00; }
svg.map .station.error circle { fill: var(--error); }
svg.map .station text {
  font-size: 13px; font-weight: 650; fill: var(--ink);
  paint-order: stroke; stroke: #fff; stroke-width: 3px; stroke-linejoin: round;
}
svg.map a:hover text { fill: var(--accent); }
figure.plot img { display: block; width: 100%; max-width: 960px; height: auto; margin: 0 auto;
                  border: 1px solid var(--line); border-radius: 6px; }
footer { color: var(--muted); font-size: 13px; padding-top: 4px; padding-bottom: 36px; }
@media (max-width: 700px) {
  .wrap { padding-left: 12px; padding-right: 12px; }
  section.card { padding: 14px; }
  h1 { font-size: 22px; }
}
)";
}

}  // namespace

}  // namespace seed
