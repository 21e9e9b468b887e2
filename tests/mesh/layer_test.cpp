// Polygon layers: the layer list and its current layer, the governing layer, the hidden and
// locked bits the layers give to meshes, the "layer" block, layer set files and their folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/paths.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/tree_group.h"
#include "mesh/layer.h"
#include "mesh/layer_commands.h"
#include "mesh/layer_set.h"
#include "mesh/poly_mesh.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/stream_file.h"
#include "support/strip_mesh.h"
#include "support/temp_folder.h"

namespace {

// A strip of polygon_count triangles: triangle p uses vertices p, p + 1, p + 2.
void BuildStrip(TZAVPolyMesh& mesh, int32_t polygon_count)
{
    mesh.Allocate(polygon_count + 2, 0, 0, polygon_count);
    mesh.AllocateCorners(polygon_count * 3);
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        for (int32_t k = 0; k < 3; k++)
            mesh.CornerVertex[polygon * 3 + k] = polygon + k;
        mesh.EndPolygon(polygon, polygon * 3 + 3);
    }
}

std::vector<int32_t> PolygonsWith(const TZAVPolyMesh& mesh, uint32_t flag)
{
    std::vector<int32_t> polygons;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
        if (mesh.PolygonFlags[polygon] & flag)
            polygons.push_back(polygon);
    return polygons;
}

std::vector<int32_t> VerticesWith(const TZAVPolyMesh& mesh, uint32_t flag)
{
    std::vector<int32_t> vertices;
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        if (mesh.VertexFlags[vertex] & flag)
            vertices.push_back(vertex);
    return vertices;
}

struct PanelCounts
{
    int32_t Refreshed = 0;
};

void CountRefresh(void* data)
{
    static_cast<PanelCounts*>(data)->Refreshed++;
}

class LayerSetFiles : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folders.Made);
        SetTextBlockLevel(0);
        TakeStatusLines();
    }

    // masks sized for polygon_count polygons of a mesh of polygon_count + 2 vertices.
    TTarnwick_LayerSetMesh MeshOf(std::vector<uint32_t>& masks)
    {
        return {int32_t(masks.size()) + 2, int32_t(masks.size()), &masks};
    }

    UserFoldersInTemp Folders;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

// [SECTION] The layer list

TEST(LayerList, SetCurrentLayerReportsOnlyChanges)
{
    TTarnwick_LayerList layers;
    PanelCounts panel;
    layers.Hooks.Data = &panel;
    layers.Hooks.RefreshLayerPanel = CountRefresh;
    TakeStatusLines();

    EXPECT_TRUE(layers.SetCurrentLayer(5));
    EXPECT_EQ(layers.GetCurrentLayer(), &layers.Layers[5]);
    EXPECT_TRUE(layers.Layers[5].Current);
    EXPECT_FALSE(layers.Layers[0].Current);
    EXPECT_FALSE(layers.SetCurrentLayer(5));
    std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Kind, TZAVStatusKind::Status);
    EXPECT_EQ(lines[0].Text, "Changing to layer  5");
    EXPECT_EQ(panel.Refreshed, 1);

    // Out of range means layer 0, and nothing happens once layer 0 is current.
    EXPECT_TRUE(layers.SetCurrentLayer(40));
    EXPECT_EQ(layers.CurrentLayer, 0);
    EXPECT_FALSE(layers.SetCurrentLayer(-3));
    EXPECT_EQ(panel.Refreshed, 2);

    // A current layer set out of range from outside still hands out layer 0.
    layers.CurrentLayer = 77;
    EXPECT_EQ(layers.GetCurrentLayer(), &layers.Layers[0]);
}

// [SECTION] Governing layer

