#pragma once
// Files written whole or not at all, and only where a regular file may be: the tool's pictures.
//
// A picture goes into a temporary file beside its place and is renamed over it once complete, so no
// reader ever sees half of it and a failed write leaves nothing behind. That rename would replace
// whatever is at the place, so only a regular file (or nothing) is ever replaced: a symbolic link is
// followed to the file it finally names, which is written instead, and a folder, device, FIFO or
// socket is refused. Any thread; two writers of one place leave one of their files there whole.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// Where a file asked for at `path` is written: `path` itself when nothing or a regular file is there,
// the file a symbolic link finally names (which need not exist yet) when it is a link. Empty, with the
// reason in `problem`, when what is there may not be replaced (a folder, device, FIFO or socket),
// cannot be looked at (too many links, no permission to look) or has no folder to go into.
std::filesystem::path PlaceToWrite(const std::filesystem::path& path, std::string& problem);

// Writes `bytes` as the file at `path` (a place PlaceToWrite gave: it is checked again just before
// the rename, so something put there meanwhile is not replaced either). Returns false, with the
// system's reason in `problem` and nothing left behind, when it could not.
bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string& problem);
