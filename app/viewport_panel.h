// TTarnwick_ViewportPanel: the widget that shows one 3D view of the scene and carries its button
// bar: navigation buttons that turn drags into rotation, roll, pan and zoom, the orientation menu
// of the six standard views, fitting, and the display modes.
#pragma once

#include <cstdint>

#include "app/viewport_camera.h"
#include "widgets/node.h"

class TZAVglutWigits_Button;

class TTarnwick_ViewportPanel : public TZAVglutWigits_Node
{
public:
    // index is the panel's place among the four (0..3).
    TTarnwick_ViewportPanel(TZAVglutWigits_Node* parent, int32_t index);
    ~TTarnwick_ViewportPanel() override;

    // Sets the standard view of commands 155 to 161: camera, button image and label, redraw. The
    // command's status line is the dispatcher's.
    void SetView(TTarnwick_StandardView view);
    // Fits the view to the current object of the current project; false without vertices.
    bool FitToObject();
    // Drops the cached image of the view (nothing is cached yet, so only a redraw follows).
    void DiscardCachedImage();
    // Adds a pointer movement to the virtual pointer position (the pointer is warped back to the
    // navigation button while it drags).
    void AddPointerMovement(int32_t dx, int32_t dy);

    // The handler of the events the navigation buttons post while dragged: the event's ID is the
    // mode (TTarnwick_NavigationMode), its X and Y the pointer movement since the last event, its
    // Context the panel.
    static void NavOnMotionCB(TZAVEvent* event);
    bool Navigate(const TZAVEvent& event);

    int32_t Index = 0;
    TTarnwick_Viewport Viewport;
};
