#include "Source/FbxSceneBuilder.h"

#include "Platform/HugePages.h"
#include "fbxio/FbxReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace fbxsdk::internal {

namespace {

using fbxio::Element;
using fbxio::Value;

// Objects the stand-in has no class for keep their place in the graph.
class GenericObject : public FbxObject {
public:
    GenericObject(FbxManager* manager, const char* name)
        : FbxObject(manager, name)
    {
    }
};

std::string_view StringAt(const Element& e, std::size_t index)
{
    return index < e.values.size() ? e.values[index].AsString() : std::string_view();
}

// "Class::Name" -> "Name"
std::string ObjectName(std::string_view full)
{
    std::size_t sep = full.find("::");
    return std::string(sep == std::string_view::npos ? full : full.substr(sep + 2));
}

FbxLayerElement::EMappingMode MappingMode(std::string_view text)
{
    if (text == "ByVertex" || text == "ByVertice" || text == "ByControlPoint")
        return FbxLayerElement::eByControlPoint;
    if (text == "ByPolygonVertex")
        return FbxLayerElement::eByPolygonVertex;
    if (text == "ByPolygon")
        return FbxLayerElement::eByPolygon;
    if (text == "ByEdge")
        return FbxLayerElement::eByEdge;
    if (text == "AllSame")
        return FbxLayerElement::eAllSame;
    return FbxLayerElement::eNone;
}

FbxLayerElement::EReferenceMode ReferenceMode(std::string_view text)
{
    if (text == "IndexToDirect")
        return FbxLayerElement::eIndexToDirect;
    if (text == "Index")
        return FbxLayerElement::eIndex;
    return FbxLayerElement::eDirect;
}

// One "P" record of a Properties70 block.
struct PropertyLine {
    std::string_view name, type;
    double values[4] = { 0, 0, 0, 0 };
    int count = 0;
    std::string_view text;
    bool hasText = false;
};

// A property is named as a C string: a name that holds a NUL byte ends there, as the SDK's calls
// read it.
std::string PropertyName(const PropertyLine& line)
{
    return std::string(line.name.substr(0, line.name.find('\0')));
}

bool ParseP(const Element& p, PropertyLine& line)
{
    if (p.name != "P" || p.values.size() < 4)
        return false;
    line.name = p.values[0].AsString();
    line.type = p.values[1].AsString();
    for (std::size_t k = 4; k < p.values.size(); ++k) {
        const Value& v = p.values[k];
        if (v.IsNumber() && line.count < 4)
            line.values[line.count++] = v.AsDouble();
        else if (v.IsString() && !line.hasText) {
            line.text = v.AsString();
            line.hasText = true;
        }
    }
    return true;
}

FbxAMatrix MatrixFrom(const std::vector<double>& v)
{
    FbxAMatrix m;
    if (v.size() == 16)
        for (int k = 0; k < 16; ++k)
            m[k / 4][k % 4] = v[std::size_t(k)];
    return m;
}

// The arrays of one mesh, decoded together once the mesh's elements are laid out. They are
// independent of each other, so a large mesh's arrays are inflated on several threads at once,
// largest first; the results are then checked, and finished, in the order the file gives them, so a
// broken file reports the same error as when they were decoded one by one.
class ArrayDecoder {
public:
    using Decode = std::function<bool(std::string&)>;
    using Finish = std::function<bool()>;

    void Add(const Element& where, const Value& value, Decode decode, Finish finish = nullptr)
    {
        // Inflating takes time by the bytes it produces, more than by the bytes it reads.
        jobs.push_back({ &where, std::move(decode), std::move(finish), std::size_t(value.count) * value.ElementSize(),
            false, {} });
    }

    // Runs every decode; on the first failure (in file order) reports it through `run` and
    // returns false.
    template <class Reporter>
    bool Run(Reporter& reporter)
    {
        DecodeAll();
        for (Job& job : jobs) {
            if (!job.ok)
                return reporter.Fail(*job.where, job.error);
            if (job.finish && !job.finish())
                return false;
        }
        return true;
    }

private:
    // Below this many decoded bytes a thread costs more than it saves.
    static constexpr std::size_t kThreadedBytes = std::size_t(4) << 20;
    static constexpr unsigned kMaxThreads = 4;

    struct Job {
        const Element* where;
        Decode decode;
        Finish finish;
        std::size_t bytes;
        bool ok;
        std::string error;
    };

    void DecodeAll()
    {
        std::vector<std::size_t> order(jobs.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(
            order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return jobs[a].bytes > jobs[b].bytes; });
        std::atomic<std::size_t> next { 0 };
        auto work = [&] {
            for (std::size_t k; (k = next.fetch_add(1)) < order.size();) {
                Job& job = jobs[order[k]];
                job.ok = job.decode(job.error);
            }
        };
        std::size_t total = 0;
        for (const Job& job : jobs)
            total += job.bytes;
        const unsigned threads = total < kThreadedBytes ? 1u
                                                        : std::min({ std::max(std::thread::hardware_concurrency(), 1u),
                                                            kMaxThreads, static_cast<unsigned>(jobs.size()) });
        std::vector<std::thread> helpers;
        for (unsigned t = 1; t < threads; ++t)
            helpers.emplace_back(work);
        work();
        for (std::thread& helper : helpers)
            helper.join();
    }

