// Matrices and the transform chain, triangulation, axis and unit conversion, tangents.
#include "FbxTestSupport.h"
#include "Source/FbxTransformMath.h"

#include <cmath>

using fbxio::LayerElement;
using fbxio::LayerKind;
using fbxio::Mapping;
using fbxio::Reference;
using fbxtest::ExpectVector;
using fbxtest::Loaded;

namespace {

void ExpectMatrixNear(const FbxAMatrix& a, const FbxAMatrix& b, double tolerance = 1e-9)
{
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_NEAR(a[y][x], b[y][x], tolerance) << "row " << y << " column " << x;
}

double SignedArea(const FbxMesh* m, int p)
{
    FbxVector4 a = m->GetControlPointAt(m->GetPolygonVertex(p, 0));
    FbxVector4 b = m->GetControlPointAt(m->GetPolygonVertex(p, 1));
    FbxVector4 c = m->GetControlPointAt(m->GetPolygonVertex(p, 2));
    return 0.5 * ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]));
}

} // namespace

TEST(FbxMatrix, AffineMatrixComposesInvertsAndTransposesLikeTheSdk)
{
    FbxAMatrix m(FbxVector4(1, 2, 3), FbxVector4(0, 0, 90), FbxVector4(2, 2, 2));
    ExpectVector(m.MultT(FbxVector4(1, 0, 0)), 1, 4, 3); // scaled, turned onto +Y, moved
    ExpectVector(m.GetT(), 1, 2, 3);
    ExpectVector(m.GetS(), 2, 2, 2);
    ExpectVector(m.GetR(), 0, 0, 90);
    ExpectVector(m.GetRow(3), 1, 2, 3);
    EXPECT_DOUBLE_EQ(m.GetRow(3)[3], 1.0);
    ExpectMatrixNear(m.Inverse() * m, FbxAMatrix());
    ExpectMatrixNear(m * m.Inverse(), FbxAMatrix());
    FbxAMatrix t = m.Transpose();
    EXPECT_DOUBLE_EQ(t[0][3], m[3][0]);
    EXPECT_DOUBLE_EQ(t[3][0], m[0][3]);
    // A * B applies B first.
    FbxAMatrix move(FbxVector4(10, 0, 0), FbxVector4(0, 0, 0), FbxVector4(1, 1, 1));
    FbxAMatrix turn(FbxVector4(0, 0, 0), FbxVector4(0, 0, 90), FbxVector4(1, 1, 1));
    ExpectVector((move * turn).MultT(FbxVector4(1, 0, 0)), 10, 1, 0);
    ExpectVector((turn * move).MultT(FbxVector4(1, 0, 0)), 0, 11, 0);
    // XYZ order: X turns first.
    FbxAMatrix xyz(FbxVector4(0, 0, 0), FbxVector4(90, 90, 0), FbxVector4(1, 1, 1));
    ExpectVector(xyz.MultT(FbxVector4(0, 1, 0)), 1, 0, 0);
}

TEST(FbxMatrix, EulerAnglesRoundTripInEveryRotationOrderIncludingGimbalLock)
{
    const double cases[][3] = { { 10, 20, 30 }, { -170, 45, 60 }, { 0, 90, 30 }, { 25, -90, -40 }, { 90, 0, 0 },
        { 179, 1, -179 } };
    for (int order = eEulerXYZ; order <= eEulerZYX; ++order) {
        for (const auto& angles : cases) {
            auto r = fbxsdk::internal::EulerToMatrix(angles, static_cast<EFbxRotationOrder>(order));
            double back[3];
            fbxsdk::internal::MatrixToEuler(r, static_cast<EFbxRotationOrder>(order), back);
            auto again = fbxsdk::internal::EulerToMatrix(back, static_cast<EFbxRotationOrder>(order));
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 3; ++x)
                    EXPECT_NEAR(again.m[y][x], r.m[y][x], 1e-9) << "order " << order << " angles " << angles[0];
        }
    }
    // ZYX turns Z first: a quarter turn about Z, then about Y.
    const double zyx[3] = { 0, 90, 90 };
    auto r = fbxsdk::internal::EulerToMatrix(zyx, eEulerZYX);
    FbxAMatrix m = fbxsdk::internal::Compose(r, FbxVector4(0, 0, 0));
    ExpectVector(m.MultT(FbxVector4(1, 0, 0)), 0, 1, 0);
    ExpectVector(m.MultT(FbxVector4(0, 0, 1)), 1, 0, 0);
}

