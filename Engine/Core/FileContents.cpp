#include "Core/FileContents.h"

#include <fstream>
#include <system_error>

std::string FileContents::Describe(std::size_t maxBytes) const
{
    switch (error) {
    case FileReadError::None: return {};
    case FileReadError::NotFound: return "not found";
    case FileReadError::NotARegularFile: return "cannot be read: it is not a regular file";
    case FileReadError::TooLarge:
        return "cannot be read: it is " + std::to_string(size) + " bytes, more than the " + std::to_string(maxBytes)
            + " allowed";
    case FileReadError::Unreadable: return "cannot be read";
    }
    return "cannot be read";
}

FileContents ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes)
{
    FileContents contents;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        contents.error = FileReadError::NotFound;
        return contents;
    }
    if (error) {
        contents.error = FileReadError::Unreadable;
        return contents;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        contents.error = FileReadError::NotARegularFile;
        return contents;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        contents.error = FileReadError::Unreadable;
        return contents;
    }
    if (size > maxBytes) {
        contents.error = FileReadError::TooLarge;
        contents.size = size;
        return contents;
    }

    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        contents.error = FileReadError::Unreadable;
        return contents;
    }
    contents.bytes.resize(static_cast<std::size_t>(size));
    file.read(contents.bytes.data(), static_cast<std::streamsize>(size));
    // A file that shrank while being read keeps what was there; one that could not be read at all
    // is an error.
    contents.bytes.resize(static_cast<std::size_t>(file.gcount()));
    if (file.bad()) {
        contents.bytes.clear();
        contents.error = FileReadError::Unreadable;
    }
    return contents;
}
