// A static web site of a header tree: what an operator shows of a network
// without blockettes. index.html has the networks, a map and a table of
// station epochs; each station has a page of its epochs, comments and
// channel epochs; each channel epoch a page of its stages, its Bode plot
// and its check findings. Pages link to each other and to the files
// written alongside by relative links only, and need nothing but the one
// stylesheet: the folder can be moved or served from anywhere.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "seed/analysis/check.hpp"
#include "seed/reader/inventory.hpp"

namespace seed {

struct SiteOptions {
    std::string title;      // of every page; empty: "Network XY" (or the codes of several)
    std::string generator;  // "seedtree 1.0.0", in the footer and <meta name="generator">
    long long created = 0;  // seconds since 1970, in the footer
    bool plots = true;      // a Bode plot per channel epoch, drawn by gnuplot
    // Files already in the site's directory, linked from the pages; empty: none.
    std::string stationxml;  // "stations.xml"
    std::string volume;      // "dataless.seed"
    std::string resp;        // directory of the RESP files, named as resp_file_name() names them
};

struct SiteSummary {
    std::size_t pages = 0;  // HTML pages
    std::size_t plots = 0;  // SVG plots
    std::size_t unplotted = 0;  // channel epochs whose response cannot be drawn (the page says why)
};

// What a site needs of the whole tree before its first page: how many
// check findings there are (every page's footer counts them), the
// dictionary's findings (the first page lists them) and the network codes
// (the default title). The findings of each station directory are taken
// again as its pages are written.
struct SiteCensus {
    std::vector<Finding> dictionary;  // check_dictionary's
    std::size_t errors = 0, warnings = 0;  // of the dictionary and every station directory
    std::set<std::string> networks;

    // Counts findings (check_dictionary's, or a check_station_directory's).
    void count(const std::vector<Finding> &findings)
    {
        for (const Finding &f : findings) (f.severity == Severity::error ? errors : warnings)++;
    }
};

namespace site_pages {
class Site;
}

// Writes the site into dir, an existing directory: style.css, one
// directory per station with its index.html, and per channel epoch a page
// and its plot, station directory by station directory (the epochs of one
// at a time, as read_station_directory gives them, in read_tree's order),
// then index.html. Memory follows the largest station. root: the tree's,
// for the places findings name. Error when a file cannot be written or
// gnuplot cannot draw. Files are written with Sync::by_caller: the caller
// syncs before it shows the site.
class SiteWriter {
public:
    SiteWriter(const Dictionary &dictionary, const std::string &root, const SiteCensus &census,
               const std::string &dir, const SiteOptions &options);
    ~SiteWriter();
    SiteWriter(const SiteWriter &) = delete;
    SiteWriter &operator=(const SiteWriter &) = delete;

    // findings: check_station_directory's of these epochs.
    void station_directory(const std::vector<StationEpoch> &epochs, const std::vector<Finding> &findings);
    SiteSummary finish();

private:
    std::unique_ptr<site_pages::Site> site_;
};

// The site's paths (relative to its root), for writers and tests:
// "HILL.XY/index.html", "HILL.XY/BHZ._2003-182.html". Names come from
// html::file_name, so no code makes a path outside the site; two codes
// that would give one name get "-2", "-3", ... in inventory order.
struct SiteLayout {
    struct Station {
        std::string codes;  // STA.NET
        std::string page;
        std::vector<const StationEpoch *> epochs;  // in tree order
    };
    std::vector<Station> stations;  // in inventory order
    std::map<const ChannelEpoch *, std::string> channels;  // the page of each channel epoch

    // Lays out the next station epoch, in inventory order.
    void add(const StationEpoch &epoch);
    // Forgets the stations laid out so far, but not the names they took:
    // the next are laid out beside them.
    void forget_pages();

    // The page of a channel epoch; its plot is the page's name with ".svg".
    const std::string &page_of(const ChannelEpoch *epoch) const { return channels.at(epoch); }

private:
    // Names taken at the site's root, and in each station directory.
    std::set<std::string> used_ = {"index.html", "style.css", "resp", "stations.xml", "dataless.seed"};
    std::map<std::string, std::set<std::string>> used_in_;
};

SiteLayout site_layout(const Inventory &inventory);

}  // namespace seed