TEST(FbxTransform, GlobalTransformFollowsTheWholeChain)
{
    fbxio::SceneWriter writer;
    auto parent = writer.AddNull("Parent");
    auto& pt = writer.TransformOf(parent);
    pt.translation = { 10, 0, 0 };
    pt.rotation = { 0, 0, 90 };
    pt.rotationPivot = { 1, 0, 0 }; // turns about x = 1
    pt.scaling = { 2, 2, 2 };
    auto child = writer.AddNull("Child", parent);
    auto& ct = writer.TransformOf(child);
    ct.translation = { 1, 0, 0 };
    ct.preRotation = { 90, 0, 0 };
    ct.rotation = { 0, 90, 0 };
    ct.rotationOrder = eEulerZYX;
    ct.scalingPivot = { 0, 1, 0 };
    ct.scaling = { 1, 3, 1 };
    ct.geometricTranslation = { 0, 0, 7 };
    ct.geometricRotation = { 0, 0, 45 };
    ct.geometricScaling = { 1, 1, 2 };
    auto rrs = writer.AddNull("NoParentScale", parent);
    writer.TransformOf(rrs).translation = { 1, 0, 0 };
    writer.TransformOf(rrs).inheritType = eInheritRrs;
    // A post-rotation is undone after the rotation: turning by 90 degrees and then back by the same.
    auto post = writer.AddNull("Post");
    writer.TransformOf(post).rotation = { 0, 0, 90 };
    writer.TransformOf(post).postRotation = { 0, 0, 90 };
    writer.TransformOf(writer.AddNull("Pre")).preRotation = { 0, 0, 90 };
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;

    FbxNode* p = file.Node("Parent");
    // Parent alone: x' = T + Rp + R(S(x) - Rp)... with the pivot at (1, 0, 0).
    FbxAMatrix pg = p->EvaluateGlobalTransform(0, FbxNode::eSourcePivot, false, false);
    ExpectVector(pg.MultT(FbxVector4(1, 0, 0)), 11, 1, 0); // S: (2,0,0); pivot turn: (1,1,0); T: (11,1,0)
    ExpectVector(pg.MultT(FbxVector4(0, 0, 0)), 11, -1, 0);

    FbxNode* c = file.Node("Child");
    FbxAMatrix local = c->EvaluateLocalTransform();
    // Local: T * Rpre * R(ZYX) * Sp * S * Sp^-1; check on a point by composing by hand.
    FbxAMatrix pre(FbxVector4(0, 0, 0), FbxVector4(90, 0, 0), FbxVector4(1, 1, 1));
    FbxAMatrix rot = fbxsdk::internal::Compose(
        fbxsdk::internal::EulerToMatrix(std::array<double, 3> { 0, 90, 0 }.data(), eEulerZYX), FbxVector4(0, 0, 0));
    FbxAMatrix scalePivot, scale, back;
    scalePivot.SetT(FbxVector4(0, 1, 0));
    scale.SetS(FbxVector4(1, 3, 1));
    back.SetT(FbxVector4(0, -1, 0));
    FbxAMatrix translate;
    translate.SetT(FbxVector4(1, 0, 0));
    ExpectMatrixNear(local, translate * pre * rot * scalePivot * scale * back);
    ExpectMatrixNear(c->EvaluateGlobalTransform(), pg * local); // uniform parent scale: plain product

    ExpectVector(c->GetGeometricTranslation(FbxNode::eSourcePivot), 0, 0, 7);
    ExpectVector(c->GetGeometricRotation(FbxNode::eSourcePivot), 0, 0, 45);
    ExpectVector(c->GetGeometricScaling(FbxNode::eSourcePivot), 1, 1, 2);

    // Rrs: the parent's scale moves the child but does not scale it.
    FbxAMatrix g = file.Node("NoParentScale")->EvaluateGlobalTransform();
    ExpectVector(g.GetT(), pg.MultT(FbxVector4(1, 0, 0))[0], pg.MultT(FbxVector4(1, 0, 0))[1], 0);
    ExpectVector(g.GetS(), 1, 1, 1);

    ExpectVector(file.Node("Post")->EvaluateGlobalTransform().MultT(FbxVector4(1, 0, 0)), 1, 0, 0);
    // A pre-rotation turns the node while its rotation is active; once it is not, the pre-rotation (as
    // the order and the post-rotation) is ignored.
    FbxNode* turned = file.Node("Pre");
    ExpectVector(turned->EvaluateGlobalTransform().MultT(FbxVector4(1, 0, 0)), 0, 1, 0);
    turned->RotationActive.Set(false);
    ExpectVector(turned->EvaluateGlobalTransform().MultT(FbxVector4(1, 0, 0)), 1, 0, 0);
    ExpectVector(turned->EvaluateLocalTransform().MultT(FbxVector4(1, 0, 0)), 1, 0, 0);
}

TEST(FbxTriangulate, ConcaveQuadAndRepeatedCornerPolygonsBecomeProperTriangles)
{
    fbxio::MeshData mesh;
    // An L-shaped hexagon (concave at (1, 1)), a quad, a pentagon whose corner 2 repeats, and
    // a polygon with only two distinct corners.
    mesh.points = { 0, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0, // 0-5 L shape
        5, 0, 0, 6, 0, 0, 6, 1, 0, 5, 1, 0 }; // 6-9 square
    mesh.polygons = { { 0, 1, 2, 3, 4, 5 }, { 6, 7, 8, 9 }, { 6, 7, 8, 8, 9 }, { 6, 7, 6, 7 } };
    mesh.materialIndices = { 0, 1, 2, 3 };
    std::vector<double> uvs;
    std::vector<int> uvIndex;
    for (const auto& polygon : mesh.polygons)
        for (int cp : polygon) {
            uvIndex.push_back(cp);
            (void)cp;
        }
    for (int k = 0; k < 10; ++k)
        uvs.insert(uvs.end(), { mesh.points[std::size_t(k * 3)] / 10, mesh.points[std::size_t(k * 3 + 1)] / 10 });
    LayerElement uv;
    uv.kind = LayerKind::UV;
    uv.mapping = Mapping::ByPolygonVertex;
    uv.reference = Reference::IndexToDirect;
    uv.values = uvs;
    uv.indices = uvIndex;
    mesh.layers.push_back(uv);
    LayerElement normals; // direct per corner: the corner's control point index in x
    normals.mapping = Mapping::ByPolygonVertex;
    for (const auto& polygon : mesh.polygons)
        for (int cp : polygon)
            normals.values.insert(normals.values.end(), { double(cp), 0, 1 });
    mesh.layers.push_back(normals);
    LayerElement flat; // direct per corner, one value for all of a polygon's corners, as a flat face has
    flat.kind = LayerKind::Tangent;
    flat.mapping = Mapping::ByPolygonVertex;
    for (std::size_t p = 0; p < mesh.polygons.size(); ++p)
        for (std::size_t c = 0; c < mesh.polygons[p].size(); ++c)
            flat.values.insert(flat.values.end(), { double(p), 1, 0 });
    mesh.layers.push_back(flat);
    fbxio::SceneWriter writer;
    writer.AddMesh("Shapes", mesh);
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxGeometryConverter converter(file.manager);
    ASSERT_TRUE(converter.Triangulate(file.scene, true, true));
    FbxMesh* m = file.Mesh("Shapes");
    ASSERT_EQ(m->GetPolygonCount(), 4 + 2 + 2); // the two-corner polygon is dropped
    EXPECT_EQ(m->GetPolygonVertexCount(), 24);
    double lArea = 0;
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(m->GetPolygonSize(p), 3);
        double area = SignedArea(m, p);
        EXPECT_GT(area, 1e-9) << "triangle " << p << " flipped or flat";
        lArea += area;
        // No triangle may cover the notch of the L.
        double cx = 0, cy = 0;
        for (int c = 0; c < 3; ++c) {
            cx += m->GetControlPointAt(m->GetPolygonVertex(p, c))[0] / 3;
            cy += m->GetControlPointAt(m->GetPolygonVertex(p, c))[1] / 3;
        }
        EXPECT_FALSE(cx > 1 && cy > 1) << "triangle " << p << " covers the notch";
    }
    EXPECT_NEAR(lArea, 3.0, 1e-9);
    for (int p = 4; p < 8; ++p)
        EXPECT_NEAR(SignedArea(m, p), 0.5, 1e-9);

    // Per-corner elements follow their corners, per-polygon ones their polygon.
    const FbxLayerElementUV* uvElement = m->GetElementUV(0);
    const FbxLayerElementNormal* normalElement = m->GetElementNormal(0);
    ASSERT_EQ(uvElement->GetIndexArray().GetCount(), 24);
    // Direct, or through an index where that holds fewer values.
    auto normalOf = [normalElement](int corner) {
        return normalElement->GetReferenceMode() == FbxLayerElement::eDirect
            ? normalElement->GetDirectArray().GetAt(corner)
            : normalElement->GetDirectArray().GetAt(normalElement->GetIndexArray().GetAt(corner));
    };
    for (int p = 0; p < m->GetPolygonCount(); ++p)
        for (int c = 0; c < 3; ++c) {
            int cp = m->GetPolygonVertex(p, c);
            FbxVector2 t = uvElement->GetDirectArray().GetAt(m->GetTextureUVIndex(p, c));
            EXPECT_DOUBLE_EQ(t[0], m->GetControlPointAt(cp)[0] / 10);
            EXPECT_DOUBLE_EQ(normalOf(p * 3 + c)[0], cp);
        }
    const FbxLayerElementMaterial* materials = m->GetElementMaterial(0);
    const int expected[] = { 0, 0, 0, 0, 1, 1, 2, 2 };
    for (int p = 0; p < 8; ++p)
        EXPECT_EQ(materials->GetIndexArray().GetAt(p), expected[p]);
    // A per-corner element whose corners repeat their polygon's value keeps each value once, read
    // through an index: every corner still reads its own polygon's.
    const FbxLayerElementTangent* flatElement = m->GetElementTangent(0);
    ASSERT_EQ(flatElement->GetReferenceMode(), FbxLayerElement::eIndexToDirect);
    EXPECT_LE(flatElement->GetDirectArray().GetCount(), 5);
    ASSERT_EQ(flatElement->GetIndexArray().GetCount(), 24);
    for (int corner = 0; corner < 24; ++corner) {
        const FbxVector4 value = flatElement->GetDirectArray().GetAt(flatElement->GetIndexArray().GetAt(corner));
        EXPECT_EQ(value[0], expected[corner / 3]) << "corner " << corner;
        EXPECT_EQ(value[1], 1.0) << "corner " << corner;
    }

    // Triangulating again changes nothing.
    converter.Triangulate(file.scene, true, false);
    EXPECT_EQ(m->GetPolygonCount(), 8);
}

