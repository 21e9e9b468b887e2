// The selection brushes that paint the weights of the mesh's current selection with the round
// falloff: the default brush and the members that differ only in what they do to one vertex
// (soften, harden, fractal, bitmap). The left button adds, the right button subtracts.
//
// A stroke:
//   press      refused without a current selection or with a read-only one; otherwise the
//              working weights start from the selection and one stroke step runs
//   drag       one stroke step
//   release    one more step when ToolFlag_PaintAtRelease is set, then the weights are committed
//              and the application records the weights the stroke replaced (hook)
// A stroke step: BeginStep -> PaintVertex for every candidate under the brush -> EndStep.
//
// Raw weights may leave 0..1 during a stroke (a right-button stroke drives them below 0); what
// the selection holds, and what the brushes read as the combined weight, is the raw weight
// clamped to 0..1. Vertices welded together share the weight of the vertex that stands for them.
//
// [SECTION] Working weights and hooks
// [SECTION] TTarnwick_SelectionBrush
// [SECTION] TTarnwick_DefaultBrush and its members
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "mesh/sculpt_mesh.h"
#include "tools/brush.h"

// [SECTION] Working weights and hooks

// The command posted when a brush finds no current selection (the selection panel opens).
constexpr int32_t ChooseSelectionCommand = 257;
inline constexpr const char* NoSelectionMessage = "Please choose a \"selection\" first";
inline constexpr const char* NotLocalMessage =
    "- Some portions of the surface were not selected because they are not \"local\". Please refer "
    "to the \"Affect Local Surface Only\" option.";

// The raw weights of a stroke, over the current selection of one mesh.
class TTarnwick_WorkingWeights
{
public:
    // Writes any pending stroke first; then the raw weights are the selection's.
    void Begin(TTarnwick_Mesh& mesh);
    bool IsActive() const { return Selection != nullptr; }
    // Whether a stroke is pending on this mesh's current selection.
    bool IsPendingOn(const TTarnwick_Mesh& mesh) const;
    float Raw(const TTarnwick_Mesh& mesh, int32_t vertex) const { return Weights[mesh.WeldedVertex(vertex)]; }
    float Combined(const TTarnwick_Mesh& mesh, int32_t vertex) const;
    // The selection follows at once, clamped, so that the display shows the stroke as it goes.
    void SetRaw(const TTarnwick_Mesh& mesh, int32_t vertex, float weight);
    // Gives welded vertices the weight of the vertex that stands for them, records the weights the
    // stroke replaced for undo and ends the stroke.
    void Commit();
    // Ends the stroke without writing (the mesh went away).
    void Forget();

private:
    // Keeps the selection's weight of a vertex before the stroke first changes it.
    void Save(int32_t vertex);

    TTarnwick_Mesh* Mesh = nullptr;
    TTarnwick_Selection* Selection = nullptr;
    std::vector<float> Weights;
    // The vertices the stroke changed, with their weights before it, and a mark for each.
    std::vector<int32_t> Changed;
    std::vector<float> OldWeights;
    std::vector<uint8_t> IsChanged;
};

// What the selection brushes ask of the application. Each hook may be empty.
struct TTarnwick_SelectionBrushHooks
{
    // Records the weights a stroke replaced in the mesh's current selection, for the vertices it
    // changed (a selection record, added at once).
    std::function<void(TTarnwick_Mesh& mesh, std::span<const int32_t> vertices, std::span<const float> old_weights)>
        RecordUndo;
    std::function<void()> Redraw;
    // The viewport drawing's partial redraw: prepared at a press, reset at the release.
    std::function<void()> PreparePartialRedraw;
    std::function<void()> ResetPartialRedraw;
};

extern TTarnwick_SelectionBrushHooks TarnwickSelectionBrushHooks;

// [SECTION] TTarnwick_SelectionBrush

class TTarnwick_SelectionBrush : public TTarnwick_Brush
{
public:
    TTarnwick_SelectionBrush();

    // Press: false (nothing done) without a current selection or with a read-only one.
    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    // False outside an accepted stroke.
    bool MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;
    // Records the undo copy when the stroke can change the selection.
    void Activate(TTarnwick_Mesh& mesh) override;
    // Writes a stroke left pending on the mesh.
    void Deselected(TTarnwick_Mesh* mesh) override;

