// Vectors and the affine matrix. Storage follows the SDK: mData[r] is row r, translation in
// row 3; mathematically the rows are the matrix's columns (points are multiplied on the right).
#include "Source/FbxTransformMath.h"

#include <fbxsdk.h>

#include <cmath>

namespace fbxsdk {

double FbxVector4::Length() const
{
    return std::sqrt(DotProduct(*this));
}
double FbxVector4::Normalize()
{
    double length = Length();
    if (length > 0) {
        mData[0] /= length;
        mData[1] /= length;
        mData[2] /= length;
    }
    return length;
}

FbxAMatrix::FbxAMatrix()
{
    SetIdentity();
}

FbxAMatrix::FbxAMatrix(const FbxVector4& t, const FbxVector4& r, const FbxVector4& s)
{
    SetTRS(t, r, s);
}

void FbxAMatrix::SetIdentity()
{
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            mData[y][x] = x == y ? 1.0 : 0.0;
}

void FbxAMatrix::SetT(const FbxVector4& t)
{
    mData[3] = FbxVector4(t[0], t[1], t[2], 1.0);
}

void FbxAMatrix::SetR(const FbxVector4& r)
{
    FbxVector4 t = GetT();
    SetTRS(t, r, FbxVector4(1, 1, 1));
}

void FbxAMatrix::SetS(const FbxVector4& s)
{
    FbxVector4 t = GetT();
    SetTRS(t, FbxVector4(0, 0, 0), s);
}

void FbxAMatrix::SetTRS(const FbxVector4& t, const FbxVector4& r, const FbxVector4& s)
{
    const double angles[3] = { r[0], r[1], r[2] };
    internal::Matrix3 rotation = internal::EulerToMatrix(angles, eEulerXYZ);
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row)
            mData[c][row] = rotation.m[row][c] * s[c];
        mData[c][3] = 0.0;
    }
    mData[3] = FbxVector4(t[0], t[1], t[2], 1.0);
}

FbxVector4 FbxAMatrix::GetT() const
{
    return FbxVector4(mData[3][0], mData[3][1], mData[3][2], 1.0);
}

FbxVector4 FbxAMatrix::GetS() const
{
    double sign = Determinant() < 0 ? -1.0 : 1.0;
    FbxVector4 s;
    for (int c = 0; c < 3; ++c)
        s[c] = sign * std::sqrt(mData[c][0] * mData[c][0] + mData[c][1] * mData[c][1] + mData[c][2] * mData[c][2]);
    s[3] = 0.0;
    return s;
}

FbxVector4 FbxAMatrix::GetR() const
{
    internal::Matrix3 rotation = internal::RotationPart(*this);
    double angles[3];
    internal::MatrixToEuler(rotation, eEulerXYZ, angles);
    return FbxVector4(angles[0], angles[1], angles[2], 0.0);
}

double FbxAMatrix::Determinant() const
{
    const FbxVector4* d = mData;
    return d[0][0] * (d[1][1] * d[2][2] - d[1][2] * d[2][1]) - d[1][0] * (d[0][1] * d[2][2] - d[0][2] * d[2][1])
        + d[2][0] * (d[0][1] * d[1][2] - d[0][2] * d[1][1]);
}

FbxAMatrix FbxAMatrix::Inverse() const
{
    // General 4x4 inverse by cofactors, so that matrices read from files (which need not be
    // exactly affine) still invert the way a product with them expects.
    double m[16], inv[16];
    for (int k = 0; k < 16; ++k)
        m[k] = mData[k / 4][k % 4];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14]
        + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14]
        - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13]
        + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13]
        - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14]
        - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14]
        + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13]
        - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13]
        + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] + m[13] * m[2] * m[7]
        - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14]
        - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13]
        + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13]
        - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] - m[9] * m[2] * m[7]
        + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] + m[8] * m[2] * m[7]
        - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] - m[8] * m[1] * m[7]
        + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6]
        - m[8] * m[2] * m[5];
    double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    FbxAMatrix result;
    if (det == 0.0 || !std::isfinite(det))
        return result; // singular: identity, as the SDK leaves it usable
    for (int k = 0; k < 16; ++k)
        result.mData[k / 4][k % 4] = inv[k] / det;
    return result;
}

FbxAMatrix FbxAMatrix::Transpose() const
{
    FbxAMatrix result;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            result.mData[y][x] = mData[x][y];
    return result;
}

FbxAMatrix FbxAMatrix::operator*(const FbxAMatrix& b) const
{
    FbxAMatrix result;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += mData[k][r] * b.mData[c][k];
            result.mData[c][r] = sum;
        }
    return result;
}

bool FbxAMatrix::operator==(const FbxAMatrix& m) const
{
    for (int y = 0; y < 4; ++y)
        if (!(mData[y] == m.mData[y]))
            return false;
    return true;
}