TEST(FbxAxisConversion, ZUpAndYUpRightHandedFilesLandInDirectXAxes)
{
    struct Case {
        int up, front, frontSign;
        double expectedPoint[3], expectedNormal[3];
    };
    // Z up (3ds Max: front -Y): (x, y, z) -> (x, z, y). Y up (Maya: front +Z): z flips.
    const Case cases[] = { { 2, 1, -1, { 1, 3, 2 }, { 0, 1, 0 } }, { 1, 2, 1, { 1, 2, -3 }, { 0, 0, -1 } } };
    for (const Case& k : cases) {
        fbxio::MeshData mesh;
        mesh.points = { 1, 2, 3, 0, 0, 0, 1, 0, 0 };
        mesh.polygons = { { 0, 1, 2 } };
        LayerElement n;
        n.mapping = Mapping::ByControlPoint;
        n.values = { 0, 0, 1, 0, 0, 1, 0, 0, 1 };
        mesh.layers.push_back(n);
        fbxio::SceneWriter writer;
        writer.settings.upAxis = k.up;
        writer.settings.frontAxis = k.front;
        writer.settings.frontAxisSign = k.frontSign;
        writer.settings.coordAxis = 0;
        auto node = writer.AddMesh("Tri", mesh);
        writer.TransformOf(node).translation = { 1, 2, 3 };
        writer.TransformOf(node).rotation = { 30, 0, 0 };
        auto skin = writer.AddSkin(node);
        fbxio::Matrix link = fbxio::kIdentity;
        link[12] = 1, link[13] = 2, link[14] = 3;
        writer.AddCluster(skin, writer.AddBone("Bone"), { 0 }, { 1.0 }, fbxio::kIdentity, link);
        Loaded file(writer.ToBinary());
        ASSERT_TRUE(file.ok) << file.error;
        FbxNode* tri = file.Node("Tri");
        FbxAMatrix before = tri->EvaluateGlobalTransform();
        FbxVector4 worldBefore = before.MultT(FbxVector4(1, 2, 3));

        FbxAxisSystem directX(FbxAxisSystem::eDirectX);
        EXPECT_TRUE(directX == FbxAxisSystem::DirectX);
        EXPECT_TRUE(file.scene->GetGlobalSettings().GetAxisSystem() != directX);
        directX.DeepConvertScene(file.scene);
        EXPECT_TRUE(file.scene->GetGlobalSettings().GetAxisSystem() == directX);
        FbxMesh* m = tri->GetMesh();
        ExpectVector(m->GetControlPointAt(0), k.expectedPoint[0], k.expectedPoint[1], k.expectedPoint[2]);
        ExpectVector(m->GetElementNormal(0)->GetDirectArray().GetAt(0), k.expectedNormal[0], k.expectedNormal[1],
            k.expectedNormal[2]);
        // Right-handed to left-handed is a mirror: the corners run the other way round, so the face
        // still faces its normal.
        EXPECT_EQ(m->GetPolygonVertex(0, 0), 0);
        EXPECT_EQ(m->GetPolygonVertex(0, 1), 2);
        EXPECT_EQ(m->GetPolygonVertex(0, 2), 1);
        // The node moved the same way: the converted point lands where the old one did, converted.
        FbxVector4 worldAfter = tri->EvaluateGlobalTransform().MultT(m->GetControlPointAt(0));
        FbxAxisSystem::Axes from;
        from.up = k.up, from.front = k.front, from.frontSign = k.frontSign, from.coord = 0;
        if (k.up == 2)
            ExpectVector(worldAfter, worldBefore[0], worldBefore[2], worldBefore[1], 1e-9);
        else
            ExpectVector(worldAfter, worldBefore[0], worldBefore[1], -worldBefore[2], 1e-9);
        FbxAMatrix linkAfter;
        static_cast<FbxSkin*>(m->GetDeformer(0, FbxDeformer::eSkin))->GetCluster(0)->GetTransformLinkMatrix(linkAfter);
        ExpectVector(linkAfter.GetT(), k.expectedPoint[0], k.expectedPoint[1], k.expectedPoint[2]);
        // Converting again is a no-op.
        directX.DeepConvertScene(file.scene);
        ExpectVector(m->GetControlPointAt(0), k.expectedPoint[0], k.expectedPoint[1], k.expectedPoint[2]);
    }
    int sign = 0;
    EXPECT_EQ(FbxAxisSystem::DirectX.GetUpVector(sign), FbxAxisSystem::eYAxis);
    EXPECT_EQ(FbxAxisSystem::DirectX.GetCoorSystem(), FbxAxisSystem::eLeftHanded);
    EXPECT_EQ(static_cast<int>(FbxAxisSystem::eDirectX), 5);
}

