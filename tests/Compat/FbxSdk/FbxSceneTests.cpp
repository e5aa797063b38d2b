// Writer -> reader round trips of the scene features the model import relies on, seen
// through the SDK calls.
#include "FbxTestSupport.h"
#include "fbxio/FbxDocumentWriter.h"
#include "fbxio/FbxReader.h"

#include <cmath>

using fbxio::LayerElement;
using fbxio::LayerKind;
using fbxio::Mapping;
using fbxio::Reference;
using fbxtest::Loaded;

namespace {

LayerElement Layer(
    LayerKind kind, Mapping mapping, Reference reference, std::vector<double> values, std::vector<int> indices = {})
{
    LayerElement e;
    e.kind = kind;
    e.mapping = mapping;
    e.reference = reference;
    e.values = std::move(values);
    e.indices = std::move(indices);
    return e;
}

} // namespace

TEST(FbxScene, LayerElementsKeepTheirMappingReferenceAndValues)
{
    fbxio::MeshData mesh = fbxtest::Quad();
    mesh.layers.push_back(Layer(
        LayerKind::Normal, Mapping::ByControlPoint, Reference::Direct, { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0.6, 0.8 }));
    mesh.layers.push_back(Layer(
        LayerKind::Normal, Mapping::ByPolygonVertex, Reference::IndexToDirect, { 0, 0, 1, 1, 0, 0 }, { 1, 0, 0, 1 }));
    mesh.layers.push_back(Layer(LayerKind::Tangent, Mapping::ByPolygon, Reference::Direct, { 1, 0, 0 }));
    mesh.layers.push_back(Layer(LayerKind::Binormal, Mapping::AllSame, Reference::Direct, { 0, 1, 0 }));
    mesh.layers.push_back(Layer(LayerKind::UV, Mapping::ByPolygonVertex, Reference::IndexToDirect,
        { 0, 0, 1, 0, 1, 1, 0, 0.25 }, { 0, 1, 2, 3 }));
    mesh.layers.push_back(
        Layer(LayerKind::UV, Mapping::ByControlPoint, Reference::Index, { 0.5, 0.5 }, { 0, 0, 0, 0 }));
    mesh.layers.push_back(Layer(LayerKind::Color, Mapping::ByPolygonVertex, Reference::Direct,
        { 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 0.5 }));
    fbxio::SceneWriter writer;
    writer.AddMesh("Quad", mesh);

    for (bool ascii : { false, true }) {
        Loaded file(ascii ? fbxtest::Bytes(writer.ToAscii()) : writer.ToBinary());
        ASSERT_TRUE(file.ok) << file.error;
        FbxMesh* m = file.Mesh("Quad");
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->GetControlPointsCount(), 4);
        EXPECT_EQ(m->GetPolygonCount(), 1);
        EXPECT_EQ(m->GetPolygonSize(0), 4);
        EXPECT_EQ(m->GetPolygonVertex(0, 3), 3);
        EXPECT_EQ(m->GetPolygonVertex(0, 4), -1);
        fbxtest::ExpectVector(m->GetControlPointAt(2), 1, 1, 0);
        EXPECT_EQ(m->GetControlPoints()[2][3], 1.0);

        ASSERT_EQ(m->GetElementNormalCount(), 2);
        EXPECT_EQ(m->GetElementNormal(0)->GetMappingMode(), FbxLayerElement::eByControlPoint);
        EXPECT_EQ(m->GetElementNormal(0)->GetReferenceMode(), FbxLayerElement::eDirect);
        fbxtest::ExpectVector(m->GetElementNormal(0)->GetDirectArray().GetAt(3), 0, 0.6, 0.8);
        FbxLayerElementNormal* indexed = m->GetElementNormal(1);
        EXPECT_EQ(indexed->GetMappingMode(), FbxLayerElement::eByPolygonVertex);
        EXPECT_EQ(indexed->GetReferenceMode(), FbxLayerElement::eIndexToDirect);
        EXPECT_EQ(indexed->GetIndexArray().GetCount(), 4);
        fbxtest::ExpectVector(indexed->GetDirectArray().GetAt(indexed->GetIndexArray().GetAt(0)), 1, 0, 0);

        ASSERT_EQ(m->GetElementTangentCount(), 1);
        EXPECT_EQ(m->GetElementTangent(0)->GetMappingMode(), FbxLayerElement::eByPolygon);
        ASSERT_EQ(m->GetElementBinormalCount(), 1);
        EXPECT_EQ(m->GetElementBinormal(0)->GetMappingMode(), FbxLayerElement::eAllSame);

        ASSERT_EQ(m->GetElementUVCount(), 2);
        EXPECT_EQ(m->GetUVLayerCount(), 2);
        const FbxLayerElementUV* uv = m->GetElementUV(0);
        EXPECT_EQ(m->GetTextureUVIndex(0, 3), 3);
        EXPECT_DOUBLE_EQ(uv->GetDirectArray().GetAt(m->GetTextureUVIndex(0, 3))[1], 0.25);
        EXPECT_EQ(m->GetElementUV(1, FbxLayerElement::eUnknown)->GetReferenceMode(), FbxLayerElement::eIndex);
        EXPECT_EQ(m->GetElementUV(1)->GetMappingMode(), FbxLayerElement::eByControlPoint);

        ASSERT_EQ(m->GetElementVertexColorCount(), 1);
        FbxColor c = m->GetElementVertexColor(0)->GetDirectArray().GetAt(3);
        EXPECT_EQ(c, FbxColor(1, 1, 1, 0.5));
        // Reading past an array gives a value-initialised element, never memory it does not own.
        EXPECT_EQ(m->GetElementVertexColor(0)->GetDirectArray().GetAt(4), FbxColor());
        EXPECT_EQ(m->GetElementVertexColor(0)->GetDirectArray().GetAt(-1), FbxColor());
    }
}

