#include "Assets/HashIndexMap.h"
#include "Assets/ImportedModel.h"
#include "Assets/VertexHash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

Vertex SampleVertex()
{
    Vertex v;
    v.position = { 1.0f, 2.0f, 3.0f, 7.0f };
    v.color0 = { 0.25f, 0.0f, 0.0f, 0.0f };
    v.color1 = { 0.0f, 0.0f, 0.0f, 1.0f };
    v.uv0 = { 0.5f, 0.75f };
    v.normal = { 0.0f, -0.0f, 1.0f };
    v.tangent = { 1.0f, 0.0f, 0.0f };
    v.binormal = { 0.0f, 1.0f, 0.0f };
    const std::int32_t bones[4] = { 1, 2, 3, 4 };
    const float weights[4] = { 0.5f, 0.25f, 0.125f, 0.125f };
    for (int i = 0; i < 4; ++i) {
        v.boneIndices[i] = bones[i];
        v.boneWeights[i] = weights[i];
    }
    return v;
}

// The hash as its definition reads, byte by byte, for comparison with the fast one.
std::uint64_t ReferenceHash(const Vertex& vertex)
{
    const auto* record = reinterpret_cast<const unsigned char*>(&vertex);
    std::uint64_t seed = 0;
    for (int value = 0; value < 44; ++value) {
        const std::size_t offset = value < 3 ? value * 4 : 16 + (value - 3) * 4;
        unsigned char bytes[4];
        std::memcpy(bytes, record + offset, 4);
        const bool boneIndex = value >= 36 && value < 40;
        float asFloat;
        std::memcpy(&asFloat, bytes, 4);
        if (!boneIndex && asFloat == 0.0f)
            std::memset(bytes, 0, 4);
        std::uint64_t h = 0xCBF29CE484222325ull;
        for (unsigned char byte : bytes)
            h = (h ^ byte) * 0x100000001B3ull;
        seed ^= h + 0x9E3779B9ull + (seed << 6) + (seed >> 2);
    }
    return seed;
}

// HashVertices over all of `vertices` in one call.
std::vector<std::uint64_t> HashedTogether(const std::vector<Vertex>& vertices)
{
    std::vector<const Vertex*> pointers;
    for (const Vertex& v : vertices)
        pointers.push_back(&v);
    std::vector<std::uint64_t> hashes(vertices.size());
    HashVertices(pointers.data(), pointers.size(), hashes.data());
    return hashes;
}

} // namespace

TEST(HashVertex, CombinesFnv1aHashesOfTheFortyFourValues)
{
    // Worked out independently of this code: 64-bit FNV-1a of each value's four bytes, folded with
    // seed ^= h + 0x9E3779B9 + (seed << 6) + (seed >> 2).
    EXPECT_EQ(HashVertex(SampleVertex()), 0xe5efd87dc78ea429ull);
    EXPECT_EQ(HashVertex(Vertex {}), HashVertex(Vertex {}));
}

TEST(HashVertex, IgnoresPositionWAndTheSignOfZero)
{
    Vertex a = SampleVertex();
    Vertex b = a;
    b.position.w = -12.0f;
    b.normal = { -0.0f, 0.0f, 1.0f };
    b.color0.y = -0.0f;
    EXPECT_EQ(HashVertex(a), HashVertex(b));
}

TEST(HashVertex, EveryHashedFieldChangesTheHash)
{
    const Vertex base = SampleVertex();
    const std::uint64_t baseHash = HashVertex(base);
    // Each of the 44 values in turn: nudging it must change the hash.
    for (int value = 0; value < 44; ++value) {
        Vertex changed = base;
        auto* bytes = reinterpret_cast<unsigned char*>(&changed);
        std::size_t offset = value < 3 ? value * 4 : value < 36 ? 16 + (value - 3) * 4 : 148 + (value - 36) * 4;
        bytes[offset] ^= 0x10;
        EXPECT_NE(HashVertex(changed), baseHash) << "value " << value << " at byte " << offset;
    }
}