TEST(FbxAxisConversion, AMirrorReversesEveryPolygonWithEverythingStoredPerCorner)
{
    // A quad and a triangle with a different normal, UV index and colour at every corner.
    fbxio::MeshData mesh = fbxtest::Quad();
    mesh.points.insert(mesh.points.end(), { 2, 0, 0 });
    mesh.polygons = { { 0, 1, 2, 3 }, { 1, 4, 2 } };
    LayerElement normals;
    normals.mapping = Mapping::ByPolygonVertex;
    for (int k = 0; k < 7; ++k)
        normals.values.insert(normals.values.end(), { double(k), 0, 1 });
    LayerElement uv;
    uv.kind = LayerKind::UV;
    uv.mapping = Mapping::ByPolygonVertex;
    uv.reference = Reference::IndexToDirect;
    uv.values = { 0, 0, 1, 0, 1, 1, 0, 1, 2, 0, 2, 1, 3, 3 };
    uv.indices = { 0, 1, 2, 3, 4, 5, 6 };
    LayerElement colours;
    colours.kind = LayerKind::Color;
    colours.mapping = Mapping::ByPolygonVertex;
    for (int k = 0; k < 7; ++k)
        colours.values.insert(colours.values.end(), { k / 10.0, 0, 0, 1 });
    mesh.layers = { normals, uv, colours };

    for (bool mirror : { true, false }) {
        SCOPED_TRACE(mirror ? "right-handed y up: a mirror" : "left-handed z up: a rotation");
        fbxio::SceneWriter writer;
        if (!mirror) {
            // x right, z up, +y towards the viewer: left-handed, so only a turn from DirectX's axes.
            writer.settings.upAxis = 2;
            writer.settings.frontAxis = 1;
            writer.settings.frontAxisSign = 1;
        }
        writer.AddMesh("Mesh", mesh);
        Loaded file(writer.ToBinary());
        ASSERT_TRUE(file.ok) << file.error;
        ASSERT_EQ(file.scene->GetGlobalSettings().GetAxisSystem().GetCoorSystem(),
            mirror ? FbxAxisSystem::eRightHanded : FbxAxisSystem::eLeftHanded);
        FbxAxisSystem::DirectX.DeepConvertScene(file.scene);
        FbxMesh* m = file.Mesh("Mesh");
        // Corner k of the result came from corner `from[k]` of the file.
        const std::vector<int> from = mirror ? std::vector<int> { 0, 3, 2, 1, 4, 6, 5 }
                                             : std::vector<int> { 0, 1, 2, 3, 4, 5, 6 };
        const int points[] = { 0, 1, 2, 3, 1, 4, 2 };
        for (int k = 0; k < 7; ++k) {
            const int p = k < 4 ? 0 : 1, corner = k < 4 ? k : k - 4;
            const int source = from[static_cast<std::size_t>(k)];
            EXPECT_EQ(m->GetPolygonVertex(p, corner), points[source]) << "corner " << k;
            EXPECT_NEAR(m->GetElementNormal(0)->GetDirectArray().GetAt(k)[0], double(source), 1e-12) << "corner " << k;
            EXPECT_EQ(m->GetElementUV(0)->GetIndexArray().GetAt(k), source) << "corner " << k;
            EXPECT_NEAR(m->GetElementVertexColor(0)->GetDirectArray().GetAt(k).mRed, source / 10.0, 1e-12)
                << "corner " << k;
        }
        // Counter-clockwise about +z in the file (towards the viewer), the quad now winds the way the
        // engine draws a face whose normal points at the viewer, -z: (b - a) x (c - a) along it.
        const FbxVector4 a = m->GetControlPointAt(m->GetPolygonVertex(0, 0));
        const FbxVector4 b = m->GetControlPointAt(m->GetPolygonVertex(0, 1));
        const FbxVector4 c = m->GetControlPointAt(m->GetPolygonVertex(0, 2));
        const FbxVector4 n = m->GetElementNormal(0)->GetDirectArray().GetAt(0);
        const double crossAlongNormal = ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])) * n[2]
            + ((b[1] - a[1]) * (c[2] - a[2]) - (b[2] - a[2]) * (c[1] - a[1])) * n[0]
            + ((b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2])) * n[1];
        if (mirror) {
            EXPECT_GT(crossAlongNormal, 0.0);
        }
    }
}