    std::vector<Job> jobs;
};

// ---- memory
//
// A scene may claim as much memory as its file's reader was allowed (a fixed allowance plus a
// multiple of the file's size), counted apart from the document's own. A mesh pays before its
// arrays are inflated, and for what the SDK will make of it during an import (triangulation,
// generated normals and tangents), so a small file that declares millions of corners is refused
// before any of them is made.

// Each control point: its position, a generated normal, tangent and binormal, a UV, the normal's
// running sum and the tangent tables' entries.
constexpr std::size_t kBytesPerControlPoint = 4 * sizeof(FbxVector4) + sizeof(FbxVector2) + 3 * sizeof(double)
    + 3 * sizeof(int);
// Each polygon vertex as the file gives it: its control point and, at most, one polygon start.
constexpr std::size_t kBytesPerPolygonVertex = 2 * sizeof(int);
// Each corner of the triangulated mesh: triangulation's corner lists (four ints), and the tangent
// and binormal frames generated by polygon vertex with their normal and sums (nine doubles) and
// their index arrays and sorting tables (five ints).
constexpr std::size_t kBytesPerTriangulatedCorner = 2 * sizeof(FbxVector4) + 9 * sizeof(double) + 9 * sizeof(int);
constexpr std::size_t kCornersPerTriangle = 3;
// An object's entries in the builder's and the scene's tables (by id, owned, by kind), beyond the
// object itself and its name.
constexpr std::size_t kBytesPerObjectEntry = 96;
// A property of an object's own, or of a template: its record and its entry in a name index, beyond
// its name and text.
constexpr std::size_t kBytesPerProperty = sizeof(PropertyRecord) + 64;
// A connection: the entries it adds to its two ends' lists, and to a set of them on a busy object.
constexpr std::size_t kBytesPerConnection = 64;

// The corners the mesh has once every polygon is fanned into triangles: the most triangulation
// can make of it.
std::size_t TriangulatedCorners(const FbxMesh& mesh)
{
    std::size_t corners = 0;
    for (int p = 0; p < mesh.GetPolygonCount(); ++p)
        corners += kCornersPerTriangle * std::size_t(std::max(mesh.GetPolygonSize(p) - 2, 0));
    return corners;
}

// What triangulation's copy of a layer element takes: one item per triangulated corner or
// triangle, by the element's mapping; an indexed element copies its indices.
template <class E>
std::size_t RemappedBytes(const E& element, std::size_t corners, std::size_t itemBytes)
{
    const std::size_t perItem = element.GetReferenceMode() == FbxLayerElement::eDirect ? itemBytes : sizeof(int);
    switch (element.GetMappingMode()) {
    case FbxLayerElement::eByPolygonVertex: return corners * perItem;
    case FbxLayerElement::eByPolygon: return corners / kCornersPerTriangle * perItem;
    default: return 0;
    }
}

// ---- objects

// What a model record's kind makes of it when the file gives it no attribute object.
enum class ImplicitAttribute { Null, Skeleton, LodGroup };

// A node attribute the stand-in has no class for (camera, light, anything else).
class OtherAttribute : public FbxNodeAttribute {
public:
    OtherAttribute(FbxManager* manager, const char* name, EType type)
        : FbxNodeAttribute(manager, name, type)
    {
    }
};

// An OP or PP connection: the source, and the destination object's property by name.
struct PropertyConnection {
    const FbxObject* source;
    const FbxObject* destination;
    std::string property;
    bool operator==(const PropertyConnection&) const = default;
};

struct PropertyConnectionHash {
    std::size_t operator()(const PropertyConnection& c) const
    {
        const std::size_t h = std::hash<const void*>()(c.source) * 31 + std::hash<const void*>()(c.destination);
        return h * 31 + std::hash<std::string>()(c.property);
    }
};

// ---- hierarchy

// The trees of the node hierarchy as disjoint sets, so that each parent link is checked for a loop
// in near-constant time however deep the trees grow. A node without a parent is the root of its
// own tree: linking it below a node of that same tree would make it its own ancestor.
class NodeTrees {
public:
    bool SameTree(FbxNode* a, FbxNode* b) { return Find(IndexOf(a)) == Find(IndexOf(b)); }

    void Join(FbxNode* a, FbxNode* b)
    {
        std::size_t rootA = Find(IndexOf(a)), rootB = Find(IndexOf(b));
        if (rootA == rootB)
            return;
        if (mSize[rootA] < mSize[rootB])
            std::swap(rootA, rootB);
        mParent[rootB] = rootA;
        mSize[rootA] += mSize[rootB];
    }

private:
    std::size_t IndexOf(FbxNode* node)
    {
        auto [entry, added] = mIndex.try_emplace(node, mParent.size());
        if (added) {
            mParent.push_back(entry->second);
            mSize.push_back(1);
        }
        return entry->second;
    }

    std::size_t Find(std::size_t k)
    {
        while (mParent[k] != k) {
            mParent[k] = mParent[mParent[k]]; // halve the path on the way
            k = mParent[k];
        }
        return k;
    }

    std::unordered_map<FbxNode*, std::size_t> mIndex;
    std::vector<std::size_t> mParent;
    std::vector<std::size_t> mSize;
};

} // namespace

struct SceneBuilder::Run {
    Run(const fbxio::Document& document, FbxScene& into, std::string& message, std::size_t fileSize,
        FbxEmbeddedFileCallback* embedded)
        : doc(document)
        , scene(into)
        , error(message)
        , manager(into.GetFbxManager())
        , embeddedFiles(embedded)
        , budget(fbxio::MemoryBudget::ForFileSize(fileSize))
    {
    }

