#include "Graphics/Texture.h"

#include "Core/Problems.h"
#include "Graphics/ImageChecks.h"

#include <glad/gl.h>
#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_map>

namespace {

// ---- checks before decoding

// A PNG starts with its signature and then its IHDR chunk: length, type, width, height (big-endian),
// bit depth and colour type.
constexpr std::size_t kPngHeaderBytes = 26;
// What is read of a file before anything is decoded: enough for any format's size.
constexpr std::size_t kHeaderBytes = 64;

struct ImageSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t channels = 0;
    std::uint64_t bytesPerComponent = 1;

    std::uint64_t Bytes() const { return width * height * channels * bytesPerComponent; }
};

std::uint64_t BigEndian32(const std::uint8_t* bytes)
{
    return std::uint64_t(bytes[0]) << 24 | std::uint64_t(bytes[1]) << 16 | std::uint64_t(bytes[2]) << 8 | bytes[3];
}

// The size a PNG's header declares, read by us: stb_image refuses a very large PNG as "unknown image
// type" before saying its size. A palette counts four components, as it may carry transparency.
std::optional<ImageSize> PngHeaderSize(const std::uint8_t* header, std::size_t size)
{
    if (size < kPngHeaderBytes || !StartsAsPng(header, size) || std::memcmp(header + 12, "IHDR", 4) != 0)
        return std::nullopt;
    ImageSize image;
    image.width = BigEndian32(header + 16);
    image.height = BigEndian32(header + 20);
    image.bytesPerComponent = header[24] == 16 ? 2 : 1;
    switch (header[25]) {
    case 0: image.channels = 1; break;
    case 2: image.channels = 3; break;
    case 3: image.channels = 4; break;
    case 4: image.channels = 2; break;
    case 6: image.channels = 4; break;
    default: return std::nullopt; // stb_image names what is wrong
    }
    return image;
}

std::optional<std::string> SizeProblem(const ImageSize& image)
{
    // stb_image decodes a Radiance or PNM header of no width into an image of nothing, which could
    // only be drawn as the default texture without a word.
    if (image.width == 0 || image.height == 0)
        return "is " + std::to_string(image.width) + " x " + std::to_string(image.height)
            + " pixels, an image with nothing to draw";
    if (image.width <= kMaxTextureSide && image.height <= kMaxTextureSide && image.Bytes() <= kMaxTextureBytes)
        return std::nullopt;
    return "is " + std::to_string(image.width) + " x " + std::to_string(image.height) + " pixels ("
        + std::to_string(image.Bytes()) + " bytes decoded), more than a texture may be ("
        + std::to_string(kMaxTextureSide) + " x " + std::to_string(kMaxTextureSide) + ", "
        + std::to_string(kMaxTextureBytes) + " bytes)";
}

// stb_image's reason, which may quote bytes of the file ("XXXX PNG chunk not known" with the chunk's
// type).
std::string Undecodable()
{
    const char* reason = stbi_failure_reason();
    return "is not an image that can be decoded (" + Printable(reason != nullptr ? reason : "no reason given") + ")";
}

// What a component takes while stb_image decodes it, before it is made 8 bits: a float in a Radiance
// HDR image (a header of fifty bytes may declare 8192 x 8192 pixels, a gigabyte of floats), two bytes
// in a 16-bit PNG, PSD or PNM image, else one.
struct ComponentKind {
    bool sixteenBits = false;
    bool floats = false;

    std::uint64_t Bytes() const { return floats ? sizeof(float) : sixteenBits ? 2 : 1; }
};

// Why the image cannot be used, or nothing: from the first bytes of its source, then from what
// stb_image reads of the source's header (`info` fills width, height, components and their kind).
template <class Info>
std::optional<std::string> HeaderProblem(const std::uint8_t* header, std::size_t headerSize, Info info)
{
    if (const std::optional<ImageSize> png = PngHeaderSize(header, headerSize))
        if (std::optional<std::string> problem = SizeProblem(*png))
            return problem;
    int width = 0, height = 0, channels = 0;
    ComponentKind kind;
    if (!info(width, height, channels, kind))
        return Undecodable();
    ImageSize image;
    image.width = std::uint64_t(width);
    image.height = std::uint64_t(height);
    image.channels = std::uint64_t(channels);
    image.bytesPerComponent = kind.Bytes();
    return SizeProblem(image);
}

