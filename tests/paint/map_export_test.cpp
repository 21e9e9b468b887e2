#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/status.h"
#include "mesh/material.h"
#include "paint/image_file.h"
#include "paint/map_assignments.h"
#include "paint/map_export.h"
#include "paint/material_map.h"
#include "paint/uv_meshes.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/unprivileged.h"

namespace {

constexpr int32_t Side = 64;

class MapExport : public PagedItemTest
{
protected:
    // One island at pixels 16 to 31; the map "Skin" is the colour of the material "Skin" and the
    // bump of "Eyes"; a second map "Blank" has no pixels.
    void SetUp() override
    {
        PagedItemTest::SetUp();
        MakeUvQuads(*Mesh, {{0.25f, 0.25f, 0.5f, 0.5f}});
        for (const char* name : {"Skin", "Eyes"}) {
            auto* material = new TTarnwick_Material;
            material->SetNameLiteral(name);
            material->AddDefaultChannels();
            Mesh->Materials.Add(material);
        }
        auto map = std::make_unique<TZAVMaterialMap>();
        map->SetNameLiteral("Skin");
        ASSERT_TRUE(map->AllocatePixels(Side, Side));
        for (size_t i = 0; i < map->Pixels.size(); i++)
            map->Pixels[i] = uint8_t((i * 7) % 251);
        Map = map.release();
        AttachMap(*Mesh, Map, "Color", "Skin");
        AttachMap(*Mesh, Map, "Bump", "Eyes");
        auto blank = std::make_unique<TZAVMaterialMap>();
        blank->SetNameLiteral("Blank");
        Mesh->MaterialMaps.Add(blank.release());
        ImagesFolder = Folders.Root.Path();
        TakeStatusLines();
    }

    TZAVMaterialChannel* Channel(int32_t material, const char* name) const
    {
        return Mesh->Materials.Data()[material]->FindChannel(name);
    }

    // The map file names of Skin's colour, Eyes' bump and Eyes' colour channel.
    std::vector<std::string> ChannelFiles() const
    {
        return {Channel(0, "Color")->MapFileName, Channel(1, "Bump")->MapFileName,
                Channel(1, "Color")->MapFileName};
    }

    std::vector<uint8_t> ReadBack(const std::string& path) const
    {
        const std::string bytes = TemporaryFolder::Read(path);
        TZAVPixelBuffer pixels;
        int32_t width = 0;
        int32_t height = 0;
        std::string error;
        EXPECT_TRUE(DecodeImageBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, pixels,
                                     width, height, error))
            << path << ": " << error;
        if (!pixels || width != Side || height != Side)
            return {};
        return {pixels.get(), pixels.get() + size_t(Side) * Side * 3};
    }

    // The mesh pages its morphs until it goes.
    void TearDown() override
    {
        Mesh.reset();
        PagedItemTest::TearDown();
    }

    TTarnwick_MapExportTarget Target() { return {Mesh.get(), &Types, &ImagesFolder}; }

    std::unique_ptr<TTarnwick_Mesh> Mesh = std::make_unique<TTarnwick_Mesh>();
    TZAVMaterialMap* Map = nullptr;
    TTarnwick_ImageTypeList Types{{"png", "tga", "bmp", "jpg"}, 0};
    std::string ImagesFolder;
};

std::vector<std::string> Texts(const std::vector<TZAVStatusLine>& lines)
{
    std::vector<std::string> texts;
    for (const TZAVStatusLine& line : lines)
        texts.push_back(line.Text);
    return texts;
}

TEST_F(MapExport, WrittenFilesReadBackAsTheMapAndTheChannelsNameThem)
{
    // Import dialogs put every type into one entry first.
    std::string filter;
    BuildImageFilter(filter, Types, "All Image Files");
    EXPECT_EQ(SplitDialogFilter(filter)[0].Pattern, "*.png;*.tga;*.bmp;*.jpg");
    const std::vector<uint8_t> pixels = Map->Pixels;
    for (const char* type : {"png", "TGA", "bmp"}) {
        const std::string path = Folders.Root.Path() + "exported." + type;
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, path);
        const std::string previous_name = Map->Name;
        ASSERT_TRUE(ExportSelectedMap(Target(), 0)) << type;
        EXPECT_EQ(dialogs.Requests()[0].DefaultName, previous_name);
        EXPECT_EQ(dialogs.Requests()[0].StartFolder, Folders.Root.Path());
        const std::vector<TZAVDialogFilterEntry> entries = SplitDialogFilter(dialogs.Requests()[0].Filter);
        ASSERT_EQ(entries.size(), 4u);
        EXPECT_EQ(entries[1].Description + entries[1].Pattern, "tga Files*.tga");
        EXPECT_EQ(ReadBack(path), pixels) << type;
        EXPECT_EQ(ChannelFiles(), (std::vector<std::string>{path, path, ""}));
        EXPECT_EQ(Map->Name, "exported");
        EXPECT_EQ(Map->MapFileName, path);
    }
}

