#include "respdb/selection.hpp"

#include <cctype>

#include "common/db/date_text.hpp"

namespace respdb {
namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Glob matching of * and ? over upper-case text, iterative with one
// backtrack point, so that no pattern costs more than |p| x |t|.
bool glob(std::string_view p, std::string_view t)
{
    std::size_t pi = 0, ti = 0, star = std::string_view::npos, mark = 0;
    while (ti < t.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == upper(t[ti]))) {
            ++pi;
            ++ti;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ti;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

// Digits at text[pos, pos+n) as a number, or -1.
int number(std::string_view text, std::size_t pos, std::size_t n)
{
    if (pos + n > text.size()) return -1;
    int v = 0;
    for (std::size_t k = pos; k < pos + n; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return -1;
        v = v * 10 + (text[k] - '0');
    }
    return v;
}

// "HH:MM:SS[.f...]" from pos to the end (a "Z" allowed when zone).
bool clock(std::string_view text, std::size_t pos, bool zone, rdb::DateTime &t)
{
    if (zone && !text.empty() && text.back() == 'Z') text.remove_suffix(1);
    if (text.size() < pos + 8 || text[pos + 2] != ':' || text[pos + 5] != ':') return false;
    t.hour = number(text, pos, 2);
    t.minute = number(text, pos + 3, 2);
    t.second = number(text, pos + 6, 2);
    if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59) return false;
    std::size_t at = pos + 8;
    if (at == text.size()) return true;
    if (text[at] != '.' || at + 1 == text.size()) return false;
    for (++at; at < text.size(); ++at)
        if (!std::isdigit(static_cast<unsigned char>(text[at]))) return false;
    return true;
}

}  // namespace

std::optional<CodePatterns> CodePatterns::parse(std::string_view text, std::size_t width, bool location)
{
    CodePatterns out;
    if (text.empty()) return out;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        std::string_view item = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        std::string pattern;
        if (location && item == "--") {
            pattern = "";
        } else {
            if (item.empty()) return std::nullopt;
            std::size_t letters = 0;
            for (char c : item) {
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '?' && c != '*') return std::nullopt;
                if (c != '*') ++letters;
                pattern += upper(c);
            }
            if (letters > width) return std::nullopt;
            if (pattern == "*") return CodePatterns{};  // every code
        }
        out.patterns_.push_back(pattern);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return out;
}

bool CodePatterns::matches(std::string_view code) const
{
    if (patterns_.empty()) return true;
    for (const std::string &p : patterns_)
        if (p.empty() ? code.empty() : glob(p, code)) return true;
    return false;
}

std::optional<std::string> database_time(std::string_view text)
{
    rdb::DateTime t;
    if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
        t.year = number(text, 0, 4);
        t.month = number(text, 5, 2);
        t.day = number(text, 8, 2);
        if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > rdb::days_in_month(t.year, t.month))
            return std::nullopt;
        if (text.size() > 10 && (text[10] != 'T' || !clock(text, 11, true, t))) return std::nullopt;
        return rdb::format_database_date(t);
    }
    if (text.size() == 8) {
        // "YYYY,DDD": the day's start.
        std::string whole = std::string(text) + ",00:00:00";
        return rdb::parse_seed_time(whole, t) ? std::optional(rdb::format_database_date(t)) : std::nullopt;
    }
    if (text.size() > 17 && text[17] == '.') {
        rdb::DateTime ignored;
        if (!clock(text, 9, false, ignored)) return std::nullopt;
        text = text.substr(0, 17);
    }
    if (!rdb::parse_seed_time(text, t)) return std::nullopt;
    return rdb::format_database_date(t);
}

bool Selection::station_matches(std::string_view network, std::string_view station) const
{
    return networks.matches(network) && stations.matches(station);
}

bool Selection::channel_matches(std::string_view location, std::string_view channel) const
{
    return locations.matches(location) && channels.matches(channel);
}

bool Selection::overlaps(std::string_view on, std::string_view off) const
{
    return (!end || on <= *end) && (!start || off >= *start);
}

}  // namespace respdb
