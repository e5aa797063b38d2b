// measured-run FD COMMAND [ARGUMENT...]: runs COMMAND (a path) with its arguments, the output going
// where this program's goes, and once it has ended writes one line to file descriptor FD saying how it
// ended, the most memory it held resident and how long it took:
//
//   exit 2 peak-kb 10288 elapsed-us 12345      (or "signal 6 ..." when a signal ended it)
//
// Tests start the command through this small program rather than themselves: the peak the kernel
// reports for a child (wait4's ru_maxrss) counts the memory of the process it was forked from, and a
// test process may hold far more than the command under test.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// sysexits.h's EX_USAGE and EX_OSERR.
constexpr int kUsageStatus = 64;
constexpr int kSystemErrorStatus = 71;
// What a child that could not start its command ends with, as shells report it.
constexpr int kCannotExecuteStatus = 127;

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: measured-run FD COMMAND [ARGUMENT...]\n", stderr);
        return kUsageStatus;
    }
    const int report = std::atoi(argv[1]);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(report);
        execv(argv[2], argv + 2);
        _exit(kCannotExecuteStatus);
    }
    int status = 0;
    rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return kSystemErrorStatus;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const bool exited = WIFEXITED(status);
    dprintf(report, "%s %d peak-kb %ld elapsed-us %lld\n", exited ? "exit" : "signal",
        exited ? WEXITSTATUS(status) : WTERMSIG(status), usage.ru_maxrss,
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));
    close(report);
    return 0;
}
