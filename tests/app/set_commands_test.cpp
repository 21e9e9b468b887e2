// The set and injection file commands on a small figure: layer sets saved into the user's folder
// never replace one another, a removal file asks before it replaces a file, a morph set for
// another figure changes nothing, replaced morphs are recorded for undo, and a folder that cannot
// be written is reported.
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/set_commands.h"
#include "core/event.h"
#include "core/paths.h"
#include "core/status.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/layer_set.h"
#include "mesh/morph_set.h"
#include "mesh/scene_object.h"
#include "paint/brush_image.h"
#include "paint/image_file.h"
#include "paint/material_map.h"
#include "support/grid_mesh.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/unprivileged.h"

namespace {

bool Post(int32_t id, const std::string& path = {}, int32_t index = -1)
{
    TZAVEvent event(id);
    if (!path.empty())
        event.AddStringParameter(path.c_str(), 0);
    event.SetIndex(index);
    return HandleSetCommand(&event);
}

class SetCommands : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        Settings = std::make_unique<TTarnwick_Settings>();
        Settings->UserFolder = Folders.Root.Path() + "user/";
        ASSERT_TRUE(EnsureFolder(Settings->UserFolder));
        TarnwickSettings = Settings.get();
        TarnwickProject = new TTarnwick_Project;
        auto mesh = std::make_unique<TTarnwick_Mesh>();
        MakeGrid(*mesh, 4, 3);
        Mesh = mesh.get();
        auto* object = new TTarnwick_Object;
        object->SetNameLiteral("Figure");
        object->SetMesh(std::move(mesh));
        TarnwickProject->AddObject(object);
        TarnwickProject->CurrentObject = object;
        Smile = Mesh->NewMorph(-1);
        Smile->SetNameLiteral("Smile");
        Smile->GetVertex(4)[1] = 0.5f;
        Mesh->SetCurrentMorph(Smile);
    }

    void TearDown() override
    {
        delete TarnwickProject;
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
        PagedItemTest::TearDown();
    }

    std::unique_ptr<TTarnwick_Settings> Settings;
    TTarnwick_Mesh* Mesh = nullptr;
    TTarnwick_Morph* Smile = nullptr;
};

TEST_F(SetCommands, SavedLayerSetsGetFreshNamesAndAreListed)
{
    ASSERT_TRUE(Post(229));
    ASSERT_TRUE(Post(229));
    const std::string folder = LayerSetFolder(Settings->UserFolder);
    EXPECT_TRUE(FileExists(folder + "Figure.LaySet"));
    EXPECT_TRUE(FileExists(folder + "Figure_1.LaySet"));
    std::vector<std::string> listed;
    ASSERT_TRUE(ReadLayerSetIndex(folder, listed));
    EXPECT_EQ(listed, (std::vector<std::string>{"Figure.LaySet", "Figure_1.LaySet"}));
    // The index entry loads back (236).
    TarnwickProject->Layers.Layers[3].SetNameLiteral("changed");
    EXPECT_TRUE(Post(236, {}, 1));
    EXPECT_NE(TarnwickProject->Layers.Layers[3].Name, "changed");
}

TEST_F(SetCommands, ARemovalFileAsksBeforeReplacingAFile)
{
    const std::string existing = Folders.Root.Write("Smile_REM.pz2", "keep me");
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, false, "already exists");
        // A name without the suffix gets it.
        EXPECT_FALSE(Post(230, Folders.Root.Path() + "Smile.pz2"));
    }
    std::ifstream file(existing);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "keep me");
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::YesNo, true, "already exists");
    EXPECT_TRUE(Post(230, existing));
    EXPECT_GT(std::ifstream(existing, std::ios::ate).tellg(), 7);
}

TEST_F(SetCommands, MorphSetsReplaceWithUndoAndRefuseAnotherFigure)
{
    const std::string path = Folders.Root.Path() + "faces.MorphSet";
    ASSERT_TRUE(Post(226, path));
    Smile->GetVertex(4)[1] = 2.0f;
    const int32_t records = TarnwickProject->UndoBuffer.UndoCount();
    const size_t morphs = UserMorphs(*Mesh).size();
    ASSERT_TRUE(Post(225, path));
    EXPECT_EQ(Smile->GetVertex(4)[1], 0.5f);
    // Every morph of the set replaced its namesake, each recorded first.
    EXPECT_EQ(UserMorphs(*Mesh).size(), morphs);
    EXPECT_EQ(TarnwickProject->UndoBuffer.UndoCount(), records + int32_t(morphs));
    TarnwickProject->UndoBuffer.Undo();
    EXPECT_EQ(Smile->GetVertex(4)[1], 2.0f);

    TTarnwick_Mesh other;
    MakeGrid(other, 5, 3);
    std::string problem;
    ASSERT_TRUE(WriteMorphSet(path, other.GetVertexCount(), UserMorphs(*Mesh), problem)) << problem;
    TakeStatusLines();
    EXPECT_FALSE(Post(225, path));
    EXPECT_EQ(Smile->GetVertex(4)[1], 2.0f);
    EXPECT_EQ(UserMorphs(*Mesh).size(), morphs);
    EXPECT_EQ(TarnwickProject->UndoBuffer.UndoCount(), records);
}

TEST_F(SetCommands, ImagesBecomeMapsBrushesAndMapPixels)
{
    // The smallest size a map may have.
    constexpr int32_t Side = 64;
    std::vector<uint8_t> pixels(3 * Side * Side);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = uint8_t(i % 251);
    const std::string image = Folders.Root.Path() + "stripes.png";
    std::string error;
    ASSERT_TRUE(SaveImageFile(image, pixels, Side, Side, TZAVImageChannels::RGB, error)) << error;
    const int32_t records = TarnwickProject->UndoBuffer.UndoCount();
    ASSERT_TRUE(Post(208, image));
    ASSERT_EQ(Mesh->MaterialMaps.Count(), 1);
    TZAVMaterialMap* map = MaterialMapAt(*Mesh, 0);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->Pixels.size(), pixels.size());
    std::fill(map->Pixels.begin(), map->Pixels.end(), uint8_t(0));
    ASSERT_TRUE(Post(210, image, 0));
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), map->Pixels.begin()));
    EXPECT_EQ(TarnwickProject->UndoBuffer.UndoCount(), records + 2);
    TakeStatusLines();
    EXPECT_FALSE(Post(210, image, 1));
    const std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().Text, "Please select a map");

    ASSERT_TRUE(Post(209, image));
    ASSERT_TRUE(Post(209, image));
    ASSERT_EQ(TarnwickProject->BrushImages.Count(), 2);
    EXPECT_NE(TarnwickProject->FindBrushImage("stripes"), nullptr);
    EXPECT_NE(TarnwickProject->FindBrushImage("stripes_1"), nullptr);
}

TEST_F(SetCommands, AFolderThatCannotBeWrittenIsReported)
{
    const std::string folder = Folders.Root.Path() + "closed/";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    EXPECT_TRUE(PassesAsUnprivilegedUserIn(folder, [&](const std::string& prefix) {
        chmod(folder.c_str(), 0555);
        ScriptedDialogs dialogs;
        return !Post(224, prefix + "regions.txt") && !Post(226, prefix + "faces.MorphSet") &&
               !FileExists(prefix + "faces.MorphSet");
    }));
}

} // namespace