    const fbxio::Document& doc;
    FbxScene& scene;
    std::string& error;
    FbxManager* manager;
    FbxEmbeddedFileCallback* embeddedFiles;
    std::unordered_map<std::int64_t, FbxObject*> objects;
    // The Properties70 of each object type's template, by the type's element name ("Model").
    std::unordered_map<std::string, const Element*> templates;
    // Each type's template laid over each class's properties, made once for all its objects.
    std::map<std::pair<const Element*, const PropertyList*>, const PropertyList*> mergedTemplates;
    // The positions of each template's LOD thresholds, found once for all its LOD groups.
    std::unordered_map<const PropertyList*, std::vector<int>> templateThresholds;
    // Models whose kind makes an attribute of its own when the file gives none.
    std::vector<std::pair<FbxNode*, ImplicitAttribute>> implicitAttributes;
    // The OP and PP connections made, so that a repeated one is found without walking a list.
    std::unordered_set<PropertyConnection, PropertyConnectionHash> propertyConnections;
    fbxio::MemoryBudget budget;
    NodeTrees trees;
    // What the scene has taken so far, for the message when it would take more than it may.
    std::size_t objectCount = 0, propertyCount = 0, connectionCount = 0;

    bool Fail(const Element& where, const std::string& what)
    {
        error = what + " (element '" + where.name + "' at offset " + fbxio::Hex(where.offset) + ")";
        return false;
    }

    // Takes `bytes` from the scene's budget, or fails saying what needed them.
    bool AffordBytes(const Element& where, std::size_t bytes, const std::string& what)
    {
        if (budget.Take(bytes))
            return true;
        return Fail(where, what + " need " + std::to_string(bytes) + " bytes, more than the file's size allows");
    }

    // Counts stay below 2^34 and items below 2^10 bytes, so the product cannot wrap.
    bool Afford(const Element& where, std::size_t count, std::size_t itemBytes, const char* items)
    {
        return AffordBytes(where, count * itemBytes, std::to_string(count) + " " + items);
    }

    // Takes the memory of the scene's many small things (objects, properties, connections) one at a
    // time; when the budget runs out, the message counts all of them so far.
    bool AffordSmall(const Element& where, std::size_t bytes)
    {
        if (budget.Take(bytes))
            return true;
        return Fail(where,
            "the " + std::to_string(objectCount) + " objects, " + std::to_string(propertyCount) + " properties and "
                + std::to_string(connectionCount)
                + " connections read so far need more memory than the file's size allows");
    }

    bool AffordObject(const Element& where, std::size_t objectBytes, const std::string& name)
    {
        ++objectCount;
        return AffordSmall(where, objectBytes + name.size() + kBytesPerObjectEntry);
    }

    bool AffordProperty(const Element& where, const PropertyRecord& record)
    {
        ++propertyCount;
        return AffordSmall(where, kBytesPerProperty + record.name.size() + record.text.size());
    }

    bool AffordConnection(const Element& where)
    {
        ++connectionCount;
        return AffordSmall(where, kBytesPerConnection);
    }

    template <class T>
    T* Own(T* object)
    {
        object->mScene = &scene;
        scene.mOwned.push_back(object);
        return object;
    }

    // A new object of the scene, paid for first; null when the scene cannot afford it.
    template <class T, class... Arguments>
    T* Make(const Element& where, const std::string& name, Arguments... arguments)
    {
        if (!AffordObject(where, sizeof(T), name))
            return nullptr;
        return Own(new T(manager, name.c_str(), arguments...));
    }

    bool Execute()
    {
        ReadGlobalSettings();
        ReadTemplates();
        objects[0] = scene.GetRootNode();
        if (const Element* list = doc.root.Find("Objects"))
            for (const Element& e : list->children)
                if (!CreateObject(e))
                    return false;
        if (const Element* list = doc.root.Find("Connections"))
            for (const Element& c : list->children)
                if (c.name == "C" && !Connect(c))
                    return false;
        return AddImplicitAttributes() && CheckHierarchyDepth();
    }

    // ---- settings and templates

    void ReadGlobalSettings()
    {
        FbxAxisSystem::Axes axes;
        double unit = 1.0, originalUnit = -1.0;
        int originalUp = -1;
        const Element* settings = doc.root.Find("GlobalSettings");
        const Element* props = settings ? settings->Find("Properties70") : nullptr;
        if (props) {
            for (const Element& p : props->children) {
                PropertyLine line;
                // A setting that is not a number says nothing; the defaults stand.
                if (!ParseP(p, line) || line.count == 0 || !std::isfinite(line.values[0]))
                    continue;
                int i = static_cast<int>(std::clamp(line.values[0], -8.0, 8.0));
                if (line.name == "UpAxis")
                    axes.up = i;
                else if (line.name == "UpAxisSign")
                    axes.upSign = i;
                else if (line.name == "FrontAxis")
                    axes.front = i;
                else if (line.name == "FrontAxisSign")
                    axes.frontSign = i;
                else if (line.name == "CoordAxis")
                    axes.coord = i;
                else if (line.name == "CoordAxisSign")
                    axes.coordSign = i;
                else if (line.name == "OriginalUpAxis")
                    originalUp = i;
                else if (line.name == "UnitScaleFactor" && line.values[0] > 0)
                    unit = line.values[0];
                else if (line.name == "OriginalUnitScaleFactor" && line.values[0] > 0)
                    originalUnit = line.values[0];
            }
        }
        FbxGlobalSettings& g = scene.GetGlobalSettings();
        g.mAxisSystem = FbxAxisSystem::FromAxes(axes);
        g.mOriginalUpAxis = originalUp >= -1 && originalUp <= 2 ? originalUp : -1;
        g.mSystemUnit = FbxSystemUnit(unit);
        g.mOriginalSystemUnit = FbxSystemUnit(originalUnit > 0 ? originalUnit : unit);
    }

    void ReadTemplates()
    {
        const Element* definitions = doc.root.Find("Definitions");
        if (!definitions)
            return;
        for (const Element& type : definitions->children) {
            if (type.name != "ObjectType")
                continue;
            for (const Element& t : type.children)
                if (t.name == "PropertyTemplate")
                    if (const Element* props = t.Find("Properties70"))
                        templates[std::string(StringAt(type, 0))] = props;
        }
    }

