// The FBX document tree: what both the binary and the ASCII syntax describe before any meaning
// is given to it. Each element has a name, a list of typed values and child elements.
//
// Arrays read from a binary file are not copied: they point into the caller's file buffer and
// are inflated only when a consumer asks for them, straight into the consumer's storage. The
// buffer must therefore outlive the document. Arrays parsed from ASCII text or built by the
// writer own their bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fbxio {

// Limits every reader honours. A file that needs more is rejected, never half-read.
inline constexpr int kMaxElementDepth = 32;
inline constexpr int kMaxNodeHierarchyDepth = 512;
// Memory a document may claim: a fixed allowance plus a multiple of the file's size. Inflated
// arrays count in full, so a small file cannot declare gigabytes of zlib data.
inline constexpr std::size_t kMemoryAllowanceBytes = std::size_t(64) << 20;
inline constexpr std::size_t kMemoryPerFileByte = 128;
inline constexpr int kMinBinaryVersion = 7000;
inline constexpr int kMaxBinaryVersion = 7700;

// Counts the bytes a document claims against its limit.
class MemoryBudget {
public:
    explicit MemoryBudget(std::size_t limit)
        : mRemaining(limit)
    {
    }
    static MemoryBudget ForFileSize(std::size_t fileSize);
    bool Take(std::size_t bytes)
    {
        if (bytes > mRemaining)
            return false;
        mRemaining -= bytes;
        return true;
    }
    std::size_t Remaining() const { return mRemaining; }

private:
    std::size_t mRemaining;
};

// One value of an element. Type codes are the binary format's own:
// scalars Y (int16) C (bool) I (int32) F (float) D (double) L (int64), strings S and raw data R,
// arrays f d l i b c (c is a byte array like b).
struct Value {
    char type = 0;
    bool compressed = false; // array bytes are a zlib stream
    std::uint32_t count = 0; // array element count
    std::int64_t i = 0; // integer scalars and bools
    double d = 0; // floating scalars
    std::size_t offset = 0; // where the value starts in the file, for messages
    const std::uint8_t* external = nullptr; // array/string bytes inside the file buffer
    std::size_t externalSize = 0;
    std::vector<std::uint8_t> owned; // array/string bytes owned by the value

    bool IsArray() const;
    bool IsString() const { return type == 'S' || type == 'R'; }
    bool IsNumber() const;
    std::int64_t AsInt() const;
    double AsDouble() const;
    std::string_view AsString() const;
    std::size_t ElementSize() const; // bytes per array element

    const std::uint8_t* Bytes() const { return external ? external : owned.data(); }
    std::size_t ByteSize() const { return external ? externalSize : owned.size(); }

    static Value Int(std::int64_t v, char type = 'I');
    static Value Bool(bool v);
    static Value Double(double v, char type = 'D');
    static Value String(std::string_view s);
    static Value Raw(const void* data, std::size_t size);
    static Value Doubles(const std::vector<double>& v);
    static Value Floats(const std::vector<float>& v);
    static Value Ints(const std::vector<std::int32_t>& v);
    static Value Longs(const std::vector<std::int64_t>& v);
    static Value Bytes(const std::vector<std::uint8_t>& v);
};

struct Element {
    std::string name;
    std::vector<Value> values;
    std::vector<Element> children;
    std::size_t offset = 0;

    const Element* Find(std::string_view childName) const;
    Element& Add(std::string childName);
    Element& Add(std::string childName, std::vector<Value> childValues);
};

struct Document {
    Element root; // nameless; its children are the file's top-level elements
    int version = 0; // e.g. 7400
    bool binary = true;
};

// Decodes an array value into `out` as T (double, float, int32, int64 or uint8), converting
// element types where they differ. Compressed data must inflate to exactly the declared size.
template <class T>
bool DecodeArray(const Value& value, std::vector<T>& out, std::string& error);

// Decodes an array of count * stride numbers into `out`, whose `outCount` elements are `slots`
// doubles each (FbxVector4 for stride 3 or 4, FbxVector2 for 2): the numbers fill the first
// `stride` of each element, `fill` the slots after them. Inflates in place and spreads backwards,
// so no temporary copy of the array is made, and fills in that same pass over the array.
bool DecodeVectorArray(
    const Value& value, int stride, int slots, double fill, double* out, std::size_t outCount, std::string& error);

std::string Hex(std::size_t offset);

} // namespace fbxio
