#include "child.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace drivers {

std::string tools_dir()
{
    const char *env = std::getenv("RESPONSE_TOOLS_DIR");
    if (env && *env) return env;
    std::string exe(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= exe.size()) return ".";
    exe.resize(static_cast<std::size_t>(n));
    std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : exe.substr(0, slash);
}

ChildOutcome run_child(const std::string &path, const std::vector<std::string> &args)
{
    std::vector<std::string> words;
    words.reserve(args.size() + 1);
    words.push_back(path);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    argv.reserve(words.size() + 1);
    for (auto &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) return {ChildOutcome::Kind::not_started, rc};

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return {ChildOutcome::Kind::not_started, errno};
    }
    if (WIFSIGNALED(status)) return {ChildOutcome::Kind::signaled, WTERMSIG(status)};
    return {ChildOutcome::Kind::exited, WEXITSTATUS(status)};
}

std::string describe(const ChildOutcome &outcome)
{
    switch (outcome.kind) {
    case ChildOutcome::Kind::exited:
        return "exit status " + std::to_string(outcome.code);
    case ChildOutcome::Kind::signaled:
        return "killed by signal " + std::to_string(outcome.code);
    case ChildOutcome::Kind::not_started:
        break;
    }
    return std::string("not started: ") + std::strerror(outcome.code);
}

bool run_batch_child(const std::string &path, const std::vector<std::string> &args, const std::string &command)
{
    ChildOutcome outcome = run_child(path, args);
    if (!outcome.failed()) return false;
    std::fprintf(stderr, "Failed (%s): %s\n", describe(outcome).c_str(), command.c_str());
    return true;
}

std::vector<std::string> blank_words(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\n') ++i;
        if (i > start) words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

}  // namespace drivers
