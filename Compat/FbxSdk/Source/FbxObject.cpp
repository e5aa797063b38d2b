// Objects, their properties and connections, class ids and the manager.
#include <fbxsdk.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace fbxsdk {

// Class ids are constant-initialised, so their order of definition across files is irrelevant.
namespace {
constexpr FbxClassIdInfo kObject { "FbxObject", nullptr };
constexpr FbxClassIdInfo kIOSettings { "FbxIOSettings", &kObject };
constexpr FbxClassIdInfo kDocumentInfo { "FbxDocumentInfo", &kObject };
constexpr FbxClassIdInfo kNodeAttribute { "FbxNodeAttribute", &kObject };
constexpr FbxClassIdInfo kNull { "FbxNull", &kNodeAttribute };
constexpr FbxClassIdInfo kSkeleton { "FbxSkeleton", &kNodeAttribute };
constexpr FbxClassIdInfo kLODGroup { "FbxLODGroup", &kNodeAttribute };
constexpr FbxClassIdInfo kGeometryBase { "FbxGeometryBase", &kNodeAttribute };
constexpr FbxClassIdInfo kGeometry { "FbxGeometry", &kGeometryBase };
constexpr FbxClassIdInfo kMesh { "FbxMesh", &kGeometry };
constexpr FbxClassIdInfo kDeformer { "FbxDeformer", &kObject };
constexpr FbxClassIdInfo kSkin { "FbxSkin", &kDeformer };
constexpr FbxClassIdInfo kCluster { "FbxCluster", &kObject };
constexpr FbxClassIdInfo kSurfaceMaterial { "FbxSurfaceMaterial", &kObject };
constexpr FbxClassIdInfo kTexture { "FbxTexture", &kObject };
constexpr FbxClassIdInfo kFileTexture { "FbxFileTexture", &kTexture };
constexpr FbxClassIdInfo kProceduralTexture { "FbxProceduralTexture", &kTexture };
constexpr FbxClassIdInfo kLayeredTexture { "FbxLayeredTexture", &kTexture };
constexpr FbxClassIdInfo kNode { "FbxNode", &kObject };
constexpr FbxClassIdInfo kGlobalSettings { "FbxGlobalSettings", &kObject };
constexpr FbxClassIdInfo kDocument { "FbxDocument", &kObject };
constexpr FbxClassIdInfo kScene { "FbxScene", &kDocument };
constexpr FbxClassIdInfo kImporter { "FbxImporter", &kObject };
} // namespace

FbxClassId FbxObject::ClassId { &kObject };
FbxClassId FbxIOSettings::ClassId { &kIOSettings };
FbxClassId FbxDocumentInfo::ClassId { &kDocumentInfo };
FbxClassId FbxNodeAttribute::ClassId { &kNodeAttribute };
FbxClassId FbxNull::ClassId { &kNull };
FbxClassId FbxSkeleton::ClassId { &kSkeleton };
FbxClassId FbxLODGroup::ClassId { &kLODGroup };
FbxClassId FbxGeometryBase::ClassId { &kGeometryBase };
FbxClassId FbxGeometry::ClassId { &kGeometry };
FbxClassId FbxMesh::ClassId { &kMesh };
FbxClassId FbxDeformer::ClassId { &kDeformer };
FbxClassId FbxSkin::ClassId { &kSkin };
FbxClassId FbxCluster::ClassId { &kCluster };
FbxClassId FbxSurfaceMaterial::ClassId { &kSurfaceMaterial };
FbxClassId FbxTexture::ClassId { &kTexture };
FbxClassId FbxFileTexture::ClassId { &kFileTexture };
FbxClassId FbxProceduralTexture::ClassId { &kProceduralTexture };
FbxClassId FbxLayeredTexture::ClassId { &kLayeredTexture };
FbxClassId FbxNode::ClassId { &kNode };
FbxClassId FbxGlobalSettings::ClassId { &kGlobalSettings };
FbxClassId FbxDocument::ClassId { &kDocument };
FbxClassId FbxScene::ClassId { &kScene };
FbxClassId FbxImporter::ClassId { &kImporter };

bool FbxClassId::Is(const FbxClassId& other) const
{
    for (const FbxClassIdInfo* info = mInfo; info; info = info->parent)
        if (info == other.mInfo)
            return true;
    return false;
}

FbxCriteria FbxCriteria::ObjectType(const FbxClassId& classId)
{
    FbxCriteria c;
    c.mClassId = classId;
    return c;
}

FbxCriteria FbxCriteria::ObjectTypeStrict(const FbxClassId& classId)
{
    FbxCriteria c = ObjectType(classId);
    c.mStrict = true;
    return c;
}

bool FbxCriteria::Matches(const FbxObject* object) const
{
    if (!object)
        return false;
    if (!mClassId.IsValid())
        return true;
    return mStrict ? object->GetClassId() == mClassId : object->GetClassId().Is(mClassId);
}

