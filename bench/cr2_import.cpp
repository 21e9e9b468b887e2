// CR2 import speed against loading the same geometry alone. Generates a figure library in a
// temporary folder: an OBJ grid of about 500,000 vertices (5,000 with --smoke) cut into six parts,
// and a CR2 with 30 morph targets (five a part, each moving half the part's vertices; the first two
// of each part follow a full-body dial, so two joined morphs are built). Prints the medians and
// ends with "ratio cr2_import <import / OBJ load>". The export of a sculpted morph into the same
// figure is timed too.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <string>

#include "bench/bench_files.h"
#include "bench/bench_timing.h"
#include "core/virtual_memory.h"
#include "files/cr2_export.h"
#include "files/project.h"
#include "mesh/obj_file.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr int FullSide = 708;
constexpr int SmokeSide = 71;
constexpr int FullRuns = 3;
constexpr int PartCount = 6;
constexpr int MorphsPerPart = 5;
constexpr int DialMorphsPerPart = 2;

void Append(std::string& text, const char* format, auto... values)
{
    char line[256];
    const int length = std::snprintf(line, sizeof(line), format, values...);
    text.append(line, size_t(length));
}

// Rows of the grid that part p covers; neighbouring parts share a row.
int FirstRow(int part, int side)
{
    return part * (side - 1) / PartCount;
}

std::string MakeOBJ(int side)
{
    std::string text;
    text.reserve(size_t(side) * side * 80);
    for (int row = 0; row < side; row++)
        for (int column = 0; column < side; column++)
            Append(text, "v %.6f %.6f %.6f\n", column * 0.01, row * 0.01,
                   0.001 * ((row * 7 + column * 3) % 11));
    for (int row = 0; row < side; row++)
        for (int column = 0; column < side; column++)
            Append(text, "vt %.6f %.6f\n", column / double(side - 1), row / double(side - 1));
    for (int part = 0; part < PartCount; part++) {
        Append(text, "g part%d\n", part);
        for (int row = FirstRow(part, side); row < FirstRow(part + 1, side); row++)
            for (int column = 0; column + 1 < side; column++) {
                const int a = row * side + column + 1;
                const int b = a + 1;
                const int c = b + side;
                const int d = a + side;
                Append(text, "f %d/%d %d/%d %d/%d %d/%d\n", a, a, b, b, c, c, d, d);
            }
    }
    return text;
}