// ---- decoding

DecodedImage Refused(std::string problem)
{
    DecodedImage image;
    image.problem = std::move(problem);
    return image;
}

// Decodes an open file from its current position: 8 bits per component (16-bit images are reduced),
// components as stored, no vertical flip. stb_image seeks the file back over what it buffered but
// did not use.
DecodedImage DecodeOpenFile(std::FILE* file)
{
    std::uint8_t header[kHeaderBytes] = {};
    const long start = std::ftell(file);
    const std::size_t headerSize = std::fread(header, 1, sizeof header, file);
    const long end = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (start < 0 || end < start || std::fseek(file, start, SEEK_SET) != 0)
        return Refused("cannot be read");
    if (auto problem = HeaderProblem(header, headerSize, [file](int& w, int& h, int& c, ComponentKind& kind) {
            kind.sixteenBits = stbi_is_16_bit_from_file(file) != 0;
            kind.floats = stbi_is_hdr_from_file(file) != 0;
            return stbi_info_from_file(file, &w, &h, &c) != 0;
        }))
        return Refused(std::move(*problem));
    ImageSource source;
    source.size = std::uint64_t(end - start);
    source.read = [file, start](std::uint64_t offset, std::uint8_t* bytes, std::size_t count) -> std::size_t {
        return std::fseek(file, start + static_cast<long>(offset), SEEK_SET) == 0 ? std::fread(bytes, 1, count, file)
                                                                                  : 0;
    };
    std::optional<std::string> problem = ImageDataProblem(source);
    if (std::fseek(file, start, SEEK_SET) != 0)
        return Refused("cannot be read");
    if (problem)
        return Refused(std::move(*problem));
    DecodedImage image;
    image.pixels.reset(stbi_load_from_file(file, &image.width, &image.height, &image.channels, 0));
    if (image.pixels == nullptr)
        image.problem = Undecodable();
    return image;
}

DecodedImage DecodeImageFile(const char* path)
{
    std::error_code error;
    const auto type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::not_found)
        return Refused("not found");
    if (type != std::filesystem::file_type::regular)
        return Refused("cannot be read: it is not a regular file");
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return Refused("cannot be read");
    DecodedImage image = DecodeOpenFile(file);
    std::fclose(file);
    return image;
}

// ---- upload

// GL_RGB for 3 components and GL_RGBA for 4; zero when there is no colour format for the count.
GLenum PixelFormat(int channels)
{
    switch (channels) {
    case 1: return GL_RED;
    case 2: return GL_RG;
    case 3: return GL_RGB;
    case 4: return GL_RGBA;
    default: return 0;
    }
}

// Single-channel images read as grey and two-channel ones as grey plus alpha, as they were meant.
void SwizzleToGrey(int channels)
{
    if (channels == 1) {
        const GLint grey[4] = { GL_RED, GL_RED, GL_RED, GL_ONE };
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, grey);
    } else if (channels == 2) {
        const GLint greyAlpha[4] = { GL_RED, GL_RED, GL_RED, GL_GREEN };
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, greyAlpha);
    }
}

// A new texture for the slot, with the image when there is one. Without pixels the slot keeps its
// previous size and component count, as stb_image leaves them.
bool Upload(const DecodedImage& image, Texture& texture)
{
    texture.hasImage = false;
    if (image.pixels != nullptr) {
        texture.width = image.width;
        texture.height = image.height;
        texture.channels = image.channels;
    }
    glGenTextures(1, &texture.id);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    // Without a usable component count there is no format to upload with; the texture stays empty.
    const GLenum format = PixelFormat(texture.channels);
    if (image.pixels != nullptr && format != 0 && texture.width > 0 && texture.height > 0) {
        SwizzleToGrey(texture.channels);
        // Rows are tightly packed: an RGB row of odd width is not a multiple of GL's default 4.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), texture.width, texture.height, 0, format,
            GL_UNSIGNED_BYTE, image.pixels.get());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glGenerateMipmap(GL_TEXTURE_2D);
        texture.hasImage = true;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture.hasImage;
}

