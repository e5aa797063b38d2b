#pragma once
// Whole files read into memory at once, for the user's small text files (settings, shaders): a path
// that is not a regular file, or a file larger than the caller allows, is refused before anything is
// allocated for it.
//
// Any thread; no shared state.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

enum class FileReadError {
    None,
    NotFound,
    // A directory, a device or anything else that is not a regular file.
    NotARegularFile,
    TooLarge,
    // It exists but could not be opened or read to the end (permissions, I/O errors).
    Unreadable,
};

struct FileContents {
    std::string bytes;
    FileReadError error = FileReadError::None;
    // The file's size when it was refused as too large.
    std::uintmax_t size = 0;

    bool Ok() const { return error == FileReadError::None; }
    // What went wrong, for a console line that names the file first: "not found", "is 9000000 bytes,
    // more than the 4194304 allowed", ...; empty when nothing did.
    std::string Describe(std::size_t maxBytes) const;
};

// The bytes of the regular file at `path`, read in binary mode, or the reason it was not read. A file
// of more than `maxBytes` is not read at all.
FileContents ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes);
