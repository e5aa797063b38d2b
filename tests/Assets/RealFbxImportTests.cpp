#include "Assets/FbxImport.h"
#include "Assets/SkeletonImport.h"

#include "MeshChecks.h"

#include <fbxsdk.h>
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// Real files, written by exporters no one here wrote: every FBX file of Debian's assimp-testmodels,
// compared with what assimp makes of it, and small exports from Blender, compared with what Blender
// itself reads back from them.

namespace {

const std::filesystem::path kAssimpModels = "/usr/share/assimp/models/FBX";

std::vector<std::filesystem::path> RealFiles()
{
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::exists(kAssimpModels))
        return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kAssimpModels)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file() && extension == ".fbx")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Corners of polygon p left once corners that repeat the position before them (cyclically) are
// dropped: those only add zero-area slivers.
int DistinctCorners(const fbxsdk::FbxMesh& mesh, int p)
{
    std::vector<fbxsdk::FbxVector4> corners;
    for (int c = 0; c < mesh.GetPolygonSize(p); ++c) {
        fbxsdk::FbxVector4 point = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, c));
        if (corners.empty() || !(corners.back() == point))
            corners.push_back(point);
    }
    while (corners.size() > 1 && corners.front() == corners.back())
        corners.pop_back();
    return static_cast<int>(corners.size());
}

// What the file says before any conversion, read through the SDK.
struct FileFacts {
    // Triangles the file's own polygons make (n - 2 for an n-gon, none for a polygon without area);
    // -1 when the SDK cannot read the file.
    long triangles = -1;
    // Triangles of polygons that, counter-clockwise being the front in a right-handed frame (and
    // clockwise in a left-handed one), face away from the sum of their corners' normals: faces the
    // file itself has inside out.
    long trianglesFacingAway = 0;
};

// The normal a corner reads from the mesh's first normal element, or zero.
fbxsdk::FbxVector4 CornerNormal(const fbxsdk::FbxMesh& mesh, int polygonVertex, int controlPoint)
{
    using fbxsdk::FbxLayerElement;
    const fbxsdk::FbxLayerElementNormal* normals = mesh.GetElementNormal(0);
    if (normals == nullptr)
        return {};
    int index = normals->GetMappingMode() == FbxLayerElement::eByControlPoint ? controlPoint : polygonVertex;
    if (normals->GetReferenceMode() != FbxLayerElement::eDirect)
        index = normals->GetIndexArray().GetAt(index);
    return normals->GetDirectArray().GetAt(index);
}

// Whether polygon p's corners, in a frame of the given handedness, turn the other way from its
// normals (true only for a polygon with area and normals).
bool FacesAway(const fbxsdk::FbxMesh& mesh, int p, bool rightHanded)
{
    const int first = mesh.GetPolygonVertexIndex(p);
    const fbxsdk::FbxVector4 a = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, 0));
    double area[3] = { 0, 0, 0 }, normal[3] = { 0, 0, 0 };
    for (int c = 0; c < mesh.GetPolygonSize(p); ++c) {
        const fbxsdk::FbxVector4 n = CornerNormal(mesh, first + c, mesh.GetPolygonVertex(p, c));
        for (int axis = 0; axis < 3; ++axis)
            normal[axis] += n[axis];
        if (c < 2)
            continue;
        const fbxsdk::FbxVector4 b = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, c - 1));
        const fbxsdk::FbxVector4 d = mesh.GetControlPointAt(mesh.GetPolygonVertex(p, c));
        const double e1[3] = { b[0] - a[0], b[1] - a[1], b[2] - a[2] };
        const double e2[3] = { d[0] - a[0], d[1] - a[1], d[2] - a[2] };
        area[0] += e1[1] * e2[2] - e1[2] * e2[1];
        area[1] += e1[2] * e2[0] - e1[0] * e2[2];
        area[2] += e1[0] * e2[1] - e1[1] * e2[0];
    }
    const double along = area[0] * normal[0] + area[1] * normal[1] + area[2] * normal[2];
    return rightHanded ? along < 0.0 : along > 0.0;
}

