#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "support/grid_mesh.h"
#include "support/largest_allocation.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/warnings.h"

namespace {

class MaterialMap : public PagedItemTest
{
protected:
    void TearDown() override
    {
        TTarnwick_Mesh::SetMapBlockReader(nullptr);
        SetFreeMemoryReader(nullptr);
        PagedItemTest::TearDown();
    }
};

using Colour = std::array<uint8_t, 3>;

Colour FirstPixel(const TZAVMaterialMap& map)
{
    return {map.Pixels[0], map.Pixels[1], map.Pixels[2]};
}

const std::string RendererNotice =
    "\nYou may paint on this channel, however it's effects will not show up in Tarnwick's renderer.";

TEST_F(MaterialMap, CreateMapNamesAndColoursByChannel)
{
    struct Case
    {
        const char* Channel;
        const char* Name;
        Colour Pixel;
        bool Notice;
    };
    for (const Case& c : {Case{"Bump", "BumpMap", {128, 128, 128}, true},
                          Case{"displacement", "DisplacementMap", {0, 0, 0}, true},
                          Case{"Transparency", "TransparencyMap", {255, 255, 255}, true},
                          Case{"Specular", "New_Map", {255, 255, 255}, false}}) {
        ScriptedDialogs dialogs;
        std::unique_ptr<TZAVMaterialMap> map = CreateMap(c.Channel, 8, 4);
        ASSERT_NE(map, nullptr) << c.Channel;
        EXPECT_STREQ(map->GetName(), c.Name);
        EXPECT_EQ(map->Pixels.size(), 8u * 4 * 3);
        EXPECT_EQ(FirstPixel(*map), c.Pixel) << c.Channel;
        EXPECT_EQ(dialogs.Shown(TZAVDialogKind::Message, c.Channel + RendererNotice), c.Notice) << c.Channel;
        EXPECT_EQ(dialogs.Requests().size(), c.Notice ? 1u : 0u);
    }

    ScriptedDialogs dialogs;
    dialogs.ExpectColour(255, 51, 0);
    std::unique_ptr<TZAVMaterialMap> colour = CreateMap("Color", 2, 2);
    ASSERT_NE(colour, nullptr);
    EXPECT_STREQ(colour->GetName(), "ColorMap");
    EXPECT_FLOAT_EQ(colour->DefaultColor[1], 0.2f);
    EXPECT_EQ(FirstPixel(*colour), (Colour{255, 51, 0}));
    EXPECT_FALSE(dialogs.Shown(TZAVDialogKind::Message));

    dialogs.Expect(TZAVDialogKind::Colour, false);
    EXPECT_EQ(CreateMap("Color", 2, 2), nullptr);
}

// An image of 16384 × 16384 pixels and more is refused, naming its size, before any allocation.
TEST_F(MaterialMap, RefusesImagesTooLargeForMemory)
{
    TZAVMaterialMap map;
    ASSERT_TRUE(map.AllocatePixels(4, 4));
    ScriptedDialogs dialogs;
    ResetLargestAllocation();
    EXPECT_FALSE(map.AllocatePixels(16384, 16384));
    EXPECT_FALSE(map.AllocatePixels(2, INT32_MAX));
    EXPECT_FALSE(map.AllocatePixels(MaxMapSide + 1, 1));
    EXPECT_LT(LargestAllocation(), size_t(1) << 20);
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "16384 x 16384 pixels needs 768 MB"));
    EXPECT_EQ(map.Width, 4);
    EXPECT_EQ(map.Pixels.size(), 4u * 4 * 3);
}

TEST_F(MaterialMap, ExpandsRunLengthPlanesAndRefusesOverflow)
{
    // Three pixels: R 10 10 11, G 20 20 20, B 30 31 31.
    const std::vector<uint8_t> runs = {10, 2, 11, 1, 20, 3, 30, 1, 31, 2};
    std::vector<uint8_t> pixels;
    ASSERT_TRUE(ExpandMapPlanes(runs, 3, 3, pixels));
    EXPECT_EQ(pixels, (std::vector<uint8_t>{10, 20, 30, 10, 20, 31, 11, 20, 31}));

    std::vector<uint8_t> kept = {1, 2, 3};
    EXPECT_FALSE(ExpandMapPlanes(std::vector<uint8_t>{10, 2, 11, 1, 20, 3, 30, 1, 31, 3}, 3, 3, kept));
    EXPECT_EQ(kept, (std::vector<uint8_t>{1, 2, 3}));
}

