// GL drawing helpers of the widgets. Each helper is one glBegin/glEnd and counts as one draw call;
// the text batch counts one per flush.
//
// [SECTION] Counters
// [SECTION] State, projection and clip
// [SECTION] Shapes
// [SECTION] Text batch
#include "widgets/draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

int32_t draw_calls = 0;
int64_t occlusion_tests = 0;
float origin_x = 0.0f;
float origin_y = 0.0f;
int32_t window_height = 0;
TZAVglutWigits_Rect current_clip = NoDrawClip;

constexpr float ShadowAlpha = 0.35f;

struct TTextVertex
{
    float U, V;
    float Red, Green, Blue, Alpha;
    float X, Y;
};

// The queued text: vertices in drawing order, and the pixels each run covers.
struct TTextBatch
{
    std::vector<TTextVertex> Vertices;
    std::vector<TZAVglutWigits_Rect> Runs;
    // All runs together: most shapes miss it and need no look at the runs.
    TZAVglutWigits_Rect Bounds;
    uint32_t Texture = 0;
    float Colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    // The open run's extent; Right < Left while it holds nothing.
    float RunLeft = 0.0f, RunTop = 0.0f, RunRight = -1.0f, RunBottom = -1.0f;
};
TTextBatch text_batch;

bool Overlap(const TZAVglutWigits_Rect& a, const TZAVglutWigits_Rect& b)
{
    return !a.Empty() && !b.Empty() && a.X < b.X + b.Width && b.X < a.X + a.Width && a.Y < b.Y + b.Height &&
           b.Y < a.Y + a.Height;
}

TZAVglutWigits_Rect Union(const TZAVglutWigits_Rect& a, const TZAVglutWigits_Rect& b)
{
    if (a.Empty())
        return b;
    const int32_t left = std::min(a.X, b.X), top = std::min(a.Y, b.Y);
    const int32_t right = std::max(a.X + a.Width, b.X + b.Width);
    const int32_t bottom = std::max(a.Y + a.Height, b.Y + b.Height);
    return {left, top, right - left, bottom - top};
}

// The pixels a rectangle of the window frame touches.
TZAVglutWigits_Rect CoveredPixels(float left, float top, float right, float bottom)
{
    const auto x = static_cast<int32_t>(std::floor(left)), y = static_cast<int32_t>(std::floor(top));
    return {x, y, static_cast<int32_t>(std::ceil(right)) - x, static_cast<int32_t>(std::ceil(bottom)) - y};
}

// A shape of the node's frame is about to be drawn over x, y, width, height.
void FlushTextUnderLocal(float x, float y, float width, float height)
{
    if (!text_batch.Runs.empty())
        FlushTextUnder(
            CoveredPixels(x + origin_x, y + origin_y, x + origin_x + width, y + origin_y + height));
}

} // namespace

// [SECTION] Counters

void ResetDrawCallCount()
{
    draw_calls = 0;
}

void CountDrawCalls(int32_t count)
{
    draw_calls += count;
}

int32_t DrawCallCount()
{
    return draw_calls;
}

void SetOcclusionTestCount(int64_t count)
{
    occlusion_tests = count;
}

int64_t OcclusionTestCount()
{
    return occlusion_tests;
}

// [SECTION] State, projection and clip

void ResetWidgetGLState()
{
    glEnable(GL_COLOR_MATERIAL);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const float ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    for (GLenum capability : {GL_TEXTURE_1D,
                              GL_TEXTURE_2D,
                              GL_COLOR_MATERIAL,
                              GL_LINE_SMOOTH,
                              GL_POLYGON_SMOOTH,
                              GL_LINE_STIPPLE,
                              GL_POLYGON_STIPPLE,
                              GL_CULL_FACE,
                              GL_POLYGON_OFFSET_FILL,
                              GL_POLYGON_OFFSET_LINE,
                              GL_POLYGON_OFFSET_POINT,
                              GL_ALPHA_TEST,
                              GL_BLEND,
                              GL_DEPTH_TEST,
                              GL_DITHER,
                              GL_FOG,
                              GL_LIGHTING,
                              GL_COLOR_LOGIC_OP,
                              GL_STENCIL_TEST,
                              GL_SCISSOR_TEST})
        glDisable(capability);
    current_clip = NoDrawClip;
    text_batch.Vertices.clear();
    text_batch.Runs.clear();
    text_batch.Bounds = {};
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE, GL_DEPTH_SCALE})
        glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS, GL_DEPTH_BIAS})
        glPixelTransferf(bias, 0.0f);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    for (GLenum matrix : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(matrix);
        glLoadIdentity();
    }
}

