// Stroke steps against the memory-bandwidth floor, on a generated sheet of 1,000,000 vertices
// (2,500 with --smoke) seen whole in an orthographic view. Each stroke has ten steps (a sixth of
// a second of dragging at 60 frames a second; real strokes are longer), and a step's time is the
// stroke's, press to release, over ten, so that it carries its share of the press and release:
// - smooth: a stroke of the smooth deformer on a band of rows holding 10 % of the vertices,
//   weights falling off across it: the press (screen positions brought up to date, selection
//   gathered, the first-pass sums), ten drags (smoothing pass, working map, display update of positions and normals)
//   and the release (undo record of the moved vertices, the step into the morph);
// - selection: a stroke of the default selection brush whose circle covers 10 % of the vertices,
//   a dab at the press, eight drags and the release: the octree query, screen positions, the
//   weights, the undo record of the weights it changed.
// The press, a drag and the release are printed apart too, and the first selection press after
// the smooth strokes, which refits the octree's bounds to what they moved. The baseline is one copy of the
// position array. The last line is "ratio stroke <slower step's median / copy>".
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_sheet.h"
#include "bench/bench_timing.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "mesh/layer.h"
#include "mesh/scene_object.h"
#include "paint/undo_buffer.h"
#include "tools/deformer.h"
#include "tools/deformer_smooth.h"
#include "tools/selection_brush.h"

namespace {

constexpr int32_t FullSide = 1000;
constexpr int32_t SmokeSide = 50;
constexpr int FullRuns = 31;
constexpr double SelectedShare = 0.10;
// Steps per stroke: drags of the deformer; dabs of the brush, counting its press and release.
constexpr int StrokeSteps = 10;

const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
// A circle of this radius covers a tenth of the view's area, 2 × 2.
const float DabRadius = std::sqrt(0.4f / 3.14159265f);

// Press, all drags, release.
struct TStepTimes
{
    double Press = 0;
    double Drag = 0;
    double Release = 0;
};

// Per stroke: the step time (press to release over the steps) and the press, one drag and the
// release apart.
struct TStrokeTimes
{
    std::vector<double> Steps, Presses, Drags, Releases;

    void Add(const TStepTimes& stroke, int drags)
    {
        Steps.push_back((stroke.Press + stroke.Drag + stroke.Release) / StrokeSteps);
        Presses.push_back(stroke.Press);
        Drags.push_back(stroke.Drag / drags);
        Releases.push_back(stroke.Release);
    }
    void Print(const char* tool, const char* step, int runs) const
    {
        std::printf("%s stroke of %d steps, per step (median of %d): %.3f ms\n", tool, StrokeSteps, runs,
                    Median(Steps) * 1e3);
        std::printf("  press %.3f ms, one %s %.3f ms, release %.3f ms\n", Median(Presses) * 1e3, step,
                    Median(Drags) * 1e3, Median(Releases) * 1e3);
    }
};

// The sheet of side × side units fills the view from -1 to 1.
void LookAtSheet(TTarnwick_ToolView& view, int32_t side)
{
    const float scale = 2.0f / float(side - 1);
    const float model_view[16] = {scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, scale, 0, -1, -1, 0, 1};
    view.SetCamera(model_view, Identity, 1000, 1000, false);
}

// Weights rising from the band's edges to 1 in its middle, as a soft selection brush leaves them.
void SelectBand(TTarnwick_Mesh& mesh, int32_t side)
{
    const int32_t rows = std::max(1, int32_t(side * SelectedShare));
    const int32_t first_row = (side - rows) / 2;
    for (int32_t row = 0; row < rows; row++) {
        const float across = (float(row) + 0.5f) / float(rows);
        const float weight = 1.0f - std::fabs(2.0f * across - 1.0f);
        for (int32_t i = 0; i < side; i++)
            mesh.CurrentSelection->SetVSelect((first_row + row) * side + i, weight);
    }
}

// One stroke of StrokeSteps drags, each smoothing a little further from the press shape.
TStepTimes SmoothStroke(TTarnwick_Smooth& smooth, TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float drag)
{
    TStepTimes times;
    BenchClock::time_point start = BenchClock::now();
    smooth.Activate(mesh);
    smooth.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, 0, 0);
    times.Press = SecondsSince(start);
    start = BenchClock::now();
    for (int step = 1; step <= StrokeSteps; step++)
        smooth.MouseDrag(mesh, view, drag * float(step) / StrokeSteps, 0);
    times.Drag = SecondsSince(start);
    start = BenchClock::now();
    smooth.MouseButton(mesh, view, MouseButton_Left, ButtonState_Released, drag, 0);
    times.Release = SecondsSince(start);
    return times;
}

