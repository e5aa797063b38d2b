#include "Physics/CollisionLayers.h"

#include "Core/FileContents.h"
#include "Core/Problems.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cstdio>
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
        else if (layers[i].IsInt() && layers[i].GetInt() < 0)
            problems.push_back(ElementName(i) + " is negative, " + std::to_string(layers[i].GetInt()) + "; mask "
                + std::to_string(i) + " is its 32-bit two's complement, "
                + std::to_string(static_cast<std::uint32_t>(*mask)));
    }
    if (count > kCollisionLayerCount)
        problems.push_back("\"Layer\" has " + std::to_string(count) + " elements; only the first "
            + std::to_string(kCollisionLayerCount) + " are read");
}

// The length of the UTF-8 sequence at `at`, or 0 when it is not one (overlong forms, surrogates and
// code points beyond U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2
        : lead >= 0xE0 && lead <= 0xEF                ? 3
        : lead >= 0xF0 && lead <= 0xF4                ? 4
                                                      : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(at + k) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90)
        || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

// Where the text first stops being UTF-8, if it does.
std::optional<std::size_t> FirstInvalidUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0)
            return at;
        at += length;
    }
    return std::nullopt;
}

// In a document that parsed, a byte that is not UTF-8 lies in a string: a member name when a colon
// follows the string's closing quote.
bool InMemberName(std::string_view text, std::size_t at)
{
    bool escaped = false;
    for (std::size_t k = at; k < text.size(); ++k) {
        if (escaped) {
            escaped = false;
        } else if (text[k] == '\\') {
            escaped = true;
        } else if (text[k] == '"') {
            const std::size_t next = text.find_first_not_of(" \t\r\n", k + 1);
            return next != std::string_view::npos && text[next] == ':';
        }
    }
    return false;
}

std::string Utf8Problem(std::string_view text, std::size_t at)
{
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[at]));
    return std::string(InMemberName(text, at) ? "a member name" : "a string") + " is not valid UTF-8 (byte " + byte
        + " at offset " + std::to_string(at) + "); it is read byte for byte";
}

// RapidJSON keeps every member of a repeated name and finds the first.
std::size_t LayerMemberCount(const rapidjson::Document& document)
{
    std::size_t count = 0;
    for (auto member = document.MemberBegin(); member != document.MemberEnd(); ++member)
        count += std::string_view(member->name.GetString(), member->name.GetStringLength()) == "Layer" ? 1 : 0;
    return count;
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
    if (std::optional<std::size_t> invalid = FirstInvalidUtf8(text))
        problems.push_back(Utf8Problem(text, *invalid));
    // HasMember rather than comparing member iterators: under C++20 RapidJSON's iterator comparison
    // is ambiguous with its own reversed form.
    if (!document.HasMember("Layer")) {
        problems.push_back(std::string("there is no \"Layer\" member; ") + kNothingCollides);
        return problems;
    }
    if (const std::size_t layers = LayerMemberCount(document); layers > 1)
        problems.push_back("\"Layer\" is given " + std::to_string(layers) + " times; the first is read");
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