// The old binary record: item record, sizes, file name, image block, mask flag and mask.
std::string OldRecord(int32_t width, int32_t height, const std::vector<uint8_t>& image, int32_t stored_size,
                      bool with_mask)
{
    std::string bytes(AfterItemRecord + 8 + 256 + 9, '\0');
    std::memcpy(bytes.data(), "Skin", 4);
    PutInt32(bytes, AfterItemRecord, width);
    PutInt32(bytes, AfterItemRecord + 4, height);
    std::memcpy(bytes.data() + AfterItemRecord + 8, "skin.png", 8);
    PutInt32(bytes, AfterItemRecord + 8 + 256 + 5, stored_size);
    bytes.append(image.begin(), image.end());
    bytes.push_back(with_mask ? 1 : 0);
    if (with_mask)
        bytes.append(size_t(width) * height / 8, char(0xA5));
    return bytes;
}

TEST_F(MaterialMap, ReadsOldBinaryRecordsAndRefusesDamagedOnes)
{
    const std::vector<uint8_t> runs = {10, 8, 20, 8, 30, 4, 31, 4};
    TZAVMaterialMap compressed;
    ASSERT_TRUE(LoadPayload(compressed, OldRecord(4, 2, runs, int32_t(runs.size()), true)));
    EXPECT_STREQ(compressed.GetName(), "Skin");
    EXPECT_EQ(compressed.MapFileName, "skin.png");
    EXPECT_EQ(compressed.Width, 4);
    EXPECT_EQ(compressed.Pixels[3 * 7 + 2], 31);
    EXPECT_EQ(compressed.CoverageMask, std::vector<uint8_t>{0xA5});

    std::vector<uint8_t> raw(2 * 1 * 3);
    std::iota(raw.begin(), raw.end(), uint8_t(1));
    TZAVMaterialMap stored;
    ASSERT_TRUE(LoadPayload(stored, OldRecord(2, 1, raw, 0, false)));
    EXPECT_EQ(stored.Pixels, raw);
    EXPECT_FALSE(stored.CoverageValid);

    ScriptedDialogs dialogs;
    TZAVMaterialMap damaged;
    const std::vector<uint8_t> overflowing = {10, 8, 20, 8, 30, 9};
    EXPECT_FALSE(LoadPayload(damaged, OldRecord(4, 2, overflowing, 6, false)));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Error expanding the texture"));
    ResetLargestAllocation();
    EXPECT_FALSE(LoadPayload(damaged, OldRecord(4, 2, runs, INT32_MAX, false)));
    EXPECT_FALSE(LoadPayload(damaged, OldRecord(16384, 16384, runs, 8, false)));
    // Found by fuzzing: a map too wide to be written as a PNG, which made its project unsavable.
    EXPECT_FALSE(LoadPayload(damaged, OldRecord(MaxMapSide + 1, 1, runs, 8, false)));
    EXPECT_LT(LargestAllocation(), size_t(1) << 20);
    EXPECT_EQ(TakeWarnings().size(), 3u);
    EXPECT_FALSE(damaged.HasPixels());
    EXPECT_STREQ(damaged.GetName(), "New_Map");

    StreamFile file(std::tmpfile());
    EXPECT_FALSE(compressed.SaveToStream(file.get()));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "TZAVMaterialMap::SaveToStream() is obsolete"));
}

std::string MapBlock(const std::string& lines)
{
    return "map\t0\n{\n" + lines + "}\n";
}

// The pixels travel as PNG bytes; an image that cannot be decoded, or that disagrees with the
// record's size, fails the map.
TEST_F(MaterialMap, PixelsTravelAsPngAndBadImagesFailTheMap)
{
    TZAVMaterialMap map;
    map.SetNameLiteral("Skin");
    ASSERT_TRUE(map.AllocatePixels(5, 3));
    for (size_t i = 0; i < map.Pixels.size(); i++)
        map.Pixels[i] = uint8_t(i * 37);
    const std::string lines = TextOf(map);
    EXPECT_NE(lines.find("data\t\n{\n\tSize\t"), std::string::npos);

    TZAVMaterialMap copy;
    ASSERT_TRUE(ReadText(copy, MapBlock(lines)));
    EXPECT_EQ(copy.Width, 5);
    EXPECT_EQ(copy.Height, 3);
    EXPECT_EQ(copy.Pixels, map.Pixels);

    std::string error;
    TZAVMaterialMap resized;
    EXPECT_FALSE(ReadText(resized, MapBlock(lines + "Width\t4\n"), &error));
    EXPECT_NE(error.find("other sizes than its Width 4 and Height 3"), std::string::npos) << error;

    StreamFile file(std::tmpfile());
    const std::string garbage = "not a picture at all";
    ASSERT_TRUE(WriteBinaryBlock(file.get(),
                                 {reinterpret_cast<const uint8_t*>(garbage.data()), garbage.size()}, "data"));
    TZAVMaterialMap broken;
    EXPECT_FALSE(ReadText(broken, MapBlock("Name\tBroken\n" + ContentsOf(file.get())), &error));
    EXPECT_NE(error.find("the image of the map \"Broken\" cannot be read"), std::string::npos) << error;
    EXPECT_FALSE(broken.HasPixels());
}

