// The texture-space quadtree of a material map: its build time against the mesh's Prepare, and
// pixel lookups from surface points through the tree against a scan of every node. On a generated
// quad grid of 1,000,000 vertices with texture coordinates and a 4096 × 4096 map, prints the
// medians of the build and of Prepare, the lookups per second of both ways (1,000,000 random
// surface points through the tree, 1,000 by the scan) and whether they agree, and ends with
// "ratio uv_lookup <build / Prepare>".
//
//     bench_uv_lookup [--smoke]     --smoke: 2,500 vertices, a 512 × 512 map and one run
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_sheet.h"
#include "bench/bench_timing.h"
#include "core/virtual_memory.h"
#include "mesh/sculpt_mesh.h"
#include "paint/material_map.h"
#include "tests/support/surface_points.h"

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int32_t side = smoke ? 50 : 1000;
    const int32_t map_side = smoke ? 512 : 4096;
    const int32_t runs = smoke ? 1 : 7;
    const int32_t lookups = smoke ? 10000 : 1000000;
    const int32_t scans = smoke ? 100 : 1000;
    if (!InitVirtualMemory())
        return 1;

    TTarnwick_Mesh mesh;
    MakeSheet(mesh, side, TSheetTexture::UnitSquare);
    TZAVMaterialMap map;
    if (!map.AllocatePixels(map_side, map_side))
        return 1;

    std::vector<double> prepare_times;
    std::vector<double> build_times;
    for (int32_t run = 0; run < runs; run++) {
        auto start = BenchClock::now();
        mesh.Prepare();
        prepare_times.push_back(SecondsSince(start));
        start = BenchClock::now();
        map.BuildQuadTree(mesh);
        build_times.push_back(SecondsSince(start));
    }

    const std::vector<TTarnwick_SurfacePoint> points = RandomSurfacePoints(mesh, lookups, 1234);
    int64_t checksum = 0;
    const double lookup_time = MedianTime(runs, [&] {
        for (const TTarnwick_SurfacePoint& point : points) {
            const TTarnwick_MapPixel pixel = map.FindPixel(mesh, point);
            checksum += pixel.X + pixel.Y + (pixel.Node != nullptr);
        }
    });
    // The share of a lookup that goes to interpolating the texture coordinates, which reads the
    // mesh at random places.
    const double interpolation_time = MedianTime(runs, [&] {
        for (const TTarnwick_SurfacePoint& point : points) {
            float uv[2] = {0, 0};
            checksum += TexturePointOf(mesh, point, uv) + int64_t(uv[0] * 4096.0f);
        }
    });

    int32_t disagreements = 0;
    const auto scan_start = BenchClock::now();
    for (int32_t i = 0; i < scans; i++) {
        float uv[2];
        if (!TexturePointOf(mesh, points[i], uv))
            return 1;
        const TTarnwick_MapPixel scanned =
            ScanForMapPixel(map.QuadNodeList, points[i].Polygon, map.Width, map.Height, uv[0], uv[1]);
        checksum += scanned.X;
        const TTarnwick_MapPixel found = map.FindPixel(mesh, points[i]);
        disagreements += found.Node != scanned.Node || found.X != scanned.X || found.Y != scanned.Y;
    }
    const double scan_time = SecondsSince(scan_start);

    const double prepare_time = Median(prepare_times);
    const double build_time = Median(build_times);
    std::printf("vertices %d, polygons %d, map %d x %d, image level %d, nodes %d\n", mesh.GetVertexCount(),
                mesh.GetPolygonCount(), map.Width, map.Height, map.ImageLevel, map.QuadNodeList.Count());
    std::printf("Prepare: %.4f s (median of %d)\n", prepare_time, runs);
    std::printf("BuildQuadTree: %.4f s (median of %d)\n", build_time, runs);
    std::printf("lookups through the tree: %.0f per second (%d points, median of %d)\n",
                double(lookups) / lookup_time, lookups, runs);
    std::printf("  of which interpolating texture coordinates: %.4f s of %.4f s\n", interpolation_time,
                lookup_time);
    std::printf("lookups by scanning every node: %.0f per second (%d points)\n", double(scans) / scan_time,
                scans);
    std::printf("tree / scan speed: %.0f\n", (double(lookups) / lookup_time) / (double(scans) / scan_time));
    std::printf("disagreements with the scan: %d (checksum %lld)\n", disagreements,
                static_cast<long long>(checksum));
    std::printf("ratio uv_lookup %.3f\n", build_time / prepare_time);
    ShutdownVirtualMemory();
    return disagreements == 0 ? 0 : 1;
}