TEST(GoverningLayer, FollowsTheFourRulesInOrder)
{
    TTarnwick_LayerList layers;
    const uint32_t in_3_and_9 = LayerBit(3) | LayerBit(9);

    // 4: in no layer.
    EXPECT_EQ(GoverningLayer(0, layers), 0);
    // 3: the highest layer that holds it.
    EXPECT_EQ(GoverningLayer(in_3_and_9, layers), 9);
    // 2: the current layer wins over a higher one.
    layers.CurrentLayer = 3;
    EXPECT_EQ(GoverningLayer(in_3_and_9, layers), 3);
    layers.CurrentLayer = 4;
    EXPECT_EQ(GoverningLayer(in_3_and_9, layers), 9);
    // 1: a locked layer wins over the current one, the highest locked first.
    layers.CurrentLayer = 9;
    layers.Layers[3].Locked = 1;
    EXPECT_EQ(GoverningLayer(in_3_and_9, layers), 3);
    EXPECT_EQ(GoverningLayer(LayerBit(31), layers), 31);
    EXPECT_EQ(GoverningLayer(LayerBit(31) | LayerBit(3), layers), 31);
    // 1: a locked layer 0 when none of the polygon's layers is locked.
    layers.Layers[0].Locked = 1;
    EXPECT_EQ(GoverningLayer(LayerBit(9), layers), 0);
    EXPECT_EQ(GoverningLayer(in_3_and_9, layers), 3);
}

// [SECTION] Hidden and locked bits

TEST(LayerMasks, PolygonInLayers3And30IsHiddenByDefault)
{
    TTarnwick_LayerList layers;
    TZAVPolyMesh mesh;
    BuildStrip(mesh, 3);
    std::vector<uint32_t> masks = {0, LayerBit(3) | LayerBit(30), LayerBit(3)};
    EXPECT_EQ(masks[1], (1u << 2) | (1u << 29));

    ApplyLayerVisibilityToMesh(layers, mesh, masks);
    EXPECT_EQ(PolygonsWith(mesh, PolygonFlag_Hidden), std::vector<int32_t>{1});
    EXPECT_EQ(mesh.VisiblePolygons, (std::vector<int32_t>{0, 2}));
}

