#include "ProgramGlobals.h"

#include "Core/Input.h"
#include "Graphics/GraphicsEngine.h"
#include "Scene/GameCamera.h"

ProgramGlobalsGuard::ProgramGlobalsGuard()
    : camera(activeCamera)
    , light(sceneLight)
    , first(firstFrame)
    , keyboard(input)
{
}

ProgramGlobalsGuard::~ProgramGlobalsGuard()
{
    activeCamera = camera;
    sceneLight = light;
    firstFrame = first;
    input = keyboard;
}
