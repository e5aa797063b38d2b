// libFuzzer entry for ASCII FBX files: the reader's own target starts from binary files as much as
// from text, and its mutations seldom keep a text file well-formed enough to reach deep; this one
// keeps to text (an input that starts like a binary file is left to the other) and goes through the
// whole path the model import takes.
#include "FbxExercise.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr char kBinaryMagic[] = "Kaydara FBX Binary";
    if (size >= sizeof kBinaryMagic - 1 && std::memcmp(data, kBinaryMagic, sizeof kBinaryMagic - 1) == 0)
        return 0;
    static FbxManager* manager = FbxManager::Create();
    fbxtest::Exercise(manager, data, size);
    return 0;
}
