#include "Application/BallReport.h"

#include "Application/Ball.h"
#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr float kReportInterval = 1.0f;

bool ReportWanted()
{
    static const bool wanted = std::getenv("TARNWICK_REPORT_BALLS") != nullptr;
    return wanted;
}

const std::vector<Component*>* Group(const char* typeName)
{
    const auto& groups = *Scene::GetInstance().componentsByType;
    auto found = groups.find(typeName);
    return found != groups.end() ? &found->second : nullptr;
}

} // namespace

void ReportBalls(float deltaTime)
{
    static float sinceReport = 0.0f;
    if (!ReportWanted())
        return;
    sinceReport += deltaTime;
    if (sinceReport < kReportInterval)
        return;
    sinceReport = 0.0f;

    const std::vector<Component*>* balls = Group("Ball");
    std::size_t holes = 0;
    if (const std::vector<Component*>* meshColliders = Group("MeshCollider"))
        for (const Component* collider : *meshColliders)
            holes += collider->gameObject->name == Ball::kHoleName ? 1 : 0;
    std::printf("balls %zu holes %zu\n", balls != nullptr ? balls->size() : 0, holes);
    if (balls != nullptr)
        for (std::size_t i = 0; i < balls->size(); ++i) {
            const Float4& p = (*balls)[i]->gameObject->transform->position;
            std::printf("ball %zu at %.2f %.2f %.2f\n", i, static_cast<double>(p.x), static_cast<double>(p.y),
                static_cast<double>(p.z));
        }
    std::fflush(stdout);
}
