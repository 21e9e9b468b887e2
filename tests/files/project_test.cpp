// The project file: the text form written and read back, the binary form of versions 4 to 6 read
// from fixtures built here byte by byte, and what failed opens and saves leave behind.
#include "files/project.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <sstream>

#include "core/paths.h"
#include "files/settings.h"
#include "mesh/morph_tree.h"
#include "mesh/scene_object.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "support/sculpt_meshes.h"
#include "support/binary_project.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/unprivileged.h"
#include "support/warnings.h"

namespace {

class ProjectFile : public PagedItemTest
{
protected:
    void TearDown() override
    {
        NewProject();
        PagedItemTest::TearDown();
    }

    std::string Path(const char* name) const { return Folders.Root.Path() + name; }
};

// An object holding the dressed grid, placed at x.
TTarnwick_Object* AddFigure(TTarnwick_TreeGroup& group, const char* name, float x)
{
    auto* object = new TTarnwick_Object;
    object->SetNameLiteral(name);
    object->Pos[0] = x;
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    MakeDressedGrid(*mesh, 4, 3);
    object->SetMesh(std::move(mesh));
    group.List.Add(object);
    return object;
}

// A map of 8 × 4 pixels with one pixel painted.
void AddPaintedMap(TTarnwick_Mesh& mesh, const char* name, uint8_t paint)
{
    auto map = std::make_unique<TZAVMaterialMap>();
    map->SetNameLiteral(name);
    ASSERT_TRUE(map->AllocatePixels(8, 4));
    map->PixelAt(3, 2)[1] = paint;
    mesh.MaterialMaps.Add(map.release());
    mesh.MapsEdited = true;
}

// The saved text with the "ID" lines taken out: IDs are handed out afresh in every run.
std::string WithoutIDs(const std::string& text)
{
    return std::regex_replace(text, std::regex("\n\t*ID\t[0-9-]+"), "");
}

// Project texts run to hundreds of lines: a difference is shown as its first differing line.
void ExpectSameText(const std::string& text, const std::string& expected)
{
    size_t at = 0;
    while (at < text.size() && at < expected.size() && text[at] == expected[at])
        at++;
    if (at == text.size() && at == expected.size())
        return;
    const size_t line = expected.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = line == std::string::npos ? 0 : line + 1;
    ADD_FAILURE() << "the texts differ at byte " << at << ": read \"" << text.substr(from, at - from + 40)
                  << "\", expected \"" << expected.substr(from, at - from + 40) << "\"";
}

std::string SavedText(TTarnwick_Project& project, const std::string& path)
{
    EXPECT_TRUE(project.SaveProject(path, false)) << project.Error();
    return TemporaryFolder::Read(path);
}

// Every option of the project's own block changed: flags inverted, numbers raised by 0.25.
std::string WithOptionsChanged(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    std::string result;
    while (std::getline(lines, line)) {
        std::smatch match;
        if (line.starts_with("\tviewport\t"))
            ;
        else if (std::regex_match(line, match, std::regex("\t([A-Za-z0-9]+)\t([01])")))
            line = "\t" + match[1].str() + "\t" + (match[2] == "0" ? "1" : "0");
        else if (std::regex_match(line, match, std::regex("\t([A-Za-z0-9]+)\t([-0-9. ]+)"))) {
            std::istringstream numbers(match[2].str());
            std::string changed;
            for (float value; numbers >> value;) {
                char number[32];
                std::snprintf(number, sizeof(number), "%.8f", double(value + 0.25f));
                changed += (changed.empty() ? "" : " ") + std::string(number);
            }
            line = "\t" + match[1].str() + "\t" + changed;
        }
        result += line + "\n";
    }
    return result;
}

TEST_F(ProjectFile, EveryOptionSurvivesTheTextFormInEitherCaseOfKey)
{
    TTarnwick_Project original;
    const std::string changed = WithOptionsChanged(SavedText(original, Path("a.Tarnwick")));
    ASSERT_NE(changed.find("\tMirrorInViewport\t0\n"), std::string::npos);
    ASSERT_NE(changed.find("\tTileSize\t0.75000000\n"), std::string::npos);

    TTarnwick_Project reopened;
    ASSERT_TRUE(reopened.OpenProjectFile(Folders.Root.Write("b.Tarnwick", changed)));
    ExpectSameText(SavedText(reopened, Path("c.Tarnwick")), changed);

    // Keys are read without regard to case, except the two colours.
    std::string lower = std::regex_replace(changed, std::regex("\tMirrorX\t"), "\tmirrorx\t");
    lower = std::regex_replace(lower, std::regex("\tBackgroundColor\t"), "\tbackgroundcolor\t");
    TTarnwick_Project cased;
    ASSERT_TRUE(cased.OpenProjectFile(Folders.Root.Write("d.Tarnwick", lower)));
    EXPECT_EQ(cased.MirrorX, !original.MirrorX);
    EXPECT_EQ(cased.BackgroundColor[0], original.BackgroundColor[0]);
    EXPECT_EQ(cased.WireframeColor[0], original.WireframeColor[0] + 0.25f);
}

// Everything a project holds, on top of every option changed: two figures with a second morph,
// painted selections and painted colour and bump maps attached to their channels, five custom
// layers, a brush image read from its file, a camera that a viewport looks through.
void FillProject(TTarnwick_Project& project, const std::string& brush_file)
{
    AddFigure(*project.ObjectTree, "Body", 1.0f);
    auto* group = new TTarnwick_ObjectTreeGroup(CreateSceneObject);
    group->SetNameLiteral("Props");
    group->Collapsed = true;
    project.ObjectTree->AddChild(group);
    AddFigure(*group, "Hat", -2.0f);
    for (TTarnwick_Object* figure : project.Objects()) {
        TTarnwick_Mesh& mesh = *figure->Mesh;
        SetDelta(*mesh.CurrentMorph, 7, 0.5f, -0.25f, figure->Pos[0]);
        mesh.CurrentSelection->SetVSelect(9, 0.75f);
        AddPaintedMap(mesh, "ColorMap", uint8_t(figure->Pos[0] * 10 + 100));
        AddPaintedMap(mesh, "BumpMap", 17);
        AttachMap(mesh, MaterialMapAt(mesh, 1), "Bump", "");
    }
    auto* camera = new TTarnwick_Camera;
    camera->SetNameLiteral("Close-up");
    project.ObjectTree->List.Add(camera);
    project.Viewports[3].CameraID = camera->ID;
    project.Viewports[2].RotationMatrix[6] = -0.75f;
    project.Viewports[2].Current = true;
    for (int32_t index = 3; index < 8; index++) {
        TTarnwick_Layer& layer = project.Layers.Layers[index];
        layer.SetName("Custom %d", index);
        layer.Color[1] = 0.125f * float(index);
        layer.DisplayFlags = index % 2 ? LayerDisplay_WireFrame | LayerDisplay_Points : LayerDisplay_Hidden;
        layer.Locked = uint8_t(index % 2);
    }
    project.Layers.SetCurrentLayer(4);
    auto* image = new TTarnwick_TextureBrushImage;
    image->SetNameLiteral("Pores");
    image->FileName = brush_file;
    project.BrushImages.Add(image);
}

void ExpectSameContent(TTarnwick_Project& read, TTarnwick_Project& expected)
{
    const std::vector<TTarnwick_Object*> objects = expected.Objects();
    ASSERT_EQ(read.Objects().size(), objects.size());
    for (TTarnwick_Object* object : objects) {
        TTarnwick_Object* read_object = read.FindObject(object->Name);
        ASSERT_NE(read_object, nullptr) << object->Name;
        EXPECT_EQ(read_object->Pos[0], object->Pos[0]);
        if (!object->Mesh)
            continue;
        TTarnwick_Mesh& mesh = *object->Mesh;
        TTarnwick_Mesh& read_mesh = *read_object->Mesh;
        EXPECT_EQ(DenseDeltas(*read_mesh.CurrentMorph), DenseDeltas(*mesh.CurrentMorph));
        for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
            EXPECT_EQ(read_mesh.CurrentSelection->GetVSelect(vertex), mesh.CurrentSelection->GetVSelect(vertex));
        ASSERT_EQ(read_mesh.MaterialMaps.Count(), 2);
        for (int32_t index : {0, 1}) {
            const TZAVMaterialMap* read_map = MaterialMapAt(read_mesh, index);
            ASSERT_NE(read_map, nullptr);
            EXPECT_EQ(read_map->Name, MaterialMapAt(mesh, index)->Name);
            EXPECT_EQ(read_map->Pixels, MaterialMapAt(mesh, index)->Pixels);
        }
        EXPECT_EQ(read_mesh.Materials.Data()[0]->FindChannel("Bump")->TextureIndex, 1);
        // Every morph of the figure takes part in its mix.
        EXPECT_EQ(read_mesh.Mixer.List.Count(), 2);
    }
    for (int32_t index = 0; index < LayerCount; index++) {
        const TTarnwick_Layer& layer = expected.Layers.Layers[index];
        const TTarnwick_Layer& read_layer = read.Layers.Layers[index];
        EXPECT_EQ(read_layer.Name, layer.Name);
        EXPECT_EQ(read_layer.DisplayFlags, layer.DisplayFlags);
        EXPECT_EQ(read_layer.Locked, layer.Locked);
        EXPECT_EQ(read_layer.Color[1], layer.Color[1]);
    }
    EXPECT_EQ(read.Layers.GetCurrentLayerIndex(), 4);
    EXPECT_EQ(read.Viewports[2].RotationMatrix[6], -0.75f);
    EXPECT_TRUE(read.Viewports[2].Current);
    const TTarnwick_Object* camera = read.FindObject("Close-up");
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(read.Viewports[3].CameraID, camera->ID);
}

TEST_F(ProjectFile, AFullProjectReopensEqualAndSavesTheSameBytes)
{
    const std::string brush_file = Path("pores.png");
    // At the smallest size images are loaded at, so that the pixels come back unscaled.
    const int32_t side = MinTextureSize;
    std::vector<uint8_t> brush(size_t(side) * side * 4);
    for (size_t index = 0; index < brush.size(); index++)
        brush[index] = uint8_t(index * 7 + index / 251);
    std::string error;
    ASSERT_TRUE(SaveImageFile(brush_file, brush, side, side, TZAVImageChannels::RGBA, error)) << error;
    TTarnwick_Project defaults;
    const std::string options = Folders.Root.Write("options.Tarnwick",
                                                   WithOptionsChanged(SavedText(defaults, Path("d.Tarnwick"))));
    // Built twice: the first is saved and gone before the reopen, so that its items' IDs are free
    // again, as they are in the next run of the program.
    std::string saved;
    {
        TTarnwick_Project original;
        ASSERT_TRUE(original.OpenProjectFile(options));
        FillProject(original, brush_file);
        saved = SavedText(original, Path("a.Tarnwick"));
    }
    TTarnwick_Project expected;
    ASSERT_TRUE(expected.OpenProjectFile(options));
    FillProject(expected, brush_file);

    TTarnwick_Project reopened;
    ASSERT_TRUE(reopened.OpenProjectFile(Path("a.Tarnwick"))) << reopened.Error();
    EXPECT_EQ(TakeWarnings(), std::vector<std::string>());
    ExpectSameContent(reopened, expected);
    const TTarnwick_TextureBrushImage* image = reopened.FindBrushImage("Pores");
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(image->HasPixels());
    ASSERT_EQ(image->Width, side);
    EXPECT_TRUE(std::equal(brush.begin(), brush.end(), image->Pixels.get()));
    ExpectSameText(SavedText(reopened, Path("b.Tarnwick")), saved);

    // A brush image whose file is gone keeps its place, with a warning.
    ASSERT_TRUE(DeleteFile(brush_file));
    TTarnwick_Project without_file;
    ASSERT_TRUE(without_file.OpenProjectFile(Path("a.Tarnwick")));
    ASSERT_NE(without_file.FindBrushImage("Pores"), nullptr);
    EXPECT_FALSE(without_file.FindBrushImage("Pores")->HasPixels());
    const std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("the brush image \"Pores\" has no pixels"), std::string::npos) << warnings[0];
}