TEST(FbxNormals, GeneratedSmoothPerControlPointOrKeptWhenPresent)
{
    // A square pyramid, apex up, its faces (the base too) counter-clockwise seen from outside; no
    // normals.
    fbxio::MeshData pyramid;
    pyramid.points = { -1, 0, -1, 1, 0, -1, 1, 0, 1, -1, 0, 1, 0, 1, 0 };
    pyramid.polygons = { { 0, 1, 2, 3 }, { 0, 4, 1 }, { 1, 4, 2 }, { 2, 4, 3 }, { 3, 4, 0 } };
    fbxio::SceneWriter writer;
    writer.AddMesh("Pyramid", pyramid);
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxMesh* m = file.Mesh("Pyramid");
    ASSERT_EQ(m->GetElementNormalCount(), 0);

    ASSERT_TRUE(m->GenerateNormals(false, true, false));
    ASSERT_EQ(m->GetElementNormalCount(), 1);
    const FbxLayerElementNormal* normals = m->GetElementNormal(0);
    EXPECT_EQ(normals->GetMappingMode(), FbxLayerElement::eByControlPoint);
    EXPECT_EQ(normals->GetReferenceMode(), FbxLayerElement::eDirect);
    ASSERT_EQ(normals->GetDirectArray().GetCount(), 5);
    for (int k = 0; k < 5; ++k)
        EXPECT_NEAR(normals->GetDirectArray().GetAt(k).Length(), 1.0, 1e-12) << k;
    ExpectVector(normals->GetDirectArray().GetAt(4), 0, 1, 0); // the apex: the four sides cancel sideways
    // A base corner leans out and down, the way its base and two sides face.
    const FbxVector4 corner = normals->GetDirectArray().GetAt(2);
    EXPECT_GT(corner[0], 0.0);
    EXPECT_GT(corner[2], 0.0);
    EXPECT_LT(corner[1], 0.0);

    // Present: kept unless overwritten. Clockwise turns every normal round; by polygon vertex stores
    // the same smooth values once per corner.
    ASSERT_TRUE(m->GenerateNormals(false, false, true));
    ExpectVector(m->GetElementNormal(0)->GetDirectArray().GetAt(4), 0, 1, 0);
    ASSERT_TRUE(m->GenerateNormals(true, false, true));
    ASSERT_EQ(m->GetElementNormalCount(), 1);
    EXPECT_EQ(normals->GetMappingMode(), FbxLayerElement::eByPolygonVertex);
    ASSERT_EQ(normals->GetDirectArray().GetCount(), m->GetPolygonVertexCount());
    for (int k = 0; k < m->GetPolygonVertexCount(); ++k) {
        if (m->GetPolygonVertices()[k] == 4)
            ExpectVector(normals->GetDirectArray().GetAt(k), 0, -1, 0);
        EXPECT_NEAR(normals->GetDirectArray().GetAt(k).Length(), 1.0, 1e-12) << k;
    }
}

TEST(FbxUnitConversion, MetresAndInchesScaleGeometryAndNodesAlike)
{
    for (auto [scale, unit] : { std::pair { 100.0, &FbxSystemUnit::m }, std::pair { 2.54, &FbxSystemUnit::Inch } }) {
        fbxio::SceneWriter writer;
        writer.settings.unitScale = scale;
        writer.settings.originalUnitScale = scale;
        auto parent = writer.AddMesh("Parent", fbxtest::Quad());
        writer.TransformOf(parent).translation = { 1, 2, 3 };
        writer.TransformOf(parent).rotation = { 0, 0, 30 };
        writer.TransformOf(parent).scaling = { 2, 2, 2 };
        writer.TransformOf(parent).rotationPivot = { 0.5, 0, 0 };
        auto child = writer.AddMesh("Child", fbxtest::Quad(), parent);
        writer.TransformOf(child).translation = { 0, 1, 0 };
        auto skin = writer.AddSkin(child);
        fbxio::Matrix link = fbxio::kIdentity;
        link[13] = 1;
        writer.AddCluster(skin, parent, { 0 }, { 1.0 }, fbxio::kIdentity, link);
        Loaded file(writer.ToBinary());
        ASSERT_TRUE(file.ok) << file.error;
        FbxGlobalSettings& g = file.scene->GetGlobalSettings();
        ASSERT_TRUE(g.GetSystemUnit() == *unit);
        FbxVector4 before = file.Node("Child")->EvaluateGlobalTransform().MultT(FbxVector4(1, 1, 0));
        FbxSystemUnit::ConversionOptions options = { false, true, true, true, true, true };
        FbxSystemUnit::cm.ConvertScene(file.scene, options);
        EXPECT_TRUE(g.GetSystemUnit() == FbxSystemUnit::cm);
        EXPECT_TRUE(g.GetOriginalSystemUnit() == *unit);
        // The geometry itself is in centimetres now, as the import reads it without node transforms.
        ExpectVector(file.Mesh("Child")->GetControlPointAt(2), scale, scale, 0);
        FbxDouble3 t = file.Node("Parent")->LclTranslation.Get();
        EXPECT_NEAR(t[0], scale, 1e-9);
        EXPECT_NEAR(t[2], 3 * scale, 1e-9);
        EXPECT_NEAR(file.Node("Parent")->RotationPivot.Get()[0], 0.5 * scale, 1e-9);
        EXPECT_NEAR(file.Node("Parent")->LclScaling.Get()[1], 2.0, 1e-12); // scales are not distances
        EXPECT_NEAR(file.Node("Parent")->LclRotation.Get()[2], 30.0, 1e-12);
        EXPECT_NEAR(file.Node("Child")->LclTranslation.Get()[1], scale, 1e-9);
        // What was one file unit from the origin in the world is `scale` centimetres from it.
        FbxVector4 after = file.Node("Child")->EvaluateGlobalTransform().MultT(
            file.Mesh("Child")->GetControlPointAt(2));
        ExpectVector(after, before[0] * scale, before[1] * scale, before[2] * scale, 1e-9);
        FbxAMatrix linkAfter;
        static_cast<FbxSkin*>(file.Mesh("Child")->GetDeformer(0, FbxDeformer::eSkin))
            ->GetCluster(0)
            ->GetTransformLinkMatrix(linkAfter);
        EXPECT_NEAR(linkAfter.GetT()[1], scale, 1e-9);
        // Already centimetres: nothing moves.
        FbxSystemUnit::cm.ConvertScene(file.scene, options);
        EXPECT_NEAR(file.Node("Parent")->LclTranslation.Get()[0], scale, 1e-9);
        ExpectVector(file.Mesh("Child")->GetControlPointAt(2), scale, scale, 0);
    }
    EXPECT_DOUBLE_EQ(FbxSystemUnit::m.GetConversionFactorTo(FbxSystemUnit::cm), 100.0);
    EXPECT_DOUBLE_EQ(FbxSystemUnit::Foot.GetScaleFactor(), 30.48);
}

