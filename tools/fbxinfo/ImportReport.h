// fbxinfo FILE --import [--json]: runs the engine's FBX import on a file, with the arguments the model
// cache uses, and prints what it produced. Needs no window or GL context: the import stops before any
// upload.
#pragma once

namespace fbxinfo {

// Prints the import of `path` to stdout, as one JSON object when `json` is set, and returns the
// ImportStatus value.
int ReportImport(const char* path, bool json);

} // namespace fbxinfo