TEST_F(ProjectFile, TextReaderCopesWithOddAndDamagedFiles)
{
    TTarnwick_Project project;
    AddFigure(*project.ObjectTree, "Body", 1.0f);
    AddFigure(*project.ObjectTree, "Hat", 2.0f);
    project.MirrorY = true;
    std::string saved = SavedText(project, Path("a.Tarnwick"));

    // A first line with trailing blanks is still the text form; a 33rd layer block is ignored.
    std::string odd = saved;
    odd.replace(0, odd.find('\n'), "tarnwick project file   ");
    const size_t objects = odd.find("\tobjects\t");
    odd.insert(objects, "\tlayer\tExtra\n\t{\n\t\tName\tExtra\n\t\tMirrorX\t1\n\t}\n");
    TTarnwick_Project read_odd;
    ASSERT_TRUE(read_odd.OpenProjectFile(Folders.Root.Write("odd.Tarnwick", odd)));
    EXPECT_FALSE(read_odd.MirrorX);
    EXPECT_EQ(read_odd.Layers.Layers[31].Name, "Locked Layer");
    EXPECT_NE(read_odd.FindObject("Hat"), nullptr);

    // A damaged mesh costs its object, not the figure.
    std::string damaged = saved;
    damaged.replace(damaged.find("\tpcount\t12"), 10, "\tpcount\t99");
    TTarnwick_Project read_damaged;
    ASSERT_TRUE(read_damaged.OpenProjectFile(Folders.Root.Write("damaged.Tarnwick", damaged)));
    EXPECT_EQ(read_damaged.FindObject("Body"), nullptr);
    EXPECT_NE(read_damaged.FindObject("Hat"), nullptr);
    std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("the object \"Body\" was dropped"), std::string::npos) << warnings[0];

    // Cut short inside the second object: what came before loads, with a warning.
    std::string cut = saved.substr(0, saved.find("object\tHat") + 40);
    TTarnwick_Project read_cut;
    ASSERT_TRUE(read_cut.OpenProjectFile(Folders.Root.Write("cut.Tarnwick", cut)));
    EXPECT_TRUE(read_cut.MirrorY);
    EXPECT_NE(read_cut.FindObject("Body"), nullptr);
    warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("ended before the project's closing"), std::string::npos) << warnings[0];
}

