// Mebrisk: reads the request file "req", merges its lines into distinct
// station and channel requests and runs Lintaro once for each, stations
// first. It has no database access of its own.
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "drivers/batch.hpp"
#include "drivers/child.hpp"
#include "common/db/run_end.hpp"
#include "drivers/request.hpp"

namespace {

const char *const request_file = "req";

// printf into a string.
std::string formatted(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char *format, ...)
{
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(n > 0 ? static_cast<std::size_t>(n) + 1 : 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

// Ends the run: the text goes to standard error, the status is 1.
[[noreturn]] void end_run(std::string text) { throw rdb::RunEnd(1, std::move(text), rdb::Release::none); }

// Reads every line of the file whole, whatever its length, and merges it.
// Returns only when the whole file is read; a bad line ends the run.
void read_requests(std::FILE *file, bool copy_mode, drivers::Requests &requests)
{
    drivers::TokenList tokens;
    struct Line {
        char *text = nullptr;
        std::size_t size = 0;
        ~Line() { std::free(text); }
    } line;
    errno = 0;
    for (ssize_t n; (n = getline(&line.text, &line.size, file)) >= 0; errno = 0) {
        if (n > 0 && line.text[n - 1] == '\n') line.text[n - 1] = '\0';
        std::int32_t count =
            copy_mode ? drivers::split_copy(tokens, line.text) : drivers::split_inline(tokens, line.text);
        // After an in-place split the buffer shows its first field only.
        if (count != 10)
            end_run(formatted("Error scanning line, expected 10, found %d\n", count) +
                    formatted("Line:\t%s", line.text));
        requests.merge(tokens.tokenv);
        drivers::reset_token(tokens);
    }
    const int read_errno = errno;
    if (std::ferror(file) != 0 || read_errno == ENOMEM)
        end_run(formatted("Error reading file %s: %s\n", request_file, std::strerror(read_errno ? read_errno : EIO)));
}

// One Lintaro run of the batch: its request row, then "[COMMAND]", then
// what Lintaro prints.
drivers::BatchRun lintaro_run(const std::string &lintaro, const std::string &row, std::vector<std::string> args)
{
    std::string command = lintaro;
    for (const auto &a : args) command += " " + a;
    return {row + "\n\n[" + command + "]\n", lintaro, std::move(args), command};
}

// The command's times are the SEED time alone: whatever follows the first
// 17 characters is dropped.
std::string seed_time(const std::string &t) { return t.substr(0, 17); }

// RESPONSE_JOBS: how many Lintaro runs at once; 1 when unset.
int jobs_setting()
{
    const char *text = std::getenv("RESPONSE_JOBS");
    if (!text || !*text) return 1;
    char *end = nullptr;
    errno = 0;
    long jobs = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || jobs < 1 || jobs > 64) {
        end_run(formatted("Error: RESPONSE_JOBS must be a whole number from 1 to 64, not \"%s\"\n", text));
    }
    return static_cast<int>(jobs);
}

// Runs may overlap once the tree's dictionary exists: it is written by the
// first run that gets that far, as in a serial batch.
bool dictionary_exists()
{
    const char *root = std::getenv("DATA_ROOT");
    std::string path = std::string(root && *root ? root : "./HAR000") + "/H.A";
    return ::access(path.c_str(), F_OK) == 0;
}

int run(int argc, char **argv)
{
    const bool copy_mode = argc > 1 && std::strtol(argv[1], nullptr, 10) != 0;
    const int jobs = jobs_setting();

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(request_file, "r"), &std::fclose);
    if (!file) {
        std::fprintf(stderr, "Error opening file %s\n", request_file);
        return 1;
    }
    drivers::Requests requests;
    read_requests(file.get(), copy_mode, requests);
    file.reset();

    const std::string lintaro = drivers::tools_dir() + "/Lintaro";
    std::vector<drivers::BatchRun> station_runs, channel_runs;
    for (const auto &r : requests.rs)
        station_runs.push_back(lintaro_run(
            lintaro, formatted("%5s %5s %.17s %.17s", r.station.c_str(), r.network.c_str(), r.start.c_str(), r.end.c_str()),
            {r.station + "." + r.network, seed_time(r.start), seed_time(r.end), "s"}));
    for (const auto &r : requests.rc)
        channel_runs.push_back(lintaro_run(lintaro,
                                           formatted("%5s %5s %5s %.17s %.17s", r.station.c_str(), r.network.c_str(),
                                                     r.channel.c_str(), r.start.c_str(), r.end.c_str()),
                                           {r.station + "." + r.network + ":" + r.channel, seed_time(r.start),
                                            seed_time(r.end), "c"}));

    // Every station run first: a channel run needs its station's directory.
    std::printf("\n Generating station blockettes:\n\n");
    bool any_failed = drivers::run_batch(station_runs, jobs, dictionary_exists);
    std::printf("\n Generating channel blockettes:\n\n");
    any_failed |= drivers::run_batch(channel_runs, jobs, dictionary_exists);

    std::printf("\n");
    return any_failed ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    try {
        return run(argc, argv);
    } catch (const rdb::RunEnd &end) {
        std::fputs(end.text().c_str(), stderr);
        return end.status();
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "Error: out of memory\n");
        return 1;
    }
}
