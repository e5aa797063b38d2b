// ASCII FBX: the same element tree as text. "Name: value, value {" opens an element, "}" closes
// it, ";" starts a comment. Arrays are written "*count { a: v, v, ... }". Binary blobs
// (embedded media) are base64 strings, possibly split into several quoted chunks that are each
// padded on their own, so every chunk is decoded separately.
#include "fbxio/FbxReader.h"

#include <charconv>
#include <cstring>

namespace fbxio {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '|'
        || c == '-' || c == '.' || c == '+';
}

int Base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

class AsciiReader {
public:
    AsciiReader(const std::uint8_t* data, std::size_t size, std::string& error)
        : mText(reinterpret_cast<const char*>(data))
        , mSize(size)
        , mBudget(MemoryBudget::ForFileSize(size))
        , mError(error)
    {
    }

    bool Read(Document& doc)
    {
        if (mSize >= 3 && std::memcmp(mText, "\xEF\xBB\xBF", 3) == 0)
            mPos = 3;
        doc.binary = false;
        if (!ReadChildren(doc.root, 0))
            return false;
        SkipBlank();
        if (mPos < mSize)
            return Fail("unexpected '" + std::string(1, mText[mPos]) + "'");
        return FindVersion(doc);
    }

private:
    bool Fail(const std::string& what)
    {
        std::size_t line = 1;
        for (std::size_t k = 0; k < mPos && k < mSize; ++k)
            line += mText[k] == '\n';
        mError = what + " (line " + std::to_string(line) + ", offset " + Hex(mPos) + ")";
        return false;
    }

    bool FindVersion(Document& doc)
    {
        const Element* header = doc.root.Find("FBXHeaderExtension");
        const Element* version = header ? header->Find("FBXVersion") : nullptr;
        if (!version || version->values.empty() || !version->values[0].IsNumber()) {
            mPos = 0;
            return Fail("not an FBX file: no FBXHeaderExtension with an FBXVersion");
        }
        std::int64_t v = version->values[0].AsInt();
        if (v >= 2000 && v < 7000) {
            mPos = version->offset;
            return Fail("FBX " + std::to_string(v / 1000) + "." + std::to_string(v / 100 % 10) + " files (version "
                + std::to_string(v) + ") are not supported; re-export as FBX 7.x");
        }
        if (v < 7000 || v > 7999) {
            mPos = version->offset;
            return Fail("unsupported ASCII FBX version " + std::to_string(v));
        }
        doc.version = int(v);
        return true;
    }

    void SkipBlank()
    {
        while (mPos < mSize) {
            char c = mText[mPos];
            if (IsSpace(c)) {
                ++mPos;
            } else if (c == ';') {
                while (mPos < mSize && mText[mPos] != '\n')
                    ++mPos;
            } else {
                break;
            }
        }
    }

    bool ReadChildren(Element& parent, int depth)
    {
        if (depth > kMaxElementDepth)
            return Fail("elements nest deeper than " + std::to_string(kMaxElementDepth));
        while (true) {
            SkipBlank();
            if (mPos >= mSize || mText[mPos] == '}')
                return true;
            if (!ReadElement(parent, depth))
                return false;
        }
    }

    bool ReadElement(Element& parent, int depth)
    {
        std::size_t start = mPos;
        while (mPos < mSize && IsNameChar(mText[mPos]))
            ++mPos;
        if (mPos == start || mPos >= mSize || mText[mPos] != ':')
            return Fail("expected an element name followed by ':'");
        if (!mBudget.Take(sizeof(Element)))
            return Fail("the document needs more memory than the file's size allows");
        Element& element = parent.children.emplace_back();
        element.name.assign(mText + start, mPos - start);
        element.offset = start;
        ++mPos;
        if (!ReadValues(element))
            return false;
        SkipBlank();
        if (mPos < mSize && mText[mPos] == '{') {
            ++mPos;
            if (!element.values.empty() && element.values.back().type == '*') {
                // "*count { a: ... }": the array lives in the braces.
                std::int64_t declared = element.values.back().i;
                element.values.pop_back();
                if (!ReadArrayBody(element, declared))
                    return false;
            } else if (!ReadChildren(element, depth + 1)) {
                return false;
            }
            SkipBlank();
            if (mPos >= mSize || mText[mPos] != '}')
                return Fail("'}' expected to close '" + element.name + "'");
            ++mPos;
        }
        return true;
    }

