#include "OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// As many links as Linux follows in one path before it gives up (ELOOP).
constexpr int kMaxLinksFollowed = 40;

// What sits at a place that may not be replaced, as the message names it.
const char* KindOf(fs::file_type type)
{
    switch (type) {
    case fs::file_type::directory: return "a folder";
    case fs::file_type::block: return "a block device";
    case fs::file_type::character: return "a character device";
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::socket: return "a socket";
    case fs::file_type::symlink: return "a symbolic link";
    default: return "something other than a regular file";
    }
}

std::string Refusal(fs::file_type type)
{
    return std::string("it is ") + KindOf(type) + ", and only a regular file is replaced";
}

// Beside the target, so that the rename stays on one file system; random, so that two runs writing
// the same picture do not write into each other's temporary file.
fs::path TemporaryNameFor(const fs::path& path)
{
    std::random_device random;
    // Appended piece by piece: gcc 12 at -O3 warns falsely (-Wrestrict) about "." + std::string&&.
    std::string name = ".";
    name += path.filename().string();
    name += ".partial-";
    name += std::to_string(random());
    return path.parent_path() / name;
}

// The system's words for the error in errno.
std::string SystemReason()
{
    return std::strerror(errno);
}

// Writes `bytes` into a new file at `path`, which must not exist (so nothing planted there, a link
// least of all, is written through).
bool WriteNewFile(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& problem)
{
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr) {
        problem = SystemReason();
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
    if (!written)
        problem = SystemReason();
    // A full disk may only show when the last buffered bytes go out.
    if (std::fclose(file) != 0 && written) {
        problem = SystemReason();
        written = false;
    }
    if (!written) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    return written;
}

// Whether the folder a new file at `path` would go into is missing or not a folder, said in `problem`
// as the system would say it when the file is made.
bool FolderProblem(const fs::path& path, std::string& problem)
{
    std::error_code error;
    const fs::file_status folder = fs::status(path.parent_path(), error);
    if (folder.type() == fs::file_type::directory)
        return false;
    if (error)
        problem = error.message();
    else
        problem = std::make_error_code(std::errc::not_a_directory).message();
    return true;
}

} // namespace

fs::path PlaceToWrite(const fs::path& path, std::string& problem)
{
    fs::path place = path;
    for (int followed = 0;; ++followed) {
        std::error_code error;
        const fs::file_type type = fs::symlink_status(place, error).type();
        if (type == fs::file_type::regular)
            return place;
        if (type == fs::file_type::not_found)
            return FolderProblem(place, problem) ? fs::path() : place;
        if (type != fs::file_type::symlink) {
            problem = error ? error.message() : Refusal(type);
            return {};
        }
        if (followed == kMaxLinksFollowed) {
            problem = std::make_error_code(std::errc::too_many_symbolic_link_levels).message();
            return {};
        }
        const fs::path target = fs::read_symlink(place, error);
        if (error) {
            problem = error.message();
            return {};
        }
        place = target.is_absolute() ? target : place.parent_path() / target;
    }
}

bool WriteWholeFile(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& problem)
{
    const fs::path temporary = TemporaryNameFor(path);
    if (!WriteNewFile(temporary, bytes, problem))
        return false;
    // What is at the place now, not what was there when the run began.
    std::error_code error;
    const fs::file_type type = fs::symlink_status(path, error).type();
    if (type != fs::file_type::not_found && type != fs::file_type::regular) {
        problem = error ? error.message() : Refusal(type);
    } else {
        fs::rename(temporary, path, error);
        if (!error)
            return true;
        problem = error.message();
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
}
