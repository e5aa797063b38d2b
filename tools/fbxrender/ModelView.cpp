#include "ModelView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace {

// The margin on each side of the box, as a share of its larger extent across the picture.
constexpr float kMargin = 0.05f;
// A box with no extent at all (one point) is framed as if it were this big.
constexpr float kSmallestExtent = 1e-3f;
// The camera stands this many box radii from the centre and sees two radii either side of it. The
// lighting takes the direction to the viewer from the camera's position: from far away it is the same
// over the whole model, as an orthographic view needs; near, the rim of a rounded model would turn
// its normals away from the viewer and be lit as if seen from behind.
constexpr float kCameraDistanceInRadii = 1000.0f;
constexpr float kDepthInRadii = 2.0f;

struct ViewAngles {
    std::string_view name;
    View view;
    float pitch;
    float yaw;
};

// Pitch is positive upwards and yaw turns from +z towards +x (Camera.h). iso looks along (-1, -1, 1),
// down by the angle between that and the ground: atan(1 / sqrt(2)). It sees the sides the front, right
// and top views see, which the light (coming down from the (-1, 1, -1) side) lights each differently:
// from the light's own side every face would be lit head-on and a round model's highlight would wash
// out half of it.
constexpr std::array kViews {
    ViewAngles { "front", View::Front, 0.0f, 0.0f },
    ViewAngles { "back", View::Back, 0.0f, 180.0f },
    ViewAngles { "left", View::Left, 0.0f, 90.0f },
    ViewAngles { "right", View::Right, 0.0f, -90.0f },
    ViewAngles { "top", View::Top, -90.0f, 0.0f },
    ViewAngles { "bottom", View::Bottom, 90.0f, 0.0f },
    ViewAngles { "iso", View::Iso, -35.264389f, -45.0f },
};

const ViewAngles& AnglesOf(View view)
{
    return *std::find_if(kViews.begin(), kViews.end(), [view](const ViewAngles& a) { return a.view == view; });
}

} // namespace

std::optional<View> ViewNamed(std::string_view name)
{
    for (const ViewAngles& angles : kViews)
        if (angles.name == name)
            return angles.view;
    return std::nullopt;
}

std::string_view NameOf(View view)
{
    return AnglesOf(view).name;
}

GameCamera FramingCamera(const BoundingBox& box, View view)
{
    // The axes first, from a camera at the origin: the box is measured along them.
    GameCamera aim(false, { 1.0f, 1.0f });
    aim.pitch = AnglesOf(view).pitch;
    aim.yaw = AnglesOf(view).yaw;
    aim.Update(0.0f);

    const Float3 centre = (box.min + box.max) * 0.5f;
    const Float3 half = (box.max - box.min) * 0.5f;
    float across = 0.0f, upwards = 0.0f, deep = 0.0f;
    for (int corner = 0; corner < 8; ++corner) {
        const Float3 offset { (corner & 1) ? half.x : -half.x, (corner & 2) ? half.y : -half.y,
            (corner & 4) ? half.z : -half.z };
        across = std::max(across, std::abs(Dot(offset, aim.right)));
        upwards = std::max(upwards, std::abs(Dot(offset, aim.up)));
        deep = std::max(deep, std::abs(Dot(offset, aim.forward)));
    }
    const float extent = std::max(2.0f * std::max(across, upwards), kSmallestExtent);
    const float side = extent * (1.0f + 2.0f * kMargin);
    const float radius = std::max({ deep, side * 0.5f, kSmallestExtent });

    const float distance = kCameraDistanceInRadii * radius;
    GameCamera camera(false, { side, side }, distance - kDepthInRadii * radius, distance + kDepthInRadii * radius);
    camera.pitch = aim.pitch;
    camera.yaw = aim.yaw;
    camera.position = { centre.x - distance * aim.forward.x, centre.y - distance * aim.forward.y,
        centre.z - distance * aim.forward.z, 1.0f };
    camera.Update(0.0f);
    camera.needsUpdate = false;
    return camera;
}