    // Values follow the colon, separated by commas; a comma may also lead ("Content: , ...").
    bool ReadValues(Element& element)
    {
        SkipInline();
        if (mPos < mSize && mText[mPos] == ',') {
            // A leading comma means the values follow, possibly on the next line.
            ++mPos;
            SkipBlank();
        }
        while (true) {
            SkipInline();
            if (mPos >= mSize)
                return true;
            char c = mText[mPos];
            if (c == '{' || c == '\n' || c == '\r' || c == '}' || c == ';')
                return true;
            if (!mBudget.Take(sizeof(Value)))
                return Fail("the document needs more memory than the file's size allows");
            Value value;
            value.offset = mPos;
            if (!ReadValue(value, element.name == "Content"))
                return false;
            if (value.type == 'R' && !element.values.empty() && element.values.back().type == 'R') {
                auto& into = element.values.back().owned;
                into.insert(into.end(), value.owned.begin(), value.owned.end());
            } else {
                element.values.push_back(std::move(value));
            }
            SkipBlank();
            if (mPos < mSize && mText[mPos] == ',') {
                ++mPos;
                SkipBlank();
                continue;
            }
            return true;
        }
    }

    void SkipInline()
    {
        while (mPos < mSize && (mText[mPos] == ' ' || mText[mPos] == '\t'))
            ++mPos;
    }

    bool ReadValue(Value& value, bool base64)
    {
        char c = mText[mPos];
        if (c == '"')
            return ReadQuoted(value, base64);
        if (c == '*') {
            ++mPos;
            Value count;
            if (!ReadNumber(count) || count.type != 'L' || count.i < 0)
                return Fail("array count expected after '*'");
            value.type = '*';
            value.i = count.i;
            return true;
        }
        if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')
            return ReadNumber(value);
        // Bare words: single-letter flags such as Y, T or W, and the odd bare identifier.
        std::size_t start = mPos;
        while (mPos < mSize && IsNameChar(mText[mPos]))
            ++mPos;
        if (mPos == start)
            return Fail("unexpected '" + std::string(1, c) + "' in a value list");
        value.type = 'S';
        value.owned.assign(mText + start, mText + mPos);
        return true;
    }

    bool ReadQuoted(Value& value, bool base64)
    {
        std::size_t start = ++mPos;
        const void* close = std::memchr(mText + mPos, '"', mSize - mPos);
        if (!close)
            return Fail("string is not closed");
        std::size_t end = std::size_t(static_cast<const char*>(close) - mText);
        mPos = end + 1;
        if (!mBudget.Take(end - start))
            return Fail("the document needs more memory than the file's size allows");
        if (base64)
            return DecodeBase64(start, end, value);
        value.type = 'S';
        value.owned.reserve(end - start);
        for (std::size_t k = start; k < end; ++k) {
            if (mText[k] == '&' && end - k >= 6 && std::memcmp(mText + k, "&quot;", 6) == 0) {
                value.owned.push_back('"');
                k += 5;
            } else {
                value.owned.push_back(std::uint8_t(mText[k]));
            }
        }
        return true;
    }

