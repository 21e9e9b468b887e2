// TTarnwick_PaintBrush: the brushes that paint colour into the material maps of the current mesh
// by painting on the mesh as a view shows it. A mouse event lays a sequence of dabs along the
// path into a dab buffer that covers the dabs' screen rectangle; every polygon under that
// rectangle is then drawn in texture space with the buffer projected onto it through its
// vertices' screen positions, blended over the map's pixels and read back.
//
// One event of a stroke:
//   dab positions -> canvas: BeginDabs, DrawDab per dab, EndDabs
//   -> polygons under the dab rectangle (screen grid), their maps and quadtree leaves
//   -> undo blocks of the leaves not saved yet in this stroke
//   -> canvas: PaintNode per leaf (pixels in, polygons blended, pixels out)
//   -> seam padding and upload of the changed leaves
// The graphics work is the canvas's, which the application implements with OpenGL frame
// buffers, so a covered or partly off-screen view paints as well as a visible one.
//
// [SECTION] The canvas
// [SECTION] Hooks
// [SECTION] TTarnwick_PaintBrush
// [SECTION] Round and square brushes
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "paint/undo_buffer.h"
#include "tools/brush.h"

class TZAVMaterialMap;
class TTarnwick_PolyQuadTreeNode;
class TTarnwick_TextureBrushImage;

// [SECTION] The canvas

// A rectangle of view space (x and y from -1 to 1): min x, min y, max x, max y.
struct TTarnwick_ViewRect4
{
    float MinX = 1, MinY = 1, MaxX = -1, MaxY = -1;

    bool IsEmpty() const { return MinX > MaxX || MinY > MaxY; }
    void Add(float min_x, float min_y, float max_x, float max_y);
    bool Overlaps(float min_x, float min_y, float max_x, float max_y) const
    {
        return min_x <= MaxX && max_x >= MinX && min_y <= MaxY && max_y >= MinY;
    }
};

enum class TTarnwick_DabShape
{
    Round,
    Square,
};

// Where a surface dab (blur, smudge) takes its colours from instead of its own: the maps' colours
// as the view shows the scene, unlit.
struct TTarnwick_DabSurface
{
    // Null: the dab paints its own colours.
    const TTarnwick_ToolView* View = nullptr;
    // The scene shows moved by this much (view units): the smudge drags it along the stroke.
    float ShiftX = 0, ShiftY = 0;
    // The image is shrunk by this factor (a power of two) and enlarged again, which blurs it; 1
    // keeps it sharp.
    int32_t Shrink = 1;
};

// One dab in view space: its centre, half-sizes, profile and colours. Opacity is Strength at the
// centre, InnerOpacity at Hardness of the way out, 0 at the rim, which takes OuterColor.
struct TTarnwick_Dab
{
    TTarnwick_DabShape Shape = TTarnwick_DabShape::Round;
    float X = 0, Y = 0;
    float SizeX = 0.1f, SizeY = 0.1f;
    float Hardness = 0;
    float Strength = 1;
    float Color[3] = {1, 1, 1};
    float OuterColor[3] = {1, 1, 1};
    TTarnwick_DabSurface Surface;
    // A brush image stamped over the dab square, its colours weighing the dab's; null for none.
    const TTarnwick_TextureBrushImage* Image = nullptr;
};

// The corners of the triangles to blend into one quadtree leaf: texture position u, v; dab
// buffer position s, t (0 to 1 across the dab rectangle); opacity.
struct TTarnwick_PaintCorner
{
    float U, V, S, T, Opacity;
};

// A pixel rectangle of a map.
struct TTarnwick_PixelRect
{
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

// The graphics work of painting; the application implements it with OpenGL.
class TTarnwick_PaintCanvas
{
public:
    virtual ~TTarnwick_PaintCanvas() = default;

