#include "seed/site/site.hpp"

#include <map>
#include <set>

#include "seed/site/site_html.hpp"
#include "seed/site/site_pages.hpp"

namespace seed {

using site_pages::Site;
using site_pages::start_tag;
using site_pages::unique_name;

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

}  // namespace seed
