#include "Assets/FbxMaterials.h"

#include <string>

using namespace fbxsdk;

namespace {

// The text after the last backslash, or all of it.
std::string LastBackslashComponent(const std::string& path)
{
    std::size_t separator = path.rfind('\\');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

} // namespace

TextureSlot ReadTextureSlot(const FbxSurfaceMaterial* material, const char* propertyName)
{
    TextureSlot slot;
    FbxProperty property = material->FindProperty(propertyName, true);
    if (!property.IsValid())
        return slot;
    if (property.GetSrcObjectCount(FbxCriteria::ObjectType(FbxLayeredTexture::ClassId)) > 0)
        return slot;
    if (property.GetSrcObjectCount(FbxCriteria::ObjectType(FbxTexture::ClassId)) == 0)
        return slot;
    FbxObject* texture = property.GetSrcObject(FbxCriteria::ObjectType(FbxTexture::ClassId), 0);
    if (texture == nullptr || !texture->GetClassId().Is(FbxTexture::ClassId)
        || !texture->GetClassId().Is(FbxFileTexture::ClassId))
        return slot;
    const auto* file = static_cast<const FbxFileTexture*>(texture);
    slot.filePath = file->GetFileName();
    slot.relativePath = file->GetRelativeFileName();
    slot.fileName = LastBackslashComponent(slot.relativePath);
    return slot;
}

void ReadMaterial(const FbxSurfaceMaterial* material, ImportedMaterial& out)
{
    out.name = material->GetName();
    out.emissive = ReadTextureSlot(material, FbxSurfaceMaterial::sEmissive);
    out.ambient = ReadTextureSlot(material, FbxSurfaceMaterial::sAmbient);
    out.diffuse = ReadTextureSlot(material, FbxSurfaceMaterial::sDiffuse);
    out.specular = ReadTextureSlot(material, FbxSurfaceMaterial::sSpecular);
    out.shininess = ReadTextureSlot(material, FbxSurfaceMaterial::sShininess);
    out.bump = ReadTextureSlot(material, FbxSurfaceMaterial::sBump);
    out.normalMap = ReadTextureSlot(material, FbxSurfaceMaterial::sNormalMap);
    out.transparentColor = ReadTextureSlot(material, FbxSurfaceMaterial::sTransparentColor);
    out.reflection = ReadTextureSlot(material, FbxSurfaceMaterial::sReflection);
    out.displacementColor = ReadTextureSlot(material, FbxSurfaceMaterial::sDisplacementColor);
    out.vectorDisplacementColor = ReadTextureSlot(material, FbxSurfaceMaterial::sVectorDisplacementColor);
}
