#pragma once
// Problems with the user's files (settings, models, textures, shaders) said on the console: one line
// on standard error, "<file>: <what was wrong>[; <what the program does instead>]", printed once per
// file and problem however often the file is asked for. Control characters (a line break in a file's
// name, or in what a file says of itself) are written as \xNN, so a problem is always one line.
//
// Main thread, or any thread that does not race another on the same line: the record of what was
// said is guarded, the output stream is the standard library's.

#include <string>
#include <string_view>

// Prints "<file>: <problem>" unless that exact line was printed before. Returns whether it printed.
bool ReportFileProblem(std::string_view file, std::string_view problem);