    // Starts a dab buffer covering `rect` of a view of width × height pixels, cleared to nothing.
    // False when the buffer cannot be had.
    virtual bool BeginDabs(const TTarnwick_ViewRect4& rect, int32_t view_width, int32_t view_height) = 0;
    // Blends a dab over what the buffer holds (premultiplied colour, so that dabs laid one over
    // the other in the buffer land on the map as if laid one by one). A surface dab fills its
    // profile with the image its Surface names, through the DrawScene hook.
    virtual void DrawDab(const TTarnwick_Dab& dab) = 0;
    virtual void EndDabs() = 0;
    // Blends the dab buffer over the map's pixels in `rect` through the triangles (3 corners
    // each) and reads the result back into the map. False when the drawing failed.
    virtual bool PaintNode(TZAVMaterialMap& map, const TTarnwick_PixelRect& rect,
                           std::span<const TTarnwick_PaintCorner> corners) = 0;
    // The window's shown pixels (its front buffer), RGBA rows from the bottom, for the grabbers;
    // x, y in window pixels from the lower left corner.
    virtual bool ReadViewPixels(int32_t x, int32_t y, int32_t width, int32_t height,
                                std::vector<uint8_t>& out_rgba) = 0;
};

// [SECTION] Hooks

// What the paint brushes ask of the application. Each may be empty; without a canvas nothing is
// painted.
struct TTarnwick_PaintHooks
{
    TTarnwick_PaintCanvas* Canvas = nullptr;
    // The project's undo buffer; strokes are not undoable without it.
    std::function<TTarnwick_UndoBuffer*()> UndoBuffer;
    // Paint reaches polygons facing away (the project's option).
    std::function<bool()> PaintOnBackFaces;
    std::function<void()> Redraw;
    // Uploads the maps marked UploadPending: painted maps that had no texture yet.
    std::function<void()> UploadMaps;
    // Draws the scene as the view shows it, the current mesh included, on the GL matrices and
    // texture environment as the canvas set them; surface dabs paint nothing without it.
    std::function<void(const TTarnwick_ToolView& view)> DrawScene;
    // The window pixel, from the lower left, of the lower left corner of the view the tools work
    // in; (0, 0) without it.
    std::function<void(int32_t& out_x, int32_t& out_y)> ViewOrigin;
    // Takes a grabbed image into the project's brush images, its name made unique among them;
    // its index there, or -1 when it could not.
    std::function<int32_t(std::unique_ptr<TTarnwick_TextureBrushImage> image)> AddBrushImage;
    // Makes a tool current: the grabbers hand control back to the tool that called them.
    std::function<void(TTarnwick_Tool* tool)> ChooseTool;
    // The project's brush image at an index (null when there is none) and their number.
    std::function<const TTarnwick_TextureBrushImage*(int32_t index)> BrushImage;
    std::function<int32_t()> BrushImageCount;
    // The application's paint options: the material channel painted, paint weighted by the
    // current selection, dabs fading from the primary to the secondary colour, dabs stamped with
    // the brush's image, a new random image after every step.
    std::string Channel = "Color";
    bool ThroughSelection = false;
    bool Gradient = false;
    bool UseBrushImage = false;
    bool RandomBrushImage = false;
};

extern TTarnwick_PaintHooks TarnwickPaintHooks;

// [SECTION] TTarnwick_PaintBrush

class TTarnwick_PaintBrush : public TTarnwick_Brush
{
public:
    TTarnwick_PaintBrush();

    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    bool MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;
    void DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;

    // Lays the dabs of one event, from the previous position to (x, y) (one dab at (x, y) on the
    // press), and paints them into the maps.
    virtual bool PaintStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y, bool first);
    // The dabs of the path from -> to: half a radius apart, the first on `from`, the last on `to`.
    virtual void RenderStroke(const TTarnwick_ToolView& view, float from_x, float from_y, float to_x, float to_y,
                              std::vector<TTarnwick_Dab>& out_dabs) const;
    virtual TTarnwick_DabShape Shape() const { return TTarnwick_DabShape::Round; }
    // Hook after the maps are painted.
    virtual void FinishPaint(TTarnwick_Mesh& /*mesh*/) {}

