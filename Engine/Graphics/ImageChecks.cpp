#include "Graphics/ImageChecks.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A PNG starts with its signature; then each chunk is its data's length (big-endian) and its type,
// the data, and a checksum.
constexpr unsigned char kPngSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
constexpr std::size_t kPngChunkHeadBytes = 8;
constexpr std::size_t kPngChunkChecksumBytes = 4;

// A Radiance HDR file starts with one of these lines, as stb_image tells one.
constexpr std::string_view kRadianceSignatures[] = { "#?RADIANCE\n", "#?RGBE\n" };
constexpr std::string_view kRadianceRunLengthFormat = "FORMAT=32-bit_rle_rgbe";
// stb_image keeps this much of a header line and skips the rest of it.
constexpr std::size_t kRadianceLineBytes = 1023;
// stb_image reads scanlines run-length encoded only for widths in this range. Other widths are read
// as plain pixels, a fixed number of bytes however few the file has, which always ends.
constexpr long kRadianceRunLengthMinWidth = 8;
constexpr long kRadianceRunLengthMaxWidth = 32767;
// A run-length scanline starts with these two bytes, then its width in two bytes (high byte's top
// bit clear); each of a pixel's four components (red, green, blue, exponent) follows as counts: a
// count above 128 is a run of one value, any other is that many bytes as they are.
constexpr std::uint8_t kRadianceScanlineMark = 2;
constexpr std::uint8_t kRadianceWidthHighBitMask = 0x80;
constexpr std::uint8_t kRadianceRunFlag = 128;
constexpr int kRadianceComponents = 4;

// How much of the source is read at once while walking through it.
constexpr std::size_t kReadBlockBytes = 64 * 1024;

std::uint64_t BigEndian32(const std::uint8_t* bytes)
{
    return std::uint64_t(bytes[0]) << 24 | std::uint64_t(bytes[1]) << 16 | std::uint64_t(bytes[2]) << 8 | bytes[3];
}

// stb_image makes room for a PNG chunk's data as its length declares before reading any of it: a file
// of a hundred bytes whose IDAT chunk declares 1.3 GB would have it ask for 1.3 GB. A chunk whose data
// runs past the end of the file cannot be decoded anyway. Chunks after IEND are never read, by
// stb_image or here.
std::optional<std::string> PngChunkProblem(const ImageSource& source)
{
    std::uint8_t head[kPngChunkHeadBytes];
    for (std::uint64_t offset = sizeof kPngSignature; source.read(offset, head, sizeof head) == sizeof head;) {
        const std::string_view type(reinterpret_cast<const char*>(head + 4), 4);
        const std::uint64_t length = BigEndian32(head);
        const std::uint64_t dataEnd = offset + kPngChunkHeadBytes + length;
        if (dataEnd > source.size)
            return "is not an image that can be decoded (its PNG chunk \"" + Printable(type) + "\" of "
                + std::to_string(length) + " bytes runs past the end of the file)";
        if (type == "IEND")
            break;
        offset = dataEnd + kPngChunkChecksumBytes;
    }
    return std::nullopt;
}

// The source read front to back as stb_image reads it: a zero for every byte past its end.
class ByteStream {
public:
    explicit ByteStream(const ImageSource& source)
        : source_(source)
        , block_(kReadBlockBytes)
    {
    }

    // Whether every byte has been read (stb_image's own test, made after reading a byte).
    bool AtEnd() const { return offset_ >= source_.size; }

    std::uint8_t Next()
    {
        if (offset_ < blockStart_ || offset_ >= blockStart_ + blockFilled_) {
            blockStart_ = offset_;
            blockFilled_ = offset_ < source_.size ? source_.read(offset_, block_.data(), block_.size()) : 0;
        }
        const std::uint8_t byte = offset_ - blockStart_ < blockFilled_ ? block_[offset_ - blockStart_] : 0;
        ++offset_;
        return byte;
    }

    void Skip(std::uint64_t count) { offset_ += count; }

private:
    const ImageSource& source_;
    std::vector<std::uint8_t> block_;
    std::uint64_t blockStart_ = 0;
    std::size_t blockFilled_ = 0;
    std::uint64_t offset_ = 0;
};

