// FBX files made to exhaust a reader rather than to describe a scene, built in memory in well under
// a second however much they declare:
//  - IndexBomb: three control points and a zlib-compressed PolygonVertexIndex of millions of corners
//    over them (0, 1, -3 over and over, or 0, 1, 2 as one polygon), which inflates up to a thousand
//    times over;
//  - NodeChain: nulls each the child of the one before, as deep as asked;
//  - TemplateBomb, ManyProperties, ManyPropertyConnections, ManyEmbeddedVideos, ManyModels: a quad
//    and thousands of property lines, connections, embedded files or objects that each cost the
//    reader something, once or (in a reader that copies templates or searches lists) once per object.
#pragma once

#include "fbxio/FbxDocumentWriter.h"
#include "fbxio/FbxSceneWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace hostilefbx {

// How an index bomb's stream is compressed. Tight: the smallest file (zlib's best); Loose: fixed
// Huffman codes at the fastest level, twenty times larger, so large a file that the reader's budget
// lets the whole array through.
enum class Packing { Tight, Loose };

// What the corners make: a triangle of each three, or one polygon of them all.
enum class Shape { Triangles, OnePolygon };

// The corner triples each compressed block of the stream repeats.
constexpr std::uint32_t kBombBlockTriples = 1'000'000;

namespace detail {

// The raw deflate blocks of `data`, ended by a full flush: byte-aligned and referring to nothing
// before them, so copies of them can follow one another in one stream.
inline std::vector<std::uint8_t> FlushedBlocks(const std::vector<std::uint8_t>& data, Packing packing)
{
    constexpr int kRawDeflate = -15;
    constexpr int kMemoryLevel = 9;
    z_stream z {};
    const bool tight = packing == Packing::Tight;
    deflateInit2(&z, tight ? Z_BEST_COMPRESSION : Z_BEST_SPEED, Z_DEFLATED, kRawDeflate, kMemoryLevel,
        tight ? Z_DEFAULT_STRATEGY : Z_FIXED);
    std::vector<std::uint8_t> out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FULL_FLUSH);
    deflateEnd(&z);
    return { out.begin(), out.begin() + std::ptrdiff_t(z.total_out) };
}

inline std::vector<std::uint8_t> Triples(std::uint32_t triples, Shape shape)
{
    // The last corner of a polygon is stored as -(index + 1); without one, all are one polygon.
    const std::int32_t triangle[3] = { 0, 1, -3 }, open[3] = { 0, 1, 2 };
    const std::int32_t* corners = shape == Shape::Triangles ? triangle : open;
    constexpr std::size_t kTripleBytes = 3 * sizeof(std::int32_t);
    std::vector<std::uint8_t> bytes(std::size_t(triples) * kTripleBytes);
    for (std::size_t t = 0; t < triples; ++t)
        std::memcpy(bytes.data() + t * kTripleBytes, corners, kTripleBytes);
    return bytes;
}

// A zlib stream of `triples` index triples, made of copies of one compressed block.
inline std::vector<std::uint8_t> IndexStream(
    std::uint32_t triples, Shape shape, std::uint32_t blockTriples, Packing packing)
{
    const std::uint32_t whole = triples / blockTriples, rest = triples % blockTriples;
    const std::vector<std::uint8_t> block = Triples(std::min(triples, blockTriples), shape);
    const std::vector<std::uint8_t> blockDeflated = FlushedBlocks(block, packing);
    const uLong blockSum = adler32(adler32(0, nullptr, 0), block.data(), uInt(block.size()));

    std::vector<std::uint8_t> stream = { 0x78, 0x01 }; // zlib header: deflate, 32 KiB window
    uLong sum = adler32(0, nullptr, 0);
    for (std::uint32_t k = 0; k < whole; ++k) {
        stream.insert(stream.end(), blockDeflated.begin(), blockDeflated.end());
        sum = adler32_combine(sum, blockSum, z_off_t(block.size()));
    }
    if (rest > 0) {
        const std::vector<std::uint8_t> tail = Triples(rest, shape);
        const std::vector<std::uint8_t> tailDeflated = FlushedBlocks(tail, packing);
        stream.insert(stream.end(), tailDeflated.begin(), tailDeflated.end());
        sum = adler32_combine(
            sum, adler32(adler32(0, nullptr, 0), tail.data(), uInt(tail.size())), z_off_t(tail.size()));
    }
    stream.insert(stream.end(), { 0x03, 0x00 }); // a last, empty block with fixed codes
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(std::uint8_t(sum >> shift));
    return stream;
}

inline fbxio::Element* Child(fbxio::Element& parent, const std::string& name)
{
    for (fbxio::Element& child : parent.children)
        if (child.name == name)
            return &child;
    return nullptr;
}

} // namespace detail

// A binary file whose mesh "Bomb" has three control points and 3 x `triples` corners over them.
inline std::vector<std::uint8_t> IndexBomb(std::uint32_t triples, Packing packing, Shape shape = Shape::Triangles,
    std::uint32_t blockTriples = kBombBlockTriples)
{
    fbxio::MeshData mesh;
    mesh.points = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
    mesh.polygons = { { 0, 1, 2 } };
    fbxio::SceneWriter writer;
    writer.AddMesh("Bomb", mesh);
    fbxio::Element document = writer.BuildDocument();
    fbxio::Element* objects = detail::Child(document, "Objects");
    fbxio::Element* geometry = detail::Child(*objects, "Geometry");
    fbxio::Value& indices = detail::Child(*geometry, "PolygonVertexIndex")->values[0];
    indices = fbxio::Value {};
    indices.type = 'i';
    indices.compressed = true;
    indices.count = triples * 3;
    indices.owned = detail::IndexStream(triples, shape, blockTriples, packing);
    return fbxio::WriteBinary(document);
}

