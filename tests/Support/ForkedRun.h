// Runs a piece of a test in a child process and measures it from outside: how it ended, its peak
// resident memory and its wall time. For inputs that used to crash the process or exhaust its memory:
// the test survives a crash to report it, and the figures are the child's own.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>

struct ForkedRun {
    bool exited = false;
    int exitCode = -1;
    // The signal that ended it, 0 when it exited.
    int signal = 0;
    // Peak resident set size (Linux counts what the child inherited at the fork too).
    long peakKilobytes = 0;
    double seconds = 0.0;

    bool ExitedWith(int code) const { return exited && exitCode == code; }
};

// Runs `body` in a forked child, which exits with body's result. Call it from a test process with no
// other threads running: only this thread is copied into the child.
inline ForkedRun RunForked(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    ForkedRun run;
    if (child < 0)
        return run;
    int status = 0;
    rusage usage {};
    if (wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return run;
}