    // Writes what a P line says over a record: the values it gives (the rest stay), and its text.
    static void Overlay(PropertyRecord& record, const PropertyLine& line)
    {
        for (int k = 0; k < line.count; ++k)
            record.values[k] = line.values[k];
        record.valueCount = std::max(record.valueCount, line.count);
        if (line.hasText)
            record.text.assign(line.text);
    }

    // Sets the property a P line names on the object: its own record, made from the inherited one or
    // from the line's type when it has none. Returns the record when it was made now, else null.
    static PropertyRecord* ApplyLine(FbxObject& object, const PropertyLine& line)
    {
        const std::string name = PropertyName(line);
        FbxProperty property = object.FindProperty(name.c_str());
        const bool made = !property.IsValid() || property.mIndex < 0;
        if (!property.IsValid())
            property = object.AddProperty(name.c_str(), std::string(line.type).c_str());
        PropertyRecord* record = property.WritableRecord();
        Overlay(*record, line);
        return made ? record : nullptr;
    }

    // The object's own properties, as its Properties70 block gives them (the file's document
    // information is read this way too, before any scene exists).
    static void ApplyProperties(FbxObject& object, const Element& props)
    {
        for (const Element& p : props.children) {
            PropertyLine line;
            if (ParseP(p, line) && !line.name.empty())
                ApplyLine(object, line);
        }
    }

    bool ApplyOwnProperties(FbxObject& object, const Element& props)
    {
        for (const Element& p : props.children) {
            PropertyLine line;
            if (!ParseP(p, line) || line.name.empty())
                continue;
            if (const PropertyRecord* made = ApplyLine(object, line); made && !AffordProperty(p, *made))
                return false;
        }
        return true;
    }

    // The type's template laid over the class's properties: the class's keep their places (the
    // class's handles refer to them by place), the file's values written over theirs, then the
    // template's other properties. Made, and paid for, once per type and class.
    const PropertyList* MergedTemplate(const Element& props, const PropertyList* classProperties)
    {
        auto [entry, isNew] = mergedTemplates.try_emplace({ &props, classProperties }, nullptr);
        if (!isNew)
            return entry->second;
        auto merged = std::make_unique<PropertyList>();
        if (classProperties)
            *merged = *classProperties;
        for (const Element& p : props.children) {
            PropertyLine line;
            if (!ParseP(p, line) || line.name.empty())
                continue;
            std::optional<int> index = merged->Find(PropertyName(line));
            if (!index) {
                PropertyRecord record;
                record.name = PropertyName(line);
                record.type.assign(line.type);
                index = merged->Add(std::move(record));
            }
            Overlay((*merged)[*index], line);
        }
        for (int k = 0; k < merged->Count(); ++k)
            if (!AffordProperty(props, (*merged)[k]))
                return nullptr;
        entry->second = merged.get();
        scene.mTemplates.push_back(std::move(merged));
        return entry->second;
    }

    // The type's template, shared: the object reads from it whatever it has not set itself.
    // Properties the object made its own when it was constructed take the template's values, as
    // inherited ones do.
    bool ApplyTemplate(FbxObject& object, const Element& e)
    {
        auto t = templates.find(e.name);
        if (t == templates.end())
            return true;
        const PropertyList* merged = MergedTemplate(*t->second, object.mTemplate);
        if (!merged)
            return false;
        object.mTemplate = merged;
        for (int k = 0; k < object.mProperties.Count(); ++k) {
            PropertyRecord& own = object.mProperties[k];
            if (std::optional<int> inherited = merged->Find(own.name)) {
                const PropertyRecord& shared = (*merged)[*inherited];
                std::copy(std::begin(shared.values), std::begin(shared.values) + shared.valueCount, own.values);
                own.valueCount = std::max(own.valueCount, shared.valueCount);
                if (!shared.text.empty())
                    own.text = shared.text;
            }
        }
        return true;
    }

    bool ApplyAll(FbxObject& object, const Element& e)
    {
        if (!ApplyTemplate(object, e))
            return false;
        if (const Element* props = e.Find("Properties70"))
            return ApplyOwnProperties(object, *props);
        return true;
    }

    // ---- objects

