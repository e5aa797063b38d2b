#pragma once
// The textures an imported model names for its materials, found and loaded as the program and
// fbxrender both draw them: the file the material's diffuse texture names (its last component, either
// separator) beside the model or in the textures/ folder next to it; failing a file, the image the
// model embeds under that name; failing both, the fallback, said once on the console.
//
// Main thread, with the GL context current (the images are uploaded).

#include "Assets/ImportedModel.h"
#include "Graphics/Material.h"

#include <filesystem>
#include <string>
#include <vector>

// The file the material's diffuse texture names, found beside `modelFile` or in the textures/ folder
// next to it; empty when the material names none or neither place has it. A regular file is taken
// first; failing one, whatever else is there by that name (a folder, a FIFO), for loading to name.
std::filesystem::path FindDiffuseTexture(const ImportedMaterial& material, const std::filesystem::path& modelFile);

// The image the model embeds under the name the material's diffuse texture gives (its last component,
// either separator), or null.
const EmbeddedImage* FindEmbeddedImage(const ImportedMaterial& material, const std::vector<EmbeddedImage>& images);

// Each of the model's materials' diffuse texture, by material index: one texture per image however
// many materials name it; `fallback` for a material that names none, or whose image is nowhere or
// cannot be used. Problems are said naming the model as `shownAs` (a texture file's own problems name
// that file).
std::vector<Texture> LoadDiffuseTextures(const ImportedModel& model, const std::filesystem::path& modelFile,
    const std::string& shownAs, const Texture& fallback);