TEST(HashVertex, MatchesTheDefinitionForZerosOfEitherSignAndAnyBitPattern)
{
    // Words drawn mostly from zero, -0.0, the sign bit alone as a bone index (an integer, so not
    // zero) and arbitrary bits, one at a time and four side by side.
    std::minstd_rand random(29);
    const std::uint32_t special[] = { 0u, 0x80000000u, 0x3F800000u, 0xFFFFFFFFu, 1u };
    std::vector<Vertex> vertices(203);
    for (Vertex& v : vertices) {
        std::uint32_t words[sizeof(Vertex) / 4];
        for (std::uint32_t& word : words)
            word = random() % 3 == 0 ? static_cast<std::uint32_t>(random()) * 2654435761u : special[random() % 5];
        std::memcpy(&v, words, sizeof words);
    }
    const std::vector<std::uint64_t> hashes = HashedTogether(vertices);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        ASSERT_EQ(HashVertex(vertices[i]), ReferenceHash(vertices[i])) << "vertex " << i;
        ASSERT_EQ(hashes[i], ReferenceHash(vertices[i])) << "vertex " << i << " side by side";
    }
    Vertex zeroBone {}, signBone {};
    signBone.boneIndices[1] = static_cast<std::int32_t>(0x80000000u);
    EXPECT_NE(HashVertex(zeroBone), HashVertex(signBone));
}

TEST(HashVertex, SeveralAtATimeGiveEachVertexItsOwnHash)
{
    // Counts on both sides of the four hashed side by side, vertices differing in every way.
    std::minstd_rand random(11);
    std::uniform_int_distribution<int> pick(-2, 2);
    for (std::size_t count : { 0u, 1u, 3u, 4u, 5u, 9u, 96u }) {
        std::vector<Vertex> vertices(count, SampleVertex());
        for (Vertex& v : vertices) {
            v.position.x = static_cast<float>(pick(random));
            v.normal.y = pick(random) == 0 ? -0.0f : 0.5f * static_cast<float>(pick(random));
            v.boneIndices[2] = pick(random);
            v.uv3.y = static_cast<float>(pick(random));
        }
        std::vector<const Vertex*> pointers;
        for (const Vertex& v : vertices)
            pointers.push_back(&v);
        std::vector<std::uint64_t> hashes(count + 1, 0x5A5A5A5Aull);
        HashVertices(pointers.data(), count, hashes.data());
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(hashes[i], HashVertex(vertices[i])) << count << " vertices, vertex " << i;
        EXPECT_EQ(hashes[count], 0x5A5A5A5Aull) << "written past the end";
    }
}

TEST(HashVertex, EveryWordOfTheRecordCountsWhateverItsBits)
{
    // Records of random words (NaNs, denormals, negative zeros and bone indices with the top bit
    // set among them), hashed one at a time and several at a time, against the definition. One
    // word at a time is then changed in a copy: every word but position w changes the hash.
    std::mt19937 random(29);
    std::vector<Vertex> vertices(37);
    for (Vertex& v : vertices) {
        auto* words = reinterpret_cast<std::uint32_t*>(&v);
        for (std::size_t k = 0; k < sizeof(Vertex) / 4; ++k) {
            const std::uint32_t word = static_cast<std::uint32_t>(random());
            words[k] = random() % 4 == 0 ? word & 0x80000000u : word;
        }
    }
    const std::vector<std::uint64_t> hashes = HashedTogether(vertices);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        ASSERT_EQ(hashes[i], ReferenceHash(vertices[i])) << "vertex " << i;
        ASSERT_EQ(HashVertex(vertices[i]), ReferenceHash(vertices[i])) << "vertex " << i;
    }

    const Vertex& original = vertices[0];
    for (std::size_t k = 0; k < sizeof(Vertex) / 4; ++k) {
        Vertex changed = original;
        reinterpret_cast<std::uint32_t*>(&changed)[k] ^= 0x00010000u;
        const Vertex* one = &changed;
        std::uint64_t hash = 0;
        HashVertices(&one, 1, &hash);
        EXPECT_EQ(hash, ReferenceHash(changed)) << "word " << k;
        EXPECT_EQ(hash == hashes[0], k == 3) << "word " << k;
    }
}

