// The deformer base: the stroke protocol every kind shares (refusals, the working map, symmetry, the
// display update, the commit at the release) and the view relations the kinds compute with.
//
// The working map is the mesh's temporary morph: the display shows base + current morph + temporary
// morph, so a step written there is shown by updating only the vertices it touched, and the release
// moves it into the current morph without changing what is shown.
//
// [SECTION] View relations
// [SECTION] Construction and per-vertex operations
// [SECTION] The stroke
#include "tools/deformer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/language.h"
#include "mesh/sculpt_mesh.h"

TTarnwick_DeformerOptions TarnwickDeformerOptions;

namespace {

constexpr uint32_t ExcludedVertex = VertexFlag_Hidden | VertexFlag_Locked;
constexpr uint32_t DeformerClearedFlags = ToolFlag_SeeThrough | 0x02 | 0x04;
constexpr float WeakStrength = 0.1f;
constexpr float SelectedWeight = 0.0001f;
// "All three axes are locked."
constexpr int32_t AllAxesLockedEntry = 796;

constexpr const char* NoMorphMessage = "Please choose a morph target first";
constexpr const char* TooWeakMessage =
    "The strength of the current morph (as set in the morph manager) is too small for editing purposes.";
constexpr const char* WeakWarning =
    "The strength of the current morph is less than 1.0. This may lead to undesirable results.";

// Gauss-Jordan with partial pivoting, in double; the identity when the matrix is singular.
void Invert4(const float m[16], float out[16])
{
    double work[4][8];
    for (int32_t row = 0; row < 4; row++)
        for (int32_t column = 0; column < 4; column++) {
            work[row][column] = m[column * 4 + row];
            work[row][column + 4] = row == column ? 1.0 : 0.0;
        }
    for (int32_t column = 0; column < 4; column++) {
        int32_t pivot = column;
        for (int32_t row = column + 1; row < 4; row++)
            if (std::fabs(work[row][column]) > std::fabs(work[pivot][column]))
                pivot = row;
        if (std::fabs(work[pivot][column]) < 1e-30) {
            for (int32_t k = 0; k < 16; k++)
                out[k] = k % 5 == 0 ? 1.0f : 0.0f;
            return;
        }
        std::swap(work[pivot], work[column]);
        const double scale = 1.0 / work[column][column];
        for (double& value : work[column])
            value *= scale;
        for (int32_t row = 0; row < 4; row++) {
            if (row == column)
                continue;
            const double factor = work[row][column];
            for (int32_t k = 0; k < 8; k++)
                work[row][k] -= factor * work[column][k];
        }
    }
    for (int32_t row = 0; row < 4; row++)
        for (int32_t column = 0; column < 4; column++)
            out[column * 4 + row] = float(work[row][column + 4]);
}

// m (column by column) times (point, 1), divided by w when it is not negligible.
void TransformPoint(const float m[16], const float point[3], float out[3])
{
    float result[4];
    for (int32_t i = 0; i < 4; i++)
        result[i] = m[i] * point[0] + m[4 + i] * point[1] + m[8 + i] * point[2] + m[12 + i];
    const float w = std::fabs(result[3]) > 1e-30f ? result[3] : 1.0f;
    for (int32_t i = 0; i < 3; i++)
        out[i] = result[i] / w;
}

} // namespace

// [SECTION] View relations

void TTarnwick_DeformerView::Take(const TTarnwick_ToolView& view)
{
    // The eye's axes in the scene are the rows of the view rotation; normalised against a scaled view.
    for (int32_t axis = 0; axis < 3; axis++) {
        const float row[3] = {view.ModelView[axis], view.ModelView[4 + axis], view.ModelView[8 + axis]};
        const float length = std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]);
        for (int32_t k = 0; k < 3; k++)
            ScreenToScene[axis * 3 + k] = length > 1e-30f ? row[k] / length : float(axis == k);
    }
    view.GetSceneToScreen(SceneToScreen);
    Invert4(SceneToScreen, ScreenToSceneFull);
    view.GetViewDirection(ViewDirection);
    std::copy_n(view.CameraTarget, 3, CameraTarget);
    Aspect = view.Aspect();
    Height = float(view.Height);
    Scale = std::max(view.Zoom * view.Zoom, 1e-7f);
    Perspective = view.Perspective;
}

