// The pages of a network site: the Site class that writes them and the
// text helpers they share. Internal to the site; its API is site.hpp.
#pragma once

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

#include "seed/reader/epochs.hpp"
#include "seed/files/output_file.hpp"
#include "seed/analysis/plot.hpp"
#include "seed/writers/resp.hpp"
#include "seed/analysis/response.hpp"
#include "seed/site/site_html.hpp"
#include "seed/site/site_map.hpp"
#include "seed/writers/stationxml.hpp"
#include "seed/site/site.hpp"

namespace seed::site_pages {

using html::Attributes;
using html::Writer;

// text in lower case (ASCII).
std::string lower(std::string text);

// A name not yet in used (compared without case, for file systems that
// ignore it): base, else base-2, base-3, ...
std::string unique_name(const std::string &base, std::set<std::string> &used);

// "2003,182,00:00:00" -> "2003-182"; the time of day and fraction only
// when there are any, so that names stay short and stay apart.
std::string start_tag(const Time &start);

// Numbers as people read them: plain between 0.0001 and ten million,
// else in exponent form; the shortest digits that give the value back.
std::string number_text(double value);

// "2003-07-01", "2003-06-30 23:59:59", or "open".
std::string when(const Time &t);

// "HILL.XY/B050:1": a finding's place, relative to the tree's root.
std::string relative_source(const Source &source, const std::string &root);

// "1 error", "3 errors".
std::string plural(std::size_t n, const std::string &one, const std::string &many);

// The findings of a page or a row, by severity.
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

// "2023-11-14 22:13 UTC".
std::string utc_text(long long seconds);

// "ok", or the counts of errors and warnings, as a coloured badge.
void badge(Writer &out, const Tally &t);

// "Poles and zeros (Laplace, rad/s)", "FIR (odd symmetry), dictionary key 3".
std::string filter_type(const Filter &f);

// The filter's name and size: what tells two filters apart at a glance.
std::string filter_detail(const Filter &f);

// One step of a page's breadcrumbs.
struct Crumb {
    std::string label, page;  // page empty: this page
};

// Writes every page of one site, and its stylesheet: station directory by
// station directory, the first page last, from what each directory left
// of itself (IndexEpoch, the map's points), so that memory follows the
// largest station.
class Site {
public:
    Site(const Dictionary &dictionary, const std::string &root, const SiteCensus &census, const std::string &dir,
         const SiteOptions &options)
        : dictionary_(dictionary), root_(root), dir_(dir), options_(options),
          plots_(dir + "/.plots", PlotFormat::svg)
    {
        all_.errors = census.errors;
        all_.warnings = census.warnings;
        for (const Finding &f : census.dictionary) dictionary_findings_.push_back(f);
        if (options_.title.empty()) options_.title = default_title(census.networks);
        file("style.css", stylesheet());
    }

    // The pages and plots of one station directory's epochs.
    void station_directory(const std::vector<StationEpoch> &epochs, const std::vector<Finding> &findings)
    {
        by_epoch_.clear();
        for (const Finding &f : findings) by_epoch_[{f.codes, f.start}].push_back(&f);
        layout_.forget_pages();
        for (const StationEpoch &e : epochs) layout_.add(e);
        for (const SiteLayout::Station &s : layout_.stations) {
            std::string station_dir = dir_ + "/" + s.page.substr(0, s.page.rfind('/'));
            if (::mkdir(station_dir.c_str(), 0777) != 0)
                throw Error(Source{station_dir, 0}, std::string("cannot make the directory: ") + std::strerror(errno));
            station_page(s);
            std::set<const ChannelEpoch *> written;
            for (const StationEpoch *e : s.epochs)
                for (const auto &c : e->channels)
                    if (written.insert(c.get()).second) channel_page(*c, s);
            remember(s);
        }
    }

    // The first page, then every plot.
    SiteSummary finish()
    {
        index_page();
        plots_.finish();
        return summary_;
    }

private:
    // A station epoch as the first page lists it.
    struct IndexEpoch {
        std::string network, station, codes, site, page;
        int network_id = 0;
        double latitude = 0, longitude = 0, elevation = 0;
        Time start, end;
        std::size_t channels = 0;      // location.channel codes under the epoch
        std::size_t new_epochs = 0;    // channel epochs listed under no earlier station epoch
        Tally tally;
    };

