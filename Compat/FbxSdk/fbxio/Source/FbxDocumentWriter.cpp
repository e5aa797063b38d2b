#include "fbxio/FbxDocumentWriter.h"

#include <zlib.h>

#include <charconv>
#include <cstring>

namespace fbxio {

namespace {

class BinaryWriter {
public:
    explicit BinaryWriter(const BinaryWriteOptions& options)
        : mOptions(options)
        , mWide(options.version >= 7500)
    {
    }

    std::vector<std::uint8_t> Write(const Element& root)
    {
        const char magic[] = "Kaydara FBX Binary  ";
        mOut.reserve(1 << 16);
        mOut.assign(magic, magic + 21); // includes the NUL
        mOut.push_back(0x1A);
        mOut.push_back(0x00);
        PutU32(std::uint32_t(mOptions.version));
        for (const Element& child : root.children)
            WriteRecord(child);
        PutNull();
        WriteFooter();
        return std::move(mOut);
    }

private:
    void PutU32(std::uint32_t v) { PutRaw(&v, 4); }
    void PutRaw(const void* p, std::size_t n)
    {
        auto b = static_cast<const std::uint8_t*>(p);
        mOut.insert(mOut.end(), b, b + n);
    }
    void PutHeaderField(std::uint64_t v)
    {
        if (mWide)
            PutRaw(&v, 8);
        else
            PutU32(std::uint32_t(v));
    }
    void PatchHeaderField(std::size_t at, std::uint64_t v)
    {
        if (mWide)
            std::memcpy(mOut.data() + at, &v, 8);
        else {
            std::uint32_t n = std::uint32_t(v);
            std::memcpy(mOut.data() + at, &n, 4);
        }
    }
    void PutNull() { mOut.insert(mOut.end(), mWide ? 25 : 13, 0); }

    void WriteRecord(const Element& e)
    {
        std::size_t start = mOut.size();
        std::size_t field = mWide ? 8 : 4;
        PutHeaderField(0);
        PutHeaderField(e.values.size());
        PutHeaderField(0);
        mOut.push_back(std::uint8_t(e.name.size()));
        PutRaw(e.name.data(), e.name.size());
        std::size_t valuesStart = mOut.size();
        for (const Value& v : e.values)
            WriteValue(v);
        PatchHeaderField(start + 2 * field, mOut.size() - valuesStart);
        // Exporters end a record's child list with a null record, and also write one for a
        // record that has neither values nor children.
        if (!e.children.empty() || e.values.empty()) {
            for (const Element& child : e.children)
                WriteRecord(child);
            PutNull();
        }
        PatchHeaderField(start, mOut.size());
    }

    void WriteValue(const Value& v)
    {
        mOut.push_back(std::uint8_t(v.type));
        switch (v.type) {
        case 'Y': {
            std::int16_t x = std::int16_t(v.i);
            PutRaw(&x, 2);
            break;
        }
        case 'C': mOut.push_back(v.i ? 1 : 0); break;
        case 'I': {
            std::int32_t x = std::int32_t(v.i);
            PutRaw(&x, 4);
            break;
        }
        case 'F': {
            float x = float(v.d);
            PutRaw(&x, 4);
            break;
        }
        case 'D': PutRaw(&v.d, 8); break;
        case 'L': PutRaw(&v.i, 8); break;
        case 'S':
        case 'R': WriteString(v); break;
        default: WriteArray(v); break;
        }
    }

    void WriteString(const Value& v)
    {
        std::string_view text = v.AsString();
        std::size_t sep = v.type == 'S' ? text.find("::") : std::string_view::npos;
        if (sep != std::string_view::npos) {
            // "Class::Name" is stored the binary way, "Name\0\1Class".
            std::string joined(text.substr(sep + 2));
            joined.push_back('\0');
            joined.push_back('\1');
            joined.append(text.substr(0, sep));
            PutU32(std::uint32_t(joined.size()));
            PutRaw(joined.data(), joined.size());
            return;
        }
        PutU32(std::uint32_t(text.size()));
        PutRaw(text.data(), text.size());
    }

    void WriteArray(const Value& v)
    {
        const std::uint8_t* bytes = v.Bytes();
        std::size_t size = v.ByteSize();
        PutU32(v.count);
        if (v.compressed) {
            // Already a zlib stream (read from a binary file, or made so by the caller): kept as it is.
            PutU32(1);
            PutU32(std::uint32_t(size));
            PutRaw(bytes, size);
            return;
        }
        if (mOptions.compressAbove == 0 || size < mOptions.compressAbove) {
            PutU32(0);
            PutU32(std::uint32_t(size));
            PutRaw(bytes, size);
            return;
        }
        uLongf bound = compressBound(uLong(size));
        std::vector<std::uint8_t> packed(bound);
        compress2(packed.data(), &bound, bytes, uLong(size), Z_DEFAULT_COMPRESSION);
        PutU32(1);
        PutU32(std::uint32_t(bound));
        PutRaw(packed.data(), bound);
    }