// The frame a corner reads from a tangent or binormal element, whichever way it is stored.
FbxVector4 FrameOfCorner(const FbxLayerElementTemplate<FbxVector4>* element, int controlPoint, int polygonVertex)
{
    int index = element->GetMappingMode() == FbxLayerElement::eByControlPoint ? controlPoint : polygonVertex;
    if (element->GetReferenceMode() == FbxLayerElement::eIndexToDirect)
        index = element->GetIndexArray().GetAt(index);
    return element->GetDirectArray().GetAt(index);
}

TEST(FbxTangents, GeneratedFromTheUvSetOrRefused)
{
    fbxio::MeshData mesh = fbxtest::Quad();
    LayerElement uv;
    uv.kind = LayerKind::UV;
    uv.mapping = Mapping::ByPolygonVertex;
    uv.reference = Reference::IndexToDirect;
    uv.values = { 0, 0, 1, 0, 1, 1, 0, 1 };
    uv.indices = { 0, 1, 2, 3 };
    mesh.layers.push_back(uv);
    LayerElement mirrored = uv;
    mirrored.values = { 1, 0, 0, 0, 0, 1, 1, 1 }; // u runs along -x
    mesh.layers.push_back(mirrored);
    LayerElement normals;
    normals.mapping = Mapping::ByControlPoint;
    normals.values = { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1 };
    mesh.layers.push_back(normals);
    fbxio::SceneWriter writer;
    writer.AddMesh("Quad", mesh);
    writer.AddMesh("Bare", fbxtest::Quad());
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxMesh* quad = file.Mesh("Quad");
    ASSERT_TRUE(quad->GenerateTangentsData(0, false, false));
    ASSERT_EQ(quad->GetElementTangentCount(), 1);
    ASSERT_EQ(quad->GetElementBinormalCount(), 1);
    const FbxLayerElementTangent* t = quad->GetElementTangent(0);
    // No seam and no hard edge: one frame per control point is every corner's frame.
    EXPECT_EQ(t->GetMappingMode(), FbxLayerElement::eByControlPoint);
    EXPECT_EQ(t->GetReferenceMode(), FbxLayerElement::eDirect);
    ASSERT_EQ(t->GetDirectArray().GetCount(), 4);
    for (int k = 0; k < 4; ++k) {
        ExpectVector(FrameOfCorner(t, k, k), 1, 0, 0);
        EXPECT_EQ(FrameOfCorner(t, k, k)[3], 1.0); // not flipped
        ExpectVector(FrameOfCorner(quad->GetElementBinormal(0), k, k), 0, 1, 0);
    }
    // Present and not overwritten: kept as they are.
    ASSERT_TRUE(quad->GenerateTangentsData(1, false, false));
    ExpectVector(FrameOfCorner(quad->GetElementTangent(0), 0, 0), 1, 0, 0);
    ASSERT_TRUE(quad->GenerateTangentsData(1, true, false));
    ExpectVector(FrameOfCorner(quad->GetElementTangent(0), 0, 0), -1, 0, 0);
    EXPECT_EQ(FrameOfCorner(quad->GetElementTangent(0), 0, 0)[3], -1.0); // u mirrored: flipped
    ExpectVector(FrameOfCorner(quad->GetElementBinormal(0), 0, 0), 0, 1, 0);
    EXPECT_FALSE(quad->GenerateTangentsData(5, true, false)); // no such UV set

    FbxMesh* bare = file.Mesh("Bare");
    EXPECT_EQ(bare->GetUVLayerCount(), 0);
    EXPECT_FALSE(bare->GenerateTangentsData(0, false, false));
    bare->InitTextureUV(1, FbxLayerElement::eTextureDiffuse);
    EXPECT_EQ(bare->GetUVLayerCount(), 1);
    EXPECT_EQ(bare->GetElementUV(0)->GetDirectArray().GetCount(), 1);
    EXPECT_EQ(bare->GetTextureUVIndex(0, 0), -1); // by control point: no per-corner index
    EXPECT_TRUE(bare->GenerateTangentsData(0, false, false)); // flat UVs: any frame around the normal
    FbxVector4 tangent = bare->GetElementTangent(0)->GetDirectArray().GetAt(0);
    EXPECT_NEAR(tangent.Length(), 1.0, 1e-9);
    EXPECT_NEAR(tangent[2], 0.0, 1e-9); // perpendicular to the face normal +Z
}

TEST(FbxTangents, EveryControlPointGetsAFrameThoughNoTriangleGivesItADirection)
{
    // A mesh without seams, so one frame per control point: a quad (points 0 to 3), a triangle
    // (points 4 to 6) and point 7, which no polygon uses. All normals are +Z. UV set 0 gives the
    // triangle's corners one UV, so no texture direction; set 1 runs its u along +y.
    fbxio::MeshData mesh;
    mesh.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 3, 0, 0, 3, 1, 0, 5, 5, 5 };
    mesh.polygons = { { 0, 1, 2, 3 }, { 4, 5, 6 } };
    LayerElement flat;
    flat.kind = LayerKind::UV;
    flat.mapping = Mapping::ByPolygonVertex;
    flat.reference = Reference::IndexToDirect;
    flat.values = { 0, 0, 1, 0, 1, 1, 0, 1, 0.5, 0.5 };
    flat.indices = { 0, 1, 2, 3, 4, 4, 4 };
    LayerElement turned = flat;
    turned.values = { 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0, 1, 1, 1 };
    turned.indices = { 0, 1, 2, 3, 4, 5, 6 };
    LayerElement normals;
    normals.mapping = Mapping::ByControlPoint;
    for (int point = 0; point < 8; ++point)
        normals.values.insert(normals.values.end(), { 0, 0, 1 });
    mesh.layers = { flat, turned, normals };
    fbxio::SceneWriter writer;
    writer.AddMesh("Parts", mesh);
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxMesh* parts = file.Mesh("Parts");
    auto expectFrame = [parts](int point, const FbxVector4& tangent, const FbxVector4& binormal) {
        SCOPED_TRACE(point);
        const FbxLayerElementTangent* t = parts->GetElementTangent(0);
        const FbxLayerElementBinormal* b = parts->GetElementBinormal(0);
        ASSERT_EQ(t->GetMappingMode(), FbxLayerElement::eByControlPoint);
        ASSERT_EQ(b->GetDirectArray().GetCount(), 8);
        ExpectVector(t->GetDirectArray().GetAt(point), tangent[0], tangent[1], tangent[2]);
        EXPECT_EQ(t->GetDirectArray().GetAt(point)[3], tangent[3]);
        ExpectVector(b->GetDirectArray().GetAt(point), binormal[0], binormal[1], binormal[2]);
    };
    // Set 1 first: the triangle's tangent is +y, and its binormal +x, which flips it.
    ASSERT_TRUE(parts->GenerateTangentsData(1, false, false));
    for (int point = 0; point < 4; ++point)
        expectFrame(point, FbxVector4(1, 0, 0, 1), FbxVector4(0, 1, 0, 0));
    for (int point = 4; point < 7; ++point)
        expectFrame(point, FbxVector4(0, 1, 0, -1), FbxVector4(1, 0, 0, 0));
    // Set 0 over it: the triangle's frame is one around its normal, unflipped, whatever set 1 gave.
    ASSERT_TRUE(parts->GenerateTangentsData(0, true, false));
    for (int point = 0; point < 7; ++point)
        expectFrame(point, FbxVector4(1, 0, 0, 1), FbxVector4(0, 1, 0, 0));
    // A point no corner reads has the empty frame.
    EXPECT_TRUE(parts->GetElementTangent(0)->GetDirectArray().GetAt(7) == FbxVector4(0, 0, 0, 0));
    EXPECT_TRUE(parts->GetElementBinormal(0)->GetDirectArray().GetAt(7) == FbxVector4(0, 0, 0, 0));
}