    // Paints dabs (already laid) into every map of the mesh under their rectangle. False when
    // nothing could be painted (no canvas, nothing under the dabs).
    bool PaintDabs(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, std::span<const TTarnwick_Dab> dabs);

    // The channels a brush can paint, for its drop-down list.
    static constexpr const char* PaintChannels[] = {"Color", "Bump", "Displacement", "Transparency"};
    static void AnswerChannelList(TTarnwick_Tool& tool, TZAVEvent& event);

    float PrimaryColor[3] = {1, 1, 1};
    float SecondaryColor[3] = {0, 0, 1};
    float DabSizeX = 0.1f;
    float DabSizeY = 0.1f;
    bool Spacing = true;
    float PreviousX = 0;
    float PreviousY = 0;
    bool PaintOnRelease = false;
    // The project's brush image that stamps the dabs when the brush-image option is on; -1 for
    // the plain dab.
    int32_t BrushImageIndex = -1;
    // The stamping image, or null: the option is off, or the index names no image with pixels.
    const TTarnwick_TextureBrushImage* CurrentBrushImage() const;
    // The screen rectangle of the last event's dabs; empty at each press.
    TTarnwick_ViewRect4 DirtyRect;
    // The maps the stroke changed, by ID.
    std::vector<int32_t> TouchedMaps;
    // How long the parts of the last PaintDabs took, in seconds (for the benchmark).
    struct TTimes
    {
        double Projection = 0, Drawing = 0, Seams = 0;
    } LastTimes;

protected:
    // The polygons whose screen boxes may meet a rectangle: a grid over the view square, built
    // again when the screen positions change.
    struct TScreenGrid
    {
        static constexpr int32_t Cells = 64;
        // Polygon screen boxes, 4 floats each; NaN for a polygon off screen or hidden.
        std::vector<float> Boxes;
        std::vector<int32_t> CellStart;
        std::vector<int32_t> CellPolygons;
        // Polygons too large for the cells, tested one by one.
        std::vector<int32_t> Large;
        const TTarnwick_Mesh* Mesh = nullptr;
        uint64_t Revision = 0;
        float Matrix[16] = {};
    };
    void UpdateScreenGrid(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view);
    void FindPolygons(const TTarnwick_ViewRect4& rect, std::vector<int32_t>& out_polygons);
    // The map of the paint channel for the polygon's material; null when none can be painted.
    TZAVMaterialMap* MapOf(TTarnwick_Mesh& mesh, int32_t polygon);
    bool PaintMap(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, TZAVMaterialMap& map,
                  std::span<const int32_t> polygons, const TTarnwick_ViewRect4& rect);

    TScreenGrid Grid;
    // Chooses the random brush images.
    std::minstd_rand RandomImages{std::random_device{}()};
    TTarnwick_UndoStroke UndoStroke;
    bool UndoStarted = false;
    // Per vertex of the event: its opacity, or -1 while not worked out.
    std::vector<float> VertexOpacity;
    std::vector<int32_t> OpacityTouched;
    // Per polygon of the event: marked when found under the rectangle.
    std::vector<uint8_t> PolygonSeen;
    std::vector<int32_t> MaterialMap;
};

// [SECTION] Round and square brushes

class TTarnwick_RoundBrush : public TTarnwick_PaintBrush
{
public:
    TTarnwick_RoundBrush();
};

class TTarnwick_SquareBrush : public TTarnwick_PaintBrush
{
public:
    TTarnwick_SquareBrush();
    TTarnwick_DabShape Shape() const override { return TTarnwick_DabShape::Square; }
};

// The opacity at the inner ring of a dab of hardness h: (cos(2πh)/4 + 0.75) of its strength.
float DabInnerOpacity(float hardness);
