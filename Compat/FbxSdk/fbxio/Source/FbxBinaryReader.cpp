// Binary FBX: a 27-byte header (magic, 0x1A 0x00, version), then nested records. Each record
// starts with its end offset, value count and value-list length (32-bit before 7500, 64-bit
// from 7500) and a one-byte name length; a record of all zeros ends a list.
#include "fbxio/FbxReader.h"

#include <cstring>

namespace fbxio {

namespace {

constexpr char kBinaryMagic[] = "Kaydara FBX Binary  "; // 20 characters, then NUL, 0x1A, 0x00
constexpr std::size_t kHeaderSize = 27;

class BinaryReader {
public:
    BinaryReader(const std::uint8_t* data, std::size_t size, std::string& error)
        : mData(data)
        , mSize(size)
        , mBudget(MemoryBudget::ForFileSize(size))
        , mError(error)
    {
    }

    bool Read(Document& doc)
    {
        if (mSize < kHeaderSize || std::memcmp(mData, kBinaryMagic, 20) != 0)
            return Fail(0, "the binary FBX magic is missing");
        if (mData[20] != 0 || mData[21] != 0x1A || mData[22] != 0)
            return Fail(20, "the binary FBX header is damaged (bytes 20-22 are not 00 1A 00)");
        std::uint32_t version = U32(23);
        if (version < 7000 && version >= 2000)
            return Fail(23,
                "FBX " + std::to_string(version / 1000) + "." + std::to_string(version / 100 % 10) + " files (version "
                    + std::to_string(version) + ") are not supported; re-export as FBX 7.x");
        if (version < std::uint32_t(kMinBinaryVersion) || version > std::uint32_t(kMaxBinaryVersion))
            return Fail(23, "unsupported binary FBX version " + std::to_string(version));
        doc.version = int(version);
        doc.binary = true;
        mWide = version >= 7500;
        std::size_t pos = kHeaderSize;
        return ReadList(pos, mSize, doc.root, 0, true);
    }

private:
    bool Fail(std::size_t offset, const std::string& what)
    {
        mError = what + " (at offset " + Hex(offset) + ")";
        return false;
    }

    std::uint32_t U32(std::size_t at) const
    {
        std::uint32_t v;
        std::memcpy(&v, mData + at, 4);
        return v;
    }
    std::uint64_t U64(std::size_t at) const
    {
        std::uint64_t v;
        std::memcpy(&v, mData + at, 8);
        return v;
    }
    std::size_t HeaderSize() const { return mWide ? 25 : 13; }

    // Reads records from pos up to `end` into parent's children. A list ends with a null
    // record; the top-level list may also simply run out (the footer follows it).
    bool ReadList(std::size_t& pos, std::size_t end, Element& parent, int depth, bool topLevel)
    {
        if (depth > kMaxElementDepth)
            return Fail(pos, "records nest deeper than " + std::to_string(kMaxElementDepth));
        while (true) {
            if (end - pos < HeaderSize()) {
                // Every list, the top-level one included, ends with a null record; a file that
                // stops before it has been cut short.
                return Fail(pos,
                    topLevel ? "the file ends before its top-level null record (truncated?)"
                             : "record list is not terminated");
            }
            std::uint64_t endOffset, valueCount, valueBytes;
            if (mWide) {
                endOffset = U64(pos);
                valueCount = U64(pos + 8);
                valueBytes = U64(pos + 16);
            } else {
                endOffset = U32(pos);
                valueCount = U32(pos + 4);
                valueBytes = U32(pos + 8);
            }
            std::uint8_t nameLength = mData[pos + HeaderSize() - 1];
            if (endOffset == 0) {
                if (valueCount != 0 || valueBytes != 0 || nameLength != 0)
                    return Fail(pos, "record with end offset 0 is not a null record");
                pos += HeaderSize();
                return true;
            }
            if (!ReadRecord(pos, end, endOffset, valueCount, valueBytes, nameLength, parent, depth))
                return false;
        }
    }