TEST_F(ProjectFile, BinaryVersionsFourToSixReadIntoTheSameProject)
{
    for (int32_t version : {4, 5, 6}) {
        SCOPED_TRACE(version);
        TTarnwick_Project project;
        const std::string path = Folders.Root.Write("old.Tarnwick", BinaryFixture(version));
        ASSERT_TRUE(project.OpenProjectFile(path)) << project.Error();
        EXPECT_EQ(TakeWarnings(), std::vector<std::string>());
        EXPECT_TRUE(project.MirrorY);
        EXPECT_FALSE(project.MirrorInViewport);
        EXPECT_EQ(project.TileSize, 2.5f);
        EXPECT_EQ(project.WeldThreshold, 0.125f);
        EXPECT_EQ(project.UnnamedOptionFlag, 7);
        EXPECT_EQ(project.ProjectFlag, 5);
        EXPECT_EQ(project.ObjectTree->Label, "objects");
        ASSERT_EQ(project.BrushImages.Count(), 1);
        EXPECT_EQ(project.BrushImages.begin()[0]->FileName, "pores.png");

        TTarnwick_Object* body = project.FindObject("Body");
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->Pos[1], 4.0f);
        ASSERT_TRUE(body->Mesh);
        TTarnwick_Mesh& mesh = *body->Mesh;
        TTarnwick_Mesh grid;
        MakeGrid(grid, 2, 1);
        EXPECT_EQ(mesh.Vertices, grid.Vertices);
        EXPECT_EQ(mesh.CornerVertex, grid.CornerVertex);
        EXPECT_EQ(mesh.PolygonGroup[1], 0);
        ASSERT_EQ(mesh.Groups2.Count(), 1);
        EXPECT_EQ(mesh.Groups2.begin()[0]->Name, "Head");
        EXPECT_EQ(mesh.VertexFlags[1], 0x10u);
        EXPECT_EQ(mesh.PolygonFlags[1], 0x04u);
        EXPECT_TRUE(mesh.MixMorphs);
        const TZAVMaterialMap* map = MaterialMapAt(mesh, 0);
        ASSERT_NE(map, nullptr);
        EXPECT_TRUE(map->Name == "ColorMap");
        EXPECT_EQ(map->Pixels, (std::vector<uint8_t>{10, 20, 40, 10, 30, 40}));

        // The file's hidden group gave way to the mesh's own.
        auto* smile = FindItem<TTarnwick_Morph>(mesh.MorphTree.get(), "Smile");
        ASSERT_NE(smile, nullptr);
        EXPECT_EQ(FindItem<TTarnwick_Morph>(mesh.MorphTree.get(), "Default Morph"), nullptr);
        EXPECT_EQ(mesh.MorphTree->FirstChildGroup(), mesh.HiddenMorphs);
        EXPECT_EQ(mesh.MorphTree->CountChildren(), 2);
        EXPECT_EQ(mesh.MorphTree->FirstChildGroup()->NextGroup()->Name, "Faces");
        EXPECT_EQ(mesh.CurrentMorph->Name, "Base");
        EXPECT_EQ(smile->Strength, 0.5f);
        std::vector<float> expected(size_t(mesh.GetVertexCount()) * 3, 0.0f);
        expected[12] = 1.0f;
        expected[13] = 2.0f;
        expected[14] = 3.0f;
        EXPECT_EQ(DenseDeltas(*smile), expected);
        ASSERT_EQ(mesh.Mixer.List.Count(), 1);
        EXPECT_EQ(mesh.Mixer.List.begin()[0], smile);
        // Mixed at half strength.
        EXPECT_EQ(mesh.GetDisplayedPosition(4)[2], mesh.Vertices[14] + 1.5f);
        EXPECT_EQ(mesh.CurrentSelection->GetVSelect(2), 0.25f);
    }
}

