#include "Application/Ball.h"
#include "Application/BallThrower.h"
#include "DemoWorld.h"
#include "Graphics/MeshRenderer.h"
#include "Math/Rotation.h"
#include "Physics/Collider.h"
#include "Physics/PhysXConversions.h"
#include "Physics/PhysicsEngine.h"
#include "Physics/Raycast.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

// Balls thrown at every surface of the cabin, from inside and from outside, at many angles of
// incidence, heights, distances and frame lengths, with the real physics in the real demo scene:
// each must make exactly one hole, in the surface it meets, and end on the far side of it.

namespace {

constexpr float kGravity = -PhysicsEngine::kGravityY;
constexpr float kDegrees = kDegreesToRadians;
// A point well inside the cabin: surfaces face away from it.
constexpr Float3 kCabinMiddle { 0.0f, 20.0f, 0.0f };
// The floor's top face.
constexpr float kFloorTop = -2.5f;
// How long a throw is watched: long enough for a ball through the roof to come down again.
constexpr float kWatchSeconds = 3.0f;

// The frame lengths a throw is simulated with: from a fast machine's to the longest frame the
// program allows (Time's cap).
constexpr std::array kSteps { 0.005f, 0.010f, 1.0f / 60.0f, 0.025f, 0.0333f };
constexpr std::array kIncidences { 0.0f, 15.0f, 30.0f, 45.0f, 60.0f };
// Perpendicular distances from the surface to the camera.
constexpr std::array kInsideDistances { 6.0f, 10.0f, 20.0f, 35.0f, 50.0f };
constexpr std::array kOutsideDistances { 6.0f, 20.0f, 50.0f, 100.0f, 150.0f };
// Sideways and vertical room a ball needs on its way: its radius and a little.
constexpr float kFootprint = kBallRadius + 1.0f;
constexpr int kThrowsPerTarget = 14;
constexpr int kAttemptsPerTarget = 40000;
constexpr int kPatience = 2000;
// The throws are drawn from this fixed seed, so a failure can be replayed.
constexpr unsigned kSeed = 20261208;

// One slab of the cabin as seen by a thrower: a solid between two faces.
struct Surface {
    std::string label;
    GameObject* object = nullptr;
    Float3 centre;
    // Away from the cabin's middle.
    Float3 outward;
    float halfThickness = 0.0f;
    // Axes and half sizes of the face area aimed at.
    Float3 across;
    Float3 up;
    float acrossExtent = 0.0f;
    float upExtent = 0.0f;
};

enum class Side { Interior, Exterior, Neither };

const char* SideName(Side side)
{
    switch (side) {
    case Side::Interior: return "inside the cabin";
    case Side::Exterior: return "outside the cabin";
    default: return "inside a wall or roof";
    }
}

struct Throw {
    const Surface* target = nullptr;
    bool fromInside = true;
    float incidence = 0.0f;
    float distance = 0.0f;
    float step = 0.0f;
    Float3 from;
    Float3 direction;
    Float3 aim;
};

std::string Describe(const Throw& t)
{
    char text[256];
    std::snprintf(text, sizeof text,
        "%s from %s, %g deg, %g units, %.1f ms: from (%.1f %.1f %.1f) along (%.3f %.3f %.3f)", t.target->label.c_str(),
        t.fromInside ? "inside" : "outside", static_cast<double>(t.incidence), static_cast<double>(t.distance),
        static_cast<double>(t.step * 1000.0f), static_cast<double>(t.from.x), static_cast<double>(t.from.y),
        static_cast<double>(t.from.z), static_cast<double>(t.direction.x), static_cast<double>(t.direction.y),
        static_cast<double>(t.direction.z));
    return text;
}

Float3 Axis(const physx::PxQuat& q, float x, float y, float z)
{
    return ToFloat3(q.rotate(physx::PxVec3(x, y, z)));
}

// A wall or roof slab: its box collider's thin axis is its local z.
Surface BoxSurface(const std::string& label, GameObject* object)
{
    Surface s;
    s.label = label;
    s.object = object;
    auto* collider = object->GetComponent<Collider>();
    const physx::PxTransform pose = collider->actor->getGlobalPose() * collider->shape->getLocalPose();
    physx::PxBoxGeometry box;
    collider->shape->getBoxGeometry(box);
    s.centre = ToFloat3(pose.p);
    s.outward = Axis(pose.q, 0, 0, 1);
    if (Dot(s.outward, s.centre - kCabinMiddle) < 0.0f)
        s.outward = -s.outward;
    s.halfThickness = box.halfExtents.z;
    s.across = Axis(pose.q, 1, 0, 0);
    s.up = Axis(pose.q, 0, 1, 0);
    s.acrossExtent = box.halfExtents.x;
    s.upExtent = box.halfExtents.y;
    return s;
}

// A gable: a triangular prism whose faces look along z. The aim area is its bounding rectangle;
// throws whose way does not meet the triangle are left out like any other.
Surface GableSurface(const std::string& label, GameObject* object)
{
    Surface s;
    s.label = label;
    s.object = object;
    auto* collider = object->GetComponent<Collider>();
    physx::PxBounds3 bounds;
    physx::PxGeometryQuery::computeGeomBounds(bounds, collider->shape->getGeometry(),
        collider->actor->getGlobalPose() * collider->shape->getLocalPose(), 0.0f, 1.0f);
    s.centre = ToFloat3(bounds.getCenter());
    const Float3 extents = ToFloat3(bounds.getExtents());
    s.outward = { 0.0f, 0.0f, s.centre.z > 0.0f ? 1.0f : -1.0f };
    s.halfThickness = extents.z;
    s.across = { 1.0f, 0.0f, 0.0f };
    s.up = { 0.0f, 1.0f, 0.0f };
    s.acrossExtent = extents.x;
    s.upExtent = extents.y;
    return s;
}

// Notes every object that starts touching its owner, with the frame it happened in.
struct TouchLog : Component {
    struct Touch {
        GameObject* surface;
        GameObject* other;
        int frame;
    };
    TouchLog(std::vector<Touch>* log, const int* frame)
        : log(log)
        , frame(frame)
    {
    }
    void OnCollisionEnter(GameObject* other, const Float3&) override { log->push_back({ gameObject, other, *frame }); }
    std::vector<Touch>* log;
    const int* frame;
};

class BallThrowSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* type : { "BoxCollider", "MeshCollider" })
            for (Component* collider : std::vector<Component*>(Scene::GetInstance().componentsByType->at(type)))
                AddComponent<TouchLog>(*collider->gameObject, &touches, &frame);

        struct Named {
            const char* label;
            const char* name;
            Float3 position;
        };
        const Named walls[] = { { "wall -z", "CabinwallZ", { 0, 0, -35 } }, { "wall -x", "CabinwallX", { -35, 0, 0 } },
            { "wall +x", "CabinwallZ", { 35, 0, 0 } }, { "wall +z", "CabinwallX", { 0, 0, 35 } } };
        for (const Named& wall : walls) {
            GameObject* object = world.ObjectAt(wall.name, wall.position);
            ASSERT_NE(object, nullptr) << wall.label;
            surfaces.push_back(BoxSurface(wall.label, object));
            slabs.push_back(surfaces.back());
        }
        const Named roofs[] = { { "roof +x", "CabinRoof", { 31.1f, 44, 0 } },
            { "roof -x", "CabinRoof", { -31, 44, 0 } } };
        for (const Named& roof : roofs) {
            GameObject* object = world.ObjectAt(roof.name, roof.position);
            ASSERT_NE(object, nullptr) << roof.label;
            surfaces.push_back(BoxSurface(roof.label, object));
            slabs.push_back(surfaces.back());
        }
        const Named gables[] = { { "gable -z", "CabinRoofFace", { -0.4f, 44, -35 } },
            { "gable +z", "CabinRoofFace", { -0.4f, 44, 35 } } };
        for (const Named& gable : gables) {
            GameObject* object = world.ObjectAt(gable.name, gable.position);
            ASSERT_NE(object, nullptr) << gable.label;
            surfaces.push_back(GableSurface(gable.label, object));
        }
    }

    // Inside: within the inner faces of every wall and roof slab, above the floor. Outside: beyond
    // the outer face of at least one of them. A ball stuck in a slab is neither.
    Side SideOf(Float3 p) const
    {
        bool interior = p.y > kFloorTop;
        for (const Surface& slab : slabs) {
            const float along = Dot(p - slab.centre, slab.outward);
            if (along > slab.halfThickness)
                return Side::Exterior;
            interior = interior && along < -slab.halfThickness;
        }
        return interior ? Side::Interior : Side::Neither;
    }

    // Whether a ball's centre at `p` is clear of every collider by a footprint.
    static bool Clear(Float3 p)
    {
        if (p.y < kFloorTop + kFootprint)
            return false;
        for (Component* c : Scene::GetInstance().componentsByType->at("BoxCollider"))
            if (!ClearOf(*static_cast<Collider*>(c), p))
                return false;
        for (Component* c : Scene::GetInstance().componentsByType->at("MeshCollider"))
            if (!ClearOf(*static_cast<Collider*>(c), p))
                return false;
        return true;
    }

    static bool ClearOf(const Collider& collider, Float3 p)
    {
        const physx::PxTransform pose = collider.actor->getGlobalPose() * collider.shape->getLocalPose();
        const float squared = physx::PxGeometryQuery::pointDistance(ToPx(p), collider.shape->getGeometry(), pose);
        return squared > kFootprint * kFootprint;
    }

    // The first holeable object a ray meets within `length`, or null.
    static GameObject* FirstHit(Float3 origin, Float3 direction, float length)
    {
        Ray ray { origin, direction };
        RaycastResult result;
        if (!ray.Cast(result, length) || result.hits.empty())
            return nullptr;
        return result.hits.front().gameObject;
    }

    // Whether a ball's centre at `p` keeps more than its radius from every cabin surface but `target`.
    bool AwayFromOthers(Float3 p, const Surface& target) const
    {
        for (const Surface& surface : surfaces) {
            if (surface.object == target.object)
                continue;
            const Collider& collider = *surface.object->GetComponent<Collider>();
            const physx::PxTransform pose = collider.actor->getGlobalPose() * collider.shape->getLocalPose();
            const float squared = physx::PxGeometryQuery::pointDistance(ToPx(p), collider.shape->getGeometry(), pose);
            if (squared <= kFootprint * kFootprint)
                return false;
        }
        return true;
    }

    // Where the ball's centre is after `time` seconds of flight, as the physics steps it: each step
    // adds gravity to the velocity first and then moves, which drops the ball half a step's worth
    // lower than the exact parabola.
    static Float3 FlightPoint(const Throw& t, float time)
    {
        return t.from + t.direction * (kThrowSpeed * time) - Float3 { 0.0f, Drop(time, t.step), 0.0f };
    }

    static float Drop(float time, float step) { return 0.5f * kGravity * time * (time + step); }

    // Where the ball, on its curved way, first touches the target's face plane.
    static Float3 Arrival(const Throw& t)
    {
        const Surface& target = *t.target;
        const Float3 towards = t.fromInside ? target.outward : -target.outward;
        const Float3 face = target.centre - towards * target.halfThickness;
        auto gap = [&](float time) { return Dot(face - FlightPoint(t, time), towards) - kBallRadius; };
        float early = 0.0f;
        float late = 2.0f * Length(t.aim - t.from) / kThrowSpeed;
        for (int i = 0; i < 40; ++i) {
            const float middle = 0.5f * (early + late);
            (gap(middle) > 0.0f ? early : late) = middle;
        }
        return FlightPoint(t, late);
    }

    // Whether the ball meets the target alone: where it arrives and all the way through the slab and
    // a radius beyond, straight along the slab's normal, it keeps clear of every other surface.
    bool MeetsTargetAlone(const Throw& t) const
    {
        const Surface& target = *t.target;
        const Float3 towards = t.fromInside ? target.outward : -target.outward;
        const Float3 arrival = Arrival(t);
        const float through = 2.0f * (target.halfThickness + kBallRadius) + 2.0f;
        for (float s = 0.0f; s <= through; s += 1.0f)
            if (!AwayFromOthers(arrival + towards * s, target))
                return false;
        // Where the slab overhangs (the eaves, the ridge, the gable ends) its far side is not the
        // other side of the cabin: such throws are not throws through the cabin.
        return SideOf(arrival + towards * through) == (t.fromInside ? Side::Exterior : Side::Interior);
    }

    // Whether the ball's way from the camera to the aim point meets no other holeable surface and
    // ends on the target: rays along the flight curve, through the middle and around the rim of the
    // ball's footprint.
    bool WayIsClear(const Throw& t) const
    {
        constexpr int kSegments = 8;
        const float flight = Length(t.aim - t.from) / kThrowSpeed;
        auto at = [&t, flight](float share) { return FlightPoint(t, flight * share); };
        bool reached = false;
        for (int i = 0; i < kSegments; ++i) {
            const Float3 a = at(static_cast<float>(i) / kSegments);
            const Float3 b = at(static_cast<float>(i + 1) / kSegments);
            const Float3 along = Normalize(b - a);
            const bool last = i + 1 == kSegments;
            const float length = Length(b - a) + (last ? kFootprint : 0.0f);
            const Float3 side = Normalize(
                std::abs(along.y) < 0.9f ? Cross(along, { 0, 1, 0 }) : Cross(along, { 1, 0, 0 }));
            const Float3 lift = Cross(side, along);
            for (int k = -1; k < 8; ++k) {
                Float3 offset;
                if (k >= 0) {
                    const float angle = static_cast<float>(k) * 45.0f * kDegrees;
                    offset = (side * std::cos(angle) + lift * std::sin(angle)) * kFootprint;
                }
                GameObject* hit = FirstHit(a + offset, along, length);
                if (hit != nullptr && hit != t.target->object)
                    return false;
                if (k < 0 && last)
                    reached = hit == t.target->object;
            }
        }
        return reached;
    }

    // Throws of one surface from one side, spread over angles, azimuths, distances, frame lengths
    // and the whole face, each checked to be a throw a person could make.
    std::vector<Throw> ThrowsAt(const Surface& target, bool fromInside, std::mt19937& random) const
    {
        std::vector<Throw> throws;
        const auto& distances = fromInside ? kInsideDistances : kOutsideDistances;
        const Float3 towards = fromInside ? target.outward : -target.outward;
        const Float3 face = target.centre - towards * target.halfThickness;
        auto pick = [&random](std::size_t count) { return static_cast<std::size_t>(random() % count); };
        auto share = [&random]() { return static_cast<float>(random() % 2001) / 1000.0f - 1.0f; };
        for (int attempt = 0; attempt < kAttemptsPerTarget && throws.size() < kThrowsPerTarget; ++attempt) {
            Throw t;
            t.target = &target;
            t.fromInside = fromInside;
            // Each frame length and incidence in turn, the rest at random; an incidence that no throw at
            // this surface can have (from inside, steep ones meet the roof first) gives way in time.
            t.step = kSteps[throws.size() % kSteps.size()];
            t.incidence = kIncidences[(throws.size() * 2 + attempt / kPatience) % kIncidences.size()];
            t.distance = distances[pick(distances.size())];
            const float azimuth = static_cast<float>(pick(8)) * 45.0f * kDegrees;
            const float tilt = t.incidence * kDegrees;
            t.direction = Normalize(towards * std::cos(tilt)
                + (target.across * std::cos(azimuth) + target.up * std::sin(azimuth)) * std::sin(tilt));
            t.aim = face + target.across * (share() * target.acrossExtent) + target.up * (share() * target.upExtent);
            // Aimed higher by what gravity takes on the way, so the ball arrives where it was aimed.
            const float path = t.distance / std::cos(tilt);
            const float flight = path / kThrowSpeed;
            t.from = t.aim - t.direction * path + Float3 { 0.0f, Drop(flight, t.step), 0.0f };
            const Side start = SideOf(t.from);
            if (start != (fromInside ? Side::Interior : Side::Exterior) || !Clear(t.from))
                continue;
            if (std::min(t.from.y, t.aim.y) < kFloorTop + kFootprint + 1.0f)
                continue;
            if (!WayIsClear(t) || !MeetsTargetAlone(t))
                continue;
            throws.push_back(t);
        }
        return throws;
    }

    // Where the throw ends: when the ball, having made its hole, first meets anything but the holed
    // surface and the floor (the far wall of the cabin, say), or when the watch is over.
    Float3 WatchBall(const Throw& t, GameObject& ball)
    {
        const int frames = static_cast<int>(kWatchSeconds / t.step);
        for (; frame < frames; ++frame) {
            for (const TouchLog::Touch& touch : touches)
                if (touch.other == &ball && touch.surface != t.target->object && touch.surface->name != "Floor"
                    && !world.Holes().empty())
                    return XYZ(ball.transform->position);
            touches.clear();
            world.Frame(t.step);
        }
        return XYZ(ball.transform->position);
    }

    // Throws the ball, watches it, and says what went wrong, if anything.
    std::string Run(const Throw& t)
    {
        touches.clear();
        frame = 0;
        GameObject* ball = world.Throw(t.from, t.direction, t.step, 1);
        if (ball == nullptr)
            return "no ball was thrown";
        const Float3 end = WatchBall(t, *ball);

        std::string problem;
        const std::vector<GameObject*> holes = world.Holes();
        const auto& ignored = t.target->object->GetComponent<Collider>()->ignoredColliders;
        if (holes.size() != 1 || ignored.size() != 1 || ignored[0]->gameObject != holes[0])
            problem = std::to_string(holes.size()) + " holes, " + std::to_string(ignored.size()) + " in the target";
        else if (holes[0]->GetComponent<MeshRenderer>()->maskOf
            != t.target->object->GetComponent<MeshRenderer>()->maskGroup)
            problem = "the hole masks another group";
        const Side expected = t.fromInside ? Side::Exterior : Side::Interior;
        const Side side = SideOf(end);
        if (side != expected) {
            char where[160];
            std::snprintf(where, sizeof where, "the ball ended %s at (%.1f %.1f %.1f)", SideName(side),
                static_cast<double>(end.x), static_cast<double>(end.y), static_cast<double>(end.z));
            problem += (problem.empty() ? "" : "; ") + std::string(where);
        }
        world.RemoveThrows();
        return problem;
    }

    DemoWorld world;
    std::vector<TouchLog::Touch> touches;
    int frame = 0;
    std::vector<Surface> surfaces;
    std::vector<Surface> slabs;
};

