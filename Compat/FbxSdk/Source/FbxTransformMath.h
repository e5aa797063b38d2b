// 3x3 helpers behind the transform evaluation and the axis conversion. Column-vector
// convention: m[row][column], a vector is multiplied on the right.
#pragma once

#include "fbxsdk/fbxscene.h"

namespace fbxsdk::internal {

struct Matrix3 {
    double m[3][3];
    static Matrix3 Identity();
    Matrix3 operator*(const Matrix3& b) const;
    Matrix3 Transposed() const;
};

// FBX angles are degrees; an order such as XYZ turns about X first.
Matrix3 EulerToMatrix(const double degrees[3], EFbxRotationOrder order);
void MatrixToEuler(const Matrix3& rotation, EFbxRotationOrder order, double degrees[3]);

Matrix3 RotationPart(const FbxAMatrix& m); // orthonormal, scale removed
Matrix3 LinearPart(const FbxAMatrix& m); // rotation, scale and shear
FbxAMatrix Compose(const Matrix3& linear, const FbxVector4& translation);
Matrix3 Inverse(const Matrix3& m);

// The rotation a node is evaluated and converted with. Without RotationActive the node turns in XYZ
// order and has no pre- or post-rotation, whatever those properties hold.
struct NodeRotation {
    EFbxRotationOrder order = eEulerXYZ;
    FbxVector4 pre { 0, 0, 0, 0 };
    FbxVector4 post { 0, 0, 0, 0 };
};
NodeRotation EffectiveRotation(const FbxNode& node, FbxNode::EPivotSet set);

} // namespace fbxsdk::internal
