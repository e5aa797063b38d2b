#pragma once
// Position, orientation and scale of a game object in world space, and the two world matrices built
// from them.
//
// Writers assign position, rotation or scale and then raise `dirty`; the matrices are rebuilt lazily
// by the next Update (the frame loop's first component pass). Created by the GameObject constructor,
// owned by it, not registered in the Scene. Main thread only.

#include "Math/Matrix4x4.h"
#include "Math/Vector.h"
#include "Scene/Component.h"

class Transform : public Component {
public:
    // Rebuilds the matrices when dirty; deltaTime is ignored.
    void Update(float deltaTime) override;

    // World position in x, y, z; w stays 1.
    Float4 position { 0.0f, 0.0f, 0.0f, 1.0f };
    // Euler angles x, y, z in radians; w is not used by the matrices.
    Float4 rotation { 0.0f, 0.0f, 0.0f, 1.0f };
    // Scale along the local x, y, z axes; w is not used.
    Float4 scale { 1.0f, 1.0f, 1.0f, 1.0f };
    // Scale, then rotation, then translation.
    Matrix4x4 worldMatrix = Matrix4x4::Identity();
    // Rotation, then translation: for directions such as normals.
    Matrix4x4 worldMatrixNoScale = Matrix4x4::Identity();
    // The matrices are out of date.
    bool dirty = true;
};
