#include "Graphics/ModelTextures.h"

#include "Core/Problems.h"
#include "Graphics/Texture.h"

#include <map>

namespace {

// Beside the model, a folder of this name holds its textures.
constexpr const char* kTextureFolder = "textures";

// The last component of a path written with either separator: files made on Windows name their
// textures with backslashes.
std::string LastComponent(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The names a material gives its diffuse texture, in the order they are tried.
std::vector<std::string> DiffuseNames(const ImportedMaterial& material)
{
    std::vector<std::string> names;
    for (const std::string* named :
        { &material.diffuse.fileName, &material.diffuse.relativePath, &material.diffuse.filePath })
        if (std::string name = LastComponent(*named); !name.empty())
            names.push_back(std::move(name));
    return names;
}

} // namespace

std::filesystem::path FindDiffuseTexture(const ImportedMaterial& material, const std::filesystem::path& modelFile)
{
    const std::filesystem::path folder = modelFile.parent_path();
    std::filesystem::path unusable;
    for (const std::string& name : DiffuseNames(material))
        for (const std::filesystem::path& candidate : { folder / name, folder / kTextureFolder / name }) {
            std::error_code error;
            const auto status = std::filesystem::status(candidate, error);
            if (std::filesystem::is_regular_file(status))
                return candidate;
            // A folder or a device by that name: named as what it is, unless a file is found.
            if (std::filesystem::exists(status) && unusable.empty())
                unusable = candidate;
        }
    return unusable;
}

const EmbeddedImage* FindEmbeddedImage(const ImportedMaterial& material, const std::vector<EmbeddedImage>& images)
{
    for (const std::string& name : DiffuseNames(material))
        for (const EmbeddedImage& image : images)
            if (LastComponent(image.fileName) == name)
                return &image;
    return nullptr;
}

std::vector<Texture> LoadDiffuseTextures(const ImportedModel& model, const std::filesystem::path& modelFile,
    const std::string& shownAs, const Texture& fallback)
{
    const std::vector<ImportedMaterial>& materials = model.materials;
    std::vector<Texture> diffuse(materials.size(), fallback);
    std::map<std::filesystem::path, Texture> files;
    std::map<const EmbeddedImage*, Texture> embedded;
    for (std::size_t k = 0; k < materials.size(); ++k) {
        const ImportedMaterial& material = materials[k];
        const std::filesystem::path file = FindDiffuseTexture(material, modelFile);
        const EmbeddedImage* image = file.empty() ? FindEmbeddedImage(material, model.embeddedImages) : nullptr;
        if (!file.empty()) {
            auto [slot, isNew] = files.try_emplace(file);
            if (isNew && !LoadTexture(file.string().c_str(), slot->second))
                slot->second = fallback;
            diffuse[k] = slot->second;
        } else if (image != nullptr) {
            auto [slot, isNew] = embedded.try_emplace(image);
            if (isNew
                && !LoadTextureFromMemory(shownAs, "embedded image \"" + material.diffuse.fileName + "\"",
                    image->bytes.data(), image->bytes.size(), slot->second))
                slot->second = fallback;
            diffuse[k] = slot->second;
        } else if (!material.diffuse.fileName.empty()) {
            ReportFileProblem(shownAs,
                "texture \"" + material.diffuse.fileName + "\" is neither beside the file nor in its " + kTextureFolder
                    + "/ folder, nor embedded in it; the default texture is drawn instead");
        }
    }
    return diffuse;
}