    bool ReadRecord(std::size_t& pos, std::size_t end, std::uint64_t endOffset, std::uint64_t valueCount,
        std::uint64_t valueBytes, std::uint8_t nameLength, Element& parent, int depth)
    {
        std::size_t start = pos;
        if (endOffset <= start || endOffset > end)
            return Fail(
                start, "record ends at " + Hex(endOffset) + ", outside its parent (which ends at " + Hex(end) + ")");
        // Its name and values are measured from the end of its header: a record cannot end inside it.
        if (endOffset - start < HeaderSize())
            return Fail(start, "record ends at " + Hex(endOffset) + ", inside its own header");
        std::size_t recordEnd = std::size_t(endOffset);
        std::size_t nameAt = start + HeaderSize();
        if (recordEnd - nameAt < nameLength)
            return Fail(start, "record name runs past the record's end");
        std::size_t valuesAt = nameAt + nameLength;
        if (valueBytes > recordEnd - valuesAt)
            return Fail(
                start, "record declares " + std::to_string(valueBytes) + " bytes of values, more than it holds");
        if (valueCount > valueBytes)
            return Fail(start,
                "record declares " + std::to_string(valueCount) + " values in " + std::to_string(valueBytes)
                    + " bytes");
        if (!mBudget.Take(sizeof(Element) + valueCount * sizeof(Value)))
            return Fail(start, "the document needs more memory than the file's size allows");
        Element& element = parent.children.emplace_back();
        element.offset = start;
        element.name.assign(reinterpret_cast<const char*>(mData + nameAt), nameLength);
        element.values.reserve(std::size_t(valueCount));
        std::size_t valuesEnd = valuesAt + std::size_t(valueBytes);
        std::size_t at = valuesAt;
        for (std::uint64_t k = 0; k < valueCount; ++k)
            if (!ReadValue(at, valuesEnd, element.values.emplace_back()))
                return false;
        if (at != valuesEnd)
            return Fail(at,
                "record '" + element.name + "' has " + std::to_string(valuesEnd - at)
                    + " bytes left over after its values");
        at = valuesEnd;
        if (at < recordEnd) {
            if (!ReadList(at, recordEnd, element, depth + 1, false))
                return false;
            if (at != recordEnd)
                return Fail(at, "record '" + element.name + "' has bytes after its null record");
        }
        pos = recordEnd;
        return true;
    }

    bool ReadValue(std::size_t& at, std::size_t end, Value& value)
    {
        value.offset = at;
        if (at >= end)
            return Fail(at, "value runs past the record's value list");
        value.type = char(mData[at++]);
        std::size_t left = end - at;
        auto scalar = [&](std::size_t bytes) {
            if (left < bytes)
                return Fail(value.offset, std::string("value of type '") + value.type + "' is cut off");
            return true;
        };
        switch (value.type) {
        case 'Y': {
            if (!scalar(2))
                return false;
            std::int16_t v;
            std::memcpy(&v, mData + at, 2);
            value.i = v;
            at += 2;
            return true;
        }
        case 'C':
            if (!scalar(1))
                return false;
            value.i = mData[at] != 0;
            at += 1;
            return true;
        case 'I': {
            if (!scalar(4))
                return false;
            std::int32_t v;
            std::memcpy(&v, mData + at, 4);
            value.i = v;
            at += 4;
            return true;
        }
        case 'F': {
            if (!scalar(4))
                return false;
            float v;
            std::memcpy(&v, mData + at, 4);
            value.d = v;
            at += 4;
            return true;
        }
        case 'D':
            if (!scalar(8))
                return false;
            std::memcpy(&value.d, mData + at, 8);
            at += 8;
            return true;
        case 'L':
            if (!scalar(8))
                return false;
            std::memcpy(&value.i, mData + at, 8);
            at += 8;
            return true;
        case 'S':
        case 'R': return ReadString(at, end, value);
        case 'f':
        case 'd':
        case 'l':
        case 'i':
        case 'b':
        case 'c': return ReadArray(at, end, value);
        default: return Fail(value.offset, "unknown value type 0x" + Hex(std::uint8_t(value.type)).substr(2));
        }
    }

