// Unit and axis conversion of a whole scene.
#include "Source/FbxTransformMath.h"

#include <fbxsdk.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

namespace fbxsdk {

// ---- Units: scale factors are centimetres per unit.

const FbxSystemUnit::ConversionOptions FbxSystemUnit::DefaultConversionOptions = { true, true, true, true, true, true };
const FbxSystemUnit FbxSystemUnit::mm(0.1);
const FbxSystemUnit FbxSystemUnit::cm(1.0);
const FbxSystemUnit FbxSystemUnit::dm(10.0);
const FbxSystemUnit FbxSystemUnit::m(100.0);
const FbxSystemUnit FbxSystemUnit::km(100000.0);
const FbxSystemUnit FbxSystemUnit::Inch(2.54);
const FbxSystemUnit FbxSystemUnit::Foot(30.48);
const FbxSystemUnit FbxSystemUnit::Mile(160934.4);
const FbxSystemUnit FbxSystemUnit::Yard(91.44);

double FbxSystemUnit::GetConversionFactorTo(const FbxSystemUnit& target) const
{
    double to = target.mScaleFactor * target.mMultiplier;
    return to != 0.0 ? mScaleFactor * mMultiplier / to : 1.0;
}

bool FbxSystemUnit::operator==(const FbxSystemUnit& other) const
{
    auto close = [](double a, double b) { return std::fabs(a - b) <= 1e-6 * std::max(std::fabs(a), std::fabs(b)); };
    return close(mScaleFactor, other.mScaleFactor) && close(mMultiplier, other.mMultiplier);
}

namespace {

void ScaleVector(FbxPropertyT<FbxDouble3>& p, double f)
{
    FbxDouble3 v = p.Get();
    p.Set(FbxDouble3(v[0] * f, v[1] * f, v[2] * f));
}

std::set<FbxCluster*> SceneClusters(FbxScene* scene)
{
    std::set<FbxCluster*> clusters;
    for (int g = 0; g < scene->GetGeometryCount(); ++g) {
        FbxMesh* mesh = scene->GetMesh(g);
        for (int d = 0; d < mesh->GetDeformerCount(FbxDeformer::eSkin); ++d) {
            auto* skin = static_cast<FbxSkin*>(mesh->GetDeformer(d, FbxDeformer::eSkin));
            for (int c = 0; c < skin->GetClusterCount(); ++c)
                clusters.insert(skin->GetCluster(c));
        }
    }
    return clusters;
}

} // namespace

namespace {

// A global transform in the old unit, as the same transform in the new one: distances scale by f,
// directions do not. (For a uniform scale S, S M S^-1 keeps M's linear part and scales its offset.)
FbxAMatrix ScaleDistances(const FbxAMatrix& m, double f)
{
    FbxAMatrix scaled = m;
    const FbxVector4 t = m.GetT();
    scaled.SetT(FbxVector4(t[0] * f, t[1] * f, t[2] * f));
    return scaled;
}

void ScaleDistancesOfNode(FbxNode& node, double f)
{
    for (auto* p : { &node.LclTranslation, &node.RotationOffset, &node.RotationPivot, &node.ScalingOffset,
             &node.ScalingPivot, &node.GeometricTranslation })
        ScaleVector(*p, f);
}

} // namespace

// The whole scene is converted, geometry included: every distance (control points, node
// translations, pivots and offsets, bind matrices' translations) is multiplied by the conversion
// factor, while scales and rotations stay. The import reads control points without node
// transforms, so a conversion that only scaled the nodes would leave the geometry in the file's
// unit. Skins stay consistent: a bind pose still maps its control points onto themselves.
void FbxSystemUnit::ConvertScene(FbxScene* scene, const ConversionOptions& options) const
{
    if (!scene)
        return;
    FbxGlobalSettings& settings = scene->GetGlobalSettings();
    double f = settings.GetSystemUnit().GetConversionFactorTo(*this);
    if (!(std::fabs(f - 1.0) > 1e-12) || !std::isfinite(f)) {
        settings.SetSystemUnit(*this);
        return;
    }
    for (int n = 0; n < scene->GetNodeCount(); ++n)
        if (FbxNode* node = scene->GetNode(n); node != scene->GetRootNode())
            ScaleDistancesOfNode(*node, f);
    for (int g = 0; g < scene->GetGeometryCount(); ++g) {
        FbxMesh* mesh = scene->GetMesh(g);
        FbxVector4* points = mesh->GetControlPoints();
        for (int k = 0; k < mesh->GetControlPointsCount(); ++k)
            points[k] = FbxVector4(points[k][0] * f, points[k][1] * f, points[k][2] * f, points[k][3]);
    }
    if (options.mConvertClusters) {
        for (FbxCluster* cluster : SceneClusters(scene)) {
            FbxAMatrix m;
            cluster->SetTransformMatrix(ScaleDistances(cluster->GetTransformMatrix(m), f));
            cluster->SetTransformLinkMatrix(ScaleDistances(cluster->GetTransformLinkMatrix(m), f));
        }
    }
    settings.SetSystemUnit(*this);
}

// ---- Axis systems

const FbxAxisSystem FbxAxisSystem::MayaZUp(eMayaZUp);
const FbxAxisSystem FbxAxisSystem::MayaYUp(eMayaYUp);
const FbxAxisSystem FbxAxisSystem::Max(eMax);
const FbxAxisSystem FbxAxisSystem::Motionbuilder(eMotionBuilder);
const FbxAxisSystem FbxAxisSystem::OpenGL(eOpenGL);
const FbxAxisSystem FbxAxisSystem::DirectX(eDirectX);
const FbxAxisSystem FbxAxisSystem::Lightwave(eLightwave);

FbxAxisSystem::FbxAxisSystem()
{
    Resolve();
}

FbxAxisSystem::FbxAxisSystem(EUpVector up, EFrontVector front, ECoordSystem coord)
    : mUp(up)
    , mFront(front)
    , mCoord(coord)
{
    Resolve();
}

FbxAxisSystem::FbxAxisSystem(EPreDefinedAxisSystem predefined)
{
    switch (predefined) {
    case eMayaZUp:
    case eMax: mUp = eZAxis, mFront = -eParityOdd, mCoord = eRightHanded; break;
    case eDirectX:
    case eLightwave: mUp = eYAxis, mFront = eParityOdd, mCoord = eLeftHanded; break;
    default: mUp = eYAxis, mFront = eParityOdd, mCoord = eRightHanded; break;
    }
    Resolve();
}

namespace {
int Handedness(const FbxAxisSystem::Axes& a)
{
    double coord[3] = { 0, 0, 0 }, up[3] = { 0, 0, 0 }, front[3] = { 0, 0, 0 };
    coord[a.coord] = a.coordSign;
    up[a.up] = a.upSign;
    front[a.front] = a.frontSign;
    double cross[3] = { coord[1] * up[2] - coord[2] * up[1], coord[2] * up[0] - coord[0] * up[2],
        coord[0] * up[1] - coord[1] * up[0] };
    return cross[0] * front[0] + cross[1] * front[1] + cross[2] * front[2] > 0 ? 1 : -1;
}
} // namespace

void FbxAxisSystem::Resolve()
{
    int up = std::abs(mUp);
    up = up >= 1 && up <= 3 ? up - 1 : 1;
    int first = up == 0 ? 1 : 0, second = up == 2 ? 1 : 2;
    mAxes.up = up;
    mAxes.upSign = mUp < 0 ? -1 : 1;
    mAxes.front = std::abs(mFront) == eParityEven ? first : second;
    mAxes.frontSign = mFront < 0 ? -1 : 1;
    mAxes.coord = 3 - mAxes.up - mAxes.front;
    mAxes.coordSign = 1;
    // The third axis keeps its positive direction and the front flips to give the requested
    // handedness: a left-handed Y-up system is X right, Y up, Z away from the viewer.
    int wanted = mCoord == eRightHanded ? 1 : -1;
    if (Handedness(mAxes) != wanted)
        mAxes.frontSign = -mAxes.frontSign;
}

FbxAxisSystem FbxAxisSystem::FromAxes(const Axes& axes)
{
    FbxAxisSystem system;
    Axes a = axes;
    auto valid = [](int axis) { return axis >= 0 && axis <= 2; };
    if (!valid(a.up) || !valid(a.front) || !valid(a.coord) || a.up == a.front || a.up == a.coord || a.front == a.coord)
        return system; // a file with unusable axes is read as Y up, right-handed
    a.upSign = a.upSign < 0 ? -1 : 1;
    a.frontSign = a.frontSign < 0 ? -1 : 1;
    a.coordSign = a.coordSign < 0 ? -1 : 1;
    int first = a.up == 0 ? 1 : 0;
    system.mUp = (a.up + 1) * a.upSign;
    system.mFront = (a.front == first ? eParityEven : eParityOdd) * a.frontSign;
    system.mCoord = Handedness(a) > 0 ? eRightHanded : eLeftHanded;
    system.mAxes = a;
    return system;
}

bool FbxAxisSystem::operator==(const FbxAxisSystem& o) const
{
    const Axes &a = mAxes, &b = o.mAxes;
    return a.up == b.up && a.upSign == b.upSign && a.front == b.front && a.frontSign == b.frontSign
        && a.coord == b.coord && a.coordSign == b.coordSign;
}

FbxAxisSystem::EUpVector FbxAxisSystem::GetUpVector(int& sign) const
{
    sign = mUp < 0 ? -1 : 1;
    return static_cast<EUpVector>(std::abs(mUp));
}

FbxAxisSystem::EFrontVector FbxAxisSystem::GetFrontVector(int& sign) const
{
    sign = mFront < 0 ? -1 : 1;
    return static_cast<EFrontVector>(std::abs(mFront));
}

FbxAxisSystem::ECoordSystem FbxAxisSystem::GetCoorSystem() const
{
    return mCoord;
}

namespace {

using internal::Matrix3;

// Maps coordinates of the source system to the target: each of the three semantic axes
// (right, up, front) of the source lands on the same axis of the target.
Matrix3 ConversionMatrix(const FbxAxisSystem::Axes& from, const FbxAxisSystem::Axes& to)
{
    Matrix3 c {};
    c.m[to.coord][from.coord] += to.coordSign * from.coordSign;
    c.m[to.up][from.up] += to.upSign * from.upSign;
    c.m[to.front][from.front] += to.frontSign * from.frontSign;
    return c;
}

FbxDouble3 Apply(const Matrix3& c, const FbxDouble3& v)
{
    FbxDouble3 r;
    for (int row = 0; row < 3; ++row)
        r[row] = c.m[row][0] * v[0] + c.m[row][1] * v[1] + c.m[row][2] * v[2];
    return r;
}

void ConvertVector(FbxPropertyT<FbxDouble3>& p, const Matrix3& c)
{
    p.Set(Apply(c, p.Get()));
}

void ConvertScaling(FbxPropertyT<FbxDouble3>& p, const Matrix3& c)
{
    FbxDouble3 s = p.Get(), r = s;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            if (c.m[row][col] != 0.0)
                r[row] = s[col];
    p.Set(r);
}

void ConvertRotation(FbxPropertyT<FbxDouble3>& p, const Matrix3& c, EFbxRotationOrder order)
{
    FbxDouble3 v = p.Get();
    if (v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0)
        return;
    const double angles[3] = { v[0], v[1], v[2] };
    Matrix3 converted = c * internal::EulerToMatrix(angles, order) * c.Transposed();
    double result[3];
    internal::MatrixToEuler(converted, order, result);
    p.Set(FbxDouble3(result[0], result[1], result[2]));
}

double Determinant(const Matrix3& c)
{
    const auto& m = c.m;
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// A change of basis for arrays of millions of vectors: the matrix is held by value, so writing the
// converted doubles cannot be taken to change it, and it stays in registers instead of being read
// again for every vector. The arithmetic is Apply's, term for term.
class BasisChange {
public:
    explicit BasisChange(const Matrix3& c)
        : m(c)
    {
    }

    // The first three components of `v` in the new basis; the rest are left as they are.
    void ApplyTo(double* v) const
    {
        const double x = v[0], y = v[1], z = v[2];
        v[0] = m.m[0][0] * x + m.m[0][1] * y + m.m[0][2] * z;
        v[1] = m.m[1][0] * x + m.m[1][1] * y + m.m[1][2] * z;
        v[2] = m.m[2][0] * x + m.m[2][1] * y + m.m[2][2] * z;
    }

private:
    const Matrix3 m;
};

// Puts the corners of every polygon of one mesh in the opposite order, the first corner kept
// ([a, b, c, d] becomes [a, d, c, b]), in any array with one entry per polygon vertex. A mesh of
// triangles only (every mesh, once triangulated) is done with a plain swap in each three.
class CornerReversal {
public:
    explicit CornerReversal(const FbxMesh& mesh)
        : mesh(mesh)
        , corners(static_cast<std::size_t>(mesh.GetPolygonVertexCount()))
        , triangles(AllTriangles(mesh))
    {
    }

    // Whether an array of `count` entries is turned by swapping the last two of every three.
    bool SwapsTriangles(std::size_t count) const { return triangles && count == corners; }

    // A shorter array than the mesh's corners (a broken file) is turned as far as it reaches.
    template <class T>
    void Apply(T* items, std::size_t count) const
    {
        if (SwapsTriangles(count)) {
            for (std::size_t k = 0; k < count; k += 3)
                std::swap(items[k + 1], items[k + 2]);
            return;
        }
        for (int p = 0; p < mesh.GetPolygonCount(); ++p) {
            const int first = mesh.GetPolygonVertexIndex(p);
            const int size = mesh.GetPolygonSize(p);
            if (first < 0 || size < 3 || static_cast<std::size_t>(first) + static_cast<std::size_t>(size) > count)
                continue;
            std::reverse(items + first + 1, items + first + size);
        }
    }

    template <class T, class A>
    void Apply(std::vector<T, A>& items) const
    {
        Apply(items.data(), items.size());
    }

    // A polygon-vertex element follows its corners: its values when direct, its indices otherwise.
    template <class Element>
    void ApplyTo(Element* element) const
    {
        if (element == nullptr || element->GetMappingMode() != FbxLayerElement::eByPolygonVertex)
            return;
        if (element->GetReferenceMode() == FbxLayerElement::eDirect)
            Apply(element->GetDirectArray().Items());
        else
            Apply(element->GetIndexArray().Items());
    }

private:
    static bool AllTriangles(const FbxMesh& mesh)
    {
        if (mesh.GetPolygonVertexCount() != 3 * mesh.GetPolygonCount())
            return false;
        for (int p = 0; p < mesh.GetPolygonCount(); ++p)
            if (mesh.GetPolygonSize(p) != 3)
                return false;
        return true;
    }

    const FbxMesh& mesh;
    const std::size_t corners;
    const bool triangles;
};

// Normals, tangents or binormals in the new basis; after a mirror (`reversal` set) in the reversed
// corner order too, in the same pass over the array where the mesh is triangles.
template <class Element>
void ConvertDirections(Element* element, const Matrix3& c, const CornerReversal* reversal)
{
    if (!element)
        return;
    auto& items = element->GetDirectArray().Items();
    const BasisChange change(c);
    auto convert = [&change](FbxVector4& v) { change.ApplyTo(v.mData); };
    const bool reversedHere = reversal != nullptr && element->GetMappingMode() == FbxLayerElement::eByPolygonVertex
        && element->GetReferenceMode() == FbxLayerElement::eDirect && reversal->SwapsTriangles(items.size());
    if (reversedHere) {
        for (std::size_t k = 0; k < items.size(); k += 3) {
            convert(items[k]);
            convert(items[k + 1]);
            convert(items[k + 2]);
            std::swap(items[k + 1], items[k + 2]);
        }
        return;
    }
    for (FbxVector4& v : items)
        convert(v);
    if (reversal != nullptr)
        reversal->ApplyTo(element);
}

// Control points and everything stored per corner in the new basis. A mirror turns every face
// inside out (what was counter-clockwise seen from outside becomes clockwise), so after one each
// polygon's corners, and everything stored per corner with them, are reversed: faces keep facing the
// way their normals say.
void ConvertMesh(FbxMesh& mesh, const Matrix3& c, bool mirrors)
{
    FbxVector4* points = mesh.GetControlPoints();
    const BasisChange change(c);
    for (int k = 0; k < mesh.GetControlPointsCount(); ++k)
        change.ApplyTo(points[k].mData);
    const CornerReversal reversal(mesh);
    const CornerReversal* reversed = mirrors ? &reversal : nullptr;
    for (int e = 0; e < mesh.GetElementNormalCount(); ++e)
        ConvertDirections(mesh.GetElementNormal(e), c, reversed);
    for (int e = 0; e < mesh.GetElementTangentCount(); ++e)
        ConvertDirections(mesh.GetElementTangent(e), c, reversed);
    for (int e = 0; e < mesh.GetElementBinormalCount(); ++e)
        ConvertDirections(mesh.GetElementBinormal(e), c, reversed);
    if (!mirrors)
        return;
    reversal.Apply(mesh.GetPolygonVertices(), static_cast<std::size_t>(mesh.GetPolygonVertexCount()));
    for (int e = 0; e < mesh.GetElementUVCount(); ++e)
        reversal.ApplyTo(mesh.GetElementUV(e));
    for (int e = 0; e < mesh.GetElementVertexColorCount(); ++e)
        reversal.ApplyTo(mesh.GetElementVertexColor(e));
}

FbxAMatrix Conjugate(const FbxAMatrix& m, const Matrix3& c)
{
    FbxVector4 t = m.GetT();
    FbxDouble3 converted = Apply(c, FbxDouble3(t[0], t[1], t[2]));
    return internal::Compose(
        c * internal::LinearPart(m) * c.Transposed(), FbxVector4(converted[0], converted[1], converted[2]));
}

} // namespace

void FbxAxisSystem::DeepConvertScene(FbxScene* scene) const
{
    if (!scene)
        return;
    FbxGlobalSettings& settings = scene->GetGlobalSettings();
    Matrix3 c = ConversionMatrix(settings.GetAxisSystem().GetAxes(), mAxes);
    settings.SetAxisSystem(*this);
    bool identity = true;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            identity = identity && c.m[y][x] == (x == y ? 1.0 : 0.0);
    if (identity)
        return;
    const bool mirrors = Determinant(c) < 0.0;

    // Every node's local transform is conjugated by the change of basis, so global transforms
    // become C * G * C^-1 all the way down.
    for (int n = 0; n < scene->GetNodeCount(); ++n) {
        FbxNode* node = scene->GetNode(n);
        if (node == scene->GetRootNode())
            continue;
        // The order the node is evaluated with: XYZ where its rotation is not active.
        const EFbxRotationOrder order = internal::EffectiveRotation(*node, FbxNode::eSourcePivot).order;
        for (auto* p : { &node->LclTranslation, &node->RotationOffset, &node->RotationPivot, &node->ScalingOffset,
                 &node->ScalingPivot, &node->GeometricTranslation })
            ConvertVector(*p, c);
        ConvertRotation(node->LclRotation, c, order);
        ConvertRotation(node->PreRotation, c, eEulerXYZ);
        ConvertRotation(node->PostRotation, c, eEulerXYZ);
        ConvertRotation(node->GeometricRotation, c, eEulerXYZ);
        ConvertScaling(node->LclScaling, c);
        ConvertScaling(node->GeometricScaling, c);
    }
    for (int g = 0; g < scene->GetGeometryCount(); ++g)
        ConvertMesh(*scene->GetMesh(g), c, mirrors);
    for (FbxCluster* cluster : SceneClusters(scene)) {
        FbxAMatrix m;
        cluster->SetTransformMatrix(Conjugate(cluster->GetTransformMatrix(m), c));
        cluster->SetTransformLinkMatrix(Conjugate(cluster->GetTransformLinkMatrix(m), c));
    }
}

} // namespace fbxsdk
