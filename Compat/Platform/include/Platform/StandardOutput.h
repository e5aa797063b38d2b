#pragma once
// A tool whose standard output carries one machine-readable result (a JSON line) keeps everything
// else off it: whatever the process prints there afterwards, its own messages or a library's (a
// shader compiler's log), goes to standard error with the other messages.
//
// Main thread, before any other thread prints.

#include <cstdio>

// Points the process's standard output at its standard error and returns a stream on what standard
// output was, for the result alone; null when there was none to keep (it was closed), in which case
// standard output is left as it was (and where the system has no such call). The stream is the
// caller's to close.
std::FILE* SetStandardOutputAside();
