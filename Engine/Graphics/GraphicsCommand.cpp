#include "Graphics/GraphicsCommand.h"

#include <utility>

// The draw commands' Execute is defined in MeshRenderer.cpp, beside the draw helpers it shares
// with the mesh renderer.

RenderMeshCommand::RenderMeshCommand(GameObject* owner, Model** model, Material* material)
    : owner(owner)
    , model(model)
    , material(material)
{
}

// Everything the command points at belongs to its renderer.
void RenderMeshCommand::Destroy()
{
}

RenderShadowCommand::RenderShadowCommand(GameObject* owner, Model** model, Material* material)
    : owner(owner)
    , model(model)
    , material(material)
{
}

// Everything the command points at belongs to its renderer.
void RenderShadowCommand::Destroy()
{
}

LambdaGraphicsCommand::LambdaGraphicsCommand(std::function<void()> function)
    : function(std::move(function))
{
}

void LambdaGraphicsCommand::Execute()
{
    function();
}

void LambdaGraphicsCommand::Destroy()
{
    function = nullptr;
}
