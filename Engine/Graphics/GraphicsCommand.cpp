#include "Graphics/GraphicsCommand.h"

// The draw commands' Execute is defined in MeshRenderer.cpp, beside the draw helpers it shares
// with the mesh renderer.

RenderMeshCommand::RenderMeshCommand(GameObject* owner, Model** model, Material* material)
    : owner(owner)
    , model(model)
    , material(material)
{
}

RenderShadowCommand::RenderShadowCommand(GameObject* owner, Model** model, Material* material)
    : owner(owner)
    , model(model)
    , material(material)
{
}

void LambdaGraphicsCommand::ExecuteThenDestroy()
{
    Execute();
    Destroy();
}
