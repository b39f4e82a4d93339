// The site's plots made smaller without a visible change (plot.hpp,
// compact_svg): gnuplot's SVG repeats the same attributes on hundreds of
// groups and writes every path point absolute with one decimal. Here the
// attributes of groups and paths become classes of one <style>, and path
// data is written with the shorter of absolute and relative commands, the
// same points to the tenth of a pixel.
#include "seed/analysis/plot.hpp"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace seed {

namespace {

// Path data of M, L and Z commands with numbers of at most one decimal,
// as the first stage leaves gnuplot's, in tenths of a pixel; false for
// anything else (kept as it is).
struct PathStep {
    char command;  // 'M', 'L' or 'Z'
    std::int64_t x = 0, y = 0;
};

bool parse_tenths(std::string_view d, std::size_t &at, std::int64_t &value)
{
    bool negative = at < d.size() && d[at] == '-';
    if (negative) ++at;
    std::size_t begin = at;
    std::int64_t whole = 0;
    while (at < d.size() && d[at] >= '0' && d[at] <= '9' && at - begin < 12) whole = whole * 10 + (d[at++] - '0');
    if (at == begin) return false;
    std::int64_t tenth = 0;
    if (at < d.size() && d[at] == '.') {
        ++at;
        if (at >= d.size() || d[at] < '0' || d[at] > '9') return false;
        tenth = d[at++] - '0';
        if (at < d.size() && d[at] >= '0' && d[at] <= '9') return false;  // more decimals: not ours to round
    }
    if (at < d.size() && (d[at] == 'e' || d[at] == 'E')) return false;
    value = (whole * 10 + tenth) * (negative ? -1 : 1);
    return true;
}

bool parse_path(std::string_view d, std::vector<PathStep> &steps)
{
    steps.clear();
    std::size_t at = 0;
    char command = 0;
    auto blanks = [&] {
        while (at < d.size() && (d[at] == ' ' || d[at] == '\n' || d[at] == ',')) ++at;
    };
    for (blanks(); at < d.size(); blanks()) {
        char c = d[at];
        if (c == 'M' || c == 'L' || c == 'Z') {
            command = c;
            ++at;
            if (c == 'Z') {
                steps.push_back({'Z'});
                command = 0;
            }
            continue;
        }
        if (command == 0) return false;
        PathStep step{command};
        if (!parse_tenths(d, at, step.x)) return false;
        blanks();
        if (!parse_tenths(d, at, step.y)) return false;
        steps.push_back(step);
        if (command == 'M') command = 'L';  // further pairs of a moveto are lines
    }
    return !steps.empty() && steps.front().command == 'M';
}

// Tenths as the shortest SVG number: "98", "-3.8", ".5".
void put_tenths(std::int64_t v, std::string &out)
{
    char text[32];
    char *end = text + sizeof text, *at = end;
    bool negative = v < 0;
    std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    if (u % 10 != 0) {
        *--at = static_cast<char>('0' + u % 10);
        *--at = '.';
    }
    u /= 10;
    if (u > 0 || at == end)
        do {
            *--at = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u > 0);
    if (negative) *--at = '-';
    out.append(at, end);
}

// The length of put_tenths' text.
std::size_t tenths_length(std::int64_t v)
{
    std::size_t n = v < 0 ? 1 : 0;
    std::uint64_t u = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    if (u % 10 != 0) n += 2;
    u /= 10;
    if (u > 0 || n == 0 || (n == 1 && v < 0))
        do {
            ++n;
            u /= 10;
        } while (u > 0);
    return n;
}

// Appends numbers, each parted from the last only where it must be.
class PathText {
public:
    explicit PathText(std::string &out) : out_(out) {}

