// The first step of a smooth stroke against the memory-bandwidth floor. On a generated sheet of
// 1,000,000 vertices (2,500 with --smoke) a band of whole rows holding 10 % of the vertices is
// selected with weights falling off across the band; the timed step is what the main window runs
// for a press and the first drag: the undo copy of the current morph (Activate), the press (screen
// positions, selection gathered) and one drag of the smooth deformer (the smoothing pass, the
// working map and the display update of positions and normals through UpdateVertices). The
// release, timed apart, moves the step into the morph and rebuilds the mesh's octree for the
// selection brushes. The baseline is one copy of the position array.
// Prints the medians of the whole step and of its parts; the last line is
// "ratio stroke <step / copy>".
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

namespace {

constexpr int32_t FullSide = 1000;
constexpr int32_t SmokeSide = 50;
constexpr int FullRuns = 31;
constexpr double SelectedShare = 0.10;

const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

struct TStepTimes
{
    double Undo = 0;
    double Press = 0;
    double Drag = 0;
    double Release = 0;
};

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

TStepTimes StrokeStep(TTarnwick_Smooth& smooth, TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float drag)
{
    TStepTimes times;
    BenchClock::time_point start = BenchClock::now();
    smooth.Activate(mesh);
    times.Undo = SecondsSince(start);
    start = BenchClock::now();
    smooth.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, 0, 0);
    times.Press = SecondsSince(start);
    start = BenchClock::now();
    smooth.MouseDrag(mesh, view, drag, 0);
    times.Drag = SecondsSince(start);
    start = BenchClock::now();
    smooth.MouseButton(mesh, view, MouseButton_Left, ButtonState_Released, drag, 0);
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
    TarnwickDeformerOptions.RecordMorphUndo = [&undo](TTarnwick_Mesh&) {
        undo.ActionCounter++;
        undo.AddUndoNode(undo.CreateUndoNode(UndoType_Morph, -1));
    };

    TTarnwick_Mesh& mesh = *object->Mesh;
    MakeSheet(mesh, side);
    mesh.Prepare();
    mesh.ComputeNormals(TZAVNormalScope::All);
    SelectBand(mesh, side);
    mesh.BuildOctree();
    TTarnwick_ToolView view;
    view.SetCamera(Identity, Identity, 1000, 800, false);
    TTarnwick_Smooth smooth;
    const int32_t vertex_count = mesh.GetVertexCount();
    std::vector<float> copy(mesh.Vertices.size());

    std::vector<double> step_times, undo_times, press_times, drag_times, release_times, copy_times;
    float checksum = 0;
    for (int run = 0; run < runs; run++) {
        // Drags of 0.3 to 0.9: one pass of that fraction.
        const TStepTimes times = StrokeStep(smooth, mesh, view, 0.3f + 0.02f * float(run % 31));
        undo_times.push_back(times.Undo);
        press_times.push_back(times.Press);
        drag_times.push_back(times.Drag);
        release_times.push_back(times.Release);
        step_times.push_back(times.Undo + times.Press + times.Drag);
        checksum += mesh.DisplayedVertices[3 * size_t(vertex_count / 2) + 2];

        const BenchClock::time_point start = BenchClock::now();
        std::memcpy(copy.data(), mesh.DisplayedVertices.data(), size_t(vertex_count) * 12);
        copy_times.push_back(SecondsSince(start));
        checksum += copy[size_t(run) % copy.size()];
    }

    const double step = Median(step_times);
    const double floor = Median(copy_times);
    std::printf("vertices %d, selected %zu, polygons refreshed %zu (checksum %g)\n", vertex_count,
                size_t(vertex_count * SelectedShare), mesh.DirtyPolygons.size(), double(checksum));
    std::printf("undo record (median of %d): %.3f ms\n", runs, Median(undo_times) * 1e3);
    std::printf("press (median of %d): %.3f ms\n", runs, Median(press_times) * 1e3);
    std::printf("smooth drag and display update (median of %d): %.3f ms\n", runs, Median(drag_times) * 1e3);
    std::printf("release with the octree rebuilt (median of %d): %.3f ms\n", runs,
                Median(release_times) * 1e3);
    std::printf("first step of a stroke (median of %d): %.3f ms\n", runs, step * 1e3);
    std::printf("position copy (median of %d): %.3f ms\n", runs, floor * 1e3);
    std::printf("ratio stroke %.3f\n", step / floor);
    TarnwickDeformerOptions = {};
    undo.Clear();
    tree.reset();
    ShutdownVirtualMemory();
    return 0;
}