    bool CreateObject(const Element& e)
    {
        if (e.values.empty() || !e.values[0].IsNumber())
            return true; // not an object record
        std::int64_t id = e.values[0].AsInt();
        std::string name = ObjectName(StringAt(e, 1));
        std::string_view kind = StringAt(e, 2);
        FbxObject* object = nullptr;
        if (e.name == "Model") {
            auto* node = Make<FbxNode>(e, name);
            if (!node)
                return false;
            scene.mNodeList.push_back(node);
            if (auto implicit = ImplicitAttributeOf(kind))
                implicitAttributes.emplace_back(node, *implicit);
            object = node;
        } else if (e.name == "Geometry" && kind == "Mesh") {
            auto* mesh = Make<FbxMesh>(e, name);
            if (!mesh || !ReadMesh(e, *mesh))
                return false;
            scene.mMeshList.push_back(mesh);
            object = mesh;
        } else if (e.name == "NodeAttribute") {
            object = CreateAttribute(e, kind, name);
        } else if (e.name == "Material") {
            auto* material = Make<FbxSurfaceMaterial>(e, name);
            if (!material)
                return false;
            if (const Element* model = e.Find("ShadingModel"))
                material->ShadingModel.Set(FbxString(std::string(StringAt(*model, 0))));
            scene.mMaterialList.push_back(material);
            object = material;
        } else if (e.name == "Texture") {
            auto* texture = Make<FbxFileTexture>(e, name);
            if (!texture)
                return false;
            if (const Element* f = e.Find("FileName"))
                texture->mFileName.assign(StringAt(*f, 0));
            if (const Element* f = e.Find("RelativeFilename"))
                texture->mRelativeFileName.assign(StringAt(*f, 0));
            scene.mTextureList.push_back(texture);
            object = texture;
        } else if (e.name == "Video") {
            auto* video = Make<FbxVideo>(e, name);
            if (!video)
                return false;
            ReadVideo(e, *video);
            object = video;
        } else if (e.name == "LayeredTexture") {
            auto* texture = Make<FbxLayeredTexture>(e, name);
            if (texture)
                scene.mTextureList.push_back(texture);
            object = texture;
        } else if (e.name == "ProceduralTexture") {
            auto* texture = Make<FbxProceduralTexture>(e, name);
            if (texture)
                scene.mTextureList.push_back(texture);
            object = texture;
        } else if (e.name == "Deformer" && kind == "Skin") {
            object = Make<FbxSkin>(e, name);
        } else if (e.name == "Deformer" && kind == "Cluster") {
            auto* cluster = Make<FbxCluster>(e, name);
            if (!cluster || !ReadCluster(e, *cluster))
                return false;
            object = cluster;
        } else {
            object = Make<GenericObject>(e, name);
        }
        if (!object || !ApplyAll(*object, e))
            return false;
        if (auto* lod = dynamic_cast<FbxLODGroup*>(object))
            ReadThresholds(*lod);
        objects[id] = object; // a repeated id: the later object wins, as connections name it
        return true;
    }

    // The video's file names, and its embedded content handed to the embedded-file callback under
    // the name the file was embedded from. Exporters spell the element "Filename" or "FileName".
    void ReadVideo(const Element& e, FbxVideo& video)
    {
        for (const char* name : { "FileName", "Filename" })
            if (const Element* f = e.Find(name); f && video.mFileName.empty())
                video.mFileName.assign(StringAt(*f, 0));
        if (const Element* f = e.Find("RelativeFilename"))
            video.mRelativeFileName.assign(StringAt(*f, 0));
        const Element* content = e.Find("Content");
        if (!embeddedFiles || !content || content->values.empty() || !content->values[0].IsString())
            return;
        const Value& bytes = content->values[0];
        if (bytes.ByteSize() == 0)
            return;
        embeddedFiles->SetDataHint(FbxVideo::ClassId);
        embeddedFiles->Trigger(video.mFileName.empty() ? video.mRelativeFileName.c_str() : video.mFileName.c_str(),
            bytes.Bytes(), bytes.ByteSize());
    }

    static std::optional<ImplicitAttribute> ImplicitAttributeOf(std::string_view kind)
    {
        if (kind == "Null")
            return ImplicitAttribute::Null;
        if (kind == "LimbNode" || kind == "Limb" || kind == "Root")
            return ImplicitAttribute::Skeleton;
        if (kind == "LodGroup")
            return ImplicitAttribute::LodGroup;
        return std::nullopt;
    }

    FbxObject* CreateAttribute(const Element& e, std::string_view kind, const std::string& name)
    {
        if (kind == "Null")
            return Make<FbxNull>(e, name);
        if (kind == "LimbNode" || kind == "Limb" || kind == "Root")
            return Make<FbxSkeleton>(e, name);
        if (kind == "LodGroup")
            return Make<FbxLODGroup>(e, name);
        FbxNodeAttribute::EType type = kind == "Camera" ? FbxNodeAttribute::eCamera
            : kind == "Light"                           ? FbxNodeAttribute::eLight
                                                        : FbxNodeAttribute::eUnknown;
        return Make<OtherAttribute>(e, name, type);
    }

    // The group's "Thresholds|LevelN" properties in the order of N: its own, and those of its
    // template it has not set itself.
    void ReadThresholds(FbxLODGroup& lod)
    {
        static constexpr std::string_view kPrefix = "Thresholds|Level";
        auto levelOf = [](const std::string& name) { return std::atoi(name.c_str() + kPrefix.size()); };
        std::vector<std::pair<int, const PropertyRecord*>> levels;
        for (int k = 0; k < lod.mProperties.Count(); ++k)
            if (lod.mProperties[k].name.starts_with(kPrefix))
                levels.emplace_back(levelOf(lod.mProperties[k].name), &lod.mProperties[k]);
        if (const PropertyList* shared = lod.mTemplate) {
            auto [entry, isNew] = templateThresholds.try_emplace(shared);
            if (isNew)
                for (int k = 0; k < shared->Count(); ++k)
                    if ((*shared)[k].name.starts_with(kPrefix))
                        entry->second.push_back(k);
            for (int k : entry->second)
                if (!lod.mProperties.Find((*shared)[k].name))
                    levels.emplace_back(levelOf((*shared)[k].name), &(*shared)[k]);
        }
        std::stable_sort(levels.begin(), levels.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [level, record] : levels) {
            lod.mThresholds.emplace_back(
                static_cast<float>(record->values[0]), FbxString(record->text.empty() ? "cm" : record->text));
            lod.mPercentages.push_back(record->values[0]);
        }
    }

