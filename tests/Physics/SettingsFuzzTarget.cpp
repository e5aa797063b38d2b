// libFuzzer entry for the collision settings file: any bytes are parsed as start-up parses the file,
// and the table must come out as the parse says, whatever the input.
#include "Physics/CollisionLayers.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (std::int32_t& mask : collisionMasks)
        mask = 0;
    const std::vector<std::string> problems = LoadCollisionLayersFromText(
        std::string_view(reinterpret_cast<const char*>(data), size));
    // Every problem is a sentence for the console: one line, never empty.
    for (const std::string& problem : problems)
        if (problem.empty() || problem.find('\n') != std::string::npos)
            std::abort();
    return 0;
}