FileFacts ReadFileFacts(const std::filesystem::path& path)
{
    using namespace fbxsdk;
    FbxContext& context = GetFbxContext();
    FbxImporter* importer = FbxImporter::Create(context.manager, "");
    FileFacts facts;
    if (importer->Initialize(path.string().c_str(), -1, context.ioSettings) && importer->IsFBX()) {
        FbxScene* scene = FbxScene::Create(context.manager, "count");
        if (importer->Import(scene, false)) {
            facts.triangles = 0;
            FbxGlobalSettings& settings = scene->GetGlobalSettings();
            const bool rightHanded = settings.GetAxisSystem().GetCoorSystem() == FbxAxisSystem::eRightHanded;
            for (int g = 0; g < scene->GetGeometryCount(); ++g) {
                FbxMesh* mesh = scene->GetMesh(g);
                // A mesh no node uses is not imported.
                if (mesh->GetNodeCount() == 0)
                    continue;
                for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
                    const long triangles = std::max(DistinctCorners(*mesh, p) - 2, 0) * mesh->GetNodeCount();
                    facts.triangles += triangles;
                    if (FacesAway(*mesh, p, rightHanded))
                        facts.trianglesFacingAway += triangles;
                }
            }
        }
        scene->Destroy(false);
    }
    importer->Destroy(false);
    return facts;
}

// Every mesh of the model, LOD levels included.
std::vector<const Mesh*> AllMeshes(const ImportedModel& model)
{
    std::vector<const Mesh*> meshes;
    for (const Mesh& mesh : model.meshes)
        meshes.push_back(&mesh);
    for (const auto& group : model.lodGroups)
        for (const LodLevel& level : group)
            for (const Mesh& mesh : level.meshes)
                meshes.push_back(&mesh);
    return meshes;
}

long TrianglesImported(const ImportedModel& model)
{
    long indices = 0;
    for (const Mesh* mesh : AllMeshes(model))
        indices += static_cast<long>(mesh->indices.size());
    return indices / 3;
}

// A box in the engine's axes and centimetres.
struct Box {
    double min[3] = { 0, 0, 0 };
    double max[3] = { 0, 0, 0 };
};

// assimp's figures for one file: its box with every node transform applied, in the file's own axes and
// unit, and the file's unit and axes as assimp read them; or why assimp could not read it.
struct AssimpFigures {
    std::string unreadable;
    double min[3] = { 0, 0, 0 };
    double max[3] = { 0, 0, 0 };
    double centimetresPerUnit = 1.0;
    int up = 1, upSign = 1, front = 2, frontSign = 1, coord = 0, coordSign = 1;

    // The box in the engine's axes and centimetres. The engine's axes are the file's right (coord),
    // up and front axes taken to x, y and -z (DirectX's front looks along -z): each of them is one
    // of the file's axes, perhaps turned round, so the box goes over corner for corner.
    Box InEngineAxes() const
    {
        const int from[3] = { coord, up, front };
        const int sign[3] = { coordSign, upSign, -frontSign };
        Box box;
        for (int axis = 0; axis < 3; ++axis) {
            const double a = min[from[axis]] * sign[axis] * centimetresPerUnit;
            const double b = max[from[axis]] * sign[axis] * centimetresPerUnit;
            box.min[axis] = std::min(a, b);
            box.max[axis] = std::max(a, b);
        }
        return box;
    }
};

// tests/Assets/AssimpBoxes/assimp-boxes.txt, by file name relative to the models' folder.
std::map<std::string, AssimpFigures> ReadAssimpFigures()
{
    std::map<std::string, AssimpFigures> figures;
    std::ifstream in("tests/Assets/AssimpBoxes/assimp-boxes.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name, word;
        fields >> name >> word;
        AssimpFigures& f = figures[name];
        if (word == "unreadable") {
            std::getline(fields, f.unreadable);
            continue;
        }
        f.min[0] = std::stod(word);
        fields >> f.min[1] >> f.min[2] >> f.max[0] >> f.max[1] >> f.max[2] >> f.centimetresPerUnit >> f.up >> f.upSign
            >> f.front >> f.frontSign >> f.coord >> f.coordSign;
        EXPECT_FALSE(fields.fail()) << line;
    }
    return figures;
}

// Each side of `actual` within `share` of the largest side of `expected`.
void ExpectBoxNear(const BoundingBox& actual, const Box& expected, double share, const std::string& what)
{
    const double largest = std::max(
        { expected.max[0] - expected.min[0], expected.max[1] - expected.min[1], expected.max[2] - expected.min[2] });
    const double tolerance = share * largest;
    const float actualMin[3] = { actual.min.x, actual.min.y, actual.min.z };
    const float actualMax[3] = { actual.max.x, actual.max.y, actual.max.z };
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(actualMin[axis], expected.min[axis], tolerance) << what << ", axis " << axis;
        EXPECT_NEAR(actualMax[axis], expected.max[axis], tolerance) << what << ", axis " << axis;
    }
}

// The boxes are compared within this share of their largest side.
constexpr double kBoxShare = 0.01;

} // namespace

