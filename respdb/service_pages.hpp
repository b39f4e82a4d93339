// The HTML pages of the station web service: what it is and how to ask it.
#pragma once

#include <string>

namespace respdb {

// The page at "/" (root: the site's root, pointing to the service) or at
// "/fdsnws/station/1/" (the service's own page).
std::string service_page(bool root);

}  // namespace respdb
