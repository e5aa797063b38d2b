#include "fbxio/FbxSceneWriter.h"

#include "fbxio/FbxDocumentWriter.h"

#include <fstream>

namespace fbxio {

namespace {

Value S(const std::string& s)
{
    return Value::String(s);
}
Value I(std::int64_t v)
{
    return Value::Int(v, 'I');
}
Value L(std::int64_t v)
{
    return Value::Int(v, 'L');
}
Value D(double v)
{
    return Value::Double(v);
}

// Matrices in the SDK's storage: element 4c + r is row r of column c, the translation in 12, 13, 14;
// points are multiplied on the right, so Multiply(a, b) applies b first.
Matrix Multiply(const Matrix& a, const Matrix& b)
{
    Matrix product {};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                product[std::size_t(4 * c + r)] += a[std::size_t(4 * k + r)] * b[std::size_t(4 * c + k)];
    return product;
}

// The inverse of an affine matrix: the inverse of its linear part, and the translation taken back
// through it. A singular matrix gives the identity.
Matrix AffineInverse(const Matrix& m)
{
    auto at = [&m](int r, int c) { return m[std::size_t(4 * c + r)]; };
    const double det = at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1))
        - at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0))
        + at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0));
    if (det == 0.0)
        return kIdentity;
    Matrix inverse = kIdentity;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            // The cofactor of (c, r), over the determinant.
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inverse[std::size_t(4 * c + r)] = (at(r1, c1) * at(r2, c2) - at(r1, c2) * at(r2, c1)) / det;
        }
    for (int r = 0; r < 3; ++r)
        inverse[std::size_t(12 + r)] = -(inverse[std::size_t(r)] * m[12] + inverse[std::size_t(4 + r)] * m[13]
            + inverse[std::size_t(8 + r)] * m[14]);
    return inverse;
}

void P(Element& props, const std::string& name, const std::string& type, const std::string& label,
    std::vector<Value> values)
{
    std::vector<Value> all = { S(name), S(type), S(label), S("") };
    for (Value& v : values)
        all.push_back(std::move(v));
    props.Add("P", std::move(all));
}

void P3(Element& props, const std::string& name, const std::string& type, const Vector3& v, const Vector3& def)
{
    if (v != def)
        P(props, name, type, type == "Vector3D" ? "Vector" : "A", { D(v[0]), D(v[1]), D(v[2]) });
}

const char* MappingName(Mapping m)
{
    switch (m) {
    case Mapping::ByControlPoint: return "ByVertice";
    case Mapping::ByPolygonVertex: return "ByPolygonVertex";
    case Mapping::ByPolygon: return "ByPolygon";
    case Mapping::AllSame: return "AllSame";
    case Mapping::ByEdge: return "ByEdge";
    default: return "NoMappingInformation";
    }
}

const char* ReferenceName(Reference r)
{
    switch (r) {
    case Reference::Index: return "Index";
    case Reference::IndexToDirect: return "IndexToDirect";
    default: return "Direct";
    }
}

struct LayerNames {
    const char* element;
    const char* data;
    const char* index;
};

LayerNames NamesOf(LayerKind kind)
{
    switch (kind) {
    case LayerKind::Tangent: return { "LayerElementTangent", "Tangents", "TangentsIndex" };
    case LayerKind::Binormal: return { "LayerElementBinormal", "Binormals", "BinormalsIndex" };
    case LayerKind::UV: return { "LayerElementUV", "UV", "UVIndex" };
    case LayerKind::Color: return { "LayerElementColor", "Colors", "ColorIndex" };
    default: return { "LayerElementNormal", "Normals", "NormalsIndex" };
    }
}

