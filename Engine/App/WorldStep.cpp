#include "App/WorldStep.h"

#include "Physics/PhysicsEngine.h"
#include "Scene/Scene.h"

void StepWorld(float deltaTime, void (*gameStep)(), const std::function<void()>& afterPhysics)
{
    if (gameStep != nullptr)
        gameStep();
    PhysicsEngine::GetInstance().Simulate();
    if (afterPhysics)
        afterPhysics();
    Scene& scene = Scene::GetInstance();
    scene.EarlyUpdatePass(deltaTime);
    scene.UpdatePass(deltaTime);
}