TEST_F(ProjectFile, UnknownChunksAreSkippedWithOneMessageWhereSizesAllow)
{
    {
        ScriptedDialogs dialogs;
        TTarnwick_Project project;
        ASSERT_TRUE(project.OpenProjectFile(Folders.Root.Write("new.Tarnwick", BinaryFixture(6, 2))));
        EXPECT_EQ(project.SkippedChunkCount(), 2);
        EXPECT_EQ(project.SkippedChunkBytes(), 24);
        ASSERT_EQ(dialogs.Requests().size(), 1u);
        EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "could not be loaded"));
        EXPECT_NE(project.FindObject("Body"), nullptr);
    }
    TTarnwick_Project project;
    EXPECT_FALSE(project.OpenProjectFile(Folders.Root.Write("new4.Tarnwick", BinaryFixture(4, 1))));
    EXPECT_EQ(project.Error(), "Unrecognized file chunk encountered (99)");
}

TEST_F(ProjectFile, FailedOpensLeaveTheCurrentProjectAndSayWhy)
{
    NewProject();
    TTarnwick_Project* before = TarnwickProject;
    AddFigure(*before->ObjectTree, "Kept", 0.0f);
    const std::string fixture = BinaryFixture(6);
    const std::string morph_marker = std::string(ChunkMarker) + Int32Bytes(TTarnwick_FileChunkID_Morph);
    std::string options_size_wrong = fixture;
    PutInt32(options_size_wrong, 20, 35);
    const struct
    {
        std::string Name;
        std::string Bytes;
        const char* Reason;
    } cases[] = {
        {"missing.Tarnwick", "", "cannot be opened"},
        {"magic.Tarnwick", "VORNFILEVERZION0006", "is not a Tarnwick project"},
        {"options.Tarnwick", options_size_wrong, "is corrupt, or obsolete (2)"},
        {"truncated.Tarnwick", fixture.substr(0, fixture.find(morph_marker) + 40), "claims"},
        {"short.Tarnwick", BinaryFixture(4).substr(0, 30), "options record is cut off"},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.Name);
        const std::string path =
            bad.Bytes.empty() ? Path(bad.Name.c_str()) : Folders.Root.Write(bad.Name, bad.Bytes);
        ScriptedDialogs dialogs;
        EXPECT_FALSE(OpenProject(path));
        EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, bad.Reason));
        EXPECT_EQ(TarnwickProject, before);
        EXPECT_NE(TarnwickProject->FindObject("Kept"), nullptr);
        EXPECT_EQ(TarnwickProject->FileName, "");
    }
    ASSERT_TRUE(OpenProject(Folders.Root.Write("good.Tarnwick", BinaryFixture(6))));
    EXPECT_NE(TarnwickProject->FindObject("Body"), nullptr);
}

