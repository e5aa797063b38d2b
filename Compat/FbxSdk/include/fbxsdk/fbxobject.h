// Objects, properties and connections; the manager that owns top-level objects.
#pragma once

#include "fbxcore.h"

#include <map>
#include <memory>
#include <type_traits>
#include <vector>

namespace fbxsdk {

class FbxManager;
class FbxObject;
class FbxScene;
class FbxIOSettings;
namespace internal {
class SceneBuilder;
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
    FbxObject* mOwner = nullptr;
    int mIndex = -1; // -1 is the object's root property
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
    FbxProperty FindProperty(const char* name, bool caseSensitive = true) const;
    int GetPropertyCount() const;
    FbxProperty GetPropertyAt(int index) const;

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
    FbxObject(FbxManager* manager, const char* name);
    virtual ~FbxObject();
    // Adds a property (or returns the existing one of that name) with a type and default.
    FbxProperty AddProperty(const char* name, const char* type, double x = 0, double y = 0, double z = 0);

private:
    friend class FbxProperty;
    friend class FbxManager;
    friend class FbxScene;
    friend class FbxDocument;
    friend class internal::SceneBuilder;

    struct PropertyRecord {
        std::string name;
        std::string type;
        double values[4] = { 0, 0, 0, 0 };
        int valueCount = 0;
        std::string text;
        std::vector<FbxObject*> sources;
    };

    std::string mName;
    FbxUInt64 mUniqueId = 0;
    FbxManager* mManager = nullptr;
    FbxScene* mScene = nullptr;
    std::vector<PropertyRecord> mProperties;
    std::vector<FbxObject*> mSources;
    std::vector<FbxObject*> mDestinations;
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
