// Runs tavolin-watch as a program: its standard output and exit code, for
// the tests of its options in every library that adds some.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace watchtest {

struct ProgramRun {
    std::string output; // standard output
    int exitCode = -1;  // -1: killed at the deadline
};

// Runs tavolin-watch with `args` under loopback-only mode and collects its
// standard output until it exits, or kills it after `limit`.
inline ProgramRun runWatch(std::vector<std::string> args, std::chrono::milliseconds limit) {
    ProgramRun run;
    setenv("TAVOLIN_LOOPBACK_ONLY", "1", 1);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    args.insert(args.begin(), TAVOLIN_WATCH_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return run;
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
            kill(child, SIGKILL);
            break;
        }
        char buffer[4096];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break; // the program closed its output: it is ending
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

} // namespace watchtest
