// The GL drawing helpers of the widgets: rectangles, frames, the dotted focus frame, shadows and
// textured quads in the current projection (y down), each counted as one draw call of the frame.
#pragma once

#include <cstdint>

#include "widgets/node.h"

// Resets the state the widgets rely on: no texturing, lighting, depth, blending, stipples...;
// identity matrices; white.
void ResetWidgetGLState();
// Viewport on clip (window frame, y down) with an orthographic projection whose origin is the
// window point origin_x, origin_y.
void SetWidgetViewport(const TZAVglutWigits_Rect& clip, int32_t origin_x, int32_t origin_y,
                       int32_t window_height);
void DrawFilledRect(float x, float y, float width, float height);
// A frame of thickness pixels inside the rectangle.
void DrawFrameRect(float x, float y, float width, float height, float thickness);
// A dotted one-pixel frame (stipple 0x5555) on the rectangle's outer pixels.
void DrawDottedFrame(float x, float y, float width, float height);
// A soft black shadow offset pixels right and down of the rectangle.
void DrawShadowRect(float x, float y, float width, float height, float offset);
// texture over the rectangle, modulated by the current colour.
void DrawTexturedQuad(uint32_t texture, float x, float y, float width, float height);
void BeginBlending();
void EndBlending();

void ResetDrawCallCount();
void CountDrawCalls(int32_t count);
int32_t DrawCallCount();
