// Incremental display update against the memory-bandwidth floor. On a generated quad grid of about
// 1,000,000 vertices (2,500 with --smoke), a brush-like morph moves a contiguous band of 5 % of the
// vertices; the timed step writes the displacements into the current morph and brings the
// displayed positions and normals up to date through TTarnwick_Mesh::UpdateVertices. The
// baseline is one copy of the position array (vertex count × 12 bytes).
//
// The same step is timed on a second sheet that mixes 10 compressed morphs, each moving its own 5 %
// band (the first one overlapping the stroke), as when an artist dials in many morphs while
// sculpting another; its cost should not grow with the morphs dialled. The two sheets take turns
// so that a busy machine slows both alike. Prints the medians; the last lines are
// "ratio morph_update <update / copy>" and "ratio morph_update_mixed <mixed update / update>".
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
constexpr int32_t MixedMorphs = 10;

// Ten dialled morphs, each a bump over its own band of whole rows, spread over the sheet.
void DialMorphs(TTarnwick_Mesh& mesh, size_t band)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    for (int32_t m = 0; m < MixedMorphs; m++) {
        TTarnwick_Morph* morph = mesh.NewMorph(-1);
        float* deltas = morph->vertices();
        const size_t first = size_t(vertex_count) * size_t(m) / MixedMorphs;
        for (size_t v = first; v < first + band && v < size_t(vertex_count); v++) {
            deltas[3 * v] = 0.001f * float(m + 1);
            deltas[3 * v + 2] = 0.01f * float(v % 97);
        }
        morph->Compress();
        morph->Strength = 0.25f + 0.05f * float(m);
    }
    mesh.MixMorphs = true;
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);
}

// One stroke step: the band's new displacements into the current morph, then the update.
double StrokeStep(TTarnwick_Mesh& mesh, const std::vector<int32_t>& moved, const std::vector<float>& profile,
                  float lift)
{
    const BenchClock::time_point start = BenchClock::now();
    float* deltas = mesh.CurrentMorph->vertices();
    for (size_t i = 0; i < moved.size(); i++)
        deltas[3 * size_t(moved[i]) + 2] = lift * profile[i];
    mesh.UpdateVertices(moved);
    return SecondsSince(start);
}

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
    TTarnwick_Mesh mixed;
    MakeSheet(mixed, side);
    mixed.Prepare();
    const int32_t vertex_count = mesh.GetVertexCount();
    // A band of whole rows, as a brush stroke across the sheet touches neighbouring vertices.
    std::vector<int32_t> moved(static_cast<size_t>(vertex_count * MovedShare));
    std::iota(moved.begin(), moved.end(), 0);
    DialMorphs(mixed, moved.size());
    std::vector<float> copy(mesh.Vertices.size());
    // The stroke's shape across the band, so that the timed step only scales and stores it.
    std::vector<float> profile(moved.size());
    for (size_t i = 0; i < moved.size(); i++)
        profile[i] = float(moved[i] % side) / float(side);

    std::vector<double> update_times;
    std::vector<double> mixed_times;
    std::vector<double> copy_times;
    float checksum = 0;
    for (int run = 0; run < runs; run++) {
        const float lift = 0.01f * float(run + 1);
        update_times.push_back(StrokeStep(mesh, moved, profile, lift));
        checksum += mesh.Normals[3 * size_t(moved.back()) + 2];
        mixed_times.push_back(StrokeStep(mixed, moved, profile, lift));
        checksum += mixed.Normals[3 * size_t(moved.back()) + 2];

        const BenchClock::time_point start = BenchClock::now();
        std::memcpy(copy.data(), mesh.DisplayedVertices.data(), size_t(vertex_count) * 12);
        copy_times.push_back(SecondsSince(start));
        checksum += copy[size_t(run) % copy.size()];
    }

    const double update = Median(update_times);
    const double mixed_update = Median(mixed_times);
    const double floor = Median(copy_times);
    std::printf(
        "vertices %d, moved %zu, polygons refreshed %zu, vertex normals refreshed %zu (checksum %g)\n",
        vertex_count, moved.size(), mesh.DirtyPolygons.size(), mesh.DirtyVertices.size(), double(checksum));
    std::printf("morph update (median of %d): %.3f ms\n", runs, update * 1e3);
    std::printf("position copy (median of %d): %.3f ms\n", runs, floor * 1e3);
    std::printf("ratio morph_update %.3f\n", update / floor);
    std::printf("morph update with %d mixed morphs (median of %d): %.3f ms\n", MixedMorphs, runs,
                mixed_update * 1e3);
    std::printf("ratio morph_update_mixed %.3f\n", mixed_update / update);
    ShutdownVirtualMemory();
    return 0;
}
