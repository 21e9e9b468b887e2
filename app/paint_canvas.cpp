#define GL_GLEXT_PROTOTYPES 1
#include "app/paint_canvas.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/status.h"
#include "core/timer.h"
#include "paint/brush_image.h"
#include "paint/material_map.h"

namespace {

// The dab buffer's resolution follows the view's pixels, up to this side.
constexpr int32_t MaxDabSide = 2048;
constexpr int32_t DabSegments = 72;

// The point of the dab's outline at segment i, on the unit circle or the unit square.
void OutlinePoint(TTarnwick_DabShape shape, int32_t i, float& out_x, float& out_y)
{
    const float angle = 2.0f * std::numbers::pi_v<float> * float(i) / DabSegments;
    out_x = std::cos(angle);
    out_y = std::sin(angle);
    if (shape == TTarnwick_DabShape::Square) {
        const float scale = 1.0f / std::max(std::fabs(out_x), std::fabs(out_y));
        out_x *= scale;
        out_y *= scale;
    }
}

// Draws the texture bound over the whole target.
void DrawFullQuad()
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
}

} // namespace

TTarnwick_GLPaintCanvas::~TTarnwick_GLPaintCanvas()
{
    Release(Dabs);
    Release(Scratch);
    for (TTarget& image : SurfaceImages)
        Release(image);
    for (auto& [image, cached] : ImageTextures)
        glDeleteTextures(1, &cached.Texture);
}

bool TTarnwick_GLPaintCanvas::Reserve(TTarget& target, int32_t width, int32_t height)
{
    if (target.Framebuffer != 0 && target.Width >= width && target.Height >= height)
        return true;
    // Outside the dabs' rectangle lies nothing to paint, not the buffer's edge stretched out.
    return Create(target, std::max(width, target.Width), std::max(height, target.Height), false,
                  GL_CLAMP_TO_BORDER);
}

bool TTarnwick_GLPaintCanvas::Make(TTarget& target, int32_t width, int32_t height, bool with_depth)
{
    if (target.Framebuffer != 0 && target.Width == width && target.Height == height &&
        (target.Depth != 0) == with_depth)
        return true;
    return Create(target, width, height, with_depth, GL_CLAMP_TO_EDGE);
}

bool TTarnwick_GLPaintCanvas::Create(TTarget& target, int32_t width, int32_t height, bool with_depth,
                                     int32_t wrap)
{
    Release(target);
    GLint previous_framebuffer = 0, previous_texture = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous_framebuffer);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_texture);
    glGenTextures(1, &target.Texture);
    glBindTexture(GL_TEXTURE_2D, target.Texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    const float transparent[4] = {0, 0, 0, 0};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, transparent);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &target.Framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.Framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.Texture, 0);
    if (with_depth) {
        glGenRenderbuffers(1, &target.Depth);
        glBindRenderbuffer(GL_RENDERBUFFER, target.Depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.Depth);
    }
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous_framebuffer));
    glBindTexture(GL_TEXTURE_2D, GLuint(previous_texture));
    target.Width = width;
    target.Height = height;
    if (!complete) {
        Release(target);
        AddWarning("Painting needs an off-screen frame buffer of %d x %d pixels, which the graphics driver refused.",
                   width, height);
    }
    return complete;
}

void TTarnwick_GLPaintCanvas::Release(TTarget& target)
{
    if (target.Framebuffer != 0)
        glDeleteFramebuffers(1, &target.Framebuffer);
    if (target.Depth != 0)
        glDeleteRenderbuffers(1, &target.Depth);
    if (target.Texture != 0)
        glDeleteTextures(1, &target.Texture);
    target = {};
}