TEST(FbxScene, IndexToDirectWithoutIndexArrayIsReadAsDirect)
{
    fbxio::MeshData mesh = fbxtest::Quad();
    mesh.layers.push_back(Layer(
        LayerKind::Normal, Mapping::ByPolygonVertex, Reference::IndexToDirect, { 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1 }));
    fbxio::SceneWriter writer;
    writer.AddMesh("Quad", mesh);
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    const FbxLayerElementNormal* normals = file.Mesh("Quad")->GetElementNormal(0);
    EXPECT_EQ(normals->GetReferenceMode(), FbxLayerElement::eDirect);
    EXPECT_EQ(normals->GetIndexArray().GetCount(), 0);
    fbxtest::ExpectVector(normals->GetDirectArray().GetAt(3), 0, 0, 1);
}

TEST(FbxScene, MaterialsKeepSceneOrderNodeSlotsAndPerPolygonIndices)
{
    fbxio::MeshData mesh;
    mesh.points = { 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0 };
    mesh.polygons = { { 0, 1, 2 }, { 0, 2, 3 }, { 1, 2, 3 } };
    mesh.materialIndices = { 1, 0, 1 };
    fbxio::SceneWriter writer;
    auto wood = writer.AddMaterial("Wood");
    auto stone = writer.AddMaterial("Stone", "Lambert");
    auto unused = writer.AddMaterial("Unused");
    auto node = writer.AddMesh("Wall", mesh);
    writer.AssignMaterial(node, stone);
    writer.AssignMaterial(node, wood);
    (void)unused;
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    ASSERT_EQ(file.scene->GetMaterialCount(), 3);
    EXPECT_STREQ(file.scene->GetMaterial(0)->GetName(), "Wood");
    EXPECT_STREQ(file.scene->GetMaterial(1)->GetName(), "Stone");
    EXPECT_STREQ(file.scene->GetMaterial(2)->GetName(), "Unused");
    EXPECT_EQ(file.scene->GetMaterial(3), nullptr);
    EXPECT_EQ(file.scene->GetMaterial(1)->ShadingModel.Get(), FbxString("Lambert"));
    FbxNode* wall = file.Node("Wall");
    ASSERT_EQ(wall->GetMaterialCount(), 2);
    EXPECT_EQ(wall->GetMaterial(0), file.scene->GetMaterial(1));
    EXPECT_EQ(wall->GetMaterial(1), file.scene->GetMaterial(0));
    const FbxLayerElementMaterial* element = wall->GetMesh()->GetElementMaterial(0);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->GetMappingMode(), FbxLayerElement::eByPolygon);
    EXPECT_EQ(element->GetReferenceMode(), FbxLayerElement::eIndexToDirect);
    EXPECT_EQ(element->GetIndexArray().GetAt(0), 1);
    EXPECT_EQ(element->GetIndexArray().GetAt(1), 0);
    EXPECT_EQ(element->GetIndexArray().GetAt(2), 1);
    EXPECT_TRUE(file.scene->ConnectMaterials());
    EXPECT_EQ(wall->GetMaterialCount(), 2);
}

