// The map export commands on the current object, and the exported files' names kept by a project
// save and reopen.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/file_commands.h"
#include "core/event.h"
#include "core/paths.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/material.h"
#include "mesh/scene_object.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "support/grid_mesh.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"

namespace {

// The files named by the colour channel of "Skin", the bump and the colour channel of "Eyes".
std::vector<std::string> ChannelFiles(const TTarnwick_Mesh& mesh)
{
    const TZAVMaterial* skin = mesh.Materials.Data()[0];
    const TZAVMaterial* eyes = mesh.Materials.Data()[1];
    return {skin->FindChannel("Color")->MapFileName, eyes->FindChannel("Bump")->MapFileName,
            eyes->FindChannel("Color")->MapFileName};
}

bool Dispatch(int32_t id, int32_t index = -1)
{
    TZAVEvent event(id);
    event.SetIndex(index);
    return HandleFileCommand(&event);
}

class MapExportCommands : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        TarnwickSettings = &Settings;
        TarnwickProject = Project.get();
        InstallMaterialMapReader();
    }
    void TearDown() override
    {
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
        // Its meshes page their morphs out until they go.
        Project.reset();
        PagedItemTest::TearDown();
    }

    TTarnwick_Settings Settings;
    std::unique_ptr<TTarnwick_Project> Project = std::make_unique<TTarnwick_Project>();
};

TEST_F(MapExportCommands, ExportTheEventsMapOrAllAndTheProjectKeepsTheFiles)
{
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    MakeDressedGrid(*mesh, 4, 3);
    auto* eyes = new TTarnwick_Material;
    eyes->SetNameLiteral("Eyes");
    eyes->AddDefaultChannels();
    mesh->Materials.Add(eyes);
    for (const char* name : {"Skin", "Iris"}) {
        auto map = std::make_unique<TZAVMaterialMap>();
        map->SetNameLiteral(name);
        ASSERT_TRUE(map->AllocatePixels(16, 8));
        mesh->MaterialMaps.Add(map.release());
    }
    AttachMap(*mesh, MaterialMapAt(*mesh, 0), "Color", "Skin");
    AttachMap(*mesh, MaterialMapAt(*mesh, 0), "Bump", "Eyes");
    AttachMap(*mesh, MaterialMapAt(*mesh, 1), "Color", "Eyes");
    auto* object = new TTarnwick_Object;
    object->SetNameLiteral("Figure");
    object->SetMesh(std::move(mesh));
    Project->AddObject(object);

    const std::string folder = Folders.Root.Path();
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, folder + "iris", "Iris")
            .ExpectFile(TZAVDialogKind::SaveFile, folder + "skin.tga", "Skin")
            .Expect(TZAVDialogKind::SaveFile, false, "iris")
            .Expect(TZAVDialogKind::SaveFile, false, "skin")
            .Expect(TZAVDialogKind::SaveFile, false, "iris");
        EXPECT_TRUE(Dispatch(215, 1));
        EXPECT_TRUE(Dispatch(220));
        EXPECT_FALSE(Dispatch(231));
    }
    const std::vector<std::string> expected = {folder + "skin.tga", folder + "skin.tga", folder + "iris.png"};
    EXPECT_EQ(ChannelFiles(*object->Mesh), expected);
    EXPECT_TRUE(FileExists(folder + "iris.png"));

    const std::string project_path = folder + "maps.Tarnwick";
    ASSERT_TRUE(Project->SaveProject(project_path, true)) << Project->Error();
    TTarnwick_Project reopened;
    ASSERT_TRUE(reopened.OpenProjectFile(project_path)) << reopened.Error();
    TTarnwick_Object* read = reopened.FindObject("Figure");
    ASSERT_TRUE(read != nullptr && read->Mesh);
    EXPECT_EQ(ChannelFiles(*read->Mesh), expected);
    EXPECT_STREQ(MaterialMapAt(*read->Mesh, 1)->GetName(), "iris");
}

} // namespace
