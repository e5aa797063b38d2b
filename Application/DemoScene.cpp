#include "Application/DemoScene.h"

void BuildDemoScene()
{
}
