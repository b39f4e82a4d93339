#include "respdb/fdsn_query.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numbers>

namespace respdb::fdsn {
namespace {

const char *const level_options_names[] = {"network", "station", "channel", "response"};

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string shown(std::string_view text)
{
    std::string out;
    for (char c : text.substr(0, 80)) out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    return "'" + out + (text.size() > 80 ? "...'" : "'");
}

int hex(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A percent-encoded component ("+" a blank).
std::string decoded(std::string_view text)
{
    std::string out;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '+') {
            out += ' ';
        } else if (text[k] == '%') {
            int high = k + 2 < text.size() ? hex(text[k + 1]) : -1, low = high < 0 ? -1 : hex(text[k + 2]);
            if (low < 0) throw BadRequest("a malformed percent escape in the query string");
            out += static_cast<char>(high * 16 + low);
            k += 2;
        } else {
            out += text[k];
        }
    }
    return out;
}

// The parameter a name stands for (long or short, any case), or nullptr.
const Parameter *find_parameter(const std::string &name)
{
    for (const Parameter &p : parameters())
        if (name == p.name || (p.short_name && name == p.short_name)) return &p;
    return nullptr;
}

// The FDSN forms only: YYYY-MM-DD, YYYY-MM-DDTHH:MM:SS[.ffffff][Z].
std::string date_value(const std::string &name, const std::string &value)
{
    std::optional<std::string> t;
    if (value.size() >= 10 && value[4] == '-') t = database_time(value);
    if (!t || value.size() > 27)
        throw BadRequest("the value " + shown(value) + " of " + name +
                         " is not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS[.ssssss][Z])");
    return *t;
}

double number_value(const std::string &name, const std::string &value, double low, double high)
{
    const char *begin = value.c_str();
    char *end = nullptr;
    double v = value.empty() || std::isspace(static_cast<unsigned char>(value[0])) ? NAN : std::strtod(begin, &end);
    if (!std::isfinite(v) || end != begin + value.size() || v < low || v > high)
        throw BadRequest("the value " + shown(value) + " of " + name + " is not a number from " +
                         std::to_string(static_cast<int>(low)) + " to " + std::to_string(static_cast<int>(high)));
    return v;
}

bool boolean_value(const std::string &name, const std::string &value)
{
    std::string v = lower(value);
    if (v == "true") return true;
    if (v == "false") return false;
    throw BadRequest("the value " + shown(value) + " of " + name + " is not true or false");
}

CodePatterns codes_value(const std::string &name, const std::string &value, std::size_t width, bool location)
{
    auto p = value.empty() ? std::nullopt : CodePatterns::parse(value, width, location);
    if (!p)
        throw BadRequest("the value " + shown(value) + " of " + name + " is not a comma list of codes of at most " +
                         std::to_string(width) + " letters or digits with * and ?" +
                         (location ? " (-- for a blank location)" : ""));
    return *p;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The pairs by the parameter's long name; a name not known, or given
// twice, is refused. matchtimeseries and includeavailability are known
// only to refuse them when true.
std::map<std::string, std::string> by_name(const Pairs &pairs)
{
    std::map<std::string, std::string> out;
    for (const auto &[raw, value] : pairs) {
        std::string name = lower(raw);
        if (name == "matchtimeseries" || name == "includeavailability") {
            if (boolean_value(name, value))
                throw BadRequest(name + "=true is not supported by this service (the database holds no time series)");
            continue;
        }
        const Parameter *p = find_parameter(name);
        if (!p) throw BadRequest("unknown parameter " + shown(raw));
        if (!out.emplace(p->name, value).second) throw BadRequest("parameter " + std::string(p->name) + " given twice");
    }
    return out;
}

// The options of a parameter with a fixed set.
void check_option(const std::string &name, const std::string &value)
{
    const Parameter *p = find_parameter(name);
    for (const char *o : p->options)
        if (value == o) return;
    std::string list;
    for (const char *o : p->options) list += (list.empty() ? "" : ", ") + std::string(o);
    throw BadRequest("the value " + shown(value) + " of " + name + " is not one of " + list);
}

// Everything but the selections' codes and windows, from the named pairs.
void apply_common(const std::map<std::string, std::string> &named, Query &q)
{
    auto get = [&](const char *name) -> const std::string * {
        auto it = named.find(name);
        return it == named.end() ? nullptr : &it->second;
    };
    for (auto [name, bound] : {std::pair{"startbefore", &q.start_before}, std::pair{"startafter", &q.start_after},
                               std::pair{"endbefore", &q.end_before}, std::pair{"endafter", &q.end_after},
                               std::pair{"updatedafter", &q.updated_after}})
        if (const std::string *v = get(name)) *bound = date_value(name, *v);

    Box box;
    bool boxed = false;
    for (auto [name, field, low, high] :
         {std::tuple{"minlatitude", &box.min_latitude, -90.0, 90.0}, std::tuple{"maxlatitude", &box.max_latitude, -90.0, 90.0},
          std::tuple{"minlongitude", &box.min_longitude, -180.0, 180.0},
          std::tuple{"maxlongitude", &box.max_longitude, -180.0, 180.0}})
        if (const std::string *v = get(name)) {
            *field = number_value(name, *v, low, high);
            boxed = true;
        }
    if (box.min_latitude > box.max_latitude) throw BadRequest("minlatitude is above maxlatitude");
    if (boxed) q.box = box;

    Ring ring;
    const std::string *lat = get("latitude"), *lon = get("longitude"), *minr = get("minradius"), *maxr = get("maxradius");
    if (lat || lon || minr || maxr) {
        if (!lat || !lon) throw BadRequest("a radius search needs both latitude and longitude");
        if (!minr && !maxr) throw BadRequest("latitude and longitude need minradius or maxradius");
        ring.latitude = number_value("latitude", *lat, -90, 90);
        ring.longitude = number_value("longitude", *lon, -180, 180);
        if (minr) ring.min_radius = number_value("minradius", *minr, 0, 180);
        if (maxr) ring.max_radius = number_value("maxradius", *maxr, 0, 180);
        if (ring.min_radius > ring.max_radius) throw BadRequest("minradius is above maxradius");
        if (boxed) throw BadRequest("a box (min/maxlatitude, min/maxlongitude) and a radius cannot be combined");
        q.ring = ring;
    }

    if (const std::string *v = get("level")) {
        check_option("level", *v);
        for (int k = 0; k < 4; ++k)
            if (*v == level_options_names[k]) q.level = static_cast<seed::StationXmlLevel>(k);
    }
    if (const std::string *v = get("format")) {
        check_option("format", *v);
        q.format = *v == "text" ? Format::text : Format::xml;
    }
    if (q.format == Format::text && q.level == seed::StationXmlLevel::response)
        throw BadRequest("format=text has no level=response (use format=xml)");
    if (const std::string *v = get("nodata")) {
        check_option("nodata", *v);
        q.nodata = std::atoi(v->c_str());
    }
    if (const std::string *v = get("includerestricted")) boolean_value("includerestricted", *v);
}

// One selection's codes and window from the named pairs (GET).
Selection selection_of(const std::map<std::string, std::string> &named, Query &q)
{
    Selection s;
    auto get = [&](const char *name) -> const std::string * {
        auto it = named.find(name);
        return it == named.end() ? nullptr : &it->second;
    };
    if (const std::string *v = get("network")) s.networks = codes_value("network", *v, 2, false);
    if (const std::string *v = get("station")) s.stations = codes_value("station", *v, 5, false);
    if (const std::string *v = get("location")) s.locations = codes_value("location", *v, 2, true);
    if (const std::string *v = get("channel")) s.channels = codes_value("channel", *v, 3, false);
    if (const std::string *v = get("starttime")) s.start = date_value("starttime", *v);
    if (const std::string *v = get("endtime")) s.end = date_value("endtime", *v);
    if (s.start && s.end && *s.start > *s.end) throw BadRequest("starttime is after endtime");
    q.channels_asked = q.channels_asked || !s.locations.any() || !s.channels.any();
    return s;
}

std::vector<std::string_view> fields_of(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t k = 0;
    while (k < line.size()) {
        while (k < line.size() && (line[k] == ' ' || line[k] == '\t')) ++k;
        std::size_t start = k;
        while (k < line.size() && line[k] != ' ' && line[k] != '\t') ++k;
        if (k > start) out.push_back(line.substr(start, k - start));
    }
    return out;
}

}  // namespace

const std::vector<Parameter> &parameters()
{
    static const std::vector<Parameter> table = {
        {"network", "net", "xs:string", "*", {}, "Network codes: a comma list, * and ? as wildcards"},
        {"station", "sta", "xs:string", "*", {}, "Station codes, as for network"},
        {"location", "loc", "xs:string", "*", {}, "Location codes, as for network; -- for a blank location"},
        {"channel", "cha", "xs:string", "*", {}, "Channel codes, as for network"},
        {"starttime", "start", "xs:dateTime", nullptr, {}, "Epochs that end on or after this time"},
        {"endtime", "end", "xs:dateTime", nullptr, {}, "Epochs that begin on or before this time"},
        {"startbefore", nullptr, "xs:dateTime", nullptr, {}, "Epochs that begin before this time"},
        {"startafter", nullptr, "xs:dateTime", nullptr, {}, "Epochs that begin after this time"},
        {"endbefore", nullptr, "xs:dateTime", nullptr, {}, "Epochs that end before this time"},
        {"endafter", nullptr, "xs:dateTime", nullptr, {}, "Epochs that end after this time"},
        {"minlatitude", "minlat", "xs:double", "-90", {}, "Southern bound of a box (degrees)"},
        {"maxlatitude", "maxlat", "xs:double", "90", {}, "Northern bound of a box (degrees)"},
        {"minlongitude", "minlon", "xs:double", "-180", {}, "Western bound of a box (degrees; above maxlongitude: across 180)"},
        {"maxlongitude", "maxlon", "xs:double", "180", {}, "Eastern bound of a box (degrees)"},
        {"latitude", "lat", "xs:double", nullptr, {}, "Latitude of a radius search's centre (degrees)"},
        {"longitude", "lon", "xs:double", nullptr, {}, "Longitude of a radius search's centre (degrees)"},
        {"minradius", nullptr, "xs:double", "0", {}, "Least great-circle distance from the centre (degrees)"},
        {"maxradius", nullptr, "xs:double", "180", {}, "Greatest great-circle distance from the centre (degrees)"},
        {"level", nullptr, "xs:string", "station", {"network", "station", "channel", "response"}, "Depth of the answer"},
        {"format", nullptr, "xs:string", "xml", {"xml", "text"}, "StationXML, or FDSN text (no text at level response)"},
        {"includerestricted", nullptr, "xs:boolean", "true", {"true", "false"}, "Accepted; the database holds nothing restricted"},
        {"updatedafter", nullptr, "xs:dateTime", nullptr, {}, "Epochs whose rows, or the rows of their responses, were loaded after this time"},
        {"nodata", nullptr, "xs:int", "204", {"204", "404"}, "Status of an answer with nothing in it"},
    };
    return table;
}

bool Box::contains(double latitude, double longitude) const
{
    if (latitude < min_latitude || latitude > max_latitude) return false;
    if (min_longitude <= max_longitude) return longitude >= min_longitude && longitude <= max_longitude;
    return longitude >= min_longitude || longitude <= max_longitude;  // across 180 degrees
}

bool Ring::contains(double lat, double lon) const
{
    const double r = std::numbers::pi / 180;
    double dlat = (lat - latitude) * r, dlon = (lon - longitude) * r;
    double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
               std::cos(latitude * r) * std::cos(lat * r) * std::sin(dlon / 2) * std::sin(dlon / 2);
    double distance = 2 * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a))) / r;
    return distance >= min_radius && distance <= max_radius;
}

