#include "Assets/VertexDeduplicator.h"
#include "Assets/VertexHash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

struct Corner {
    Vertex vertex;
    int controlPoint;
    bool folded = false;
};

Vertex At(float x, float normalZ = 1.0f)
{
    Vertex v;
    v.position = { x, 0.0f, 0.0f, 1.0f };
    v.normal = { 0.0f, 0.0f, normalZ };
    return v;
}

// Enters `corners` in batches of the given sizes, in order, and checks each batch comes back empty.
void Enter(VertexDeduplicator& deduplicator, const std::vector<Corner>& corners, const std::vector<int>& batchSizes)
{
    auto batch = std::make_unique<CornerBatch>();
    std::size_t next = 0;
    for (int size : batchSizes) {
        for (int i = 0; i < size; ++i, ++next) {
            batch->vertices[i] = corners[next].vertex;
            batch->controlPoints[i] = corners[next].controlPoint;
            batch->folded[i] = corners[next].folded;
        }
        batch->count = size;
        deduplicator.Add(*batch);
        ASSERT_EQ(batch->count, 0);
    }
    ASSERT_EQ(next, corners.size());
}

// What merging every corner by its hash gives, worked out with a standard map.
struct Merged {
    std::vector<std::uint32_t> indices;
    std::vector<Vertex> vertices;
    int folded = 0;
};

Merged MergeByHash(const std::vector<Corner>& corners)
{
    Merged merged;
    std::unordered_map<std::uint64_t, std::uint32_t> indexByHash;
    for (const Corner& corner : corners) {
        const auto next = static_cast<std::uint32_t>(merged.vertices.size());
        auto [entry, added] = indexByHash.emplace(HashVertex(corner.vertex), next);
        if (added) {
            merged.vertices.push_back(corner.vertex);
            merged.folded += corner.folded ? 1 : 0;
        }
        merged.indices.push_back(entry->second);
    }
    return merged;
}

void ExpectSameVertices(const std::vector<Vertex>& actual, const std::vector<Vertex>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(std::memcmp(&actual[i], &expected[i], sizeof(Vertex)), 0) << "vertex " << i;
}

} // namespace

TEST(VertexDeduplicator, EqualCornersShareTheIndexOfTheFirstWithinAndAcrossBatches)
{
    const Vertex a = At(1.0f), b = At(2.0f), c = At(3.0f);
    // Control points 0 to 2 of 3; -1 and 7 lie outside and are always looked up.
    const std::vector<Corner> corners = {
        { a, 0 },
        { b, 1 },
        { a, 0 },
        { a, 2 },
        { a, -1 },
        { b, 7 },
        { a, 0 },
        { b, 1 },
        { c, 0 },
        { a, 0 },
        { c, 0 },
        { c, 2 },
    };
    Mesh mesh;
    VertexDeduplicator deduplicator(mesh, true, corners.size(), 3);
    Enter(deduplicator, corners, { 6, 6 });
    EXPECT_EQ(mesh.indices, (std::vector<std::uint32_t> { 0, 1, 0, 0, 0, 1, 0, 1, 2, 0, 2, 2 }));
    ExpectSameVertices(mesh.vertices, { a, b, c });
    EXPECT_EQ(deduplicator.FoldedVertices(), 0);
}

TEST(VertexDeduplicator, CornersThatHashAlikeButDifferInBytesKeepTheFirstRecord)
{
    // A negative zero normal and another w hash as the first vertex: the corner is merged, at the
    // same control point as well as at others, and the first record is the one kept.
    Vertex first = At(1.0f, 0.0f);
    Vertex negativeZero = At(1.0f, -0.0f);
    Vertex otherW = first;
    otherW.position.w = 5.0f;
    const std::vector<Corner> corners = {
        { first, 0 },
        { negativeZero, 0 },
        { negativeZero, 0 },
        { otherW, 0 },
        { first, 0 },
        { otherW, 1 },
        { negativeZero, 0 },
        { first, 0 },
        { At(2.0f), 0 },
        { negativeZero, 0 },
    };
    Mesh mesh;
    VertexDeduplicator deduplicator(mesh, true, corners.size(), 2);
    Enter(deduplicator, corners, { 3, 3, 4 });
    EXPECT_EQ(mesh.indices, (std::vector<std::uint32_t> { 0, 0, 0, 0, 0, 0, 0, 0, 1, 0 }));
    ExpectSameVertices(mesh.vertices, { first, At(2.0f) });
}