TEST(RealFbxImport, EveryAssimpTestFileImportsWholeRightSideOutAndWhereAssimpPlacesIt)
{
    InitializeFbx();
    std::vector<std::filesystem::path> files = RealFiles();
    ASSERT_GE(files.size(), 15u) << "assimp-testmodels is not installed (tools/setup.sh installs it)";
    const std::map<std::string, AssimpFigures> assimp = ReadAssimpFigures();
    int corrupt = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        ImportedModel model;
        ImportResult result = ImportFbx(path, model, false, true);
        FileFacts file = ReadFileFacts(path);
        const auto figures = assimp.find(std::filesystem::relative(path, kAssimpModels).string());
        ASSERT_NE(figures, assimp.end()) << "no figures of assimp's: run tests/Assets/AssimpBoxes/make-assimp-boxes.sh";
        if (file.triangles < 0) {
            // The one file whose NUL bytes were replaced by spaces: it fails cleanly, and assimp cannot
            // read it either.
            ++corrupt;
            EXPECT_EQ(result.status, ImportStatus::ReadFailed);
            EXPECT_FALSE(figures->second.unreadable.empty());
            continue;
        }
        EXPECT_TRUE(result.status == ImportStatus::Ok || result.status == ImportStatus::OkWithWarnings)
            << "status " << static_cast<int>(result.status) << ": " << GetFbxContext().lastError;
        EXPECT_GT(file.triangles, 0);
        EXPECT_EQ(TrianglesImported(model), file.triangles);
        meshchecks::WindingCount windings;
        for (const Mesh* mesh : AllMeshes(model)) {
            for (std::uint32_t index : mesh->indices)
                ASSERT_LT(index, mesh->vertices.size());
            meshchecks::WindingCount count = meshchecks::CountWindings(*mesh);
            windings.agreeing += count.agreeing;
            windings.disagreeing += count.disagreeing;
            windings.degenerate += count.degenerate;
        }
        // Drawn from outside, every face shows its lit side: every triangle faces its normals, but for
        // the few the file itself has inside out (4 of spider.fbx's 1312), which stay as they are.
        EXPECT_EQ(static_cast<long>(windings.disagreeing), file.trianglesFacingAway)
            << windings.agreeing << " agree, " << windings.degenerate << " degenerate";
        EXPECT_LE(file.trianglesFacingAway * 100, file.triangles)
            << "the file's own faces, read here, are mostly inside out";
        EXPECT_GT(windings.agreeing, 0u);

        // Node transforms, units and axes: the whole file lies where assimp puts it, once assimp's
        // figures are taken to the engine's axes and centimetres.
        ASSERT_TRUE(model.box.valid);
        ASSERT_TRUE(figures->second.unreadable.empty()) << figures->second.unreadable;
        ExpectBoxNear(model.box, figures->second.InEngineAxes(), kBoxShare, "the whole file's box");
    }
    EXPECT_EQ(corrupt, 1);
}

namespace {

constexpr const char* kBlenderFiles = "tests/Assets/BlenderFiles";

rapidjson::Document ReadBlenderFigures()
{
    std::ifstream in(std::string(kBlenderFiles) + "/blender_figures.json");
    std::stringstream text;
    text << in.rdbuf();
    rapidjson::Document figures;
    figures.Parse(text.str().c_str());
    EXPECT_TRUE(figures.IsObject()) << "tests/Assets/BlenderFiles/blender_figures.json cannot be read";
    return figures;
}

// A point of Blender's world (x right, y away from its front view, z up; metres) in the engine's axes
// and centimetres. Blender's exporter writes y up and its own y as the file's -z (its defaults, axis_up
// Y and axis_forward -Z); the engine looks along the file's -z, so Blender's y becomes the engine's z.
Float3 FromBlender(const rapidjson::Value& point)
{
    constexpr float kCentimetresPerMetre = 100.0f;
    return { point[0].GetFloat() * kCentimetresPerMetre, point[2].GetFloat() * kCentimetresPerMetre,
        point[1].GetFloat() * kCentimetresPerMetre };
}

Box BoxFromBlender(const rapidjson::Value& mesh)
{
    const Float3 a = FromBlender(mesh["min"]), b = FromBlender(mesh["max"]);
    return { { std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z) },
        { std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z) } };
}

