#include "GlTestContext.h"
#include "Graphics/Material.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// A w x h image whose pixel (x, y) has component c = (y * 50 + x * 10 + c) & 255, so every row and
// component differs.
std::vector<unsigned char> Pattern(int width, int height, int channels)
{
    std::vector<unsigned char> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                pixels.push_back(static_cast<unsigned char>((y * 50 + x * 10 + c) & 255));
    return pixels;
}

std::filesystem::path WritePng(
    const std::filesystem::path& folder, const char* name, int width, int height, int channels)
{
    std::filesystem::path path = folder / name;
    std::vector<unsigned char> pixels = Pattern(width, height, channels);
    EXPECT_NE(stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels), 0);
    return path;
}

void AppendBigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void AppendChunk(std::string& out, const char* type, const std::string& data)
{
    AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::string typed = std::string(type, 4) + data;
    out += typed;
    AppendBigEndian(out,
        static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}

// An RGB PNG with 16 bits per component, which stb_image_write cannot make: every sample's high byte
// is the Pattern value and its low byte 0x7F.
std::filesystem::path WriteSixteenBitPng(const std::filesystem::path& folder, int width, int height)
{
    std::vector<unsigned char> pattern = Pattern(width, height, 3);
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        for (int i = 0; i < width * 3; ++i) {
            raw.push_back(static_cast<char>(pattern[static_cast<std::size_t>(y * width * 3 + i)]));
            raw.push_back(0x7F);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
        static_cast<uLong>(raw.size()));
    packed.resize(packedSize);

    std::string header;
    AppendBigEndian(header, static_cast<std::uint32_t>(width));
    AppendBigEndian(header, static_cast<std::uint32_t>(height));
    header += std::string { 16, 2, 0, 0, 0 }; // depth 16, colour type RGB

    std::string file = "\x89PNG\r\n\x1a\n";
    AppendChunk(file, "IHDR", header);
    AppendChunk(file, "IDAT", packed);
    AppendChunk(file, "IEND", "");
    std::filesystem::path path = folder / "sixteen.png";
    std::ofstream(path, std::ios::binary) << file;
    return path;
}

// A valid PNG of zero bytes, compressed row by row so that a picture of gigabytes never is in memory:
// the file is about a kilobyte per megabyte of pixels.
std::filesystem::path WriteBlankPng(const std::filesystem::path& folder, const char* name, std::uint32_t width,
    std::uint32_t height, int channels, int depth = 8)
{
    // The filter byte, then the samples.
    const std::string row(1 + std::size_t(width) * std::size_t(channels) * std::size_t(depth / 8), '\0');
    z_stream stream {};
    // Runs only: zeros pack a thousand to one, quickly.
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15, 8, Z_RLE);
    std::string packed;
    std::string buffer(1 << 16, '\0');
    auto pump = [&](int flush) {
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            packed.append(buffer.data(), buffer.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    for (std::uint32_t y = 0; y < height; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.data()));
        stream.avail_in = static_cast<uInt>(row.size());
        pump(Z_NO_FLUSH);
    }
    pump(Z_FINISH);
    deflateEnd(&stream);

    std::string header;
    AppendBigEndian(header, width);
    AppendBigEndian(header, height);
    const char colourType = channels == 1 ? 0 : channels == 2 ? 4 : channels == 3 ? 2 : 6;
    header += std::string { static_cast<char>(depth), colourType, 0, 0, 0 };
    std::string file = "\x89PNG\r\n\x1a\n";
    AppendChunk(file, "IHDR", header);
    AppendChunk(file, "IDAT", packed);
    AppendChunk(file, "IEND", "");
    std::filesystem::path path = folder / name;
    std::ofstream(path, std::ios::binary) << file;
    return path;
}

// A PNG whose header declares width x height RGBA pixels and whose data is one empty block: what a
// reader that checks the header first never gets to.
std::filesystem::path WriteHeaderOnlyPng(
    const std::filesystem::path& folder, const char* name, std::uint32_t width, std::uint32_t height)
{
    std::string header;
    AppendBigEndian(header, width);
    AppendBigEndian(header, height);
    header += std::string { 8, 6, 0, 0, 0 }; // depth 8, RGBA
    std::string file = "\x89PNG\r\n\x1a\n";
    AppendChunk(file, "IHDR", header);
    AppendChunk(file, "IDAT", std::string("\x78\x01\x03\x00\x00\x00\x00\x01", 8));
    AppendChunk(file, "IEND", "");
    std::filesystem::path path = folder / name;
    std::ofstream(path, std::ios::binary) << file;
    return path;
}

