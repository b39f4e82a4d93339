// Unit names as FDSN StationXML readers expect them. SEED keeps unit names
// in capitals ("M/S", "COUNTS", "DEGC"); data centres' validators accept a
// list of spellings ("m/s", "counts", "degC") and warn on or refuse
// anything else. StationXML is written in the list's spelling, and the
// validator rules of `seedtree check` judge names against the same list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace seed {

// The accepted spellings, in the order data centres list them.
const std::vector<std::string_view> &accepted_unit_names();

// The spelling of a unit name in StationXML: the accepted name it matches
// with case ignored, when it matches exactly one; the name as it stands
// otherwise (an exact match, an unknown name, or one that several
// accepted names match, such as "Unknown").
std::string stationxml_unit_name(std::string_view name);

enum class UnitNameStatus {
    accepted,      // one of the accepted spellings
    case_differs,  // an accepted name, but spelled in another case
    unknown,       // no accepted name, whatever the case
};

// How a validator judges a name as written in a document.
UnitNameStatus unit_name_status(std::string_view name);

}  // namespace seed
