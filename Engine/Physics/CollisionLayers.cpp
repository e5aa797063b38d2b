#include "Physics/CollisionLayers.h"

#include <rapidjson/document.h>

#include <fstream>
#include <sstream>
#include <string>

std::int32_t collisionMasks[kCollisionLayerCount] = {};

namespace {

// The element as a 32-bit word, or 0 for anything that is not an integer.
std::int32_t MaskFromElement(const rapidjson::Value& element)
{
    if (element.IsInt())
        return element.GetInt();
    if (element.IsUint())
        return static_cast<std::int32_t>(element.GetUint());
    if (element.IsInt64())
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(element.GetInt64()));
    if (element.IsUint64())
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(element.GetUint64()));
    return 0;
}

} // namespace

void LoadCollisionLayersFromText(const char* text)
{
    rapidjson::Document document;
    document.Parse(text);
    if (document.HasParseError() || !document.IsObject())
        return;
    // HasMember rather than comparing member iterators: under C++20 RapidJSON's iterator comparison
    // is ambiguous with its own reversed form.
    if (!document.HasMember("Layer") || !document["Layer"].IsArray())
        return;
    const rapidjson::Value& layers = document["Layer"];
    rapidjson::SizeType count = layers.Size();
    for (rapidjson::SizeType i = 0; i < count && i < kCollisionLayerCount; ++i)
        collisionMasks[i] = MaskFromElement(layers[i]);
}

void LoadCollisionLayers(const char* path)
{
    std::ifstream file(path);
    std::ostringstream text;
    char character = 0;
    while (file.get(character))
        text.put(character);
    LoadCollisionLayersFromText(text.str().c_str());
}

std::int32_t CollisionMaskOf(std::int32_t layer)
{
    auto bits = static_cast<std::uint32_t>(layer);
    if (bits == 0)
        return 0;
    int index = 0;
    while ((bits & 1u) == 0) {
        bits >>= 1;
        ++index;
    }
    return index < kCollisionLayerCount ? collisionMasks[index] : 0;
}

physx::PxFilterFlags CollisionFilterShader(physx::PxFilterObjectAttributes, physx::PxFilterData filterData0,
    physx::PxFilterObjectAttributes, physx::PxFilterData filterData1, physx::PxPairFlags& pairFlags, const void*,
    physx::PxU32)
{
    using physx::PxPairFlag;
    if ((filterData0.word0 & filterData1.word1) == 0)
        return physx::PxFilterFlag::eSUPPRESS;
    pairFlags = PxPairFlag::eSOLVE_CONTACT | PxPairFlag::eMODIFY_CONTACTS | PxPairFlag::eNOTIFY_TOUCH_FOUND
        | PxPairFlag::eNOTIFY_TOUCH_LOST | PxPairFlag::eNOTIFY_CONTACT_POINTS | PxPairFlag::eDETECT_DISCRETE_CONTACT;
    return physx::PxFilterFlag::eDEFAULT;
}
