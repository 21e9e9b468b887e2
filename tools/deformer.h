// TTarnwick_Deformer: the sculpting tools. The user paints a weighted selection first; a deformer
// then moves every selected vertex in proportion to its weight as the mouse drags, and the stroke's
// movement is added to the current morph at the release. The selection weights are the falloff, so
// a deformer has no brush circle.
//
// A stroke, as the base runs it for every kind:
//   press     refused without a writable current morph; gathers the selection and the view
//   drag      the previous step is cleared from the working map, the kind computes the whole
//             movement since the press into it (the mesh's temporary morph, shown over the
//             current one), symmetry copies it across, the display is updated once for both
//   release   the undo record of the vertices the step moved, then the working map is added to
//             the current morph and cleared
// The current morph does not change before the release, so the undo record is taken there and
// holds only the moved vertices.
// Every drag starts again from the press positions, so dragging back to the press point restores
// the press shape exactly.
//
// [SECTION] Options
// [SECTION] TTarnwick_Deformer
// [SECTION] The kinds
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "mesh/mirror_table.h"
#include "mesh/sculpt_mesh.h"
#include "tools/tool.h"

class TTarnwick_Morph;

// [SECTION] Options

// The application's deformer settings, and the hooks it gives the deformers.
struct TTarnwick_DeformerOptions
{
    // A locked axis component of every displacement is forced to 0.
    bool LockAxis[3] = {false, false, false};
    bool Symmetry = false;
    // The side whose movement the other side copies when Symmetry is on.
    TTarnwick_MirrorDirection SymmetryDirection = Mirror_ToNegative;
    // Refuses strokes on morphs of strength below 0.1 and warns below 1.0.
    bool StrengthCheck = false;
    // Which one-time notices were shown; the read-only notice is cleared by every Activate.
    uint32_t NoticeFlags = 0;
    // Records the current morph's displacements (three floats per vertex) of the vertices a stroke
    // is about to change (the undo buffer lives above the tools).
    std::function<void(TTarnwick_Mesh& mesh, std::span<const int32_t> vertices, std::span<const float> old_deltas)>
        RecordMorphUndo;
};

extern TTarnwick_DeformerOptions TarnwickDeformerOptions;

// Commands a stroke posts: the morph manager is asked to choose a morph; the views are redrawn
// after a stroke.
constexpr int32_t ChooseMorphCommand = 256;
constexpr int32_t StrokeEndedCommand = 80;

// [SECTION] TTarnwick_Deformer

// The view's relations a stroke uses, taken at the press.
struct TTarnwick_DeformerView
{
    // Screen-to-scene rotation, scene-to-screen transform and its inverse, column by column.
    float ScreenToScene[9];
    float SceneToScreen[16];
    float ScreenToSceneFull[16];
    float ViewDirection[3];
    float CameraTarget[3];
    float Aspect = 1;
    float Height = 1;
    // The camera zoom squared: screen movements are scaled by it.
    float Scale = 1;
    bool Perspective = false;

    void Take(const TTarnwick_ToolView& view);
    // The screen direction (x, y, 0) turned into the scene.
    void RotateToScene(const float screen[3], float out_scene[3]) const;
    void ProjectPoint(const float point[3], float out_screen[3]) const;
    void UnprojectPoint(const float screen[3], float out_point[3]) const;
};

class TTarnwick_Deformer : public TTarnwick_Tool
{
public:
    // Clears the see-through bit and the bits 0x02 and 0x04.
    TTarnwick_Deformer();

    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    bool MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;
    // Lets the read-only notice show again.
    void Activate(TTarnwick_Mesh& mesh) override;

    // Virtual operations added after those of the tool, in slot order.
    // The plane of the selection; the origin and -Z here.
    virtual void GetPlane(TTarnwick_Mesh& mesh, float out_centre[3], float out_normal[3],
                          int32_t mirror_axis);
    // The displacement of one vertex of weight `weight`; a, b and c are the kind's stroke values.
    // With mirror_axis >= 0 a vertex on the negative side of that axis is computed as if mirrored.
    virtual void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                              const float b[3], const float c[3], float out_displacement[3],
                              int32_t mirror_axis);
    // DeformVertex for every selected vertex that no layer hides or locks, into the working map,
    // locked axes zeroed.
    virtual void DeformSelected(TTarnwick_Mesh& mesh, const float a[3], const float b[3], const float c[3]);
    // The same over every vertex with weight 1.
    virtual void DeformAll(TTarnwick_Mesh& mesh, const float a[3], const float b[3], const float c[3]);

    // The box of the positions the last step moved (min then max).
    float ChangedMin[3] = {0, 0, 0};
    float ChangedMax[3] = {0, 0, 0};