TEST(LayerMasks, HidingLayer0HidesAllAndShowingItRestoresTheLayers)
{
    TTarnwick_LayerList layers;
    TZAVPolyMesh mesh;
    BuildStrip(mesh, 4);
    std::vector<uint32_t> masks = {LayerBit(2), LayerBit(5), LayerBit(2) | LayerBit(5), 0};
    layers.Layers[5].SetHidden(true);
    ApplyLayerVisibilityToMesh(layers, mesh, masks);
    const std::vector<int32_t> per_layer = {1, 2};
    EXPECT_EQ(PolygonsWith(mesh, PolygonFlag_Hidden), per_layer);

    layers.Layers[0].SetHidden(true);
    ApplyLayerVisibilityToMesh(layers, mesh, masks);
    EXPECT_EQ(PolygonsWith(mesh, PolygonFlag_Hidden), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_TRUE(mesh.VisiblePolygons.empty());

    layers.Layers[0].SetHidden(false);
    ApplyLayerVisibilityToMesh(layers, mesh, masks);
    EXPECT_EQ(PolygonsWith(mesh, PolygonFlag_Hidden), per_layer);
}

TEST(LayerMasks, LocksReachPolygonsOfLockedLayersAndTheirVertices)
{
    TTarnwick_LayerList layers;
    TZAVPolyMesh mesh;
    BuildStrip(mesh, 4);
    // Masks for only three polygons: the fourth is in no layer.
    std::vector<uint32_t> masks = {0, LayerBit(31), 0};
    mesh.PolygonFlags[3] |= PolygonFlag_Hidden;

    ApplyLayerLocksToMesh(layers, mesh, masks);
    EXPECT_EQ(PolygonsWith(mesh, PolygonFlag_Locked), std::vector<int32_t>{1});
    EXPECT_EQ(VerticesWith(mesh, VertexFlag_Locked), (std::vector<int32_t>{1, 2, 3}));

    layers.Layers[0].Locked = 1;
    ApplyLayerLocksToMesh(layers, mesh, masks);
    EXPECT_EQ(PolygonsWith(mesh, PolygonFlag_Locked).size(), 4u);
    EXPECT_EQ(VerticesWith(mesh, VertexFlag_Locked).size(), 6u);

    layers.Layers[0].Locked = 0;
    layers.Layers[31].Locked = 0;
    ApplyLayerLocksToMesh(layers, mesh, masks);
    EXPECT_TRUE(PolygonsWith(mesh, PolygonFlag_Locked).empty());
    EXPECT_TRUE(VerticesWith(mesh, VertexFlag_Locked).empty());
    // Other bits are left alone.
    EXPECT_EQ(PolygonsWith(mesh, PolygonFlag_Hidden), std::vector<int32_t>{3});
}

class LayersOverObjects : public PagedItemTest
{
};

TEST_F(LayersOverObjects, LocksAndVisibilityReachEveryObjectOfTheTree)
{
    TTarnwick_LayerList layers;
    TTarnwick_ObjectTreeGroup tree(CreateSceneObject);
    auto first = MakeStripObject(3);
    auto second = MakeStripObject(2);
    TTarnwick_Mesh& near_mesh = *first->Mesh;
    TTarnwick_Mesh& far_mesh = *second->Mesh;
    near_mesh.PolygonLayerFlags = {LayerBit(5), 0, LayerBit(8)};
    far_mesh.PolygonLayerFlags = {0, LayerBit(5)};
    tree.List.Add(first.release());
    // The second object sits in a sub-group, beside a camera that has no mesh.
    auto* group = new TTarnwick_ObjectTreeGroup(CreateSceneObject);
    group->List.Add(new TTarnwick_Camera);
    group->List.Add(second.release());
    tree.AddChild(group);

    layers.Layers[5].Locked = 1;
    layers.Layers[8].SetHidden(true);
    ApplyLayerLocks(layers, &tree);
    ApplyLayerVisibility(layers, &tree);
    EXPECT_EQ(PolygonsWith(near_mesh, PolygonFlag_Locked), std::vector<int32_t>{0});
    EXPECT_EQ(PolygonsWith(far_mesh, PolygonFlag_Locked), std::vector<int32_t>{1});
    EXPECT_EQ(VerticesWith(far_mesh, VertexFlag_Locked), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(PolygonsWith(near_mesh, PolygonFlag_Hidden), std::vector<int32_t>{2});
    EXPECT_TRUE(PolygonsWith(far_mesh, PolygonFlag_Hidden).empty());

    layers.Layers[5].Locked = 0;
    ApplyLayerLocks(layers, &tree);
    ApplyLayerVisibility(layers, &tree);
    EXPECT_EQ(near_mesh.VisiblePolygons, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(far_mesh.VisiblePolygons, (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(VerticesWith(far_mesh, VertexFlag_Locked).empty());
}

// [SECTION] The "layer" block

TEST(LayerBlock, WritesItsLinesInOrderAndReadsThemBack)
{
    SetTextBlockLevel(0);
    TTarnwick_Layer layer;
    layer.SetNameLiteral("Arms");
    layer.ID = 0;
    layer.Color[0] = 0.25f;
    layer.Color[1] = 0.5f;
    layer.Color[2] = 1.0f;
    layer.DisplayFlags = LayerDisplay_WireFrameOverlay | LayerDisplay_Hidden | LayerDisplay_Points;
    layer.Locked = 1;
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(layer.SaveToStream_Text(file.get()));
    EXPECT_EQ(ContentsOf(file.get()),
              "layer\tArms\n{\n\tName\tArms\n\tReadOnly\t0\n"
              "\tColor\t0.25000000 0.50000000 1.00000000\n"
              "\tUseViewportDefault\t0\n\tTextured\t0\n\tStippled\t0\n\tWireFrame\t0\n"
              "\tWireFrameOverlay\t1\n\tPoints\t1\n\tHidden\t1\n\tSmooth\t0\n"
              "\tFilter\t0\n\tLocked\t1\n}\n");

    // Keys in any case; a non-zero integer sets a flag and zero clears it.
    StreamFile text = FileHolding("{\nNAME\t100% %s\ncolor\t0.1 0.2 0.3\nStippled\t7\nsmooth\t0\n"
                                  "Filter\t1\nlocked\t3\n}\n");
    TTarnwick_Layer read;
    TZAVTextReader reader(text.get(), "figure.Tarnwick");
    ASSERT_TRUE(read.LoadFromStream_Text(reader));
    EXPECT_EQ(read.Name, "100% %s");
    EXPECT_FLOAT_EQ(read.Color[2], 0.3f);
    EXPECT_EQ(read.DisplayFlags, LayerDisplay_UseViewportDefault | LayerDisplay_Textured |
                                     LayerDisplay_Stippled | LayerDisplay_Filter);
    EXPECT_EQ(read.Locked, 1);
}

// [SECTION] Layer set files

TEST_F(LayerSetFiles, RoundTripOntoAnotherCopyOfTheMesh)
{
    TTarnwick_LayerList saved;
    saved.Layers[4].SetNameLiteral("Left %s hand");
    saved.Layers[4].Locked = 1;
    saved.Layers[30].SetHidden(false);
    std::vector<uint32_t> masks = {LayerBit(4), 0, LayerBit(4) | LayerBit(30), 0xFFFFFFFFu};
    std::string path = Folders.Root.Path() + "hands.LaySet";
    ASSERT_TRUE(SaveLayerSet(path, saved, MeshOf(masks)));
    std::string text = TemporaryFolder::Read(path);
    EXPECT_EQ(text.rfind("verify_vcount 6\nverify_pcount 4\nlayer\tEntire Object\n{\n", 0), 0u) << text;
    EXPECT_NE(text.find("PolygonLayerFlags\t\n{\n\tSize\t24\n"), std::string::npos);

    TTarnwick_LayerList loaded;
    loaded.SetCurrentLayer(2);
    TakeStatusLines();
    std::vector<uint32_t> target(4, 0);
    ASSERT_TRUE(LoadLayerSet(path, loaded, MeshOf(target)));
    EXPECT_EQ(target, masks);
    EXPECT_EQ(loaded.Layers[4].Name, "Left %s hand");
    EXPECT_EQ(loaded.Layers[4].Locked, 1);
    EXPECT_FALSE(loaded.Layers[30].IsHidden());
    // The current layer is the project's, not the file's.
    EXPECT_TRUE(loaded.Layers[2].Current);
    EXPECT_FALSE(loaded.Layers[0].Current);
    EXPECT_TRUE(TakeStatusLines().empty());
}

TEST_F(LayerSetFiles, PolygonCountMismatchKeepsOnlyWhatCameBefore)
{
    ScriptedDialogs dialogs;
    std::string path =
        Folders.Root.Write("other.LaySet", "verify_vcount 99\n"
                                           "layer\tBefore\n{\n\tName\tBefore\n\tHidden\t1\n}\n"
                                           "verify_pcount 3\n"
                                           "layer\tAfter\n{\n\tName\tAfter\n}\n"
                                           "PolygonLayerFlags\t\n{\n\tSize\t12\nAQAAAAEAAAA=\n}\n");
    TTarnwick_LayerList layers;
    std::vector<uint32_t> masks = {LayerBit(2), LayerBit(3)};
    EXPECT_FALSE(LoadLayerSet(path, layers, MeshOf(masks)));
    EXPECT_EQ(layers.Layers[0].Name, "Before");
    EXPECT_TRUE(layers.Layers[0].IsHidden());
    EXPECT_EQ(layers.Layers[1].Name, "Layer 1");
    EXPECT_EQ(masks, (std::vector<uint32_t>{LayerBit(2), LayerBit(3)}));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message,
                              "The polygon count used in this layer set does not match the current object."));
    std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Kind, TZAVStatusKind::Warning);
    EXPECT_EQ(lines[0].Text,
              "The vertex count used in this layer set does not match the current object. This "
              "may or may not cause issues with the layer set.");
}

TEST_F(LayerSetFiles, MasksForOtherPolygonsRefuseTheWholeFile)
{
    TTarnwick_LayerList saved;
    saved.Layers[6].SetNameLiteral("Renamed");
    std::vector<uint32_t> four = {1, 2, 3, 4};
    std::string path = Folders.Root.Path() + "four.LaySet";
    ASSERT_TRUE(SaveLayerSet(path, saved, MeshOf(four)));
    std::string text = TemporaryFolder::Read(path);

    struct Case
    {
        const char* Label;
        int32_t PolygonCount;
    };
    // The block names a polygon the mesh lacks, or leaves some of its polygons out.
    for (Case damaged : {Case{"beyond the mesh", 3}, Case{"too few", 5}}) {
        SCOPED_TRACE(damaged.Label);
        std::string count = std::to_string(damaged.PolygonCount);
        Folders.Root.Write("damaged.LaySet", Replaced(text, "verify_pcount 4", "verify_pcount " + count));
        ScriptedDialogs dialogs;
        TTarnwick_LayerList layers;
        std::vector<uint32_t> masks(size_t(damaged.PolygonCount), LayerBit(1));
        const std::vector<uint32_t> before = masks;
        EXPECT_FALSE(LoadLayerSet(Folders.Root.Path() + "damaged.LaySet", layers, MeshOf(masks)));
        EXPECT_EQ(masks, before);
        EXPECT_EQ(layers.Layers[6].Name, "Layer 6");
        EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "damaged.LaySet"));
        EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "the current object has " + count));
    }
}

