// What one connection's runs may share when many of them run in one read
// transaction (an export): sets read by their key that no run changes, kept
// only where what a run gets from them cannot depend on what the run held
// before (a NULL or a missing row that keeps an earlier value is never
// kept). Quorvex runs without one.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace quorvex {

struct RunCache {
    // The numerators of a coefficient set, by its key and count, and the
    // last value read (what the host variable holds afterwards).
    struct Numerators {
        std::vector<double> values;
        float last = 0;
    };
    std::map<std::pair<std::int32_t, std::int32_t>, Numerators> numerators;
};

}  // namespace quorvex
