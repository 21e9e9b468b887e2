// A paint stroke on a big figure: a sphere of about a million vertices whose colour channel has a
// 4096 × 4096 map, seen in an 800 × 800 view, painted with the round brush at radius 5 % along a
// path of 100 dabs (a press and 99 drags, half a radius apart), through the OpenGL canvas of the
// program with undo recorded, as the viewport does. A first stroke prepares the map (its
// quadtree, coverage and seam padding) and is timed apart. Prints the median dab and its split
// into projection (finding the polygons and leaves, the undo blocks), drawing (dab buffer and
// leaves) and read-back, and ends with "ratio paint_stroke <median dab time / 16.7 ms>". Needs a
// display: run it under xvfb-run -a.
//
//     bench_paint_stroke [--smoke] [--screenshot]
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/paint_canvas.h"
#include "app/texture_residency.h"
#include "bench/bench_sphere.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "core/virtual_memory.h"
#include "files/project.h"
#include "paint/image_file.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "paint/paint_brush.h"

namespace {

constexpr int32_t ViewSide = 800;
constexpr double FrameBudget = 1.0 / 60.0;
constexpr int32_t DabCount = 100;
constexpr float Radius = 0.05f;

// An orthographic view of the unit sphere filling nine tenths of the view.
void SetSphereView(TTarnwick_ToolView& view)
{
    const float model_view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float projection[16] = {0.9f, 0, 0, 0, 0, 0.9f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1};
    view.SetCamera(model_view, projection, ViewSide, ViewSide, false);
}

struct TStrokeTimes
{
    std::vector<double> Dabs;
    std::vector<double> Projection;
    std::vector<double> Drawing;
    std::vector<double> ReadBack;
    double Press = 0;
};

// A press at the path's start and drags half a radius apart along a slanted line over the front.
TStrokeTimes PaintStroke(TTarnwick_RoundBrush& brush, TTarnwick_Mesh& mesh, TTarnwick_ToolView& view,
                         TTarnwick_GLPaintCanvas& canvas, float start_y)
{
    TStrokeTimes times;
    TarnwickProject->UndoBuffer.ActionCounter++;
    auto point = [&](int32_t i) {
        const float x = -0.6f + float(i) * Radius / 2;
        return std::pair{x, start_y + 0.3f * x};
    };
    for (int32_t i = 0; i < DabCount; i++) {
        const auto [x, y] = point(i);
        canvas.ReadBackSeconds = 0;
        const auto start = BenchClock::now();
        if (i == 0)
            brush.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, x, y);
        else
            brush.MouseDrag(mesh, view, x, y);
        glFinish();
        const double seconds = SecondsSince(start);
        if (i == 0) {
            times.Press = seconds;
            continue;
        }
        times.Dabs.push_back(seconds);
        times.Projection.push_back(brush.LastTimes.Projection);
        times.ReadBack.push_back(canvas.ReadBackSeconds);
        times.Drawing.push_back(std::max(0.0, seconds - brush.LastTimes.Projection - canvas.ReadBackSeconds));
    }
    const auto [x, y] = point(DabCount - 1);
    brush.MouseButton(mesh, view, MouseButton_Left, ButtonState_Released, x, y);
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    const TBenchOptions options = ReadBenchOptions(argc, argv);
    if (!BenchHasDisplay("bench_paint_stroke"))
        return 1;
    CreateBenchWindow("bench_paint_stroke", ViewSide, ViewSide, GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    if (!InitVirtualMemory()) {
        std::fprintf(stderr, "bench_paint_stroke: the paging file cannot be made\n");
        return 1;
    }

    const int32_t side = options.Smoke ? 60 : 1000;
    const int32_t map_side = options.Smoke ? 512 : 4096;
    TTarnwick_Mesh& mesh = StartSphereProject(side);
    auto map = std::make_unique<TZAVMaterialMap>();
    if (!map->AllocatePixels(map_side, map_side))
        return 1;
    TZAVMaterialMap& painted = *map;
    AttachMap(mesh, map.release(), "Color", "");
    InstallMapTextureHooks();
    SendToOpenGL(painted, TZAVTextureCompression::Off);

    TTarnwick_GLPaintCanvas canvas;
    TarnwickPaintHooks.Canvas = &canvas;
    TarnwickPaintHooks.UndoBuffer = [] { return &TarnwickProject->UndoBuffer; };
    TTarnwick_ToolView view;
    SetSphereView(view);
    TTarnwick_RoundBrush brush;
    brush.Radius = Radius;
    brush.Hardness = 0.5f;
    const float red[3] = {0.8f, 0.1f, 0.1f};
    std::copy_n(red, 3, brush.PrimaryColor);

    const auto first = BenchClock::now();
    const TStrokeTimes warm = PaintStroke(brush, mesh, view, canvas, 0.3f);
    const double first_stroke = SecondsSince(first);
    const TStrokeTimes times = PaintStroke(brush, mesh, view, canvas, -0.2f);

    std::printf("vertices: %d, quads: %d, map: %d x %d, view: %d x %d\n", mesh.GetVertexCount(),
                mesh.GetPolygonCount(), painted.Width, painted.Height, ViewSide, ViewSide);
    std::printf("first stroke (prepares the map): %.0f ms, its press %.0f ms\n", first_stroke * 1000.0,
                warm.Press * 1000.0);
    std::printf("second stroke: press %.1f ms, median dab %.2f ms (projection %.2f, drawing %.2f, read-back %.2f)\n",
                times.Press * 1000.0, Median(times.Dabs) * 1000.0, Median(times.Projection) * 1000.0,
                Median(times.Drawing) * 1000.0, Median(times.ReadBack) * 1000.0);
    std::printf("undo memory: %.1f MB\n", double(TarnwickProject->UndoBuffer.MemoryUse()) / 1e6);
    if (options.Screenshot) {
        std::string error;
        if (!SaveImageFile(std::string(TARNWICK_SCREENSHOT_DIR) + "paint_stroke_map.png", painted.Pixels, painted.Width,
                           painted.Height, TZAVImageChannels::RGB, error))
            std::fprintf(stderr, "bench_paint_stroke: %s\n", error.c_str());
    }
    std::printf("ratio paint_stroke %.4f\n", Median(times.Dabs) / FrameBudget);
    TarnwickPaintHooks = {};
    delete TarnwickProject;
    TarnwickProject = nullptr;
    ShutdownVirtualMemory();
    return 0;
}
