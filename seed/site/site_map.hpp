// The station map of the network site: an inline SVG of the stations at
// their coordinates in an equirectangular frame (longitude scaled by the
// cosine of the middle latitude), with a graticule, degree labels and a
// scale bar. Drawn from the coordinates alone: no tiles, no coastlines,
// nothing fetched.
#pragma once

#include <string>
#include <vector>

#include "seed/site/site_html.hpp"

namespace seed {

struct MapStation {
    double latitude = 0, longitude = 0;  // degrees
    std::string label;                   // drawn beside the point: "HILL.XY"
    std::string tooltip;                 // the point's <title>
    std::string link;                    // relative link of the point; empty: none
    std::string severity;                // "error", "warning" or "" (none): the point's class
};

// Nice graticule spacing in degrees for a frame of extent degrees: about
// four to eight lines.
double graticule_step(double extent);

// Writes <svg> with the stations; those with coordinates outside the
// globe (|latitude| > 90, |longitude| > 180, not finite) are left out and
// counted in the returned number.
std::size_t write_station_map(html::Writer &out, const std::vector<MapStation> &stations);

}  // namespace seed
