#include "Core/Problems.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <unordered_set>

namespace {

// A file's name and what it says (an FBX element's name, an image's chunk type) may hold any byte: the
// control characters among them are written out, so that each problem stays one line.
void AppendPrintable(std::string& line, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            line += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            line += escaped;
        }
    }
}

} // namespace

bool ReportFileProblem(std::string_view file, std::string_view problem)
{
    static std::mutex mutex;
    // Never freed: lines may be reported while static objects are being destroyed at exit.
    static auto* said = new std::unordered_set<std::string>();
    std::string line;
    line.reserve(file.size() + 2 + problem.size());
    AppendPrintable(line, file);
    line.append(": ");
    AppendPrintable(line, problem);
    const std::lock_guard lock(mutex);
    if (!said->insert(line).second)
        return false;
    std::cerr << line << std::endl;
    return true;
}
