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

FbxSurfaceMaterial::FbxSurfaceMaterial(FbxManager* manager, const char* name)
    : FbxObject(manager, name)
{
    ShadingModel = FbxPropertyT<FbxString>(AddProperty(sShadingModel, "KString"));
    ShadingModel.Set(FbxString("Phong"));
    // Every channel exists even when the file leaves it at its default, so a texture can be
    // connected to it and Find always answers.
    for (const char* colour : { sEmissive, sAmbient, sDiffuse, sSpecular, sTransparentColor, sReflection,
             sDisplacementColor, sVectorDisplacementColor, sNormalMap, sBump })
        AddProperty(colour, "Color");
    for (const char* factor : { sEmissiveFactor, sAmbientFactor, sDiffuseFactor, sSpecularFactor, sShininess,
             sBumpFactor, sTransparencyFactor, sReflectionFactor, sDisplacementFactor, sVectorDisplacementFactor })
        AddProperty(factor, "Number");
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