FbxVector4 FbxAMatrix::MultT(const FbxVector4& v) const
{
    FbxVector4 result(0, 0, 0, 1);
    for (int r = 0; r < 3; ++r)
        result[r] = mData[0][r] * v[0] + mData[1][r] * v[1] + mData[2][r] * v[2] + mData[3][r];
    return result;
}

FbxVector4 FbxAMatrix::MultR(const FbxVector4& v) const
{
    FbxVector4 result(0, 0, 0, 0);
    for (int r = 0; r < 3; ++r)
        result[r] = mData[0][r] * v[0] + mData[1][r] * v[1] + mData[2][r] * v[2];
    return result;
}

namespace internal {

namespace {
constexpr double kDegrees = 57.29577951308232;

void Axes(EFbxRotationOrder order, int& i, int& j, int& k)
{
    switch (order) {
    case eEulerXZY: i = 0, j = 2, k = 1; break;
    case eEulerYZX: i = 1, j = 2, k = 0; break;
    case eEulerYXZ: i = 1, j = 0, k = 2; break;
    case eEulerZXY: i = 2, j = 0, k = 1; break;
    case eEulerZYX: i = 2, j = 1, k = 0; break;
    default: i = 0, j = 1, k = 2; break;
    }
}

Matrix3 AxisRotation(int axis, double degrees)
{
    double c = std::cos(degrees / kDegrees), s = std::sin(degrees / kDegrees);
    Matrix3 r = Matrix3::Identity();
    int a = (axis + 1) % 3, b = (axis + 2) % 3;
    r.m[a][a] = c;
    r.m[a][b] = -s;
    r.m[b][a] = s;
    r.m[b][b] = c;
    return r;
}
} // namespace

Matrix3 Matrix3::Identity()
{
    Matrix3 r;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            r.m[y][x] = x == y ? 1.0 : 0.0;
    return r;
}

Matrix3 Matrix3::operator*(const Matrix3& b) const
{
    Matrix3 r;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            r.m[y][x] = m[y][0] * b.m[0][x] + m[y][1] * b.m[1][x] + m[y][2] * b.m[2][x];
    return r;
}

Matrix3 Matrix3::Transposed() const
{
    Matrix3 r;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            r.m[y][x] = m[x][y];
    return r;
}

Matrix3 EulerToMatrix(const double degrees[3], EFbxRotationOrder order)
{
    int i, j, k;
    Axes(order, i, j, k);
    // The first axis of the order turns first, so it is rightmost in the product.
    return AxisRotation(k, degrees[k]) * AxisRotation(j, degrees[j]) * AxisRotation(i, degrees[i]);
}

void MatrixToEuler(const Matrix3& r, EFbxRotationOrder order, double degrees[3])
{
    int i, j, k;
    Axes(order, i, j, k);
    bool even = (j == (i + 1) % 3);
    double s = even ? 1.0 : -1.0;
    double sj = -s * r.m[k][i];
    sj = sj > 1.0 ? 1.0 : (sj < -1.0 ? -1.0 : sj);
    double aj = std::asin(sj), ai, ak;
    if (std::fabs(sj) < 0.9999999) {
        ai = std::atan2(s * r.m[k][j], r.m[k][k]);
        ak = std::atan2(s * r.m[j][i], r.m[i][i]);
    } else {
        // Gimbal lock: only the sum or difference of the outer angles is defined; put it all
        // on the first axis.
        ak = 0.0;
        ai = std::atan2(-s * r.m[j][k], r.m[j][j]);
    }
    degrees[i] = ai * kDegrees;
    degrees[j] = aj * kDegrees;
    degrees[k] = ak * kDegrees;
}

Matrix3 RotationPart(const FbxAMatrix& m)
{
    Matrix3 r;
    for (int c = 0; c < 3; ++c) {
        double length = std::sqrt(m[c][0] * m[c][0] + m[c][1] * m[c][1] + m[c][2] * m[c][2]);
        for (int row = 0; row < 3; ++row)
            r.m[row][c] = length > 0 ? m[c][row] / length : (row == c ? 1.0 : 0.0);
    }
    if (m.Determinant() < 0)
        for (int row = 0; row < 3; ++row)
            r.m[row][0] = -r.m[row][0];
    return r;
}

Matrix3 LinearPart(const FbxAMatrix& m)
{
    Matrix3 r;
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            r.m[row][c] = m[c][row];
    return r;
}

FbxAMatrix Compose(const Matrix3& linear, const FbxVector4& t)
{
    FbxAMatrix result;
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            result[c][row] = linear.m[row][c];
    result[3] = FbxVector4(t[0], t[1], t[2], 1.0);
    return result;
}

Matrix3 Inverse(const Matrix3& a)
{
    const auto& m = a.m;
    double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (det == 0.0 || !std::isfinite(det))
        return Matrix3::Identity();
    Matrix3 r;
    r.m[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r.m[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r.m[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return r;
}

} // namespace internal

} // namespace fbxsdk