void TTarnwick_GLPaintCanvas::Bind(const TTarget& target, int32_t width, int32_t height)
{
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &PreviousFramebuffer);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBindFramebuffer(GL_FRAMEBUFFER, target.Framebuffer);
    glViewport(0, 0, width, height);
    for (GLenum capability : {GL_DEPTH_TEST, GL_LIGHTING, GL_FOG, GL_CULL_FACE, GL_ALPHA_TEST, GL_SCISSOR_TEST,
                              GL_STENCIL_TEST, GL_TEXTURE_2D, GL_COLOR_MATERIAL, GL_POLYGON_SMOOTH, GL_DITHER})
        glDisable(capability);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_BLEND);
}

void TTarnwick_GLPaintCanvas::Unbind()
{
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(PreviousFramebuffer));
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

bool TTarnwick_GLPaintCanvas::BeginDabs(const TTarnwick_ViewRect4& rect, int32_t view_width, int32_t view_height)
{
    if (rect.IsEmpty())
        return false;
    DabRect = rect;
    DabWidth = std::clamp(int32_t(std::ceil((rect.MaxX - rect.MinX) * 0.5f * float(view_width))), 1, MaxDabSide);
    DabHeight = std::clamp(int32_t(std::ceil((rect.MaxY - rect.MinY) * 0.5f * float(view_height))), 1, MaxDabSide);
    if (!Reserve(Dabs, DabWidth, DabHeight))
        return false;
    Bind(Dabs, DabWidth, DabHeight);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glOrtho(rect.MinX, rect.MaxX, rect.MinY, rect.MaxY, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    // Premultiplied "over": the colour is weighted by its opacity, the opacities add up as layers do.
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    return true;
}

uint32_t TTarnwick_GLPaintCanvas::DrawSurface(const TTarnwick_Dab& dab)
{
    if (!TarnwickPaintHooks.DrawScene || DabRect.IsEmpty())
        return 0;
    const TTarnwick_ToolView& view = *dab.Surface.View;
    int32_t halvings = 0;
    for (int32_t shrink = dab.Surface.Shrink; shrink > 1; shrink /= 2)
        halvings++;
    SurfaceImages.resize(size_t(halvings) + 1);
    GLint dab_framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &dab_framebuffer);
    bool made = Make(SurfaceImages[0], DabWidth, DabHeight, true);
    for (size_t level = 1; made && level < SurfaceImages.size(); level++) {
        const TTarget& larger = SurfaceImages[level - 1];
        made = Make(SurfaceImages[level], std::max(1, (larger.Width + 1) / 2),
                    std::max(1, (larger.Height + 1) / 2), false);
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    // Kept aside rather than pushed: the projection and texture stacks may hold only two, and
    // the dab buffer uses both.
    constexpr GLenum Matrices[3][2] = {{GL_TEXTURE, GL_TEXTURE_MATRIX},
                                       {GL_PROJECTION, GL_PROJECTION_MATRIX},
                                       {GL_MODELVIEW, GL_MODELVIEW_MATRIX}};
    float kept[3][16];
    for (int32_t k = 0; k < 3; k++) {
        glGetFloatv(Matrices[k][1], kept[k]);
        glMatrixMode(Matrices[k][0]);
        glLoadIdentity();
    }
    if (made) {
        const TTarget& scene = SurfaceImages[0];
        glBindFramebuffer(GL_FRAMEBUFFER, scene.Framebuffer);
        glViewport(0, 0, scene.Width, scene.Height);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glClearColor(0, 0, 0, 0);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // The dab's rectangle of the view, moved by the shift, fills the image; depth is kept
        // as the view's projection gives it.
        const float half_x = (DabRect.MaxX - DabRect.MinX) / 2;
        const float half_y = (DabRect.MaxY - DabRect.MinY) / 2;
        const float centre_x = (DabRect.MaxX + DabRect.MinX) / 2;
        const float centre_y = (DabRect.MaxY + DabRect.MinY) / 2;
        const float to_rect[16] = {1 / half_x,
                                   0,
                                   0,
                                   0,
                                   0,
                                   1 / half_y,
                                   0,
                                   0,
                                   0,
                                   0,
                                   1,
                                   0,
                                   (dab.Surface.ShiftX - centre_x) / half_x,
                                   (dab.Surface.ShiftY - centre_y) / half_y,
                                   0,
                                   1};
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(to_rect);
        glMultMatrixf(view.Projection);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(view.ModelView);
        // The maps' own colours: the view's shading must not end up in the maps.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        TarnwickPaintHooks.DrawScene(view);

        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (GLenum capability : {GL_DEPTH_TEST, GL_LIGHTING, GL_CULL_FACE, GL_BLEND, GL_FOG, GL_ALPHA_TEST,
                                  GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T})
            glDisable(capability);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        // Each pixel of a halving samples the middle of 2 × 2 pixels of the larger image: their mean.
        for (size_t level = 1; level < SurfaceImages.size(); level++) {
            glBindFramebuffer(GL_FRAMEBUFFER, SurfaceImages[level].Framebuffer);
            glViewport(0, 0, SurfaceImages[level].Width, SurfaceImages[level].Height);
            glBindTexture(GL_TEXTURE_2D, SurfaceImages[level - 1].Texture);
            DrawFullQuad();
        }
    }
    for (int32_t k = 0; k < 3; k++) {
        glMatrixMode(Matrices[k][0]);
        glLoadMatrixf(kept[k]);
    }
    glPopClientAttrib();
    glPopAttrib();
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(dab_framebuffer));
    return made ? SurfaceImages.back().Texture : 0;
}

