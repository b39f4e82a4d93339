#include "seed/site/site.hpp"

#include <map>
#include <set>

#include "seed/site/site_html.hpp"
#include "seed/site/site_pages.hpp"

namespace seed {

using site_pages::Site;
using site_pages::start_tag;
using site_pages::unique_name;

void SiteLayout::add(const StationEpoch &s)
{
    if (stations.empty() || stations.back().codes != s.codes()) {
        std::string directory = unique_name(html::file_name(s.codes()), used_);
        stations.push_back({s.codes(), directory + "/index.html", {}});
        used_in_[directory] = {"index.html"};
    }
    Station &station = stations.back();
    station.epochs.push_back(&s);
    std::string directory = station.page.substr(0, station.page.rfind('/'));
    for (const auto &c : s.channels) {
        if (channels.count(c.get())) continue;
        std::string base = html::file_name(c->id.channel + "." + c->id.location + "_" + start_tag(c->id.start));
        // The page and its plot share the name: one is reserved for both.
        std::string name = unique_name(base, used_in_[directory]);
        channels.emplace(c.get(), directory + "/" + name + ".html");
    }
}

void SiteLayout::forget_pages()
{
    stations.clear();
    channels.clear();
    used_in_.clear();
}

SiteLayout site_layout(const Inventory &inventory)
{
    SiteLayout layout;
    for (const StationEpoch &s : inventory.stations) layout.add(s);
    return layout;
}

SiteWriter::SiteWriter(const Dictionary &dictionary, const std::string &root, const SiteCensus &census,
                       const std::string &dir, const SiteOptions &options)
    : site_(std::make_unique<Site>(dictionary, root, census, dir, options))
{
}

SiteWriter::~SiteWriter() = default;

void SiteWriter::station_directory(const std::vector<StationEpoch> &epochs, const std::vector<Finding> &findings)
{
    site_->station_directory(epochs, findings);
}

SiteSummary SiteWriter::finish() { return site_->finish(); }

}  // namespace seed
