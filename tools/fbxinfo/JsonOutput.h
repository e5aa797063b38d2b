// JSON for fbxinfo's --json output, shared by both reports. Names in FBX files are arbitrary bytes:
// older exporters write Latin-1 or Windows code pages, broken files write anything. So the output is
// kept to ASCII: valid UTF-8 becomes \u escapes of its code points, and each byte that is not part of
// valid UTF-8 becomes the code point of the same value (as Latin-1 would read it), so a reader still
// sees which byte it was.
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <functional>
#include <string>
#include <string_view>

namespace fbxinfo {

// UTF-8 in, ASCII out: the writer escapes every code point above 0x7F as \uXXXX (a surrogate pair
// beyond the Basic Multilingual Plane). It refuses input that is not valid UTF-8, so text from a file
// goes through WriteString; only our own ASCII literals go to Key() and String() directly.
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::ASCII<>>;

// `bytes` as valid UTF-8: valid sequences stay, every other byte becomes the code point of its value.
// Overlong forms, surrogates and values beyond U+10FFFF are not valid.
std::string ToValidUtf8(std::string_view bytes);

// Any bytes as a JSON string.
void WriteString(JsonWriter& writer, std::string_view bytes);

// JSON has no infinity or NaN, so those are written as null. Finite values are written with the
// fewest digits that read back as the same double, so floats passed in round-trip too.
void WriteNumber(JsonWriter& writer, double value);

// Writes one JSON document with `write` and prints it to stdout on a line of its own.
void PrintJson(const std::function<void(JsonWriter&)>& write);

} // namespace fbxinfo
