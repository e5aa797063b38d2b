// Runs a shell command as a user would run a tool, and keeps what it printed and how it ended. For
// the tests that drive the command-line tools as child processes.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

struct CommandRun {
    // Standard output, and standard error too when the command redirects it there.
    std::string output;
    // Standard error, when the command was run by RunCommandWithErrors.
    std::string errors;
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

// As RunCommand, with standard error kept apart in `errors` (through a file of its own in the system's
// temporary folder, removed afterwards): for the tests that say which stream a text goes to.
inline CommandRun RunCommandWithErrors(const std::string& command)
{
    std::string errorFile = (std::filesystem::temp_directory_path() / "tarnwick-stderr-XXXXXX").string();
    const int descriptor = mkstemp(errorFile.data());
    if (descriptor < 0)
        return {};
    close(descriptor);
    CommandRun run = RunCommand("{ " + command + " ; } 2>'" + errorFile + "'");
    std::ifstream errors(errorFile, std::ios::binary);
    run.errors.assign(std::istreambuf_iterator<char>(errors), std::istreambuf_iterator<char>());
    std::remove(errorFile.c_str());
    return run;
}