TEST(VertexDeduplicator, GivesWhatHashingEveryCornerGivesForAnyBatching)
{
    // Few control points, each choosing among few vertices, so that corners repeat their control
    // point's last vertex, an earlier corner of their batch, a vertex of another control point, or
    // nothing before them; some vertices differ from others only in bytes that are not hashed.
    constexpr int kControlPoints = 40;
    std::minstd_rand random(5);
    std::vector<Corner> corners;
    std::unordered_map<int, Corner> lastOf;
    for (int i = 0; i < 6000; ++i) {
        const int controlPoint = static_cast<int>(random() % (kControlPoints + 4)) - 2; // a few out of range
        if (auto last = lastOf.find(controlPoint); last != lastOf.end() && random() % 2 == 0) {
            corners.push_back(last->second);
            continue;
        }
        const int choice = static_cast<int>(random() % 4);
        Vertex v = At(static_cast<float>(controlPoint % 13), choice == 3 ? -0.0f : 0.0f);
        v.uv0 = { static_cast<float>(choice % 3), 0.5f };
        v.position.w = (random() % 5 == 0) ? 2.0f : 1.0f;
        const bool folded = random() % 3 == 0;
        v.boneWeights[0] = folded ? 0.25f : 0.0f;
        corners.push_back({ v, controlPoint, folded });
        lastOf[controlPoint] = corners.back();
    }
    const Merged expected = MergeByHash(corners);
    ASSERT_GT(expected.vertices.size(), 50u);
    ASSERT_LT(expected.vertices.size(), 500u);

    // Full batches, batches of one, and batches of every size including empty ones.
    std::vector<int> full(corners.size() / kBatchCorners, kBatchCorners);
    full.push_back(static_cast<int>(corners.size() % kBatchCorners));
    std::vector<int> single(corners.size(), 1);
    std::vector<int> mixed;
    for (std::size_t left = corners.size(); left > 0;) {
        const int size = static_cast<int>(std::min<std::size_t>(left, random() % (kBatchCorners + 1)));
        mixed.push_back(size);
        left -= static_cast<std::size_t>(size);
    }
    for (const std::vector<int>* sizes : { &full, &single, &mixed }) {
        SCOPED_TRACE(sizes->size());
        Mesh mesh;
        VertexDeduplicator deduplicator(mesh, true, corners.size(), kControlPoints);
        Enter(deduplicator, corners, *sizes);
        EXPECT_EQ(mesh.indices, expected.indices);
        ExpectSameVertices(mesh.vertices, expected.vertices);
        EXPECT_EQ(deduplicator.FoldedVertices(), expected.folded);
    }
}

TEST(VertexDeduplicator, WithoutDeduplicationEveryCornerIsANewVertexAndEveryFoldCounts)
{
    const Vertex a = At(1.0f);
    const std::vector<Corner> corners = { { a, 0, true }, { a, 0, true }, { a, 1, false }, { At(2.0f), 0, true } };
    Mesh every;
    VertexDeduplicator appending(every, false, corners.size(), 2);
    Enter(appending, corners, { 2, 0, 2 });
    EXPECT_EQ(every.indices, (std::vector<std::uint32_t> { 0, 1, 2, 3 }));
    ExpectSameVertices(every.vertices, { a, a, a, At(2.0f) });
    EXPECT_EQ(appending.FoldedVertices(), 3);

    // Merged, the folded vertex counts once, for the corner that made it.
    Mesh merged;
    VertexDeduplicator merging(merged, true, corners.size(), 2);
    Enter(merging, corners, { 2, 0, 2 });
    EXPECT_EQ(merged.indices, (std::vector<std::uint32_t> { 0, 0, 0, 1 }));
    EXPECT_EQ(merging.FoldedVertices(), 2);
}
