#include "Graphics/MeshRenderer.h"

#include "Assets/Model.h"
#include "Graphics/GraphicsCommand.h"
#include "Graphics/GraphicsEngine.h"
#include "Scene/GameObject.h"
#include "Scene/Transform.h"

#include <glad/gl.h>

namespace {

// Nothing to draw: a missing model, or one whose import gave no mesh to upload.
bool CannotDraw(const Model* model)
{
    return model == nullptr || !model->HasGpuBuffers();
}

GLint Location(GLuint program, const char* name)
{
    return glGetUniformLocation(program, name);
}

// Binding, blending and the two object matrices: what both passes send for every draw.
void BeginDraw(const Material& material, const GameObject& owner)
{
    material.Bind();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const Transform& transform = *owner.transform;
    glUniformMatrix4fv(Location(material.program, "objectBuffer.OB_matrix"), 1, GL_FALSE, transform.worldMatrix.Data());
    glUniformMatrix4fv(
        Location(material.program, "objectBuffer.OB_matrixNoScale"), 1, GL_FALSE, transform.worldMatrixNoScale.Data());
}

void DrawElements(const Model& model)
{
    glBindVertexArray(model.vao);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(model.indexCount), GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
}

} // namespace

MeshRenderer::MeshRenderer(Model* model, const Material& material)
    : material(material)
    , model(model)
{
}

void MeshRenderer::Start()
{
    for (int slot = 0; slot < Material::kTextureSlots; ++slot)
        if (material.textures[slot].id == Texture::kEmpty || !material.textures[slot].hasImage)
            LoadTexture(kDefaultTextures[slot], material.textures[slot]);
}

void MeshRenderer::Update(float)
{
    if (firstFrame)
        GraphicsEngine::GetInstance().RegisterRenderer(this);
}

// The commands read the model, the material and the owner's transform as they are when the list
// executes, not when it was recorded.
void RenderMeshCommand::Execute()
{
    const Model* m = *model;
    if (CannotDraw(m))
        return;
    BeginDraw(*material, *owner);
    const GLuint program = material->program;
    const Float4& albedo = material->albedo;
    glUniform4f(Location(program, "material.albedo"), albedo.x, albedo.y, albedo.z, albedo.w);
    glUniform1f(Location(program, "material.specularStrength"), material->specularStrength);
    glUniform1f(Location(program, "material.shininess"), material->shininess);
    DrawElements(*m);
}

void RenderShadowCommand::Execute()
{
    const Model* m = *model;
    if (CannotDraw(m))
        return;
    // Only depth reaches the shadow map: the material constants are not sent.
    BeginDraw(*material, *owner);
    DrawElements(*m);
}