// A binary file of `depth` nulls named N0, N1, ..., each the child of the one before, N0 under the
// scene's root. Parents are linked before their children, as exporters write them.
inline std::vector<std::uint8_t> NodeChain(int depth)
{
    constexpr std::int64_t kFirstId = 1000;
    fbxio::Element document;
    document.Add("Objects");
    document.Add("Connections");
    fbxio::Element& objects = document.children[0];
    fbxio::Element& connections = document.children[1];
    for (int k = 0; k < depth; ++k) {
        objects.Add("Model",
            { fbxio::Value::Int(kFirstId + k, 'L'), fbxio::Value::String("Model::N" + std::to_string(k)),
                fbxio::Value::String("Null") });
        const std::int64_t parent = k == 0 ? fbxio::kSceneRoot : kFirstId + k - 1;
        connections.Add(
            "C", { fbxio::Value::String("OO"), fbxio::Value::Int(kFirstId + k, 'L'), fbxio::Value::Int(parent, 'L') });
    }
    return fbxio::WriteBinary(document);
}

namespace detail {

inline fbxio::Value P(const std::string& text)
{
    return fbxio::Value::String(text);
}

// A number property line named `name`.
inline void AddNumberProperty(fbxio::Element& properties70, const std::string& name, double value)
{
    properties70.Add("P", { P(name), P("double"), P("Number"), P("A"), fbxio::Value::Double(value) });
}

// The document of a scene holding one quad, to be made hostile.
inline fbxio::Element QuadDocument()
{
    fbxio::MeshData quad;
    quad.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0 };
    quad.polygons = { { 0, 1, 2, 3 } };
    fbxio::SceneWriter writer;
    writer.AddMesh("Quad", quad);
    return writer.BuildDocument();
}

} // namespace detail

// A quad, and `objects` nulls named Extra0, Extra1, ... whose type's template lists
// `templateProperties` numbers: a reader that copies the template into each object holds
// objects x templateProperties of them.
inline fbxio::Element TemplateBomb(int templateProperties, int objects)
{
    fbxio::Element document = detail::QuadDocument();
    fbxio::Element* definitions = detail::Child(document, "Definitions");
    for (fbxio::Element& type : definitions->children)
        if (type.name == "ObjectType" && type.values[0].AsString() == "Model")
            for (int k = 0; k < templateProperties; ++k)
                detail::AddNumberProperty(*detail::Child(*detail::Child(type, "PropertyTemplate"), "Properties70"),
                    "Shared" + std::to_string(k), k);
    fbxio::Element* list = detail::Child(document, "Objects");
    for (int k = 0; k < objects; ++k)
        list->Add("Model",
            { fbxio::Value::Int(1'000'000 + k, 'L'), detail::P("Model::Extra" + std::to_string(k)),
                detail::P("Null") });
    return document;
}

// A quad whose node has `count` more properties, each of its own name.
inline fbxio::Element ManyProperties(int count)
{
    fbxio::Element document = detail::QuadDocument();
    for (fbxio::Element& object : detail::Child(document, "Objects")->children)
        if (object.name == "Model")
            for (int k = 0; k < count; ++k)
                detail::AddNumberProperty(*detail::Child(object, "Properties70"), "Own" + std::to_string(k), k);
    return document;
}

// A quad whose geometry is connected `count` times to properties of its node, each of another name.
inline fbxio::Element ManyPropertyConnections(int count)
{
    fbxio::Element document = detail::QuadDocument();
    fbxio::Value geometry, model;
    for (fbxio::Element& object : detail::Child(document, "Objects")->children) {
        if (object.name == "Model")
            model = object.values[0];
        else if (object.name == "Geometry")
            geometry = object.values[0];
    }
    fbxio::Element* connections = detail::Child(document, "Connections");
    for (int k = 0; k < count; ++k)
        connections->Add("C", { detail::P("OP"), geometry, model, detail::P("Link" + std::to_string(k)) });
    return document;
}

// A quad and `count` videos, each embedding a few bytes under a name of its own.
inline fbxio::Element ManyEmbeddedVideos(int count)
{
    fbxio::Element document = detail::QuadDocument();
    fbxio::Element* list = detail::Child(document, "Objects");
    const std::uint8_t content[] = { 0x89, 'P', 'N', 'G' };
    for (int k = 0; k < count; ++k) {
        fbxio::Element& video = list->Add("Video",
            { fbxio::Value::Int(2'000'000 + k, 'L'), detail::P("Video::V" + std::to_string(k)), detail::P("Clip") });
        video.Add("FileName", { detail::P("image" + std::to_string(k) + ".png") });
        video.Add("Content", { fbxio::Value::Raw(content, sizeof content) });
    }
    return document;
}

// A quad and `count` nulls that nothing connects.
inline fbxio::Element ManyModels(int count)
{
    fbxio::Element document = detail::QuadDocument();
    fbxio::Element* list = detail::Child(document, "Objects");
    for (int k = 0; k < count; ++k)
        list->Add("Model", { fbxio::Value::Int(1'000'000 + k, 'L'), detail::P("Model::N"), detail::P("Null") });
    return document;
}

} // namespace hostilefbx