    // Shared by every selection brush, so that a press can commit a stroke another one left.
    static TTarnwick_WorkingWeights Weights;

protected:
    // The layer brush paints layer membership, not weights.
    virtual bool PaintsWeights() const { return true; }
    static void Redraw();

    bool StrokeActive = false;
};

// [SECTION] TTarnwick_DefaultBrush and its members

// Which distance test decides that a vertex lies under the brush.
enum class TTarnwick_Reach
{
    Inside,
    InsideOrOnEdge,
};

class TTarnwick_DefaultBrush : public TTarnwick_SelectionBrush
{
public:
    TTarnwick_DefaultBrush();

    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    bool MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;
    void DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;
    // Screen distance strictly less than Radius.
    bool IsUnderBrush(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, float x, float y,
                      std::span<const float> screen) override;

    // Virtual operations added here, in slot order.
    // A soft ring at the brush edge: relaxes the vertex the more the nearer it is to the edge.
    virtual void SmoothEdge(TTarnwick_Mesh& mesh, int32_t vertex, float distance);
    // True when the vertex was under the brush and handled; mode is the stroke's button.
    virtual bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                             int32_t mode);
    virtual void BeginStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view);
    // Shows the local-surface message once when the step skipped vertices for it.
    virtual void EndStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view);

    // One stroke step at (x, y) over the vertices under the brush.
    virtual void StrokeStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y);

protected:
    // The exclusions every member applies first, then the distance test; on success the distance
    // and the falloff (attenuated by facing when the option is on).
    bool Reach(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, int32_t vertex, float x, float y,
               TTarnwick_Reach reach, float& out_distance, float& out_falloff);
    // raw += (mean combined weight around the vertex - its combined weight) · factor.
    static void Relax(TTarnwick_Mesh& mesh, int32_t vertex, float factor);
    // Add raises towards Strength · falloff (and levels weights above Strength), subtract lowers.
    void PaintWithFactor(TTarnwick_Mesh& mesh, int32_t vertex, float falloff, int32_t mode);
    static float MeanCombinedAround(const TTarnwick_Mesh& mesh, int32_t vertex);

    // The screen distance and falloff of each candidate of the step, and the candidate being
    // painted (-1 outside the step's loop).
    void TakeFalloffs(const TTarnwick_ToolView& view, float x, float y);

    std::vector<int32_t> Candidates;
    std::vector<float> CandidateDistances;
    std::vector<float> CandidateFalloffs;
    int32_t CandidateIndex = -1;
};

class TTarnwick_SoftenBrush : public TTarnwick_DefaultBrush
{
public:
    TTarnwick_SoftenBrush();
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;
};

class TTarnwick_HardenBrush : public TTarnwick_DefaultBrush
{
public:
    TTarnwick_HardenBrush();
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;
};

class TTarnwick_FractalBrush : public TTarnwick_DefaultBrush
{
public:
    TTarnwick_FractalBrush();
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;

    std::minstd_rand Random;
};

// A grey image, one byte per pixel, rows from the bottom.
struct TTarnwick_GreyImage
{
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;
};

// Decodes an image file into grey values ((r + g + b) / 3); false with the reason. Images are
// decoded by paint, which tools may not use, so the application installs the loader.
using TTarnwick_GreyImageLoader =
    std::function<bool(const std::string& path, TTarnwick_GreyImage& out_image, std::string& out_problem)>;

class TTarnwick_BitmapBrush : public TTarnwick_DefaultBrush
{
public:
    // Its push button is the first parameter after the brush's sliders; the application gives it
    // a handler that asks for a file and calls LoadImage.
    TTarnwick_BitmapBrush();
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;
    void DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;

    // Replaces the image; on failure shows the message and keeps the previous one. LoadImage then
    // has the tool panel refreshed; ReadImage, for the image the brush starts with, does not.
    bool ReadImage(const std::string& path);
    bool LoadImage(const std::string& path);
    // The image value under a vertex at screen (px, py) with the cursor at (x, y); 0 outside.
    float SampleImage(const TTarnwick_ToolView& view, float px, float py, float x, float y) const;
    // Half-width and half-height of the rectangle the image covers.
    void GetImageExtent(const TTarnwick_ToolView& view, float& out_half_width, float& out_half_height) const;

    TTarnwick_GreyImage Image;
    std::string ImageFileName;
    // The application's options that mirror the brush image.
    bool FlipHorizontal = false;
    bool FlipVertical = false;
    static TTarnwick_GreyImageLoader Loader;
};
