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
constexpr FbxClassIdInfo kVideo { "FbxVideo", &kObject };
constexpr FbxClassIdInfo kCallback { "FbxCallback", &kObject };
constexpr FbxClassIdInfo kEmbeddedFileCallback { "FbxEmbeddedFileCallback", &kCallback };
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
FbxClassId FbxVideo::ClassId { &kVideo };
FbxClassId FbxCallback::ClassId { &kCallback };
FbxClassId FbxEmbeddedFileCallback::ClassId { &kEmbeddedFileCallback };
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

// Exactly the same numbers, -0 apart from 0: what a write that changes nothing writes.
bool SameBits(const double* a, const double* b, std::size_t count)
{
    return std::memcmp(a, b, count * sizeof(double)) == 0;
}

} // namespace

// ---- PropertyList

namespace internal {

PropertyList::PropertyList(const PropertyList& other)
    : mRecords(other.mRecords)
{
    if (other.mIndex)
        Reindex();
}

PropertyList& PropertyList::operator=(const PropertyList& other)
{
    if (this != &other) {
        mRecords = other.mRecords;
        mIndex.reset();
        if (other.mIndex)
            Reindex();
    }
    return *this;
}

std::optional<int> PropertyList::Find(std::string_view name, bool caseSensitive) const
{
    if (mIndex && caseSensitive) {
        auto found = mIndex->find(name);
        return found == mIndex->end() ? std::nullopt : std::optional<int>(found->second);
    }
    for (std::size_t k = 0; k < mRecords.size(); ++k)
        if (NamesEqual(mRecords[k].name, name, caseSensitive))
            return static_cast<int>(k);
    return std::nullopt;
}

int PropertyList::Add(PropertyRecord record)
{
    const int index = Count();
    mRecords.push_back(std::move(record));
    if (mIndex)
        mIndex->emplace(mRecords.back().name, index);
    else if (mRecords.size() > kIndexedFrom)
        Reindex();
    return index;
}

void PropertyList::Reindex()
{
    mIndex = std::make_unique<Index>();
    mIndex->reserve(mRecords.size());
    // The first of a name wins, as a search would find it.
    for (std::size_t k = 0; k < mRecords.size(); ++k)
        mIndex->emplace(mRecords[k].name, static_cast<int>(k));
}

} // namespace internal

// ---- FbxProperty

const internal::PropertyRecord* FbxProperty::Record() const
{
    if (!mOwner || mIndex == -1)
        return nullptr;
    if (mIndex >= 0)
        return &mOwner->mProperties[mIndex];
    const internal::PropertyRecord& inherited = (*mOwner->mTemplate)[-2 - mIndex];
    // Set through another handle since: the object's own value is the one to read.
    if (std::optional<int> own = mOwner->mProperties.Find(inherited.name))
        return &mOwner->mProperties[*own];
    return &inherited;
}

bool FbxProperty::Inherits() const
{
    return mOwner && mIndex < -1 && !mOwner->mProperties.Find((*mOwner->mTemplate)[-2 - mIndex].name);
}

internal::PropertyRecord* FbxProperty::WritableRecord()
{
    if (!mOwner || mIndex == -1)
        return nullptr;
    if (mIndex < 0) {
        const internal::PropertyRecord& inherited = (*mOwner->mTemplate)[-2 - mIndex];
        std::optional<int> own = mOwner->mProperties.Find(inherited.name);
        if (!own) {
            internal::PropertyRecord copy = inherited;
            copy.sources.clear();
            own = mOwner->mProperties.Add(std::move(copy));
        }
        mIndex = *own;
    }
    return &mOwner->mProperties[mIndex];
}

FbxString FbxProperty::GetName() const
{
    const internal::PropertyRecord* record = Record();
    return record ? FbxString(record->name) : FbxString();
}

FbxString FbxProperty::GetPropertyDataTypeName() const
{
    const internal::PropertyRecord* record = Record();
    return record ? FbxString(record->type) : FbxString();
}

FbxProperty FbxProperty::Find(const char* name, bool caseSensitive) const
{
    if (!mOwner || !name)
        return FbxProperty();
    const std::string full = mIndex == -1 ? std::string(name) : std::string(GetName().Str()) + "|" + name;
    std::optional<int> index = mOwner->LookUpProperty(full, caseSensitive);
    return index ? FbxProperty(mOwner, *index) : FbxProperty();
}

template <>
FbxString FbxProperty::Get<FbxString>() const
{
    const internal::PropertyRecord* record = Record();
    return record ? FbxString(record->text) : FbxString();
}

template <>
double FbxProperty::Get<double>() const
{
    const internal::PropertyRecord* record = Record();
    return record ? record->values[0] : 0.0;
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
    const internal::PropertyRecord* record = Record();
    return record ? FbxDouble3(record->values[0], record->values[1], record->values[2]) : FbxDouble3();
}

