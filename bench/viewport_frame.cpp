// A frame of the four 3D views: a sphere of about a million vertices and a million quads (texture
// vertices split along one seam, as figures have them) drawn by four viewport panels in a
// 1280 × 800 freeglut window, as the main loop draws every frame. Prints the draw path, the first
// frame (which builds the vertex buffers), the median frame of all four views, the time to send
// positions and normals again after the displayed positions changed (beside a plain copy of the
// same bytes, the memory-bandwidth floor), and ends with
// "ratio viewport_frame <median frame time / 16.7 ms>". Needs a display: run it under xvfb-run -a.
//
//     bench_viewport_frame [--smoke] [--screenshot]
//         --smoke: a small sphere and a few frames; --screenshot: writes screenshots/viewport_frame.png
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "app/scene_drawing.h"
#include "app/viewport_panel.h"
#include "bench/bench_sphere.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "core/virtual_memory.h"
#include "files/project.h"
#include "mesh/sculpt_mesh.h"
#include "widgets/blank_app.h"

namespace {

constexpr int32_t FrameWidth = 1280;
constexpr int32_t FrameHeight = 800;
constexpr double FrameBudget = 1.0 / 60.0;

// Front, right and top views and a user view, each a quarter of the window, fitted to the figure.
void AddFourViews(TZAVglutWigits_Node& parent)
{
    TTarnwick_ViewportPanel* panels[4];
    for (int32_t index = 0; index < 4; index++) {
        panels[index] = PlaceNode(new TTarnwick_ViewportPanel(&parent, index), (index % 2) * FrameWidth / 2,
                                  (index / 2) * FrameHeight / 2, FrameWidth / 2, FrameHeight / 2);
        panels[index]->FitToObject();
    }
    panels[1]->SetView(TTarnwick_StandardView::Right);
    panels[2]->SetView(TTarnwick_StandardView::Top);
    // A user view, turned through the rotate button's handler.
    panels[3]->BeginNavigationAt(panels[3]->AbsX, panels[3]->AbsY);
    TZAVEvent turn(TTarnwick_ViewportPanel::NavOnMotionCB, panels[3], int32_t(TTarnwick_NavigationMode::Rotate));
    turn.SetX(FrameWidth / 16);
    turn.SetY(FrameHeight / 24);
    TTarnwick_ViewportPanel::NavOnMotionCB(&turn);
}

} // namespace

int main(int argc, char** argv)
{
    const TBenchOptions options = ReadBenchOptions(argc, argv);
    if (!BenchHasDisplay("bench_viewport_frame"))
        return 1;
    const int window_id =
        CreateBenchWindow("bench_viewport_frame", FrameWidth, FrameHeight, GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    if (!InitVirtualMemory()) {
        std::fprintf(stderr, "bench_viewport_frame: the paging file cannot be made\n");
        return 1;
    }

    // 1000 rings of 1000 vertices: 1,000,000 vertices, 999,000 quads.
    const int32_t side = options.Smoke ? 60 : 1000;
    TTarnwick_Mesh& mesh = StartSphereProject(side);

    const int32_t frames = options.Smoke ? 3 : 30;
    double first_frame = 0.0, frame_time = 0.0, upload_time = 0.0, copy_time = 0.0;
    int64_t stream_bytes = 0;
    {
        auto app = std::make_unique<TZAVglutWigits_BlankApp>(window_id);
        AddFourViews(*app);

        const auto start = BenchClock::now();
        app->Refresh(false);
        first_frame = SecondsSince(start);
        frame_time = MedianTime(frames, [&] { app->Refresh(false); });
        if (options.Screenshot && !SaveBenchFrame("viewport_frame.png", FrameWidth, FrameHeight))
            return 1;

        // Positions and normals only: the mesh says its displayed positions changed.
        std::shared_ptr<TTarnwick_SceneDrawing> drawing = SharedSceneDrawing();
        upload_time = MedianTime(options.Smoke ? 2 : 10, [&] {
            mesh.DisplayRevision++;
            drawing->UpdateMesh(mesh);
            glFinish();
        });
        // The floor: the same bytes copied once in memory.
        stream_bytes = int64_t(mesh.GetVertexCount()) * 6 * int64_t(sizeof(float));
        std::vector<float> source(size_t(stream_bytes / sizeof(float)), 1.0f), target(source.size());
        copy_time = MedianTime(options.Smoke ? 2 : 10,
                               [&] { std::memcpy(target.data(), source.data(), size_t(stream_bytes)); });
        app.reset();
    }
    std::printf("draw path: vertex buffers\n");
    std::printf("vertices: %d, quads: %d, views: 4\n", mesh.GetVertexCount(), mesh.GetPolygonCount());
    std::printf("first frame (builds the buffers): %.1f ms\n", first_frame * 1000.0);
    std::printf("median frame of the four views (drawn and finished): %.1f ms\n", frame_time * 1000.0);
    std::printf("positions and normals sent again after a change: %.1f ms (%.1f MB; a plain copy of "
                "as many bytes: %.1f ms)\n",
                upload_time * 1000.0, double(stream_bytes) / 1e6, copy_time * 1000.0);
    std::printf("ratio viewport_frame %.4f\n", frame_time / FrameBudget);
    delete TarnwickProject;
    TarnwickProject = nullptr;
    ShutdownVirtualMemory();
    return 0;
}