TEST(FbxTangents, SeamsAndHardEdgesKeepTheirOwnFrames)
{
    // Two quads sharing the edge of control points 1 and 2: the first lies in the XY plane, the
    // second is folded up along +Z, so at the shared edge two normals meet.
    fbxio::MeshData strip;
    strip.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 1, 1, 1 };
    strip.polygons = { { 0, 1, 2, 3 }, { 1, 4, 5, 2 } };
    LayerElement normals;
    normals.mapping = Mapping::ByPolygonVertex;
    normals.values = { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0 };
    strip.layers.push_back(normals);
    LayerElement uv;
    uv.kind = LayerKind::UV;
    uv.mapping = Mapping::ByPolygonVertex;
    uv.reference = Reference::IndexToDirect;
    // u grows along +x on the first quad and up +z on the second: the shared edge has one UV.
    uv.values = { 0, 0, 1, 0, 1, 1, 0, 1, 2, 0, 2, 1 };
    uv.indices = { 0, 1, 2, 3, 1, 4, 5, 2 };
    strip.layers.push_back(uv);
    fbxio::MeshData seam = strip;
    seam.layers[0].values = { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1 };
    seam.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 2, 1, 0 }; // flat
    // The second quad's UVs run backwards: u decreases along +x, a mirrored island.
    seam.layers[1].values = { 0, 0, 1, 0, 1, 1, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1 };
    seam.layers[1].indices = { 0, 1, 2, 3, 4, 5, 6, 7 };
    fbxio::SceneWriter writer;
    writer.AddMesh("Fold", strip);
    writer.AddMesh("Seam", seam);
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;

    FbxMesh* fold = file.Mesh("Fold");
    ASSERT_TRUE(fold->GenerateTangentsData(0, false, false));
    const FbxLayerElementTangent* t = fold->GetElementTangent(0);
    EXPECT_EQ(t->GetMappingMode(), FbxLayerElement::eByPolygonVertex);
    EXPECT_EQ(t->GetReferenceMode(), FbxLayerElement::eIndexToDirect);
    // Control points 1 and 2 carry two normals each: 6 + 2 frames for 8 corners would be wrong,
    // 4 + 4 = 8 distinct (point, UV, normal) corners is right.
    EXPECT_EQ(t->GetDirectArray().GetCount(), 8);
    // Every frame is a unit tangent perpendicular to its corner's normal, with the binormal
    // completing a right-handed frame.
    for (int pv = 0; pv < 8; ++pv) {
        const int cp = fold->GetPolygonVertex(pv / 4, pv % 4);
        FbxVector4 tangent = FrameOfCorner(t, cp, pv);
        FbxVector4 binormal = FrameOfCorner(fold->GetElementBinormal(0), cp, pv);
        FbxVector4 normal = pv < 4 ? FbxVector4(0, 0, 1, 0) : FbxVector4(-1, 0, 0, 0);
        EXPECT_NEAR(tangent.Length(), 1.0, 1e-9) << pv;
        EXPECT_NEAR(tangent.DotProduct(normal), 0.0, 1e-9) << pv;
        ExpectVector(binormal, normal.CrossProduct(tangent)[0] * tangent[3],
            normal.CrossProduct(tangent)[1] * tangent[3], normal.CrossProduct(tangent)[2] * tangent[3]);
    }
    // The two corners of control point 1 share a UV and so a summed direction, but each keeps it
    // perpendicular to its own normal.
    ExpectVector(FrameOfCorner(t, 1, 1), 1, 0, 0);
    ExpectVector(FrameOfCorner(t, 1, 4), 0, 0, 1);

    FbxMesh* flat = file.Mesh("Seam");
    ASSERT_TRUE(flat->GenerateTangentsData(0, false, false));
    t = flat->GetElementTangent(0);
    EXPECT_EQ(t->GetMappingMode(), FbxLayerElement::eByPolygonVertex);
    // Across the seam the same control point has opposite tangents: +x in the first island, -x
    // (flipped) in the mirrored one.
    ExpectVector(FrameOfCorner(t, 1, 1), 1, 0, 0);
    EXPECT_EQ(FrameOfCorner(t, 1, 1)[3], 1.0);
    ExpectVector(FrameOfCorner(t, 1, 4), -1, 0, 0);
    EXPECT_EQ(FrameOfCorner(t, 1, 4)[3], -1.0);
    for (int pv = 0; pv < 8; ++pv)
        ExpectVector(FrameOfCorner(flat->GetElementBinormal(0), flat->GetPolygonVertex(pv / 4, pv % 4), pv), 0, 1, 0);
}