TEST(FbxScene, TexturesConnectToMaterialPropertiesByKind)
{
    fbxio::SceneWriter writer;
    auto material = writer.AddMaterial("Crate");
    auto bare = writer.AddMaterial("Bare");
    auto wood = writer.AddFileTexture("Wood", "C:\\art\\textures\\wood.png", "textures\\wood.png");
    auto normal = writer.AddFileTexture("WoodN", "/abs/wood_n.png", "textures/wood_n.png");
    auto noise = writer.AddProceduralTexture("Noise");
    auto a = writer.AddFileTexture("A", "a.png", "a.png");
    auto b = writer.AddFileTexture("B", "b.png", "b.png");
    auto layered = writer.AddLayeredTexture("Blend", { a, b });
    writer.ConnectTexture(wood, material, "DiffuseColor");
    writer.ConnectTexture(normal, material, "NormalMap");
    writer.ConnectTexture(noise, material, "SpecularColor");
    writer.ConnectTexture(layered, material, "EmissiveColor");
    writer.ConnectTexture(a, material, "EmissiveColor");
    auto node = writer.AddMesh("Box", fbxtest::Quad());
    writer.AssignMaterial(node, material);
    writer.AssignMaterial(node, bare);
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxSurfaceMaterial* crate = file.scene->GetMaterial(0);
    const FbxCriteria textures = FbxCriteria::ObjectType(FbxTexture::ClassId);
    const FbxCriteria layers = FbxCriteria::ObjectType(FbxLayeredTexture::ClassId);

    FbxProperty diffuse = crate->RootProperty.Find(FbxSurfaceMaterial::sDiffuse, true);
    ASSERT_TRUE(diffuse.IsValid());
    ASSERT_EQ(diffuse.GetSrcObjectCount(textures), 1);
    EXPECT_EQ(diffuse.GetSrcObjectCount(layers), 0);
    FbxObject* t = diffuse.GetSrcObject(textures, 0);
    ASSERT_TRUE(t->GetClassId().Is(FbxTexture::ClassId) && t->GetClassId().Is(FbxFileTexture::ClassId));
    EXPECT_STREQ(static_cast<FbxFileTexture*>(t)->GetFileName(), "C:\\art\\textures\\wood.png");
    EXPECT_STREQ(static_cast<FbxFileTexture*>(t)->GetRelativeFileName(), "textures\\wood.png");
    EXPECT_STREQ(
        crate->RootProperty.Find(FbxSurfaceMaterial::sNormalMap).GetSrcObject<FbxFileTexture>(0)->GetRelativeFileName(),
        "textures/wood_n.png");

    FbxObject* procedural = crate->FindProperty(FbxSurfaceMaterial::sSpecular).GetSrcObject(textures, 0);
    ASSERT_NE(procedural, nullptr);
    EXPECT_TRUE(procedural->GetClassId().Is(FbxTexture::ClassId));
    EXPECT_FALSE(procedural->GetClassId().Is(FbxFileTexture::ClassId));

    FbxProperty emissive = crate->FindProperty(FbxSurfaceMaterial::sEmissive);
    EXPECT_EQ(emissive.GetSrcObjectCount(layers), 1);
    EXPECT_EQ(emissive.GetSrcObjectCount(textures), 2); // the layered texture is a texture too
    auto* blend = emissive.GetSrcObject<FbxLayeredTexture>(0);
    ASSERT_NE(blend, nullptr);
    EXPECT_EQ(blend->GetSrcObjectCount<FbxFileTexture>(), 2);

    EXPECT_FALSE(crate->RootProperty.Find("diffusecolor", true).IsValid());
    EXPECT_TRUE(crate->RootProperty.Find("diffusecolor", false).IsValid());
    FbxSurfaceMaterial* plain = file.scene->GetMaterial(1);
    for (const char* slot : { FbxSurfaceMaterial::sEmissive, FbxSurfaceMaterial::sAmbient, FbxSurfaceMaterial::sDiffuse,
             FbxSurfaceMaterial::sSpecular, FbxSurfaceMaterial::sShininess, FbxSurfaceMaterial::sBump,
             FbxSurfaceMaterial::sNormalMap, FbxSurfaceMaterial::sTransparentColor, FbxSurfaceMaterial::sReflection,
             FbxSurfaceMaterial::sDisplacementColor, FbxSurfaceMaterial::sVectorDisplacementColor }) {
        FbxProperty p = plain->RootProperty.Find(slot, true);
        EXPECT_TRUE(p.IsValid()) << slot;
        EXPECT_EQ(p.GetSrcObjectCount(textures), 0) << slot;
    }
}