// ---- the cache

// What a path looked like when it was loaded: asked for again unchanged, it is the same image.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified {};

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const char* path)
{
    FileStamp stamp;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    stamp.exists = std::filesystem::exists(status);
    if (!stamp.exists)
        return stamp;
    stamp.size = std::filesystem::is_regular_file(status) ? std::filesystem::file_size(path, error) : 0;
    stamp.modified = std::filesystem::last_write_time(path, error);
    return stamp;
}

struct LoadedFile {
    FileStamp stamp;
    Texture texture;
};

// Never freed: textures live as long as the program.
std::unordered_map<std::string, LoadedFile>& LoadedFiles()
{
    static auto* files = new std::unordered_map<std::string, LoadedFile>();
    return *files;
}

} // namespace

void DecodedImage::Free::operator()(unsigned char* pixels) const
{
    stbi_image_free(pixels);
}

DecodedImage DecodeImage(const std::uint8_t* bytes, std::size_t size)
{
    // stb_image takes the length as an int.
    if (size > std::size_t(INT_MAX))
        return Refused("is " + std::to_string(size) + " bytes, more than an image may be");
    const int length = static_cast<int>(size);
    if (auto problem = HeaderProblem(bytes, size, [bytes, length](int& w, int& h, int& c, ComponentKind& kind) {
            kind.sixteenBits = stbi_is_16_bit_from_memory(bytes, length) != 0;
            kind.floats = stbi_is_hdr_from_memory(bytes, length) != 0;
            return stbi_info_from_memory(bytes, length, &w, &h, &c) != 0;
        }))
        return Refused(std::move(*problem));
    ImageSource source;
    source.size = size;
    source.read = [bytes, size](std::uint64_t offset, std::uint8_t* into, std::size_t count) -> std::size_t {
        const std::size_t available = offset < size ? std::min<std::size_t>(count, size - offset) : 0;
        std::memcpy(into, bytes + std::min<std::uint64_t>(offset, size), available);
        return available;
    };
    if (std::optional<std::string> problem = ImageDataProblem(source))
        return Refused(std::move(*problem));
    DecodedImage image;
    image.pixels.reset(stbi_load_from_memory(bytes, length, &image.width, &image.height, &image.channels, 0));
    if (image.pixels == nullptr)
        image.problem = Undecodable();
    return image;
}

bool LoadTexture(const char* path, Texture& texture)
{
    const FileStamp stamp = StampOf(path);
    auto& files = LoadedFiles();
    if (auto loaded = files.find(path);
        loaded != files.end() && loaded->second.stamp == stamp && glIsTexture(loaded->second.texture.id)) {
        const Texture& shared = loaded->second.texture;
        // A slot given no image keeps its own size, as a fresh load would leave it.
        if (shared.hasImage)
            texture = shared;
        texture.id = shared.id;
        texture.hasImage = shared.hasImage;
        return texture.hasImage;
    }
    const DecodedImage image = DecodeImageFile(path);
    if (image.pixels == nullptr)
        ReportFileProblem(path, image.problem + "; the default texture is drawn instead");
    Upload(image, texture);
    files[path] = LoadedFile { stamp, texture };
    return texture.hasImage;
}

bool LoadTextureFromMemory(
    const std::string& file, const std::string& what, const std::uint8_t* bytes, std::size_t size, Texture& texture)
{
    const DecodedImage image = DecodeImage(bytes, size);
    if (image.pixels == nullptr)
        ReportFileProblem(file, what + " " + image.problem + "; the default texture is drawn instead");
    return Upload(image, texture);
}
