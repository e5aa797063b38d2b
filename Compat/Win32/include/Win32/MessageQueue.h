#pragma once
// Bridges a GLFW window to the thread's Windows message queue.
//
// On Windows GLFW's window procedure already receives the window's messages from the real queue, so
// connecting does nothing. Elsewhere the window's key and mouse-button events become WM_ messages
// posted to the queue that PeekMessageW drains, and PeekMessageW polls GLFW for new events when the
// queue runs empty; GLFW's callbacks, and those of anything chained after ours, run inside the pump.
//
// Main thread only.

struct GLFWwindow;

// Installs the message-posting callbacks on `window`. Call it before any other library (the UI back
// end) installs its own callbacks, so that they chain to ours. The window must outlive the pump.
void ConnectWindowMessages(GLFWwindow* window);

// Forgets the connected window (call before destroying it); the pump then stops polling GLFW.
void DisconnectWindowMessages();

// The connected window, or null.
GLFWwindow* ConnectedMessageWindow();

// The Windows virtual-key code for a GLFW key, or 0 when Windows has no key for it. Both shift keys
// map to VK_SHIFT and both control keys to VK_CONTROL, as Windows reports them in WM_KEYDOWN.
int VirtualKeyFromGlfwKey(int glfwKey);