    bool ReadCluster(const Element& e, FbxCluster& cluster)
    {
        std::vector<std::int32_t> indices;
        std::vector<double> weights, transform, link;
        auto decode = [&](const char* child, auto& out) {
            const Element* c = e.Find(child);
            if (!c || c->values.empty())
                return true;
            // Decoded, then copied into the cluster.
            if (!Afford(*c, c->values[0].count, 2 * sizeof(out[0]), "cluster values"))
                return false;
            if (!fbxio::DecodeArray(c->values[0], out, error))
                return Fail(*c, error);
            return true;
        };
        if (!decode("Indexes", indices) || !decode("Weights", weights) || !decode("Transform", transform)
            || !decode("TransformLink", link))
            return false;
        std::size_t n = std::min(indices.size(), weights.size());
        cluster.mIndices.assign(indices.begin(), indices.begin() + std::ptrdiff_t(n));
        cluster.mWeights.assign(weights.begin(), weights.begin() + std::ptrdiff_t(n));
        cluster.mTransformLink = MatrixFrom(link);
        // The file holds the mesh's bind matrix relative to the bone's; the SDK gives it in the scene.
        cluster.mTransform = cluster.mTransformLink * MatrixFrom(transform);
        return true;
    }

    // ---- meshes

    bool ReadMesh(const Element& e, FbxMesh& mesh)
    {
        ArrayDecoder decoder;
        if (const Element* v = e.Find("Vertices"); v && !v->values.empty()) {
            const Value& value = v->values[0];
            if (!value.IsArray() || value.count % 3 != 0)
                return Fail(*v, "vertex array does not hold whole points");
            if (!Afford(*v, value.count / 3, kBytesPerControlPoint, "control points"))
                return false;
            DecodeVectors(decoder, *v, value, 3, 4, mesh.mControlPoints, 1.0);
        }
        if (const Element* p = e.Find("PolygonVertexIndex"); p && !p->values.empty()) {
            if (!Afford(*p, p->values[0].count, kBytesPerPolygonVertex, "polygon vertices"))
                return false;
            decoder.Add(
                *p, p->values[0],
                [&, p](
                    std::string& message) { return fbxio::DecodeArray(p->values[0], mesh.mPolygonVertices, message); },
                [&, p] { return SplitPolygons(*p, mesh) && AffordTriangulation(*p, mesh); });
        }
        for (const Element& child : e.children)
            if (!ReadLayerElement(child, mesh, decoder))
                return false;
        return decoder.Run(*this);
    }

    // Lays out `items` for the array's count / stride vectors and queues the decode; `w` is then
    // written into every four-component vector's fourth slot, by the decode itself, which passes over
    // the array anyway.
    template <class V>
    void DecodeVectors(ArrayDecoder& decoder, const Element& where, const Value& value, int stride, int slots,
        std::vector<V, internal::DecodeTargetAllocator<V>>& items, double w)
    {
        // Laid out unwritten: the decode writes every vector.
        ReserveLarge(items, value.count / std::uint32_t(stride));
        items.resize(value.count / std::uint32_t(stride));
        decoder.Add(where, value, [&items, &value, stride, slots, w](std::string& message) {
            if (fbxio::DecodeVectorArray(
                    value, stride, slots, w, items.empty() ? nullptr : items[0].mData, items.size(), message))
                return true;
            items.clear(); // a failed decode may have left vectors unwritten: none is kept
            return false;
        });
    }

    bool SplitPolygons(const Element& where, FbxMesh& mesh)
    {
        auto& vertices = mesh.mPolygonVertices;
        auto& starts = mesh.mPolygonStarts;
        const int points = mesh.GetControlPointsCount();
        starts.assign(1, 0);
        starts.reserve(vertices.size() / 3 + 2);
        for (std::size_t k = 0; k < vertices.size(); ++k) {
            int v = vertices[k];
            bool last = v < 0;
            if (last)
                v = ~v; // the last corner of a polygon is stored as -(index + 1)
            if (v >= points)
                return Fail(where,
                    "polygon vertex " + std::to_string(k) + " refers to control point " + std::to_string(v) + " of "
                        + std::to_string(points));
            vertices[k] = v;
            if (last)
                starts.push_back(static_cast<int>(k + 1));
        }
        if (starts.back() != static_cast<int>(vertices.size()))
            starts.push_back(static_cast<int>(vertices.size()));
        return true;
    }

    // Pays for what triangulation and tangent generation will make of the mesh, now that its
    // polygons are known: the corners of every polygon fanned into triangles, and triangulation's
    // copy of each layer element mapped by corner or polygon.
    bool AffordTriangulation(const Element& where, const FbxMesh& mesh)
    {
        const std::size_t corners = TriangulatedCorners(mesh);
        if (!Afford(where, corners, kBytesPerTriangulatedCorner, "triangulated corners"))
            return false;
        std::size_t copies = 0;
        auto add = [&copies](std::size_t bytes) { copies += std::min(bytes, SIZE_MAX - copies); };
        for (int k = 0; k < mesh.GetElementNormalCount(); ++k)
            add(RemappedBytes(*mesh.GetElementNormal(k), corners, sizeof(FbxVector4)));
        for (int k = 0; k < mesh.GetElementTangentCount(); ++k)
            add(RemappedBytes(*mesh.GetElementTangent(k), corners, sizeof(FbxVector4)));
        for (int k = 0; k < mesh.GetElementBinormalCount(); ++k)
            add(RemappedBytes(*mesh.GetElementBinormal(k), corners, sizeof(FbxVector4)));
        for (int k = 0; k < mesh.GetElementUVCount(); ++k)
            add(RemappedBytes(*mesh.GetElementUV(k), corners, sizeof(FbxVector2)));
        for (int k = 0; k < mesh.GetElementVertexColorCount(); ++k)
            add(RemappedBytes(*mesh.GetElementVertexColor(k), corners, sizeof(FbxColor)));
        for (int k = 0; k < mesh.GetElementMaterialCount(); ++k)
            add(RemappedBytes(*mesh.GetElementMaterial(k), corners, sizeof(int)));
        return AffordBytes(where, copies, "triangulated copies of the layer elements");
    }

