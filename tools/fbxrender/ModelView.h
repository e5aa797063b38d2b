#pragma once
// Where the picture of a model is taken from: seven named directions and the orthographic camera that
// frames a box seen from one of them.

#include "Assets/Model.h"
#include "Scene/GameCamera.h"

#include <optional>
#include <string_view>

enum class View { Front, Back, Left, Right, Top, Bottom, Iso };

// Every view, in the order their names are listed.
inline constexpr View kAllViews[] = { View::Front, View::Back, View::Left, View::Right, View::Top, View::Bottom,
    View::Iso };

// The view called `name` ("front", "back", "left", "right", "top", "bottom", "iso"), or nothing.
std::optional<View> ViewNamed(std::string_view name);

// The name of `view`.
std::string_view NameOf(View view);

// A box seen from `view` fills the square picture but for a 5 % margin on each side of its larger
// extent across the picture. front looks along +z with +x right and +y up; back along -z; left along
// +x; right along -x; top down -y with +z up in the picture; bottom up +y; iso from the (1, 1, -1)
// side towards the box's centre. The camera's depth range just holds the box.
GameCamera FramingCamera(const BoundingBox& box, View view);
