// Gives the document tree its meaning: objects, their properties, connections and settings.
#pragma once

#include "fbxio/FbxDocument.h"

#include <fbxsdk.h>

namespace fbxsdk::internal {

class SceneBuilder {
public:
    // Fills an empty scene and its document information from the parsed document of a file of
    // `fileSize` bytes. False with `error` set when the document is not a usable FBX 7 scene, or
    // when its objects need more memory than a file of that size may claim. Each video's embedded
    // content is handed to `embeddedFiles`, when given, as it is read.
    static bool Build(const fbxio::Document& doc, std::size_t fileSize, FbxScene& scene, std::string& error,
        FbxEmbeddedFileCallback* embeddedFiles = nullptr);
    // Reads the file's SceneInfo block (title, author, creating application).
    static void ReadInfo(const fbxio::Document& doc, FbxDocumentInfo& info);

private:
    struct Run;
};

// Parses a whole file held in memory and builds the scene from it, as Initialize and Import
// do for a path. For callers that already hold the bytes (the fuzzer, tests).
bool ImportFromMemory(const std::uint8_t* data, std::size_t size, FbxScene& scene, std::string& error);

} // namespace fbxsdk::internal
