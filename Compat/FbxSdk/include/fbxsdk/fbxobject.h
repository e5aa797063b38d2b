// Objects, properties and connections; the manager that owns top-level objects.
#pragma once

#include "fbxcore.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fbxsdk {

class FbxManager;
class FbxObject;
class FbxScene;
class FbxIOSettings;
namespace internal {
class SceneBuilder;

// One property's name, type and value, and the objects connected to it.
struct PropertyRecord {
    std::string name;
    std::string type;
    double values[4] = { 0, 0, 0, 0 };
    int valueCount = 0;
    std::string text;
    std::vector<FbxObject*> sources;
};

// Properties found by name in constant time however many there are: a short list is searched
// through (most objects have a few dozen), a long one through an index made when it grows long.
class PropertyList {
public:
    PropertyList() = default;
    PropertyList(const PropertyList& other);
    PropertyList& operator=(const PropertyList& other);
    PropertyList(PropertyList&&) noexcept = default;
    PropertyList& operator=(PropertyList&&) noexcept = default;

    // The position of the property named `name`, if there is one.
    std::optional<int> Find(std::string_view name, bool caseSensitive = true) const;
    // Appends a property whose name the list does not hold yet; returns its position.
    int Add(PropertyRecord record);
    // Finds names through an index from now on, however short the list: for a class's list, which
    // every object of the class searches as it is made.
    void IndexNames() { Reindex(); }
    int Count() const { return static_cast<int>(mRecords.size()); }
    PropertyRecord& operator[](int index) { return mRecords[std::size_t(index)]; }
    const PropertyRecord& operator[](int index) const { return mRecords[std::size_t(index)]; }

private:
    // Up to this many properties a search is faster than a hash and needs no memory of its own.
    static constexpr std::size_t kIndexedFrom = 24;
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };
    using Index = std::unordered_map<std::string, int, NameHash, std::equal_to<>>;
    void Reindex();

    std::vector<PropertyRecord> mRecords;
    std::unique_ptr<Index> mIndex;
};
} // namespace internal

#define FBXSDK_OBJECT_DECLARE(Class, Parent)                                                                           \
public:                                                                                                                \
    static FbxClassId ClassId;                                                                                         \
    const FbxClassId& GetRuntimeClassId() const override                                                               \
    {                                                                                                                  \
        return Class::ClassId;                                                                                         \
    }                                                                                                                  \
                                                                                                                       \
private:                                                                                                               \
    friend class internal::SceneBuilder;                                                                               \
                                                                                                                       \
public:

// Selects connected objects; the default selects every object.
class FbxCriteria {
public:
    FbxCriteria() = default;
    static FbxCriteria ObjectType(const FbxClassId& classId);
    static FbxCriteria ObjectTypeStrict(const FbxClassId& classId);
    bool Matches(const FbxObject* object) const;

private:
    FbxClassId mClassId;
    bool mStrict = false;
};

// A handle on one property of an object. Compound properties use "|" in their full names
// ("Original|ApplicationName"); Find on a property looks among its children.
class FbxProperty {
public:
    FbxProperty() = default;
    FbxProperty(FbxObject* owner, int index)
        : mOwner(owner)
        , mIndex(index)
    {
    }
    bool IsValid() const { return mOwner != nullptr; }
    FbxString GetName() const;
    FbxString GetPropertyDataTypeName() const; // the file's type name, e.g. "Color" or "KString"
    FbxObject* GetFbxObject() const { return mOwner; }
    FbxProperty Find(const char* name, bool caseSensitive = true) const;

    template <class T>
    T Get() const;
    template <class T>
    bool Set(const T& value);

    int GetSrcObjectCount(const FbxCriteria& criteria = FbxCriteria()) const;
    FbxObject* GetSrcObject(const FbxCriteria& criteria = FbxCriteria(), int index = 0) const;
    template <class T>
    int GetSrcObjectCount() const
    {
        return GetSrcObjectCount(FbxCriteria::ObjectType(T::ClassId));
    }
    template <class T>
    T* GetSrcObject(int index = 0) const
    {
        return static_cast<T*>(GetSrcObject(FbxCriteria::ObjectType(T::ClassId), index));
    }
    bool ConnectSrcObject(FbxObject* object);

protected:
    friend class internal::SceneBuilder;
    friend class FbxObject;
    // The record read through this handle: the owner's own, or the one it inherits (null for the
    // root property or an invalid handle).
    const internal::PropertyRecord* Record() const;
    // The owner's own record, copied from the inherited one the first time the property is written.
    // Writing the value it inherits changes nothing, and copies nothing: a scene's conversions write
    // every node's transform, most of them the defaults.
    internal::PropertyRecord* WritableRecord();
    // Whether the property is read from the owner's template, not from a record of its own.
    bool Inherits() const;