int64_t free_memory = 0;

// A map that would not fit in the free memory is refused with its size, whether it is made, loaded
// from an image or read from a project.
TEST_F(MaterialMap, RefusesMapsLargerThanTheFreeMemory)
{
    TZAVMaterialMap source;
    ASSERT_TRUE(source.AllocatePixels(5, 3));
    const std::string lines = TextOf(source);
    std::string error;
    const std::string path = Folders.Root.Path() + "skin.tga";
    ASSERT_TRUE(
        SaveImageFile(path, std::vector<uint8_t>(64 * 64 * 3, 7), 64, 64, TZAVImageChannels::RGB, error));
    SetFreeMemoryReader([] { return free_memory; });

    free_memory = int64_t(1) << 20;
    ScriptedDialogs dialogs;
    EXPECT_FALSE(source.AllocatePixels(1024, 1024));
    EXPECT_TRUE(
        dialogs.Shown(TZAVDialogKind::Error,
                      "The map of 1024 x 1024 pixels needs 3.1 MB of memory, but only 1.0 MB is free."));
    EXPECT_EQ(source.Width, 5);
    EXPECT_EQ(source.Pixels.size(), 5u * 3 * 3);

    free_memory = 12 * 1024;
    EXPECT_EQ(LoadMapFile(path, error), nullptr);
    EXPECT_EQ(error, "The map of 64 x 64 pixels needs 12.5 KB of memory, but only 12.0 KB is free.");
    free_memory = 64 * 64 * 3 + 64 * 64 / 8;
    EXPECT_NE(LoadMapFile(path, error), nullptr) << error;

    free_memory = 46;
    TZAVMaterialMap copy;
    EXPECT_FALSE(ReadText(copy, MapBlock(lines), &error));
    EXPECT_NE(error.find("The map of 5 x 3 pixels needs 47 bytes of memory, but only 46 bytes is free."),
              std::string::npos)
        << error;
    EXPECT_FALSE(copy.HasPixels());
}

enum class Pixels
{
    Filled,
    None,
};

void AddMap(TTarnwick_Mesh& mesh, const char* name, int32_t width, int32_t height, float grey, Pixels pixels)
{
    auto* map = new TZAVMaterialMap;
    map->SetNameLiteral(name);
    std::fill(map->DefaultColor, map->DefaultColor + 3, grey);
    map->Width = width;
    map->Height = height;
    if (pixels == Pixels::Filled) {
        ASSERT_TRUE(map->AllocatePixels(width, height));
    }
    map->MapFileName = std::string(name) + ".png";
    map->FileFormat = "PNG";
    mesh.MaterialMaps.Add(map);
}