void TTarnwick_GLPaintCanvas::DrawDab(const TTarnwick_Dab& dab)
{
    const bool surface = dab.Surface.View != nullptr;
    if (surface) {
        const GLuint texture = DrawSurface(dab);
        if (texture == 0)
            return;
        // The image is premultiplied already: the profile weighs its four channels alike.
        glBindTexture(GL_TEXTURE_2D, texture);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    }
    const float hardness = std::clamp(dab.Hardness, 0.0f, 1.0f);
    const float inner = DabInnerOpacity(hardness) * dab.Strength;
    const float span_x = std::max(DabRect.MaxX - DabRect.MinX, 1e-12f);
    const float span_y = std::max(DabRect.MaxY - DabRect.MinY, 1e-12f);
    auto colour = [&](const float* rgb, float opacity) {
        if (surface)
            glColor4f(opacity, opacity, opacity, opacity);
        else
            glColor4f(rgb[0], rgb[1], rgb[2], opacity);
    };
    // A brush image covers the dab's square: unit offsets from the centre map onto it.
    const bool stamped = !surface && dab.Image != nullptr && BindImage(*dab.Image);
    auto vertex = [&](float unit_x, float unit_y) {
        const float x = dab.X + unit_x * dab.SizeX;
        const float y = dab.Y + unit_y * dab.SizeY;
        if (surface)
            glTexCoord2f((x - DabRect.MinX) / span_x, (y - DabRect.MinY) / span_y);
        else if (stamped)
            glTexCoord2f((unit_x + 1.0f) / 2.0f, (unit_y + 1.0f) / 2.0f);
        glVertex2f(x, y);
    };
    auto at = [&](int32_t i, float scale) {
        float x, y;
        OutlinePoint(dab.Shape, i % DabSegments, x, y);
        vertex(x * scale, y * scale);
    };
    if (hardness > 0.0f) {
        glBegin(GL_TRIANGLE_FAN);
        colour(dab.Color, dab.Strength);
        vertex(0, 0);
        colour(dab.Color, inner);
        for (int32_t i = 0; i <= DabSegments; i++)
            at(i, hardness);
        glEnd();
    }
    if (hardness < 1.0f) {
        glBegin(GL_QUAD_STRIP);
        for (int32_t i = 0; i <= DabSegments; i++) {
            colour(dab.Color, inner);
            at(i, hardness);
            colour(dab.OuterColor, 0.0f);
            at(i, 1.0f);
        }
        glEnd();
    }
    if (stamped)
        glDisable(GL_TEXTURE_2D);
    if (surface) {
        glDisable(GL_TEXTURE_2D);
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    }
}

