#include "Scene/GameObject.h"

#include "Scene/Transform.h"

GameObject::GameObject(std::string name)
    : transform(new Transform())
    , name(std::move(name))
{
    transform->gameObject = this;
}

GameObject::~GameObject()
{
    delete transform;
}
