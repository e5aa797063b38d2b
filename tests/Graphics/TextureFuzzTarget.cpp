// libFuzzer entry for texture images: any bytes are decoded as an embedded image or a texture file
// is, through our header checks and caps over stb_image. What comes out is within the caps, and an
// image refused says why in one line.
#include "Graphics/Texture.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const DecodedImage image = DecodeImage(data, size);
    if (image.pixels == nullptr) {
        if (image.problem.empty() || image.problem.find('\n') != std::string::npos)
            std::abort();
        return 0;
    }
    const std::uint64_t bytes = std::uint64_t(image.width) * std::uint64_t(image.height)
        * std::uint64_t(image.channels);
    if (!image.problem.empty() || image.width < 1 || image.height < 1 || image.width > kMaxTextureSide
        || image.height > kMaxTextureSide || image.channels < 1 || image.channels > 4 || bytes > kMaxTextureBytes)
        std::abort();
    // Every pixel is there to be uploaded.
    volatile unsigned char last = image.pixels.get()[bytes - 1];
    (void)last;
    return 0;
}
