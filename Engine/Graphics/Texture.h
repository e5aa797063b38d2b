#pragma once
// Textures: images decoded with stb_image and uploaded as mipmapped 2D textures.
//
// Each image file is decoded and uploaded once per run: every slot that loads the same unchanged file
// gets the same texture, so a thousand renderers of the default images cost the GL memory of three.
// A file that changed since (its size or modification time) is loaded anew. Nothing is ever deleted.
//
// Main thread only, with the GL context current; DecodeImage touches no GL and may run anywhere.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct Texture {
    // Marks a slot with no texture loaded yet.
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;

    std::int32_t width = 0;
    std::int32_t height = 0;
    // Components per pixel as stored in the image file.
    std::int32_t channels = 0;
    std::uint32_t id = kEmpty;
    // Whether an image was uploaded: false for a slot whose file was missing or could not be used.
    bool hasImage = false;
};

// What a decoded texture may be: beyond this a small compressed file could ask for gigabytes. The
// bytes count what the decoder really holds: two per component for a 16-bit image, four (a float) for
// a Radiance HDR image.
constexpr int kMaxTextureSide = 16384;
constexpr std::uint64_t kMaxTextureBytes = std::uint64_t(256) << 20;

// An image's pixels, 8 bits a component, as many components as the file stores, top row first; or,
// without pixels, why the image cannot be used ("is not an image that can be decoded (...)", "is
// 20000 x 20000 pixels (...), more than a texture may be (...)").
struct DecodedImage {
    struct Free {
        void operator()(unsigned char* pixels) const;
    };
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<unsigned char, Free> pixels;
    std::string problem;
};

// Decodes an image held in memory (PNG, JPEG, TGA, BMP and the other formats stb_image reads). Its
// size is checked from its header, and its data as far as stb_image would act on it unchecked (a
// PNG's chunks, a Radiance image's scanlines) against the file's length, before anything is decoded.
DecodedImage DecodeImage(const std::uint8_t* bytes, std::size_t size);

// Loads the image at `path` into `texture` and returns whether it had an image to upload. A file that
// is missing, not a regular file, undecodable or larger than a texture may be still gives the slot a
// texture name, with no image and hasImage false, and is named once on the console; a mesh renderer
// draws that slot with its default texture.
bool LoadTexture(const char* path, Texture& texture);

// Loads an image held in memory (an image an FBX file embeds) as LoadTexture loads a file: the same
// checks, each call a texture of its own. A problem is said as "<file>: <what> <problem>; ...", so
// `what` names the image within `file` ("embedded image \"wood.png\"").
bool LoadTextureFromMemory(
    const std::string& file, const std::string& what, const std::uint8_t* bytes, std::size_t size, Texture& texture);