    void WriteFooter()
    {
        // The footer carries no information a reader needs: a fixed id, padding to a 16-byte
        // boundary, the version again, zeros and a closing magic.
        static const std::uint8_t footerId[16] = { 0xfa, 0xbc, 0xab, 0x09, 0xd0, 0xc8, 0xd4, 0x66, 0xb1, 0x76, 0xfb,
            0x83, 0x1c, 0xf7, 0x26, 0x7e };
        static const std::uint8_t closing[16] = { 0xf8, 0x5a, 0x8c, 0x6a, 0xde, 0xf5, 0xd9, 0x7e, 0xec, 0xe9, 0x0c,
            0xe3, 0x75, 0x8f, 0x29, 0x0b };
        PutRaw(footerId, 16);
        mOut.insert(mOut.end(), 4, 0);
        std::size_t pad = (16 - mOut.size() % 16) % 16;
        mOut.insert(mOut.end(), pad == 0 ? 16 : pad, 0);
        PutU32(std::uint32_t(mOptions.version));
        mOut.insert(mOut.end(), 120, 0);
        PutRaw(closing, 16);
    }

    BinaryWriteOptions mOptions;
    bool mWide;
    std::vector<std::uint8_t> mOut;
};

void AppendNumber(std::string& out, double d)
{
    char text[40];
    auto r = std::to_chars(text, text + sizeof text, d);
    out.append(text, r.ptr);
}

void AppendNumber(std::string& out, std::int64_t i)
{
    char text[24];
    auto r = std::to_chars(text, text + sizeof text, i);
    out.append(text, r.ptr);
}

void AppendQuoted(std::string& out, std::string_view s)
{
    out.push_back('"');
    for (char c : s) {
        if (c == '"')
            out += "&quot;";
        else
            out.push_back(c);
    }
    out.push_back('"');
}

void AppendBase64(std::string& out, const std::uint8_t* p, std::size_t n)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.push_back('"');
    for (std::size_t k = 0; k < n; k += 3) {
        std::uint32_t chunk = std::uint32_t(p[k]) << 16;
        if (k + 1 < n)
            chunk |= std::uint32_t(p[k + 1]) << 8;
        if (k + 2 < n)
            chunk |= p[k + 2];
        out.push_back(digits[(chunk >> 18) & 63]);
        out.push_back(digits[(chunk >> 12) & 63]);
        out.push_back(k + 1 < n ? digits[(chunk >> 6) & 63] : '=');
        out.push_back(k + 2 < n ? digits[chunk & 63] : '=');
    }
    out.push_back('"');
}

void WriteAsciiElement(std::string& out, const Element& e, int depth)
{
    out.append(std::size_t(depth), '\t');
    out += e.name;
    out += ": ";
    bool arrayBody = false;
    for (std::size_t k = 0; k < e.values.size(); ++k) {
        const Value& v = e.values[k];
        if (k)
            out += ", ";
        if (v.IsArray()) {
            out += '*';
            AppendNumber(out, std::int64_t(v.count));
            arrayBody = true;
            continue;
        }
        switch (v.type) {
        case 'S': AppendQuoted(out, v.AsString()); break;
        case 'R':
            // Embedded data goes out in chunks padded one by one, as exporters write it.
            for (std::size_t at = 0, chunk = 0; at < v.ByteSize() || chunk == 0; at += 57, ++chunk) {
                if (chunk)
                    out += ", ";
                std::size_t n = std::min<std::size_t>(57, v.ByteSize() - std::min(at, v.ByteSize()));
                AppendBase64(out, v.Bytes() + std::min(at, v.ByteSize()), n);
                if (n == 0)
                    break;
            }
            break;
        case 'F':
        case 'D': AppendNumber(out, v.d); break;
        default: AppendNumber(out, v.i); break;
        }
    }
    if (arrayBody) {
        const Value& v = e.values.back();
        out += " {\n";
        out.append(std::size_t(depth + 1), '\t');
        out += "a: ";
        std::string error;
        if (v.type == 'd' || v.type == 'f') {
            std::vector<double> values;
            DecodeArray(v, values, error);
            for (std::size_t k = 0; k < values.size(); ++k) {
                if (k)
                    out += ',';
                AppendNumber(out, values[k]);
            }
        } else {
            std::vector<std::int64_t> values;
            DecodeArray(v, values, error);
            for (std::size_t k = 0; k < values.size(); ++k) {
                if (k)
                    out += ',';
                AppendNumber(out, values[k]);
            }
        }
        out += '\n';
        out.append(std::size_t(depth), '\t');
        out += "}\n";
        return;
    }
    if (!e.children.empty() || e.values.empty()) {
        out += " {\n";
        for (const Element& child : e.children)
            WriteAsciiElement(out, child, depth + 1);
        out.append(std::size_t(depth), '\t');
        out += "}\n";
    } else {
        out += '\n';
    }
}

} // namespace

std::vector<std::uint8_t> WriteBinary(const Element& root, const BinaryWriteOptions& options)
{
    return BinaryWriter(options).Write(root);
}

std::string WriteAscii(const Element& root, int version)
{
    std::string out = "; FBX " + std::to_string(version / 1000) + "." + std::to_string(version / 100 % 10) + "."
        + std::to_string(version % 100 / 10) + " project file\n";
    for (const Element& child : root.children)
        WriteAsciiElement(out, child, 0);
    return out;
}

} // namespace fbxio