// Found by fuzzing: a channel block whose "Name" line renamed the standard channel its header
// named read back, once saved, as that channel plus a new one.
TEST_F(ProjectFile, FuzzedChannelNameLineDisagreeingWithItsHeaderRoundTrips)
{
    TTarnwick_Project project;
    AddFigure(*project.ObjectTree, "Body", 0.0f);
    std::string text = SavedText(project, Path("a.Tarnwick"));
    const size_t name_line = text.find("Name\tDisplacement\n");
    ASSERT_NE(name_line, std::string::npos);
    text.replace(name_line, 18, "Name\tOther\n");
    TTarnwick_Project first;
    ASSERT_TRUE(first.OpenProjectFile(Folders.Root.Write("b.Tarnwick", text)));
    const std::string first_saved = SavedText(first, Path("c.Tarnwick"));
    TTarnwick_Project second;
    ASSERT_TRUE(second.OpenProjectFile(Path("c.Tarnwick")));
    ExpectSameText(WithoutIDs(SavedText(second, Path("d.Tarnwick"))), WithoutIDs(first_saved));
}

// Found by fuzzing: a second mesh chunk for one object left the morphs read before it sized for
// the first mesh, and preparing the mesh raised an internal error.
TEST_F(ProjectFile, FuzzedObjectWithASecondMeshIsRefused)
{
    BinaryProjectWriter writer(6);
    TTarnwick_Mesh grid;
    MakeGrid(grid, 2, 1);
    TTarnwick_Mesh empty;
    TTarnwick_ObjectTreeGroup objects;
    objects.Index = 0;
    TTarnwick_Object body;
    TTarnwick_MorphTreeGroup morphs;
    morphs.Index = 0;
    TTarnwick_Morph morph(grid.GetVertexCount());
    writer.Item(objects, TTarnwick_FileChunkID_ObjectGroup);
    writer.Item(body, TTarnwick_FileChunkID_Object);
    writer.Chunk(TTarnwick_FileChunkID_Mesh, MeshRecord(grid));
    writer.Item(morphs, TTarnwick_FileChunkID_MorphGroup);
    writer.Item(morph, TTarnwick_FileChunkID_Morph);
    writer.Chunk(TTarnwick_FileChunkID_Mesh, MeshRecord(empty));
    TTarnwick_Project project;
    EXPECT_FALSE(project.OpenProjectFile(Folders.Root.Write("twice.Tarnwick", writer.Bytes)));
    EXPECT_NE(project.Error().find("has a second mesh"), std::string::npos) << project.Error();
}

