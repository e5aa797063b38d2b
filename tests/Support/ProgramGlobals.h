#pragma once
// The program-wide values a test may change: the main pass's camera, the scene's light, whether the
// first frame is running, and the input object. A guard saves them when it is made and puts them back
// when it goes, so that tests run in one process do not see each other's. Main thread.

class DirectionalLight;
class GameCamera;
class Input;

class ProgramGlobalsGuard {
public:
    ProgramGlobalsGuard();
    ~ProgramGlobalsGuard();
    ProgramGlobalsGuard(const ProgramGlobalsGuard&) = delete;
    ProgramGlobalsGuard& operator=(const ProgramGlobalsGuard&) = delete;

private:
    GameCamera* camera;
    DirectionalLight* light;
    bool first;
    Input* keyboard;
};