void TTarnwick_DeformerView::RotateToScene(const float screen[3], float out_scene[3]) const
{
    for (int32_t k = 0; k < 3; k++)
        out_scene[k] = ScreenToScene[k] * screen[0] + ScreenToScene[3 + k] * screen[1] +
                       ScreenToScene[6 + k] * screen[2];
}

void TTarnwick_DeformerView::ProjectPoint(const float point[3], float out_screen[3]) const
{
    TransformPoint(SceneToScreen, point, out_screen);
}

void TTarnwick_DeformerView::UnprojectPoint(const float screen[3], float out_point[3]) const
{
    TransformPoint(ScreenToSceneFull, screen, out_point);
}

// [SECTION] Construction and per-vertex operations

TTarnwick_Deformer::TTarnwick_Deformer()
{
    Flags &= ~DeformerClearedFlags;
    UsesScreenPositions = false;
}

void TTarnwick_Deformer::GetPlane(TTarnwick_Mesh&, float out_centre[3], float out_normal[3], int32_t)
{
    std::fill_n(out_centre, 3, 0.0f);
    out_normal[0] = 0;
    out_normal[1] = 0;
    out_normal[2] = -1;
}

void TTarnwick_Deformer::DeformVertex(TTarnwick_Mesh&, int32_t, const float*, float, const float*,
                                      const float*, float*, int32_t)
{
}

void TTarnwick_Deformer::DeformSelected(TTarnwick_Mesh& mesh, const float a[3], const float b[3],
                                        const float c[3])
{
    // Only a drag has a working map to write into.
    if (WorkingValues == nullptr)
        return;
    for (size_t i = 0; i < SelectedVertices.size(); i++) {
        const int32_t vertex = SelectedVertices[i];
        if (IsExcluded(mesh, vertex))
            continue;
        float* slot = NewSlot(vertex);
        DeformVertex(mesh, vertex, a, SelectedWeights[i], b, c, slot, -1);
        ZeroLockedAxes(slot);
    }
}

void TTarnwick_Deformer::DeformAll(TTarnwick_Mesh& mesh, const float a[3], const float b[3], const float c[3])
{
    if (WorkingValues == nullptr)
        return;
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++) {
        if (IsExcluded(mesh, vertex))
            continue;
        float* slot = NewSlot(vertex);
        DeformVertex(mesh, vertex, a, 1.0f, b, c, slot, -1);
        ZeroLockedAxes(slot);
    }
}

float* TTarnwick_Deformer::NewSlot(int32_t vertex)
{
    NewVertices.push_back(vertex);
    float* slot = WorkingValues + 3 * static_cast<size_t>(vertex);
    std::fill_n(slot, 3, 0.0f);
    return slot;
}

void TTarnwick_Deformer::ZeroLockedAxes(float displacement[3])
{
    for (int32_t k = 0; k < 3; k++)
        if (TarnwickDeformerOptions.LockAxis[k])
            displacement[k] = 0;
}

bool TTarnwick_Deformer::IsExcluded(const TTarnwick_Mesh& mesh, int32_t vertex)
{
    return (mesh.VertexFlags[vertex] & ExcludedVertex) != 0;
}

const float* TTarnwick_Deformer::PressNormal(const TTarnwick_Mesh& mesh, int32_t vertex) const
{
    static const float None[3] = {0, 0, 0};
    const int32_t slot = size_t(vertex) < PressSlot.size() ? PressSlot[size_t(vertex)] : -1;
    if (slot >= 0)
        return &PressNormals[3 * static_cast<size_t>(slot)];
    const size_t offset = 3 * static_cast<size_t>(vertex);
    return offset + 3 <= mesh.Normals.size() ? &mesh.Normals[offset] : None;
}

