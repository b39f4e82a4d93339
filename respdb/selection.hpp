// What a request of respdb selects: networks, stations, locations and
// channels by code patterns, and a time window. The same selection serves
// `respdb export` and the station web service.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace respdb {

// A comma list of code patterns: letters and digits, "?" for one
// character, "*" for any run; "--" stands for a blank location. Codes
// compare without case. An empty list (or "*") matches every code.
class CodePatterns {
public:
    CodePatterns() = default;

    // The patterns of text; nullopt when one holds anything but letters,
    // digits, "?" and "*" (and "--" for locations), or is longer than
    // width characters.
    static std::optional<CodePatterns> parse(std::string_view text, std::size_t width, bool location);

    // code: as the database holds it, trailing blanks removed ("" for a
    // blank location).
    bool matches(std::string_view code) const;
    bool any() const { return patterns_.empty(); }
    const std::vector<std::string> &patterns() const { return patterns_; }

private:
    std::vector<std::string> patterns_;  // upper case; "" a blank location
};

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS[.ffffff][Z]" or the SEED time
// "YYYY,DDD[,HH:MM:SS]" as a database date ("YYYY/MM/DD HH:MM:SS", a
// fraction of a second dropped); nullopt when it is none of these.
std::optional<std::string> database_time(std::string_view text);

struct Selection {
    CodePatterns networks, stations, locations, channels;
    // The window, as database dates; nullopt: open on that side.
    std::optional<std::string> start, end;

    bool station_matches(std::string_view network, std::string_view station) const;
    bool channel_matches(std::string_view location, std::string_view channel) const;
    // An epoch [on, off] (database dates, both ends held) overlaps the window.
    bool overlaps(std::string_view on, std::string_view off) const;
};

}  // namespace respdb