void WriteGeometry(Element& objects, ObjectId id, const std::string& name, const MeshData& mesh)
{
    Element& g = objects.Add("Geometry", { L(id), S("Geometry::" + name), S("Mesh") });
    g.Add("Vertices", { Value::Doubles(mesh.points) });
    std::vector<std::int32_t> indices;
    for (const auto& polygon : mesh.polygons)
        for (std::size_t k = 0; k < polygon.size(); ++k)
            indices.push_back(k + 1 == polygon.size() ? ~polygon[k] : polygon[k]);
    g.Add("PolygonVertexIndex", { Value::Ints(indices) });
    g.Add("GeometryVersion", { I(124) });
    std::vector<std::pair<std::string, int>> layerEntries;
    int typed[5] = { 0, 0, 0, 0, 0 };
    for (const LayerElement& layer : mesh.layers) {
        LayerNames names = NamesOf(layer.kind);
        int index = typed[int(layer.kind)]++;
        Element& e = g.Add(names.element, { I(index) });
        e.Add("Version", { I(101) });
        e.Add("Name", { S(layer.name) });
        e.Add("MappingInformationType", { S(MappingName(layer.mapping)) });
        e.Add("ReferenceInformationType", { S(ReferenceName(layer.reference)) });
        e.Add(names.data, { Value::Doubles(layer.values) });
        if (!layer.indices.empty())
            e.Add(names.index, { Value::Ints(layer.indices) });
        layerEntries.emplace_back(names.element, index);
    }
    if (!mesh.materialIndices.empty()) {
        Element& e = g.Add("LayerElementMaterial", { I(0) });
        e.Add("Version", { I(101) });
        e.Add("Name", { S("") });
        e.Add("MappingInformationType", { S(MappingName(mesh.materialMapping)) });
        e.Add("ReferenceInformationType", { S(ReferenceName(mesh.materialReference)) });
        e.Add("Materials", { Value::Ints(mesh.materialIndices) });
        layerEntries.emplace_back("LayerElementMaterial", 0);
    }
    int layers = 0;
    for (auto& [type, index] : layerEntries)
        layers = std::max(layers, index + 1);
    for (int layer = 0; layer < layers; ++layer) {
        Element& l = g.Add("Layer", { I(layer) });
        l.Add("Version", { I(100) });
        for (auto& [type, index] : layerEntries) {
            if (index != layer)
                continue;
            Element& entry = l.Add("LayerElement");
            entry.Add("Type", { S(type) });
            entry.Add("TypedIndex", { I(index) });
        }
    }
}

} // namespace

ObjectId SceneWriter::AddNode(const std::string& name, const std::string& kind, ObjectId parent)
{
    Node& node = mNodes.emplace_back();
    node.id = NextId();
    node.name = name;
    node.kind = kind;
    mLinks.push_back({ node.id, parent, "" });
    return node.id;
}

ObjectId SceneWriter::AddNull(const std::string& name, ObjectId parent)
{
    ObjectId id = AddNode(name, "Null", parent);
    mNodes.back().attribute = NextId();
    return id;
}

ObjectId SceneWriter::AddBone(const std::string& name, ObjectId parent)
{
    ObjectId id = AddNode(name, "LimbNode", parent);
    mNodes.back().attribute = NextId();
    return id;
}

ObjectId SceneWriter::AddMesh(const std::string& name, MeshData mesh, ObjectId parent)
{
    ObjectId id = AddNode(name, "Mesh", parent);
    mNodes.back().geometry = NextId();
    mNodes.back().mesh = std::move(mesh);
    return id;
}

ObjectId SceneWriter::AddLodGroup(const std::string& name, std::vector<double> thresholds, ObjectId parent)
{
    ObjectId id = AddNode(name, "LodGroup", parent);
    mNodes.back().attribute = NextId();
    mNodes.back().thresholds = std::move(thresholds);
    return id;
}

Transform& SceneWriter::TransformOf(ObjectId node)
{
    for (Node& n : mNodes)
        if (n.id == node)
            return n.transform;
    return mNodes.front().transform;
}

ObjectId SceneWriter::AddMaterial(const std::string& name, const std::string& shadingModel)
{
    Object& o = mObjects.emplace_back();
    o.id = NextId();
    o.element = "Material";
    o.name = name;
    o.shadingModel = shadingModel;
    return o.id;
}

void SceneWriter::AssignMaterial(ObjectId node, ObjectId material)
{
    mLinks.push_back({ material, node, "" });
}

ObjectId SceneWriter::AddFileTexture(
    const std::string& name, const std::string& fileName, const std::string& relativeFileName)
{
    Object& o = mObjects.emplace_back();
    o.id = NextId();
    o.element = "Texture";
    o.name = name;
    o.kind = "TextureVideoClip";
    o.fileName = fileName;
    o.relativeFileName = relativeFileName;
    return o.id;
}

ObjectId SceneWriter::AddProceduralTexture(const std::string& name)
{
    Object& o = mObjects.emplace_back();
    o.id = NextId();
    o.element = "ProceduralTexture";
    o.name = name;
    return o.id;
}

ObjectId SceneWriter::AddLayeredTexture(const std::string& name, const std::vector<ObjectId>& layers)
{
    Object& o = mObjects.emplace_back();
    o.id = NextId();
    o.element = "LayeredTexture";
    o.name = name;
    for (ObjectId layer : layers)
        mLinks.push_back({ layer, o.id, "" });
    return o.id;
}

