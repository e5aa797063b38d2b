// libFuzzer entry for the whole model import, as `fbxinfo --import` runs it: each input is written
// to a file of this process's own and imported through ImportFbx (reading, conversions, skins,
// materials, LOD groups, extraction and the vertex hash map).
#include "Assets/FbxImport.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Memory-backed where the system has it: every input is written once.
std::filesystem::path InputPath()
{
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path folder = std::filesystem::is_directory(shm) ? shm
                                                                            : std::filesystem::temp_directory_path();
    return folder / ("tarnwick-import-fuzz-" + std::to_string(getpid()) + ".fbx");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path = [] {
        InitializeFbx();
        return InputPath();
    }();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        return 0;
    ImportedModel model;
    ImportFbx(path, model, false, true);
    return 0;
}
