#include "Graphics/GraphicsEngine.h"

GraphicsEngine& GraphicsEngine::GetInstance()
{
    static GraphicsEngine instance;
    return instance;
}

void GraphicsEngine::RecordFrame()
{
}
