// Mebrisk: reads the request file "req", merges its lines into distinct
// station and channel requests and runs Lintaro once for each, stations
// first. It has no database access of its own.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "child.hpp"
#include "request.hpp"

namespace {

const char *const request_file = "req";

// Reads every line of the file whole, whatever its length, and merges it.
// Returns only when the whole file is read; a bad line ends the run.
void read_requests(std::FILE *file, bool copy_mode, drivers::Requests &requests)
{
    drivers::TokenList tokens;
    char *line = nullptr;
    std::size_t size = 0;
    errno = 0;
    for (ssize_t n; (n = getline(&line, &size, file)) >= 0; errno = 0) {
        if (n > 0 && line[n - 1] == '\n') line[n - 1] = '\0';
        std::int32_t count = copy_mode ? drivers::split_copy(tokens, line) : drivers::split_inline(tokens, line);
        if (count != 10) {
            // After an in-place split the buffer shows its first field only.
            std::fprintf(stderr, "Error scanning line, expected 10, found %d\n", count);
            std::fprintf(stderr, "Line:\t%s", line);
            std::exit(1);
        }
        requests.merge(tokens.tokenv);
        drivers::reset_token(tokens);
    }
    const int read_errno = errno;
    const bool failed = std::ferror(file) != 0 || read_errno == ENOMEM;
    std::free(line);
    if (failed) {
        std::fprintf(stderr, "Error reading file %s: %s\n", request_file,
                     std::strerror(read_errno ? read_errno : EIO));
        std::exit(1);
    }
}

// Runs one Lintaro command; a failure is named on standard error and
// remembered, and the batch goes on.
void run_lintaro(const std::string &lintaro, const std::vector<std::string> &args, bool &any_failed)
{
    std::string command = lintaro;
    for (const auto &a : args) command += " " + a;
    std::printf("\n[%s]\n", command.c_str());
    any_failed |= drivers::run_batch_child(lintaro, args, command);
}

// The command's times are the SEED time alone: whatever follows the first
// 17 characters is dropped.
std::string seed_time(const std::string &t) { return t.substr(0, 17); }

int run(int argc, char **argv)
{
    const bool copy_mode = argc > 1 && std::strtol(argv[1], nullptr, 10) != 0;

    std::FILE *file = std::fopen(request_file, "r");
    if (!file) {
        std::fprintf(stderr, "Error opening file %s\n", request_file);
        return 1;
    }
    drivers::Requests requests;
    read_requests(file, copy_mode, requests);
    std::fclose(file);

    const std::string lintaro = drivers::tools_dir() + "/Lintaro";
    bool any_failed = false;

    std::printf("\n Generating station blockettes:\n\n");
    for (const auto &r : requests.rs) {
        std::printf("%5s %5s %.17s %.17s\n", r.station.c_str(), r.network.c_str(), r.start.c_str(),
                    r.end.c_str());
        run_lintaro(lintaro, {r.station + "." + r.network, seed_time(r.start), seed_time(r.end), "s"},
                    any_failed);
    }

    std::printf("\n Generating channel blockettes:\n\n");
    for (const auto &r : requests.rc) {
        std::printf("%5s %5s %5s %.17s %.17s\n", r.station.c_str(), r.network.c_str(),
                    r.channel.c_str(), r.start.c_str(), r.end.c_str());
        run_lintaro(lintaro,
                    {r.station + "." + r.network + ":" + r.channel, seed_time(r.start), seed_time(r.end), "c"},
                    any_failed);
    }

    std::printf("\n");
    return any_failed ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "Error: out of memory\n");
        return 1;
    }
}
