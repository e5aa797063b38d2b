#pragma once
// A rotation quaternion, components in the physics library's order (x, y, z, w).

struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;
};