// The box of every imported mesh of that name (a node gives one mesh per material slot).
BoundingBox BoxOfNode(const ImportedModel& model, const std::string& name)
{
    BoundingBox box;
    for (const Mesh& mesh : model.meshes) {
        if (mesh.name != name)
            continue;
        box.min = box.valid ? Float3 { std::min(box.min.x, mesh.box.min.x), std::min(box.min.y, mesh.box.min.y),
            std::min(box.min.z, mesh.box.min.z) }
                            : mesh.box.min;
        box.max = box.valid ? Float3 { std::max(box.max.x, mesh.box.max.x), std::max(box.max.y, mesh.box.max.y),
            std::max(box.max.z, mesh.box.max.z) }
                            : mesh.box.max;
        box.valid = true;
    }
    return box;
}

Float3 Centre(const BoundingBox& box)
{
    return (box.min + box.max) * 0.5f;
}

ImportedModel ImportBlenderFile(const std::string& name)
{
    InitializeFbx();
    ImportedModel model;
    const ImportResult result = ImportFbx(std::string(kBlenderFiles) + "/" + name, model, false, true);
    EXPECT_EQ(result.status, ImportStatus::Ok) << name << ": " << GetFbxContext().lastError;
    return model;
}

} // namespace

TEST(RealFbxImport, BlenderExportsArriveAtTheSizeOrientationAndPlaceBlenderShows)
{
    const rapidjson::Document figures = ReadBlenderFigures();
    ASSERT_TRUE(figures.IsObject());
    int files = 0;
    for (const auto& file : figures["files"].GetObject()) {
        const std::string name = file.name.GetString();
        SCOPED_TRACE(name);
        ++files;
        const ImportedModel model = ImportBlenderFile(name);
        const auto& meshes = file.value["meshes"];
        std::size_t nodes = 0;
        for (const auto& mesh : meshes.GetObject()) {
            const std::string node = mesh.name.GetString();
            const BoundingBox box = BoxOfNode(model, node);
            ASSERT_TRUE(box.valid) << node << " was not imported";
            ExpectBoxNear(box, BoxFromBlender(mesh.value), kBoxShare, node);
            ++nodes;
        }
        std::set<std::string> imported;
        for (const Mesh& mesh : model.meshes)
            imported.insert(mesh.name);
        EXPECT_EQ(imported.size(), nodes);
        for (const Mesh& mesh : model.meshes) {
            SCOPED_TRACE(mesh.name);
            // Blender's faces all face their normals, a mirrored object's too.
            const meshchecks::WindingCount windings = meshchecks::CountWindings(mesh);
            EXPECT_EQ(windings.disagreeing, 0u);
            EXPECT_EQ(windings.agreeing, mesh.indices.size() / 3);
            for (const Vertex& v : mesh.vertices) {
                ASSERT_NEAR(Length(v.normal), 1.0f, 1e-4f);
                ASSERT_NEAR(Length(v.tangent), 1.0f, 1e-4f);
                ASSERT_NEAR(Dot(v.normal, v.tangent), 0.0f, 1e-3f);
            }
            // Blender's primitives are flat: every corner's normal stands square on its triangle, also
            // under a parent's stretch that shears its child.
            for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
                const Vertex& a = mesh.vertices[mesh.indices[t]];
                const Float3 face = Normalize(Cross(XYZ(mesh.vertices[mesh.indices[t + 1]].position) - XYZ(a.position),
                    XYZ(mesh.vertices[mesh.indices[t + 2]].position) - XYZ(a.position)));
                ASSERT_GT(Dot(face, a.normal), 0.999f) << "triangle " << t / 3;
            }
        }
    }
    EXPECT_EQ(files, 8);
}

TEST(RealFbxImport, ThePartsOfABlenderModelLandOnTheirAxesAndAMirroredOneLeansTheOtherWay)
{
    // A core with a cone 3 m along Blender's x, a ball 3 m along its y (away from its front view) and
    // a cylinder 3 m up its z: in the engine, right, away from a camera at zero angles, and up.
    const ImportedModel parts = ImportBlenderFile("axis_parts.fbx");
    struct Part {
        const char* name;
        Float3 centre;
    };
    for (const Part& part : { Part { "Core", { 0, 0, 0 } }, Part { "PlusX", { 300, 0, 0 } },
             Part { "PlusY", { 0, 0, 300 } }, Part { "PlusZ", { 0, 300, 0 } } }) {
        SCOPED_TRACE(part.name);
        const BoundingBox box = BoxOfNode(parts, part.name);
        ASSERT_TRUE(box.valid);
        const Float3 centre = Centre(box);
        EXPECT_NEAR(centre.x, part.centre.x, 1.0f);
        EXPECT_NEAR(centre.y, part.centre.y, 1.0f);
        EXPECT_NEAR(centre.z, part.centre.z, 1.0f);
        // Each part is a metre across, not a centimetre.
        EXPECT_NEAR(box.max.y - box.min.y, 100.0f, 1.0f);
    }

    // A cone standing at x = 2 m whose tip leans 1 m to +x, mirrored in x: the tip is at 1 m.
    const ImportedModel mirrored = ImportBlenderFile("negative_scale.fbx");
    ASSERT_EQ(mirrored.meshes.size(), 1u);
    const Vertex* tip = &mirrored.meshes[0].vertices[0];
    for (const Vertex& v : mirrored.meshes[0].vertices)
        tip = v.position.y > tip->position.y ? &v : tip;
    EXPECT_NEAR(tip->position.x, 100.0f, 0.01f);
    EXPECT_NEAR(tip->position.y, 100.0f, 0.01f);
    EXPECT_NEAR(tip->position.z, 100.0f, 0.01f);
}