TEST(FbxScene, SkinsClustersAndSixInfluencesRoundTrip)
{
    fbxio::SceneWriter writer;
    auto root = writer.AddBone("Rig:Root");
    std::vector<fbxio::ObjectId> bones;
    for (int k = 0; k < 6; ++k)
        bones.push_back(writer.AddBone("Rig:Bone" + std::to_string(k), root));
    auto mesh = writer.AddMesh("Body", fbxtest::Quad());
    auto skin = writer.AddSkin(mesh);
    const double weights[6] = { 0.4, 0.2, 0.15, 0.1, 0.1, 0.05 };
    fbxio::Matrix link = fbxio::kIdentity, transform = fbxio::kIdentity;
    link[12] = 5; // bone bound at x = 5
    transform[13] = 2; // the mesh at y = 2
    for (int k = 0; k < 6; ++k)
        writer.AddCluster(skin, bones[std::size_t(k)], { 0, 2 }, { weights[k], 1.0 }, transform, link);
    // The file holds the mesh's bind matrix relative to the bone's, as the SDK and Blender write it:
    // the mesh is 5 to the bone's -x and 2 above it.
    const fbxio::Element document = writer.BuildDocument(7500);
    const fbxio::Element* stored = nullptr;
    for (const fbxio::Element& object : document.Find("Objects")->children)
        if (object.name == "Deformer" && object.Find("Transform") != nullptr)
            stored = object.Find("Transform");
    ASSERT_NE(stored, nullptr);
    std::vector<double> relative;
    std::string error;
    ASSERT_TRUE(fbxio::DecodeArray(stored->values[0], relative, error)) << error;
    ASSERT_EQ(relative.size(), 16u);
    EXPECT_DOUBLE_EQ(relative[12], -5.0);
    EXPECT_DOUBLE_EQ(relative[13], 2.0);
    Loaded file(writer.ToBinary(7500));
    ASSERT_TRUE(file.ok) << file.error;
    FbxMesh* body = file.Mesh("Body");
    ASSERT_EQ(body->GetDeformerCount(), 1);
    EXPECT_EQ(body->GetDeformerCount(FbxDeformer::eSkin), 1);
    auto* s = static_cast<FbxSkin*>(body->GetDeformer(0, FbxDeformer::eSkin, nullptr));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(body->GetDeformer(1, FbxDeformer::eSkin), nullptr);
    EXPECT_EQ(body->GetDeformer(0, FbxDeformer::eBlendShape), nullptr);
    ASSERT_EQ(s->GetClusterCount(), 6);
    for (int k = 0; k < 6; ++k) {
        FbxCluster* c = s->GetCluster(k);
        ASSERT_NE(c->GetLink(), nullptr);
        EXPECT_EQ(std::string(c->GetLink()->GetName()), "Rig:Bone" + std::to_string(k));
        ASSERT_EQ(c->GetControlPointIndicesCount(), 2);
        EXPECT_EQ(c->GetControlPointIndices()[1], 2);
        EXPECT_DOUBLE_EQ(c->GetControlPointWeights()[0], weights[k]);
        FbxAMatrix m;
        EXPECT_DOUBLE_EQ(c->GetTransformLinkMatrix(m).GetT()[0], 5.0);
        // The SDK gives it in the scene, as it was written.
        FbxAMatrix mesh;
        mesh.SetT(FbxVector4(0, 2, 0));
        EXPECT_EQ(c->GetTransformMatrix(m), mesh);
    }
    FbxNode* rootNode = file.Node("Rig:Root");
    EXPECT_EQ(rootNode->GetNodeAttribute()->GetAttributeType(), FbxNodeAttribute::eSkeleton);
    EXPECT_EQ(rootNode->GetChildCount(false), 6);
}

TEST(FbxScene, NodesKeepNamesAttributesAndChildOrder)
{
    fbxio::SceneWriter writer;
    writer.settings.title = "Hero";
    writer.settings.author = "Pel";
    auto hip = writer.AddBone("RigA:Hip");
    auto hip2 = writer.AddBone("RigB:Hip", hip);
    writer.AddNull("Hand_socket", hip2);
    writer.AddNull("Step_evt", hip2);
    writer.AddNull("Pivot", hip2);
    writer.AddMesh("Inner", fbxtest::Quad(), writer.AddMesh("Outer", fbxtest::Quad(), hip));
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxNode* root = file.scene->GetRootNode();
    ASSERT_EQ(root->GetChildCount(), 1);
    EXPECT_EQ(root->GetChildCount(true), 7);
    FbxNode* a = root->GetChild(0);
    EXPECT_STREQ(a->GetName(), "RigA:Hip");
    EXPECT_EQ(a->GetChild(2), nullptr);
    FbxNode* b = a->GetChild(0);
    EXPECT_STREQ(b->GetName(), "RigB:Hip");
    EXPECT_STREQ(a->GetChild(1)->GetName(), "Outer");
    EXPECT_EQ(a->GetChild(1)->GetChild(0)->GetNodeAttribute()->GetAttributeType(), FbxNodeAttribute::eMesh);
    ASSERT_EQ(b->GetChildCount(), 3);
    const char* names[] = { "Hand_socket", "Step_evt", "Pivot" };
    for (int k = 0; k < 3; ++k) {
        EXPECT_STREQ(b->GetChild(k)->GetName(), names[k]);
        EXPECT_EQ(b->GetChild(k)->GetNodeAttribute()->GetAttributeType(), FbxNodeAttribute::eNull);
        EXPECT_EQ(b->GetChild(k)->GetParent(), b);
    }
    EXPECT_NE(a->GetUniqueID(), b->GetUniqueID());
    EXPECT_EQ(static_cast<int>(FbxNodeAttribute::eNull), 1);
    EXPECT_EQ(static_cast<int>(FbxNodeAttribute::eSkeleton), 3);
    EXPECT_EQ(static_cast<int>(FbxNodeAttribute::eMesh), 4);
    EXPECT_EQ(static_cast<int>(FbxNodeAttribute::eLODGroup), 18);
    for (FbxDocumentInfo* info : { file.importer->GetSceneInfo(), file.scene->GetSceneInfo() }) {
        EXPECT_EQ(info->mTitle.Get(), FbxString("Hero"));
        EXPECT_EQ(info->mAuthor.Get(), FbxString("Pel"));
        EXPECT_EQ(info->Original_ApplicationName.Get(), FbxString("Tarnwick"));
        EXPECT_EQ(info->FindProperty("Original|ApplicationName").Get<FbxString>(), FbxString("Tarnwick"));
    }
}

