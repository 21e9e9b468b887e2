// OBJ loading speed and memory: our ReadOBJ (with Prepare) against tinyobjloader's LoadObj on
// a generated figure-like mesh of about 1,000,000 vertices (20 groups, 5 materials, texture
// vertices, quads). Prints medians of 9 timed runs, the peak memory growth of a load (median of
// 5) and the memory the finished mesh holds, and ends with "ratio obj_load <ours / tinyobjloader>"
// and "ratio obj_load_memory <peak growth / finished mesh>".
//
//     bench_obj_load [--smoke]     --smoke: about 20,000 vertices and one run
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tiny_obj_loader.h>

#include "bench/bench_timing.h"
#include "mesh/obj_file.h"

namespace {

constexpr int32_t GroupCount = 20;
constexpr int32_t MaterialCount = 5;

// Each group is a tube of rings x segments vertices around its own axis, like a limb.
void WriteFigure(const std::string& path, int32_t rings, int32_t segments)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fprintf(file, "# generated figure\nmtllib figure.mtl\n");
    const int32_t per_group = rings * segments;
    for (int32_t group = 0; group < GroupCount; group++) {
        float base_x = static_cast<float>(group % 5) * 3.0f;
        float base_z = static_cast<float>(group / 5) * 3.0f;
        for (int32_t ring = 0; ring < rings; ring++)
            for (int32_t segment = 0; segment < segments; segment++) {
                float angle = 6.2831853f * static_cast<float>(segment) / static_cast<float>(segments);
                float radius =
                    1.0f + 0.1f * std::sin(static_cast<float>(ring) * 0.3f + static_cast<float>(group));
                std::fprintf(file, "v %.6f %.6f %.6f\n", base_x + radius * std::cos(angle),
                             static_cast<float>(ring) * 0.01f, base_z + radius * std::sin(angle));
            }
    }
    for (int32_t group = 0; group < GroupCount; group++)
        for (int32_t ring = 0; ring < rings; ring++)
            for (int32_t segment = 0; segment < segments; segment++)
                std::fprintf(file, "vt %.6f %.6f\n",
                             static_cast<float>(segment) / static_cast<float>(segments),
                             static_cast<float>(ring) / static_cast<float>(rings));
    for (int32_t group = 0; group < GroupCount; group++) {
        std::fprintf(file, "g limb_%02d\nusemtl material_%d\n", group, group % MaterialCount);
        const int32_t first = group * per_group + 1;
        for (int32_t ring = 0; ring + 1 < rings; ring++)
            for (int32_t segment = 0; segment < segments; segment++) {
                int32_t a = first + ring * segments + segment;
                int32_t b = first + ring * segments + (segment + 1) % segments;
                int32_t c = b + segments;
                int32_t d = a + segments;
                std::fprintf(file, "f %d/%d %d/%d %d/%d %d/%d\n", a, a, b, b, c, c, d, d);
            }
    }
    std::fclose(file);

    std::string mtl_path = path.substr(0, path.rfind('/') + 1) + "figure.mtl";
    FILE* mtl = std::fopen(mtl_path.c_str(), "wb");
    for (int32_t material = 0; mtl != nullptr && material < MaterialCount; material++)
        std::fprintf(mtl, "newmtl material_%d\nNs 30\nKd 0.8 0.7 0.6\nKa 0.1 0.1 0.1\nKs 1 1 1\n", material);
    if (mtl != nullptr)
        std::fclose(mtl);
}

double TimeOurs(const std::string& path, int64_t* out_vertices = nullptr, int64_t* out_mesh_bytes = nullptr)
{
    auto start = BenchClock::now();
    TZAVPolyMesh mesh;
    std::string error;
    if (!ReadOBJ(path, mesh, ObjRead_None, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    double seconds = SecondsSince(start);
    if (out_vertices != nullptr)
        *out_vertices = mesh.GetVertexCount();
    if (out_mesh_bytes != nullptr)
        *out_mesh_bytes = mesh.GetArrayBytes();
    return seconds;
}

double TimeTinyObj(const std::string& path)
{
    auto start = BenchClock::now();
    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning;
    std::string error;
    std::string folder = path.substr(0, path.rfind('/') + 1);
    // Without triangulation, like our reader, which keeps polygons whole.
    if (!tinyobj::LoadObj(&attributes, &shapes, &materials, &warning, &error, path.c_str(), folder.c_str(),
                          false)) {
        std::fprintf(stderr, "tinyobjloader: %s\n", error.c_str());
        std::exit(1);
    }
    return SecondsSince(start);
}

int64_t MaxResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<int64_t>(usage.ru_maxrss) * 1024;
}

// Loads in a forked child so that the peak belongs to this load alone.
int64_t PeakGrowthOfOurLoad(const std::string& path)
{
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        int64_t before = MaxResidentBytes();
        TimeOurs(path);
        int64_t growth = MaxResidentBytes() - before;
        ssize_t written = write(pipe_ends[1], &growth, sizeof growth);
        _exit(written == sizeof growth ? 0 : 1);
    }
    close(pipe_ends[1]);
    int64_t growth = -1;
    if (read(pipe_ends[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    close(pipe_ends[0]);
    waitpid(child, nullptr, 0);
    return growth;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    // The machine may be shared: more timed runs, alternating ours and theirs, steady the medians.
    const int32_t runs = smoke ? 1 : 9;
    const int32_t memory_runs = smoke ? 1 : 5;
    const int32_t rings = smoke ? 10 : 250;
    const int32_t segments = smoke ? 100 : 200;

    char folder_pattern[] = "/tmp/bench_obj_load_XXXXXX";
    if (mkdtemp(folder_pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = folder_pattern;
    const std::string path = folder + "/figure.obj";
    WriteFigure(path, rings, segments);

    // Memory first, while this process is still small.
    std::vector<double> peaks;
    for (int32_t run = 0; run < memory_runs; run++)
        peaks.push_back(static_cast<double>(PeakGrowthOfOurLoad(path)));

    int64_t vertex_count = 0;
    int64_t mesh_bytes = 0;
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int32_t run = 0; run < runs; run++) {
        ours.push_back(TimeOurs(path, &vertex_count, &mesh_bytes));
        theirs.push_back(TimeTinyObj(path));
    }
    std::remove(path.c_str());
    std::remove((folder + "/figure.mtl").c_str());
    rmdir(folder.c_str());

    const double our_time = Median(ours);
    const double their_time = Median(theirs);
    const double peak = Median(peaks);
    std::printf("vertices %lld\n", static_cast<long long>(vertex_count));
    std::printf("ReadOBJ with Prepare: %.4f s (median of %d)\n", our_time, runs);
    std::printf("tinyobjloader LoadObj: %.4f s (median of %d)\n", their_time, runs);
    std::printf("peak memory growth of a load: %.1f bytes/vertex\n",
                peak / static_cast<double>(vertex_count));
    std::printf("finished mesh arrays: %.1f bytes/vertex\n",
                static_cast<double>(mesh_bytes) / static_cast<double>(vertex_count));
    std::printf("peak growth / finished mesh: %.2f\n", peak / static_cast<double>(mesh_bytes));
    std::printf("ratio obj_load %.3f\n", our_time / their_time);
    std::printf("ratio obj_load_memory %.3f\n", peak / static_cast<double>(mesh_bytes));
    return 0;
}
