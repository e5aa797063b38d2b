// fbxinfo FILE [--json]: what the FBX reader sees in a file (FileContents.h), as text or as one
// JSON object.
#pragma once

namespace fbxinfo {

// Prints the report on `path` to stdout, as one JSON object when `json` is set, and returns the exit
// status: 0 when the file was read, 2 when it was not.
int ReportFile(const char* path, bool json);

} // namespace fbxinfo