bool TTarnwick_Deformer::PressValues(const TTarnwick_Mesh& mesh, int32_t vertex, int32_t mirror_axis,
                                     float out_position[3], float out_normal[3]) const
{
    std::copy_n(PressPosition(mesh, vertex), 3, out_position);
    std::copy_n(PressNormal(mesh, vertex), 3, out_normal);
    const size_t offset = 3 * static_cast<size_t>(vertex);
    if (mirror_axis < 0 || !(mesh.Vertices[offset + mirror_axis] < 0))
        return false;
    out_position[mirror_axis] = -out_position[mirror_axis];
    out_normal[mirror_axis] = -out_normal[mirror_axis];
    return true;
}

// [SECTION] The stroke

TTarnwick_Deformer::TRefusal TTarnwick_Deformer::CheckMorph(const TTarnwick_Mesh& mesh)
{
    if (mesh.CurrentMorph == nullptr)
        return TRefusal::NoMorph;
    if (mesh.CurrentMorph->ReadOnly)
        return TRefusal::ReadOnly;
    if (TarnwickDeformerOptions.StrengthCheck && mesh.CurrentMorph->Strength < WeakStrength)
        return TRefusal::TooWeak;
    return TRefusal::Editable;
}

TTarnwick_Morph* TTarnwick_Deformer::WorkingMap(TTarnwick_Mesh& mesh)
{
    TTarnwick_Morph* working = mesh.TempMorph;
    // The temporary morph cannot hold the step of a stroke on itself.
    if (working == nullptr || working == mesh.CurrentMorph || working->vcount != mesh.GetVertexCount())
        return nullptr;
    working->Expand();
    return working;
}

void TTarnwick_Deformer::Activate(TTarnwick_Mesh&)
{
    TarnwickDeformerOptions.NoticeFlags &= ~static_cast<uint32_t>(Notice_ReadOnlyMorphShown);
}

bool TTarnwick_Deformer::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                     int32_t state, float x, float y)
{
    if (!TTarnwick_Tool::MouseButton(mesh, view, button, state, x, y))
        return false;
    if (state != ButtonState_Pressed) {
        EndStroke(mesh, view);
        return true;
    }
    // A press without a release before it: the unfinished step is dropped.
    if (Stroking)
        EndStroke(mesh, view);
    return StartStroke(mesh, view);
}

bool TTarnwick_Deformer::StartStroke(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view)
{
    TTarnwick_Morph* working = WorkingMap(mesh);
    if (working != nullptr)
        working->Strength = mesh.CurrentMorph != nullptr ? mesh.CurrentMorph->Strength : 0.0f;
    switch (CheckMorph(mesh)) {
    case TRefusal::NoMorph:
        ShowMessage(GlobalDialogHost, "%s", NoMorphMessage);
        PostCommand(ChooseMorphCommand);
        return false;
    case TRefusal::ReadOnly:
        return mesh.CheckMorphWritable(TarnwickDeformerOptions.NoticeFlags);
    case TRefusal::TooWeak:
        ShowMessage(GlobalDialogHost, "%s", TooWeakMessage);
        return false;
    case TRefusal::Editable:
        break;
    }
    if (working == nullptr)
        return false;
    View.Take(view);
    GatherSelection(mesh);
    TakePressShape(mesh);
    StrokeStarted(mesh);
    Stroking = true;
    if (TarnwickDeformerOptions.StrengthCheck && mesh.CurrentMorph->Strength < 1.0f) {
        AddWarning("%s", WeakWarning);
        return true;
    }
    const bool* locks = TarnwickDeformerOptions.LockAxis;
    if (locks[0] && locks[1] && locks[2])
        AddStatus("%s", GetLanguageString(AllAxesLockedEntry));
    if (TarnwickToolOptions.PartialRedraw)
        MarkPartialRedraw(mesh);
    return true;
}