// Found by fuzzing: a root group read as hidden wrote nothing at the next save, so the objects or
// the morphs were gone from the file.
TEST_F(ProjectFile, FuzzedHiddenRootGroupsKeepTheirTrees)
{
    TTarnwick_Project project;
    AddFigure(*project.ObjectTree, "Body", 0.0f);
    std::string text = SavedText(project, Path("a.Tarnwick"));
    for (const char* root : {"\tobjects\t\n", "\tmorphs\t\n"}) {
        const size_t hidden = text.find("Hidden\t0", text.find(root));
        ASSERT_NE(hidden, std::string::npos);
        text[hidden + 7] = '1';
    }
    TTarnwick_Project first;
    ASSERT_TRUE(first.OpenProjectFile(Folders.Root.Write("b.Tarnwick", text)));
    SavedText(first, Path("c.Tarnwick"));
    TTarnwick_Project second;
    ASSERT_TRUE(second.OpenProjectFile(Path("c.Tarnwick")));
    TTarnwick_Object* body = second.FindObject("Body");
    ASSERT_NE(body, nullptr);
    EXPECT_NE(FindItem<TTarnwick_Morph>(body->Mesh->MorphTree.get(), "Smile"), nullptr);
}

// Found by fuzzing: the pixel count of a brush image of 2^31 - 1 by 2^31 - 1 pixels overflowed
// the check against the file.
TEST_F(ProjectFile, FuzzedHugeBrushImageIsDroppedAlone)
{
    BinaryProjectWriter writer(6);
    writer.Chunk(TTarnwick_FileChunkID_BrushImage, ItemRecord("Huge", 0) + std::string(256, '\0') +
                                                       Int32Bytes(INT32_MAX) + Int32Bytes(INT32_MAX));
    TTarnwick_Project project;
    ASSERT_TRUE(project.OpenProjectFile(Folders.Root.Write("huge.Tarnwick", writer.Bytes)))
        << project.Error();
    EXPECT_EQ(project.BrushImages.Count(), 0);
    const std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("too large for the file"), std::string::npos) << warnings[0];
}

