#include "fbxio/FbxDocument.h"

#include <libdeflate.h>

#include "Platform/HugePages.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

namespace fbxio {

MemoryBudget MemoryBudget::ForFileSize(std::size_t fileSize)
{
    std::size_t scaled = fileSize > SIZE_MAX / kMemoryPerFileByte ? SIZE_MAX : fileSize * kMemoryPerFileByte;
    return MemoryBudget(scaled > SIZE_MAX - kMemoryAllowanceBytes ? SIZE_MAX : scaled + kMemoryAllowanceBytes);
}

std::string Hex(std::size_t offset)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%zx", offset);
    return text;
}

bool Value::IsArray() const
{
    switch (type) {
    case 'f':
    case 'd':
    case 'l':
    case 'i':
    case 'b':
    case 'c': return true;
    default: return false;
    }
}

bool Value::IsNumber() const
{
    switch (type) {
    case 'Y':
    case 'C':
    case 'I':
    case 'F':
    case 'D':
    case 'L': return true;
    default: return false;
    }
}

std::int64_t Value::AsInt() const
{
    if (type == 'F' || type == 'D') {
        // Saturate: a hostile double must not become undefined behaviour in the cast.
        if (!(d == d))
            return 0;
        if (d >= 9.2e18)
            return INT64_MAX;
        if (d <= -9.2e18)
            return INT64_MIN;
        return static_cast<std::int64_t>(d);
    }
    return IsNumber() ? i : 0;
}

double Value::AsDouble() const
{
    if (type == 'F' || type == 'D')
        return d;
    return IsNumber() ? static_cast<double>(i) : 0.0;
}

std::string_view Value::AsString() const
{
    if (!IsString())
        return {};
    return { reinterpret_cast<const char*>(Bytes()), ByteSize() };
}

std::size_t Value::ElementSize() const
{
    switch (type) {
    case 'd':
    case 'l': return 8;
    case 'f':
    case 'i': return 4;
    case 'b':
    case 'c': return 1;
    default: return 0;
    }
}

Value Value::Int(std::int64_t v, char t)
{
    Value value;
    value.type = t;
    value.i = v;
    return value;
}

Value Value::Bool(bool v)
{
    return Int(v ? 1 : 0, 'C');
}

Value Value::Double(double v, char t)
{
    Value value;
    value.type = t;
    value.d = v;
    return value;
}

Value Value::String(std::string_view s)
{
    Value value;
    value.type = 'S';
    value.owned.assign(s.begin(), s.end());
    return value;
}

Value Value::Raw(const void* data, std::size_t size)
{
    Value value;
    value.type = 'R';
    auto bytes = static_cast<const std::uint8_t*>(data);
    value.owned.assign(bytes, bytes + size);
    return value;
}

namespace {
template <class T>
Value MakeArray(char type, const std::vector<T>& v)
{
    Value value;
    value.type = type;
    value.count = static_cast<std::uint32_t>(v.size());
    value.owned.resize(v.size() * sizeof(T));
    if (!v.empty())
        std::memcpy(value.owned.data(), v.data(), value.owned.size());
    return value;
}
} // namespace

Value Value::Doubles(const std::vector<double>& v)
{
    return MakeArray('d', v);
}
Value Value::Floats(const std::vector<float>& v)
{
    return MakeArray('f', v);
}
Value Value::Ints(const std::vector<std::int32_t>& v)
{
    return MakeArray('i', v);
}
Value Value::Longs(const std::vector<std::int64_t>& v)
{
    return MakeArray('l', v);
}
Value Value::Bytes(const std::vector<std::uint8_t>& v)
{
    return MakeArray('b', v);
}

const Element* Element::Find(std::string_view childName) const
{
    for (const Element& child : children)
        if (child.name == childName)
            return &child;
    return nullptr;
}

Element& Element::Add(std::string childName)
{
    children.emplace_back();
    children.back().name = std::move(childName);
    return children.back();
}

Element& Element::Add(std::string childName, std::vector<Value> childValues)
{
    Element& child = Add(std::move(childName));
    child.values = std::move(childValues);
    return child;
}

namespace {

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* Decompressor()
{
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> instance(
        libdeflate_alloc_decompressor());
    return instance.get();
}

// Places the array's raw little-endian element bytes into dst, which holds exactly
// count * ElementSize() bytes.
bool RawBytesInto(const Value& value, void* dst, std::string& error)
{
    std::size_t expected = std::size_t(value.count) * value.ElementSize();
    if (!value.compressed) {
        if (value.ByteSize() != expected) {
            error = "array at offset " + Hex(value.offset) + " holds " + std::to_string(value.ByteSize())
                + " bytes for " + std::to_string(value.count) + " elements";
            return false;
        }
        if (expected)
            std::memcpy(dst, value.Bytes(), expected);
        return true;
    }
    libdeflate_decompressor* d = Decompressor();
    if (!d) {
        error = "out of memory for the inflater";
        return false;
    }
    std::size_t actual = 0;
    libdeflate_result r = libdeflate_zlib_decompress(d, value.Bytes(), value.ByteSize(), dst, expected, &actual);
    if (r == LIBDEFLATE_INSUFFICIENT_SPACE) {
        error = "array at offset " + Hex(value.offset) + " inflates to more than its declared "
            + std::to_string(expected) + " bytes";
        return false;
    }
    if (r != LIBDEFLATE_SUCCESS) {
        error = "array at offset " + Hex(value.offset) + " holds a damaged zlib stream";
        return false;
    }
    if (actual != expected) {
        error = "array at offset " + Hex(value.offset) + " inflates to " + std::to_string(actual) + " bytes, declared "
            + std::to_string(expected);
        return false;
    }
    return true;
}

template <class S>
S Load(const std::uint8_t* p)
{
    S s;
    std::memcpy(&s, p, sizeof s);
    return s;
}

template <class T>
T Convert(const std::uint8_t* p, char type)
{
    switch (type) {
    case 'd': {
        double v = Load<double>(p);
        if constexpr (std::is_integral_v<T>) {
            if (!(v == v) || v > 2e9 || v < -2e9)
                return T(0);
        }
        return static_cast<T>(v);
    }
    case 'f': {
        float v = Load<float>(p);
        if constexpr (std::is_integral_v<T>) {
            if (!(v == v) || v > 2e9f || v < -2e9f)
                return T(0);
        }
        return static_cast<T>(v);
    }
    case 'l': return static_cast<T>(Load<std::int64_t>(p));
    case 'i': return static_cast<T>(Load<std::int32_t>(p));
    default: return static_cast<T>(*p);
    }
}

template <class T>
constexpr char NativeType()
{
    if constexpr (std::is_same_v<T, double>)
        return 'd';
    else if constexpr (std::is_same_v<T, float>)
        return 'f';
    else if constexpr (std::is_same_v<T, std::int64_t>)
        return 'l';
    else if constexpr (std::is_same_v<T, std::int32_t>)
        return 'i';
    else
        return 'b';
}

} // namespace

