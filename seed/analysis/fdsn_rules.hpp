// The rules of the StationXML validator that data centres run on every
// submission (rules numbered 101 to 425, published with the FDSN's
// validator), as check rules "fdsn-NNN" with the validator's severity: the
// ones a header tree can break, judged on what `seedtree stationxml` and
// `seedtree volume` write of it. The rule table in docs/seedtree-check.md
// says which rules cannot apply to a tree and why.
//
// Channels that the validator exempts are exempt here too: state-of-health
// channel codes and channels flagged H, F or M (HEALTH, FLAG, MAINTENANCE)
// from the station and response rules, channels with a polynomial
// (InstrumentPolynomial) from the sensitivity, gain and decimation rules.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "seed/analysis/check.hpp"

namespace seed {

// The validator's rules, by number.
const std::vector<CheckRule> &fdsn_rules();

// Adds the findings of the validator's rules to findings as the checker
// walks the inventory: each station epoch, each channel epoch under it,
// and each channel epoch once.
class FdsnRules {
public:
    // stations: the epochs walked, by network, station and start (all of
    // an inventory's, or one station directory's).
    FdsnRules(const Dictionary &dictionary, const std::vector<StationEpoch> &stations, std::vector<Finding> &findings)
        : dictionary_(dictionary), stations_(stations), findings_(findings)
    {
    }

    // s: an epoch of stations.
    void station(const StationEpoch &s);
    void channel_in_station(const StationEpoch &s, const ChannelEpoch &c);
    void channel(const ChannelEpoch &c);

private:
    void add(Severity severity, const char *rule, const ChannelEpoch &c, std::string message, const Source &source);
    void units(const ChannelEpoch &c);
    void response(const ChannelEpoch &c);
    void gains(const ChannelEpoch &c);
    void decimations(const ChannelEpoch &c);
    std::string unit(int key) const;

    const Dictionary &dictionary_;
    const std::vector<StationEpoch> &stations_;
    std::vector<Finding> &findings_;
    std::set<std::pair<const ChannelEpoch *, const ChannelEpoch *>> overlaps_;
};

}  // namespace seed