void TTarnwick_Deformer::GatherSelection(TTarnwick_Mesh& mesh)
{
    SelectedVertices.clear();
    SelectedWeights.clear();
    TTarnwick_Selection* selection = mesh.CurrentSelection;
    if (selection == nullptr)
        return;
    if (const float* weights = selection->vselect()) {
        const int32_t count = std::min(selection->vcount, mesh.GetVertexCount());
        for (int32_t vertex = 0; vertex < count; vertex++)
            if (weights[vertex] > 0) {
                SelectedVertices.push_back(vertex);
                SelectedWeights.push_back(weights[vertex]);
            }
        return;
    }
    int32_t vertex = -1;
    float weight = 0;
    for (bool more = selection->GetFirstValue(vertex, weight); more;
         more = selection->GetNextValue(vertex, weight))
        if (weight > 0 && vertex < mesh.GetVertexCount()) {
            SelectedVertices.push_back(vertex);
            SelectedWeights.push_back(weight);
        }
}

void TTarnwick_Deformer::TakePressShape(const TTarnwick_Mesh& mesh)
{
    DropPressShape();
    const int32_t vertex_count = mesh.GetVertexCount();
    if (PressSlot.size() != static_cast<size_t>(vertex_count))
        PressSlot.assign(vertex_count, -1);
    auto add = [&](int32_t vertex) {
        if (PressSlot[vertex] >= 0)
            return;
        PressSlot[vertex] = static_cast<int32_t>(PressVertices.size());
        PressVertices.push_back(vertex);
    };
    for (int32_t vertex : SelectedVertices)
        add(vertex);
    if (mesh.MirrorTables.VertexCount() == vertex_count)
        for (int32_t vertex : SelectedVertices)
            if (const int32_t mirror = mesh.MirrorTables.Mirror(vertex); mirror >= 0)
                add(mirror);
    const bool has_normals = mesh.Normals.size() == 3 * static_cast<size_t>(vertex_count);
    PressPositions.resize(3 * PressVertices.size());
    PressNormals.assign(3 * PressVertices.size(), 0.0f);
    for (size_t i = 0; i < PressVertices.size(); i++) {
        const size_t offset = 3 * static_cast<size_t>(PressVertices[i]);
        std::copy_n(&mesh.DisplayedVertices[offset], 3, &PressPositions[3 * i]);
        if (has_normals)
            std::copy_n(&mesh.Normals[offset], 3, &PressNormals[3 * i]);
    }
}

void TTarnwick_Deformer::DropPressShape()
{
    for (int32_t vertex : PressVertices)
        PressSlot[vertex] = -1;
    PressVertices.clear();
}

void TTarnwick_Deformer::MarkPartialRedraw(TTarnwick_Mesh& mesh) const
{
    for (int32_t polygon : mesh.VisiblePolygons)
        mesh.PolygonFlags[polygon] &= ~static_cast<uint32_t>(ToolPolygonFlag_Changed);
    const bool mirrored = TarnwickDeformerOptions.Symmetry && (Flags & ToolFlag_Symmetry) &&
                          mesh.MirrorTables.VertexCount() == mesh.GetVertexCount();
    auto mark = [&](int32_t vertex) {
        for (int32_t polygon : mesh.GetVertexPolygons(vertex))
            mesh.PolygonFlags[polygon] |= ToolPolygonFlag_Changed;
    };
    for (size_t i = 0; i < SelectedVertices.size(); i++) {
        if (!(SelectedWeights[i] > SelectedWeight))
            continue;
        mark(SelectedVertices[i]);
        const int32_t mirror = mirrored ? mesh.MirrorTables.Mirror(SelectedVertices[i]) : -1;
        if (mirror >= 0)
            mark(mirror);
    }
}

bool TTarnwick_Deformer::MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    if (!TTarnwick_Tool::MouseDrag(mesh, view, x, y))
        return false;
    if (!Stroking || CheckMorph(mesh) != TRefusal::Editable)
        return false;
    TTarnwick_Morph* working = WorkingMap(mesh);
    if (working == nullptr)
        return false;
    WorkingValues = working->vertices();
    ClearAppliedStep(*working);
    NewVertices.clear();
    ComputeStep(mesh, x - PressX, y - PressY);
    ShowNewStep(mesh, *working);
    std::swap(AppliedVertices, NewVertices);
    NewVertices.clear();
    WorkingValues = nullptr;
    return true;
}

