#include "Assets/VertexDeduplicator.h"

#include "Assets/VertexHash.h"

#include <algorithm>
#include <cstring>

VertexDeduplicator::VertexDeduplicator(Mesh& mesh, bool deduplicate, std::size_t reserve, int controlPoints)
    : mesh(mesh)
    , deduplicate(deduplicate)
{
    // Plain reservations: the vertices and indices are written once, front to back, and backing them
    // with huge pages costs more in the kernel's clearing of whole 2 MiB pages than it saves. Their
    // pages are faulted in a stretch at a time ahead of the writes instead (see Add).
    mesh.vertices.reserve(reserve);
    mesh.indices.reserve(reserve);
    if (deduplicate) {
        // A smooth mesh has about one distinct vertex per control point, however many corners share
        // them; seams and hard edges add a few more, for which the map's table grows.
        const std::size_t expected = controlPoints > 0 ? static_cast<std::size_t>(controlPoints) : reserve;
        indexByHash.Reserve(reserve, expected);
        // Vertex indices must stay clear of the in-batch mark; a mesh that could reach it (over
        // 700 million triangles) is simply hashed corner by corner.
        if (reserve < kInBatch)
            lastVertexOf.assign(static_cast<std::size_t>(std::max(controlPoints, 0)), kNoVertex);
    }
}

std::size_t VertexDeduplicator::ReservedBytes(bool deduplicate, std::size_t reserve, int controlPoints)
{
    std::size_t bytes = reserve * (sizeof(Vertex) + sizeof(std::uint32_t));
    if (deduplicate) {
        bytes += HashIndexMap::BytesFor(reserve);
        if (reserve < kInBatch)
            bytes += static_cast<std::size_t>(std::max(controlPoints, 0)) * sizeof(std::uint32_t);
    }
    return bytes;
}

void VertexDeduplicator::Add(CornerBatch& batch)
{
    // A corner adds at most one vertex and one index.
    verticesAhead.Before(mesh.vertices, static_cast<std::size_t>(batch.count));
    indicesAhead.Before(mesh.indices, static_cast<std::size_t>(batch.count));
    if (deduplicate)
        AddDeduplicated(batch);
    else
        for (int i = 0; i < batch.count; ++i)
            Append(batch, i);
    batch.count = 0;
}

void VertexDeduplicator::AddDeduplicated(CornerBatch& batch)
{
    Source source[kBatchCorners];
    std::uint32_t twin[kBatchCorners];
    const Vertex* toHash[kBatchCorners] = {};
    std::uint64_t hashes[kBatchCorners];
    int hashCount = 0;

    for (int i = 0; i < batch.count; ++i) {
        source[i] = FindTwin(batch, i, twin[i]);
        if (source[i] == Source::Hash)
            toHash[hashCount++] = &batch.vertices[i];
    }
    HashVertices(toHash, static_cast<std::size_t>(hashCount), hashes);
    for (int k = 0; k < hashCount; ++k)
        indexByHash.Prefetch(hashes[k]);

    std::uint32_t indexOf[kBatchCorners];
    for (int i = 0, k = 0; i < batch.count; ++i) {
        switch (source[i]) {
        case Source::Stored: indexOf[i] = twin[i]; break;
        case Source::EarlierCorner: indexOf[i] = indexOf[twin[i]]; break;
        case Source::Hash: {
            HashIndexMap::Entry entry = indexByHash.FindOrAdd(hashes[k++]);
            indexOf[i] = entry.index;
            if (entry.added) {
                mesh.vertices.push_back(batch.vertices[i]);
                if (batch.folded[i])
                    ++foldedVertices;
            }
            break;
        }
        }
        mesh.indices.push_back(indexOf[i]);
        if (std::size_t cp = static_cast<std::size_t>(batch.controlPoints[i]); cp < lastVertexOf.size())
            lastVertexOf[cp] = indexOf[i];
    }
}

// Whether corner i repeats its control point's last vertex (stored, or earlier in the batch);
// `twin` is that vertex. A corner that does not becomes its control point's last vertex.
VertexDeduplicator::Source VertexDeduplicator::FindTwin(const CornerBatch& batch, int i, std::uint32_t& twin)
{
    const std::size_t cp = static_cast<std::size_t>(batch.controlPoints[i]);
    if (cp >= lastVertexOf.size())
        return Source::Hash;
    const std::uint32_t last = lastVertexOf[cp];
    if (last != kNoVertex) {
        const bool inBatch = (last & kInBatch) != 0;
        // A repeat's record was never read; its control point's last vertex is its vertex.
        if (batch.repeats[i]) {
            twin = last & ~kInBatch;
            return inBatch ? Source::EarlierCorner : Source::Stored;
        }
        const Vertex& candidate = inBatch ? batch.vertices[last & ~kInBatch] : mesh.vertices[last];
        if (std::memcmp(&candidate, &batch.vertices[i], sizeof(Vertex)) == 0) {
            twin = last & ~kInBatch;
            return inBatch ? Source::EarlierCorner : Source::Stored;
        }
    }
    lastVertexOf[cp] = kInBatch | static_cast<std::uint32_t>(i);
    return Source::Hash;
}

void VertexDeduplicator::Append(const CornerBatch& batch, int i)
{
    mesh.indices.push_back(static_cast<std::uint32_t>(mesh.vertices.size()));
    mesh.vertices.push_back(batch.vertices[i]);
    if (batch.folded[i])
        ++foldedVertices;
}
