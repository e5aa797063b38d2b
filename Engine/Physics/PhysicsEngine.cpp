#include "Physics/PhysicsEngine.h"

PhysicsEngine& PhysicsEngine::GetInstance()
{
    static PhysicsEngine instance;
    return instance;
}

void PhysicsEngine::Initialize()
{
}

void PhysicsEngine::CreateScene()
{
}

void PhysicsEngine::Simulate()
{
}