    template <class E>
    bool ReadDirections(
        const Element& e, E& element, const char* data, const char* index, const char* index2, ArrayDecoder& decoder)
    {
        if (const Element* d = e.Find(data); d && !d->values.empty()) {
            const Value& value = d->values[0];
            if (!value.IsArray() || value.count % 3 != 0)
                return Fail(*d, "direction array does not hold whole vectors");
            if (!Afford(*d, value.count / 3, sizeof(FbxVector4), "directions"))
                return false;
            DecodeVectors(decoder, *d, value, 3, 4, element.GetDirectArray().Items(), 0.0);
        }
        return ReadIndex(e, element, index, index2, decoder);
    }

    template <class E>
    bool ReadIndex(const Element& e, E& element, const char* name, const char* alternative, ArrayDecoder& decoder)
    {
        const Element* i = e.Find(name);
        if (!i && alternative)
            i = e.Find(alternative);
        if (i && !i->values.empty()) {
            if (!Afford(*i, i->values[0].count, sizeof(int), "layer indices"))
                return false;
            auto& items = element.GetIndexArray().Items();
            decoder.Add(*i, i->values[0],
                [&items, i](std::string& message) { return fbxio::DecodeArray(i->values[0], items, message); });
        } else if (element.GetReferenceMode() != FbxLayerElement::eDirect) {
            // An indexed element without its index array is read as direct.
            element.SetReferenceMode(FbxLayerElement::eDirect);
        }
        return true;
    }

    bool ReadLayerElement(const Element& e, FbxMesh& mesh, ArrayDecoder& decoder)
    {
        auto setModes = [&](FbxLayerElement& element) {
            if (const Element* m = e.Find("MappingInformationType"))
                element.SetMappingMode(MappingMode(StringAt(*m, 0)));
            if (const Element* r = e.Find("ReferenceInformationType"))
                element.SetReferenceMode(ReferenceMode(StringAt(*r, 0)));
            if (const Element* n = e.Find("Name"))
                element.SetName(std::string(StringAt(*n, 0)).c_str());
        };
        if (e.name == "LayerElementNormal") {
            auto* element = mesh.CreateElementNormal();
            setModes(*element);
            return ReadDirections(e, *element, "Normals", "NormalsIndex", "NormalIndex", decoder);
        }
        if (e.name == "LayerElementTangent") {
            auto* element = mesh.CreateElementTangent();
            setModes(*element);
            return ReadDirections(e, *element, "Tangents", "TangentsIndex", "TangentIndex", decoder);
        }
        if (e.name == "LayerElementBinormal") {
            auto* element = mesh.CreateElementBinormal();
            setModes(*element);
            return ReadDirections(e, *element, "Binormals", "BinormalsIndex", "BinormalIndex", decoder);
        }
        if (e.name == "LayerElementUV") {
            auto* element = mesh.CreateElementUV("");
            setModes(*element);
            if (const Element* d = e.Find("UV"); d && !d->values.empty()) {
                const Value& value = d->values[0];
                if (!value.IsArray() || value.count % 2 != 0)
                    return Fail(*d, "UV array does not hold whole pairs");
                if (!Afford(*d, value.count / 2, sizeof(FbxVector2), "UVs"))
                    return false;
                DecodeVectors(decoder, *d, value, 2, 2, element->GetDirectArray().Items(), 0.0);
            }
            return ReadIndex(e, *element, "UVIndex", nullptr, decoder);
        }
        if (e.name == "LayerElementColor") {
            auto* element = mesh.CreateElementVertexColor();
            setModes(*element);
            if (const Element* d = e.Find("Colors"); d && !d->values.empty()) {
                // Decoded as doubles, then gathered into colours.
                if (!Afford(*d, d->values[0].count, sizeof(double) + sizeof(FbxColor) / 4, "colour values"))
                    return false;
                std::vector<double> values;
                if (!fbxio::DecodeArray(d->values[0], values, error))
                    return Fail(*d, error);
                if (values.size() % 4 != 0)
                    return Fail(*d, "colour array does not hold whole colours");
                auto& items = element->GetDirectArray().Items();
                items.reserve(values.size() / 4);
                for (std::size_t k = 0; k + 3 < values.size(); k += 4)
                    items.emplace_back(values[k], values[k + 1], values[k + 2], values[k + 3]);
            }
            return ReadIndex(e, *element, "ColorIndex", nullptr, decoder);
        }
        if (e.name == "LayerElementMaterial") {
            auto* element = mesh.CreateElementMaterial();
            setModes(*element);
            // The material element's values are always indices into the node's materials.
            if (const Element* d = e.Find("Materials"); d && !d->values.empty()) {
                if (!Afford(*d, d->values[0].count, sizeof(int), "material indices"))
                    return false;
                auto& items = element->GetIndexArray().Items();
                decoder.Add(*d, d->values[0],
                    [&items, d](std::string& message) { return fbxio::DecodeArray(d->values[0], items, message); });
            }
            return true;
        }
        return true;
    }

    // ---- connections