TEST(HashIndexMap, NumbersKeysInTheOrderTheyFirstAppearWhileItGrows)
{
    // Keys that share their low or high bits, or are zero, and more of them than the reserved room:
    // a map reserved small, and one whose key list has room for them all but whose table was made
    // for far fewer, as a de-duplicator makes it.
    for (bool tableForFewer : { false, true }) {
        HashIndexMap map;
        if (tableForFewer)
            map.Reserve(20000, 10);
        else
            map.Reserve(10);
        std::unordered_map<std::uint64_t, std::uint32_t> expected;
        std::minstd_rand random(3);
        for (int i = 0; i < 20000; ++i) {
            std::uint64_t key = random() % 5000;
            if (i % 3 == 0)
                key <<= 40;
            auto [found, added] = expected.emplace(key, static_cast<std::uint32_t>(expected.size()));
            map.Prefetch(key);
            HashIndexMap::Entry entry = map.FindOrAdd(key);
            ASSERT_EQ(entry.index, found->second) << "key " << key;
            ASSERT_EQ(entry.added, added) << "key " << key;
        }
        EXPECT_EQ(map.Size(), expected.size());
        // Reserving less than it holds, in either way, keeps every key.
        map.Reserve(1);
        map.Reserve(1, 1);
        for (const auto& [key, index] : expected)
            EXPECT_EQ(map.FindOrAdd(key).index, index);
        EXPECT_EQ(map.Size(), expected.size());
    }
}

TEST(ImportedModel, WarningsAreCountedPerKind)
{
    ImportResult result;
    AddWarning(result, ImportWarning::MissingUVs);
    AddWarning(result, ImportWarning::MissingUVs);
    AddWarning(result, ImportWarning::DuplicateBoneName);
    EXPECT_EQ(result.warnings.at(ImportWarning::MissingUVs), 2);
    EXPECT_EQ(result.warnings.at(ImportWarning::DuplicateBoneName), 1);
    EXPECT_EQ(result.warnings.count(ImportWarning::TooManyInfluences), 0u);
    EXPECT_EQ(static_cast<int>(ImportStatus::NoMeshes), 7);
    EXPECT_EQ(static_cast<int>(ImportWarning::DuplicateBoneName), 4);
}

TEST(ImportedModel, MergedExtentsAlwaysContainTheOriginTheyStartFrom)
{
    Extents bounds {};
    Extents far { { 1.0f, 2.0f, 0.5f }, { 10.0f, 5.0f, -3.0f }, 2.0f };
    MergeExtents(bounds, far);
    // From the origin to x 9...11, y 3...7, z -3.5...-2.5.
    EXPECT_FLOAT_EQ(bounds.centre.x, 5.5f);
    EXPECT_FLOAT_EQ(bounds.halfSize.x, 5.5f);
    EXPECT_FLOAT_EQ(bounds.centre.y, 3.5f);
    EXPECT_FLOAT_EQ(bounds.halfSize.y, 3.5f);
    EXPECT_FLOAT_EQ(bounds.centre.z, -1.75f);
    EXPECT_FLOAT_EQ(bounds.halfSize.z, 1.75f);
    EXPECT_FLOAT_EQ(bounds.radius, 5.5f);

    Extents inside { { 0.5f, 0.5f, 0.5f }, { 5.0f, 3.0f, -1.0f }, 0.5f };
    Extents before = bounds;
    MergeExtents(bounds, inside);
    EXPECT_EQ(bounds.centre, before.centre);
    EXPECT_EQ(bounds.halfSize, before.halfSize);
}