template <class T>
bool DecodeArray(const Value& value, std::vector<T>& out, std::string& error)
{
    out.clear();
    if (!value.IsArray()) {
        error = "value at offset " + Hex(value.offset) + " is not an array";
        return false;
    }
    char native = NativeType<T>();
    bool same = value.type == native || (native == 'b' && value.type == 'c');
    if (same) {
        ReserveLarge(out, value.count);
        out.resize(value.count);
        return RawBytesInto(value, out.data(), error);
    }
    std::vector<std::uint8_t> raw(std::size_t(value.count) * value.ElementSize());
    if (!RawBytesInto(value, raw.data(), error))
        return false;
    ReserveLarge(out, value.count);
    out.resize(value.count);
    std::size_t step = value.ElementSize();
    for (std::size_t k = 0; k < value.count; ++k)
        out[k] = Convert<T>(raw.data() + k * step, value.type);
    return true;
}

template bool DecodeArray<double>(const Value&, std::vector<double>&, std::string&);
template bool DecodeArray<float>(const Value&, std::vector<float>&, std::string&);
template bool DecodeArray<std::int32_t>(const Value&, std::vector<std::int32_t>&, std::string&);
template bool DecodeArray<std::int64_t>(const Value&, std::vector<std::int64_t>&, std::string&);
template bool DecodeArray<std::uint8_t>(const Value&, std::vector<std::uint8_t>&, std::string&);

namespace {

// Moves `count` vectors of `stride` numbers, packed at the front of `out`, to `slots` doubles each
// and fills the slots after the numbers. Element e moves from e * stride up to e * slots; going from
// the back, no element is overwritten before it has moved, and its filled slots lie beyond every
// unmoved one.
void SpreadBackwards(double* out, std::size_t count, int stride, int slots, double fill)
{
    for (std::size_t e = count; e-- > 0;) {
        for (int c = stride; c-- > 0;)
            out[e * slots + c] = out[e * stride + c];
        for (int c = stride; c < slots; ++c)
            out[e * slots + c] = fill;
    }
}

// The same for a stride and slot count known when compiling: the moves become a few wide loads and
// stores instead of two loops per element. An element's numbers are all read before any is written,
// as its new place overlaps its old one.
template <int Stride, int Slots>
void SpreadBackwards(double* out, std::size_t count, double fill)
{
    for (std::size_t e = count; e-- > 0;) {
        double numbers[Stride];
        std::memcpy(numbers, out + e * Stride, sizeof numbers);
        std::memcpy(out + e * Slots, numbers, sizeof numbers);
        for (int c = Stride; c < Slots; ++c)
            out[e * Slots + c] = fill;
    }
}

} // namespace

bool DecodeVectorArray(
    const Value& value, int stride, int slots, double fill, double* out, std::size_t outCount, std::string& error)
{
    if (!value.IsArray()) {
        error = "value at offset " + Hex(value.offset) + " is not an array";
        return false;
    }
    std::size_t n = value.count;
    if (n / std::size_t(stride) != outCount || stride > slots) {
        error = "array at offset " + Hex(value.offset) + " does not hold whole vectors";
        return false;
    }
    auto* bytes = reinterpret_cast<std::uint8_t*>(out);
    std::size_t step = value.ElementSize();
    // The first n * step bytes of out receive the raw elements; n * step <= n * 8 <= the room.
    if (step == 0 || !RawBytesInto(value, bytes, error))
        return false;
    if (value.type != 'd') {
        if (step >= 8) {
            for (std::size_t k = 0; k < n; ++k) {
                double v = Convert<double>(bytes + k * 8, value.type);
                std::memcpy(bytes + k * 8, &v, 8);
            }
        } else {
            // Narrower elements widen from the back so no unread element is overwritten.
            for (std::size_t k = n; k-- > 0;) {
                double v = Convert<double>(bytes + k * step, value.type);
                std::memcpy(bytes + k * 8, &v, 8);
            }
        }
    }
    if (stride == 3 && slots == 4)
        SpreadBackwards<3, 4>(out, outCount, fill); // normals, tangents, control points: the big arrays
    else if (slots != stride)
        SpreadBackwards(out, outCount, stride, slots, fill);
    return true;
}

} // namespace fbxio
