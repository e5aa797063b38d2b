// Reading FBX documents from a buffer holding a whole file, binary or ASCII.
#pragma once

#include "fbxio/FbxDocument.h"

namespace fbxio {

enum class Format { Unknown, Binary, Ascii };

// Binary files start with this magic; anything else is tried as ASCII text.
Format DetectFormat(const std::uint8_t* data, std::size_t size);

// Each reader fills `doc` or returns false with `error` saying what is wrong and where.
// The buffer must outlive the document (binary arrays point into it).
bool ReadBinary(const std::uint8_t* data, std::size_t size, Document& doc, std::string& error);
bool ReadAscii(const std::uint8_t* data, std::size_t size, Document& doc, std::string& error);
bool ReadDocument(const std::uint8_t* data, std::size_t size, Document& doc, std::string& error);

} // namespace fbxio