protected:
    // Whether the kind reads vertex normals.
    enum class TNormals
    {
        Unused,
        Used,
    };
    // The kind's movement since the press into the working map, through NewSlot.
    virtual void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) = 0;
    // A press started a stroke; the display shows the press shape.
    virtual void StrokeStarted(const TTarnwick_Mesh&) {}

    // The working-map slot of a vertex, zeroed and listed for the step.
    float* NewSlot(int32_t vertex);
    static void ZeroLockedAxes(float displacement[3]);
    static bool IsExcluded(const TTarnwick_Mesh& mesh, int32_t vertex);
    // The press position and normal, mirrored when the vertex lies on the negative side of
    // mirror_axis; returns whether it was.
    bool PressValues(const TTarnwick_Mesh& mesh, int32_t vertex, int32_t mirror_axis, float out_position[3],
                     float out_normal[3]) const;
    // Where a vertex was at the press, and its normal then. During a drag the display still shows
    // the previous step, so the vertices a step moves are read from the copy taken at the press.
    const float* PressPosition(const TTarnwick_Mesh& mesh, int32_t vertex) const
    {
        // Before any press (a caller using DeformVertex alone) there is no copy.
        const int32_t slot = size_t(vertex) < PressSlot.size() ? PressSlot[size_t(vertex)] : -1;
        return slot >= 0 ? &PressPositions[3 * static_cast<size_t>(slot)] : mesh.GetDisplayedPosition(vertex).data();
    }
    const float* PressNormal(const TTarnwick_Mesh& mesh, int32_t vertex) const;

    // The current selection's vertices with a weight above 0, and their weights.
    std::vector<int32_t> SelectedVertices;
    std::vector<float> SelectedWeights;
    // Per vertex, its place in the press copy or -1: the selected vertices come first, in the order
    // of SelectedVertices, then their mirror vertices. All -1 between strokes.
    std::vector<int32_t> PressSlot;
    std::vector<float> PressPositions;
    std::vector<float> PressNormals;
    TTarnwick_DeformerView View;

private:
    // Why a stroke may not change the current morph; Editable when it may.
    enum class TRefusal
    {
        Editable,
        NoMorph,
        ReadOnly,
        TooWeak,
    };
    static TRefusal CheckMorph(const TTarnwick_Mesh& mesh);
    bool StartStroke(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view);
    void EndStroke(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view);
    // The mesh's temporary morph, expanded, when it can hold the stroke; null otherwise.
    static TTarnwick_Morph* WorkingMap(TTarnwick_Mesh& mesh);
    // Zeroes the applied step in the working map; the display still shows it.
    void ClearAppliedStep(TTarnwick_Morph& working);
    // Symmetry, then the display update of the applied and the new step, and the changed box.
    void ShowNewStep(TTarnwick_Mesh& mesh, TTarnwick_Morph& working);
    void GatherSelection(TTarnwick_Mesh& mesh);
    void TakePressShape(const TTarnwick_Mesh& mesh);
    void DropPressShape();
    void MarkPartialRedraw(TTarnwick_Mesh& mesh) const;

    bool Stroking = false;
    float* WorkingValues = nullptr;
    // The vertices whose working-map slots the shown step and the step being built use.
    std::vector<int32_t> AppliedVertices;
    std::vector<int32_t> NewVertices;
    // The vertices a drag's display update covers; the morph's displacements the release replaces.
    std::vector<int32_t> Shown;
    std::vector<float> OldDeltas;
    std::vector<int32_t> PressVertices;
};

// [SECTION] The kinds

class TTarnwick_MoveInPlane : public TTarnwick_Deformer
{
public:
    TTarnwick_MoveInPlane();
    void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight, const float b[3],
                      const float c[3], float out_displacement[3], int32_t mirror_axis) override;

    bool AllowHorizontal = true;
    bool AllowVertical = true;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;
};

class TTarnwick_Rotate : public TTarnwick_Deformer
{
public:
    TTarnwick_Rotate();
    // a: pivot, b: unit axis, c[0]: angle in degrees.
    void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight, const float b[3],
                      const float c[3], float out_displacement[3], int32_t mirror_axis) override;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;
};

class TTarnwick_Pinch : public TTarnwick_Deformer
{
public:
    TTarnwick_Pinch();
    // a[0]: the scale of the screen offsets from the press point.
    void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight, const float b[3],
                      const float c[3], float out_displacement[3], int32_t mirror_axis) override;

    bool AllowHorizontal = true;
    bool AllowVertical = true;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;
};

class TTarnwick_Scale : public TTarnwick_Deformer
{
public:
    TTarnwick_Scale();
    // a: pivot, b[0]: factor.
    void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight, const float b[3],
                      const float c[3], float out_displacement[3], int32_t mirror_axis) override;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;
};

class TTarnwick_Bulge : public TTarnwick_Deformer
{
public:
    TTarnwick_Bulge();
    // a[0]: the distance along the normal at weight 1.
    void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight, const float b[3],
                      const float c[3], float out_displacement[3], int32_t mirror_axis) override;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;
};

class TTarnwick_Flatten : public TTarnwick_Deformer
{
public:
    TTarnwick_Flatten();
    // The weighted centre and unit normal of the selection.
    void GetPlane(TTarnwick_Mesh& mesh, float out_centre[3], float out_normal[3],
                  int32_t mirror_axis) override;
    // a: centre, b: normal, c[0]: strength.
    void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight, const float b[3],
                      const float c[3], float out_displacement[3], int32_t mirror_axis) override;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;
};

class TTarnwick_Unmorph : public TTarnwick_Deformer
{
public:
    TTarnwick_Unmorph();
    // a[0]: the share of the current morph taken off at weight 1.
    void DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight, const float b[3],
                      const float c[3], float out_displacement[3], int32_t mirror_axis) override;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;
};
