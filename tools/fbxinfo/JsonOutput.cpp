#include "JsonOutput.h"

#include <cmath>
#include <cstdio>

namespace fbxinfo {

namespace {

// A multi-byte UTF-8 sequence by its lead byte: how many bytes it takes, which bits of the lead
// byte belong to the code point, and the smallest code point that needs this many bytes (anything
// smaller is an overlong form, which would let one character hide behind several spellings).
struct SequenceForm {
    unsigned char firstLead, lastLead;
    unsigned char leadPayload;
    std::size_t length;
    char32_t minimum;
};

// 0xC0 and 0xC1 only ever start overlong forms and 0xF5 and up only values beyond U+10FFFF, so
// neither range leads a sequence.
constexpr SequenceForm kSequenceForms[] = {
    { 0xC2, 0xDF, 0x1F, 2, 0x80 },
    { 0xE0, 0xEF, 0x0F, 3, 0x800 },
    { 0xF0, 0xF4, 0x07, 4, 0x10000 },
};

// Continuation bytes are 10xxxxxx: six bits of the code point each.
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationTag = 0x80;
constexpr unsigned char kContinuationPayload = 0x3F;
constexpr int kContinuationBits = 6;

// Code points UTF-8 must not carry: UTF-16's surrogate halves and anything UTF-16 cannot reach.
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;
constexpr char32_t kLastCodePoint = 0x10FFFF;

// Below this a byte is ASCII and a sequence of its own.
constexpr unsigned char kFirstNonAscii = 0x80;

// The lead byte of a two-byte sequence, before the code point's top bits go in.
constexpr unsigned char kTwoByteLead = 0xC0;

const SequenceForm* FormOf(unsigned char lead)
{
    for (const SequenceForm& form : kSequenceForms)
        if (lead >= form.firstLead && lead <= form.lastLead)
            return &form;
    return nullptr;
}

// The length of the valid UTF-8 sequence at bytes[k], or 0 when the bytes there are not one (stray
// continuation byte, truncated sequence, overlong form, surrogate, beyond U+10FFFF).
std::size_t ValidSequenceLength(std::string_view bytes, std::size_t k)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (byte(k) < kFirstNonAscii)
        return 1;
    const SequenceForm* form = FormOf(byte(k));
    if (!form || form->length > bytes.size() - k)
        return 0;
    char32_t cp = byte(k) & form->leadPayload;
    for (std::size_t i = 1; i < form->length; ++i) {
        if ((byte(k + i) & kContinuationMask) != kContinuationTag)
            return 0;
        cp = (cp << kContinuationBits) | (byte(k + i) & kContinuationPayload);
    }
    if (cp < form->minimum || cp > kLastCodePoint || (cp >= kFirstSurrogate && cp <= kLastSurrogate))
        return 0;
    return form->length;
}

// The byte's value as a code point (U+0080 to U+00FF), in UTF-8.
void AppendLatin1(std::string& out, unsigned char byte)
{
    out += static_cast<char>(kTwoByteLead | (byte >> kContinuationBits));
    out += static_cast<char>(kContinuationTag | (byte & kContinuationPayload));
}

} // namespace

std::string ToValidUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t k = 0; k < bytes.size();) {
        if (std::size_t length = ValidSequenceLength(bytes, k)) {
            out.append(bytes, k, length);
            k += length;
        } else {
            AppendLatin1(out, static_cast<unsigned char>(bytes[k]));
            ++k;
        }
    }
    return out;
}

void WriteString(JsonWriter& writer, std::string_view bytes)
{
    const std::string text = ToValidUtf8(bytes);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void WriteNumber(JsonWriter& writer, double value)
{
    if (std::isfinite(value))
        writer.Double(value);
    else
        writer.Null();
}

void PrintJson(const std::function<void(JsonWriter&)>& write)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    write(writer);
    std::printf("%s\n", buffer.GetString());
}

} // namespace fbxinfo
