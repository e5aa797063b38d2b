#pragma once
// Where the running program's executable file is, so that an installed program can find the data
// installed beside it wherever it was unpacked or started from.
//
// Any thread.
#include <filesystem>

// The absolute path of the running executable with every symbolic link resolved, or an empty path
// when the system cannot say (no /proc mounted, for instance).
std::filesystem::path ExecutablePath();