    bool ReadString(std::size_t& at, std::size_t end, Value& value)
    {
        if (end - at < 4)
            return Fail(value.offset, "string length is cut off");
        std::uint32_t length = U32(at);
        at += 4;
        if (length > end - at)
            return Fail(value.offset,
                "string declares " + std::to_string(length) + " bytes, only " + std::to_string(end - at) + " remain");
        if (value.type == 'S') {
            // Binary names are "Name\0\1Class"; ASCII spells the same thing "Class::Name".
            // Store the ASCII spelling so one object reader serves both formats.
            const char* s = reinterpret_cast<const char*>(mData + at);
            std::string_view text(s, length);
            std::size_t sep = text.find(std::string_view("\0\1", 2));
            if (sep != std::string_view::npos) {
                if (!mBudget.Take(length + 2))
                    return Fail(value.offset, "the document needs more memory than the file's size allows");
                std::string joined;
                joined.reserve(length + 2);
                joined.append(text.substr(sep + 2)).append("::").append(text.substr(0, sep));
                value.owned.assign(joined.begin(), joined.end());
                at += length;
                return true;
            }
        }
        value.external = mData + at;
        value.externalSize = length;
        at += length;
        return true;
    }

    bool ReadArray(std::size_t& at, std::size_t end, Value& value)
    {
        if (end - at < 12)
            return Fail(value.offset, "array header is cut off");
        std::uint32_t count = U32(at), encoding = U32(at + 4), stored = U32(at + 8);
        at += 12;
        std::size_t elementSize = value.ElementSize();
        std::uint64_t bytes = std::uint64_t(count) * elementSize;
        if (encoding > 1)
            return Fail(value.offset, "array has unknown encoding " + std::to_string(encoding));
        if (stored > end - at)
            return Fail(value.offset,
                "array declares " + std::to_string(stored) + " stored bytes, only " + std::to_string(end - at)
                    + " remain");
        if (encoding == 0 && stored != bytes)
            return Fail(value.offset,
                "array declares " + std::to_string(count) + " elements but stores " + std::to_string(stored)
                    + " bytes");
        if (count > 0x7fffffffu / elementSize || !mBudget.Take(std::size_t(bytes)))
            return Fail(value.offset,
                "array declares " + std::to_string(count) + " elements, more than the file's size allows");
        value.count = count;
        value.compressed = encoding == 1;
        value.external = mData + at;
        value.externalSize = stored;
        at += stored;
        return true;
    }

    const std::uint8_t* mData;
    std::size_t mSize;
    MemoryBudget mBudget;
    std::string& mError;
    bool mWide = false;
};

} // namespace

Format DetectFormat(const std::uint8_t* data, std::size_t size)
{
    if (size >= 18 && std::memcmp(data, kBinaryMagic, 18) == 0)
        return Format::Binary;
    return size > 0 ? Format::Ascii : Format::Unknown;
}

bool ReadBinary(const std::uint8_t* data, std::size_t size, Document& doc, std::string& error)
{
    doc = Document {};
    BinaryReader reader(data, size, error);
    if (reader.Read(doc))
        return true;
    doc = Document {};
    return false;
}

bool ReadDocument(const std::uint8_t* data, std::size_t size, Document& doc, std::string& error)
{
    switch (DetectFormat(data, size)) {
    case Format::Binary: return ReadBinary(data, size, doc, error);
    case Format::Ascii: return ReadAscii(data, size, doc, error);
    default: error = "the file is empty"; return false;
    }
}

} // namespace fbxio