    // False only when the scene cannot afford the connection.
    bool Connect(const Element& c)
    {
        if (c.values.size() < 3)
            return true;
        std::string_view type = c.values[0].AsString();
        auto src = objects.find(c.values[1].AsInt());
        auto dst = objects.find(c.values[2].AsInt());
        if (src == objects.end() || dst == objects.end() || src->second == dst->second)
            return true;
        if (!AffordConnection(c))
            return false;
        FbxObject* s = src->second;
        FbxObject* d = dst->second;
        if (type == "OP" || type == "PP")
            return ConnectToProperty(c, *s, *d, std::string(StringAt(c, 3)));
        auto* dstNode = dynamic_cast<FbxNode*>(d);
        if (auto* node = dynamic_cast<FbxNode*>(s); node && dstNode) {
            // A node has one parent and no node may become its own ancestor.
            if (node->mParent || node == scene.GetRootNode() || trees.SameTree(node, dstNode))
                return true;
            node->mParent = dstNode;
            dstNode->mChildren.push_back(node);
            trees.Join(node, dstNode);
        } else if (auto* attribute = dynamic_cast<FbxNodeAttribute*>(s); attribute && dstNode) {
            if (!dstNode->mAttribute)
                dstNode->mAttribute = attribute;
            attribute->mNodes.push_back(dstNode);
        } else if (auto* material = dynamic_cast<FbxSurfaceMaterial*>(s); material && dstNode) {
            dstNode->mMaterials.push_back(material);
        } else if (auto* skin = dynamic_cast<FbxSkin*>(s); skin && dynamic_cast<FbxGeometry*>(d)) {
            static_cast<FbxGeometry*>(d)->AddDeformer(skin);
            return true;
        } else if (auto* cluster = dynamic_cast<FbxCluster*>(s); cluster && dynamic_cast<FbxSkin*>(d)) {
            static_cast<FbxSkin*>(d)->AddCluster(cluster);
            return true;
        } else if (auto* link = dynamic_cast<FbxNode*>(s); link && dynamic_cast<FbxCluster*>(d)) {
            static_cast<FbxCluster*>(d)->SetLink(link);
        }
        d->ConnectSrcObject(s);
        return true;
    }

    // The source is connected to the destination's property of that name, made as an object
    // property when the destination has none, and made its own when it was inherited. A repeated
    // connection is found in a set, not by walking the property's sources.
    bool ConnectToProperty(const Element& c, FbxObject& source, FbxObject& destination, const std::string& name)
    {
        if (name.empty() || !propertyConnections.insert({ &source, &destination, name }).second)
            return true;
        FbxProperty p = destination.FindProperty(name.c_str());
        if (!p.IsValid() || p.mIndex < 0) {
            if (!p.IsValid())
                p = destination.AddProperty(name.c_str(), "Object");
            PropertyRecord* record = p.WritableRecord();
            if (!AffordProperty(c, *record))
                return false;
        }
        p.WritableRecord()->sources.push_back(&source);
        return true;
    }

    // Models whose attribute object is missing still say what they are.
    bool AddImplicitAttributes()
    {
        for (auto [node, kind] : implicitAttributes) {
            if (node->mAttribute)
                continue;
            const std::string name = node->GetName();
            FbxNodeAttribute* attribute = nullptr;
            switch (kind) {
            case ImplicitAttribute::Null: attribute = Make<FbxNull>(doc.root, name); break;
            case ImplicitAttribute::Skeleton: attribute = Make<FbxSkeleton>(doc.root, name); break;
            case ImplicitAttribute::LodGroup: attribute = Make<FbxLODGroup>(doc.root, name); break;
            }
            if (!attribute)
                return false;
            node->mAttribute = attribute;
            attribute->mNodes.push_back(node);
        }
        return true;
    }

    // Each node's depth is found once, from its parent's, so a chain of any length is walked once.
    bool CheckHierarchyDepth()
    {
        std::unordered_map<const FbxNode*, int> depthOf;
        depthOf.reserve(scene.mNodeList.size() + 1);
        std::vector<FbxNode*> unknown; // the node and those of its ancestors not yet measured
        for (FbxNode* node : scene.mNodeList) {
            unknown.clear();
            int depth = 0;
            for (FbxNode* n = node; n; n = n->mParent) {
                if (auto known = depthOf.find(n); known != depthOf.end()) {
                    depth = known->second;
                    break;
                }
                unknown.push_back(n);
            }
            for (auto n = unknown.rbegin(); n != unknown.rend(); ++n)
                depthOf[*n] = ++depth;
            if (depthOf[node] > fbxio::kMaxNodeHierarchyDepth) {
                error = "node '" + std::string(node->GetName()) + "' lies deeper than "
                    + std::to_string(fbxio::kMaxNodeHierarchyDepth) + " levels in the node hierarchy";
                return false;
            }
        }
        return true;
    }
};

bool SceneBuilder::Build(const fbxio::Document& doc, std::size_t fileSize, FbxScene& scene, std::string& error,
    FbxEmbeddedFileCallback* embeddedFiles)
{
    Run run(doc, scene, error, fileSize, embeddedFiles);
    ReadInfo(doc, *scene.GetSceneInfo());
    return run.Execute();
}

void SceneBuilder::ReadInfo(const fbxio::Document& doc, FbxDocumentInfo& info)
{
    const Element* header = doc.root.Find("FBXHeaderExtension");
    const Element* sceneInfo = header ? header->Find("SceneInfo") : nullptr;
    if (!sceneInfo)
        return;
    if (const Element* meta = sceneInfo->Find("MetaData")) {
        for (const Element& field : meta->children) {
            FbxProperty p = info.FindProperty(field.name.c_str());
            if (p.IsValid() && !field.values.empty() && field.values[0].IsString())
                p.Set(FbxString(std::string(field.values[0].AsString())));
        }
    }
    if (const Element* props = sceneInfo->Find("Properties70"))
        Run::ApplyProperties(info, *props);
}

bool ImportFromMemory(const std::uint8_t* data, std::size_t size, FbxScene& scene, std::string& error)
{
    fbxio::Document doc;
    if (!fbxio::ReadDocument(data, size, doc, error))
        return false;
    return SceneBuilder::Build(doc, size, scene, error);
}

} // namespace fbxsdk::internal
