// JSON text for fbxinfo's --json output. Names in FBX files are arbitrary bytes: older exporters write
// Latin-1 or Windows code pages, broken files write anything. So the output is kept to ASCII: valid
// UTF-8 becomes \u escapes of its code points, and each byte that is not part of valid UTF-8 becomes
// the code point of the same value (as Latin-1 would read it), so a reader still sees which byte it was.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace fbxinfo {

namespace detail {

inline void AppendEscape(std::string& out, std::uint32_t unit)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(unit));
    out += buffer;
}

inline void AppendCodePoint(std::string& out, std::uint32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        AppendEscape(out, 0xD800 + (cp >> 10));
        AppendEscape(out, 0xDC00 + (cp & 0x3FF));
    } else {
        AppendEscape(out, cp);
    }
}

// The length of the valid UTF-8 sequence at s[k] and its code point, or 0 when the bytes there are
// not one (stray continuation byte, truncated sequence, overlong form, surrogate, beyond U+10FFFF).
inline std::size_t DecodeUtf8(std::string_view s, std::size_t k, std::uint32_t& cp)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(k);
    std::size_t length;
    std::uint32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, cp = lead & 0x07;
    } else {
        return 0;
    }
    if (k + length > s.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(k + i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(k + i) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

}  // namespace detail

// `s` as the body of a JSON string, without the quotes.
inline std::string JsonEscape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t k = 0; k < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[k]);
        if (c >= 0x80) {
            std::uint32_t cp = 0;
            if (std::size_t length = detail::DecodeUtf8(s, k, cp)) {
                detail::AppendCodePoint(out, cp);
                k += length;
            } else {
                detail::AppendEscape(out, c);
                ++k;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) detail::AppendEscape(out, c);
            else out += static_cast<char>(c);
        }
        ++k;
    }
    return out;
}

inline std::string JsonString(std::string_view s) { return "\"" + JsonEscape(s) + "\""; }

// A number with `digits` significant digits (9 round-trips a float, 17 a double); JSON has no
// infinity or NaN, so those are written as null.
inline std::string JsonNumber(double value, int digits = 9)
{
    if (!std::isfinite(value)) return "null";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    return buffer;
}

}  // namespace fbxinfo
