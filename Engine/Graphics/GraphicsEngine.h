#pragma once
// The renderer's single instance: it records and executes the frame's GPU work.
//
// Created by the first GetInstance (start-up, which writes width and height) and destroyed at exit.
// Main thread only, with the GL context current.

#include <cstdint>

class GraphicsEngine {
public:
    static GraphicsEngine& GetInstance();

    // Records the frame's passes and executes them. Called once per frame after the component updates.
    void RecordFrame();

    // The main pass viewport in pixels: the primary monitor's mode at start-up, never changed after.
    std::int32_t width = 0;
    std::int32_t height = 0;
};