TEST(FbxTangents, FramesAreTheSameWhetherStoredByControlPointOrByPolygonVertex)
{
    // A curved 3 x 3 grid without seams is stored by control point; the same grid with two more
    // triangles, apart from it and split by a UV seam, is stored by polygon vertex. The grid's
    // corners must read the same frames from both.
    auto grid = [](bool withSeam) {
        fbxio::MeshData mesh;
        LayerElement normals, uv;
        normals.mapping = Mapping::ByControlPoint;
        uv.kind = LayerKind::UV;
        uv.mapping = Mapping::ByPolygonVertex;
        uv.reference = Reference::IndexToDirect;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                mesh.points.insert(mesh.points.end(), { double(x), double(y), 0.1 * x * y });
                FbxVector4 n(-0.1 * y, -0.1 * x, 1, 0);
                n.Normalize();
                normals.values.insert(normals.values.end(), { n[0], n[1], n[2] });
                uv.values.insert(uv.values.end(), { 0.25 * x + 0.01 * y, 0.25 * y });
            }
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                const int a = y * 4 + x;
                for (const std::vector<int>& triangle :
                    { std::vector<int> { a, a + 1, a + 5 }, std::vector<int> { a, a + 5, a + 4 } }) {
                    mesh.polygons.push_back(triangle);
                    uv.indices.insert(uv.indices.end(), triangle.begin(), triangle.end());
                }
            }
        if (withSeam) {
            mesh.points.insert(mesh.points.end(), { 10, 0, 0, 11, 0, 0, 11, 1, 0, 10, 1, 0 });
            for (int k = 0; k < 4; ++k)
                normals.values.insert(normals.values.end(), { 0, 0, 1 });
            uv.values.insert(uv.values.end(), { 0, 0, 1, 0, 1, 1, 0, 1, 0.5, 0.5 });
            mesh.polygons.push_back({ 16, 17, 18 });
            mesh.polygons.push_back({ 16, 18, 19 });
            uv.indices.insert(uv.indices.end(), { 16, 17, 18, 20, 18, 19 }); // point 16 has two UVs
        }
        mesh.layers = { normals, uv };
        return mesh;
    };
    fbxio::SceneWriter writer;
    writer.AddMesh("Smooth", grid(false));
    writer.AddMesh("Seamed", grid(true));
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxMesh* smooth = file.Mesh("Smooth");
    FbxMesh* seamed = file.Mesh("Seamed");
    ASSERT_TRUE(smooth->GenerateTangentsData(0, false, false));
    ASSERT_TRUE(seamed->GenerateTangentsData(0, false, false));
    ASSERT_EQ(smooth->GetElementTangent(0)->GetMappingMode(), FbxLayerElement::eByControlPoint);
    ASSERT_EQ(seamed->GetElementTangent(0)->GetMappingMode(), FbxLayerElement::eByPolygonVertex);
    for (int pv = 0; pv < smooth->GetPolygonVertexCount(); ++pv) {
        const int cp = smooth->GetPolygonVertex(pv / 3, pv % 3);
        FbxVector4 a = FrameOfCorner(smooth->GetElementTangent(0), cp, pv);
        FbxVector4 b = FrameOfCorner(seamed->GetElementTangent(0), cp, pv);
        EXPECT_TRUE(a == b) << "tangent of corner " << pv;
        EXPECT_TRUE(FrameOfCorner(smooth->GetElementBinormal(0), cp, pv)
            == FrameOfCorner(seamed->GetElementBinormal(0), cp, pv))
            << "binormal of corner " << pv;
        EXPECT_NEAR(a.Length(), 1.0, 1e-9);
    }
}

TEST(FbxTangents, AControlPointWithManyFramesKeepsEachApart)
{
    // A fan of 40 triangles around control point 0, whose corner has a UV of its own in every
    // triangle: far more frames at one point than a short search handles. UVs follow x and y, so
    // every tangent is +x; odd triangles have their centre UV shifted in v only, which changes no
    // tangent but makes the corners distinct.
    constexpr int kTriangles = 40;
    fbxio::MeshData fan;
    fan.points = { 0, 0, 0 };
    LayerElement uv;
    uv.kind = LayerKind::UV;
    uv.mapping = Mapping::ByPolygonVertex;
    uv.reference = Reference::IndexToDirect;
    for (int i = 0; i <= kTriangles; ++i) {
        const double angle = 3.0 * i / kTriangles; // under half a turn: every triangle faces +Z
        fan.points.insert(fan.points.end(), { std::cos(angle), std::sin(angle), 0 });
        uv.values.insert(uv.values.end(), { std::cos(angle), std::sin(angle) });
    }
    for (int i = 0; i < kTriangles; ++i) {
        uv.values.insert(uv.values.end(), { 0, 0 });
        fan.polygons.push_back({ 0, 1 + i, 2 + i });
        uv.indices.insert(uv.indices.end(), { kTriangles + 1 + i, i, i + 1 });
    }
    LayerElement normals;
    normals.mapping = Mapping::ByControlPoint;
    for (int i = 0; i <= kTriangles + 1; ++i)
        normals.values.insert(normals.values.end(), { 0, 0, 1 });
    fan.layers = { normals, uv };
    fbxio::SceneWriter writer;
    writer.AddMesh("Fan", fan);
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxMesh* mesh = file.Mesh("Fan");
    ASSERT_TRUE(mesh->GenerateTangentsData(0, false, false));
    const FbxLayerElementTangent* t = mesh->GetElementTangent(0);
    EXPECT_EQ(t->GetMappingMode(), FbxLayerElement::eByPolygonVertex);
    // One frame per rim point, one per centre corner.
    EXPECT_EQ(t->GetDirectArray().GetCount(), (kTriangles + 1) + kTriangles);
    std::set<int> centreFrames;
    for (int pv = 0; pv < 3 * kTriangles; ++pv) {
        const int cp = mesh->GetPolygonVertex(pv / 3, pv % 3);
        ExpectVector(FrameOfCorner(t, cp, pv), 1, 0, 0);
        if (cp == 0)
            centreFrames.insert(t->GetIndexArray().GetAt(pv));
    }
    EXPECT_EQ(centreFrames.size(), std::size_t(kTriangles));
}
