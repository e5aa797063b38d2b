#pragma once
// The 64-bit hash that de-duplicates imported vertices. Two vertices are merged exactly when their
// hashes are equal; the records themselves are never compared, so the de-duplication map holds no
// copy of a vertex.
#include "Assets/Model.h"

#include <cstddef>
#include <cstdint>

// Combines a 64-bit FNV-1a hash of each of 44 values, in this order: position x, y, z (w is not
// hashed), the 33 floats from color0 red through binormal z in record order, the four bone indices,
// the four bone weights. A float equal to zero is hashed as +0.0 whatever its sign.
std::uint64_t HashVertex(const Vertex& vertex);

// hashes[i] = HashVertex(*vertices[i]) for each of `count` vertices, several at a time: faster than
// one call per vertex.
void HashVertices(const Vertex* const* vertices, std::size_t count, std::uint64_t* hashes);