TEST_F(ProjectFile, FailedSaveKeepsTheEarlierFileAndSaysWhy)
{
    TTarnwick_Project small;
    const std::string path = Path("kept.Tarnwick");
    const std::string earlier = SavedText(small, path);
    TTarnwick_Project large;
    AddFigure(*large.ObjectTree, "Body", 0.0f);
    const bool failed_and_said_so = PassesWithFileSizeLimit(4096, [&] {
        return !large.SaveProject(path, true) && large.Error().find("File too large") != std::string::npos &&
               large.FileName.empty();
    });
    EXPECT_TRUE(failed_and_said_so);
    EXPECT_EQ(TemporaryFolder::Read(path), earlier);
    for (const std::string& name : TemporaryFolder::Names(Folders.Root.Path()))
        EXPECT_TRUE(name.find("kept") == std::string::npos || name == "kept.Tarnwick") << name;
}

TEST_F(ProjectFile, SaveIntoAReadOnlyFolderKeepsTheEarlierFileAndSaysWhy)
{
    TTarnwick_Project small;
    const std::string path = Path("kept.Tarnwick");
    const std::string earlier = SavedText(small, path);
    TTarnwick_Project large;
    AddFigure(*large.ObjectTree, "Body", 0.0f);
    // Only the folder stands in the way, not the file.
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(Folders.Root.Path().c_str(), 0555), 0);
    const bool refused = PassesAsUnprivilegedUserIn(Folders.Root.Path(), [&](const std::string& prefix) {
        return !large.SaveProject(prefix + "kept.Tarnwick", true) &&
               large.Error().find("was not saved") != std::string::npos;
    });
    chmod(Folders.Root.Path().c_str(), 0755);
    EXPECT_TRUE(refused);
    EXPECT_EQ(TemporaryFolder::Read(path), earlier);
}