    bool DecodeBase64(std::size_t start, std::size_t end, Value& value)
    {
        value.type = 'R';
        std::uint32_t bits = 0;
        int held = 0;
        for (std::size_t k = start; k < end; ++k) {
            char c = mText[k];
            if (c == '=')
                break;
            if (IsSpace(c))
                continue;
            int digit = Base64Digit(c);
            if (digit < 0) {
                mPos = k;
                return Fail("invalid base64 character");
            }
            bits = (bits << 6) | std::uint32_t(digit);
            held += 6;
            if (held >= 8) {
                held -= 8;
                value.owned.push_back(std::uint8_t(bits >> held));
            }
        }
        return true;
    }

    bool ReadNumber(Value& value)
    {
        std::size_t start = mPos;
        if (mPos < mSize && (mText[mPos] == '-' || mText[mPos] == '+'))
            ++mPos;
        bool fractional = false;
        while (mPos < mSize) {
            char c = mText[mPos];
            if (c >= '0' && c <= '9') {
                ++mPos;
            } else if (c == '.' || c == 'e' || c == 'E'
                || ((c == '-' || c == '+') && (mText[mPos - 1] == 'e' || mText[mPos - 1] == 'E'))) {
                fractional = true;
                ++mPos;
            } else {
                break;
            }
        }
        const char* first = mText + start;
        if (first < mText + mPos && *first == '+')
            ++first;
        const char* last = mText + mPos;
        if (!fractional) {
            std::int64_t v = 0;
            auto r = std::from_chars(first, last, v);
            if (r.ec == std::errc() && r.ptr == last) {
                value.type = 'L';
                value.i = v;
                return true;
            }
        }
        double d = 0;
        auto r = std::from_chars(first, last, d);
        if (r.ptr != last || (r.ec != std::errc() && r.ec != std::errc::result_out_of_range)) {
            mPos = start;
            return Fail("malformed number");
        }
        value.type = 'D';
        value.d = d;
        return true;
    }

    // "a: v, v, v": numbers only; the array becomes 'd' when any is fractional, else 'l'.
    bool ReadArrayBody(Element& element, std::int64_t declared)
    {
        SkipBlank();
        Value array;
        array.offset = mPos;
        std::vector<double> reals;
        std::vector<std::int64_t> whole;
        bool anyReal = false;
        if (mPos < mSize && mText[mPos] == 'a') {
            ++mPos;
            SkipBlank();
            if (mPos >= mSize || mText[mPos] != ':')
                return Fail("'a:' expected in an array");
            ++mPos;
            while (true) {
                SkipBlank();
                if (mPos >= mSize || mText[mPos] == '}')
                    break;
                if (!mBudget.Take(16))
                    return Fail("the document needs more memory than the file's size allows");
                Value number;
                if (!ReadNumber(number))
                    return false;
                if (number.type == 'D' && !anyReal) {
                    anyReal = true;
                    reals.assign(whole.begin(), whole.end());
                    whole.clear();
                }
                if (anyReal)
                    reals.push_back(number.AsDouble());
                else
                    whole.push_back(number.i);
                SkipBlank();
                if (mPos < mSize && mText[mPos] == ',')
                    ++mPos;
                else
                    break;
            }
        }
        std::size_t n = anyReal ? reals.size() : whole.size();
        if (declared >= 0 && std::uint64_t(declared) != n) {
            mPos = array.offset;
            return Fail("array of '" + element.name + "' declares " + std::to_string(declared) + " elements, holds "
                + std::to_string(n));
        }
        if (n > 0x7fffffff / 8)
            return Fail("array of '" + element.name + "' is too long");
        Value made = anyReal ? Value::Doubles(reals) : Value::Longs(whole);
        made.offset = array.offset;
        element.values.push_back(std::move(made));
        return true;
    }

    const char* mText;
    std::size_t mSize;
    std::size_t mPos = 0;
    MemoryBudget mBudget;
    std::string& mError;
};

} // namespace

bool ReadAscii(const std::uint8_t* data, std::size_t size, Document& doc, std::string& error)
{
    doc = Document {};
    AsciiReader reader(data, size, error);
    if (reader.Read(doc))
        return true;
    doc = Document {};
    return false;
}

} // namespace fbxio
