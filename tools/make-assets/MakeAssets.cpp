// Writes the data files the program ships that we make ourselves, byte for byte reproducibly: the
// default textures a mesh renderer puts into empty material slots, the cabin's wood textures and
// every model of the demo scene.
// Usage: make-assets ASSETS_DIR   (e.g. make-assets Assets)
#include "CabinModels.h"
#include "WoodTexture.h"

#include <stb_image_write.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultTextureSize = 4;
constexpr int kWoodTextureSize = 512;

struct Rgb {
    unsigned char r, g, b;
};

bool WriteSolidPng(const std::filesystem::path& path, Rgb color)
{
    std::vector<unsigned char> pixels;
    for (int i = 0; i < kDefaultTextureSize * kDefaultTextureSize; ++i)
        pixels.insert(pixels.end(), { color.r, color.g, color.b });
    bool ok = stbi_write_png(path.string().c_str(), kDefaultTextureSize, kDefaultTextureSize, 3, pixels.data(),
                  kDefaultTextureSize * 3)
        != 0;
    if (!ok)
        std::fprintf(stderr, "make-assets: cannot write %s\n", path.string().c_str());
    return ok;
}

bool WritePng(const std::filesystem::path& path, const RgbImage& image)
{
    bool ok = stbi_write_png(path.string().c_str(), image.width, image.height, 3, image.pixels.data(), image.width * 3)
        != 0;
    if (!ok)
        std::fprintf(stderr, "make-assets: cannot write %s\n", path.string().c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-assets ASSETS_DIR\n");
        return 2;
    }
    const std::filesystem::path textures = std::filesystem::path(argv[1]) / "Textures";
    std::filesystem::create_directories(textures);

    bool ok = true;
    // Diffuse: white, so the material's albedo alone gives the colour.
    ok &= WriteSolidPng(textures / "T_Default_C.png", { 255, 255, 255 });
    // Normal map: the flat tangent-space normal (0.5, 0.5, 1).
    ok &= WriteSolidPng(textures / "T_Default_N.png", { 128, 128, 255 });
    // Ambient occlusion, roughness and metallic: white, no occlusion.
    ok &= WriteSolidPng(textures / "T_Default_M.png", { 255, 255, 255 });
    ok &= WritePng(textures / "CabinWallTexture.png", PaintWoodColour(kWoodTextureSize));
    ok &= WritePng(textures / "CabinWallTexture_N.png", PaintWoodNormals(kWoodTextureSize));

    const std::filesystem::path models = std::filesystem::path(argv[1]) / "Models";
    std::filesystem::create_directories(models);
    ok &= WriteCabinModels(models.string());
    return ok ? 0 : 1;
}