TEST_F(ProjectFile, AutosaveWritesItsOwnFileAndLeavesTheProjectsName)
{
    TTarnwick_Settings settings;
    TarnwickSettings = &settings;
    NewProject();
    AddFigure(*TarnwickProject->ObjectTree, "Body", 0.0f);
    TarnwickProject->FileName = "mine.Tarnwick";
    settings.AutoSaveStopwatch.Stop();
    const bool saved = AutoSaveProject();
    EXPECT_TRUE(settings.AutoSaveStopwatch.Running());
    EXPECT_EQ(TarnwickProject->FileName, "mine.Tarnwick");
    TTarnwick_Project recovered;
    EXPECT_TRUE(saved && recovered.OpenProjectFile(settings.AutoSavePath));
    EXPECT_NE(recovered.FindObject("Body"), nullptr);

    settings.AutoSavePath = Path("gone/AutoSave.Tarnwick");
    settings.AutoSaveStopwatch.Stop();
    EXPECT_FALSE(AutoSaveProject());
    EXPECT_FALSE(settings.AutoSaveStopwatch.Running());
    const std::vector<std::string> warnings = TakeWarnings();
    TarnwickSettings = nullptr;
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].starts_with("Error autosaving the project")) << warnings[0];
}

} // namespace

namespace {

// The project the first start opens, as the build drew it: a head with its groups, materials,
// texture coordinates and morphs, the same bytes at every build.
TEST_F(ProjectFile, TheDefaultProjectHoldsADressedHead)
{
    TTarnwick_Project project;
    ASSERT_TRUE(project.OpenProjectFile(TARNWICK_DEFAULT_PROJECT)) << project.Error();
    EXPECT_EQ(TakeWarnings(), std::vector<std::string>());
    TTarnwick_Object* head = project.FindObject("Head");
    ASSERT_NE(head, nullptr);
    ASSERT_NE(head->Mesh, nullptr);
    TTarnwick_Mesh& mesh = *head->Mesh;
    EXPECT_GT(mesh.GetVertexCount(), 1000);
    ASSERT_EQ(mesh.Groups2.Count(), 2);
    ASSERT_EQ(mesh.Materials.Count(), 2);
    std::vector<int32_t> per_group(2), per_material(2);
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        per_group.at(size_t(mesh.PolygonGroup[polygon]))++;
        per_material.at(size_t(mesh.PolygonMaterial[polygon]))++;
    }
    EXPECT_GT(per_group[1], 0);
    EXPECT_GT(per_material[1], 0);
    EXPECT_LT(per_material[1], per_material[0]);
    for (float coordinate : mesh.TexVertices)
        ASSERT_TRUE(coordinate >= 0.0f && coordinate <= 1.0f) << coordinate;
    // Besides the default morph, two that move the face.
    int32_t moving = 0;
    TTarnwick_TreeGroup::Walk(
        mesh.MorphTree.get(), 0,
        [](TTarnwick_TreeGroup* group, int32_t, void* data) {
            for (TTarnwick_Thingy* item : group->List)
                if (auto* morph = dynamic_cast<TTarnwick_Morph*>(item); morph != nullptr && !group->Hidden)
                    for (float delta : DenseDeltas(*morph))
                        if (delta != 0.0f) {
                            ++*static_cast<int32_t*>(data);
                            break;
                        }
            return true;
        },
        &moving, TZAVWalkOrder::PreOrder);
    EXPECT_EQ(moving, 2);
    EXPECT_EQ(mesh.Mixer.List.Count(), 3);
    // The face looks along +z: the nose is the front-most point, and it faces outward.
    float front = -1e30f;
    int32_t nose = -1;
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        if (mesh.Vertices[3 * size_t(vertex) + 2] > front) {
            front = mesh.Vertices[3 * size_t(vertex) + 2];
            nose = vertex;
        }
    EXPECT_GT(front, 0.95f);
    ASSERT_EQ(mesh.Normals.size(), mesh.Vertices.size());
    EXPECT_GT(mesh.Normals[3 * size_t(nose) + 2], 0.9f);
    // Drawn again, the figure is the same file.
    const std::string again = Path("Default.Tarnwick");
    ASSERT_EQ(std::system((std::string(TARNWICK_MAKE_DEFAULT_PROJECT) + " " + again).c_str()), 0);
    EXPECT_TRUE(TemporaryFolder::Read(again) == TemporaryFolder::Read(TARNWICK_DEFAULT_PROJECT));
}

} // namespace
