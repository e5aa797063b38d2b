#include "Core/Problems.h"

#include <iostream>
#include <mutex>
#include <string>
#include <unordered_set>

bool ReportFileProblem(std::string_view file, std::string_view problem)
{
    static std::mutex mutex;
    // Never freed: lines may be reported while static objects are being destroyed at exit.
    static auto* said = new std::unordered_set<std::string>();
    std::string line;
    line.reserve(file.size() + 2 + problem.size());
    line.append(file).append(": ").append(problem);
    const std::lock_guard lock(mutex);
    if (!said->insert(line).second)
        return false;
    std::cerr << line << std::endl;
    return true;
}