// Maps travel inside the mesh block once the reader is installed, and are skipped without it.
TEST_F(MaterialMap, MeshBlockCarriesItsMaps)
{
    TTarnwick_Mesh mesh;
    MakeDressedGrid(mesh, 4, 3);
    AddMap(mesh, "BumpMap", 8, 4, 0.5f, Pixels::Filled);
    AddMap(mesh, "Second Map", 2, 2, 0.25f, Pixels::None);
    const std::string text = TextOf(mesh);
    for (const char* line :
         {"\tmap\t1\n", "\t\tWidth\t8\n", "\t\tHeight\t4\n", "\t\tMapFileName\tBumpMap.png\n",
          "\t\tFileFormat\tPNG\n", "\t\tDefaultColor\t0.50000000 0.50000000 0.50000000\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    TTarnwick_Mesh skipped;
    ASSERT_TRUE(ReadText(skipped, text));
    EXPECT_EQ(skipped.MaterialMaps.Count(), 0);
    EXPECT_EQ(skipped.GetPolygonCount(), mesh.GetPolygonCount());

    InstallMaterialMapReader();
    TTarnwick_Mesh copy;
    ASSERT_TRUE(ReadText(copy, text));
    ASSERT_EQ(copy.MaterialMaps.Count(), 2);
    EXPECT_TRUE(copy.MapsEdited);
    TZAVMaterialMap* second = MaterialMapAt(copy, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second->GetName(), "Second Map");
    EXPECT_EQ(second->Width, 2);
    EXPECT_EQ(second->MapFileName, "Second Map.png");
    EXPECT_EQ(second->FileFormat, "PNG");
    EXPECT_FLOAT_EQ(second->DefaultColor[2], 0.25f);
    EXPECT_FALSE(second->HasPixels());
    EXPECT_EQ(MaterialMapAt(copy, 0)->Pixels, MaterialMapAt(mesh, 0)->Pixels);
    EXPECT_EQ(MaterialMapAt(copy, 2), nullptr);

    // A map of an impossible size is dropped alone, with a warning, and the rest is read.
    const size_t width_line = text.find("\t\tWidth\t2\n");
    ASSERT_NE(width_line, std::string::npos);
    std::string damaged = text;
    damaged.replace(width_line, 10, "\t\tWidth\t-2\n");
    TakeWarnings();
    TTarnwick_Mesh partial;
    ASSERT_TRUE(ReadText(partial, damaged));
    ASSERT_EQ(partial.MaterialMaps.Count(), 1);
    EXPECT_STREQ(MaterialMapAt(partial, 0)->GetName(), "BumpMap");
    EXPECT_EQ(partial.GetPolygonCount(), mesh.GetPolygonCount());
    const std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("the map 1 was dropped: the map \"Second Map\" gives the size -2 x 2"),
              std::string::npos)
        << warnings[0];
}

TEST_F(MaterialMap, MapsLoadFromImagesAttachToChannelsAndAssignmentsComeBack)
{
    TTarnwick_Mesh mesh;
    MakeDressedGrid(mesh, 4, 3);
    auto* second = new TTarnwick_Material;
    second->SetNameLiteral("Eyes");
    second->AddDefaultChannels();
    mesh.Materials.Add(second);

    std::vector<uint8_t> rgb(64 * 64 * 3);
    for (size_t index = 0; index < rgb.size(); index++)
        rgb[index] = uint8_t(index % 253);
    std::string error;
    const std::string path = Folders.Root.Path() + "skin.tga";
    ASSERT_TRUE(SaveImageFile(path, rgb, 64, 64, TZAVImageChannels::RGB, error)) << error;
    std::unique_ptr<TZAVMaterialMap> map = LoadMapFile(path, error);
    ASSERT_NE(map, nullptr) << error;
    EXPECT_EQ(map->Name, "skin");
    EXPECT_EQ(map->FileFormat, "TGA");
    EXPECT_EQ(map->Width, 64);
    EXPECT_EQ(map->Pixels, rgb);
    EXPECT_EQ(LoadMapFile(Folders.Root.Path() + "gone.png", error), nullptr);
    EXPECT_NE(error.find("gone.png"), std::string::npos) << error;

    TTarnwick_MapAssignments before;
    before.Capture(mesh);
    TZAVMaterialMap* attached = map.release();
    EXPECT_EQ(AttachMap(mesh, attached, "Bump", "Eyes"), 1);
    EXPECT_EQ(AttachMap(mesh, attached, "color", ""), 2);
    EXPECT_EQ(mesh.MaterialMaps.Count(), 1);
    EXPECT_EQ(second->FindChannel("Bump")->TextureIndex, 0);
    EXPECT_EQ(second->FindChannel("Color")->TextureIndex, 0);

    // Taking the assignment back skips a material that is gone and a map index past the list.
    TTarnwick_MapAssignments after;
    after.Capture(mesh);
    mesh.Materials.RemoveAt(1);
    delete second;
    EXPECT_EQ(before.Restore(mesh), 7);
    EXPECT_EQ(mesh.Materials.Data()[0]->FindChannel("Color")->TextureIndex, -1);
    EXPECT_EQ(after.Restore(mesh), 7);
    EXPECT_EQ(mesh.Materials.Data()[0]->FindChannel("Color")->TextureIndex, 0);
    mesh.MaterialMaps.RemoveAt(0);
    delete attached;
    EXPECT_EQ(after.Restore(mesh), 7);
    EXPECT_EQ(mesh.Materials.Data()[0]->FindChannel("Color")->TextureIndex, -1);
}

} // namespace
