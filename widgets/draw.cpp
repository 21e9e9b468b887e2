// GL drawing helpers of the widgets. Each helper is one glBegin/glEnd and counts as one draw call.
#include "widgets/draw.h"

#include <GL/gl.h>

namespace {

int32_t draw_calls = 0;
float origin_x = 0.0f;
float origin_y = 0.0f;
int32_t window_height = 0;
TZAVglutWigits_Rect current_clip = NoDrawClip;

constexpr float ShadowAlpha = 0.35f;

} // namespace

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

void DrawFilledRect(float x, float y, float width, float height)
{
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