void SceneWriter::ConnectTexture(ObjectId texture, ObjectId material, const std::string& property)
{
    mLinks.push_back({ texture, material, property });
}

ObjectId SceneWriter::AddSkin(ObjectId meshNode)
{
    Object& o = mObjects.emplace_back();
    o.id = NextId();
    o.element = "Deformer";
    o.kind = "Skin";
    o.name = "Skin";
    for (const Node& n : mNodes)
        if (n.id == meshNode)
            mLinks.push_back({ o.id, n.geometry, "" });
    return o.id;
}

void SceneWriter::AddCluster(ObjectId skin, ObjectId bone, std::vector<int> indices, std::vector<double> weights,
    const Matrix& transform, const Matrix& transformLink)
{
    Object& o = mObjects.emplace_back();
    o.id = NextId();
    o.element = "Deformer";
    o.kind = "Cluster";
    o.name = "Cluster";
    o.indices = std::move(indices);
    o.weights = std::move(weights);
    o.transform = transform;
    o.transformLink = transformLink;
    mLinks.push_back({ o.id, skin, "" });
    mLinks.push_back({ bone, o.id, "" });
}

Element SceneWriter::BuildDocument(int version) const
{
    Element root;
    Element& header = root.Add("FBXHeaderExtension");
    header.Add("FBXHeaderVersion", { I(1003) });
    header.Add("FBXVersion", { I(version) });
    header.Add("Creator", { S(settings.application) });
    Element& info = header.Add("SceneInfo", { S("GlobalInfo::SceneInfo"), S("UserData") });
    info.Add("Type", { S("UserData") });
    info.Add("Version", { I(100) });
    Element& meta = info.Add("MetaData");
    meta.Add("Version", { I(100) });
    meta.Add("Title", { S(settings.title) });
    meta.Add("Author", { S(settings.author) });
    Element& infoProps = info.Add("Properties70");
    P(infoProps, "Original|ApplicationName", "KString", "", { S(settings.application) });
    P(infoProps, "LastSaved|ApplicationName", "KString", "", { S(settings.application) });

    Element& global = root.Add("GlobalSettings");
    global.Add("Version", { I(1000) });
    Element& gp = global.Add("Properties70");
    P(gp, "UpAxis", "int", "Integer", { I(settings.upAxis) });
    P(gp, "UpAxisSign", "int", "Integer", { I(settings.upAxisSign) });
    P(gp, "FrontAxis", "int", "Integer", { I(settings.frontAxis) });
    P(gp, "FrontAxisSign", "int", "Integer", { I(settings.frontAxisSign) });
    P(gp, "CoordAxis", "int", "Integer", { I(settings.coordAxis) });
    P(gp, "CoordAxisSign", "int", "Integer", { I(settings.coordAxisSign) });
    P(gp, "OriginalUpAxis", "int", "Integer", { I(settings.originalUpAxis) });
    P(gp, "OriginalUpAxisSign", "int", "Integer", { I(1) });
    P(gp, "UnitScaleFactor", "double", "Number", { D(settings.unitScale) });
    P(gp, "OriginalUnitScaleFactor", "double", "Number", { D(settings.originalUnitScale) });

    // Templates supply the defaults of properties an object does not list.
    Element& definitions = root.Add("Definitions");
    definitions.Add("Version", { I(100) });
    Element& modelType = definitions.Add("ObjectType", { S("Model") });
    modelType.Add("Count", { I(std::int64_t(mNodes.size())) });
    Element& modelTemplate = modelType.Add("PropertyTemplate", { S("FbxNode") });
    Element& tp = modelTemplate.Add("Properties70");
    P(tp, "Lcl Scaling", "Lcl Scaling", "A", { D(1), D(1), D(1) });
    P(tp, "GeometricScaling", "Vector3D", "Vector", { D(1), D(1), D(1) });

    Element& objects = root.Add("Objects");
    for (const Node& n : mNodes) {
        if (n.attribute) {
            Element& a = objects.Add("NodeAttribute", { L(n.attribute), S("NodeAttribute::" + n.name), S(n.kind) });
            a.Add("TypeFlags", { S(n.kind == "LimbNode" ? "Skeleton" : n.kind) });
            if (!n.thresholds.empty()) {
                Element& ap = a.Add("Properties70");
                for (std::size_t k = 0; k < n.thresholds.size(); ++k)
                    P(ap, "Thresholds|Level" + std::to_string(k), "Distance", "", { D(n.thresholds[k]), S("cm") });
            }
        }
        if (n.geometry)
            WriteGeometry(objects, n.geometry, n.name, n.mesh);
        Element& m = objects.Add("Model", { L(n.id), S("Model::" + n.name), S(n.kind) });
        m.Add("Version", { I(232) });
        Element& mp = m.Add("Properties70");
        const Transform& t = n.transform;
        const Vector3 zero { 0, 0, 0 }, one { 1, 1, 1 };
        if (t.rotationOrder)
            P(mp, "RotationOrder", "enum", "", { I(t.rotationOrder) });
        if (t.inheritType)
            P(mp, "InheritType", "enum", "", { I(t.inheritType) });
        // Readers take the order, pre- and post-rotation into account only where the rotation is active.
        if (t.rotationOrder || t.preRotation != zero || t.postRotation != zero)
            P(mp, "RotationActive", "bool", "", { I(1) });
        P3(mp, "RotationOffset", "Vector3D", t.rotationOffset, zero);
        P3(mp, "RotationPivot", "Vector3D", t.rotationPivot, zero);
        P3(mp, "ScalingOffset", "Vector3D", t.scalingOffset, zero);
        P3(mp, "ScalingPivot", "Vector3D", t.scalingPivot, zero);
        P3(mp, "PreRotation", "Vector3D", t.preRotation, zero);
        P3(mp, "PostRotation", "Vector3D", t.postRotation, zero);
        P3(mp, "Lcl Translation", "Lcl Translation", t.translation, zero);
        P3(mp, "Lcl Rotation", "Lcl Rotation", t.rotation, zero);
        P3(mp, "Lcl Scaling", "Lcl Scaling", t.scaling, one);
        P3(mp, "GeometricTranslation", "Vector3D", t.geometricTranslation, zero);
        P3(mp, "GeometricRotation", "Vector3D", t.geometricRotation, zero);
        P3(mp, "GeometricScaling", "Vector3D", t.geometricScaling, one);
    }
    for (const Object& o : mObjects) {
        std::string prefix = o.element == "Deformer" ? (o.kind == "Skin" ? "Deformer::" : "SubDeformer::")
                                                     : o.element + "::";
        Element& e = objects.Add(o.element, { L(o.id), S(prefix + o.name), S(o.kind) });
        if (o.element == "Material") {
            e.Add("Version", { I(102) });
            e.Add("ShadingModel", { S(o.shadingModel) });
        } else if (o.element == "Texture") {
            e.Add("Type", { S("TextureVideoClip") });
            e.Add("FileName", { S(o.fileName) });
            e.Add("RelativeFilename", { S(o.relativeFileName) });
        } else if (o.kind == "Cluster") {
            e.Add("Version", { I(100) });
            e.Add("Indexes", { Value::Ints(o.indices) });
            e.Add("Weights", { Value::Doubles(o.weights) });
            // Files hold the mesh's bind matrix relative to the bone's, as the SDK writes it and every
            // reader takes it; the SDK's Transform is that product taken back to the scene.
            const Matrix stored = Multiply(AffineInverse(o.transformLink), o.transform);
            e.Add("Transform", { Value::Doubles(std::vector<double>(stored.begin(), stored.end())) });
            e.Add("TransformLink",
                { Value::Doubles(std::vector<double>(o.transformLink.begin(), o.transformLink.end())) });
        }
    }

    Element& connections = root.Add("Connections");
    for (const Node& n : mNodes) {
        if (n.attribute)
            connections.Add("C", { S("OO"), L(n.attribute), L(n.id) });
        if (n.geometry)
            connections.Add("C", { S("OO"), L(n.geometry), L(n.id) });
    }
    for (const Link& link : mLinks) {
        if (link.property.empty())
            connections.Add("C", { S("OO"), L(link.source), L(link.destination) });
        else
            connections.Add("C", { S("OP"), L(link.source), L(link.destination), S(link.property) });
    }
    return root;
}

std::vector<std::uint8_t> SceneWriter::ToBinary(int version, bool compress) const
{
    BinaryWriteOptions options;
    options.version = version;
    if (!compress)
        options.compressAbove = 0;
    return WriteBinary(BuildDocument(version), options);
}

std::string SceneWriter::ToAscii(int version) const
{
    return WriteAscii(BuildDocument(version), version);
}

bool SceneWriter::Save(const std::string& path, int version, bool compress) const
{
    std::vector<std::uint8_t> bytes = ToBinary(version, compress);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace fbxio
