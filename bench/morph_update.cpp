// Incremental display update against the memory-bandwidth floor. On a generated quad grid of about
// 1,000,000 vertices (2,500 with --smoke), a brush-like morph moves a contiguous band of 5 % of the
// vertices; the timed step writes the displacements into the current morph and brings the
// displayed positions and normals up to date through TTarnwick_Mesh::UpdateVertices. The
// baseline is one copy of the position array (vertex count × 12 bytes). Prints the medians and
// their ratio; the last line is "ratio morph_update <value>".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

#include "bench/bench_sheet.h"
#include "bench/bench_timing.h"
#include "core/virtual_memory.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr int32_t FullSide = 1000;
constexpr int32_t SmokeSide = 50;
constexpr int FullRuns = 51;
constexpr double MovedShare = 0.05;

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int32_t side = smoke ? SmokeSide : FullSide;
    const int runs = smoke ? 1 : FullRuns;
    if (!InitVirtualMemory())
        return 1;

    TTarnwick_Mesh mesh;
    MakeSheet(mesh, side);
    mesh.Prepare();
    const int32_t vertex_count = mesh.GetVertexCount();
    // A band of whole rows, as a brush stroke across the sheet touches neighbouring vertices.
    std::vector<int32_t> moved(static_cast<size_t>(vertex_count * MovedShare));
    std::iota(moved.begin(), moved.end(), 0);
    std::vector<float> copy(mesh.Vertices.size());
    // The stroke's shape across the band, so that the timed step only scales and stores it.
    std::vector<float> profile(moved.size());
    for (size_t i = 0; i < moved.size(); i++)
        profile[i] = float(moved[i] % side) / float(side);

    std::vector<double> update_times;
    std::vector<double> copy_times;
    float checksum = 0;
    for (int run = 0; run < runs; run++) {
        const float lift = 0.01f * float(run + 1);
        BenchClock::time_point start = BenchClock::now();
        float* deltas = mesh.CurrentMorph->vertices();
        for (size_t i = 0; i < moved.size(); i++)
            deltas[3 * size_t(moved[i]) + 2] = lift * profile[i];
        mesh.UpdateVertices(moved);
        update_times.push_back(SecondsSince(start));
        checksum += mesh.Normals[3 * size_t(moved.back()) + 2];

        start = BenchClock::now();
        std::memcpy(copy.data(), mesh.DisplayedVertices.data(), size_t(vertex_count) * 12);
        copy_times.push_back(SecondsSince(start));
        checksum += copy[size_t(run) % copy.size()];
    }

    const double update = Median(update_times);
    const double floor = Median(copy_times);
    std::printf(
        "vertices %d, moved %zu, polygons refreshed %zu, vertex normals refreshed %zu (checksum %g)\n",
        vertex_count, moved.size(), mesh.DirtyPolygons.size(), mesh.DirtyVertices.size(), double(checksum));
    std::printf("morph update (median of %d): %.3f ms\n", runs, update * 1e3);
    std::printf("position copy (median of %d): %.3f ms\n", runs, floor * 1e3);
    std::printf("ratio morph_update %.3f\n", update / floor);
    ShutdownVirtualMemory();
    return 0;
}
