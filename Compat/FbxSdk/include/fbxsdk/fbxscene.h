// Materials and textures, nodes, the scene with its global settings, unit and axis
// conversion, the geometry converter and the importer.
#pragma once

#include "fbxgeometry.h"

namespace fbxsdk {

class FbxScene;
class FbxDocument;

class FbxSurfaceMaterial : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxSurfaceMaterial, FbxObject)
    static const char* sShadingModel;
    static const char* sMultiLayer;
    static const char* sEmissive;
    static const char* sEmissiveFactor;
    static const char* sAmbient;
    static const char* sAmbientFactor;
    static const char* sDiffuse;
    static const char* sDiffuseFactor;
    static const char* sSpecular;
    static const char* sSpecularFactor;
    static const char* sShininess;
    static const char* sBump;
    static const char* sNormalMap;
    static const char* sBumpFactor;
    static const char* sTransparentColor;
    static const char* sTransparencyFactor;
    static const char* sReflection;
    static const char* sReflectionFactor;
    static const char* sDisplacementColor;
    static const char* sDisplacementFactor;
    static const char* sVectorDisplacementColor;
    static const char* sVectorDisplacementFactor;

    FbxPropertyT<FbxString> ShadingModel;

protected:
    FbxSurfaceMaterial(FbxManager* manager, const char* name);
};

class FbxTexture : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxTexture, FbxObject)
protected:
    FbxTexture(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }
};

class FbxFileTexture : public FbxTexture {
    FBXSDK_OBJECT_DECLARE(FbxFileTexture, FbxTexture)
    // The path as stored in the file (usually absolute, from the authoring machine).
    const char* GetFileName() const { return mFileName.c_str(); }
    // The path relative to the FBX file, as stored in the file.
    const char* GetRelativeFileName() const { return mRelativeFileName.c_str(); }

protected:
    FbxFileTexture(FbxManager* manager, const char* name)
        : FbxTexture(manager, name)
    {
    }

private:
    std::string mFileName;
    std::string mRelativeFileName;
};

// An image or clip a texture shows: a file's name and, when the file embeds it, its bytes (handed to
// the importer's embedded-file callback, never kept here).
class FbxVideo : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxVideo, FbxObject)
    const char* GetFileName() const { return mFileName.c_str(); }
    const char* GetRelativeFileName() const { return mRelativeFileName.c_str(); }

protected:
    FbxVideo(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }

private:
    std::string mFileName;
    std::string mRelativeFileName;
};

class FbxProceduralTexture : public FbxTexture {
    FBXSDK_OBJECT_DECLARE(FbxProceduralTexture, FbxTexture)
protected:
    FbxProceduralTexture(FbxManager* manager, const char* name)
        : FbxTexture(manager, name)
    {
    }
};

// Blends the textures connected to it; they are its source objects, bottom layer first.
class FbxLayeredTexture : public FbxTexture {
    FBXSDK_OBJECT_DECLARE(FbxLayeredTexture, FbxTexture)
protected:
    FbxLayeredTexture(FbxManager* manager, const char* name)
        : FbxTexture(manager, name)
    {
    }
};

// FbxTransform's inherit types: how a parent's scaling reaches the child.
enum EFbxInheritType { eInheritRrSs, eInheritRSrs, eInheritRrs };

