#pragma once
// The vertices and indices of one sub-mesh, entered a batch of corners at a time. With
// de-duplication on, corners whose vertices hash alike share one vertex: the record of the first of
// them, at the index that counts the distinct vertices before it. Off, every corner gets a vertex of
// its own.
//
// Most corners of a mesh repeat a vertex that an earlier corner of the same control point already
// made. Each control point remembers the last vertex it gave; a new corner whose record is
// byte-for-byte that vertex has that vertex's hash, so the map would answer with that vertex's
// index: the corner takes it without being hashed or looked up. The result is exactly that of
// hashing every corner; only corners that differ from their control point's last vertex pay for
// the hash. A corner the reader already knows to repeat its control point's previous corner comes
// marked as a repeat, unread, and takes that corner's vertex without any comparison.
//
// Not thread-safe: one thread at a time enters batches, and while it does no other thread touches
// the mesh (new corners are compared with the vertices already in it). The mesh belongs to the
// caller and must outlive the de-duplicator.
#include "Assets/CornerBatch.h"
#include "Assets/HashIndexMap.h"
#include "Platform/HugePages.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class VertexDeduplicator {
public:
    // Appends to `mesh`, with room made up front for `reserve` corners. `controlPoints` is the number
    // of control points the corners are read from; a corner of any other is hashed like any corner
    // that differs from its control point's last vertex.
    VertexDeduplicator(Mesh& mesh, bool deduplicate, std::size_t reserve, int controlPoints);

    // The most memory a de-duplicator made with the same arguments comes to hold: its map may grow
    // to a key for every corner.
    static std::size_t ReservedBytes(bool deduplicate, std::size_t reserve, int controlPoints);

    // Enters the batch's corners in order and empties the batch.
    void Add(CornerBatch& batch);

    // Whether batches may mark corners as repeats: only while the de-duplicator remembers each control
    // point's last vertex, which is what a repeat takes.
    bool AcceptsRepeats() const { return !lastVertexOf.empty(); }

    // New vertices whose influences beyond the fourth were folded in: each counts a warning.
    int FoldedVertices() const { return foldedVertices; }

private:
    // How a corner of the batch finds its index.
    enum class Source : std::uint8_t {
        Stored, // a vertex already in the mesh, byte for byte
        EarlierCorner, // an earlier corner of the batch, byte for byte
        Hash, // the de-duplication map
    };

    // lastVertexOf holds an index into the mesh's vertices, or while a batch is read, an index into
    // the batch marked with this bit.
    static constexpr std::uint32_t kInBatch = 0x80000000u;
    static constexpr std::uint32_t kNoVertex = 0xFFFFFFFFu;

    void AddDeduplicated(CornerBatch& batch);
    Source FindTwin(const CornerBatch& batch, int i, std::uint32_t& twin);
    void Append(const CornerBatch& batch, int i);

    Mesh& mesh;
    bool deduplicate;
    int foldedVertices = 0;
    HashIndexMap indexByHash;
    std::vector<std::uint32_t> lastVertexOf; // by control point
    // The vertices and indices are written once, front to back, into their reservation.
    PrefaultAhead verticesAhead;
    PrefaultAhead indicesAhead;
};