template <>
FbxDouble4 FbxProperty::Get<FbxDouble4>() const
{
    const internal::PropertyRecord* record = Record();
    return record ? FbxDouble4(record->values[0], record->values[1], record->values[2], record->values[3])
                  : FbxDouble4();
}

template <>
bool FbxProperty::Set<FbxString>(const FbxString& value)
{
    if (Inherits() && Record()->text == value.Str())
        return true;
    internal::PropertyRecord* record = WritableRecord();
    if (!record)
        return false;
    record->text = value.Str();
    return true;
}

template <>
bool FbxProperty::Set<double>(const double& value)
{
    if (Inherits() && SameBits(Record()->values, &value, 1))
        return true;
    internal::PropertyRecord* record = WritableRecord();
    if (!record)
        return false;
    record->values[0] = value;
    record->valueCount = std::max(record->valueCount, 1);
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
    if (Inherits() && SameBits(Record()->values, value.mData, 3))
        return true;
    internal::PropertyRecord* record = WritableRecord();
    if (!record)
        return false;
    for (int k = 0; k < 3; ++k)
        record->values[k] = value[k];
    record->valueCount = std::max(record->valueCount, 3);
    return true;
}

int FbxProperty::GetSrcObjectCount(const FbxCriteria& criteria) const
{
    if (!mOwner)
        return 0;
    if (mIndex == -1)
        return mOwner->GetSrcObjectCount(criteria);
    const internal::PropertyRecord* record = Record();
    return record ? CountMatching(record->sources, criteria) : 0;
}

FbxObject* FbxProperty::GetSrcObject(const FbxCriteria& criteria, int index) const
{
    if (!mOwner)
        return nullptr;
    if (mIndex == -1)
        return mOwner->GetSrcObject(criteria, index);
    const internal::PropertyRecord* record = Record();
    return record ? NthMatching(record->sources, criteria, index) : nullptr;
}

bool FbxProperty::ConnectSrcObject(FbxObject* object)
{
    if (!mOwner || !object)
        return false;
    if (mIndex == -1)
        return mOwner->ConnectSrcObject(object);
    auto& sources = WritableRecord()->sources;
    if (std::find(sources.begin(), sources.end(), object) != sources.end())
        return false;
    sources.push_back(object);
    return true;
}

// ---- FbxObject

FbxObject::FbxObject(FbxManager* manager, const char* name, const internal::PropertyList* classProperties)
    : RootProperty(this, -1)
    , mName(name ? name : "")
    , mManager(manager)
    , mTemplate(classProperties)
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
            if (destination->mSourceSet)
                destination->mSourceSet->erase(this);
        }
        mSources.clear();
        mSourceSet.reset();
        mDestinations.clear();
        return;
    }
    if (mManager)
        mManager->Unregister(this);
    delete this;
}

std::optional<int> FbxObject::LookUpProperty(std::string_view name, bool caseSensitive) const
{
    if (std::optional<int> own = mProperties.Find(name, caseSensitive))
        return own;
    if (mTemplate)
        if (std::optional<int> inherited = mTemplate->Find(name, caseSensitive))
            return -2 - *inherited;
    return std::nullopt;
}

FbxProperty FbxObject::FindProperty(const char* name, bool caseSensitive) const
{
    return RootProperty.Find(name, caseSensitive);
}

FbxProperty FbxObject::ClassProperty(std::string_view name) const
{
    std::optional<int> place = mTemplate ? mTemplate->Find(name) : std::nullopt;
    return place ? FbxProperty(const_cast<FbxObject*>(this), -2 - *place) : FbxProperty();
}

FbxProperty FbxObject::AddProperty(const char* name, const char* type, double x, double y, double z)
{
    if (std::optional<int> existing = LookUpProperty(name, true))
        return FbxProperty(this, *existing);
    internal::PropertyRecord record;
    record.name = name;
    record.type = type;
    record.values[0] = x;
    record.values[1] = y;
    record.values[2] = z;
    return FbxProperty(this, mProperties.Add(std::move(record)));
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

namespace {
// Up to this many sources a walk finds a repeated one sooner than a set would.
constexpr std::size_t kSourceSetFrom = 32;
} // namespace

bool FbxObject::HasSource(FbxObject* object) const
{
    if (mSourceSet)
        return mSourceSet->count(object) != 0;
    return std::find(mSources.begin(), mSources.end(), object) != mSources.end();
}

void FbxObject::AddSource(FbxObject* object)
{
    mSources.push_back(object);
    if (mSourceSet)
        mSourceSet->insert(object);
    else if (mSources.size() > kSourceSetFrom)
        mSourceSet = std::make_unique<std::unordered_set<FbxObject*>>(mSources.begin(), mSources.end());
}

bool FbxObject::ConnectSrcObject(FbxObject* object)
{
    if (!object || object == this || HasSource(object))
        return false;
    AddSource(object);
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
