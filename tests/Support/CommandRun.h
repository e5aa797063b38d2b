// Runs a shell command as a user would run a tool, and keeps what it printed and how it ended. For
// the tests that drive the command-line tools as child processes.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct CommandRun {
    // Standard output, and standard error too when the command redirects it there.
    std::string output;
    // The exit status, or -1 when the command did not exit normally.
    int status = -1;
};

inline CommandRun RunCommand(const std::string& command)
{
    CommandRun run;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            run.output.append(buffer, n);
        const int status = pclose(pipe);
        if (WIFEXITED(status))
            run.status = WEXITSTATUS(status);
    }
    return run;
}