TEST(FbxScene, LodGroupsGiveTheirThresholds)
{
    fbxio::SceneWriter writer;
    auto group = writer.AddLodGroup("Tree", { 250.0, 1000.0 });
    for (int k = 0; k < 3; ++k)
        writer.AddMesh("Tree_LOD" + std::to_string(k), fbxtest::Quad(), writer.AddNull("L" + std::to_string(k), group));
    Loaded file(writer.ToBinary());
    ASSERT_TRUE(file.ok) << file.error;
    FbxNode* tree = file.Node("Tree");
    ASSERT_EQ(tree->GetNodeAttribute()->GetAttributeType(), FbxNodeAttribute::eLODGroup);
    FbxLODGroup* lod = tree->GetLodGroup();
    ASSERT_NE(lod, nullptr);
    EXPECT_EQ(tree->GetMesh(), nullptr);
    EXPECT_EQ(lod->GetNumThresholds(), 2);
    FbxDistance d;
    ASSERT_TRUE(lod->GetThreshold(0, d));
    EXPECT_FLOAT_EQ(d.value(), 250.0f);
    ASSERT_TRUE(lod->GetThreshold(1, d));
    EXPECT_FLOAT_EQ(d.value(), 1000.0f);
    EXPECT_EQ(d.unitName(), FbxString("cm"));
    EXPECT_FALSE(lod->GetThreshold(2, d));
    EXPECT_FLOAT_EQ(FbxDistance().value(), 0.0f);
    EXPECT_EQ(tree->GetChildCount(), 3);
}

TEST(FbxScene, EveryUnitAndUpAxisIsReported)
{
    const std::pair<double, const FbxSystemUnit*> units[] = { { 0.1, &FbxSystemUnit::mm }, { 1.0, &FbxSystemUnit::cm },
        { 10.0, &FbxSystemUnit::dm }, { 100.0, &FbxSystemUnit::m }, { 2.54, &FbxSystemUnit::Inch },
        { 30.48, &FbxSystemUnit::Foot }, { 160934.4, &FbxSystemUnit::Mile }, { 91.44, &FbxSystemUnit::Yard } };
    for (auto [scale, unit] : units) {
        for (int up = 0; up < 3; ++up) {
            fbxio::SceneWriter writer;
            writer.settings.unitScale = scale;
            writer.settings.originalUnitScale = scale;
            writer.settings.upAxis = up;
            writer.settings.frontAxis = (up + 2) % 3;
            writer.settings.coordAxis = (up + 1) % 3;
            writer.settings.originalUpAxis = up;
            writer.AddMesh("Quad", fbxtest::Quad());
            Loaded file(writer.ToBinary());
            ASSERT_TRUE(file.ok) << file.error;
            const FbxGlobalSettings& g = file.scene->GetGlobalSettings();
            EXPECT_TRUE(g.GetSystemUnit() == *unit) << scale;
            EXPECT_TRUE(g.GetOriginalSystemUnit() == *unit) << scale;
            for (auto [other, otherUnit] : units) {
                if (other != scale) {
                    EXPECT_TRUE(g.GetOriginalSystemUnit() != *otherUnit);
                }
            }
            EXPECT_EQ(g.GetOriginalUpAxis(), up);
            int sign = 0;
            EXPECT_EQ(g.GetAxisSystem().GetUpVector(sign), static_cast<FbxAxisSystem::EUpVector>(up + 1));
            EXPECT_EQ(sign, 1);
        }
    }
    EXPECT_TRUE(FbxSystemUnit(2.5399999618530273) == FbxSystemUnit::Inch); // stored through a float
}

TEST(FbxScene, BrokenGraphsAreRepairedOrRejectedWithAMessage)
{
    fbxio::SceneWriter writer;
    auto a = writer.AddNull("A");
    writer.AddNull("B", a);
    fbxio::Element doc = writer.BuildDocument();
    fbxio::Element* connections = nullptr;
    for (auto& e : doc.children)
        if (e.name == "Connections")
            connections = &e;
    // A -> B would close a cycle; B -> root would give B a second parent; 999 does not exist.
    connections->Add("C", { fbxio::Value::String("OO"), fbxio::Value::Int(a, 'L'), fbxio::Value::Int(a + 1, 'L') });
    connections->Add("C", { fbxio::Value::String("OO"), fbxio::Value::Int(a + 1, 'L'), fbxio::Value::Int(0, 'L') });
    connections->Add("C", { fbxio::Value::String("OO"), fbxio::Value::Int(999, 'L'), fbxio::Value::Int(a, 'L') });
    Loaded file(fbxio::WriteBinary(doc));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.scene->GetRootNode()->GetChildCount(), 1);
    EXPECT_EQ(file.Node("B")->GetParent(), file.Node("A"));
    EXPECT_EQ(file.Node("A")->GetParent(), file.scene->GetRootNode());
    file.Node("B")->EvaluateGlobalTransform(); // terminates

    fbxio::SceneWriter deep;
    fbxio::ObjectId parent = fbxio::kSceneRoot;
    for (int k = 0; k < fbxio::kMaxNodeHierarchyDepth + 1; ++k)
        parent = deep.AddNull(std::to_string(k), parent);
    Loaded tooDeep(deep.ToBinary());
    EXPECT_FALSE(tooDeep.ok);
    EXPECT_NE(tooDeep.error.find("deeper than 512 levels"), std::string::npos) << tooDeep.error;

    fbxio::MeshData bad = fbxtest::Quad();
    bad.polygons = { { 0, 1, 7 } };
    fbxio::SceneWriter outOfRange;
    outOfRange.AddMesh("Bad", bad);
    Loaded broken(outOfRange.ToBinary());
    EXPECT_FALSE(broken.ok);
    EXPECT_NE(broken.error.find("refers to control point 7 of 4"), std::string::npos) << broken.error;
    EXPECT_EQ(broken.importer->GetStatus().GetCode(), FbxStatus::eInvalidFile);
}

