#include "Assets/VertexHash.h"

#include <cstring>

namespace {

constexpr std::uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001B3ull;
constexpr std::uint64_t kGoldenRatio = 0x9E3779B9ull;

// FNV-1a over the four bytes of a value, in memory order.
std::uint64_t HashBytes(const unsigned char (&bytes)[4])
{
    std::uint64_t hash = kFnvOffsetBasis;
    for (unsigned char byte : bytes) {
        hash ^= byte;
        hash *= kFnvPrime;
    }
    return hash;
}

// The hash of four zero bytes: most of a vertex's 44 values are zero (unused colour and UV sets,
// bone data of an unskinned mesh).
const std::uint64_t kZeroHash = [] {
    const unsigned char zero[4] = {};
    return HashBytes(zero);
}();

std::uint64_t HashValue(float value)
{
    // -0.0 and +0.0 are the same coordinate.
    if (value == 0.0f)
        return kZeroHash;
    unsigned char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return HashBytes(bytes);
}

std::uint64_t HashValue(std::int32_t value)
{
    if (value == 0)
        return kZeroHash;
    unsigned char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return HashBytes(bytes);
}

template <class T>
void Combine(std::uint64_t& seed, T value)
{
    seed ^= HashValue(value) + kGoldenRatio + (seed << 6) + (seed >> 2);
}

void CombineAll(std::uint64_t& seed, const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        Combine(seed, values[i]);
}

} // namespace

std::uint64_t HashVertex(const Vertex& vertex)
{
    static_assert(offsetof(Vertex, binormal) + sizeof(Float3) - offsetof(Vertex, color0) == 33 * sizeof(float),
        "color0 red through binormal z are 33 consecutive floats");
    std::uint64_t seed = 0;
    Combine(seed, vertex.position.x);
    Combine(seed, vertex.position.y);
    Combine(seed, vertex.position.z);
    // The 33 floats lie back to back in the record; read them as such.
    float middle[33];
    std::memcpy(middle, reinterpret_cast<const unsigned char*>(&vertex) + offsetof(Vertex, color0), sizeof middle);
    CombineAll(seed, middle, 33);
    for (std::int32_t index : vertex.boneIndices)
        Combine(seed, index);
    CombineAll(seed, vertex.boneWeights, 4);
    return seed;
}
