#include "Scene/Scene.h"

#include "Scene/Component.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

namespace {

constexpr std::size_t kInitialGroupBuckets = 8;
constexpr float kMaxGroupLoadFactor = 1.0f;

// Visits every registered component: the groups in the map's order, each group in registration
// order. Indices rather than iterators within a group, so a hook that adds a component to the group
// being walked does not invalidate the walk.
template <class Visit>
void ForEachComponent(Scene::ComponentGroups& groups, Visit visit)
{
    for (auto& [typeName, components] : groups)
        for (std::size_t i = 0; i < components.size(); ++i)
            visit(*components[i]);
}

} // namespace

Scene& Scene::GetInstance()
{
    static Scene instance;
    return instance;
}

Scene::Scene()
    : componentsByType(new ComponentGroups(kInitialGroupBuckets))
{
    componentsByType->max_load_factor(kMaxGroupLoadFactor);
}

Scene::~Scene()
{
    DeleteAllComponents();
    delete componentsByType;
}

void Scene::Register(Component* component)
{
    (*componentsByType)[component->typeName].push_back(component);
}

void Scene::StartAll()
{
    ForEachComponent(*componentsByType, [](Component& c) { c.Start(); });
}

void Scene::EarlyUpdatePass(float deltaTime)
{
    ForEachComponent(*componentsByType, [deltaTime](Component& c) {
        c.gameObject->transform->Update(deltaTime);
        c.EarlyUpdate(deltaTime);
    });
}

void Scene::UpdatePass(float deltaTime)
{
    ForEachComponent(*componentsByType, [deltaTime](Component& c) { c.Update(deltaTime); });
}

void Scene::DeleteAllComponents()
{
    for (auto& [typeName, components] : *componentsByType)
        for (Component* component : components)
            delete component;
    componentsByType->clear();
}