class FbxNode : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxNode, FbxObject)
    enum EPivotSet { eSourcePivot, eDestinationPivot };

    FbxNode* GetParent() const { return mParent; }
    // With recursive = true, every descendant is counted.
    int GetChildCount(bool recursive = false) const;
    FbxNode* GetChild(int index) const;

    FbxNodeAttribute* GetNodeAttribute() const { return mAttribute; }
    FbxMesh* GetMesh() const;
    FbxLODGroup* GetLodGroup() const;
    FbxSkeleton* GetSkeleton() const;
    FbxNull* GetNull() const;

    int GetMaterialCount() const { return static_cast<int>(mMaterials.size()); }
    FbxSurfaceMaterial* GetMaterial(int index) const;

    FbxPropertyT<FbxDouble3> LclTranslation;
    FbxPropertyT<FbxDouble3> LclRotation;
    FbxPropertyT<FbxDouble3> LclScaling;
    FbxPropertyT<FbxDouble3> RotationOffset;
    FbxPropertyT<FbxDouble3> RotationPivot;
    FbxPropertyT<FbxDouble3> ScalingOffset;
    FbxPropertyT<FbxDouble3> ScalingPivot;
    FbxPropertyT<FbxDouble3> PreRotation;
    FbxPropertyT<FbxDouble3> PostRotation;
    // Without it the rotation order, pre- and post-rotation are ignored: the node turns in XYZ order.
    FbxPropertyT<FbxBool> RotationActive;
    FbxPropertyT<EFbxRotationOrder> RotationOrder;
    FbxPropertyT<EFbxInheritType> InheritType;
    FbxPropertyT<FbxDouble3> GeometricTranslation;
    FbxPropertyT<FbxDouble3> GeometricRotation;
    FbxPropertyT<FbxDouble3> GeometricScaling;

    // Files carry one pivot set; both sets read it.
    FbxVector4 GetRotationOffset(EPivotSet set) const;
    FbxVector4 GetRotationPivot(EPivotSet set) const;
    FbxVector4 GetScalingOffset(EPivotSet set) const;
    FbxVector4 GetScalingPivot(EPivotSet set) const;
    FbxVector4 GetPreRotation(EPivotSet set) const;
    FbxVector4 GetPostRotation(EPivotSet set) const;
    void GetRotationOrder(EPivotSet set, EFbxRotationOrder& order) const;
    void GetTransformationInheritType(EFbxInheritType& type) const;
    FbxVector4 GetGeometricTranslation(EPivotSet set) const;
    FbxVector4 GetGeometricRotation(EPivotSet set) const;
    FbxVector4 GetGeometricScaling(EPivotSet set) const;

    // The node's transform relative to its parent, and in the scene: translation, rotation
    // offset and pivot, pre-rotation, rotation in its order, post-rotation, scaling offset and
    // pivot, scaling, combined with the parent's by the node's inherit type. Without animation
    // the time has no effect. The reference stays valid until the next evaluation of this node.
    FbxAMatrix& EvaluateLocalTransform(FbxTime time = FBXSDK_TIME_INFINITE, EPivotSet set = eSourcePivot,
        bool applyTarget = false, bool forceEval = false);
    FbxAMatrix& EvaluateGlobalTransform(FbxTime time = FBXSDK_TIME_INFINITE, EPivotSet set = eSourcePivot,
        bool applyTarget = false, bool forceEval = false);

protected:
    FbxNode(FbxManager* manager, const char* name);

private:
    friend class FbxScene;
    FbxNode* mParent = nullptr;
    std::vector<FbxNode*> mChildren;
    FbxNodeAttribute* mAttribute = nullptr;
    std::vector<FbxSurfaceMaterial*> mMaterials;
    FbxAMatrix mLocalCache;
    FbxAMatrix mGlobalCache;
};

class FbxSystemUnit {
public:
    struct ConversionOptions {
        bool mConvertRrsNodes;
        bool mConvertLimits;
        bool mConvertClusters;
        bool mConvertLightIntensity;
        bool mConvertPhotometricLProperties;
        bool mConvertCameraClipPlanes;
    };
    static const ConversionOptions DefaultConversionOptions;
    static const FbxSystemUnit mm, cm, dm, m, km, Inch, Foot, Mile, Yard;

    FbxSystemUnit() = default;
    FbxSystemUnit(double scaleFactor, double multiplier = 1.0)
        : mScaleFactor(scaleFactor)
        , mMultiplier(multiplier)
    {
    }
    double GetScaleFactor() const { return mScaleFactor; } // centimetres per unit
    double GetMultiplier() const { return mMultiplier; }
    double GetConversionFactorTo(const FbxSystemUnit& target) const;
    double GetConversionFactorFrom(const FbxSystemUnit& source) const { return source.GetConversionFactorTo(*this); }
    // Equal within a relative 1e-6: exporters often store units through a float.
    bool operator==(const FbxSystemUnit& other) const;
    bool operator!=(const FbxSystemUnit& other) const { return !(*this == other); }

    // Rescales the scene to this unit: every distance (node translations, pivots and offsets,
    // geometric translations, control points, cluster matrices' translations) is multiplied by the
    // conversion factor, so a point placed by its node's global transform lands where it did, scaled.
    void ConvertScene(FbxScene* scene, const ConversionOptions& options = DefaultConversionOptions) const;

private:
    double mScaleFactor = 1.0;
    double mMultiplier = 1.0;
};

class FbxAxisSystem {
public:
    enum EUpVector { eXAxis = 1, eYAxis = 2, eZAxis = 3 };
    enum EFrontVector { eParityEven = 1, eParityOdd = 2 };
    enum ECoordSystem { eRightHanded, eLeftHanded };
    enum EPreDefinedAxisSystem { eMayaZUp, eMayaYUp, eMax, eMotionBuilder, eOpenGL, eDirectX, eLightwave };
    static const FbxAxisSystem MayaZUp, MayaYUp, Max, Motionbuilder, OpenGL, DirectX, Lightwave;

