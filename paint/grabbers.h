// The colour and texture grabbers: temporary tools that take a colour or a brush image from what
// the view shows, for the paint brush that called them, and then hand control back to it. They
// are Busy, so the tool bar cannot replace them while they wait for their click.
//
//   colour grabber   press: the pixel under the pointer -> primary (left) or secondary (right)
//                    colour of the brush; release: back to the calling tool
//   texture grabber  press: one corner; drag: the rectangle shows; release: its pixels become
//                    the brush's image "Grabbed Texture"; back to the calling tool
#pragma once

#include <cstdint>

#include "tools/tool.h"

class TTarnwick_PaintBrush;

class TTarnwick_GrabberBrush : public TTarnwick_Tool
{
public:
    TTarnwick_GrabberBrush();

    // The paint brush that called the grabber: it receives what is grabbed, and control after.
    TTarnwick_PaintBrush* Brush = nullptr;

protected:
    // The window pixel, from the lower left, under the view point (x, y).
    static void WindowPixel(const TTarnwick_ToolView& view, float x, float y, int32_t& out_x, int32_t& out_y);
    // Makes the calling brush current again.
    void HandBack();
};

class TTarnwick_ColorGrabberBrush : public TTarnwick_GrabberBrush
{
public:
    TTarnwick_ColorGrabberBrush();

    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
};

class TTarnwick_TextureGrabberBrush : public TTarnwick_GrabberBrush
{
public:
    TTarnwick_TextureGrabberBrush();

    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    void DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;

    // The index of the last grabbed image in the project's brush images; -1 before any.
    int32_t GrabbedImage = -1;
};
