// Serialising a document tree: binary FBX (7100-7700) or ASCII FBX 7.x.
#pragma once

#include "fbxio/FbxDocument.h"

namespace fbxio {

struct BinaryWriteOptions {
    int version = 7400;
    // Arrays of at least this many bytes are zlib-compressed, as exporters do; 0 disables it. An
    // array whose value is marked compressed already holds its zlib stream and is written as it is.
    std::size_t compressAbove = 128;
};

std::vector<std::uint8_t> WriteBinary(const Element& root, const BinaryWriteOptions& options = {});
std::string WriteAscii(const Element& root, int version = 7400);

} // namespace fbxio
