// Project save and load against the file-system floor. A figure of about 1,000,000 vertices (2,500
// with --smoke), textured over the unit square, with 50 morphs (5 with --smoke), each moving its
// own band of 5 % of the vertices, and a 4096 x 4096 colour map (256 x 256 with --smoke) painted
// as an artist would leave it, a smooth gradient crossed by a few soft strokes, is saved as a text
// project and opened again, five times each. The baseline writes the same number of bytes through
// the safe writer (temporary file, sync, rename) and reads them back, also five times. Prints the
// file size, the medians and the peak memory of the first load; the last line is
// "ratio project_io <save + load time / baseline time>".
#include <algorithm>
#include <cmath>
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
#include "paint/image_file.h"
#include "paint/material_map.h"

namespace {

constexpr int32_t FullSide = 1000;
constexpr int32_t SmokeSide = 50;
constexpr int32_t FullMorphs = 50;
constexpr int32_t SmokeMorphs = 5;
constexpr double MovedShare = 0.05;
constexpr int FullRuns = 5;
constexpr int32_t FullMapSide = 4096;
constexpr int32_t SmokeMapSide = 256;

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

// Blends a soft round dab of `colour` centred on (x, y) into the map.
void PaintDab(TZAVMaterialMap& map, float x, float y, float radius, const uint8_t colour[3])
{
    const int32_t left = std::max(int32_t(x - radius), 0);
    const int32_t right = std::min(int32_t(x + radius), map.Width - 1);
    const int32_t top = std::max(int32_t(y - radius), 0);
    const int32_t bottom = std::min(int32_t(y + radius), map.Height - 1);
    for (int32_t py = top; py <= bottom; py++) {
        for (int32_t px = left; px <= right; px++) {
            const float distance = std::hypot(float(px) - x, float(py) - y) / radius;
            if (distance >= 1.0f)
                continue;
            // A light dab: strokes build up where dabs overlap, as a brush's do.
            const float opacity = 0.25f * (1.0f - distance * distance);
            uint8_t* pixel = map.PixelAt(px, py);
            for (int32_t k = 0; k < 3; k++)
                pixel[k] =
                    uint8_t(std::lround(float(pixel[k]) + opacity * (float(colour[k]) - float(pixel[k]))));
        }
    }
}

// A smooth gradient over the whole map, then a few wavy strokes across it; null when the pixels
// cannot be had.
std::unique_ptr<TZAVMaterialMap> PaintedMap(int32_t side)
{
    auto map = std::make_unique<TZAVMaterialMap>();
    map->SetNameLiteral("ColorMap");
    if (!map->AllocatePixels(side, side))
        return nullptr;
    for (int32_t y = 0; y < side; y++) {
        for (int32_t x = 0; x < side; x++) {
            uint8_t* pixel = map->PixelAt(x, y);
            pixel[0] = uint8_t(200 + 40 * x / side);
            pixel[1] = uint8_t(150 + 60 * y / side);
            pixel[2] = uint8_t(120 + 50 * (x + y) / (2 * side));
        }
    }
    constexpr uint8_t StrokeColours[][3] = {
        {90, 40, 30}, {30, 60, 120}, {240, 220, 200}, {20, 20, 20}, {160, 30, 60}};
    const float radius = float(side) / 200.0f + 2.0f;
    int32_t stroke = 0;
    for (const uint8_t* colour : StrokeColours) {
        const float base = float(side) * (0.15f + 0.17f * float(stroke));
        const float amplitude = float(side) * 0.05f * float(stroke % 3 + 1);
        for (float x = 0.1f * float(side); x < 0.9f * float(side); x += radius / 3.0f)
            PaintDab(*map, x, base + amplitude * std::sin(x / float(side) * 6.0f + float(stroke)), radius,
                     colour);
        stroke++;
    }
    return map;
}

// The medians of the map's PNG encoding and decoding alone, the part of the project's save and
// load that the image codec takes; false when either fails.
bool MedianMapCodecTimes(int32_t side, int runs, double& out_encode, double& out_decode)
{
    std::unique_ptr<TZAVMaterialMap> map = PaintedMap(side);
    std::vector<uint8_t> png;
    std::string error;
    bool coded = map != nullptr;
    out_encode = MedianTime(runs, [&] { coded = coded && EncodePng(map->Pixels, side, side, png, error); });
    out_decode = MedianTime(runs, [&] {
        TZAVPixelBuffer pixels;
        int32_t width = 0;
        int32_t height = 0;
        coded = coded && DecodeImageBytes(png, pixels, width, height, error) && width == side;
    });
    if (!coded)
        std::fprintf(stderr, "the map's PNG failed: %s\n", error.c_str());
    return coded;
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
double MedianSaveTime(const std::string& path, int32_t side, int32_t morph_count, int32_t map_side, int runs,
                      int32_t& out_vertex_count)
{
    TTarnwick_Project project;
    auto* object = new TTarnwick_Object;
    object->SetNameLiteral("Figure");
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    MakeSheet(*mesh, side, TSheetTexture::UnitSquare);
    mesh->Prepare();
    AddMorphs(*mesh, morph_count);
    std::unique_ptr<TZAVMaterialMap> map = PaintedMap(map_side);
    if (map == nullptr)
        return -1;
    mesh->MaterialMaps.Add(map.release());
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
    const int32_t map_side = smoke ? SmokeMapSide : FullMapSide;
    const double save_time = MedianSaveTime(path, side, morph_count, map_side, runs, vertex_count);
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
        const TZAVMaterialMap* map =
            figure != nullptr && figure->Mesh ? MaterialMapAt(*figure->Mesh, 0) : nullptr;
        // A map read back means its figure was read.
        if (map == nullptr || figure->Mesh->GetVertexCount() != vertex_count || map->Width != map_side) {
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
    double encode_time = 0;
    double decode_time = 0;
    if (!MedianMapCodecTimes(map_side, runs, encode_time, decode_time))
        return 1;
    const double load_time = Median(load_times);
    const double baseline = Median(baseline_times);
    if (baseline <= 0)
        return 1;
    std::printf("vertices %d, morphs %d moving %d vertices each, a %d x %d map\n", vertex_count, morph_count,
                int32_t(vertex_count * MovedShare), map_side, map_side);
    std::printf("file size: %.1f MB\n", double(file_size) / 1e6);
    std::printf("save: %.3f s, load: %.3f s (medians of %d)\n", save_time, load_time, runs);
    std::printf("of which the map's PNG: encode %.3f s, decode %.3f s (medians of %d)\n", encode_time,
                decode_time, runs);
    std::printf("safe write and read back of the same bytes: %.3f s (median of %d)\n", baseline, runs);
    std::printf("peak memory of the load: %.1f MB (%.1f MB resident before it)\n", double(load_peak) / 1e6,
                double(resident_before) / 1e6);
    std::printf("ratio project_io %.3f\n", (save_time + load_time) / baseline);
    ShutdownVirtualMemory();
    return 0;
}
