#include "Scene/Transform.h"

#include "Math/Rotation.h"

void Transform::Update(float)
{
    if (!dirty)
        return;

    Matrix4x4 scaleMatrix = Matrix4x4::Identity();
    scaleMatrix.m[0][0] = scale.x;
    scaleMatrix.m[1][1] = scale.y;
    scaleMatrix.m[2][2] = scale.z;

    worldMatrixNoScale = EulerRotationMatrix(rotation.x, rotation.y, rotation.z);
    worldMatrixNoScale.m[3][0] = position.x;
    worldMatrixNoScale.m[3][1] = position.y;
    worldMatrixNoScale.m[3][2] = position.z;
    worldMatrixNoScale.m[3][3] = 1.0f;

    worldMatrix = scaleMatrix * worldMatrixNoScale;
    dirty = false;
}
