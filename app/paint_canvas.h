// TTarnwick_GLPaintCanvas: the paint brushes' graphics work on OpenGL frame buffer objects, off
// the window, so a view that is covered or partly off-screen paints the same pixels as one in
// full view. The dab buffer is an RGBA texture holding premultiplied colour; a map's leaf is
// painted in a scratch texture that takes the leaf's pixels, the dab buffer blended through the
// leaf's polygons, and gives the pixels back.
//
// A surface dab (blur, smudge) draws the scene, unlit, into an image of the dab's rectangle,
// halves that image as often as the dab's blur asks (each halving averages 2 × 2 pixels of
// premultiplied colour, so the empty background around the figure never darkens it), and fills
// the dab's profile with the last image, enlarged by linear filtering.
//
// Every call expects the GL context of the view being painted to be current and leaves the GL
// state as it found it.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "paint/paint_brush.h"

class TTarnwick_GLPaintCanvas final : public TTarnwick_PaintCanvas
{
public:
    ~TTarnwick_GLPaintCanvas() override;

    bool BeginDabs(const TTarnwick_ViewRect4& rect, int32_t view_width, int32_t view_height) override;
    void DrawDab(const TTarnwick_Dab& dab) override;
    void EndDabs() override;
    bool PaintNode(TZAVMaterialMap& map, const TTarnwick_PixelRect& rect,
                   std::span<const TTarnwick_PaintCorner> corners) override;
    bool ReadViewPixels(int32_t x, int32_t y, int32_t width, int32_t height, std::vector<uint8_t>& out_rgba) override;

    // Seconds spent reading painted pixels back, summed since the last reset (for the benchmark).
    double ReadBackSeconds = 0;

private:
    // A colour texture in its own frame buffer, with a depth buffer when asked.
    struct TTarget
    {
        uint32_t Framebuffer = 0;
        uint32_t Texture = 0;
        uint32_t Depth = 0;
        int32_t Width = 0;
        int32_t Height = 0;
    };
    // Makes the target at least width × height, transparent beyond its edges (the dab buffer
    // and the scratch leaf); false when frame buffers are missing or incomplete.
    static bool Reserve(TTarget& target, int32_t width, int32_t height);
    // Makes the target exactly width × height, clamped at its edges; made again when the size
    // changes (the surface images).
    static bool Make(TTarget& target, int32_t width, int32_t height, bool with_depth);
    static bool Create(TTarget& target, int32_t width, int32_t height, bool with_depth, int32_t wrap);
    static void Release(TTarget& target);
    // Draws the surface a dab names and blurs it; the texture to fill the dab with, 0 when none.
    uint32_t DrawSurface(const TTarnwick_Dab& dab);
    // Saves the state the canvas changes and points drawing at the target's lower-left corner.
    void Bind(const TTarget& target, int32_t width, int32_t height);
    void Unbind();

    // Uploads the brush image on first use and binds it for stamping dabs; false without pixels.
    bool BindImage(const TTarnwick_TextureBrushImage& image);
    struct TImageTexture
    {
        int32_t ImageID = 0;
        uint32_t Texture = 0;
    };
    std::unordered_map<const void*, TImageTexture> ImageTextures;

    TTarget Dabs;
    TTarget Scratch;
    // The scene under a surface dab, then its halvings.
    std::vector<TTarget> SurfaceImages;
    TTarnwick_ViewRect4 DabRect;
    int32_t DabWidth = 0;
    int32_t DabHeight = 0;
    int32_t PreviousFramebuffer = 0;
    // Triangles as drawn: x, y, s, t, and the opacity four times.
    std::vector<float> Vertices;
};
