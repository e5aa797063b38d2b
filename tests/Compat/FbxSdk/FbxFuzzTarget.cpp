// libFuzzer entry: every input goes through the whole path the model import takes.
#include "FbxExercise.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FbxManager* manager = FbxManager::Create();
    fbxtest::Exercise(manager, data, size);
    return 0;
}
