#pragma once
// The Scene registry: every component except the Transforms, grouped by class name, each group in
// registration order. The frame loop walks it, not the game objects, to drive the per-frame hooks.
//
// One instance (GetInstance), created on first use. It owns the registered components and deletes
// them when the process exits; game objects and their Transforms are never deleted. Main thread only.

#include <string>
#include <unordered_map>
#include <vector>

namespace physx {
class PxScene;
class PxControllerManager;
} // namespace physx

class Component;

class Scene {
public:
    using ComponentGroups = std::unordered_map<std::string, std::vector<Component*>>;

    static Scene& GetInstance();

    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Appends `component` to the group of its typeName, creating the group for the first of a type.
    void Register(Component* component);

    // Start on every registered component: the groups in the registry's order, each in registration
    // order. Called once by Application::Run before the first frame.
    void StartAll();

    // Frame pass 1: for every registered component, its owner's Transform::Update (which rebuilds the
    // matrices at most once per frame), then its EarlyUpdate.
    void EarlyUpdatePass(float deltaTime);

    // Frame pass 2: Update on every registered component.
    void UpdatePass(float deltaTime);

    // Deletes every registered component and empties the registry.
    void DeleteAllComponents();

    // Owning: the components are deleted with the Scene.
    ComponentGroups* componentsByType;
    // The physics scene and its character-controller manager; null until the physics system
    // creates them.
    physx::PxScene* physicsScene = nullptr;
    physx::PxControllerManager* controllerManager = nullptr;
};