namespace {

bool NamesEqual(std::string_view a, std::string_view b, bool caseSensitive)
{
    if (caseSensitive)
        return a == b;
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

int CountMatching(const std::vector<FbxObject*>& list, const FbxCriteria& criteria)
{
    return static_cast<int>(std::count_if(list.begin(), list.end(), [&](FbxObject* o) { return criteria.Matches(o); }));
}

FbxObject* NthMatching(const std::vector<FbxObject*>& list, const FbxCriteria& criteria, int index)
{
    if (index < 0)
        return nullptr;
    for (FbxObject* o : list)
        if (criteria.Matches(o) && index-- == 0)
            return o;
    return nullptr;
}

} // namespace

// ---- FbxProperty

FbxString FbxProperty::GetName() const
{
    if (!mOwner || mIndex < 0)
        return FbxString();
    return FbxString(mOwner->mProperties[std::size_t(mIndex)].name);
}

FbxString FbxProperty::GetPropertyDataTypeName() const
{
    if (!mOwner || mIndex < 0)
        return FbxString();
    return FbxString(mOwner->mProperties[std::size_t(mIndex)].type);
}

FbxProperty FbxProperty::Find(const char* name, bool caseSensitive) const
{
    if (!mOwner || !name)
        return FbxProperty();
    std::string full = mIndex < 0 ? std::string(name) : std::string(GetName().Str()) + "|" + name;
    const auto& list = mOwner->mProperties;
    for (std::size_t k = 0; k < list.size(); ++k)
        if (NamesEqual(list[k].name, full, caseSensitive))
            return FbxProperty(mOwner, int(k));
    return FbxProperty();
}

template <>
FbxString FbxProperty::Get<FbxString>() const
{
    if (!mOwner || mIndex < 0)
        return FbxString();
    return FbxString(mOwner->mProperties[std::size_t(mIndex)].text);
}

template <>
double FbxProperty::Get<double>() const
{
    if (!mOwner || mIndex < 0)
        return 0.0;
    return mOwner->mProperties[std::size_t(mIndex)].values[0];
}

template <>
float FbxProperty::Get<float>() const
{
    return static_cast<float>(Get<double>());
}

template <>
int FbxProperty::Get<int>() const
{
    double v = Get<double>();
    if (!(v == v) || v > 2147483647.0 || v < -2147483648.0)
        return 0;
    return static_cast<int>(v);
}

template <>
bool FbxProperty::Get<bool>() const
{
    return Get<double>() != 0.0;
}

template <>
FbxDouble3 FbxProperty::Get<FbxDouble3>() const
{
    if (!mOwner || mIndex < 0)
        return FbxDouble3();
    const double* v = mOwner->mProperties[std::size_t(mIndex)].values;
    return FbxDouble3(v[0], v[1], v[2]);
}

template <>
FbxDouble4 FbxProperty::Get<FbxDouble4>() const
{
    if (!mOwner || mIndex < 0)
        return FbxDouble4();
    const double* v = mOwner->mProperties[std::size_t(mIndex)].values;
    return FbxDouble4(v[0], v[1], v[2], v[3]);
}

template <>
bool FbxProperty::Set<FbxString>(const FbxString& value)
{
    if (!mOwner || mIndex < 0)
        return false;
    mOwner->mProperties[std::size_t(mIndex)].text = value.Str();
    return true;
}

template <>
bool FbxProperty::Set<double>(const double& value)
{
    if (!mOwner || mIndex < 0)
        return false;
    auto& record = mOwner->mProperties[std::size_t(mIndex)];
    record.values[0] = value;
    record.valueCount = std::max(record.valueCount, 1);
    return true;
}

template <>
bool FbxProperty::Set<int>(const int& value)
{
    return Set<double>(static_cast<double>(value));
}

template <>
bool FbxProperty::Set<bool>(const bool& value)
{
    return Set<double>(value ? 1.0 : 0.0);
}

template <>
bool FbxProperty::Set<FbxDouble3>(const FbxDouble3& value)
{
    if (!mOwner || mIndex < 0)
        return false;
    auto& record = mOwner->mProperties[std::size_t(mIndex)];
    for (int k = 0; k < 3; ++k)
        record.values[k] = value[k];
    record.valueCount = std::max(record.valueCount, 3);
    return true;
}

int FbxProperty::GetSrcObjectCount(const FbxCriteria& criteria) const
{
    if (!mOwner)
        return 0;
    if (mIndex < 0)
        return mOwner->GetSrcObjectCount(criteria);
    return CountMatching(mOwner->mProperties[std::size_t(mIndex)].sources, criteria);
}

FbxObject* FbxProperty::GetSrcObject(const FbxCriteria& criteria, int index) const
{
    if (!mOwner)
        return nullptr;
    if (mIndex < 0)
        return mOwner->GetSrcObject(criteria, index);
    return NthMatching(mOwner->mProperties[std::size_t(mIndex)].sources, criteria, index);
}

bool FbxProperty::ConnectSrcObject(FbxObject* object)
{
    if (!mOwner || !object)
        return false;
    if (mIndex < 0)
        return mOwner->ConnectSrcObject(object);
    auto& sources = mOwner->mProperties[std::size_t(mIndex)].sources;
    if (std::find(sources.begin(), sources.end(), object) != sources.end())
        return false;
    sources.push_back(object);
    return true;
}

// ---- FbxObject

FbxObject::FbxObject(FbxManager* manager, const char* name)
    : RootProperty(this, -1)
    , mName(name ? name : "")
    , mManager(manager)
{
    if (manager)
        mUniqueId = manager->NextUniqueId();
}

FbxObject::~FbxObject() = default;

void FbxObject::Destroy(bool)
{
    if (mScene) {
        // Owned by the scene: cut it loose so nothing reaches it; the scene frees it.
        for (FbxObject* source : mSources) {
            auto& d = source->mDestinations;
            d.erase(std::remove(d.begin(), d.end(), this), d.end());
        }
        for (FbxObject* destination : mDestinations) {
            auto& s = destination->mSources;
            s.erase(std::remove(s.begin(), s.end(), this), s.end());
        }
        mSources.clear();
        mDestinations.clear();
        return;
    }
    if (mManager)
        mManager->Unregister(this);
    delete this;
}

FbxProperty FbxObject::FindProperty(const char* name, bool caseSensitive) const
{
    return RootProperty.Find(name, caseSensitive);
}

int FbxObject::GetPropertyCount() const
{
    return static_cast<int>(mProperties.size());
}

FbxProperty FbxObject::GetPropertyAt(int index) const
{
    if (index < 0 || index >= GetPropertyCount())
        return FbxProperty();
    return FbxProperty(const_cast<FbxObject*>(this), index);
}

FbxProperty FbxObject::AddProperty(const char* name, const char* type, double x, double y, double z)
{
    FbxProperty existing = FindProperty(name);
    if (existing.IsValid())
        return existing;
    PropertyRecord& record = mProperties.emplace_back();
    record.name = name;
    record.type = type;
    record.values[0] = x;
    record.values[1] = y;
    record.values[2] = z;
    return FbxProperty(this, static_cast<int>(mProperties.size()) - 1);
}

int FbxObject::GetSrcObjectCount(const FbxCriteria& criteria) const
{
    return CountMatching(mSources, criteria);
}

FbxObject* FbxObject::GetSrcObject(const FbxCriteria& criteria, int index) const
{
    return NthMatching(mSources, criteria, index);
}

int FbxObject::GetDstObjectCount(const FbxCriteria& criteria) const
{
    return CountMatching(mDestinations, criteria);
}

FbxObject* FbxObject::GetDstObject(const FbxCriteria& criteria, int index) const
{
    return NthMatching(mDestinations, criteria, index);
}

bool FbxObject::ConnectSrcObject(FbxObject* object)
{
    if (!object || object == this)
        return false;
    if (std::find(mSources.begin(), mSources.end(), object) != mSources.end())
        return false;
    mSources.push_back(object);
    object->mDestinations.push_back(this);
    return true;
}

// ---- FbxManager

FbxManager* FbxManager::Create()
{
    return new FbxManager();
}

void FbxManager::Destroy()
{
    delete this;
}

FbxManager::~FbxManager()
{
    // Whatever the caller did not destroy goes with the manager; scenes free their contents.
    while (!mObjects.empty()) {
        FbxObject* object = mObjects.back();
        mObjects.pop_back();
        object->mManager = nullptr;
        object->Destroy();
    }
}

void FbxManager::Register(FbxObject* object)
{
    mObjects.push_back(object);
}

void FbxManager::Unregister(FbxObject* object)
{
    mObjects.erase(std::remove(mObjects.begin(), mObjects.end(), object), mObjects.end());
    if (mIOSettings == object)
        mIOSettings = nullptr;
}

// ---- FbxIOSettings

FbxIOSettings* FbxIOSettings::Create(FbxManager* manager, const char* name)
{
    if (!manager)
        return nullptr;
    auto* settings = new FbxIOSettings(manager, name);
    manager->Register(settings);
    return settings;
}

bool FbxIOSettings::GetBoolProp(const char* name, bool defaultValue) const
{
    auto it = mBools.find(name ? name : "");
    return it == mBools.end() ? defaultValue : it->second;
}

// ---- FbxDocumentInfo

FbxDocumentInfo::FbxDocumentInfo(FbxManager* manager, const char* name)
    : FbxObject(manager, name)
{
    auto text = [this](
                    const char* propertyName) { return FbxPropertyT<FbxString>(AddProperty(propertyName, "KString")); };
    mTitle = text("Title");
    mSubject = text("Subject");
    mAuthor = text("Author");
    mKeywords = text("Keywords");
    mRevision = text("Revision");
    mComment = text("Comment");
    Original_ApplicationVendor = text("Original|ApplicationVendor");
    Original_ApplicationName = text("Original|ApplicationName");
    Original_ApplicationVersion = text("Original|ApplicationVersion");
    Original_FileName = text("Original|FileName");
    LastSaved_ApplicationVendor = text("LastSaved|ApplicationVendor");
    LastSaved_ApplicationName = text("LastSaved|ApplicationName");
    LastSaved_ApplicationVersion = text("LastSaved|ApplicationVersion");
}

} // namespace fbxsdk