void TTarnwick_Deformer::ClearAppliedStep(TTarnwick_Morph& working)
{
    float* values = working.vertices();
    for (int32_t vertex : AppliedVertices)
        std::fill_n(values + 3 * static_cast<size_t>(vertex), 3, 0.0f);
}

void TTarnwick_Deformer::ShowNewStep(TTarnwick_Mesh& mesh, TTarnwick_Morph& working)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    if (TarnwickDeformerOptions.Symmetry && (Flags & ToolFlag_Symmetry) &&
        mesh.MirrorTables.VertexCount() == vertex_count) {
        // The mirror vertices receive the step too; their own slots may hold nothing yet.
        const size_t moved = NewVertices.size();
        for (size_t i = 0; i < moved; i++) {
            const int32_t mirror = mesh.MirrorTables.Mirror(NewVertices[i]);
            if (mirror >= 0 && mirror != NewVertices[i] && !IsExcluded(mesh, mirror))
                NewVertices.push_back(mirror);
        }
        mesh.MirrorDisplacements({working.vertices(), 3 * static_cast<size_t>(vertex_count)},
                                 TarnwickDeformerOptions.SymmetryDirection, NewVertices);
    }
    // The vertices of the previous step that this one leaves go back to their press positions,
    // bit for bit, in the same update; usually both steps move the same vertices.
    Shown = NewVertices;
    if (AppliedVertices != NewVertices)
        Shown.insert(Shown.end(), AppliedVertices.begin(), AppliedVertices.end());
    // Every drag shows the whole step since the press, so the release's update covers all it moved.
    mesh.UpdateVertices(Shown, TTarnwick_Mesh::TIndexUpdate::Deferred);

    std::fill_n(ChangedMin, 3, INFINITY);
    std::fill_n(ChangedMax, 3, -INFINITY);
    for (int32_t vertex : NewVertices) {
        if (mesh.VertexFlags[vertex] & VertexFlag_Hidden)
            continue;
        std::span<const float> position = mesh.GetDisplayedPosition(vertex);
        for (int32_t k = 0; k < 3; k++) {
            ChangedMin[k] = std::min(ChangedMin[k], position[k]);
            ChangedMax[k] = std::max(ChangedMax[k], position[k]);
        }
    }
}

void TTarnwick_Deformer::EndStroke(TTarnwick_Mesh& mesh, TTarnwick_ToolView&)
{
    if (!Stroking)
        return;
    Stroking = false;
    TTarnwick_Morph* working = WorkingMap(mesh);
    if (working == nullptr) {
        // The step went with the working map: the display and its indexes catch up.
        mesh.UpdateVertices(AppliedVertices);
        AppliedVertices.clear();
        DropPressShape();
        return;
    }
    float* step = working->vertices();
    // A morph that became read-only or was dropped during the stroke keeps its deltas.
    if (CheckMorph(mesh) == TRefusal::Editable && !AppliedVertices.empty()) {
        TTarnwick_Morph& morph = *mesh.CurrentMorph;
        morph.Expand();
        float* deltas = morph.vertices();
        if (TarnwickDeformerOptions.RecordMorphUndo) {
            OldDeltas.resize(3 * AppliedVertices.size());
            for (size_t i = 0; i < AppliedVertices.size(); i++)
                std::copy_n(deltas + 3 * static_cast<size_t>(AppliedVertices[i]), 3, &OldDeltas[3 * i]);
            TarnwickDeformerOptions.RecordMorphUndo(mesh, AppliedVertices, OldDeltas);
        }
        for (int32_t vertex : AppliedVertices) {
            const size_t offset = 3 * static_cast<size_t>(vertex);
            for (size_t k = offset; k < offset + 3; k++) {
                deltas[k] += step[k];
                step[k] = 0;
            }
        }
    }
    // The display shows base + morph + step: the same positions now that the step is in the morph,
    // unless the morph refused it; then the step is taken off the display.
    ClearAppliedStep(*working);
    mesh.UpdateVertices(AppliedVertices);
    AppliedVertices.clear();
    DropPressShape();
    PostCommand(StrokeEndedCommand);
}
