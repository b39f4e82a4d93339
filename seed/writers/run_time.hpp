// The time a run stamps on what it writes: SOURCE_DATE_EPOCH when set (the
// reproducible-builds convention, so that two runs can give the same
// bytes), else now.
#pragma once

#include <string>

namespace seed {

// Seconds since 1970 (UTC). False, with why, when SOURCE_DATE_EPOCH is not
// a whole number of seconds up to year 9999 (the caller's usage error);
// Error when the clock is outside the years SEED times hold.
bool stamp_time(long long &seconds, std::string &problem);

}  // namespace seed
