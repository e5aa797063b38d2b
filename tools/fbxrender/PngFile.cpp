#include "PngFile.h"

#include "OutputFile.h"

#include <libdeflate.h>

#include <array>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::array<std::uint8_t, 8> kSignature { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColourTypeRgba = 6;
// Each row is stored as its difference from the row above (PNG's "Up" filter): a picture of a lit
// model on a clear background is mostly flat runs and slow gradients, which this turns into runs of
// zeros at the cost of one subtraction a byte. The choice per row that encoders such as stb make by
// trying all five filters costs more than the deflate itself and saves little here.
constexpr std::uint8_t kFilterUp = 2;
// libdeflate's levels run from 1 (fastest) to 12; past 6 a picture gets a few percent smaller for
// several times the time.
constexpr int kCompressionLevel = 6;

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Length, type, data and the CRC of type and data.
void AppendChunk(std::vector<std::uint8_t>& out, std::string_view type, const std::uint8_t* data, std::size_t size)
{
    AppendBigEndian(out, static_cast<std::uint32_t>(size));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data, data + size);
    AppendBigEndian(out, libdeflate_crc32(0, out.data() + typeAt, type.size() + size));
}

// The rows as PNG stores them before compression: a filter byte, then the row's differences from
// the row above (the first row's from zeros).
std::vector<std::uint8_t> FilteredRows(const Picture& picture)
{
    const std::size_t row = std::size_t(picture.width) * kBytesPerPixel;
    std::vector<std::uint8_t> filtered((row + 1) * std::size_t(picture.height));
    const std::uint8_t* above = nullptr;
    std::uint8_t* out = filtered.data();
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* pixels = picture.rgba.data() + std::size_t(y) * row;
        *out++ = kFilterUp;
        if (above == nullptr)
            std::memcpy(out, pixels, row);
        else
            for (std::size_t i = 0; i < row; ++i)
                out[i] = static_cast<std::uint8_t>(pixels[i] - above[i]);
        out += row;
        above = pixels;
    }
    return filtered;
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

} // namespace

std::vector<std::uint8_t> EncodePng(const Picture& picture)
{
    const std::vector<std::uint8_t> filtered = FilteredRows(picture);
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kCompressionLevel));
    if (compressor == nullptr)
        throw std::bad_alloc();
    std::vector<std::uint8_t> compressed(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
    compressed.resize(libdeflate_zlib_compress(
        compressor.get(), filtered.data(), filtered.size(), compressed.data(), compressed.size()));

    std::vector<std::uint8_t> png(kSignature.begin(), kSignature.end());
    std::vector<std::uint8_t> header;
    AppendBigEndian(header, static_cast<std::uint32_t>(picture.width));
    AppendBigEndian(header, static_cast<std::uint32_t>(picture.height));
    // Bit depth, colour type, then deflate compression, adaptive filtering and no interlacing (all 0).
    header.insert(header.end(), { kBitDepth, kColourTypeRgba, 0, 0, 0 });
    AppendChunk(png, "IHDR", header.data(), header.size());
    AppendChunk(png, "IDAT", compressed.data(), compressed.size());
    AppendChunk(png, "IEND", nullptr, 0);
    return png;
}

bool WritePng(const Picture& picture, const std::filesystem::path& path, std::string& problem)
{
    const std::vector<std::uint8_t> png = EncodePng(picture);
    return WriteWholeFile(path, png, problem);
}
