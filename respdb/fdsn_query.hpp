// A request of the FDSN station web service (fdsnws-station 1.1): its
// parameters read from a query string (GET) or a POST body, checked, as
// one or more selections over the database and the filters and answer
// form that go with them. The table of parameters is the one place that
// says what the service accepts: the parser reads only what it lists, and
// the WADL is written from it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "respdb/selection.hpp"
#include "seed/writers/stationxml.hpp"

namespace respdb::fdsn {

// A request the service cannot answer as asked: a 400 with this message.
class BadRequest : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Parameter {
    const char *name;
    const char *short_name;  // nullptr: none
    const char *type;        // the xs: type the WADL gives
    const char *default_value;  // nullptr: none
    std::vector<const char *> options;  // empty: any value of the type
    const char *about;
};

// Every parameter the service accepts, in the WADL's order.
const std::vector<Parameter> &parameters();

enum class Format { xml, text };

// A box of latitudes and longitudes; min_longitude above max_longitude is a
// box across 180 degrees.
struct Box {
    double min_latitude = -90, max_latitude = 90, min_longitude = -180, max_longitude = 180;
    bool contains(double latitude, double longitude) const;
};

// A ring of great-circle distances (degrees) around a point.
struct Ring {
    double latitude = 0, longitude = 0, min_radius = 0, max_radius = 180;
    bool contains(double latitude, double longitude) const;
};

struct Query {
    // The union of these; one for a GET. Their windows select station
    // epochs that overlap them, and channel epochs the same way.
    std::vector<Selection> selections;
    // Database dates; nullopt: no such bound. They hold for station and
    // channel epochs alike.
    std::optional<std::string> start_before, start_after, end_before, end_after;
    std::optional<std::string> updated_after;
    std::optional<Box> box;
    std::optional<Ring> ring;
    seed::StationXmlLevel level = seed::StationXmlLevel::station;
    Format format = Format::xml;
    int nodata = 204;
    // A location or channel was asked for: a station epoch without one of
    // the selected channel epochs is no answer.
    bool channels_asked = false;
};

// The query of a URL's query string (after "?", percent-encoded).
Query parse_query_string(std::string_view text);

// The query of a POST body: key=value lines, then one selection per line
// "NET STA LOC CHA START END" (wildcards, "--" for a blank location, "*"
// for an open start or end).
Query parse_post_body(std::string_view body);

// The WADL of the service (application.wadl), from parameters().
std::string wadl();

// The service's version, as /version gives it.
inline constexpr const char *service_version = "1.1.0";

}  // namespace respdb::fdsn
