// Writes each fuzz target's first inputs: files made by the program's own writers, and short texts
// typed here:
//
//     build-fuzz/fuzz/fuzz_make_seeds fuzz/seeds
//
// Each seed starts with the byte by which its target chooses what to read (see each target).
#include "fuzz/fuzz_support.h"

#include <memory>
#include <string>
#include <vector>

#include "core/binary_chunk.h"
#include "core/text_block.h"
#include "core/tree_group.h"
#include "core/virtual_memory.h"
#include "files/graphics_archive.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/layer.h"
#include "mesh/layer_set.h"
#include "mesh/morph.h"
#include "mesh/morph_set.h"
#include "mesh/morph_tree.h"
#include "mesh/obj_file.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection.h"
#include "paint/image_file.h"
#include "paint/material_map.h"
#include "tests/support/binary_project.h"
#include "tests/support/cr2_figure.h"
#include "tests/support/grid_mesh.h"

namespace {

std::string SeedsFolder;

std::string Contents(FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text.push_back(char(c));
    return text;
}

std::string FileContents(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        FuzzCheckFailed("a written file is missing");
    std::string text = Contents(file);
    std::fclose(file);
    return text;
}

void Seed(const std::string& target, const std::string& name, uint8_t selector, const std::string& body)
{
    std::string folder = SeedsFolder + target;
    mkdir(folder.c_str(), 0755);
    FILE* file = std::fopen((folder + "/" + name).c_str(), "wb");
    if (file == nullptr)
        FuzzCheckFailed("cannot write a seed");
    std::fputc(selector, file);
    std::fwrite(body.data(), 1, body.size(), file);
    std::fclose(file);
}

// A text block without its header line, as owners hand it to the item.
std::string TextBlockOf(TTarnwick_Thingy& item)
{
    FILE* file = std::tmpfile();
    SetTextBlockLevel(0);
    if (!item.SaveToStream_Text(file))
        FuzzCheckFailed("an item could not write its block");
    std::string text = Contents(file);
    std::fclose(file);
    return text.substr(text.find('\n') + 1);
}

// The binary record without its chunk header.
std::string PayloadOf(TTarnwick_Thingy& item)
{
    FILE* file = std::tmpfile();
    if (!item.SaveToStream(file))
        FuzzCheckFailed("an item could not write its record");
    std::string record = Contents(file);
    std::fclose(file);
    return record.substr(ChunkMarker.size() + 8);
}

// A 3 × 2 grid (12 vertices) with a material, a group, two morphs and a selection.
void MakeFigure(TTarnwick_Mesh& mesh)
{
    MakeDressedGrid(mesh, 3, 2)->Compress();
    mesh.Welded = 1;
    mesh.WeldMap[0] = 1;
}

void ObjAndMtlSeeds()
{
    const std::string cube = "# a cube\nmtllib figure.mtl\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\n"
                             "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                             "vn 0 0 -1\nvn 0 0 1\ng front\nusemtl Skin\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"
                             "f -4/1/2 -3/2/2 -2/3/2 -1/4/2\n# InternalName: back\ng back hull\n"
                             "usemtl Hair\nf 1//1 5//1 8//1\nf 2 6 7 3\nl 1 2\nf 4/4 3/3 7/3 8/4\n";
    Seed("obj", "cube", '0', cube);
    Seed("obj", "cube_normals", '2', cube);
    Seed("obj", "cube_internal_names", '8', cube);
    Seed("obj", "cube_single_group", '5', cube);
    Seed("obj", "triangle", '0', "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");

    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    std::string error;
    const std::string obj_path = InputFolder() + "grid.obj";
    if (!WriteOBJ(mesh, obj_path, ObjWrite_Groups, error))
        FuzzCheckFailed("cannot write an OBJ");
    Seed("obj", "grid_written", '0', FileContents(obj_path));
    Seed("mtl", "grid_written", '0', FileContents(InputFolder() + "grid.mtl"));

    Seed("mtl", "skin_and_hair", '1',
         "# two materials\nnewmtl Skin\nKa 0.1 0.1 0.1\nKd 0.9 0.7 0.6\nKs 0.2 0.2 0.2\nNs 30\n"
         "map_Kd skin.png\nbump skin.png\nmap_Bump textures/missing.jpg\n\nnewmtl Hair\nKd 0.2 0.1 0\n"
         "Ns 5\nd 0.5\nillum 2\nnewmtl eyes\nmap_Kd C:\\Figures\\skin.png\n");
}

void Cr2Seeds()
{
    const std::string figure =
        "{\n\nversion\n\t{\n\tnumber 4.01\n\t}\nfigureResFile :Runtime:Geometries:man.obj\n"
        "actor BODY:1\n\t{\n\tname Body\n\t}\nactor hip:1\n\t{\n\tstorageOffset 0 0.35 0\n"
        "\tgeomHandlerGeom 13 hip\n\t}\nprop ball:1\n\t{\n\t}\nactor hip:1\n\t{\n"
        "\tname Hip\n\tchannels\n\t\t{\n\t\ttargetGeom Smile\n\t\t\t{\n"
        "\t\t\tname Smile\n\t\t\tnumbDeltas 12\n\t\t\tdeltas\n\t\t\t\t{\n"
        "\t\t\t\td 3 0.1 0 -0.2\n\t\t\t\t}\n\t\t\t}\n\t\t}\n\t}\nfigure\n\t{\n"
        "\tname Man\n\taddChild hip:1 BODY:1\n\t}\n}\n";
    Seed("cr2_tree", "figure_merged", '0', figure);
    Seed("cr2_tree", "figure_flat", '1', figure);

    // The test figure in each path form, with and without its morphs, and packed.
    const std::string library = InputFolder() + "seed_library/";
    mkdir(library.c_str(), 0755);
    const TestFigure mac = WriteTestFigure(library, {.BinaryMorph = true});
    const std::string mac_text = FileContents(mac.CR2Path);
    Seed("cr2_import", "mac_morphs", '1', mac_text);
    Seed("cr2_import", "mac_plain", '0', mac_text);
    Seed("cr2_import", "windows", '1',
         FileContents(WriteTestFigure(library, {.Geometry = TestPathStyle::Windows, .CrLf = false}).CR2Path));
    Seed("cr2_import", "posix_packed_geometry", '1',
         FileContents(
             WriteTestFigure(library, {.Geometry = TestPathStyle::Posix, .GzipGeometry = true}).CR2Path));
    const std::string packed = FileContents(
        WriteTestFigure(library, {.Geometry = TestPathStyle::MixedCase, .GzipFigure = true}).CR2Path);
    Seed("cr2_import", "mixed_case_packed", '1', packed);

    // Selector bit 0 chooses the small limit.
    Seed("gzip", "figure", '0', packed);
    Seed("gzip", "figure_over_limit", '1', packed);
    Seed("gzip", "two_members", '0', packed + packed);
    if (!WriteGzip(library + "empty.gz", ""))
        FuzzCheckFailed("cannot write a gzip file");
    Seed("gzip", "empty_member", '0', FileContents(library + "empty.gz"));
    Seed("gzip", "plain_text", '0', mac_text.substr(0, 200));
}

void TextSeeds()
{
    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    const std::string mesh_block = TextBlockOf(mesh);
    Seed("text_block", "mesh", 0, mesh_block);
    Seed("text_block", "mesh_unread", 0x55, mesh_block);

    const uint8_t vertex_bits = uint8_t(mesh.GetVertexCount() << 3);
    TTarnwick_Morph& morph = *mesh.CurrentMorph;
    Seed("text_items", "morph_expanded", vertex_bits | 0, TextBlockOf(morph));
    morph.Compress();
    Seed("text_items", "morph_compressed", vertex_bits | 0, TextBlockOf(morph));
    TTarnwick_Selection& selection = *mesh.CurrentSelection;
    Seed("text_items", "selection_expanded", vertex_bits | 1, TextBlockOf(selection));
    selection.Compress();
    Seed("text_items", "selection_compressed", vertex_bits | 1, TextBlockOf(selection));
    Seed("text_items", "mesh", 2, mesh_block);
    TTarnwick_Mesh mapped;
    MakeFigure(mapped);
    auto map = std::make_unique<TZAVMaterialMap>();
    map->SetNameLiteral("ColorMap");
    if (!map->AllocatePixels(4, 2))
        FuzzCheckFailed("a small map could not be made");
    mapped.MaterialMaps.Add(map.release());
    Seed("text_items", "mesh_with_map", 2, TextBlockOf(mapped));
    Seed("text_items", "morph_tree", 4, TextBlockOf(*mesh.MorphTree));

    TTarnwick_ObjectTreeGroup tree(CreateSceneObject);
    auto* object = new TTarnwick_Object();
    object->SetNameLiteral("Figure");
    object->FileName = "/figures/man.cr2";
    auto figure = std::make_unique<TTarnwick_Mesh>();
    MakeFigure(*figure);
    object->SetMesh(std::move(figure));
    tree.List.Add(object);
    auto* camera = new TTarnwick_Camera();
    camera->SetNameLiteral("Main");
    tree.List.Add(camera);
    auto* light = new TTarnwick_Light();
    light->SetNameLiteral("Key");
    tree.List.Add(light);
    Seed("text_items", "object_tree", 3, TextBlockOf(tree));

    TTarnwick_LayerList layers;
    Seed("text_items", "layer", 5, TextBlockOf(layers.Layers[1]));
}

void BinarySeeds()
{
    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    const uint8_t vertex_bits = uint8_t(mesh.GetVertexCount() << 3);
    TTarnwick_Morph& morph = *mesh.CurrentMorph;
    morph.ChunkType = TTarnwick_FileChunkID_Morph;
    Seed("binary_records", "item", 0, PayloadOf(morph).substr(0, TTarnwick_ThingyRecord::Size));
    morph.Expand();
    Seed("binary_records", "morph_expanded", vertex_bits | 1, PayloadOf(morph));
    morph.Compress();
    Seed("binary_records", "morph_compressed", vertex_bits | 1, PayloadOf(morph));
    TTarnwick_Selection& selection = *mesh.CurrentSelection;
    selection.ChunkType = TTarnwick_FileChunkID_Selection;
    Seed("binary_records", "selection_expanded", vertex_bits | 2, PayloadOf(selection));
    selection.Compress();
    Seed("binary_records", "selection_compressed", vertex_bits | 2, PayloadOf(selection));
    TTarnwick_MorphMixer mixer;
    mixer.ChunkType = TTarnwick_FileChunkID_MorphMixer;
    mixer.List.Add(&morph);
    Seed("binary_records", "mixer", 3, PayloadOf(mixer));
    mixer.List.RemoveAt(0);
    TTarnwick_Object object;
    object.ChunkType = TTarnwick_FileChunkID_Object;
    object.FileName = "/figures/man.cr2";
    Seed("binary_records", "object", 4, PayloadOf(object));
    TTarnwick_TreeGroup group;
    group.ChunkType = TTarnwick_FileChunkID_MorphGroup;
    Seed("binary_records", "tree_group", 5, PayloadOf(group));
    FILE* file = std::tmpfile();
    if (!mesh.SavePolygonsToStream(file))
        FuzzCheckFailed("cannot write polygons");
    // The loader is given a mesh of count vertices and count polygons; the grid has 12 and 6.
    std::string polygons = Contents(file);
    std::fclose(file);
    Seed("binary_records", "polygons", uint8_t(12 << 3) | 6, polygons);

    // A whole chunk sequence as a version 6 file writes it, and its payloads framed for 4 and 5.
    file = std::tmpfile();
    if (!object.SaveToStream(file) || !group.SaveToStream(file) || !morph.SaveToStream(file))
        FuzzCheckFailed("cannot write chunks");
    std::string chunks = Contents(file);
    std::fclose(file);
    Seed("binary_chunk", "version6", 2, "junk" + chunks);
    std::string without_markers;
    std::string without_sizes;
    for (size_t at = chunks.find(ChunkMarker); at != std::string::npos;) {
        size_t next = chunks.find(ChunkMarker, at + ChunkMarker.size());
        std::string chunk =
            chunks.substr(at + ChunkMarker.size(),
                          (next == std::string::npos ? chunks.size() : next) - at - ChunkMarker.size());
        without_markers += chunk;
        without_sizes += chunk.substr(0, 4) + chunk.substr(8);
        at = next;
    }
    Seed("binary_chunk", "version5", 1, without_markers);
    Seed("binary_chunk", "version4", 0, without_sizes);
}

void SettingsAndLayerSetSeeds()
{
    {
        TTarnwick_Settings settings;
        settings.AddSearchPath("/figures/runtime", TZAVSearchDepth::FolderOnly);
        settings.AddSearchPath("/figures/textures", TZAVSearchDepth::WithSubfolders);
        settings.ImportPath = "/tmp/";
        settings.ExportPath = "/figures/export/";
        settings.ImagesPath = "/figures/images/";
        settings.ProjectsPath = "/figures/projects/";
        settings.AutoSavePath = "/home/artist/.local/state/Tarnwick/AutoSave.Tarnwick";
        if (!settings.WriteSettings())
            FuzzCheckFailed("cannot write the settings");
        std::string text = FileContents(settings.SettingsFilePath());
        // The target reads the whole input: its first byte is the file's first byte.
        Seed("settings", "written", uint8_t(text[0]), text.substr(1));
    }
    Seed("settings", "hand_made", 'U',
         "ndoLimit -3\nAutoSaveTime 0.5\nMaxTextureSize2 32\n  SearchPath  C:\\Figures  \nRunCount "
         "99999999999\n"
         "UseTextureCompression 1\nLoadDefaultProject 0\nunknown line\n\n");

    TTarnwick_LayerList layers;
    layers.Layers[2].SetNameLiteral("Arms");
    layers.Layers[2].DisplayFlags |= LayerDisplay_WireFrame;
    std::vector<uint32_t> masks = {0, 1, 3, 0x20000000, 0x40000000, 2};
    TTarnwick_LayerSetMesh layer_mesh;
    layer_mesh.VertexCount = 12;
    layer_mesh.PolygonCount = int32_t(masks.size());
    layer_mesh.PolygonLayerFlags = &masks;
    const std::string path = InputFolder() + "arms.lys";
    if (!SaveLayerSet(path, layers, layer_mesh))
        FuzzCheckFailed("cannot write a layer set");
    Seed("layer_set", "six_polygons", 6, FileContents(path));
    Seed("layer_set", "index", 0xf0, "arms.lys\n\nlegs.lys\n/elsewhere/x.lys\n");
}

// The project targets: a saved text project without its first line (the target puts it back), and
// the binary figure of the tests in every version, once with chunks of an unknown kind.
void ProjectSeeds()
{
    TTarnwick_Project project;
    auto* object = new TTarnwick_Object;
    object->SetNameLiteral("Body");
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    MakeDressedGrid(*mesh, 3, 2);
    object->SetMesh(std::move(mesh));
    project.ObjectTree->List.Add(object);
    project.Layers.Layers[3].SetNameLiteral("Arms");
    const std::string path = InputFolder() + "seed.Tarnwick";
    if (!project.SaveProject(path, false))
        FuzzCheckFailed("cannot write a project");
    std::string text = FileContents(path);
    text = text.substr(text.find('\n') + 1);
    Seed("project_text", "dressed", uint8_t(text[0]), text.substr(1));
    for (int32_t version : {4, 5, 6}) {
        const std::string bytes = BinaryFixture(version);
        Seed("project_binary", "version" + std::to_string(version), uint8_t(bytes[0]), bytes.substr(1));
    }
    const std::string newer = BinaryFixture(6, 1);
    Seed("project_binary", "version6_unknown_chunk", uint8_t(newer[0]), newer.substr(1));
}

// A small archive of two pictures (a TGA and a PNG), read from memory (0) and from a file (1), and
// the same cut inside its second record.
void GraphicsArchiveSeeds()
{
    constexpr int32_t Width = 4, Height = 4;
    std::vector<uint8_t> rgba;
    for (int i = 0; i < Width * Height; ++i)
        rgba.insert(rgba.end(), {uint8_t(i * 16), uint8_t(200 - i * 8), 90, uint8_t(i % 2 == 0 ? 255 : 0)});
    std::string error;
    std::vector<TZAVGraphicsRecord> records;
    for (const char* name : {"Lock.tga", "Close.png"}) {
        if (!SaveImageFile(InputFolder() + name, rgba, Width, Height, TZAVImageChannels::RGBA, error))
            FuzzCheckFailed("a picture for the archive could not be written");
        const std::string bytes = FileContents(InputFolder() + name);
        records.push_back({name, {bytes.begin(), bytes.end()}});
    }
    const std::string path = InputFolder() + "Graphics.dat";
    if (!WriteGraphicsArchive(records, path, error))
        FuzzCheckFailed("cannot write a graphics archive");
    const std::string archive = FileContents(path);
    Seed("graphics_archive", "two_pictures", 0, archive);
    Seed("graphics_archive", "two_pictures_file", 1, archive);
    Seed("graphics_archive", "cut_short", 0, archive.substr(0, archive.size() - 10));
}

// Language files typed here (continuations, a jump in the numbering, the untranslated marker,
// Latin-1 and UTF-8 bytes, CR LF ends), as a stream (0) and as the program's file (1), and the
// file the program ships when the seeds are written from the repository.
void LanguageSeeds()
{
    const std::string typed = "\xEF\xBB\xBF"
                              "1.File\r\n2.Open a project.\r\nSecond line\r\n\r\n4.Jumped\r\n"
                              "3.xx Caf\xE9\r\n4. Gr\xC3\xBC\xC3\x9F  \t\r\n  5.%d x %d\r\n";
    Seed("language", "typed", 0, typed);
    Seed("language", "typed_file", 1, typed);
    Seed("language", "preamble", 0, "Title\n\n99999999999.x\n1.\n2.a.b\n");
    const std::string shipped = SeedsFolder + "../../data/Language_v2.txt";
    if (access(shipped.c_str(), R_OK) == 0)
        Seed("language", "shipped", 1, FileContents(shipped));
}

} // namespace

