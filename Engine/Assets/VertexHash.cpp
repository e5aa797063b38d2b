#include "Assets/VertexHash.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr std::uint64_t kFnvOffsetBasis = 0xCBF29CE484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001B3ull;
constexpr std::uint64_t kGoldenRatio = 0x9E3779B9ull;

// The hashed values as 32-bit words: position x, y, z, then the 41 words from color0 red to the
// last bone weight, which lie back to back in the record.
constexpr int kHashedWords = 44;
constexpr int kPositionWords = 3;
constexpr int kFirstBoneIndexWord = 36;
constexpr int kBoneIndexWords = 4;
static_assert(offsetof(Vertex, color0) + (kHashedWords - kPositionWords) * 4 == sizeof(Vertex),
    "color0 red through the last bone weight are the record's last 41 words");
static_assert(offsetof(Vertex, boneIndices) == offsetof(Vertex, color0) + (kFirstBoneIndexWord - kPositionWords) * 4);

// Vertices hashed side by side: each vertex's hash is one long chain of dependent steps, and
// interleaving independent chains keeps the processor's units busy.
constexpr std::size_t kInterleavedVertices = 4;

using Words = std::uint32_t[kHashedWords];

// 64-bit FNV-1a over the four bytes of a word, in memory order.
constexpr std::uint64_t HashBytes(const unsigned char (&bytes)[4])
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
constexpr std::uint64_t kZeroHash = HashBytes({ 0, 0, 0, 0 });

std::uint64_t HashWord(std::uint32_t word)
{
    if (word == 0)
        return kZeroHash;
    unsigned char bytes[4];
    std::memcpy(bytes, &word, sizeof bytes);
    return HashBytes(bytes);
}

// The vertex's hashed words, with floats equal to zero turned to +0.0: -0.0 and +0.0 are the same
// coordinate. Bone indices are integers and keep their bits.
void ReadWords(const Vertex& vertex, Words& words)
{
    std::memcpy(words, &vertex, kPositionWords * 4);
    std::memcpy(words + kPositionWords, reinterpret_cast<const unsigned char*>(&vertex) + offsetof(Vertex, color0),
        (kHashedWords - kPositionWords) * 4);
    auto foldZero = [&](int first, int end) {
        for (int i = first; i < end; ++i)
            words[i] &= (words[i] << 1) == 0 ? 0u : ~0u;
    };
    foldZero(0, kFirstBoneIndexWord);
    foldZero(kFirstBoneIndexWord + kBoneIndexWords, kHashedWords);
}

void Combine(std::uint64_t& seed, std::uint32_t word)
{
    seed ^= HashWord(word) + kGoldenRatio + (seed << 6) + (seed >> 2);
}

template <std::size_t Lanes>
void HashSideBySide(const Vertex* const* vertices, std::uint64_t* hashes)
{
    Words words[Lanes];
    std::uint64_t seeds[Lanes] = {};
    for (std::size_t lane = 0; lane < Lanes; ++lane)
        ReadWords(*vertices[lane], words[lane]);
    for (int i = 0; i < kHashedWords; ++i)
        for (std::size_t lane = 0; lane < Lanes; ++lane)
            Combine(seeds[lane], words[lane][i]);
    for (std::size_t lane = 0; lane < Lanes; ++lane)
        hashes[lane] = seeds[lane];
}

} // namespace

std::uint64_t HashVertex(const Vertex& vertex)
{
    const Vertex* one = &vertex;
    std::uint64_t hash;
    HashSideBySide<1>(&one, &hash);
    return hash;
}

void HashVertices(const Vertex* const* vertices, std::size_t count, std::uint64_t* hashes)
{
    std::size_t i = 0;
    for (; i + kInterleavedVertices <= count; i += kInterleavedVertices)
        HashSideBySide<kInterleavedVertices>(vertices + i, hashes + i);
    for (; i < count; ++i)
        hashes[i] = HashVertex(*vertices[i]);
}
