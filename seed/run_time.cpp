// The time a run stamps on what it writes, shared by the subcommands.
#include <cstdlib>
#include <ctime>
#include <string>

#include "commands.hpp"
#include "fields.hpp"
#include "message_text.hpp"

namespace seed {

long long run_time()
{
    std::string text;
    if (const char *fixed = std::getenv("SOURCE_DATE_EPOCH")) {
        long long seconds = 0;
        if (!parse_unsigned(fixed, seconds) || !seed_time_from_unix(seconds, text))
            throw UsageError("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970 up to year 9999, not " +
                             quoted_value(fixed));
        return seconds;
    }
    long long now = static_cast<long long>(std::time(nullptr));
    if (!seed_time_from_unix(now, text)) throw Error("the clock is outside the years SEED times hold");
    return now;
}

}  // namespace seed
