#include "seed/reader/epochs.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "common/time/calendar.hpp"

namespace seed {

namespace {

std::string upper(std::string text)
{
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}


}  // namespace

std::vector<const ChannelEpoch *> channel_epochs(const Inventory &inventory) { return channel_epochs(inventory.stations); }

std::vector<const ChannelEpoch *> channel_epochs(const std::vector<StationEpoch> &stations)
{
    std::vector<const ChannelEpoch *> out;
    std::set<const ChannelEpoch *> seen;
    for (const StationEpoch &s : stations)
        for (const auto &c : s.channels)
            if (seen.insert(c.get()).second) out.push_back(c.get());
    return out;
}

bool valid_code_part(std::string_view part, std::size_t min, std::size_t max, bool dots)
{
    if (part.size() < min || part.size() > max) return false;
    if (!part.empty() && (part.front() == ' ' || part.back() == ' ')) return false;
    for (char c : part)
        if (c < 0x20 || c > 0x7e || c == '~' || c == '/' || (c == '.' && !dots)) return false;
    return true;
}

bool valid_channel_code(const std::string &code)
{
    // Station and network hold no dot (a station directory has one), nor
    // does the channel (its directory's name is CHAN.LOC): a location may.
    std::size_t first = code.find('.'), second = code.find('.', first + 1), last = code.rfind('.');
    if (first == std::string::npos || second == std::string::npos || last <= second) return false;
    std::string_view c = code;
    return valid_code_part(c.substr(0, first), 1, 5, false) &&
           valid_code_part(c.substr(first + 1, second - first - 1), 1, 2, false) &&
           valid_code_part(c.substr(second + 1, last - second - 1), 0, 2, true) &&
           valid_code_part(c.substr(last + 1), 1, 3, false);
}

std::string station_of_channel_code(const std::string &code)
{
    std::size_t first = code.find('.');
    return code.substr(0, code.find('.', first + 1));
}

std::vector<const ChannelEpoch *> select_channels(const Inventory &inventory, const std::vector<std::string> &codes)
{
    std::vector<const ChannelEpoch *> all = channel_epochs(inventory);
    if (codes.empty()) return all;
    std::set<std::string> wanted;
    for (const std::string &c : codes) wanted.insert(upper(c));
    std::vector<const ChannelEpoch *> out;
    std::set<std::string> found;
    for (const ChannelEpoch *c : all)
        if (wanted.count(upper(c->codes()))) {
            out.push_back(c);
            found.insert(upper(c->codes()));
        }
    for (const std::string &w : wanted)
        if (!found.count(w)) throw Error(Source{inventory.root, 0}, "no channel " + w + " in the tree");
    return out;
}

NestedDates nested_dates(const StationId &station, const ChannelId &channel)
{
    return {station.start.value > channel.start.value ? &station.start : &channel.start,
            station.end.value < channel.end.value ? &station.end : &channel.end};
}

std::string epoch_order_problem(const Time &start, const Time &end)
{
    if (end.open() || end.value >= start.value) return "";
    return "ends (" + full_time(end) + ") before it begins (" + full_time(start) + ")";
}

std::string sample_rate_problem(const Number &rate)
{
    if (!(rate.value < 0)) return "";
    return "the sample rate " + rate.text + " is negative";
}

std::string full_time(const Time &time)
{
    if (time.open()) return "(open)";
    std::int64_t seconds = time.value / 10000, fraction = time.value % 10000;
    std::int64_t days = seconds / 86400, rest = seconds % 86400;
    // Years from 0000: 365 days, one more in leap years.
    std::int64_t year = days / 366;
    while (calendar::days_before_year(year + 1) <= days) ++year;
    std::int64_t day = days - calendar::days_before_year(year) + 1;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld,%03lld,%02lld:%02lld:%02lld", static_cast<long long>(year),
                  static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    std::string out = text;
    if (fraction) {
        std::snprintf(text, sizeof text, ".%04lld", static_cast<long long>(fraction));
        out += text;
    }
    return out;
}

}  // namespace seed
