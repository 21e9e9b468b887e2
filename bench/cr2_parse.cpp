// CR2 parse speed against the floor of reading the same file into memory. Generates a figure of
// about 50 MB (1 MB with --smoke) with morph blocks of delta lines, then prints the medians of
// parse / read and parse + write / read, and checks that the rewrite gives back the input.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_timing.h"
#include "core/file_handle.h"
#include "files/cr2_tree.h"

namespace {

constexpr size_t FullSize = 50u * 1024 * 1024;
constexpr size_t SmokeSize = 1024 * 1024;
constexpr int FullRuns = 5;
constexpr int MorphsPerActor = 6;
constexpr int DeltasPerMorph = 1500;

// Appends a line in the writer's own form, so the rewrite must give back the input.
void AddLine(std::string& text, int depth, const char* line)
{
    text.append(static_cast<size_t>(depth), '\t');
    text += line;
    text += "\r\n";
}

std::string MakeFigure(size_t target_size)
{
    std::string text;
    text.reserve(target_size + 1024 * 1024);
    uint32_t random = 12345;
    auto next_offset = [&random]() {
        random = random * 1664525u + 1013904223u;
        return (static_cast<double>(random >> 8) / 16777216.0 - 0.5) * 0.02;
    };
    char line[256];
    AddLine(text, 0, "{");
    AddLine(text, 1, "version ");
    AddLine(text, 1, "{");
    AddLine(text, 2, "number 4.01");
    AddLine(text, 1, "}");
    AddLine(text, 1, "figureResFile :Runtime:Geometries:Bench:Figure.obj");
    for (int actor = 0; text.size() < target_size; actor++) {
        std::snprintf(line, sizeof(line), "actor part%d:1", actor);
        AddLine(text, 1, line);
        AddLine(text, 1, "{");
        std::snprintf(line, sizeof(line), "name Part %d of the figure", actor);
        AddLine(text, 2, line);
        AddLine(text, 2, "channels ");
        AddLine(text, 2, "{");
        for (int morph = 0; morph < MorphsPerActor && text.size() < target_size; morph++) {
            std::snprintf(line, sizeof(line), "targetGeom Morph_%d", morph);
            AddLine(text, 3, line);
            AddLine(text, 3, "{");
            std::snprintf(line, sizeof(line), "name Morph_%d", morph);
            AddLine(text, 4, line);
            AddLine(text, 4, "initValue 0");
            AddLine(text, 4, "hidden 0");
            AddLine(text, 4, "keys ");
            AddLine(text, 4, "{");
            AddLine(text, 5, "static 0");
            AddLine(text, 5, "k 0 0");
            AddLine(text, 4, "}");
            std::snprintf(line, sizeof(line), "indexes %d", DeltasPerMorph);
            AddLine(text, 4, line);
            AddLine(text, 4, "deltas ");
            AddLine(text, 4, "{");
            for (int delta = 0; delta < DeltasPerMorph; delta++) {
                const double x = next_offset();
                const double y = next_offset();
                const double z = next_offset();
                std::snprintf(line, sizeof(line), "d %d %.8f %.8f %.8f", delta * 3, x, y, z);
                AddLine(text, 5, line);
            }
            AddLine(text, 4, "}");
            AddLine(text, 3, "}");
        }
        AddLine(text, 2, "}");
        AddLine(text, 1, "}");
    }
    AddLine(text, 0, "}");
    return text;
}

// The floor: one buffer of the file's size and large reads, as any reader must do.
size_t ReadIntoMemory(const std::string& path)
{
    TZAVFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status;
    if (!file.IsOpen() || fstat(file.Get(), &status) != 0)
        return 0;
    const size_t size = static_cast<size_t>(status.st_size);
    std::unique_ptr<char[]> buffer(new char[size + 1]);
    size_t total = 0;
    for (ssize_t count; (count = read(file.Get(), buffer.get() + total, size + 1 - total)) > 0;)
        total += static_cast<size_t>(count);
    return total;
}

std::string TemporaryPath(const char* name)
{
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") + "/tarnwick_bench_" +
           std::to_string(getpid()) + "_" + name;
}

std::string ReadBack(const std::string& path)
{
    std::string text;
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    char buffer[65536];
    for (size_t count; file && (count = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0;)
        text.append(buffer, count);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int runs = smoke ? 1 : FullRuns;
    const std::string input_path = TemporaryPath("figure.cr2");
    const std::string output_path = TemporaryPath("rewritten.cr2");

    const std::string figure = MakeFigure(smoke ? SmokeSize : FullSize);
    if (!WriteWholeFile(input_path, figure)) {
        std::fprintf(stderr, "cannot write %s\n", input_path.c_str());
        return 1;
    }
    const size_t lines = static_cast<size_t>(std::count(figure.begin(), figure.end(), '\n'));
    std::printf("figure: %.1f MB, %zu lines\n", static_cast<double>(figure.size()) / (1024.0 * 1024.0),
                lines);
    ReadIntoMemory(input_path); // into the page cache

    std::vector<double> read_times, parse_times, parse_write_times, destroy_times;
    bool ok = true;
    for (int run = 0; run < runs && ok; run++) {
        BenchClock::time_point start = BenchClock::now();
        ok = ReadIntoMemory(input_path) == figure.size();
        read_times.push_back(SecondsSince(start));

        std::unique_ptr<TZAVCR2TreeNode> root;
        std::string error;
        start = BenchClock::now();
        ok = ok && ParseCR2File(input_path, TZAVCR2Merge::Flat, root, error);
        parse_times.push_back(SecondsSince(start));
        if (!ok) {
            std::fprintf(stderr, "%s\n", error.c_str());
            break;
        }
        FILE* output = std::fopen(output_path.c_str(), "wb");
        ok = output != nullptr && WriteCR2Tree(output, root->FirstChild(), 0);
        ok = output != nullptr && std::fclose(output) == 0 && ok;
        parse_write_times.push_back(SecondsSince(start));

        start = BenchClock::now();
        root.reset();
        destroy_times.push_back(SecondsSince(start));
    }

    std::string expected = figure;
    expected.erase(std::remove(expected.begin(), expected.end(), '\r'), expected.end());
    ok = ok && ReadBack(output_path) == expected;
    std::remove(input_path.c_str());
    std::remove(output_path.c_str());
    if (!ok) {
        std::fprintf(stderr, "the parse, the write or the round trip failed\n");
        return 1;
    }

    const double read = Median(read_times);
    std::printf("read %.2f ms, parse %.2f ms, parse+write %.2f ms, destroy %.2f ms (medians of %d)\n",
                read * 1e3, Median(parse_times) * 1e3, Median(parse_write_times) * 1e3,
                Median(destroy_times) * 1e3, runs);
    std::printf("parse/read %.2f\n", Median(parse_times) / read);
    std::printf("parse+write/read %.2f\n", Median(parse_write_times) / read);
    std::printf("ratio cr2_parse %.2f\n", Median(parse_times) / read);
    return 0;
}
