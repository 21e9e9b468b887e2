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

// The display options of the views. The switches act on the view named by the event's Context
// (a panel), else the current one: Mode 1 sets the switch from integer parameter 0 being non-zero
// (a check box), any other Mode toggles it (a menu entry or a key).
enum TTarnwick_ViewOptionCommand : int32_t
{
    // Posted at every key press: the views are drawn again, since a tool's cursor may show the
    // modifier keys. Nothing changes.
    KeyPressedCommand = 163,
    ToggleWireframeCommand = 164,
    ToggleBackFacesCommand = 165,
    ToggleSelectionOverlayCommand = 166,
    ToggleLightingCommand = 167,
    FitViewToObjectCommand = 168,
    // The colours ask through the colour chooser and apply to every view.
    BackgroundColourCommand = 169,
    WireframeColourCommand = 170,
    // Every view looks at the box of all the objects it shows.
    FitViewsToSceneCommand = 171,
    // The view's switches go to the other three views.
    CopyViewOptionsCommand = 172,
    // Every view's switches go back to how a view starts.
    ResetViewOptionsCommand = 173,
};

// True when the command ran to its end; false for numbers without a case.
bool HandleViewportCommand(TZAVEvent* event);
bool HandleLayoutCommand(TZAVEvent* event);
