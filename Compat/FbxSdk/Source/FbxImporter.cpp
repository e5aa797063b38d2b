// The importer: Initialize reads and parses the whole file; Import builds the scene from it.
#include "Source/FbxSceneBuilder.h"
#include "fbxio/FbxReader.h"

#include "Platform/HugePages.h"
#include "Platform/RecycledBlocks.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

namespace fbxsdk {

namespace {

// A whole file's bytes. Not a vector: a vector would clear its tens of megabytes before the file is
// read over them. The block is kept for the next large file or array when this one is done (see
// Platform/RecycledBlocks.h).
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() { ReleaseBlock(bytes, byteCount); }

    void Allocate(std::size_t count)
    {
        ReleaseBlock(bytes, byteCount);
        bytes = nullptr;
        byteCount = 0;
        bytes = static_cast<std::uint8_t*>(AcquireBlock(count)); // left as it is: the read fills every byte
        byteCount = count;
        // The read writes it front to back, like an inflated array: a few huge pages take the place
        // of thousands of faults.
        if (count >= kHugePageArrayBytes)
            AdviseHugePages(bytes, count);
    }
    std::uint8_t* data() { return bytes; }
    const std::uint8_t* data() const { return bytes; }
    std::size_t size() const { return byteCount; }
    bool empty() const { return byteCount == 0; }

private:
    std::uint8_t* bytes = nullptr;
    std::size_t byteCount = 0;
};

} // namespace

struct FbxImporter::Parsed {
    FileBytes bytes; // binary arrays point into these
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

namespace {

// Larger files are refused before anything is allocated for them: the reader holds a whole file in
// memory, and a model this size is not something a scene loads.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t(2) << 30;

// Reads the whole of a regular file into `bytes`, or says why it cannot. The size comes from the
// file system, not from seeking: seeking to the end of a directory or a device reports a size that
// means nothing.
bool ReadWholeFile(const std::string& path, FileBytes& bytes, std::string& error)
{
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(path, code);
    if (code || !std::filesystem::exists(status)) {
        error = "cannot open '" + path + "'";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = "cannot read '" + path + "': not a regular file";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, code);
    if (code) {
        error = "cannot read '" + path + "'";
        return false;
    }
    if (size > kMaxFileBytes) {
        error = "cannot read '" + path + "': its " + std::to_string(size) + " bytes are more than the "
            + std::to_string(kMaxFileBytes) + " a file may have";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "'";
        return false;
    }
    bytes.Allocate(std::size_t(size));
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    // A file that shrank since its size was taken is not read half.
    if (std::uintmax_t(in.gcount()) != size) {
        error = "cannot read '" + path + "'";
        return false;
    }
    return true;
}

} // namespace

bool FbxImporter::Initialize(const char* fileName, int fileFormat, FbxIOSettings*)
{
    mStatus.Clear();
    mIsFbx = false;
    mFileFormat = -1;
    mVersion = 0;
    mParsed.reset();
    mEmbeddedFileRead = nullptr;
    mFileName = fileName ? fileName : "";
    auto parsed = std::make_unique<Parsed>();
    std::string fileError;
    if (!ReadWholeFile(mFileName, parsed->bytes, fileError)) {
        mStatus.SetCode(FbxStatus::eFailure, fileError.c_str());
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
    bool ok = internal::SceneBuilder::Build(mParsed->document, mParsed->bytes.size(), *scene, error, mEmbeddedFileRead);
    // The parsed file is only needed once; dropping it keeps peak memory near the scene's size.
    mParsed.reset();
    if (!ok) {
        scene->Clear();
        mStatus.SetCode(FbxStatus::eInvalidFile, (mFileName + ": " + error).c_str());
        return false;
    }
    return true;
}

FbxEmbeddedFileCallback* FbxEmbeddedFileCallback::Create(FbxManager* manager, const char* name)
{
    if (!manager)
        return nullptr;
    auto* callback = new FbxEmbeddedFileCallback(manager, name);
    manager->Register(callback);
    return callback;
}

int FbxEmbeddedFileCallback::RegisterReadFunction(ReadCBFunction function, void* userData)
{
    if (!function)
        return -1;
    mRead = function;
    mUserData = userData;
    return 0;
}

FbxCallback::State FbxEmbeddedFileCallback::Trigger(const char* fileName, const void* fileBuffer, size_t sizeInBytes)
{
    if (!mRead)
        return eFailure;
    return mRead(mUserData, mDataHint, fileName, fileBuffer, sizeInBytes);
}

void FbxImporter::GetFileVersion(int& major, int& minor, int& revision) const
{
    major = mVersion / 1000;
    minor = mVersion / 100 % 10;
    revision = mVersion % 100 / 10;
}

} // namespace fbxsdk