TEST_F(MapExport, NamesWithoutAWritableExtensionGetTheCurrentTypeAndAskBeforeOverwriting)
{
    const std::string folder = Folders.Root.Path();
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, folder + "skin_final");
        ASSERT_TRUE(ExportSelectedMap(Target(), 0));
    }
    EXPECT_TRUE(FileExists(folder + "skin_final.png"));
    EXPECT_EQ(Map->Name, "skin_final");

    // The type chosen in the dialog becomes the current one.
    const std::string tga = folder + "skin.xyz.tga";
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, folder + "skin.xyz", "", 1);
        ASSERT_TRUE(ExportSelectedMap(Target(), 0));
    }
    EXPECT_TRUE(FileExists(tga));
    EXPECT_EQ(Types.Current, 1);
    EXPECT_EQ(Channel(0, "Color")->MapFileName, tga);

    const std::string before = TemporaryFolder::Read(tga);
    Map->Pixels.assign(Map->Pixels.size(), 9);
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, folder + "other.xyz", "", 1)
            .ExpectFile(TZAVDialogKind::SaveFile, folder + "skin.xyz", "", 1)
            .Expect(TZAVDialogKind::YesNo, false,
                    "The file " + tga + " exists.\n\nDo you want to overwrite it?");
        ASSERT_TRUE(ExportSelectedMap(Target(), 0));
        ASSERT_FALSE(ExportSelectedMap(Target(), 0));
    }
    EXPECT_EQ(TemporaryFolder::Read(tga), before);
    EXPECT_EQ(Map->Name, "other.xyz");
}

TEST_F(MapExport, AMissingOrEmptyMapIsReportedAndWritesNothing)
{
    {
        ScriptedDialogs dialogs;
        EXPECT_FALSE(ExportSelectedMap(Target(), 2));
        EXPECT_TRUE(dialogs.Requests().empty());
    }
    ScriptedDialogs dialogs;
    dialogs.ExpectFile(TZAVDialogKind::SaveFile, Folders.Root.Path() + "blank.png");
    EXPECT_FALSE(ExportSelectedMap(Target(), 1));
    EXPECT_EQ(Texts(TakeStatusLines()),
              (std::vector<std::string>{"Please select a map", "This map has no pixels"}));
    EXPECT_FALSE(FileExists(Folders.Root.Path() + "blank.png"));
    EXPECT_STREQ(MaterialMapAt(*Mesh, 1)->GetName(), "Blank");
}

TEST_F(MapExport, ThePaintedSeamPaddingIsWritten)
{
    Map->SetBleedWidth(1);
    Map->BuildQuadTree(*Mesh);
    Map->ComputeCoverageMask(*Mesh);
    for (int32_t pixel = 0; pixel < Side * Side; pixel++)
        if (Map->IsCovered(pixel))
            std::fill_n(&Map->Pixels[3 * size_t(pixel)], 3, uint8_t(255));
    LocateMapPixel(Map->Root, Side, Side, 0.3f, 0.3f).Node->Dirty = 1;
    const std::string path = Folders.Root.Path() + "padded.png";
    ScriptedDialogs dialogs;
    dialogs.ExpectFile(TZAVDialogKind::SaveFile, path);
    ASSERT_TRUE(ExportSelectedMap(Target(), 0));
    const std::vector<uint8_t> written = ReadBack(path);
    ASSERT_FALSE(written.empty());
    // The pixel diagonally outside the island's corner, and one two pixels away.
    EXPECT_EQ(written[3 * size_t(15 * Side + 15)], 255);
    EXPECT_NE(written[3 * size_t(14 * Side + 14)], 255);
}

TEST_F(MapExport, ExportingAllSkipsACancelledMapOnly)
{
    TZAVMaterialMap* second = MaterialMapAt(*Mesh, 1);
    ASSERT_TRUE(second->AllocatePixels(8, 8));
    AttachMap(*Mesh, second, "Color", "Eyes");
    const std::string path = Folders.Root.Path() + "second.bmp";
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::SaveFile, false, "Skin")
        .ExpectFile(TZAVDialogKind::SaveFile, path, "Blank");
    EXPECT_EQ(ExportAllMaps(Target()), 1);
    EXPECT_EQ(ChannelFiles(), (std::vector<std::string>{"", "", path}));
    EXPECT_EQ(Map->Name, "Skin");
    EXPECT_STREQ(second->GetName(), "second");
    EXPECT_TRUE(FileExists(path));
}

TEST_F(MapExport, AFolderThatCannotBeWrittenChangesNoChannel)
{
    const std::string folder = Folders.Root.Path() + "locked/";
    ASSERT_TRUE(EnsureFolder(folder));
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_TRUE(PassesAsUnprivilegedUserIn(folder, [this](const std::string& prefix) {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, prefix + "skin.png")
            .ExpectFile(TZAVDialogKind::SaveFile, prefix + "skin.tga")
            .Expect(TZAVDialogKind::SaveFile, false);
        TakeStatusLines();
        const bool refused = !ExportSelectedMap(Target(), 0) && ExportAllMaps(Target()) == 0;
        const std::vector<std::string> warnings = Texts(TakeStatusLines());
        return refused &&
               warnings == std::vector<std::string>{"Error saving the file...\n\n" + prefix + "skin.png"} &&
               dialogs.Shown(TZAVDialogKind::Error, prefix + "skin.tga") &&
               ChannelFiles() == std::vector<std::string>{"", "", ""} && Map->Name == "Skin" &&
               TemporaryFolder::Names(prefix.empty() ? "." : prefix).empty();
    }));
    chmod(folder.c_str(), 0700);
}

} // namespace