    FbxAxisSystem();
    // The signs of up and front are carried by the enumerators' signs (-eYAxis is down).
    FbxAxisSystem(EUpVector up, EFrontVector front, ECoordSystem coord);
    FbxAxisSystem(EPreDefinedAxisSystem predefined);
    bool operator==(const FbxAxisSystem& other) const;
    bool operator!=(const FbxAxisSystem& other) const { return !(*this == other); }

    EUpVector GetUpVector(int& sign) const;
    EFrontVector GetFrontVector(int& sign) const;
    ECoordSystem GetCoorSystem() const;

    // Converts the scene to this axis system: node transforms, control points, normals,
    // tangents, binormals and cluster matrices. Polygon winding is left as it is.
    void DeepConvertScene(FbxScene* scene) const;

    // The axes as the file stores them: index 0-2 and sign for up, front and the third axis.
    struct Axes {
        int up = 1, upSign = 1, front = 2, frontSign = 1, coord = 0, coordSign = 1;
    };
    static FbxAxisSystem FromAxes(const Axes& axes);
    Axes GetAxes() const { return mAxes; }

private:
    void Resolve();
    int mUp = eYAxis; // signed EUpVector, as constructed
    int mFront = eParityOdd; // signed EFrontVector, as constructed
    ECoordSystem mCoord = eRightHanded;
    Axes mAxes;
};

class FbxGlobalSettings : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxGlobalSettings, FbxObject)
    FbxAxisSystem GetAxisSystem() const { return mAxisSystem; }
    void SetAxisSystem(const FbxAxisSystem& axes) { mAxisSystem = axes; }
    // 0 = X, 1 = Y, 2 = Z, -1 when the file does not say.
    int GetOriginalUpAxis() const { return mOriginalUpAxis; }
    FbxSystemUnit GetSystemUnit() const { return mSystemUnit; }
    void SetSystemUnit(const FbxSystemUnit& unit) { mSystemUnit = unit; }
    FbxSystemUnit GetOriginalSystemUnit() const { return mOriginalSystemUnit; }

protected:
    friend class FbxScene;
    FbxGlobalSettings(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }

private:
    FbxAxisSystem mAxisSystem;
    int mOriginalUpAxis = -1;
    FbxSystemUnit mSystemUnit;
    FbxSystemUnit mOriginalSystemUnit;
};

class FbxDocument : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxDocument, FbxObject)
    FbxDocumentInfo* GetDocumentInfo() const { return mInfo; }

protected:
    FbxDocument(FbxManager* manager, const char* name);
    ~FbxDocument() override;
    FbxDocumentInfo* mInfo = nullptr;
};

class FbxScene : public FbxDocument {
    FBXSDK_OBJECT_DECLARE(FbxScene, FbxDocument)
    static FbxScene* Create(FbxManager* manager, const char* name);
    void Destroy(bool recursive = false) override;

    FbxNode* GetRootNode() const { return mRoot; }
    FbxGlobalSettings& GetGlobalSettings() { return *mGlobalSettings; }
    const FbxGlobalSettings& GetGlobalSettings() const { return *mGlobalSettings; }
    FbxDocumentInfo* GetSceneInfo() const { return mInfo; }

    // Materials in the order the file declares them.
    int GetMaterialCount() const { return static_cast<int>(mMaterialList.size()); }
    FbxSurfaceMaterial* GetMaterial(int index) const;
    // FBX 7 files connect materials to nodes directly, so there is nothing left to connect;
    // kept for callers written against files whose materials hang off layer elements.
    bool ConnectMaterials();

    int GetNodeCount() const { return static_cast<int>(mNodeList.size()); }
    FbxNode* GetNode(int index) const;
    int GetGeometryCount() const { return static_cast<int>(mMeshList.size()); }
    FbxMesh* GetMesh(int index) const;
    int GetTextureCount() const { return static_cast<int>(mTextureList.size()); }
    FbxTexture* GetTexture(int index) const;

protected:
    FbxScene(FbxManager* manager, const char* name);
    ~FbxScene() override;

private:
    friend class FbxObject;
    friend class FbxImporter;
    void Clear();
    std::vector<FbxObject*> mOwned;
    // The file's property templates, each laid over the properties of a class, shared by every
    // object of that type and class.
    std::vector<std::unique_ptr<internal::PropertyList>> mTemplates;
    FbxNode* mRoot = nullptr;
    FbxGlobalSettings* mGlobalSettings = nullptr;
    std::vector<FbxSurfaceMaterial*> mMaterialList;
    std::vector<FbxNode*> mNodeList;
    std::vector<FbxMesh*> mMeshList;
    std::vector<FbxTexture*> mTextureList;
};

