#pragma once
// The abstract base of every behaviour attached to a game object.
//
// A class overrides only the hooks it needs; every hook has an empty body here. The slots are fixed:
// the unnamed hooks are kept, never called, so that the table keeps its shape for classes written
// against it. Components are created by AddComponent (GameObject.h), owned by the Scene registry
// (deleted at process exit), and touched only on the main thread — collision hooks too, which run
// inside the physics step when no physics worker is active.

#include "Math/Vector.h"

class GameObject;

class Component {
public:
    static constexpr int kTypeNameCapacity = 256;

    // 1. Called by the Scene's destructor at process exit.
    virtual ~Component() = default;
    // 2. Called by AddComponent as its last step, only for classes that override it.
    virtual void Awake() {}
    // 3. Called once: by Application::Run for the scene built at start-up, or by the code that
    // creates an object later, right after all its components exist (so siblings can find each other).
    virtual void Start() {}
    // 4. Never called.
    virtual void ReservedHook4() {}
    // 5. Every frame, in the second component pass.
    virtual void Update(float deltaTime) { (void)deltaTime; }
    // 6. Never called.
    virtual void ReservedHook6() {}
    // 7. Every frame, in the first component pass, right after the owner's Transform::Update.
    virtual void EarlyUpdate(float deltaTime) { (void)deltaTime; }
    // 8-10. Never called.
    virtual void ReservedHook8() {}
    virtual void ReservedHook9() {}
    virtual void ReservedHook10() {}
    // 11. An editor field for the component; nothing in the program calls it.
    virtual void DrawInspector() {}
    // 12. When the owner starts touching `other`; `contact` is the world position of the first
    // contact point.
    virtual void OnCollisionEnter(GameObject* other, const Float3& contact)
    {
        (void)other;
        (void)contact;
    }
    // 13. When the owner stops touching `other`.
    virtual void OnCollisionExit(GameObject* other) { (void)other; }

    // The owner; not owned. Set when the component is attached.
    GameObject* gameObject = nullptr;
    // The plain class name ("MeshRenderer"), the registry key; empty for a Transform.
    char typeName[kTypeNameCapacity] = {};
};
