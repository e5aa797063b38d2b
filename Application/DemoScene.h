#pragma once
// The fixed content Application::Run builds before the first frame: a floor, a cabin and the light.

// Creates every game object with its components; none has had Start yet. Main thread, once.
void BuildDemoScene();
