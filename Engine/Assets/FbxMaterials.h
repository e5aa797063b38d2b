#pragma once
// The texture paths of an FBX file's surface materials, as the file states them. No image is opened.

#include "Assets/ImportedModel.h"

#include <fbxsdk.h>

// The material's name and its eleven standard texture slots.
void ReadMaterial(const fbxsdk::FbxSurfaceMaterial* material, ImportedMaterial& out);

// The file texture connected to the material's property `propertyName` (case-sensitive). A layered
// texture, a texture that is not a file, or no texture at all gives the empty slot.
TextureSlot ReadTextureSlot(const fbxsdk::FbxSurfaceMaterial* material, const char* propertyName);
