#include "PngFile.h"

#include <stb_image_write.h>

#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kBytesPerPixel = 4;

void AppendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// Beside the target, so that the rename stays on one file system; random, so that two runs writing
// the same picture do not write into each other's temporary file.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& path)
{
    std::random_device random;
    // Appended piece by piece: gcc 12 at -O3 warns falsely (-Wrestrict) about "." + std::string&&.
    std::string name = ".";
    name += path.filename().string();
    name += ".partial-";
    name += std::to_string(random());
    return path.parent_path() / name;
}

} // namespace

bool WritePng(const Picture& picture, const std::filesystem::path& path, std::string& problem)
{
    std::vector<std::uint8_t> png;
    const int stride = picture.width * kBytesPerPixel;
    if (stbi_write_png_to_func(
            AppendBytes, &png, picture.width, picture.height, kBytesPerPixel, picture.rgba.data(), stride)
        == 0) {
        problem = "the picture could not be encoded as PNG";
        return false;
    }

    const std::filesystem::path temporary = TemporaryNameFor(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            problem = "cannot be written";
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        problem = "cannot be written: " + error.message();
        return false;
    }
    return true;
}