// Pass counts by group, printed as a table.
class Tally {
public:
    void Add(const std::string& group, bool passed)
    {
        auto& [pass, total] = counts[group];
        pass += passed ? 1 : 0;
        ++total;
    }

    void Print() const
    {
        for (const auto& [group, count] : counts)
            std::printf("  %-28s %3d of %3d\n", group.c_str(), count.first, count.second);
    }

private:
    std::map<std::string, std::pair<int, int>> counts;
};

std::string Kind(const Surface& surface)
{
    return surface.label.substr(0, surface.label.find(' '));
}

} // namespace

TEST_F(BallThrowSweep, EveryThrowAtTheCabinMakesOneHoleAndEndsBeyondTheSurface)
{
    std::mt19937 random(kSeed);
    std::vector<Throw> throws;
    for (const Surface& surface : surfaces)
        for (bool fromInside : { true, false }) {
            std::vector<Throw> some = ThrowsAt(surface, fromInside, random);
            EXPECT_EQ(some.size(), static_cast<std::size_t>(kThrowsPerTarget))
                << "too few possible throws at " << surface.label << (fromInside ? " from inside" : " from outside");
            throws.insert(throws.end(), some.begin(), some.end());
        }
    ASSERT_GE(throws.size(), 200u);

    Tally tally;
    std::vector<std::string> failures;
    for (const Throw& t : throws) {
        const std::string problem = Run(t);
        const bool passed = problem.empty();
        char angle[32], step[32], distance[32];
        std::snprintf(angle, sizeof angle, "incidence %2.0f deg", static_cast<double>(t.incidence));
        std::snprintf(step, sizeof step, "step %4.1f ms", static_cast<double>(t.step * 1000.0f));
        std::snprintf(distance, sizeof distance, "distance %3.0f", static_cast<double>(t.distance));
        tally.Add(Kind(*t.target) + (t.fromInside ? " from inside" : " from outside"), passed);
        tally.Add(angle, passed);
        tally.Add(step, passed);
        tally.Add(distance, passed);
        if (!passed)
            failures.push_back(Describe(t) + ": " + problem);
    }
    std::printf("Throws that made one hole and ended beyond the surface, by group:\n");
    tally.Print();
    for (const std::string& failure : failures)
        ADD_FAILURE() << failure;
}
