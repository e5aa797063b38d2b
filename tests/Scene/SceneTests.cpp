#include "Scene/GameObject.h"
#include "Scene/Scene.h"
#include "Scene/Transform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Probe components at namespace scope, so their plain names are just the class names.
struct SceneProbe : Component {
    static inline std::vector<std::string>* log = nullptr;
    explicit SceneProbe(std::string label)
        : label(std::move(label))
    {
    }
    ~SceneProbe() override
    {
        if (log)
            log->push_back("~" + label);
    }
    void Start() override { log->push_back("Start " + label); }
    void EarlyUpdate(float) override
    {
        log->push_back("EarlyUpdate " + label);
        // A write that does not raise dirty: a second Transform::Update this frame must not pick it up.
        gameObject->transform->position.x += 100.0f;
    }
    void Update(float) override { log->push_back("Update " + label); }
    std::string label;
};

struct OtherProbe : Component {
    void Update(float) override { ++updates; }
    int updates = 0;
};

struct AwakeProbe : Component {
    void Awake() override { ++awakenings; }
    int awakenings = 0;
};

struct DerivedAwakeProbe : AwakeProbe {};

struct PlainProbe : Component {};

namespace sceneprobes {
struct Namespaced : Component {};
} // namespace sceneprobes

namespace {

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override { SceneProbe::log = &log; }
    void TearDown() override
    {
        Scene::GetInstance().DeleteAllComponents();
        SceneProbe::log = nullptr;
    }

    std::vector<Component*>& Group(const std::string& typeName)
    {
        return Scene::GetInstance().componentsByType->at(typeName);
    }

    std::vector<std::string> log;
};

} // namespace

TEST_F(SceneTest, ComponentsOfOneTypeAreVisitedInRegistrationOrderAcrossObjects)
{
    GameObject first("first");
    GameObject second("second");
    auto* a = AddComponent<SceneProbe>(first, "a");
    auto* b = AddComponent<SceneProbe>(second, "b");
    auto* c = AddComponent<SceneProbe>(first, "c");

    EXPECT_EQ(Group("SceneProbe"), (std::vector<Component*> { a, b, c }));
    EXPECT_EQ(first.components, (std::vector<Component*> { a, c }));
    EXPECT_EQ(a->gameObject, &first);
    EXPECT_EQ(b->gameObject, &second);

    Scene::GetInstance().UpdatePass(0.016f);
    EXPECT_EQ(log, (std::vector<std::string> { "Update a", "Update b", "Update c" }));
}

TEST_F(SceneTest, TheRegistryStartsWithEightBucketsAndLoadFactorOne)
{
    Scene scene;
    // Eight buckets are asked for; the library may round up (libstdc++ picks the next prime, 11).
    EXPECT_GE(scene.componentsByType->bucket_count(), 8u);
    EXPECT_LT(scene.componentsByType->bucket_count(), 16u);
    EXPECT_EQ(scene.componentsByType->max_load_factor(), 1.0f);
    EXPECT_EQ(scene.physicsScene, nullptr);
    EXPECT_EQ(scene.controllerManager, nullptr);
}

TEST_F(SceneTest, AnObjectInTwoGroupsRebuildsItsMatricesOncePerFrame)
{
    GameObject object("two groups");
    object.transform->position = { 1.0f, 2.0f, 3.0f, 1.0f };
    AddComponent<SceneProbe>(object, "probe");
    auto* other = AddComponent<OtherProbe>(object);

    Scene::GetInstance().EarlyUpdatePass(0.016f);
    // Whichever group came first rebuilt the matrices; the probe's later write was not dirty, so the
    // second visit of the same Transform changed nothing.
    EXPECT_EQ(object.transform->worldMatrix.m[3][0], 1.0f);
    EXPECT_EQ(object.transform->position.x, 101.0f);
    EXPECT_FALSE(object.transform->dirty);
    // Pass 1 does not call Update, pass 2 does.
    EXPECT_EQ(other->updates, 0);
    Scene::GetInstance().UpdatePass(0.016f);
    EXPECT_EQ(other->updates, 1);
}

TEST_F(SceneTest, StartComesOnlyFromStartAllNeverFromTheFramePasses)
{
    GameObject object("object");
    AddComponent<SceneProbe>(object, "p");
    Scene& scene = Scene::GetInstance();
    scene.EarlyUpdatePass(0.01f);
    scene.UpdatePass(0.01f);
    EXPECT_EQ(log, (std::vector<std::string> { "EarlyUpdate p", "Update p" }));

    log.clear();
    scene.StartAll();
    EXPECT_EQ(log, (std::vector<std::string> { "Start p" }));
}

TEST_F(SceneTest, GetComponentFollowsTheClassTreeInAttachmentOrder)
{
    GameObject object("object");
    auto* plain = AddComponent<PlainProbe>(object);
    auto* derived = AddComponent<DerivedAwakeProbe>(object);
    auto* base = AddComponent<AwakeProbe>(object);

    EXPECT_EQ(object.GetComponent<PlainProbe>(), plain);
    EXPECT_EQ(object.GetComponent<AwakeProbe>(), derived);
    EXPECT_EQ(object.GetComponent<DerivedAwakeProbe>(), derived);
    EXPECT_EQ(object.GetComponent<Component>(), plain);
    EXPECT_EQ(object.GetComponent<OtherProbe>(), nullptr);
    EXPECT_NE(base, nullptr);
}

TEST_F(SceneTest, TypeNamesAreThePlainClassNames)
{
    GameObject object("object");
    EXPECT_STREQ(AddComponent<PlainProbe>(object)->typeName, "PlainProbe");
    EXPECT_STREQ(AddComponent<DerivedAwakeProbe>(object)->typeName, "DerivedAwakeProbe");
    EXPECT_STREQ(AddComponent<sceneprobes::Namespaced>(object)->typeName, "sceneprobes::Namespaced");
    EXPECT_STREQ(object.transform->typeName, "");
    EXPECT_EQ(object.transform->gameObject, &object);
    EXPECT_EQ(Group("PlainProbe").size(), 1u);
    EXPECT_EQ(Scene::GetInstance().componentsByType->count("Transform"), 0u);
}

TEST_F(SceneTest, AwakeRunsOnceWhereTheClassOrABaseOverridesIt)
{
    GameObject object("object");
    EXPECT_EQ(AddComponent<AwakeProbe>(object)->awakenings, 1);
    EXPECT_EQ(AddComponent<DerivedAwakeProbe>(object)->awakenings, 1);
    static_assert(detail::kOverridesAwake<AwakeProbe>);
    static_assert(detail::kOverridesAwake<DerivedAwakeProbe>);
    static_assert(!detail::kOverridesAwake<PlainProbe>);
}

TEST_F(SceneTest, DeletingTheRegistryDestroysEveryComponentOnce)
{
    auto scene = std::make_unique<Scene>();
    GameObject object("object");
    auto* probe = new SceneProbe("owned");
    probe->gameObject = &object;
    scene->Register(probe);
    scene.reset();
    EXPECT_EQ(log, (std::vector<std::string> { "~owned" }));
}
