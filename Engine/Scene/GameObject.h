#pragma once
// A game object: a name, one Transform and the components attached to it. There is no hierarchy;
// every object is directly in world space.
//
// Objects are allocated on the heap by their creators and never deleted while the program runs.
// Main thread only.

#include "Scene/Component.h"
#include "Scene/Scene.h"
#include "Scene/TypeName.h"

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class Transform;

class GameObject {
public:
    // Creates the object's Transform, owned by the object.
    explicit GameObject(std::string name);
    ~GameObject();
    GameObject(const GameObject&) = delete;
    GameObject& operator=(const GameObject&) = delete;

    // The first attached component whose dynamic type is T or derives from T, in attachment order;
    // null when there is none.
    template <class T>
    T* GetComponent() const
    {
        for (Component* component : components)
            if (auto* match = dynamic_cast<T*>(component))
                return match;
        return nullptr;
    }

    // Owning.
    Transform* transform;
    // Not used for look-ups.
    std::string name;
    // Every attached component in attachment order, the Transform excluded. Not owning: the Scene
    // registry owns them.
    std::vector<Component*> components;
};

namespace detail {

template <class T>
constexpr bool kOverridesAwake = !std::is_same_v<decltype(&T::Awake), decltype(&Component::Awake)>;

} // namespace detail

// Creates a component of type T with `arguments`, attaches it to `object`, registers it in the Scene
// under its plain class name, and calls its Awake when T overrides it. Start is left to the creator,
// once all of the object's components exist.
template <class T, class... Arguments>
T* AddComponent(GameObject& object, Arguments&&... arguments)
{
    static_assert(std::is_base_of_v<Component, T>, "components derive from Component");
    T* component = new T(std::forward<Arguments>(arguments)...);
    component->gameObject = &object;
    PlainTypeName(typeid(T), component->typeName, sizeof component->typeName);
    object.components.push_back(component);
    Scene::GetInstance().Register(component);
    if constexpr (detail::kOverridesAwake<T>)
        component->Awake();
    return component;
}
