// The brush cursor outlines, drawn over a viewport after its scene. Coordinates are the view's
// normalised space; width and height are the view's size in pixels. The drawing functions need a
// current OpenGL context with the view's viewport set; they leave the GL state as they found it.
#pragma once

#include <cstdint>
#include <vector>

// Drawing over the view while it lives: identity matrices, so that the view's normalised space is
// the clip space, and no depth test, so that lines show over the figure; the caller's state comes
// back at its end.
class TTarnwick_CursorDrawing
{
public:
    TTarnwick_CursorDrawing();
    ~TTarnwick_CursorDrawing();
    TTarnwick_CursorDrawing(const TTarnwick_CursorDrawing&) = delete;
    TTarnwick_CursorDrawing& operator=(const TTarnwick_CursorDrawing&) = delete;
};

// A closed loop of 360 points (x, y pairs), one per whole degree, around (x, y) with the radii
// rx and ry.
void RoundOutlinePoints(float x, float y, float rx, float ry, std::vector<float>& out_points);

// The loop in white, then in black one pixel further out, so that it shows on any background.
void DrawRoundCursorOutline(float x, float y, float rx, float ry, int32_t width, int32_t height);
// The rectangle x ± rx, y ± ry in the same two passes.
void DrawSquareCursorOutline(float x, float y, float rx, float ry, int32_t width, int32_t height);
// An open line through the points (x, y pairs) in white: the outline of a shape being dragged.
void DrawCursorLine(const std::vector<float>& points);