TEST_F(LayerSetFiles, RefusalsNameTheProblem)
{
    ScriptedDialogs dialogs;
    TTarnwick_LayerList layers;
    std::vector<uint32_t> masks(2, 0);
    std::string missing = Folders.Root.Path() + "missing.LaySet";
    EXPECT_FALSE(LoadLayerSet(missing, layers, MeshOf(masks)));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Cannot open the file " + missing));

    std::string unwritable = Folders.Root.Path() + "no folder/a.LaySet";
    EXPECT_FALSE(SaveLayerSet(unwritable, layers, MeshOf(masks)));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Cannot create the file " + unwritable));

    TTarnwick_LayerSetMesh no_object;
    EXPECT_FALSE(LoadLayerSet(missing, layers, no_object));
    EXPECT_FALSE(SaveLayerSet(missing, layers, no_object));
    EXPECT_EQ(dialogs.Requests().size(), 4u);
    EXPECT_EQ(dialogs.Requests()[3].Text, "Please select an object first");
    EXPECT_FALSE(FileExists(missing));
}

// [SECTION] The folder of layer sets

TEST_F(LayerSetFiles, IndexKeepsLongLinesAndListsEachFileOnce)
{
    std::string folder = LayerSetFolder(Folders.UserFolderPath());
    EXPECT_EQ(folder, Folders.UserFolderPath() + "Layer Sets/");
    ASSERT_TRUE(EnsureFolder(folder));
    std::string long_name(400, 'x');
    long_name += ".LaySet";
    ASSERT_TRUE(AddLayerSetToIndex(folder, long_name));
    ASSERT_TRUE(AddLayerSetToIndex(folder, "b.LaySet"));
    ASSERT_TRUE(AddLayerSetToIndex(folder, long_name));
    std::vector<std::string> names;
    ASSERT_TRUE(ReadLayerSetIndex(folder, names));
    EXPECT_EQ(names, (std::vector<std::string>{long_name, "b.LaySet"}));
    EXPECT_EQ(TemporaryFolder::Read(folder + "Files.txt"), long_name + "\nb.LaySet\n");
}