Query parse_query_string(std::string_view text)
{
    Pairs pairs;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t amp = text.find('&', start);
        std::string_view item = text.substr(start, amp == std::string_view::npos ? text.npos : amp - start);
        if (!item.empty()) {
            std::size_t eq = item.find('=');
            if (eq == std::string_view::npos) throw BadRequest("parameter " + shown(decoded(item)) + " has no value");
            pairs.emplace_back(decoded(item.substr(0, eq)), decoded(item.substr(eq + 1)));
        }
        if (amp == std::string_view::npos) break;
        start = amp + 1;
    }
    auto named = by_name(pairs);
    Query q;
    apply_common(named, q);
    q.selections.push_back(selection_of(named, q));
    return q;
}

Query parse_post_body(std::string_view body)
{
    Pairs pairs;
    Query q;
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t nl = body.find('\n', start);
        std::string_view line = body.substr(start, nl == std::string_view::npos ? body.npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = nl == std::string_view::npos ? body.size() : nl + 1;
        if (fields_of(line).empty()) continue;
        std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && lines.empty()) {
            auto trim = [](std::string_view t) {
                while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
                while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
                return std::string(t);
            };
            pairs.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
        } else {
            lines.push_back(line);
        }
    }
    auto named = by_name(pairs);
    for (const char *name : {"network", "station", "location", "channel", "starttime", "endtime"})
        if (named.count(name))
            throw BadRequest(std::string(name) + " belongs in a selection line (NET STA LOC CHA START END) of a POST");
    apply_common(named, q);
    if (lines.empty()) throw BadRequest("a POST needs at least one selection line: NET STA LOC CHA START END");
    for (std::string_view line : lines) {
        auto f = fields_of(line);
        if (f.size() != 6 || line.find('=') != std::string_view::npos)
            throw BadRequest("the line " + shown(line) + " is not NET STA LOC CHA START END");
        std::map<std::string, std::string> named_line = {
            {"network", std::string(f[0])}, {"station", std::string(f[1])}, {"location", std::string(f[2])},
            {"channel", std::string(f[3])}};
        if (f[4] != "*") named_line["starttime"] = std::string(f[4]);
        if (f[5] != "*") named_line["endtime"] = std::string(f[5]);
        q.selections.push_back(selection_of(named_line, q));
    }
    return q;
}