// Small pictures in each format our writer offers, as inline bytes (even selector) and as files
// of their own extension (odd selector, extension index in bits 1..3, no load flags).
void ImageSeeds()
{
    constexpr int32_t Width = 6, Height = 4;
    std::vector<uint8_t> rgba;
    for (int i = 0; i < Width * Height; ++i)
        rgba.insert(rgba.end(), {uint8_t(i * 10), uint8_t(255 - i * 10), uint8_t(i * 3), uint8_t(128 + i)});
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3)
            rgb.push_back(rgba[i]);
    std::string error;
    const char* const extensions[] = {"png", "jpg", "bmp", "tga"};
    for (uint8_t index = 0; index < 4; ++index) {
        for (TZAVImageChannels channels : {TZAVImageChannels::RGB, TZAVImageChannels::RGBA}) {
            const bool alpha = channels == TZAVImageChannels::RGBA;
            const std::string name = std::string(alpha ? "rgba." : "rgb.") + extensions[index];
            if (!SaveImageFile(InputFolder() + name, alpha ? rgba : rgb, Width, Height, channels, error))
                FuzzCheckFailed("an image seed could not be written");
            const std::string bytes = FileContents(InputFolder() + name);
            Seed("image", name + "_file", uint8_t(index << 1 | 1), bytes);
            if (!alpha)
                Seed("image", name + "_bytes", 0, bytes);
        }
    }
}

