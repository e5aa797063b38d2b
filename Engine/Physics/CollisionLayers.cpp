#include "Physics/CollisionLayers.h"

#include "Core/FileContents.h"
#include "Core/Problems.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <limits>
#include <optional>

std::int32_t collisionMasks[kCollisionLayerCount] = {};

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// Iterative: a file nested a million levels deep is parsed on the heap, not the call stack.
constexpr unsigned kParseFlags = rapidjson::kParseDefaultFlags | rapidjson::kParseIterativeFlag;

constexpr const char* kNothingCollides = "every collision mask is 0, so nothing collides";

// The element as a 32-bit word, or nothing for an element that is not an integer.
std::optional<std::int32_t> MaskFromElement(const rapidjson::Value& element)
{
    if (element.IsInt())
        return element.GetInt();
    if (element.IsUint())
        return static_cast<std::int32_t>(element.GetUint());
    if (element.IsInt64())
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(element.GetInt64()));
    if (element.IsUint64())
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(element.GetUint64()));
    return std::nullopt;
}

// Whether an integer element holds more than a 32-bit word, signed or not, can say.
bool WiderThan32Bits(const rapidjson::Value& element)
{
    if (element.IsInt() || element.IsUint())
        return false;
    if (element.IsInt64())
        return element.GetInt64() < std::numeric_limits<std::int32_t>::min()
            || element.GetInt64() > std::numeric_limits<std::uint32_t>::max();
    return element.IsUint64() && element.GetUint64() > std::numeric_limits<std::uint32_t>::max();
}

// RapidJSON's sentence for the error, without its full stop: the line goes on after it.
std::string ParseErrorText(rapidjson::ParseErrorCode code)
{
    std::string text = rapidjson::GetParseError_En(code);
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

std::string ElementName(rapidjson::SizeType index)
{
    return "\"Layer\" element " + std::to_string(index);
}

void ReadLayerArray(const rapidjson::Value& layers, std::vector<std::string>& problems)
{
    const rapidjson::SizeType count = layers.Size();
    for (rapidjson::SizeType i = 0; i < count && i < kCollisionLayerCount; ++i) {
        const std::optional<std::int32_t> mask = MaskFromElement(layers[i]);
        collisionMasks[i] = mask.value_or(0);
        if (!mask)
            problems.push_back(ElementName(i) + " is not an integer; mask " + std::to_string(i) + " (layer "
                + std::to_string(1u << i) + ") is 0 instead");
        else if (WiderThan32Bits(layers[i]))
            problems.push_back(ElementName(i) + " does not fit in 32 bits; mask " + std::to_string(i)
                + " is its low 32 bits, " + std::to_string(static_cast<std::uint32_t>(*mask)));
    }
    if (count > kCollisionLayerCount)
        problems.push_back("\"Layer\" has " + std::to_string(count) + " elements; only the first "
            + std::to_string(kCollisionLayerCount) + " are read");
}

} // namespace

std::vector<std::string> LoadCollisionLayersFromText(std::string_view text)
{
    std::vector<std::string> problems;
    std::size_t skipped = 0;
    if (text.starts_with(kUtf8ByteOrderMark))
        skipped = kUtf8ByteOrderMark.size();

    rapidjson::Document document;
    document.Parse<kParseFlags>(text.data() + skipped, text.size() - skipped);
    if (document.HasParseError()) {
        problems.push_back("invalid JSON at offset " + std::to_string(document.GetErrorOffset() + skipped) + ": "
            + ParseErrorText(document.GetParseError()) + "; " + kNothingCollides);
        return problems;
    }
    if (!document.IsObject()) {
        problems.push_back(std::string("the root is not a JSON object; ") + kNothingCollides);
        return problems;
    }
    // HasMember rather than comparing member iterators: under C++20 RapidJSON's iterator comparison
    // is ambiguous with its own reversed form.
    if (!document.HasMember("Layer")) {
        problems.push_back(std::string("there is no \"Layer\" member; ") + kNothingCollides);
        return problems;
    }
    if (!document["Layer"].IsArray()) {
        problems.push_back(std::string("\"Layer\" is not an array; ") + kNothingCollides);
        return problems;
    }
    ReadLayerArray(document["Layer"], problems);
    return problems;
}

void LoadCollisionLayers(const char* path)
{
    const FileContents file = ReadWholeFile(path, kMaxCollisionLayersFileBytes);
    if (!file.Ok()) {
        ReportFileProblem(path, file.Describe(kMaxCollisionLayersFileBytes) + "; " + kNothingCollides);
        return;
    }
    for (const std::string& problem : LoadCollisionLayersFromText(file.bytes))
        ReportFileProblem(path, problem);
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