    FbxObject* mOwner = nullptr;
    // -1 is the object's root property; 0 and up the object's own properties; -2 and down the ones
    // it inherits from its template (-2 - position in the template).
    int mIndex = -1;
};

template <>
FbxString FbxProperty::Get<FbxString>() const;
template <>
double FbxProperty::Get<double>() const;
template <>
float FbxProperty::Get<float>() const;
template <>
int FbxProperty::Get<int>() const;
template <>
bool FbxProperty::Get<bool>() const;
template <>
FbxDouble3 FbxProperty::Get<FbxDouble3>() const;
template <>
FbxDouble4 FbxProperty::Get<FbxDouble4>() const;
template <>
bool FbxProperty::Set<FbxString>(const FbxString& value);
template <>
bool FbxProperty::Set<double>(const double& value);
template <>
bool FbxProperty::Set<int>(const int& value);
template <>
bool FbxProperty::Set<bool>(const bool& value);
template <>
bool FbxProperty::Set<FbxDouble3>(const FbxDouble3& value);

template <class T>
class FbxPropertyT : public FbxProperty {
public:
    FbxPropertyT() = default;
    FbxPropertyT(FbxObject* owner, int index)
        : FbxProperty(owner, index)
    {
    }
    explicit FbxPropertyT(const FbxProperty& property)
        : FbxProperty(property)
    {
    }
    T Get() const
    {
        if constexpr (std::is_enum_v<T>)
            return static_cast<T>(FbxProperty::Get<int>());
        else
            return FbxProperty::Get<T>();
    }
    bool Set(const T& value)
    {
        if constexpr (std::is_enum_v<T>)
            return FbxProperty::Set<int>(static_cast<int>(value));
        else
            return FbxProperty::Set<T>(value);
    }
};

class FbxObject {
public:
    static FbxClassId ClassId;
    virtual const FbxClassId& GetRuntimeClassId() const { return ClassId; }
    FbxClassId GetClassId() const { return GetRuntimeClassId(); }
    template <class T>
    bool Is() const
    {
        return GetRuntimeClassId().Is(T::ClassId);
    }

    const char* GetName() const { return mName.c_str(); }
    void SetName(const char* name) { mName = name ? name : ""; }
    const char* GetInitialName() const { return mName.c_str(); }
    FbxUInt64 GetUniqueID() const { return mUniqueId; }
    FbxManager* GetFbxManager() const { return mManager; }
    FbxScene* GetScene() const { return mScene; }

    // Objects made with Create(manager, ...) are deleted here. Objects that belong to a scene
    // are deleted with the scene; destroying one of them alone only disconnects it.
    virtual void Destroy(bool recursive = false);

    FbxProperty RootProperty;
    // The object's own property of that name or, when it has none, its template's: the class's
    // property with its default value, or the file's template for the object's type (its
    // Definitions) laid over those. An inherited property becomes the object's own when it is set or
    // connected to, as the FBX SDK's do.
    FbxProperty FindProperty(const char* name, bool caseSensitive = true) const;

    int GetSrcObjectCount(const FbxCriteria& criteria = FbxCriteria()) const;
    FbxObject* GetSrcObject(const FbxCriteria& criteria = FbxCriteria(), int index = 0) const;
    int GetDstObjectCount(const FbxCriteria& criteria = FbxCriteria()) const;
    FbxObject* GetDstObject(const FbxCriteria& criteria = FbxCriteria(), int index = 0) const;
    template <class T>
    int GetSrcObjectCount() const
    {
        return GetSrcObjectCount(FbxCriteria::ObjectType(T::ClassId));
    }
    template <class T>
    T* GetSrcObject(int index = 0) const
    {
        return static_cast<T*>(GetSrcObject(FbxCriteria::ObjectType(T::ClassId), index));
    }
    bool ConnectSrcObject(FbxObject* object);

