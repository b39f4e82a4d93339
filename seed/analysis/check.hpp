// Checks of a tree's responses and epochs: what data centres refuse
// (gains that do not multiply to the sensitivity, units or rates that do
// not chain, FIRs without unit gain, ...), and the rules of their
// StationXML validator (fdsn_rules.hpp), as findings that a command
// prints and other writers (a site of the network) can show.
//
// Each rule has a short stable id (check_rules()); a finding names its
// rule, the epoch it is about and the line at fault.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "seed/reader/inventory.hpp"

namespace seed {

enum class Severity { error, warning };

const char *severity_name(Severity severity);  // "error", "warning"

struct Finding {
    Severity severity = Severity::error;
    std::string rule;     // the rule's id: "gain-product"
    std::string codes;    // STA.NET.LOC.CHA of a channel epoch, STA.NET of a station epoch, or "H.A"
    std::string start;    // the epoch's start, YYYY,DDD,HH:MM:SS; empty for H.A
    std::string message;
    Source source;        // the line at fault
};

struct CheckRule {
    const char *id;
    Severity severity;  // the worst it reports
    const char *description;
};

// Every rule, in the order their findings come for one epoch.
const std::vector<CheckRule> &check_rules();

// Findings of the whole inventory: the dictionary's first, then by
// station epoch and, under each, by channel epoch (a channel epoch listed
// under two station epochs is checked once, its place in each).
// Each is handed the findings as soon as their station epoch is checked, so
// that none needs to be kept.
void check_inventory(const Inventory &inventory, const std::function<void(const Finding &)> &each);

// The same findings for a tree read one station directory at a time: the
// dictionary's, then each directory's (read_station_directory's epochs),
// in the order read_tree gives them, are check_inventory's.
std::vector<Finding> check_dictionary(const Dictionary &dictionary);
std::vector<Finding> check_station_directory(const Dictionary &dictionary, const std::vector<StationEpoch> &stations);

// "error gain-product HILL.XY..BHZ 2003,182,00:00:00: message [HILL.XY/BHZ./B052:7]",
// the file named relative to root.
std::string format_finding(const Finding &finding, const std::string &root);

// Tolerances of the rules (relative).
constexpr double sensitivity_error_tolerance = 0.01;
constexpr double sensitivity_warning_tolerance = 0.001;
constexpr double gain_product_tolerance = 0.01;
constexpr double fir_unity_tolerance = 0.02;
constexpr double normalization_tolerance = 0.02;
constexpr double rate_tolerance = 1e-4;

}  // namespace seed