// The most memory the process has held at once, in kilobytes.
long PeakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

GLint LevelParameter(GLuint texture, GLint level, GLenum parameter)
{
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, parameter, &value);
    return value;
}

GLint Parameter(GLuint texture, GLenum parameter)
{
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    return value;
}

std::vector<unsigned char> ReadBack(GLuint texture, GLenum format, int width, int height, int channels)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * channels));
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}

class LoadTextureTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};

} // namespace

TEST_F(LoadTextureTest, RgbAndRgbaImagesUploadTopRowFirstWithTheirOwnFormat)
{
    // Width 3: an RGB row of 9 bytes, not a multiple of GL's default row alignment.
    Texture rgb;
    EXPECT_TRUE(LoadTexture(WritePng(folder.path, "rgb.png", 3, 2, 3).c_str(), rgb));
    EXPECT_EQ(rgb.width, 3);
    EXPECT_EQ(rgb.height, 2);
    EXPECT_EQ(rgb.channels, 3);
    EXPECT_EQ(LevelParameter(rgb.id, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(ReadBack(rgb.id, GL_RGB, 3, 2, 3), Pattern(3, 2, 3));

    Texture rgba;
    EXPECT_TRUE(LoadTexture(WritePng(folder.path, "rgba.png", 5, 4, 4).c_str(), rgba));
    EXPECT_EQ(rgba.channels, 4);
    EXPECT_EQ(LevelParameter(rgba.id, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(ReadBack(rgba.id, GL_RGBA, 5, 4, 4), Pattern(5, 4, 4));
}

TEST_F(LoadTextureTest, TexturesAreMipmappedRepeatingAndFiltered)
{
    Texture texture;
    LoadTexture(WritePng(folder.path, "big.png", 16, 8, 4).c_str(), texture);
    EXPECT_EQ(LevelParameter(texture.id, 1, GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(LevelParameter(texture.id, 4, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(LevelParameter(texture.id, 4, GL_TEXTURE_HEIGHT), 1);
    EXPECT_EQ(Parameter(texture.id, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(Parameter(texture.id, GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(Parameter(texture.id, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(Parameter(texture.id, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
}

TEST_F(LoadTextureTest, SixteenBitImagesArriveAsEightBits)
{
    Texture texture;
    LoadTexture(WriteSixteenBitPng(folder.path, 4, 3).c_str(), texture);
    EXPECT_EQ(texture.channels, 3);
    EXPECT_EQ(LevelParameter(texture.id, 0, GL_TEXTURE_RED_SIZE), 8);
    // stb_image keeps the high byte of each sample.
    EXPECT_EQ(ReadBack(texture.id, GL_RGB, 4, 3, 3), Pattern(4, 3, 3));
}

TEST_F(LoadTextureTest, GreyImagesReadAsGreyAndGreyPlusAlpha)
{
    Texture grey;
    LoadTexture(WritePng(folder.path, "grey.png", 2, 2, 1).c_str(), grey);
    EXPECT_EQ(grey.channels, 1);
    EXPECT_EQ(LevelParameter(grey.id, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RED);
    EXPECT_EQ(Parameter(grey.id, GL_TEXTURE_SWIZZLE_G), GL_RED);
    EXPECT_EQ(Parameter(grey.id, GL_TEXTURE_SWIZZLE_A), GL_ONE);
    EXPECT_EQ(ReadBack(grey.id, GL_RED, 2, 2, 1), Pattern(2, 2, 1));

    Texture greyAlpha;
    LoadTexture(WritePng(folder.path, "greyalpha.png", 3, 1, 2).c_str(), greyAlpha);
    EXPECT_EQ(LevelParameter(greyAlpha.id, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RG);
    EXPECT_EQ(Parameter(greyAlpha.id, GL_TEXTURE_SWIZZLE_B), GL_RED);
    EXPECT_EQ(Parameter(greyAlpha.id, GL_TEXTURE_SWIZZLE_A), GL_GREEN);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LoadTextureTest, AFileIsLoadedOnceWhileItIsUnchangedAndAnewWhenItChanges)
{
    std::filesystem::path path = WritePng(folder.path, "twice.png", 2, 2, 3);
    Texture first;
    Texture second;
    EXPECT_TRUE(LoadTexture(path.c_str(), first));
    EXPECT_TRUE(LoadTexture(path.c_str(), second));
    EXPECT_EQ(first.id, second.id);
    EXPECT_TRUE(glIsTexture(first.id));
    EXPECT_EQ(second.width, 2);
    EXPECT_EQ(second.channels, 3);

    // Another picture in its place: a new texture with the new image; the old one stays with the
    // slots that hold it.
    std::filesystem::remove(path);
    path = WritePng(folder.path, "twice.png", 3, 1, 4);
    Texture third;
    EXPECT_TRUE(LoadTexture(path.c_str(), third));
    EXPECT_NE(third.id, first.id);
    EXPECT_EQ(third.width, 3);
    EXPECT_EQ(ReadBack(third.id, GL_RGBA, 3, 1, 4), Pattern(3, 1, 4));
    EXPECT_TRUE(glIsTexture(first.id));
    EXPECT_EQ(ReadBack(first.id, GL_RGB, 2, 2, 3), Pattern(2, 2, 3));

    // A thousand slots of one 512 x 512 image hold it once.
    const std::filesystem::path large = WritePng(folder.path, "large.png", 512, 512, 4);
    Texture slots[1000];
    const long peakBefore = PeakKilobytes();
    for (Texture& slot : slots)
        EXPECT_TRUE(LoadTexture(large.c_str(), slot));
    EXPECT_EQ(slots[999].id, slots[0].id);
    // One decode and one upload with its mipmaps take about 2 MB; a thousand would take gigabytes.
    EXPECT_LT(PeakKilobytes() - peakBefore, 64 * 1024) << "kilobytes more at the peak";
}

TEST_F(LoadTextureTest, AFileWithoutAnImageGivesATextureWithNoImageAndIsNamedOnce)
{
    // Missing, a directory, a FIFO, not an image: a name with no image, and the file named once.
    std::ofstream(folder.path / "garbage.png") << "not a png";
    // A PNG cut short: its image data declares a megabyte, and the file ends after a few bytes of it.
    std::string cut = "\x89PNG\r\n\x1a\n";
    AppendChunk(cut, "IHDR", std::string("\0\0\0\x02\0\0\0\x02\x08\x02\0\0\0", 13));
    AppendBigEndian(cut, 1'000'000);
    std::ofstream(folder.path / "cut.png", std::ios::binary) << cut << "IDAT\x78\x01";
    // A grey image of no width, which stb_image decodes into nothing.
    std::ofstream(folder.path / "empty.png") << "P5\n0 7\n255\n";
    // The texture fuzzer's hang: a Radiance image whose run-length scanline ends after one run of its
    // nine pixels. stb_image read zeros past the end for it forever.
    const char cutRadiance[] = "#?RADIANCE\n45459\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 9\n\x02\x02\x00\x09\x81";
    std::ofstream(folder.path / "cut.hdr", std::ios::binary) << std::string(cutRadiance, sizeof cutRadiance - 1);
    std::filesystem::create_directory(folder.path / "folder.png");
    ASSERT_EQ(mkfifo((folder.path / "fifo.png").c_str(), 0600), 0);
    const std::pair<std::string, std::string> failures[] = {
        { "absent.png", "not found" },
        { "folder.png", "cannot be read: it is not a regular file" },
        { "fifo.png", "cannot be read: it is not a regular file" },
        { "garbage.png", "is not an image that can be decoded (" },
        { "empty.png", "is 0 x 7 pixels, an image with nothing to draw" },
        { "cut.hdr", "is not an image that can be decoded (its Radiance HDR data ends in scanline 1 of 1)" },
        { "cut.png",
            "is not an image that can be decoded (its PNG chunk \"IDAT\" of 1000000 bytes runs past the end of the "
            "file)" },
    };
    Texture first;
    Texture second;
    EXPECT_TRUE(LoadTexture(WritePng(folder.path, "image.png", 2, 2, 3).c_str(), first));
    for (const auto& [name, problem] : failures) {
        SCOPED_TRACE(name);
        const std::string file = (folder.path / name).string();
        const GLuint before = first.id;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadTexture(file.c_str(), first));
        EXPECT_FALSE(LoadTexture(file.c_str(), second));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind(file + ": " + problem, 0), 0u) << said;
        EXPECT_NE(said.find("; the default texture is drawn instead\n"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        // The slot's previous name is simply replaced.
        EXPECT_NE(first.id, before);
        EXPECT_TRUE(glIsTexture(first.id));
        EXPECT_FALSE(first.hasImage);
        EXPECT_FALSE(second.hasImage);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LoadTextureTest, AnImageLargerThanATextureMayBeIsRefusedBeforeItIsDecoded)
{
    // 18000 x 18000 RGB: under a megabyte on disk, 972 MB decoded. And a row one pixel too wide.
    const std::filesystem::path huge = WriteBlankPng(folder.path, "huge.png", 18000, 18000, 3);
    const std::filesystem::path wide = WriteBlankPng(folder.path, "wide.png", 16385, 1, 1);
    // 16 bits a component: 201 MB at 8 bits, but decoded at 16 first.
    const std::filesystem::path deep = WriteBlankPng(folder.path, "deep.png", 8192, 8192, 3, 16);
    // So large that stb_image itself refuses to say its size.
    const std::filesystem::path vast = WriteHeaderOnlyPng(folder.path, "vast.png", 60000, 60000);
    // A Radiance HDR header of 51 bytes and no pixels: 201 MB at 8 bits, but decoded as floats first
    // (once a gigabyte of them, all black, and the image taken), whatever the file's name says.
    const std::filesystem::path radiance = folder.path / "radiance.png";
    std::ofstream(radiance, std::ios::binary) << "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 8192 +X 8192\n";
    EXPECT_LT(std::filesystem::file_size(huge), 2u << 20);
    const long peakBefore = PeakKilobytes();
    for (const auto& [path, size] : { std::pair { huge, "is 18000 x 18000 pixels (972000000 bytes decoded)" },
             std::pair { wide, "is 16385 x 1 pixels (16385 bytes decoded)" },
             std::pair { deep, "is 8192 x 8192 pixels (402653184 bytes decoded)" },
             std::pair { vast, "is 60000 x 60000 pixels (14400000000 bytes decoded)" },
             std::pair { radiance, "is 8192 x 8192 pixels (805306368 bytes decoded)" } }) {
        Texture texture;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadTexture(path.c_str(), texture));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said,
            path.string() + ": " + size
                + ", more than a texture may be (16384 x 16384, 268435456 bytes); the default texture is drawn "
                  "instead\n");
        EXPECT_FALSE(texture.hasImage);
        EXPECT_EQ(texture.width, 0);
    }
    EXPECT_LT(PeakKilobytes() - peakBefore, 64 * 1024) << "kilobytes more at the peak";

    // At the limit an image still loads.
    Texture largest;
    EXPECT_TRUE(LoadTexture(WriteBlankPng(folder.path, "largest.png", 16384, 1, 1).c_str(), largest));
    EXPECT_EQ(largest.width, 16384);
}

TEST_F(LoadTextureTest, ImagesHeldInMemoryLoadInEachFormatAndPassTheSameChecks)
{
    // What an FBX file may embed: PNG, JPEG, TGA and BMP, as stb_image_write makes them.
    const std::vector<unsigned char> pixels = Pattern(6, 4, 3);
    using Writer = int (*)(stbi_write_func*, void*, int, int, int, const void*);
    const std::pair<const char*, Writer> formats[] = {
        { "png",
            [](stbi_write_func* f, void* c, int w, int h, int n, const void* d) {
                return stbi_write_png_to_func(f, c, w, h, n, d, w * n);
            } },
        { "jpg",
            [](stbi_write_func* f, void* c, int w, int h, int n, const void* d) {
                return stbi_write_jpg_to_func(f, c, w, h, n, d, 100);
            } },
        { "tga", stbi_write_tga_to_func },
        { "bmp", stbi_write_bmp_to_func },
    };
    for (const auto& [name, write] : formats) {
        SCOPED_TRACE(name);
        std::vector<std::uint8_t> bytes;
        ASSERT_NE(write(
                      [](void* context, void* data, int size) {
                          auto* out = static_cast<std::vector<std::uint8_t>*>(context);
                          out->insert(
                              out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
                      },
                      &bytes, 6, 4, 3, pixels.data()),
            0);
        Texture texture;
        EXPECT_TRUE(LoadTextureFromMemory("model.fbx", "embedded image", bytes.data(), bytes.size(), texture));
        EXPECT_EQ(texture.width, 6);
        EXPECT_EQ(texture.height, 4);
        EXPECT_EQ(texture.channels, 3);
        if (std::string(name) != "jpg") { // lossy
            EXPECT_EQ(ReadBack(texture.id, GL_RGB, 6, 4, 3), pixels);
        }
    }

    // Too large by its header, and not an image: named with the file it is in.
    const std::filesystem::path vast = WriteHeaderOnlyPng(folder.path, "vast.png", 60000, 60000);
    std::ifstream in(vast, std::ios::binary);
    const std::vector<std::uint8_t> header((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::uint8_t garbage[] = { 'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e' };
    // The texture fuzzer's first finding: a chunk whose type is "NG\r\n", which stb_image quotes in its
    // reason. The console still gets one line.
    const std::uint8_t chunkType[] = { 0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49,
        0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x29,
        0x93, 0x09, 0x26, 0x00, 0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x00, 0x14, 0x49, 0x44, 0x41, 0x54, 0x0a,
        0x00 };
    // Its second: 77 bytes whose IDAT chunk declares 1,291,845,652, which stb_image reserved before
    // finding them missing (under AddressSanitizer, seconds for each such file).
    const std::uint8_t overlong[] = { 0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49,
        0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x02, 0x00, 0x00, 0x00, 0x26, 0x00,
        0x00, 0x00, 0x4d, 0x00, 0x00, 0x14, 0x49, 0x44, 0x41, 0x54, 0x78, 0x5e, 0x63, 0xfc, 0xff, 0xff, 0x3f, 0x03,
        0x0c, 0x30, 0x31, 0x20, 0x01, 0xdc, 0x1c, 0x00, 0x96, 0x6e, 0x03, 0x05, 0x51, 0x88, 0x8c, 0x70, 0x00, 0x00,
        0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82 };
    // Its third: a Radiance image of no width (the header's width left out).
    const std::string noWidth = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 7 +X \n";
    Texture texture;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(
        LoadTextureFromMemory("model.fbx", "embedded image \"vast.png\"", header.data(), header.size(), texture));
    EXPECT_FALSE(LoadTextureFromMemory("model.fbx", "embedded image \"garbage\"", garbage, sizeof garbage, texture));
    EXPECT_FALSE(LoadTextureFromMemory("model.fbx", "embedded image \"chunk\"", chunkType, sizeof chunkType, texture));
    EXPECT_FALSE(LoadTextureFromMemory("model.fbx", "embedded image \"overlong\"", overlong, sizeof overlong, texture));
    EXPECT_FALSE(LoadTextureFromMemory("model.fbx", "embedded image \"no width\"",
        reinterpret_cast<const std::uint8_t*>(noWidth.data()), noWidth.size(), texture));
    EXPECT_FALSE(texture.hasImage);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        "model.fbx: embedded image \"vast.png\" is 60000 x 60000 pixels (14400000000 bytes decoded), more than a "
        "texture may be (16384 x 16384, 268435456 bytes); the default texture is drawn instead\n"
        "model.fbx: embedded image \"garbage\" is not an image that can be decoded (unknown image type); the "
        "default texture is drawn instead\n"
        "model.fbx: embedded image \"chunk\" is not an image that can be decoded (its PNG chunk \"NG\\x0D\\x0A\" of "
        "637569360 bytes runs past the end of the file); the default texture is drawn instead\n"
        "model.fbx: embedded image \"overlong\" is not an image that can be decoded (its PNG chunk \"IDAT\" of "
        "1291845652 bytes runs past the end of the file); the default texture is drawn instead\n"
        "model.fbx: embedded image \"no width\" is 0 x 7 pixels, an image with nothing to draw; the default texture "
        "is drawn instead\n");
}

TEST(DecodeImage, RadianceImagesDecodeWholeAndThoseCutShortEndEvenWhereTheDecoderWouldNot)
{
    // 9 x 3 pixels of floats, which stb_image_write stores as run-length scanlines (a width from 8 on).
    constexpr int kWidth = 9;
    constexpr int kHeight = 3;
    std::vector<float> pixels;
    for (int i = 0; i < kWidth * kHeight * 3; ++i)
        pixels.push_back(float(i % 7) / 4.0f);
    std::string file;
    ASSERT_NE(stbi_write_hdr_to_func(
                  [](void* context, void* data, int size) {
                      static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
                  },
                  &file, kWidth, kHeight, 3, pixels.data()),
        0);
    const auto decode = [&file](std::size_t length) {
        return DecodeImage(reinterpret_cast<const std::uint8_t*>(file.data()), length);
    };
    const DecodedImage whole = decode(file.size());
    ASSERT_NE(whole.pixels, nullptr) << whole.problem;
    EXPECT_EQ(whole.width, kWidth);
    EXPECT_EQ(whole.height, kHeight);
    EXPECT_EQ(whole.channels, 3);

    // Cut anywhere in its pixels, the file is either refused or decoded with what it lacks left black,
    // and it is refused wherever its data ends inside a scanline. Each cut once took forever.
    const std::size_t pixelsStart = file.find("+X 9\n") + 5;
    ASSERT_NE(pixelsStart, std::string::npos + 5);
    int cutInsideAScanline = 0;
    for (std::size_t length = pixelsStart; length < file.size(); ++length) {
        SCOPED_TRACE(length);
        const DecodedImage cut = decode(length);
        if (cut.pixels == nullptr) {
            EXPECT_EQ(cut.problem.rfind("is not an image that can be decoded (", 0), 0u) << cut.problem;
            cutInsideAScanline += cut.problem.find("Radiance HDR data ends in scanline") != std::string::npos;
        } else {
            EXPECT_EQ(cut.width, kWidth);
            EXPECT_EQ(cut.height, kHeight);
        }
    }
    // Each scanline is its four-byte start and at least four counts, one a component: a cut before
    // any of those counts is refused.
    EXPECT_GE(cutInsideAScanline, kHeight * 4);
    const std::string scanlineStart("\x02\x02\x00\x09", 4);
    EXPECT_EQ(decode(pixelsStart + scanlineStart.size()).problem,
        "is not an image that can be decoded (its Radiance HDR data ends in scanline 1 of 3)");
    EXPECT_EQ(decode(file.rfind(scanlineStart) + scanlineStart.size()).problem,
        "is not an image that can be decoded (its Radiance HDR data ends in scanline 3 of 3)");
}

TEST(Material, StartsWithEmptySlotsAndTheDefaultConstants)
{
    Material material;
    for (const Texture& texture : material.textures)
        EXPECT_EQ(texture.id, 0xFFFFFFFFu);
    EXPECT_EQ(material.albedo, (Float4 { 1, 1, 1, 1 }));
    EXPECT_EQ(material.specularStrength, 0.5f);
    EXPECT_EQ(material.shininess, 32.0f);
    EXPECT_EQ(material.fragmentShader.path, "Assets/Shaders/DefaultFS.glsl");
    EXPECT_EQ(material.vertexShader.path, "Assets/Shaders/DefaultVS.glsl");
}

TEST(Material, BindUsesTheProgramAndPutsEachSlotOnItsUnit)
{
    Material material;
    for (int slot = 0; slot < Material::kTextureSlots; ++slot)
        LoadTexture("Assets/Textures/T_Default_M.png", material.textures[slot]);
    material.textures[3].id = 0; // a zero slot is skipped
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, 0);

    material.Bind();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), material.program);
    for (int slot : { 0, 1, 2, 4 }) {
        glActiveTexture(GL_TEXTURE0 + slot);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), material.textures[slot].id) << "unit " << slot;
    }
    glActiveTexture(GL_TEXTURE3);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}