TEST(FbxScene, ImporterRefusesMissingAndForeignFiles)
{
    FbxManager* manager = FbxManager::Create();
    FbxIOSettings* settings = FbxIOSettings::Create(manager, "Pel");
    settings->SetBoolProp("Import|AdvOptGrp|FileFormat|Fbx|Texture", false);
    EXPECT_FALSE(settings->GetBoolProp("Import|AdvOptGrp|FileFormat|Fbx|Texture", true));
    EXPECT_TRUE(settings->GetBoolProp("Import|AdvOptGrp|FileFormat|Fbx|Other", true));
    FbxImporter* importer = FbxImporter::Create(manager, "");
    EXPECT_FALSE(importer->Initialize("/nonexistent/file.fbx", -1, settings));
    EXPECT_TRUE(importer->GetStatus().Error());
    EXPECT_NE(std::string(importer->GetStatus().GetErrorString()).find("cannot open"), std::string::npos);
    std::string png = fbxtest::WriteTempFile({ 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13 });
    EXPECT_FALSE(importer->Initialize(png.c_str(), -1, settings));
    EXPECT_FALSE(importer->IsFBX());
    FbxScene* scene = FbxScene::Create(manager, "The Scene");
    EXPECT_FALSE(importer->Import(scene, false));
    std::remove(png.c_str());
    scene->Destroy(false);
    importer->Destroy(false);
    manager->Destroy(); // destroys the settings it still owns
}

namespace {

fbxio::Value Text(const std::string& text)
{
    return fbxio::Value::String(text);
}

// Adds a P line to the property template of the type `typeName` ("Model", "Material", ...), making
// the template when the file has none for that type.
void AddToTemplate(fbxio::Element& doc, const std::string& typeName, std::vector<fbxio::Value> line)
{
    for (auto& top : doc.children) {
        if (top.name != "Definitions")
            continue;
        fbxio::Element* type = nullptr;
        for (auto& candidate : top.children)
            if (candidate.name == "ObjectType" && candidate.values[0].AsString() == typeName)
                type = &candidate;
        if (!type) {
            type = &top.Add("ObjectType", { Text(typeName) });
            type->Add("PropertyTemplate", { Text("Fbx" + typeName) }).Add("Properties70");
        }
        for (auto& t : type->children)
            if (t.name == "PropertyTemplate")
                t.children[0].Add("P", std::move(line));
        return;
    }
}

} // namespace