std::string wadl()
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<application xmlns=\"http://wadl.dev.java.net/2009/02\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
        "  <resources base=\"fdsnws/station/1/\">\n"
        "    <resource path=\"query\">\n"
        "      <method name=\"GET\">\n"
        "        <request>\n";
    for (const Parameter &p : parameters()) {
        auto param = [&](const char *name) {
            out += "          <param name=\"" + std::string(name) + "\" style=\"query\" type=\"" + p.type + "\"";
            if (p.default_value) out += std::string(" default=\"") + p.default_value + "\"";
            out += ">\n            <doc>" + std::string(p.about) + "</doc>\n";
            for (const char *o : p.options) out += "            <option value=\"" + std::string(o) + "\"/>\n";
            out += "          </param>\n";
        };
        param(p.name);
        if (p.short_name) param(p.short_name);
    }
    out +=
        "        </request>\n"
        "        <response status=\"200\">\n"
        "          <representation mediaType=\"application/xml\"/>\n"
        "          <representation mediaType=\"text/plain\"/>\n"
        "        </response>\n"
        "        <response status=\"204 400 404 413 500 503\">\n"
        "          <representation mediaType=\"text/plain\"/>\n"
        "        </response>\n"
        "      </method>\n"
        "      <method name=\"POST\">\n"
        "        <request>\n"
        "          <representation mediaType=\"text/plain\"/>\n"
        "        </request>\n"
        "        <response status=\"200\">\n"
        "          <representation mediaType=\"application/xml\"/>\n"
        "          <representation mediaType=\"text/plain\"/>\n"
        "        </response>\n"
        "      </method>\n"
        "    </resource>\n"
        "    <resource path=\"version\">\n"
        "      <method name=\"GET\"><response><representation mediaType=\"text/plain\"/></response></method>\n"
        "    </resource>\n"
        "    <resource path=\"application.wadl\">\n"
        "      <method name=\"GET\"><response><representation mediaType=\"application/xml\"/></response></method>\n"
        "    </resource>\n"
        "  </resources>\n"
        "</application>\n";
    return out;
}

}  // namespace respdb::fdsn