void SetWindowProjection(int32_t width, int32_t height)
{
    window_height = height;
    SetWidgetViewport({0, 0, width, height}, 0, 0, height);
    SetDrawOrigin(0, 0);
    SetDrawClip(NoDrawClip);
}

void SetDrawOrigin(int32_t x, int32_t y)
{
    origin_x = static_cast<float>(x);
    origin_y = static_cast<float>(y);
}

int32_t DrawOriginX()
{
    return static_cast<int32_t>(origin_x);
}

int32_t DrawOriginY()
{
    return static_cast<int32_t>(origin_y);
}

void SetDrawClip(const TZAVglutWigits_Rect& clip)
{
    if (clip == current_clip)
        return;
    if (clip.Width < 0) {
        glDisable(GL_SCISSOR_TEST);
    } else {
        if (current_clip.Width < 0)
            glEnable(GL_SCISSOR_TEST);
        glScissor(clip.X, window_height - clip.Y - clip.Height, clip.Width, clip.Height);
    }
    current_clip = clip;
}

void SetWidgetViewport(const TZAVglutWigits_Rect& clip, int32_t corner_x, int32_t corner_y, int32_t height)
{
    if (clip.Empty()) {
        glViewport(0, 0, 0, 0);
        return;
    }
    glViewport(clip.X, height - clip.Y - clip.Height, clip.Width, clip.Height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double left = clip.X - corner_x;
    const double top = clip.Y - corner_y;
    glOrtho(left, left + clip.Width, top + clip.Height, top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// [SECTION] Shapes

void DrawFilledRect(float x, float y, float width, float height)
{
    FlushTextUnderLocal(x, y, width, height);
    x += origin_x;
    y += origin_y;
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x + width, y);
    glVertex2f(x + width, y + height);
    glVertex2f(x, y + height);
    glEnd();
    draw_calls++;
}

void DrawFrameRect(float x, float y, float width, float height, float thickness)
{
    // Text inside the frame stays queued: only the four sides cover anything.
    FlushTextUnderLocal(x, y, width, thickness);
    FlushTextUnderLocal(x, y + height - thickness, width, thickness);
    FlushTextUnderLocal(x, y, thickness, height);
    FlushTextUnderLocal(x + width - thickness, y, thickness, height);
    x += origin_x;
    y += origin_y;
    const float right = x + width, bottom = y + height;
    const float sides[4][4] = {
        {x, y, right, y + thickness},
        {x, bottom - thickness, right, bottom},
        {x, y + thickness, x + thickness, bottom - thickness},
        {right - thickness, y + thickness, right, bottom - thickness},
    };
    glBegin(GL_QUADS);
    for (const float* side : sides) {
        glVertex2f(side[0], side[1]);
        glVertex2f(side[2], side[1]);
        glVertex2f(side[2], side[3]);
        glVertex2f(side[0], side[3]);
    }
    glEnd();
    draw_calls++;
}

void DrawDottedFrame(float x, float y, float width, float height)
{
    FlushTextUnderLocal(x, y, width, 1.0f);
    FlushTextUnderLocal(x, y + height - 1.0f, width, 1.0f);
    FlushTextUnderLocal(x, y, 1.0f, height);
    FlushTextUnderLocal(x + width - 1.0f, y, 1.0f, height);
    x += origin_x;
    y += origin_y;
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x5555);
    // Pixel centres, so that each line covers exactly the outer pixels.
    glBegin(GL_LINE_LOOP);
    glVertex2f(x + 0.5f, y + 0.5f);
    glVertex2f(x + width - 0.5f, y + 0.5f);
    glVertex2f(x + width - 0.5f, y + height - 0.5f);
    glVertex2f(x + 0.5f, y + height - 0.5f);
    glEnd();
    glDisable(GL_LINE_STIPPLE);
    draw_calls++;
}

void DrawShadowRect(float x, float y, float width, float height, float offset)
{
    BeginBlending();
    glColor4f(0.0f, 0.0f, 0.0f, ShadowAlpha);
    DrawFilledRect(x + offset, y + offset, width, height);
    EndBlending();
}

void DrawTexturedQuad(uint32_t texture, float x, float y, float width, float height)
{
    FlushTextUnderLocal(x, y, width, height);
    x += origin_x;
    y += origin_y;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x, y);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x + width, y);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x + width, y + height);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x, y + height);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    draw_calls++;
}