TEST(RealFbxImport, ABlenderSkinnedCylinderKeepsItsBonesWeightsAndSocketWhereBlenderHasThem)
{
    // A cylinder 2 m tall on two bones of 1 m, weighted by height, under a moved and turned armature.
    const rapidjson::Document figures = ReadBlenderFigures();
    ASSERT_TRUE(figures.IsObject());
    const auto& file = figures["files"]["skinned_cylinder.fbx"];
    const ImportedModel model = ImportBlenderFile("skinned_cylinder.fbx");
    const Skeleton& skeleton = model.skeleton;
    ASSERT_EQ(model.meshes.size(), 1u);

    // Each bone's offset takes the imported vertices into the bone's own space, where the bone runs
    // along y in Blender's units: its head goes to the origin and its tail a bone's length up y.
    std::int32_t lower = -1, upper = -1;
    for (const char* name : { "Lower", "Upper" }) {
        SCOPED_TRACE(name);
        ASSERT_EQ(skeleton.boneIndexByName.count(name), 1u);
        const std::int32_t index = skeleton.boneIndexByName.at(name);
        (std::string(name) == "Lower" ? lower : upper) = index;
        const Matrix4x4& offset = skeleton.bones[static_cast<std::size_t>(index)].offset;
        const Float3 head = FromBlender(file["bones"][name]["head"]), tail = FromBlender(file["bones"][name]["tail"]);
        const float length = Length(tail - head) / 100.0f;
        const Float3 headInBone = meshchecks::ThroughOffset(offset, head),
                     tailInBone = meshchecks::ThroughOffset(offset, tail);
        EXPECT_NEAR(Length(headInBone), 0.0f, 1e-4f);
        EXPECT_NEAR(tailInBone.x, 0.0f, 1e-4f);
        EXPECT_NEAR(tailInBone.y, length, 1e-4f);
        EXPECT_NEAR(tailInBone.z, 0.0f, 1e-4f);
    }
    ASSERT_GE(upper, 0);

    // Seen from the lower bone, every vertex is 0.3 m from its axis and between 0 and 2 m along it,
    // and the upper bone's weight grows with that height, as Blender's weights were painted.
    const Matrix4x4& lowerOffset = skeleton.bones[static_cast<std::size_t>(lower)].offset;
    for (const Vertex& v : model.meshes[0].vertices) {
        const Float3 inBone = meshchecks::ThroughOffset(lowerOffset, XYZ(v.position));
        EXPECT_NEAR(std::hypot(inBone.x, inBone.z), 0.3f, 1e-4f);
        float upperWeight = 0.0f, total = 0.0f;
        for (int k = 0; k < kMaxInfluences; ++k) {
            total += v.boneWeights[k];
            if (v.boneIndices[k] == upper)
                upperWeight += v.boneWeights[k];
        }
        EXPECT_NEAR(total, 1.0f, 1e-5f);
        EXPECT_NEAR(upperWeight, std::clamp(inBone.y / 2.0f, 0.0f, 1.0f), 1e-4f);
    }

    // The socket hanging from the upper bone keeps its place in the world.
    ASSERT_EQ(skeleton.sockets.count("Hand_socket"), 1u);
    const Matrix4x4& socket = skeleton.sockets.at("Hand_socket").transform;
    const Float3 expected = FromBlender(file["empties"]["Hand_socket"]);
    EXPECT_NEAR(socket.m[3][0], expected.x, 1e-3f);
    EXPECT_NEAR(socket.m[3][1], expected.y, 1e-3f);
    EXPECT_NEAR(socket.m[3][2], expected.z, 1e-3f);
}