// A stroke of the selection brush across the view: a dab at the press, one per drag and one at
// the release. Alternate strokes paint and erase, so that every dab changes the weights.
TStepTimes SelectionStroke(TTarnwick_DefaultBrush& brush, TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int run)
{
    TStepTimes times;
    const int32_t button = run % 2 == 0 ? MouseButton_Left : MouseButton_Right;
    const float step_length = 0.02f;
    BenchClock::time_point start = BenchClock::now();
    brush.Activate(mesh);
    brush.MouseButton(mesh, view, button, ButtonState_Pressed, 0, 0);
    times.Press = SecondsSince(start);
    start = BenchClock::now();
    for (int step = 1; step < StrokeSteps - 1; step++)
        brush.MouseDrag(mesh, view, step_length * float(step), 0);
    times.Drag = SecondsSince(start);
    start = BenchClock::now();
    brush.MouseButton(mesh, view, button, ButtonState_Released, step_length * float(StrokeSteps - 2), 0);
    times.Release = SecondsSince(start);
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int32_t side = smoke ? SmokeSide : FullSide;
    const int runs = smoke ? 1 : FullRuns;
    if (!InitVirtualMemory())
        return 1;
    // The status lines of every drag would pile up in the sink.
    SetStatusHook([](TZAVStatusKind, const char*) {});

    auto tree = std::make_unique<TTarnwick_ObjectTreeGroup>(CreateSceneObject);
    auto* object = new TTarnwick_Object;
    object->SetMesh(std::make_unique<TTarnwick_Mesh>());
    tree->List.Add(object);
    TTarnwick_Object* current = object;
    TTarnwick_LayerList layers;
    bool scene_changed = false;
    TTarnwick_UndoBuffer undo(TTarnwick_UndoScene{&tree, &current, &layers, &scene_changed, {}, {}});
    TarnwickDeformerOptions.RecordMorphUndo = [&undo](TTarnwick_Mesh&, std::span<const int32_t> vertices,
                                                      std::span<const float> old_deltas) {
        undo.ActionCounter++;
        undo.AddUndoNode(undo.CreatePatch(UndoType_Morph, vertices, old_deltas));
    };
    TarnwickSelectionBrushHooks.RecordUndo = [&undo](TTarnwick_Mesh&, std::span<const int32_t> vertices,
                                                     std::span<const float> old_weights) {
        undo.ActionCounter++;
        undo.AddUndoNode(undo.CreatePatch(UndoType_Selection, vertices, old_weights));
    };

    TTarnwick_Mesh& mesh = *object->Mesh;
    MakeSheet(mesh, side);
    mesh.Prepare();
    mesh.ComputeNormals(TZAVNormalScope::All);
    SelectBand(mesh, side);
    mesh.BuildOctree();
    TTarnwick_ToolView view;
    LookAtSheet(view, side);
    TTarnwick_Smooth smooth;
    TTarnwick_DefaultBrush brush;
    brush.Radius = DabRadius;
    // The brush paints a selection of its own, so that the deformer's band stays as it is.
    auto* painted = new TTarnwick_Selection(mesh.GetVertexCount());
    mesh.SelectionTree->List.Add(painted);
    const int32_t vertex_count = mesh.GetVertexCount();
    std::vector<float> copy(mesh.Vertices.size());

    std::vector<double> copy_times;
    TStrokeTimes smooth_times, dab_times;
    float checksum = 0;
    auto time_copy = [&](int run) {
        const BenchClock::time_point start = BenchClock::now();
        std::memcpy(copy.data(), mesh.DisplayedVertices.data(), size_t(vertex_count) * 12);
        copy_times.push_back(SecondsSince(start));
        checksum += copy[size_t(run) % copy.size()];
    };
    // An artist sculpts a while, then paints the selection a while.
    for (int run = 0; run < runs; run++) {
        // Drags of 0.3 to 0.9 in the end: passes of up to that fraction.
        smooth_times.Add(SmoothStroke(smooth, mesh, view, 0.3f + 0.02f * float(run % 31)), StrokeSteps);
        checksum += mesh.DisplayedVertices[3 * size_t(vertex_count / 2) + 2];
        time_copy(run);
    }
    mesh.SetCurrentSelection(painted, TZAVOldSelection::Keep);
    // The first press refits the octree's bounds to what the strokes moved.
    const TStepTimes first_stroke = SelectionStroke(brush, mesh, view, 0);
    for (int run = 0; run < runs; run++) {
        dab_times.Add(SelectionStroke(brush, mesh, view, run + 1), StrokeSteps - 2);
        checksum += painted->GetVSelect(vertex_count / 2);
        time_copy(run);
    }

    const double floor = Median(copy_times);
    std::printf("vertices %d, band %zu, polygons refreshed %zu (checksum %g)\n", vertex_count,
                size_t(vertex_count * SelectedShare), mesh.DirtyPolygons.size(), double(checksum));
    smooth_times.Print("smooth", "drag", runs);
    dab_times.Print("selection", "dab", runs);
    std::printf("first selection press after the strokes, with the octree refit: %.3f ms\n",
                first_stroke.Press * 1e3);
    std::printf("position copy (median of %d): %.3f ms\n", runs, floor * 1e3);
    std::printf("ratio stroke %.3f\n", std::max(Median(smooth_times.Steps), Median(dab_times.Steps)) / floor);
    TarnwickDeformerOptions = {};
    TarnwickSelectionBrushHooks = {};
    undo.Clear();
    tree.reset();
    ShutdownVirtualMemory();
    return 0;
}