void BeginBlending()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void EndBlending()
{
    glDisable(GL_BLEND);
}

// [SECTION] Text batch

void BeginTextRun(uint32_t texture, const float* rgba)
{
    if (texture != text_batch.Texture && !text_batch.Vertices.empty())
        FlushTextBatch();
    text_batch.Texture = texture;
    std::copy(rgba, rgba + 4, text_batch.Colour);
    text_batch.RunLeft = text_batch.RunTop = 0.0f;
    text_batch.RunRight = text_batch.RunBottom = -1.0f;
}

// Glyphs lie on whole pixels, texel for pixel, so a quad cut at a pixel edge keeps its texels where
// they were: the clipped text is the scissored text, pixel for pixel.
void QueueTextQuad(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1)
{
    if (current_clip.Width >= 0) {
        const auto clip_left = static_cast<float>(current_clip.X);
        const auto clip_top = static_cast<float>(current_clip.Y);
        const float clip_right = clip_left + static_cast<float>(current_clip.Width);
        const float clip_bottom = clip_top + static_cast<float>(current_clip.Height);
        if (left >= clip_right || right <= clip_left || top >= clip_bottom || bottom <= clip_top)
            return;
        const float u_per_pixel = (u1 - u0) / (right - left);
        const float v_per_pixel = (v1 - v0) / (bottom - top);
        if (left < clip_left) {
            u0 += (clip_left - left) * u_per_pixel;
            left = clip_left;
        }
        if (right > clip_right) {
            u1 -= (right - clip_right) * u_per_pixel;
            right = clip_right;
        }
        if (top < clip_top) {
            v0 += (clip_top - top) * v_per_pixel;
            top = clip_top;
        }
        if (bottom > clip_bottom) {
            v1 -= (bottom - clip_bottom) * v_per_pixel;
            bottom = clip_bottom;
        }
    }
    const float* colour = text_batch.Colour;
    const auto vertex = [&](float u, float v, float x, float y) {
        text_batch.Vertices.push_back({u, v, colour[0], colour[1], colour[2], colour[3], x, y});
    };
    vertex(u0, v0, left, top);
    vertex(u1, v0, right, top);
    vertex(u1, v1, right, bottom);
    vertex(u0, v1, left, bottom);
    if (text_batch.RunRight < text_batch.RunLeft) {
        text_batch.RunLeft = left;
        text_batch.RunTop = top;
        text_batch.RunRight = right;
        text_batch.RunBottom = bottom;
    } else {
        text_batch.RunLeft = std::min(text_batch.RunLeft, left);
        text_batch.RunTop = std::min(text_batch.RunTop, top);
        text_batch.RunRight = std::max(text_batch.RunRight, right);
        text_batch.RunBottom = std::max(text_batch.RunBottom, bottom);
    }
}

void EndTextRun()
{
    if (text_batch.RunRight < text_batch.RunLeft)
        return;
    const TZAVglutWigits_Rect run =
        CoveredPixels(text_batch.RunLeft, text_batch.RunTop, text_batch.RunRight, text_batch.RunBottom);
    text_batch.Runs.push_back(run);
    text_batch.Bounds = Union(text_batch.Bounds, run);
    text_batch.RunRight = -1.0f;
}

// The quads are clipped already, so the scissor goes off; the caller's state comes back after.
void FlushTextBatch()
{
    std::vector<TTextVertex>& vertices = text_batch.Vertices;
    if (!vertices.empty()) {
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glDisable(GL_SCISSOR_TEST);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, text_batch.Texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        BeginBlending();
        constexpr GLsizei stride = sizeof(TTextVertex);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, stride, &vertices[0].U);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, stride, &vertices[0].Red);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(2, GL_FLOAT, stride, &vertices[0].X);
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices.size()));
        glPopClientAttrib();
        glPopAttrib();
        draw_calls++;
    }
    vertices.clear();
    text_batch.Runs.clear();
    text_batch.Bounds = {};
}

void FlushTextUnder(const TZAVglutWigits_Rect& area)
{
    if (text_batch.Runs.empty())
        return;
    const TZAVglutWigits_Rect drawn = current_clip.Width >= 0 ? area.Intersect(current_clip) : area;
    if (!Overlap(drawn, text_batch.Bounds))
        return;
    for (const TZAVglutWigits_Rect& run : text_batch.Runs)
        if (Overlap(drawn, run))
            return FlushTextBatch();
}