bool TTarnwick_GLPaintCanvas::BindImage(const TTarnwick_TextureBrushImage& image)
{
    if (!image.HasPixels() || image.Width <= 0 || image.Height <= 0)
        return false;
    // Keyed by the image's ID too: a deleted image's address may come back for another.
    TImageTexture& cached = ImageTextures[&image];
    if (cached.Texture == 0 || cached.ImageID != image.ID) {
        if (cached.Texture == 0)
            glGenTextures(1, &cached.Texture);
        cached.ImageID = image.ID;
        glBindTexture(GL_TEXTURE_2D, cached.Texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.Width, image.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     image.Pixels.get());
    }
    glBindTexture(GL_TEXTURE_2D, cached.Texture);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return true;
}

void TTarnwick_GLPaintCanvas::EndDabs()
{
    Unbind();
}

bool TTarnwick_GLPaintCanvas::PaintNode(TZAVMaterialMap& map, const TTarnwick_PixelRect& rect,
                                        std::span<const TTarnwick_PaintCorner> corners)
{
    if (Dabs.Framebuffer == 0 || !map.HasPixels() || rect.Width <= 0 || rect.Height <= 0 || rect.X < 0 ||
        rect.Y < 0 || rect.X + rect.Width > map.Width || rect.Y + rect.Height > map.Height)
        return false;
    if (!Reserve(Scratch, rect.Width, rect.Height))
        return false;
    Bind(Scratch, rect.Width, rect.Height);
    // The leaf's pixels are read in place from the map's rows, and go back the same way.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, map.Width);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, rect.X);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, rect.Y);
    glBindTexture(GL_TEXTURE_2D, Scratch.Texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, rect.Width, rect.Height, GL_RGB, GL_UNSIGNED_BYTE, map.Pixels.data());

    glMatrixMode(GL_PROJECTION);
    glOrtho(double(rect.X) / map.Width, double(rect.X + rect.Width) / map.Width, double(rect.Y) / map.Height,
            double(rect.Y + rect.Height) / map.Height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glBindTexture(GL_TEXTURE_2D, Dabs.Texture);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    // The buffer's texture may be larger than the dabs drawn into it.
    const float scale_s = float(DabWidth) / float(Dabs.Width);
    const float scale_t = float(DabHeight) / float(Dabs.Height);
    Vertices.resize(corners.size() * 8);
    float* out = Vertices.data();
    for (const TTarnwick_PaintCorner& corner : corners) {
        *out++ = corner.U;
        *out++ = corner.V;
        *out++ = corner.S * scale_s;
        *out++ = corner.T * scale_t;
        for (int32_t i = 0; i < 4; i++)
            *out++ = corner.Opacity;
    }
    constexpr GLsizei Stride = 8 * sizeof(float);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, Stride, Vertices.data());
    glTexCoordPointer(2, GL_FLOAT, Stride, Vertices.data() + 2);
    glColorPointer(4, GL_FLOAT, Stride, Vertices.data() + 4);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(corners.size()));

    const double start = Seconds();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, map.Width);
    glPixelStorei(GL_PACK_SKIP_PIXELS, rect.X);
    glPixelStorei(GL_PACK_SKIP_ROWS, rect.Y);
    glReadPixels(0, 0, rect.Width, rect.Height, GL_RGB, GL_UNSIGNED_BYTE, map.Pixels.data());
    ReadBackSeconds += Seconds() - start;
    Unbind();
    return true;
}

bool TTarnwick_GLPaintCanvas::ReadViewPixels(int32_t x, int32_t y, int32_t width, int32_t height,
                                             std::vector<uint8_t>& out_rgba)
{
    if (width <= 0 || height <= 0)
        return false;
    out_rgba.resize(size_t(width) * size_t(height) * 4);
    // What the window shows, whatever frame buffer is bound for drawing.
    GLint read_framebuffer = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read_framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glPushAttrib(GL_PIXEL_MODE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out_rgba.data());
    glPopClientAttrib();
    glPopAttrib();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(read_framebuffer));
    return glGetError() == GL_NO_ERROR;
}
