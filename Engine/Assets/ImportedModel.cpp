#include "Assets/ImportedModel.h"

#include <algorithm>

void AddWarning(ImportResult& result, ImportWarning kind)
{
    ++result.warnings[kind];
}

std::int32_t WarningCount(const ImportResult& result, ImportWarning kind)
{
    const auto found = result.warnings.find(kind);
    return found == result.warnings.end() ? 0 : found->second;
}

void MergeExtents(Extents& bounds, const Extents& extents)
{
    auto merge = [](float& centre, float& half, float otherCentre, float otherHalf) {
        float low = std::min(centre - half, otherCentre - otherHalf);
        float high = std::max(centre + half, otherCentre + otherHalf);
        half = (high - low) * 0.5f;
        centre = (high + low) * 0.5f;
    };
    merge(bounds.centre.x, bounds.halfSize.x, extents.centre.x, extents.halfSize.x);
    merge(bounds.centre.y, bounds.halfSize.y, extents.centre.y, extents.halfSize.y);
    merge(bounds.centre.z, bounds.halfSize.z, extents.centre.z, extents.halfSize.z);
    bounds.radius = std::max({ bounds.halfSize.x, bounds.halfSize.y, bounds.halfSize.z });
}
