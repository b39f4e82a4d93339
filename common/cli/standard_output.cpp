#include "common/cli/standard_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace rdb {

int finish_standard_output(const char *program, int status)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int reason = errno;
    if (flushed && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "%s: cannot write the report to standard output: %s\n", program,
                 std::strerror(reason != 0 ? reason : EIO));
    return 1;
}

}  // namespace rdb
