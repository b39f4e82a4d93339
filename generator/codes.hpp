// The station, network, channel and location codes read from the database
// name directories of the header tree and fill fixed fields of the
// blockettes: they are checked before either happens.
#pragma once

namespace quorvex {

struct Quorvex;

// Ends the run (status 1, commit with release) when a code of the current
// channel row holds anything but letters, digits and blanks (a "../" would
// lead out of the tree) or is longer than its field: station 5, network 2,
// channel 3, location 2 characters.
void check_codes(Quorvex &q);

// The same for the station and network codes of the station record alone.
void check_station_codes(Quorvex &q);

}  // namespace quorvex
