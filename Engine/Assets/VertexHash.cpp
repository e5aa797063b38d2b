#include "Assets/VertexHash.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <utility>

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

// Byte k (0 to 3) of a word, in memory order.
constexpr std::uint64_t ByteOf(std::uint32_t word, int k)
{
    const int shift = std::endian::native == std::endian::little ? 8 * k : 24 - 8 * k;
    return (word >> shift) & 0xFFu;
}

// 64-bit FNV-1a over the four bytes of a word, in memory order. Written out step by step: as a loop
// over the bytes it was compiled as one, which cost more than the multiplications themselves.
constexpr std::uint64_t HashBytes(std::uint32_t word)
{
    std::uint64_t hash = (kFnvOffsetBasis ^ ByteOf(word, 0)) * kFnvPrime;
    hash = (hash ^ ByteOf(word, 1)) * kFnvPrime;
    hash = (hash ^ ByteOf(word, 2)) * kFnvPrime;
    return (hash ^ ByteOf(word, 3)) * kFnvPrime;
}

// The hash of four zero bytes: most of a vertex's 44 values are zero (unused colour and UV sets,
// bone data of an unskinned mesh).
constexpr std::uint64_t kZeroHash = HashBytes(0);

// A float word equal to zero, of either sign: -0.0 and +0.0 are the same coordinate.
inline bool FloatIsZero(std::uint32_t word)
{
    return (word << 1) == 0;
}

inline void Combine(std::uint64_t& seed, std::uint64_t valueHash)
{
    seed ^= valueHash + kGoldenRatio + (seed << 6) + (seed >> 2);
}

// Folds one word of a record, at byte `offset`, into the record's seed. Read straight from the
// record: copying the words out first cost as much as hashing them. Bone indices are integers and
// keep their bits; any other word is a float.
template <bool Float>
inline void CombineWordAt(const unsigned char* record, std::size_t offset, std::uint64_t& seed)
{
    std::uint32_t word;
    std::memcpy(&word, record + offset, sizeof word);
    const bool zero = Float ? FloatIsZero(word) : word == 0;
    Combine(seed, zero ? kZeroHash : HashBytes(word));
}

// Folds `count` words from byte `offset` on of each lane's record into the lane's seed. The lanes
// are spelled out by the index pack rather than looped over, so that every seed stays in a register.
template <bool Floats, std::size_t Lanes, std::size_t... Lane>
inline void CombineWords(const unsigned char* const (&records)[Lanes], std::size_t offset, int count,
    std::uint64_t (&seeds)[Lanes], std::index_sequence<Lane...>)
{
    for (int i = 0; i < count; ++i, offset += 4)
        (CombineWordAt<Floats>(records[Lane], offset, seeds[Lane]), ...);
}

template <std::size_t Lanes>
void HashSideBySide(const Vertex* const* vertices, std::uint64_t* hashes)
{
    const unsigned char* records[Lanes];
    std::uint64_t seeds[Lanes] = {};
    for (std::size_t lane = 0; lane < Lanes; ++lane)
        records[lane] = reinterpret_cast<const unsigned char*>(vertices[lane]);
    constexpr std::size_t kColorOffset = offsetof(Vertex, color0);
    constexpr std::size_t kBoneIndexOffset = offsetof(Vertex, boneIndices);
    constexpr std::size_t kBoneWeightOffset = kBoneIndexOffset + kBoneIndexWords * 4;
    constexpr auto kLanes = std::make_index_sequence<Lanes>();
    CombineWords<true>(records, offsetof(Vertex, position), kPositionWords, seeds, kLanes);
    CombineWords<true>(records, kColorOffset, kFirstBoneIndexWord - kPositionWords, seeds, kLanes);
    CombineWords<false>(records, kBoneIndexOffset, kBoneIndexWords, seeds, kLanes);
    CombineWords<true>(records, kBoneWeightOffset, kHashedWords - kFirstBoneIndexWord - kBoneIndexWords, seeds, kLanes);
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