    void command(char c)
    {
        // A command repeated goes without its letter: its numbers follow on.
        if (c != last_ || c == 'M' || c == 'm' || c == 'Z') {
            out_ += c;
            number_before_ = false;
        }
        last_ = c;
    }
    void number(std::int64_t v)
    {
        if (number_before_ && v >= 0) out_ += ' ';
        put_tenths(v, out_);
        number_before_ = true;
    }

private:
    std::string &out_;
    char last_ = 0;
    bool number_before_ = false;
};

// The steps again, each the shorter of its absolute and relative forms.
std::string path_data(const std::vector<PathStep> &steps)
{
    std::string out;
    PathText text(out);
    std::int64_t x = 0, y = 0, start_x = 0, start_y = 0;
    bool first = true;
    for (const PathStep &s : steps) {
        if (s.command == 'Z') {
            text.command('Z');
            x = start_x;
            y = start_y;
            continue;
        }
        std::int64_t dx = s.x - x, dy = s.y - y;
        if (s.command == 'M') {
            bool relative = !first && tenths_length(dx) + tenths_length(dy) < tenths_length(s.x) + tenths_length(s.y);
            text.command(relative ? 'm' : 'M');
            text.number(relative ? dx : s.x);
            text.number(relative ? dy : s.y);
            start_x = s.x;
            start_y = s.y;
        } else if (dy == 0) {
            bool relative = tenths_length(dx) < tenths_length(s.x);
            text.command(relative ? 'h' : 'H');
            text.number(relative ? dx : s.x);
        } else if (dx == 0) {
            bool relative = tenths_length(dy) < tenths_length(s.y);
            text.command(relative ? 'v' : 'V');
            text.number(relative ? dy : s.y);
        } else {
            bool relative = tenths_length(dx) + tenths_length(dy) < tenths_length(s.x) + tenths_length(s.y);
            text.command(relative ? 'l' : 'L');
            text.number(relative ? dx : s.x);
            text.number(relative ? dy : s.y);
        }
        x = s.x;
        y = s.y;
        first = false;
    }
    return out;
}

struct Attribute {
    std::string_view name, value;
    char quote;
};

// The attributes of a start tag "<name a='1' b="2">" (or "/>"); false
// when it is not of that plain form.
bool parse_tag(std::string_view tag, std::string_view &name, std::vector<Attribute> &attributes, bool &empty)
{
    attributes.clear();
    std::size_t at = 1;
    while (at < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[at])))) ++at;
    name = tag.substr(1, at - 1);
    empty = tag.size() >= 2 && tag[tag.size() - 2] == '/';
    std::size_t end = tag.size() - (empty ? 2 : 1);
    while (true) {
        while (at < end && (tag[at] == ' ' || tag[at] == '\n' || tag[at] == '\t')) ++at;
        if (at >= end) return !name.empty();
        std::size_t begin = at;
        while (at < end && tag[at] != '=' && tag[at] != ' ') ++at;
        if (at + 1 >= end || tag[at] != '=' || (tag[at + 1] != '\'' && tag[at + 1] != '"')) return false;
        std::string_view attribute = tag.substr(begin, at - begin);
        char quote = tag[at + 1];
        std::size_t close = tag.find(quote, at + 2);
        if (close == std::string_view::npos || close >= end) return false;
        attributes.push_back({attribute, tag.substr(at + 2, close - at - 2), quote});
        at = close + 1;
    }
}

// A presentation attribute as a declaration of the style sheet, or false
// when its value could mean something else there.
bool declaration(const Attribute &a, std::string &out)
{
    for (char c : a.value)
        if (c == ';' || c == '{' || c == '}' || c == '<' || c == '&' || c == '\\' || c == '"' || c == '\'' || c == '\n')
            return false;
    out += a.name;
    out += ':';
    out += a.value;
    // A length without a unit is a length in user units (pixels here) as an
    // attribute, but no length at all in a style sheet.
    if ((a.name == "stroke-width" || a.name == "font-size") && !a.value.empty() &&
        a.value.find_first_not_of("0123456789.") == std::string_view::npos)
        out += "px";
    out += ';';
    return true;
}

// Class names in order of first use: a, b, ..., z, ba, bb, ...
std::string class_name(std::size_t n)
{
    std::string name;
    do {
        name.insert(name.begin(), static_cast<char>('a' + n % 26));
        n /= 26;
    } while (n > 0);
    return name;
}

// The ids that text refers to ("#gpPt5").
void references(std::string_view text, std::set<std::string, std::less<>> &ids)
{
    for (std::size_t at = text.find('#'); at != std::string_view::npos; at = text.find('#', at + 1)) {
        std::size_t end = at + 1;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
        if (end > at + 1) ids.emplace(text.substr(at + 1, end - at - 1));
    }
}