// The head template: the shipped definitions, a values file saved from them, a selection set.
void SeedHeadTemplate()
{
    const std::string shipped = SeedsFolder + "../../data/head/fs01.dat";
    if (access(shipped.c_str(), R_OK) == 0)
        Seed("head_template", "shipped_definitions", 0, FileContents(shipped));
    Seed("head_template", "values", 0x60,
         "Category Face\nSection Nose\nTransform Move\nRandomFactor 0.5 0.25 1\nTransform Smooth\n"
         "Value 0.3 0 0\n");
    Seed("head_template", "selection_set", 0xc0,
         "VertexCount 20\nSelection Nose\n3 0.5\n4 1\nSelection Jaw Line\n19 0.25\n");
}

// Morph sets: two morphs of the grid, one of them compressed; the fuzzer's seeds have no selector.
void SeedMorphSet()
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 4, 3);
    TTarnwick_Morph* smile = mesh.NewMorph(-1);
    smile->SetNameLiteral("Smile Wide");
    smile->Strength = 0.5f;
    smile->GetVertex(3)[1] = 0.25f;
    smile->GetVertex(19)[0] = -1.5f;
    smile->Compress();
    const std::string path = SeedsFolder + "morph_set.tmp";
    std::string problem;
    if (!WriteMorphSet(path, mesh.GetVertexCount(), UserMorphs(mesh), problem))
        FuzzCheckFailed("cannot write the morph set seed");
    const std::string text = FileContents(path);
    std::remove(path.c_str());
    const std::string folder = SeedsFolder + "morph_set";
    mkdir(folder.c_str(), 0755);
    FILE* file = std::fopen((folder + "/two_morphs").c_str(), "wb");
    if (file == nullptr)
        FuzzCheckFailed("cannot write a seed");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds <seeds folder>\n");
        return 2;
    }
    SeedsFolder = std::string(argv[1]) + "/";
    mkdir(SeedsFolder.c_str(), 0755);
    SetUpFuzzProcess();
    if (!InitVirtualMemory())
        return 1;
    ObjAndMtlSeeds();
    Cr2Seeds();
    TextSeeds();
    BinarySeeds();
    SettingsAndLayerSetSeeds();
    ImageSeeds();
    ProjectSeeds();
    GraphicsArchiveSeeds();
    LanguageSeeds();
    SeedHeadTemplate();
    SeedMorphSet();
    ShutdownVirtualMemory();
    return 0;
}