TEST(FbxScene, DefinitionTemplatesSupplyDefaultsThatObjectsOverride)
{
    fbxio::SceneWriter writer;
    writer.AddNull("Defaulted");
    auto own = writer.AddNull("Own");
    writer.TransformOf(own).translation = { 1, 2, 3 };
    writer.AddNull("Other");
    auto material = writer.AddMaterial("Wood");
    auto texture = writer.AddFileTexture("Grain", "grain.png", "grain.png");
    writer.ConnectTexture(texture, material, "Custom");
    fbxio::Element doc = writer.BuildDocument();
    AddToTemplate(doc, "Model",
        { Text("Lcl Translation"), Text("Lcl Translation"), Text(""), Text("A"), fbxio::Value::Double(7),
            fbxio::Value::Double(8), fbxio::Value::Double(9) });
    // One number of three: the class's other two stay.
    AddToTemplate(
        doc, "Model", { Text("Lcl Scaling"), Text("Lcl Scaling"), Text(""), Text("A"), fbxio::Value::Double(2) });
    AddToTemplate(doc, "Model", { Text("Weight"), Text("double"), Text("Number"), Text("A"), fbxio::Value::Double(5) });
    AddToTemplate(doc, "Material", { Text("Custom"), Text("KString"), Text(""), Text(""), Text("from the template") });
    Loaded file(fbxio::WriteBinary(doc));
    ASSERT_TRUE(file.ok) << file.error;

    FbxDouble3 t = file.Node("Defaulted")->LclTranslation.Get();
    EXPECT_EQ(t[0], 7);
    EXPECT_EQ(t[2], 9);
    t = file.Node("Own")->LclTranslation.Get();
    EXPECT_EQ(t[0], 1);
    EXPECT_EQ(t[2], 3);
    const FbxDouble3 s = file.Node("Defaulted")->LclScaling.Get();
    EXPECT_EQ(s[0], 2);
    EXPECT_EQ(s[1], 1);
    EXPECT_EQ(s[2], 1);
    // A property only the template has is every object's of that type, found by name, and no other
    // type's.
    for (const char* name : { "Defaulted", "Own", "Other" })
        EXPECT_EQ(file.Node(name)->FindProperty("Weight").Get<double>(), 5.0) << name;
    EXPECT_FALSE(file.scene->GetMaterial(0)->FindProperty("Weight").IsValid());

    // Setting a shared property changes only the object it is set on, through every handle on it.
    FbxNode* other = file.Node("Other");
    FbxProperty weight = other->FindProperty("Weight");
    EXPECT_EQ(weight.GetPropertyDataTypeName(), FbxString("double"));
    EXPECT_TRUE(weight.Set(6.0));
    EXPECT_EQ(other->FindProperty("Weight").Get<double>(), 6.0);
    EXPECT_EQ(file.Node("Defaulted")->FindProperty("Weight").Get<double>(), 5.0);
    FbxPropertyT<FbxDouble3> translation = other->LclTranslation;
    EXPECT_TRUE(other->FindProperty("Lcl Translation").Set(FbxDouble3(4, 5, 6)));
    EXPECT_EQ(translation.Get()[1], 5);
    EXPECT_EQ(file.Node("Defaulted")->LclTranslation.Get()[1], 8);

    // A texture connected to a property the material inherits is that material's alone, and the
    // property keeps the template's value.
    FbxProperty custom = file.scene->GetMaterial(0)->FindProperty("Custom");
    EXPECT_EQ(custom.Get<FbxString>(), FbxString("from the template"));
    ASSERT_EQ(custom.GetSrcObjectCount(FbxCriteria::ObjectType(FbxFileTexture::ClassId)), 1);
    EXPECT_STREQ(custom.GetSrcObject<FbxFileTexture>()->GetFileName(), "grain.png");
}

TEST(FbxScene, LodThresholdsMayComeFromTheTemplate)
{
    fbxio::SceneWriter writer;
    writer.AddLodGroup("Near", { 250.0 });
    writer.AddLodGroup("Far", {});
    fbxio::Element doc = writer.BuildDocument();
    AddToTemplate(doc, "NodeAttribute",
        { Text("Thresholds|Level0"), Text("Distance"), Text(""), Text(""), fbxio::Value::Double(600), Text("cm") });
    AddToTemplate(doc, "NodeAttribute",
        { Text("Thresholds|Level1"), Text("Distance"), Text(""), Text(""), fbxio::Value::Double(900), Text("cm") });
    Loaded file(fbxio::WriteBinary(doc));
    ASSERT_TRUE(file.ok) << file.error;
    FbxDistance d;
    // Its own first level, the template's second.
    FbxLODGroup* near = file.Node("Near")->GetLodGroup();
    ASSERT_EQ(near->GetNumThresholds(), 2);
    ASSERT_TRUE(near->GetThreshold(0, d));
    EXPECT_FLOAT_EQ(d.value(), 250.0f);
    ASSERT_TRUE(near->GetThreshold(1, d));
    EXPECT_FLOAT_EQ(d.value(), 900.0f);
    FbxLODGroup* far = file.Node("Far")->GetLodGroup();
    ASSERT_EQ(far->GetNumThresholds(), 2);
    ASSERT_TRUE(far->GetThreshold(0, d));
    EXPECT_FLOAT_EQ(d.value(), 600.0f);
}

namespace {

// Where the first array value of the element named `name` keeps its compressed bytes in `bytes`.
std::size_t CompressedArrayOffset(
    const std::vector<std::uint8_t>& bytes, const fbxio::Element& e, const std::string& name)
{
    if (e.name == name && !e.values.empty() && e.values[0].external)
        return std::size_t(e.values[0].external - bytes.data());
    for (const fbxio::Element& child : e.children)
        if (std::size_t offset = CompressedArrayOffset(bytes, child, name))
            return offset;
    return 0;
}

} // namespace

