#include "seed/site/site_map.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace seed {

namespace {

std::string px(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// "122.5°W", "37°N", "0°"
std::string degrees(double value, bool latitude, int decimals)
{
    if (!latitude) {
        while (value > 180) value -= 360;
        while (value <= -180) value += 360;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value));
    std::string out = text;
    double zero = 0.5 * std::pow(10.0, -decimals);
    const char *hemisphere = std::fabs(value) < zero ? "" : latitude ? (value > 0 ? "N" : "S") : (value > 0 ? "E" : "W");
    return out + "\u00b0" + hemisphere;
}

int decimals_of(double step)
{
    if (step >= 1) return 0;
    return step >= 0.1 && std::fabs(step * 10 - std::round(step * 10)) < 1e-9 ? 1 : 2;
}

// A round length in km near target: 1, 2 or 5 times a power of ten.
double round_length(double target)
{
    double p = std::pow(10.0, std::floor(std::log10(target)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * p <= target) return m * p;
    return p;
}

struct Frame {
    double west = 0, east = 0, south = 0, north = 0;  // degrees; east may pass 180
    double k = 1;                                     // cos of the middle latitude
};

// The smallest arc of longitude holding every station: it begins after
// the widest gap between neighbours around the globe, so that a network
// across 180° is not drawn across the whole world.
double western_edge(std::vector<double> longitudes)
{
    std::sort(longitudes.begin(), longitudes.end());
    std::size_t n = longitudes.size();
    double widest = longitudes.front() + 360 - longitudes.back();
    double west = longitudes.front();
    for (std::size_t i = 0; i + 1 < n; ++i)
        if (longitudes[i + 1] - longitudes[i] > widest) {
            widest = longitudes[i + 1] - longitudes[i];
            west = longitudes[i + 1];
        }
    return west;
}

double unwrap(double longitude, double west) { return west + std::fmod(longitude - west + 720.0, 360.0); }

}  // namespace

double graticule_step(double extent)
{
    static const double steps[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.25, 0.5, 1, 2, 5, 10, 15, 30, 45, 90};
    for (double s : steps)
        if (extent / s <= 7) return s;
    return 90;
}

std::size_t write_station_map(html::Writer &out, const std::vector<MapStation> &all)
{
    std::vector<const MapStation *> stations;
    for (const MapStation &s : all)
        if (std::isfinite(s.latitude) && std::isfinite(s.longitude) && std::fabs(s.latitude) <= 90 &&
            std::fabs(s.longitude) <= 180)
            stations.push_back(&s);
    std::size_t left_out = all.size() - stations.size();

    Frame f;
    if (stations.empty()) {
        f = {-180, 180, -90, 90, 1};
    } else {
        std::vector<double> longitudes;
        for (const MapStation *s : stations) longitudes.push_back(s->longitude);
        double west = western_edge(longitudes);
        f.west = f.east = unwrap(stations.front()->longitude, west);
        f.south = f.north = stations.front()->latitude;
        for (const MapStation *s : stations) {
            double x = unwrap(s->longitude, west);
            f.west = std::min(f.west, x);
            f.east = std::max(f.east, x);
            f.south = std::min(f.south, s->latitude);
            f.north = std::max(f.north, s->latitude);
        }
        f.k = std::max(0.15, std::cos((f.south + f.north) / 2 * std::numbers::pi / 180));
        // A margin around the stations, at least a fraction of a degree.
        double extent = std::max({(f.east - f.west) * f.k, f.north - f.south, 0.5});
        double margin = 0.15 * extent + 0.1;
        f.west -= margin / f.k;
        f.east += margin / f.k;
        f.south -= margin;
        f.north += margin;
        // Neither a strip nor a tower: the frame's height is 0.35 to 0.5 of its width.
        double width = (f.east - f.west) * f.k, height = f.north - f.south;
        if (height < 0.35 * width) {
            double grow = (0.35 * width - height) / 2;
            f.south -= grow;
            f.north += grow;
        } else if (height > 0.5 * width) {
            double grow = (height / 0.5 - width) / 2 / f.k;
            f.west -= grow;
            f.east += grow;
        }
        if (f.north > 90) f.south -= f.north - 90, f.north = 90;
        if (f.south < -90) f.north += -90 - f.south, f.south = -90;
        f.north = std::min(f.north, 90.0);
        if (f.east - f.west > 360) {
            double middle = (f.east + f.west) / 2;
            f.west = middle - 180;
            f.east = middle + 180;
        }
    }

    const double width = 820, left = 60, right = 18, top = 14, bottom = 34;
    double per_degree = (width - left - right) / ((f.east - f.west) * f.k);
    double height = top + bottom + (f.north - f.south) * per_degree;
    auto x_of = [&](double unwrapped) { return left + (unwrapped - f.west) * f.k * per_degree; };
    auto y_of = [&](double latitude) { return top + (f.north - latitude) * per_degree; };
    double right_edge = width - right, bottom_edge = height - bottom;

    std::string size = "0 0 " + px(width) + " " + px(height);
    out.open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                     {"viewBox", size},
                     {"class", "map"},
                     {"role", "img"},
                     {"aria-label", "Map of " + std::to_string(stations.size()) + " station(s)"}});
    out.element("title", "Station map");
    out.empty("rect", {{"class", "sea"}, {"x", px(left)}, {"y", px(top)}, {"width", px(right_edge - left)},
                       {"height", px(bottom_edge - top)}});

    // Graticule and its labels.
    double lon_step = graticule_step(f.east - f.west), lat_step = graticule_step(f.north - f.south);
    out.open("g", {{"class", "graticule"}});
    for (double x = std::ceil(f.west / lon_step) * lon_step; x <= f.east + 1e-9; x += lon_step) {
        out.empty("line", {{"x1", px(x_of(x))}, {"y1", px(top)}, {"x2", px(x_of(x))}, {"y2", px(bottom_edge)}});
        out.element("text", degrees(x, false, decimals_of(lon_step)),
                    {{"x", px(x_of(x))}, {"y", px(bottom_edge + 18)}, {"text-anchor", "middle"}});
    }
    for (double y = std::ceil(f.south / lat_step) * lat_step; y <= f.north + 1e-9; y += lat_step) {
        out.empty("line", {{"x1", px(left)}, {"y1", px(y_of(y))}, {"x2", px(right_edge)}, {"y2", px(y_of(y))}});
        out.element("text", degrees(y, true, decimals_of(lat_step)),
                    {{"x", px(left - 6)}, {"y", px(y_of(y) + 4)}, {"text-anchor", "end"}});
    }
    out.close("g");

    // Scale bar: one kilometre is 1/111.195 of a degree of latitude.
    double km = round_length(140 / per_degree * 111.195);
    double bar = km / 111.195 * per_degree;
    if (bar >= 20 && bar < right_edge - left - 40) {
        double x1 = right_edge - 16 - bar, y = bottom_edge - 14;
        out.open("g", {{"class", "scale"}});
        out.empty("path", {{"d", "M" + px(x1) + " " + px(y - 5) + "V" + px(y) + "H" + px(x1 + bar) + "V" + px(y - 5)}});
        char text[32];
        std::snprintf(text, sizeof text, "%g km", km);
        out.element("text", text, {{"x", px(x1 + bar / 2)}, {"y", px(y - 8)}, {"text-anchor", "middle"}});
        out.close("g");
    }

    // Stations, the worst drawn last so that they stay on top; labels
    // only while they can be told apart.
    auto rank = [](const MapStation *s) { return s->severity == "error" ? 2 : s->severity == "warning" ? 1 : 0; };
    std::stable_sort(stations.begin(), stations.end(),
                     [&](const MapStation *a, const MapStation *b) { return rank(a) < rank(b); });
    bool labels = stations.size() <= 60;
    for (const MapStation *s : stations) {
        double x = x_of(unwrap(s->longitude, f.west)), y = y_of(s->latitude);
        std::string kind = "station" + (s->severity.empty() ? std::string() : " " + s->severity);
        if (!s->link.empty()) out.open("a", {{"href", s->link}});
        out.open("g", {{"class", kind}});
        out.element("title", s->tooltip.empty() ? s->label : s->tooltip);
        out.empty("circle", {{"cx", px(x)}, {"cy", px(y)}, {"r", "6"}});
        if (labels) {
            bool room = x + 12 + 8.0 * static_cast<double>(s->label.size()) < right_edge;
            out.element("text", s->label,
                        {{"x", px(room ? x + 10 : x - 10)}, {"y", px(y + 4.5)}, {"text-anchor", room ? "start" : "end"}});
        }
        out.close("g");
        if (!s->link.empty()) out.close("a");
    }
    out.empty("rect", {{"class", "frame"}, {"x", px(left)}, {"y", px(top)}, {"width", px(right_edge - left)},
                       {"height", px(bottom_edge - top)}});
    out.close("svg");
    return left_out;
}

}  // namespace seed