    FbxObject(const FbxObject&) = delete;
    FbxObject& operator=(const FbxObject&) = delete;

protected:
    // `classProperties`, when given, are the properties every object of the class has, with their
    // defaults; they must outlive the object (a class keeps them in a static).
    FbxObject(FbxManager* manager, const char* name, const internal::PropertyList* classProperties = nullptr);
    virtual ~FbxObject();
    // Adds a property of the object's own (or returns the existing one of that name, own or
    // inherited) with a type and default.
    FbxProperty AddProperty(const char* name, const char* type, double x = 0, double y = 0, double z = 0);
    // The class's property of that name, for a constructor's handles: what FindProperty finds in a
    // new object, found without looking at the object's own.
    FbxProperty ClassProperty(std::string_view name) const;

private:
    friend class FbxProperty;
    friend class FbxManager;
    friend class FbxScene;
    friend class FbxDocument;
    friend class internal::SceneBuilder;

    // The handle's index for the property named `name`, own or inherited.
    std::optional<int> LookUpProperty(std::string_view name, bool caseSensitive) const;
    // Whether `object` is among the sources; a set answers once there are many.
    bool HasSource(FbxObject* object) const;
    void AddSource(FbxObject* object);

    std::string mName;
    FbxUInt64 mUniqueId = 0;
    FbxManager* mManager = nullptr;
    FbxScene* mScene = nullptr;
    internal::PropertyList mProperties;
    // Shared with every object of the same class (and, once imported, of the same file type); owned
    // by the class or by the scene, never by the object.
    const internal::PropertyList* mTemplate = nullptr;
    std::vector<FbxObject*> mSources;
    std::vector<FbxObject*> mDestinations;
    // Made once an object has many sources, so that adding each is not a walk over all before it.
    std::unique_ptr<std::unordered_set<FbxObject*>> mSourceSet;
};

class FbxManager {
public:
    static FbxManager* Create();
    void Destroy();
    void SetIOSettings(FbxIOSettings* settings) { mIOSettings = settings; }
    FbxIOSettings* GetIOSettings() const { return mIOSettings; }

    FbxManager(const FbxManager&) = delete;
    FbxManager& operator=(const FbxManager&) = delete;

private:
    friend class FbxObject;
    friend class FbxIOSettings;
    friend class FbxImporter;
    friend class FbxEmbeddedFileCallback;
    friend class FbxScene;
    FbxManager() = default;
    ~FbxManager();
    void Register(FbxObject* object);
    void Unregister(FbxObject* object);
    FbxUInt64 NextUniqueId() { return ++mLastUniqueId; }

    std::vector<FbxObject*> mObjects;
    FbxIOSettings* mIOSettings = nullptr;
    FbxUInt64 mLastUniqueId = 0;
};

// Import and export options, addressed by their "Import|AdvOptGrp|..." paths.
class FbxIOSettings : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxIOSettings, FbxObject)
    static FbxIOSettings* Create(FbxManager* manager, const char* name);
    void SetBoolProp(const char* name, bool value) { mBools[name ? name : ""] = value; }
    bool GetBoolProp(const char* name, bool defaultValue) const;

protected:
    FbxIOSettings(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }

private:
    std::map<std::string, bool> mBools;
};

// The document's information block (the file's SceneInfo): title, author, the applications
// that created and last saved it.
class FbxDocumentInfo : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxDocumentInfo, FbxObject)
    FbxPropertyT<FbxString> mTitle;
    FbxPropertyT<FbxString> mSubject;
    FbxPropertyT<FbxString> mAuthor;
    FbxPropertyT<FbxString> mKeywords;
    FbxPropertyT<FbxString> mRevision;
    FbxPropertyT<FbxString> mComment;
    FbxPropertyT<FbxString> Original_ApplicationVendor;
    FbxPropertyT<FbxString> Original_ApplicationName;
    FbxPropertyT<FbxString> Original_ApplicationVersion;
    FbxPropertyT<FbxString> Original_FileName;
    FbxPropertyT<FbxString> LastSaved_ApplicationVendor;
    FbxPropertyT<FbxString> LastSaved_ApplicationName;
    FbxPropertyT<FbxString> LastSaved_ApplicationVersion;

protected:
    friend class FbxImporter;
    friend class FbxDocument;
    FbxDocumentInfo(FbxManager* manager, const char* name);
};

} // namespace fbxsdk
