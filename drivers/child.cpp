#include "drivers/child.hpp"

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

int start_child(const std::string &path, const std::vector<std::string> &args, int out_fd, int err_fd,
                pid_t &pid)
{
    std::vector<std::string> words;
    words.reserve(args.size() + 1);
    words.push_back(path);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    argv.reserve(words.size() + 1);
    for (auto &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
    if (err_fd >= 0) posix_spawn_file_actions_adddup2(&actions, err_fd, STDERR_FILENO);
    int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

ChildOutcome outcome_of(int status)
{
    if (WIFSIGNALED(status)) return {ChildOutcome::Kind::signaled, WTERMSIG(status)};
    return {ChildOutcome::Kind::exited, WEXITSTATUS(status)};
}

ChildOutcome run_child(const std::string &path, const std::vector<std::string> &args)
{
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = 0;
    if (int rc = start_child(path, args, -1, -1, pid); rc != 0) return {ChildOutcome::Kind::not_started, rc};
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return {ChildOutcome::Kind::not_started, errno};
    }
    return outcome_of(status);
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

bool report_failure(const ChildOutcome &outcome, const std::string &command)
{
    if (!outcome.failed()) return false;
    std::fprintf(stderr, "Failed (%s): %s\n", describe(outcome).c_str(), command.c_str());
    return true;
}

bool run_batch_child(const std::string &path, const std::vector<std::string> &args, const std::string &command)
{
    return report_failure(run_child(path, args), command);
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