bool StartsAsRadiance(const ImageSource& source)
{
    std::array<std::uint8_t, 16> start {};
    const std::size_t read = source.read(0, start.data(), start.size());
    return std::any_of(std::begin(kRadianceSignatures), std::end(kRadianceSignatures), [&](std::string_view mark) {
        return read >= mark.size() && std::memcmp(start.data(), mark.data(), mark.size()) == 0;
    });
}

// One header line as stb_image reads it: up to its line break, a byte at the very end of the file
// left out, and only as far as its first NUL byte counts.
std::string RadianceHeaderLine(ByteStream& in)
{
    std::string line;
    char c = static_cast<char>(in.Next());
    while (!in.AtEnd() && c != '\n') {
        line += c;
        if (line.size() == kRadianceLineBytes) {
            while (!in.AtEnd() && in.Next() != '\n') {}
            break;
        }
        c = static_cast<char>(in.Next());
    }
    line.resize(std::strlen(line.c_str()));
    return line;
}

// The width and height a Radiance header line gives ("-Y 480 +X 640"), read as stb_image reads them;
// nothing for any other layout, which stb_image refuses.
struct RadianceLayout {
    int width = 0;
    int height = 0;
};

std::optional<RadianceLayout> ReadRadianceLayout(const std::string& line)
{
    if (line.compare(0, 3, "-Y ") != 0)
        return std::nullopt;
    const char* text = line.c_str() + 3;
    char* end = nullptr;
    RadianceLayout layout;
    layout.height = static_cast<int>(std::strtol(text, &end, 10));
    while (*end == ' ')
        ++end;
    if (std::strncmp(end, "+X ", 3) != 0)
        return std::nullopt;
    layout.width = static_cast<int>(std::strtol(end + 3, nullptr, 10));
    return layout;
}

// stb_image decodes run-length scanlines reading a count byte while a scanline has pixels left, and a
// count of zero takes none: a file that ends inside a scanline has it read zeros past the end forever.
// Its scanlines are walked here as stb_image would walk them; it is given the image only when each
// count it would read is in the file. Where stb_image would stop on its own (a scanline of another
// width, a run longer than what is left, plain pixels, which it reads a fixed number of) the walk
// stops too and leaves the verdict to it.
std::optional<std::string> RadianceProblem(const ImageSource& source)
{
    ByteStream in(source);
    RadianceHeaderLine(in); // the signature
    bool runLength = false;
    for (std::string line = RadianceHeaderLine(in); !line.empty(); line = RadianceHeaderLine(in))
        runLength = runLength || line == kRadianceRunLengthFormat;
    if (!runLength)
        return std::nullopt;
    const std::optional<RadianceLayout> layout = ReadRadianceLayout(RadianceHeaderLine(in));
    if (!layout || layout->width < kRadianceRunLengthMinWidth || layout->width > kRadianceRunLengthMaxWidth)
        return std::nullopt;
    const int width = layout->width;
    for (int row = 0; row < layout->height; ++row) {
        const std::uint8_t first = in.Next();
        const std::uint8_t second = in.Next();
        const std::uint8_t high = in.Next();
        if (first != kRadianceScanlineMark || second != kRadianceScanlineMark || (high & kRadianceWidthHighBitMask))
            return std::nullopt;
        if ((int(high) << 8 | in.Next()) != width)
            return std::nullopt;
        for (int component = 0; component < kRadianceComponents; ++component) {
            for (int pixel = 0; pixel < width;) {
                if (in.AtEnd())
                    return "is not an image that can be decoded (its Radiance HDR data ends in scanline "
                        + std::to_string(row + 1) + " of " + std::to_string(layout->height) + ")";
                int count = in.Next();
                if (count > kRadianceRunFlag) {
                    in.Next(); // the run's value
                    count -= kRadianceRunFlag;
                } else {
                    in.Skip(count);
                }
                if (count > width - pixel)
                    return std::nullopt;
                pixel += count;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ImageDataProblem(const ImageSource& source)
{
    std::uint8_t start[sizeof kPngSignature] = {};
    const std::size_t read = source.read(0, start, sizeof start);
    if (StartsAsPng(start, read))
        return PngChunkProblem(source);
    if (StartsAsRadiance(source))
        return RadianceProblem(source);
    return std::nullopt;
}

bool StartsAsPng(const std::uint8_t* bytes, std::size_t size)
{
    return size >= sizeof kPngSignature && std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0;
}

std::string Printable(std::string_view quoted)
{
    std::string text;
    for (const char c : quoted) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}
