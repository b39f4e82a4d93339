#include "seed/writers/run_time.hpp"

#include <cstdlib>
#include <ctime>

#include "seed/reader/error.hpp"
#include "seed/reader/fields.hpp"
#include "seed/reader/message_text.hpp"

namespace seed {

bool stamp_time(long long &seconds, std::string &problem)
{
    std::string text;
    if (const char *fixed = std::getenv("SOURCE_DATE_EPOCH")) {
        if (!parse_unsigned(fixed, seconds) || !seed_time_from_unix(seconds, text)) {
            problem = "SOURCE_DATE_EPOCH must be a whole number of seconds since 1970 up to year 9999, not " +
                      quoted_value(fixed);
            return false;
        }
        return true;
    }
    seconds = static_cast<long long>(std::time(nullptr));
    if (!seed_time_from_unix(seconds, text)) throw Error("the clock is outside the years SEED times hold");
    return true;
}

}  // namespace seed