class FbxGeometryConverter {
public:
    explicit FbxGeometryConverter(FbxManager* manager)
        : mManager(manager)
    {
    }
    // Replaces every polygon of every mesh by triangles, in place: concave polygons by ear
    // clipping, polygons with repeated corners without them, degenerate ones dropped. Every
    // per-polygon-vertex and per-polygon layer element follows. The legacy flag has no
    // effect. True when every mesh was triangulated.
    bool Triangulate(FbxScene* scene, bool replace, bool legacy = false);
    FbxNodeAttribute* Triangulate(FbxNodeAttribute* attribute, bool replace, bool legacy = false);

private:
    [[maybe_unused]] FbxManager* mManager;
};

// Callbacks the SDK calls while it works, by the data they are given.
class FbxCallback : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxCallback, FbxObject)
    enum State { eFailure = 0, eNotHandled = 1, eHandled = 2 };
    void SetDataHint(FbxClassId hint) { mDataHint = hint; }

protected:
    FbxCallback(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }
    FbxClassId mDataHint;
};

// Receives the files an FBX file embeds (its videos' content) while the importer reads it, instead
// of the SDK extracting them to a folder beside the file. The buffer is the importer's: the function
// copies what it keeps.
class FbxEmbeddedFileCallback : public FbxCallback {
    FBXSDK_OBJECT_DECLARE(FbxEmbeddedFileCallback, FbxCallback)
    using ReadCBFunction = FbxCallback::State (*)(
        void* userData, FbxClassId dataHint, const char* fileName, const void* fileBuffer, size_t sizeInBytes);
    static FbxEmbeddedFileCallback* Create(FbxManager* manager, const char* name);
    // One function: a second registration takes the place of the first. -1 for a null function.
    int RegisterReadFunction(ReadCBFunction function, void* userData = nullptr);
    // Calls the function with the current data hint; eFailure when none is registered.
    FbxCallback::State Trigger(const char* fileName, const void* fileBuffer, size_t sizeInBytes);

protected:
    FbxEmbeddedFileCallback(FbxManager* manager, const char* name)
        : FbxCallback(manager, name)
    {
    }

private:
    ReadCBFunction mRead = nullptr;
    void* mUserData = nullptr;
};

class FbxImporter : public FbxObject {
    FBXSDK_OBJECT_DECLARE(FbxImporter, FbxObject)
    static FbxImporter* Create(FbxManager* manager, const char* name);

    // Opens and parses the file. fileFormat -1 detects binary or ASCII.
    virtual bool Initialize(const char* fileName, int fileFormat = -1, FbxIOSettings* settings = nullptr);
    bool IsFBX() const { return mIsFbx; }
    // Builds the scene from the parsed file. Each embedded file is handed to the embedded-file
    // callback, when one is set; without one, embedded files are not extracted.
    bool Import(FbxDocument* document, bool nonBlocking = false);
    // Set after Initialize, which clears it. The importer does not own it.
    void SetEmbeddedFileReadCallback(FbxEmbeddedFileCallback* callback) { mEmbeddedFileRead = callback; }
    FbxEmbeddedFileCallback* GetEmbeddedFileReadCallback() const { return mEmbeddedFileRead; }
    FbxStatus& GetStatus() { return mStatus; }
    FbxDocumentInfo* GetSceneInfo() const { return mSceneInfo; }
    void GetFileVersion(int& major, int& minor, int& revision) const;
    // The reader that recognised the file: 0 binary FBX, 1 ASCII FBX, -1 none.
    int GetFileFormat() const { return mFileFormat; }
    const char* GetFileName() const { return mFileName.c_str(); }

protected:
    FbxImporter(FbxManager* manager, const char* name);
    ~FbxImporter() override;

private:
    struct Parsed;
    FbxStatus mStatus;
    bool mIsFbx = false;
    int mFileFormat = -1;
    int mVersion = 0;
    std::string mFileName;
    std::unique_ptr<Parsed> mParsed;
    FbxDocumentInfo* mSceneInfo = nullptr;
    FbxEmbeddedFileCallback* mEmbeddedFileRead = nullptr;
};

} // namespace fbxsdk
