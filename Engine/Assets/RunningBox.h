#pragma once
// The box of points added one at a time: empty until the first point, then exactly the span of the
// points added. A mesh's box is the box of its own vertices, wherever they lie; a point that is not a
// number is left out.
#include "Assets/Model.h"

#include <algorithm>
#include <limits>

struct RunningBox {
    Float3 min { kEmpty, kEmpty, kEmpty };
    Float3 max { -kEmpty, -kEmpty, -kEmpty };

    void Add(const Float4& p)
    {
        min = { std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z) };
        max = { std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z) };
    }

    // Whether any point (on every axis) was added.
    bool HasPoints() const { return min.x <= max.x && min.y <= max.y && min.z <= max.z; }

private:
    static constexpr float kEmpty = std::numeric_limits<float>::infinity();
};
