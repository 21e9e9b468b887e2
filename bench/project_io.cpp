// Project save and load against the file-system floor. A figure of about 1,000,000 vertices (2,500
// with --smoke) with 50 morphs (5 with --smoke), each moving its own band of 5 % of the vertices,
// is saved as a text project and opened again, five times each. The baseline writes the same
// number of bytes through the safe writer (temporary file, sync, rename) and reads them back, also
// five times. Prints the file size, the medians and the peak memory of the first load; the last
// line is "ratio project_io <save + load time / baseline time>".
//
// Material maps are not in the figure: the project cannot hold them yet.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_sheet.h"
#include "bench/bench_timing.h"
#include "core/file_handle.h"
#include "core/paths.h"
#include "core/safe_file.h"
#include "core/virtual_memory.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr int32_t FullSide = 1000;
constexpr int32_t SmokeSide = 50;
constexpr int32_t FullMorphs = 50;
constexpr int32_t SmokeMorphs = 5;
constexpr double MovedShare = 0.05;
constexpr int FullRuns = 5;

// Each morph lifts its own band of rows; it is compressed at once, as a sculpted morph is when it
// stops being current.
void AddMorphs(TTarnwick_Mesh& mesh, int32_t morph_count)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    const int32_t moved = int32_t(vertex_count * MovedShare);
    for (int32_t m = 0; m < morph_count; m++) {
        TTarnwick_Morph* morph = mesh.NewMorph(-1);
        morph->SetName("Morph %d", m);
        float* deltas = morph->vertices();
        const int32_t first = int32_t((int64_t(m) * (vertex_count - moved)) / morph_count);
        for (int32_t vertex = first; vertex < first + moved; vertex++)
            deltas[3 * size_t(vertex) + 2] = 0.01f * float(vertex % 97 + 1);
        morph->Compress();
    }
}

// The peak resident memory since the last reset, in bytes; -1 when /proc cannot tell.
int64_t PeakResidentBytes()
{
    TZAVFileHandle status(std::fopen("/proc/self/status", "r"));
    char line[256];
    while (status && std::fgets(line, sizeof(line), status.get()) != nullptr) {
        long long kilobytes = 0;
        if (std::sscanf(line, "VmHWM: %lld kB", &kilobytes) == 1)
            return kilobytes * 1024;
    }
    return -1;
}

void ResetPeakResident()
{
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

int64_t FileSize(const std::string& path)
{
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0)
        return -1;
    return ftello(file.get());
}

// Writes size bytes through the safe writer and reads them back; seconds taken.
double SafeWriteAndRead(const std::string& path, int64_t size)
{
    std::vector<char> bytes(size_t(size), 'x');
    for (size_t i = 0; i < bytes.size(); i += 81)
        bytes[i] = '\n';
    const BenchClock::time_point start = BenchClock::now();
    {
        TZAVSafeFileWriter writer(path);
        FILE* file = writer.Open();
        if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
            !writer.Commit()) {
            std::fprintf(stderr, "the baseline could not write %s\n", path.c_str());
            return -1;
        }
    }
    std::vector<char> back(bytes.size());
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fread(back.data(), 1, back.size(), file.get()) != back.size())
        return -1;
    const double seconds = SecondsSince(start);
    return back[1] == 'x' ? seconds : -1;
}

// Saves a project holding the figure `runs` times; the median time, or -1 when a save fails.
double MedianSaveTime(const std::string& path, int32_t side, int32_t morph_count, int runs,
                      int32_t& out_vertex_count)
{
    TTarnwick_Project project;
    auto* object = new TTarnwick_Object;
    object->SetNameLiteral("Figure");
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    MakeSheet(*mesh, side);
    mesh->Prepare();
    AddMorphs(*mesh, morph_count);
    out_vertex_count = mesh->GetVertexCount();
    object->SetMesh(std::move(mesh));
    project.ObjectTree->List.Add(object);
    bool saved = true;
    const double time = MedianTime(runs, [&] { saved = saved && project.SaveProject(path, false); });
    if (!saved)
        std::fprintf(stderr, "%s\n", project.Error().c_str());
    return saved ? time : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int32_t side = smoke ? SmokeSide : FullSide;
    const int32_t morph_count = smoke ? SmokeMorphs : FullMorphs;
    std::string folder;
    if (!InitVirtualMemory() || !TempFolder(folder))
        return 1;
    const std::string path = WithTrailingSeparator(folder) + "tarnwick-bench-project.Tarnwick";
    const std::string baseline_path = WithTrailingSeparator(folder) + "tarnwick-bench-baseline.bin";

    const int runs = smoke ? 1 : FullRuns;
    int32_t vertex_count = 0;
    const double save_time = MedianSaveTime(path, side, morph_count, runs, vertex_count);
    if (save_time < 0)
        return 1;

    // The figure that was saved is gone, so the peak belongs to the load.
    ResetPeakResident();
    const int64_t resident_before = PeakResidentBytes();
    int64_t load_peak = 0;
    std::vector<double> load_times;
    for (int run = 0; run < runs; run++) {
        TTarnwick_Project loaded;
        const BenchClock::time_point start = BenchClock::now();
        if (!loaded.OpenProjectFile(path)) {
            std::fprintf(stderr, "%s\n", loaded.Error().c_str());
            return 1;
        }
        load_times.push_back(SecondsSince(start));
        if (run == 0)
            load_peak = PeakResidentBytes();
        TTarnwick_Object* figure = loaded.FindObject("Figure");
        if (figure == nullptr || !figure->Mesh || figure->Mesh->GetVertexCount() != vertex_count) {
            std::fprintf(stderr, "the figure did not read back\n");
            return 1;
        }
    }

    const int64_t file_size = FileSize(path);
    std::vector<double> baseline_times;
    for (int run = 0; run < runs; run++)
        baseline_times.push_back(SafeWriteAndRead(baseline_path, file_size));
    DeleteFile(path);
    DeleteFile(baseline_path);
    const double load_time = Median(load_times);
    const double baseline = Median(baseline_times);
    if (baseline <= 0)
        return 1;
    std::printf("vertices %d, morphs %d moving %d vertices each\n", vertex_count, morph_count,
                int32_t(vertex_count * MovedShare));
    std::printf("file size: %.1f MB\n", double(file_size) / 1e6);
    std::printf("save: %.3f s, load: %.3f s (medians of %d)\n", save_time, load_time, runs);
    std::printf("safe write and read back of the same bytes: %.3f s (median of %d)\n", baseline, runs);
    std::printf("peak memory of the load: %.1f MB (%.1f MB resident before it)\n", double(load_peak) / 1e6,
                double(resident_before) / 1e6);
    std::printf("ratio project_io %.3f\n", (save_time + load_time) / baseline);
    ShutdownVirtualMemory();
    return 0;
}