    static std::string default_title(const std::set<std::string> &networks)
    {
        std::string codes;
        for (const std::string &n : networks) codes += (codes.empty() ? "" : ", ") + n;
        if (networks.empty()) return "Header tree";
        return (networks.size() == 1 ? "Network " : "Networks ") + codes;
    }

    // What the first page needs of a station, kept when its epochs go.
    void remember(const SiteLayout::Station &s)
    {
        std::set<const ChannelEpoch *> seen;
        Tally worst;
        for (const StationEpoch *e : s.epochs) {
            IndexEpoch x{e->id.network, e->id.station, s.codes, e->id.site.text, s.page, e->id.network_id,
                         e->id.latitude.value, e->id.longitude.value, e->id.elevation.value, e->id.start, e->id.end,
                         0, 0, station_tally(*e)};
            std::set<std::string> channels;
            for (const auto &c : e->channels) {
                channels.insert(c->id.location + "." + c->id.channel);
                if (seen.insert(c.get()).second) ++x.new_epochs;
                channel_codes_.insert(c->codes());
            }
            x.channels = channels.size();
            worst.add(x.tally);
            index_.push_back(std::move(x));
        }
        channel_epochs_ += layout_.channels.size();
        const StationEpoch &latest = *s.epochs.back();
        points_.push_back({latest.id.latitude.value, latest.id.longitude.value, s.codes,
                           s.codes + " \u2014 " + latest.id.site.text, link("index.html", s.page), worst.worst()});
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
            w.element("span", relative_source(f->source, root_), {{"class", "where"}});
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
        const Abbreviation *a = dictionary_.abbreviation(key);
        return a ? a->description.text : "";
    }

    std::string unit_text(int key) const
    {
        const UnitEntry *u = dictionary_.unit(key);
        if (!u) return key == 0 ? "none" : "unit " + std::to_string(key);
        return u->description.text.empty() ? u->name.text : u->name.text + " (" + u->description.text + ")";
    }

    // The pages (site_index.cpp, site_station.cpp, site_channel.cpp).
    void index_page();
    void station_page(const SiteLayout::Station &s);
    void comments(Writer &w, const std::vector<Comment> &list);
    void channel_page(const ChannelEpoch &c, const SiteLayout::Station &s);
    void plot(Writer &w, const ChannelEpoch &c, const std::string &path);
    void stage_table(Writer &w, const ChannelEpoch &c);

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

    // The frequencies of a plot from fmin to fmax (log_frequencies'), made
    // once for the many channels that share a sample rate.
    const std::vector<double> &frequencies(double fmin, double fmax)
    {
        auto key = std::make_pair(fmin, fmax);
        auto it = frequencies_.find(key);
        if (it != frequencies_.end()) return it->second;
        if (frequencies_.size() >= 64) frequencies_.clear();
        return frequencies_.emplace(key, log_frequencies(fmin, fmax, 300)).first->second;
    }

    // site_style.css, compiled in (site_style.cpp.in).
    static std::string stylesheet();

    const Dictionary &dictionary_;
    std::string root_;  // of the tree, for the places findings name
    std::string dir_;
    SiteOptions options_;
    SiteLayout layout_;  // of the station directory being written
    std::vector<Finding> dictionary_findings_;  // the first page's
    // The findings of the station directory being written, by epoch.
    std::map<std::pair<std::string, std::string>, std::vector<const Finding *>> by_epoch_;
    Tally all_;
    std::vector<IndexEpoch> index_;  // every station epoch, in tree order
    std::vector<MapStation> points_;  // every station, at its latest epoch
    std::set<std::string> channel_codes_;
    std::size_t channel_epochs_ = 0;
    PlotBatch plots_;  // every plot of the site, drawn by one gnuplot
    ResponseMemo responses_;  // stage responses shared by the plots
    std::map<std::pair<double, double>, std::vector<double>> frequencies_;  // of the plots, by range
    SiteSummary summary_;
};

}  // namespace seed::site_pages
