// The importer: Initialize reads and parses the whole file; Import builds the scene from it.
#include "Source/FbxSceneBuilder.h"
#include "fbxio/FbxReader.h"

#include <fstream>

namespace fbxsdk {

struct FbxImporter::Parsed {
    std::vector<std::uint8_t> bytes; // binary arrays point into these
    fbxio::Document document;
};

FbxImporter* FbxImporter::Create(FbxManager* manager, const char*)
{
    if (!manager)
        return nullptr;
    auto* importer = new FbxImporter(manager, "");
    manager->Register(importer);
    return importer;
}

FbxImporter::FbxImporter(FbxManager* manager, const char* name)
    : FbxObject(manager, name)
{
    mSceneInfo = new FbxDocumentInfo(manager, "SceneInfo");
}

FbxImporter::~FbxImporter()
{
    delete mSceneInfo;
}

bool FbxImporter::Initialize(const char* fileName, int fileFormat, FbxIOSettings*)
{
    mStatus.Clear();
    mIsFbx = false;
    mFileFormat = -1;
    mVersion = 0;
    mParsed.reset();
    mFileName = fileName ? fileName : "";
    auto parsed = std::make_unique<Parsed>();
    std::ifstream in(mFileName, std::ios::binary | std::ios::ate);
    if (!in) {
        mStatus.SetCode(FbxStatus::eFailure, ("cannot open '" + mFileName + "'").c_str());
        return false;
    }
    std::streamoff size = in.tellg();
    if (size < 0) {
        mStatus.SetCode(FbxStatus::eFailure, ("cannot read '" + mFileName + "'").c_str());
        return false;
    }
    parsed->bytes.resize(std::size_t(size));
    in.seekg(0);
    if (size > 0 && !in.read(reinterpret_cast<char*>(parsed->bytes.data()), size)) {
        mStatus.SetCode(FbxStatus::eFailure, ("cannot read '" + mFileName + "'").c_str());
        return false;
    }
    const auto& bytes = parsed->bytes;
    fbxio::Format format = fbxio::DetectFormat(bytes.data(), bytes.size());
    if (fileFormat == 0 && format != fbxio::Format::Binary)
        format = fbxio::Format::Unknown;
    std::string error;
    bool ok = false;
    switch (format) {
    case fbxio::Format::Binary: ok = fbxio::ReadBinary(bytes.data(), bytes.size(), parsed->document, error); break;
    case fbxio::Format::Ascii: ok = fbxio::ReadAscii(bytes.data(), bytes.size(), parsed->document, error); break;
    default: error = bytes.empty() ? "the file is empty" : "not an FBX file"; break;
    }
    if (!ok) {
        FbxStatus::EStatusCode code = error.find("not supported") != std::string::npos ? FbxStatus::eInvalidFileVersion
                                                                                       : FbxStatus::eInvalidFile;
        mStatus.SetCode(code, (mFileName + ": " + error).c_str());
        return false;
    }
    mIsFbx = true;
    mFileFormat = format == fbxio::Format::Binary ? 0 : 1;
    mVersion = parsed->document.version;
    internal::SceneBuilder::ReadInfo(parsed->document, *mSceneInfo);
    mParsed = std::move(parsed);
    return true;
}

bool FbxImporter::Import(FbxDocument* document, bool)
{
    auto* scene = dynamic_cast<FbxScene*>(document);
    if (!scene) {
        mStatus.SetCode(FbxStatus::eInvalidParameter, "Import needs a scene");
        return false;
    }
    if (!mParsed) {
        if (!mStatus.Error())
            mStatus.SetCode(FbxStatus::eFailure, "the importer holds no initialized file");
        return false;
    }
    scene->Clear();
    std::string error;
    bool ok = internal::SceneBuilder::Build(mParsed->document, *scene, error);
    // The parsed file is only needed once; dropping it keeps peak memory near the scene's size.
    mParsed.reset();
    if (!ok) {
        scene->Clear();
        mStatus.SetCode(FbxStatus::eInvalidFile, (mFileName + ": " + error).c_str());
        return false;
    }
    return true;
}

void FbxImporter::GetFileVersion(int& major, int& minor, int& revision) const
{
    major = mVersion / 1000;
    minor = mVersion / 100 % 10;
    revision = mVersion % 100 / 10;
}

} // namespace fbxsdk
