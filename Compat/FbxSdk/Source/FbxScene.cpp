// The scene, its documents and settings, and materials.
#include <fbxsdk.h>

namespace fbxsdk {

// The property names FBX files use for the standard material channels.
const char* FbxSurfaceMaterial::sShadingModel = "ShadingModel";
const char* FbxSurfaceMaterial::sMultiLayer = "MultiLayer";
const char* FbxSurfaceMaterial::sEmissive = "EmissiveColor";
const char* FbxSurfaceMaterial::sEmissiveFactor = "EmissiveFactor";
const char* FbxSurfaceMaterial::sAmbient = "AmbientColor";
const char* FbxSurfaceMaterial::sAmbientFactor = "AmbientFactor";
const char* FbxSurfaceMaterial::sDiffuse = "DiffuseColor";
const char* FbxSurfaceMaterial::sDiffuseFactor = "DiffuseFactor";
const char* FbxSurfaceMaterial::sSpecular = "SpecularColor";
const char* FbxSurfaceMaterial::sSpecularFactor = "SpecularFactor";
const char* FbxSurfaceMaterial::sShininess = "ShininessExponent";
const char* FbxSurfaceMaterial::sBump = "Bump";
const char* FbxSurfaceMaterial::sNormalMap = "NormalMap";
const char* FbxSurfaceMaterial::sBumpFactor = "BumpFactor";
const char* FbxSurfaceMaterial::sTransparentColor = "TransparentColor";
const char* FbxSurfaceMaterial::sTransparencyFactor = "TransparencyFactor";
const char* FbxSurfaceMaterial::sReflection = "ReflectionColor";
const char* FbxSurfaceMaterial::sReflectionFactor = "ReflectionFactor";
const char* FbxSurfaceMaterial::sDisplacementColor = "DisplacementColor";
const char* FbxSurfaceMaterial::sDisplacementFactor = "DisplacementFactor";
const char* FbxSurfaceMaterial::sVectorDisplacementColor = "VectorDisplacementColor";
const char* FbxSurfaceMaterial::sVectorDisplacementFactor = "VectorDisplacementFactor";

namespace {
// Every channel exists even when the file leaves it at its default, so a texture can be connected to
// it and Find always answers.
const internal::PropertyList& MaterialProperties()
{
    static const internal::PropertyList properties = [] {
        internal::PropertyList list;
        auto add = [&list](const char* name, const char* type) {
            internal::PropertyRecord record;
            record.name = name;
            record.type = type;
            return list.Add(std::move(record));
        };
        list[add(FbxSurfaceMaterial::sShadingModel, "KString")].text = "Phong";
        for (const char* colour :
            { FbxSurfaceMaterial::sEmissive, FbxSurfaceMaterial::sAmbient, FbxSurfaceMaterial::sDiffuse,
                FbxSurfaceMaterial::sSpecular, FbxSurfaceMaterial::sTransparentColor, FbxSurfaceMaterial::sReflection,
                FbxSurfaceMaterial::sDisplacementColor, FbxSurfaceMaterial::sVectorDisplacementColor,
                FbxSurfaceMaterial::sNormalMap, FbxSurfaceMaterial::sBump })
            add(colour, "Color");
        for (const char* factor : { FbxSurfaceMaterial::sEmissiveFactor, FbxSurfaceMaterial::sAmbientFactor,
                 FbxSurfaceMaterial::sDiffuseFactor, FbxSurfaceMaterial::sSpecularFactor,
                 FbxSurfaceMaterial::sShininess, FbxSurfaceMaterial::sBumpFactor,
                 FbxSurfaceMaterial::sTransparencyFactor, FbxSurfaceMaterial::sReflectionFactor,
                 FbxSurfaceMaterial::sDisplacementFactor, FbxSurfaceMaterial::sVectorDisplacementFactor })
            add(factor, "Number");
        list.IndexNames();
        return list;
    }();
    return properties;
}
} // namespace

FbxSurfaceMaterial::FbxSurfaceMaterial(FbxManager* manager, const char* name)
    : FbxObject(manager, name, &MaterialProperties())
{
    ShadingModel = FbxPropertyT<FbxString>(ClassProperty(sShadingModel));
}

FbxDocument::FbxDocument(FbxManager* manager, const char* name)
    : FbxObject(manager, name)
{
    mInfo = new FbxDocumentInfo(manager, "SceneInfo");
}

FbxDocument::~FbxDocument()
{
    delete mInfo;
}

FbxScene* FbxScene::Create(FbxManager* manager, const char* name)
{
    if (!manager)
        return nullptr;
    auto* scene = new FbxScene(manager, name);
    manager->Register(scene);
    return scene;
}

FbxScene::FbxScene(FbxManager* manager, const char* name)
    : FbxDocument(manager, name)
{
    Clear();
}

FbxScene::~FbxScene()
{
    for (FbxObject* object : mOwned)
        delete object;
}

void FbxScene::Clear()
{
    for (FbxObject* object : mOwned)
        delete object;
    mOwned.clear();
    mTemplates.clear(); // after the objects that read them
    mMaterialList.clear();
    mNodeList.clear();
    mMeshList.clear();
    mTextureList.clear();
    mRoot = new FbxNode(GetFbxManager(), "RootNode");
    mRoot->mScene = this;
    mOwned.push_back(mRoot);
    mNodeList.push_back(mRoot);
    mGlobalSettings = new FbxGlobalSettings(GetFbxManager(), "GlobalSettings");
    mGlobalSettings->mScene = this;
    mOwned.push_back(mGlobalSettings);
}

void FbxScene::Destroy(bool recursive)
{
    FbxObject::Destroy(recursive);
}

FbxSurfaceMaterial* FbxScene::GetMaterial(int index) const
{
    return index >= 0 && index < GetMaterialCount() ? mMaterialList[std::size_t(index)] : nullptr;
}

bool FbxScene::ConnectMaterials()
{
    return true;
}

FbxNode* FbxScene::GetNode(int index) const
{
    return index >= 0 && index < GetNodeCount() ? mNodeList[std::size_t(index)] : nullptr;
}

FbxMesh* FbxScene::GetMesh(int index) const
{
    return index >= 0 && index < GetGeometryCount() ? mMeshList[std::size_t(index)] : nullptr;
}

FbxTexture* FbxScene::GetTexture(int index) const
{
    return index >= 0 && index < GetTextureCount() ? mTextureList[std::size_t(index)] : nullptr;
}

} // namespace fbxsdk