std::string MakeCR2(int side)
{
    std::string text =
        "{\nversion\n\t{\n\tnumber 4.01\n\t}\nfigureResFile :Runtime:Geometries:Bench:Figure.obj\n";
    text += "actor BODY:1\n\t{\n\tname Body\n\t}\n";
    uint32_t random = 12345;
    auto next_offset = [&random]() {
        random = random * 1664525u + 1013904223u;
        return (double(random >> 8) / 16777216.0 - 0.5) * 0.02;
    };
    for (int part = 0; part < PartCount; part++) {
        const int part_vertices = (FirstRow(part + 1, side) - FirstRow(part, side) + 1) * side;
        Append(text, "actor part%d:1\n\t{\n\tname Part %d\n\tchannels\n\t\t{\n", part, part);
        for (int morph = 0; morph < MorphsPerPart; morph++) {
            Append(text, "\t\ttargetGeom Morph_%d\n\t\t\t{\n\t\t\tname Morph_%d\n\t\t\tinitValue 0\n", morph,
                   morph);
            if (morph < DialMorphsPerPart)
                Append(text,
                       "\t\t\tvalueOpDeltaAdd\n\t\t\t\tFigure 1\n\t\t\t\tBODY:1\n\t\t\t\tFBM_%d\n"
                       "\t\t\tdeltaAddDelta 1.000000\n",
                       morph);
            Append(text, "\t\t\tindexes %d\n\t\t\tnumbDeltas %d\n\t\t\tdeltas\n\t\t\t\t{\n",
                   part_vertices / 2, part_vertices);
            for (int index = morph % 2; index < part_vertices; index += 2)
                Append(text, "\t\t\t\td %d %.8f %.8f %.8f\n", index, next_offset(), next_offset(),
                       next_offset());
            text += "\t\t\t\t}\n\t\t\t}\n";
        }
        text += "\t\t}\n\t}\n";
    }
    text += "figure\n\t{\n\tname Figure\n\troot BODY\n\t}\n}\n";
    return text;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    return std::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    // As the program does at start-up; both timed paths run with it.
    KeepLargeBlocksInProcess();
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const int side = smoke ? SmokeSide : FullSide;
    const int runs = smoke ? 1 : FullRuns;
    if (!InitVirtualMemory())
        return 1;

    const char* temporary = std::getenv("TMPDIR");
    std::string root = std::string(temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp") +
                       "/tarnwick_bench_cr2_XXXXXX";
    if (mkdtemp(root.data()) == nullptr) {
        std::perror("cannot make the temporary folder");
        return 1;
    }
    root += "/";
    for (const char* folder : {"Runtime", "Runtime/Geometries", "Runtime/Geometries/Bench",
                               "Runtime/Libraries", "Runtime/Libraries/Character"})
        mkdir((root + folder).c_str(), 0755);
    const std::string obj_path = root + "Runtime/Geometries/Bench/Figure.obj";
    const std::string cr2_path = root + "Runtime/Libraries/Character/Figure.cr2";
    const std::string cr2 = MakeCR2(side);
    if (!WriteWholeFile(obj_path, MakeOBJ(side)) || !WriteWholeFile(cr2_path, cr2)) {
        std::fprintf(stderr, "cannot write the figure into %s\n", root.c_str());
        return 1;
    }

    // Both files are read once untimed, so that both runs find them in the page cache.
    {
        TTarnwick_Mesh mesh;
        std::string error;
        TTarnwick_Project project;
        TTarnwick_Object object;
        if (!ReadOBJ(obj_path, mesh, ObjRead_None, error) || !project.ImportCR2File(cr2_path, object))
            std::fprintf(stderr, "the first reads failed\n");
    }
    int32_t vertices = 0;
    bool failed = false;
    const double obj_time = MedianTime(runs, [&] {
        TTarnwick_Mesh mesh;
        std::string error;
        failed |= !ReadOBJ(obj_path, mesh, ObjRead_None, error);
        vertices = mesh.GetVertexCount();
    });
    int32_t morphs = 0;
    const double import_time = MedianTime(runs, [&] {
        TTarnwick_Project project;
        project.ImportMorphs = true;
        TTarnwick_Object object;
        if (!project.ImportCR2File(cr2_path, object)) {
            std::fprintf(stderr, "%s\n", project.Error().c_str());
            failed = true;
            return;
        }
        morphs = 0;
        TTarnwick_TreeGroup::Walk(
            object.Mesh->MorphTree.get(), 0,
            [](TTarnwick_TreeGroup* group, int32_t, void* count) {
                if (!group->Hidden)
                    *static_cast<int32_t*>(count) += group->List.Count();
                return true;
            },
            &morphs, TZAVWalkOrder::PreOrder);
    });
    // The export: the figure imported once, a sculpted morph over the first part's vertices written
    // into a copy of the CR2 (the figure's own read-only morphs are not written back).
    double export_time = 0;
    {
        TTarnwick_Project project;
        project.ImportMorphs = true;
        auto* object = new TTarnwick_Object;
        if (!project.ImportCR2File(cr2_path, *object)) {
            delete object;
            failed = true;
        } else {
            project.AddObject(object);
            TTarnwick_Morph* sculpted = object->Mesh->NewMorph(-1);
            sculpted->SetNameLiteral("Sculpted");
            for (int32_t vertex = 0; vertex < object->Mesh->GetVertexCount() / PartCount; vertex += 2)
                sculpted->GetVertex(vertex)[2] = 0.01f;
            ApplyCR2ExportKind(project, TTarnwick_CR2ExportKind::SimpleMorphs);
            const TTarnwick_CR2ExportFiles files{cr2_path, root + "Exported.cr2", "", ""};
            export_time = MedianTime(runs, [&] {
                std::string error;
                if (!ExportCR2(project, files, error)) {
                    std::fprintf(stderr, "%s\n", error.c_str());
                    failed = true;
                }
            });
        }
    }
    nftw(root.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    ShutdownVirtualMemory();
    if (failed)
        return 1;

    std::printf("figure: %d vertices, %d morph blocks, %.1f MB of CR2; %d morphs after the import\n",
                vertices, PartCount * MorphsPerPart, cr2.size() / 1e6, morphs);
    std::printf("OBJ load: %.3f s, CR2 import: %.3f s, CR2 export: %.3f s (medians of %d)\n", obj_time,
                import_time, export_time, runs);
    std::printf("ratio cr2_import %.3f\n", import_time / obj_time);
    return 0;
}
