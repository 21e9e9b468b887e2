// The GL drawing helpers of the widgets: rectangles, frames, the dotted focus frame, shadows and
// textured quads, each counted as one draw call of the frame.
//
// A frame keeps one projection for the whole window (one unit per pixel, y down) and moves the
// drawing origin to each node on the CPU, so that the quads of many nodes reach the driver as one
// batch; a GL state change between nodes would flush them one by one. Widgets therefore draw
// through these helpers (and Node::DrawText) in coordinates local to the node, never with raw
// glVertex calls. Clipping is a scissor box, set only when a node reaches outside its clip.
//
// Text waits in the frame's text batch (textured, blended, coloured quads, clipped on the CPU)
// and is drawn in one go when something is about to cover it: every helper first flushes the
// batch when queued text lies under what it draws, so the frame looks exactly as if each label
// were drawn in its turn. Code that draws with raw GL calls FlushTextUnder (or FlushTextBatch)
// first; a draw handler gets an empty batch.
#pragma once

#include <cstdint>

#include "widgets/node.h"

// Resets the state the widgets rely on: no texturing, lighting, depth, blending, stipples...;
// identity matrices; white. Queued text is dropped: flush it first to keep it.
void ResetWidgetGLState();
// Viewport on clip (window frame, y down) with an orthographic projection whose origin is the
// window point origin_x, origin_y: what a node's draw handler gets.
void SetWidgetViewport(const TZAVglutWigits_Rect& clip, int32_t origin_x, int32_t origin_y,
                       int32_t window_height);
// The whole window, one unit per pixel, y down; drawing origin at the window's corner, no clip.
void SetWindowProjection(int32_t width, int32_t height);
// Where the helpers' local (0, 0) lies in the window.
void SetDrawOrigin(int32_t x, int32_t y);
int32_t DrawOriginX();
int32_t DrawOriginY();
// Clips to clip (window frame); an empty optional clip (Width < 0) turns clipping off.
void SetDrawClip(const TZAVglutWigits_Rect& clip);
constexpr TZAVglutWigits_Rect NoDrawClip{0, 0, -1, -1};
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

// [Text batch] A run is one line of text in one colour from one texture; its quads are in window
// coordinates, clipped to the current draw clip as they are queued.
void BeginTextRun(uint32_t texture, const float* rgba);
void QueueTextQuad(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1);
void EndTextRun();
// Draws the queued text (one draw call) and empties the batch.
void FlushTextBatch();
// Flushes when queued text lies under area (window frame, before the draw clip).
void FlushTextUnder(const TZAVglutWigits_Rect& area);

void ResetDrawCallCount();
void CountDrawCalls(int32_t count);
int32_t DrawCallCount();
// Sibling rectangles the last occlusion pass of the Master examined: tests hold it near the
// number of nodes, however many siblings there are.
void SetOcclusionTestCount(int64_t count);
int64_t OcclusionTestCount();