TEST_F(LayerSetFiles, DeleteAllTouchesOnlyFilesInTheFolder)
{
    std::string folder = LayerSetFolder(Folders.UserFolderPath());
    ASSERT_TRUE(EnsureFolder(folder));
    std::string outside = Folders.Root.Write("keep.txt", "mine");
    std::string a = Folders.Root.Write("config/Tarnwick/Layer Sets/a.LaySet", "a");
    std::string b = Folders.Root.Write("config/Tarnwick/Layer Sets/b.LaySet", "b");
    Folders.Root.Write("config/Tarnwick/Layer Sets/Files.txt",
                       "a.LaySet\r\n../../../keep.txt\n" + outside + "\n" + b + "\n\n");

    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, false,
                       "Are you sure that you would like to delete all of these layer sets?");
        EXPECT_FALSE(DeleteAllLayerSets(folder));
        EXPECT_TRUE(FileExists(a));
    }

    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::YesNo, true);
    TakeStatusLines();
    EXPECT_TRUE(DeleteAllLayerSets(folder));
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(FileExists(b));
    EXPECT_FALSE(FileExists(folder + "Files.txt"));
    EXPECT_EQ(TemporaryFolder::Read(outside), "mine");
    std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].Text.find("../../../keep.txt"), std::string::npos);
    EXPECT_NE(lines[1].Text.find(outside), std::string::npos);
}