// gnuplot defines every point symbol and text box in each drawing; the
// ones nothing refers to are left out (they draw nothing). The <defs> is
// kept whole when it is not of gnuplot's plain form: each definition one
// empty element, or a <filter> to its end.
std::string without_unused_definitions(std::string svg)
{
    std::size_t open = svg.find("<defs>"), close = svg.find("</defs>");
    if (open == std::string::npos || close == std::string::npos || close < open) return svg;
    std::size_t begin = open + 6;
    struct Definition {
        std::string_view text, id;
    };
    std::vector<Definition> definitions;
    std::string_view inside = std::string_view(svg).substr(begin, close - begin);
    for (std::size_t at = 0;;) {
        at = inside.find_first_not_of(" \t\n", at);
        if (at == std::string_view::npos) break;
        if (inside[at] != '<') return svg;
        std::size_t end;
        if (inside.compare(at, 8, "<filter ") == 0) {
            end = inside.find("</filter>", at);
            if (end == std::string_view::npos) return svg;
            end += 9;
        } else {
            end = inside.find('>', at);
            if (end == std::string_view::npos || inside[end - 1] != '/') return svg;
            end += 1;
        }
        std::string_view text = inside.substr(at, end - at);
        std::size_t tag_end = text.find('>');
        std::size_t id = text.substr(0, tag_end).find(" id=");
        if (id == std::string_view::npos || id + 5 >= tag_end) return svg;
        char quote = text[id + 4];
        std::size_t id_end = text.find(quote, id + 5);
        if ((quote != '\'' && quote != '"') || id_end == std::string_view::npos || id_end > tag_end) return svg;
        definitions.push_back({text, text.substr(id + 5, id_end - id - 5)});
        at = end;
    }
    std::set<std::string, std::less<>> needed;
    references(std::string_view(svg).substr(0, open), needed);
    references(std::string_view(svg).substr(close), needed);
    // What a needed definition refers to is needed too.
    for (bool more = true; more;) {
        more = false;
        for (const Definition &d : definitions)
            if (needed.count(d.id)) {
                std::size_t before = needed.size();
                references(d.text, needed);
                more = more || needed.size() != before;
            }
    }
    std::string kept = "\n";
    for (const Definition &d : definitions)
        if (needed.count(d.id)) {
            kept += d.text;
            kept += '\n';
        }
    return svg.substr(0, begin) + kept + svg.substr(close);
}

}  // namespace

std::string classed_svg(std::string_view svg)
{
    std::string body;
    body.reserve(svg.size());
    std::map<std::string, std::string> classes;  // declarations -> name
    std::vector<std::string> rules;
    std::vector<Attribute> attributes;
    std::vector<PathStep> steps;
    std::size_t style_at = std::string::npos;  // just after <svg ...>
    std::size_t at = 0;
    while (at < svg.size()) {
        std::size_t open = svg.find('<', at);
        if (open == std::string_view::npos) open = svg.size();
        body.append(svg.substr(at, open - at));
        if (open == svg.size()) break;
        std::size_t close = svg.find('>', open);
        if (close == std::string_view::npos) {
            body.append(svg.substr(open));
            break;
        }
        std::string_view tag = svg.substr(open, close + 1 - open);
        at = close + 1;
        std::string_view name;
        bool empty = false;
        if (tag.compare(0, 4, "<svg") == 0 && style_at == std::string::npos) {
            body.append(tag);
            style_at = body.size();
            continue;
        }
        if ((tag.compare(0, 3, "<g ") != 0 && tag.compare(0, 6, "<path ") != 0) || style_at == std::string::npos ||
            !parse_tag(tag, name, attributes, empty)) {
            body.append(tag);
            continue;
        }
        std::string declarations, kept, own_class;
        bool plain = true;
        for (const Attribute &a : attributes) {
            if (a.name == "class") {
                own_class = a.value;
            } else if (a.name == "d" && name == "path") {
                std::string d(a.value);
                if (parse_path(a.value, steps)) d = path_data(steps);
                kept += " d='" + d + "'";
            } else if (a.name == "transform" || a.name == "id" || a.name.find(':') != std::string_view::npos) {
                kept += " " + std::string(a.name) + "=" + a.quote + std::string(a.value) + a.quote;
            } else if (!declaration(a, declarations)) {
                plain = false;
                break;
            }
        }
        if (!plain || own_class.find_first_of("\"'&<") != std::string::npos) {
            body.append(tag);
            continue;
        }
        std::string cls = own_class;
        if (!declarations.empty()) {
            auto [it, added] = classes.emplace(declarations, class_name(classes.size()));
            if (added) rules.push_back("." + it->second + "{" + declarations.substr(0, declarations.size() - 1) + "}");
            cls += (cls.empty() ? "" : " ") + it->second;
        }
        body += '<';
        body += name;
        if (!cls.empty()) body += " class=\"" + cls + "\"";
        body += kept;
        body += empty ? "/>" : ">";
    }
    if (rules.empty() || style_at == std::string::npos) return without_unused_definitions(std::move(body));
    std::string style = "\n<style>";
    for (const std::string &r : rules) style += r + "\n";
    style += "</style>";
    body.insert(style_at, style);
    return without_unused_definitions(std::move(body));
}

}  // namespace seed
