// The viewport commands (154 to 174) and the commands that lay the main window out again (60, 65,
// 66).
#pragma once

#include <cstdint>

class TZAVEvent;

enum TTarnwick_LayoutCommand : int32_t
{
    WindowReshapedCommand = 60,
    LayOutWindowCommand = 65,
    // Posted by the idle tick once the scene has settled.
    SceneSettledCommand = 66,
};

constexpr int32_t FirstViewportCommand = 154;
constexpr int32_t LastViewportCommand = 174;

// True when the command ran to its end; false for numbers without a case.
bool HandleViewportCommand(TZAVEvent* event);
bool HandleLayoutCommand(TZAVEvent* event);