TEST(FbxScene, LargeMeshesDecodeTheirArraysTogetherAndReportTheFirstBrokenOne)
{
    // Enough data (over 4 MB decoded) for the arrays to be inflated on several threads at once.
    constexpr int kSize = 180;
    fbxio::MeshData mesh;
    LayerElement normals = Layer(LayerKind::Normal, Mapping::ByPolygonVertex, Reference::Direct, {});
    LayerElement uv = Layer(LayerKind::UV, Mapping::ByPolygonVertex, Reference::IndexToDirect, {});
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            mesh.points.insert(mesh.points.end(), { double(x), double(y), std::sin(x * 0.1) * y });
            uv.values.insert(uv.values.end(), { x * 0.01, y * 0.02 });
        }
    for (int y = 0; y + 1 < kSize; ++y)
        for (int x = 0; x + 1 < kSize; ++x) {
            const int a = y * kSize + x;
            for (const std::vector<int>& triangle :
                { std::vector<int> { a, a + 1, a + kSize + 1 }, std::vector<int> { a, a + kSize + 1, a + kSize } }) {
                mesh.polygons.push_back(triangle);
                for (int cp : triangle) {
                    const double corner = double(normals.values.size() / 3);
                    normals.values.insert(normals.values.end(), { std::cos(corner), std::sin(corner), corner });
                    uv.indices.push_back(cp);
                }
            }
        }
    mesh.layers = { normals, uv };
    fbxio::SceneWriter writer;
    writer.AddMesh("Terrain", mesh);
    const std::vector<std::uint8_t> bytes = writer.ToBinary(7400, true);
    {
        Loaded file(bytes);
        ASSERT_TRUE(file.ok) << file.error;
        FbxMesh* m = file.Mesh("Terrain");
        ASSERT_EQ(m->GetControlPointsCount(), kSize * kSize);
        for (int cp = 0; cp < kSize * kSize; ++cp) {
            FbxVector4 p = m->GetControlPointAt(cp);
            ASSERT_TRUE(p == FbxVector4(mesh.points[3 * cp], mesh.points[3 * cp + 1], mesh.points[3 * cp + 2], 1.0))
                << cp;
        }
        ASSERT_EQ(m->GetPolygonCount(), int(mesh.polygons.size()));
        const auto* n = m->GetElementNormal(0);
        const auto* u = m->GetElementUV(0);
        ASSERT_EQ(n->GetDirectArray().GetCount(), m->GetPolygonVertexCount());
        for (int pv = 0; pv < m->GetPolygonVertexCount(); ++pv) {
            ASSERT_EQ(m->GetPolygonVertex(pv / 3, pv % 3), mesh.polygons[std::size_t(pv / 3)][std::size_t(pv % 3)]);
            ASSERT_TRUE(n->GetDirectArray().GetAt(pv) == FbxVector4(std::cos(pv), std::sin(pv), pv, 0.0)) << pv;
            ASSERT_EQ(u->GetIndexArray().GetAt(pv), uv.indices[std::size_t(pv)]);
        }
        ASSERT_EQ(u->GetDirectArray().GetCount(), kSize * kSize);
        EXPECT_EQ(u->GetDirectArray().GetAt(kSize + 3)[0], 0.03);
    }

    // A broken array is reported with its own element, and when two are broken the first in the file
    // wins, as when the arrays were read one after the other.
    fbxio::Document document;
    std::string error;
    ASSERT_TRUE(fbxio::ReadBinary(bytes.data(), bytes.size(), document, error)) << error;
    const std::size_t normalsAt = CompressedArrayOffset(bytes, document.root, "Normals");
    const std::size_t verticesAt = CompressedArrayOffset(bytes, document.root, "Vertices");
    ASSERT_GT(normalsAt, verticesAt);
    ASSERT_GT(verticesAt, 0u);
    std::vector<std::uint8_t> broken = bytes;
    for (int k = 64; k < 96; ++k)
        broken[normalsAt + std::size_t(k)] ^= 0x5A;
    {
        Loaded file(broken);
        EXPECT_FALSE(file.ok);
        EXPECT_NE(file.error.find("'Normals'"), std::string::npos) << file.error;
    }
    for (int k = 64; k < 96; ++k)
        broken[verticesAt + std::size_t(k)] ^= 0x5A;
    {
        Loaded file(broken);
        EXPECT_FALSE(file.ok);
        EXPECT_NE(file.error.find("'Vertices'"), std::string::npos) << file.error;
    }
}

TEST(FbxScene, ResizingALayerArrayGivesZeroValuesWhereverItsMemoryWasUsedBefore)
{
    // The arrays keep their memory when they shrink, and the reader's own decoding grows them without
    // writing; Resize must still give zero values, as it always has.
    fbxsdk::FbxLayerElementArrayTemplate<fbxsdk::FbxVector4> normals;
    for (int k = 0; k < 8; ++k)
        normals.Add(fbxsdk::FbxVector4(k + 1.0, -2.0, 3.0, 4.0));
    normals.Resize(2);
    normals.Resize(8);
    ASSERT_EQ(normals.GetCount(), 8);
    EXPECT_EQ(normals.GetAt(1)[0], 2.0);
    for (int k = 2; k < 8; ++k)
        for (int axis = 0; axis < 4; ++axis)
            EXPECT_EQ(normals.GetAt(k)[axis], 0.0) << k << " " << axis;

    fbxsdk::FbxLayerElementArrayTemplate<fbxsdk::FbxColor> colors;
    colors.Add(fbxsdk::FbxColor(0.5, 0.5, 0.5, 0.25));
    colors.Resize(0);
    colors.Resize(1);
    EXPECT_EQ(colors.GetAt(0).mRed, 0.0);
    EXPECT_EQ(colors.GetAt(0).mAlpha, 1.0); // a default colour is opaque
}
