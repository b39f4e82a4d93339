// Instants of the import: StationXML's xs:dateTime in, the database's
// date text ("YYYY/MM/DD HH24:MI:SS", UTC, whole seconds) out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/time/calendar.hpp"

namespace importer {

// Seconds since 1970-01-01T00:00:00Z (proleptic Gregorian calendar).
using Instant = std::int64_t;

// The open end the database gives an epoch without end, and the start
// given to an epoch without startDate.
constexpr const char *open_end_text = calendar::open_end_database;
constexpr const char *default_start_text = "1970/01/01 00:00:00";

// An xs:dateTime ("2003-07-01T00:00:00", with "Z" or an offset such as
// "+02:00", and an optional fraction): the instant in UTC, the fraction
// cut toward the earlier second, since the database holds whole seconds.
// Empty when the text is not an xs:dateTime or falls outside the years 1
// to 9999 in UTC.
std::optional<Instant> parse_xml_date_time(std::string_view text);

// The database's text of an instant of the years 1 to 9999.
std::string database_date(Instant t);
// The instant of a database date text; empty when it is not one.
std::optional<Instant> parse_database_instant(std::string_view text);

Instant open_end();
Instant default_start();

}  // namespace importer
