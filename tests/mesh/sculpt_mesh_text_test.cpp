#include <gtest/gtest.h>

#include <functional>

#include "mesh/sculpt_mesh.h"
#include "support/largest_allocation.h"
#include "support/paged_items.h"
#include "support/sculpt_meshes.h"

namespace {

class SculptMeshText : public PagedItemTest
{
};

void ExpectSamePolygons(const TTarnwick_Mesh& actual, const TTarnwick_Mesh& expected)
{
    EXPECT_EQ(actual.GetPolygonCount(), expected.GetPolygonCount());
    EXPECT_EQ(actual.PolygonStart, expected.PolygonStart);
    EXPECT_EQ(actual.CornerVertex, expected.CornerVertex);
    EXPECT_EQ(actual.CornerTexVertex, expected.CornerTexVertex);
    EXPECT_EQ(actual.PolygonMaterial, expected.PolygonMaterial);
    EXPECT_EQ(actual.PolygonGroup, expected.PolygonGroup);
}

// A 4 × 3 grid with a material, a polygon group, layer masks, three morphs (one in a sub-group)
// and two selections.
void MakeFigure(TTarnwick_Mesh& mesh)
{
    TTarnwick_Morph* smile = MakeDressedGrid(mesh, 4, 3);
    mesh.SymmetryAxis = 2;
    mesh.MixMorphs = true;
    mesh.CanDrawSelection = true;

    smile->Strength = 0.4f;
    smile->GetVertex(6)[2] = -2.0f;
    smile->ReadOnly = true;
    auto* face = new TTarnwick_MorphTreeGroup();
    face->SetNameLiteral("Face");
    mesh.MorphTree->AddChild(face);
    auto* brow = new TTarnwick_Morph(mesh.GetVertexCount());
    brow->SetNameLiteral("Brow");
    brow->Strength = -1.0f;
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        brow->GetVertex(vertex)[2] = 0.01f * float(vertex);
    face->List.Add(brow);
    mesh.SetCurrentMorph(brow);

    TTarnwick_Selection* lips = mesh.NewSelection(-1);
    lips->SetNameLiteral("Lips");
    lips->SetVSelect(7, 1.0f);
    lips->SetVSelect(8, 0.125f);
    mesh.SetCurrentSelection(lips, TZAVOldSelection::Compress);
}

TEST_F(SculptMeshText, RoundTripKeepsGeometryMorphsAndSelections)
{
    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    mesh.Welded = 1;
    mesh.WeldMap[0] = 1;
    const std::string text = TextOf(mesh);

    TTarnwick_Mesh copy;
    std::string error;
    ASSERT_TRUE(ReadText(copy, text, &error)) << error;
    copy.Prepare();
    ASSERT_TRUE(copy.InstallLoadedWeldMap());
    EXPECT_EQ(copy.WeldMap, mesh.WeldMap);
    EXPECT_EQ(copy.Welded, 1);

    EXPECT_EQ(copy.Vertices, mesh.Vertices);
    EXPECT_EQ(copy.TexVertices, mesh.TexVertices);
    ExpectSamePolygons(copy, mesh);
    EXPECT_EQ(copy.PolygonLayerFlags, mesh.PolygonLayerFlags);
    ASSERT_EQ(copy.Materials.Count(), 1);
    EXPECT_EQ(copy.Materials.Data()[0]->Name, "Skin");
    ASSERT_EQ(copy.Groups2.Count(), 1);
    EXPECT_EQ(copy.Groups2.Data()[0]->Name, "Head");
    EXPECT_EQ(copy.SymmetryAxis, 2);
    EXPECT_TRUE(copy.MixMorphs);
    EXPECT_TRUE(copy.CanDrawSelection);

    for (const char* name : {"Default Morph", "Smile", "Brow"}) {
        SCOPED_TRACE(name);
        TTarnwick_Morph* original = FindItem<TTarnwick_Morph>(mesh.MorphTree.get(), name);
        TTarnwick_Morph* loaded = FindItem<TTarnwick_Morph>(copy.MorphTree.get(), name);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(DenseDeltas(*loaded), DenseDeltas(*original));
        EXPECT_FLOAT_EQ(loaded->Strength, original->Strength);
        EXPECT_EQ(loaded->ReadOnly, original->ReadOnly);
    }
    for (const char* name : {"Default Selection", "Lips"}) {
        TTarnwick_Selection* original = FindItem<TTarnwick_Selection>(mesh.SelectionTree.get(), name);
        TTarnwick_Selection* loaded = FindItem<TTarnwick_Selection>(copy.SelectionTree.get(), name);
        ASSERT_NE(loaded, nullptr) << name;
        for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
            EXPECT_FLOAT_EQ(loaded->GetVSelect(vertex), original->GetVSelect(vertex))
                << name << " " << vertex;
    }
    ASSERT_NE(copy.CurrentMorph, nullptr);
    EXPECT_EQ(copy.CurrentMorph->Name, "Brow");
    EXPECT_EQ(copy.CurrentSelection->Name, "Lips");
    EXPECT_EQ(FindItem<TTarnwick_Morph>(copy.MorphTree.get(), "Brow"),
              copy.MorphTree->FirstChildGroup()->List.Data()[0]);
    // The hidden items are the mesh's own again.
    ASSERT_NE(copy.TempMorph, nullptr);
    EXPECT_EQ(copy.TempMorph->vcount, mesh.GetVertexCount());
    mesh.ResolveVertices();
    EXPECT_EQ(copy.DisplayedVertices, mesh.DisplayedVertices);
}

TEST_F(SculptMeshText, OlderPolygonLayoutLoadsTheSamePolygons)
{
    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    const std::string text =
        ReplaceDataBlock(TextOf(mesh), "polygons", PolygonBytes(mesh, true), "polygons_b");
    TTarnwick_Mesh copy;
    std::string error;
    ASSERT_TRUE(ReadText(copy, text, &error)) << error;
    ExpectSamePolygons(copy, mesh);
}

TEST_F(SculptMeshText, MapBlocksAreSkippedAndAMisfitWeldMapIsDropped)
{
    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    mesh.Welded = 1;
    std::string text = TextOf(mesh);
    text = ReplaceDataBlock(text, "weldmap", std::vector<uint8_t>(8, 0xFF));
    const size_t morphs = text.find("\tmorphs\t");
    text.insert(morphs, "\tmap\t0\n\t{\n\t\tvcount\t1\n\t\tdata\t\n\t\t{\n\t\t}\n\t}\n");

    TTarnwick_Mesh copy;
    std::string error;
    ASSERT_TRUE(ReadText(copy, text, &error)) << error;
    EXPECT_EQ(copy.Vertices, mesh.Vertices);
    EXPECT_NE(FindItem<TTarnwick_Morph>(copy.MorphTree.get(), "Smile"), nullptr);
    copy.Prepare();
    EXPECT_FALSE(copy.InstallLoadedWeldMap());
    std::vector<TZAVStatusLine> lines = TakeStatusLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].Text.find("weld map"), std::string::npos);
    EXPECT_NE(lines[0].Text.find("figure.Tarnwick"), std::string::npos);
}

// The text with `from` replaced by `to` at its first occurrence after `anchor`.
std::string ReplaceAfter(const std::string& text, const std::string& anchor, const std::string& from,
                         const std::string& to)
{
    const size_t at = text.find(from, text.find(anchor));
    EXPECT_NE(at, std::string::npos) << from;
    return text.substr(0, at) + to + text.substr(at + from.size());
}

TEST_F(SculptMeshText, DamagedMorphOrSelectionIsDroppedAloneWithAWarning)
{
    struct TItemDamage
    {
        const char* Item;
        std::string Text;
        const char* Message;
    };
    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    const std::string text = TextOf(mesh);
    const TItemDamage damages[] = {
        {"Smile", ReplaceAfter(text, "morph\tSmile\n", "DeltaCount\t2\n", "DeltaCount\t21\n"),
         "DeltaCount 21 is out of range"},
        {"Lips", ReplaceAfter(text, "selection\tLips\n", "Size\t", "Size\tx"), "\"Size\" is not a number"},
        {"Lips", ReplaceAfter(text, "selection\tLips\n", "\n\t\t\t}\n", "\n!!!!\n\t\t\t}\n"),
         "'!' (byte 0x21)"},
        // A count alone, which its mesh of 20 vertices could never take: refused before allocating.
        {"Brow", ReplaceAfter(text, "morph\tBrow\n", "vcount\t20\n", "vcount\t134217727\n"),
         "vcount 134217727 does not match the 20 vertices of its mesh"},
    };
    for (const TItemDamage& damage : damages) {
        SCOPED_TRACE(damage.Message);
        TTarnwick_Mesh copy;
        std::string error;
        ResetLargestAllocation();
        ASSERT_TRUE(ReadText(copy, damage.Text, &error)) << error;
        EXPECT_LT(LargestAllocation(), size_t(1) << 16);
        EXPECT_EQ(copy.Vertices, mesh.Vertices);
        int32_t items = 0;
        for (const char* name : {"Default Morph", "Smile", "Brow", "Default Selection", "Lips"}) {
            const bool present = FindItem<TTarnwick_Thingy>(copy.MorphTree.get(), name) != nullptr ||
                                 FindItem<TTarnwick_Thingy>(copy.SelectionTree.get(), name) != nullptr;
            EXPECT_EQ(present, std::string(name) != damage.Item) << name;
            items += present ? 1 : 0;
        }
        EXPECT_EQ(items, 4);
        std::vector<TZAVStatusLine> lines = TakeStatusLines();
        ASSERT_EQ(lines.size(), 1u);
        for (const std::string& part :
             {std::string("figure.Tarnwick\", line "), "\"" + std::string(damage.Item) + "\" was dropped",
              std::string(damage.Message)})
            EXPECT_NE(lines[0].Text.find(part), std::string::npos) << lines[0].Text;
    }
}

TEST_F(SculptMeshText, EmptyPolygonSlotsAreKept)
{
    TTarnwick_Mesh mesh;
    MakeFigure(mesh);
    // Polygon 1 becomes an empty slot with neither material nor group; the rest move up by one.
    std::vector<uint8_t> polygons = PolygonBytes(mesh, false);
    polygons.insert(polygons.begin() + 6 + 4 * 8, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
    std::string text = ReplaceDataBlock(TextOf(mesh), "polygons", polygons);
    text = ReplaceLine(text, "pcount", "13");
    text = ReplaceDataBlock(text, "pflags", std::vector<uint8_t>(13 * 4));
    text = ReplaceDataBlock(text, "PolygonLayerFlags", std::vector<uint8_t>(13 * 4));
    TTarnwick_Mesh copy;
    std::string error;
    ASSERT_TRUE(ReadText(copy, text, &error)) << error;
    ASSERT_EQ(copy.GetPolygonCount(), 13);
    EXPECT_EQ(copy.GetPolygonCornerCount(1), 0);
    EXPECT_EQ(copy.PolygonMaterial[1], -1);
    EXPECT_EQ(copy.GetPolygonCornerCount(2), 4);
    EXPECT_EQ(copy.GetCornerTotal(), mesh.GetCornerTotal());
}

struct TDamage
{
    const char* Name;
    std::function<std::string(const std::string& text, const TTarnwick_Mesh& mesh)> Apply;
    const char* Message;
};

// The polygon bytes of the mesh with one 4-byte field rewritten; offset counts from the start.
std::string WithPolygonField(const std::string& text, const TTarnwick_Mesh& mesh, size_t offset,
                             int32_t value, bool old_layout = false)
{
    std::vector<uint8_t> bytes = PolygonBytes(mesh, old_layout);
    EncodeInt32LE(bytes.data() + offset, value);
    return ReplaceDataBlock(text, "polygons", bytes, old_layout ? "polygons_b" : "");
}

TEST_F(SculptMeshText, DamagedBlocksAreRefusedAndTheMeshKeepsItsData)
{
    // 20 vertices and texture vertices, 12 quads; polygon 0 starts with Material, Group, Count.
    const TDamage damages[] = {
        {"corner vertex", [](auto& t, auto& m) { return WithPolygonField(t, m, 6, 20); },
         "names vertex 20 of 20"},
        {"corner texture vertex", [](auto& t, auto& m) { return WithPolygonField(t, m, 10, 20); },
         "names texture vertex 20 of 20"},
        {"corner count", [](auto& t, auto& m) { return WithPolygonField(t, m, 4, 1000); },
         "runs past the end"},
        {"old layout corner", [](auto& t, auto& m) { return WithPolygonField(t, m, 12, -4, true); },
         "names vertex -4"},
        {"material index", [](auto& t, auto& m) { return WithPolygonField(t, m, 0, 0x00010005); },
         "names material 5 of 1"},
        {"short vertices",
         [](auto& t, auto& m) {
             std::vector<uint8_t> bytes = AsBytes(m.Vertices);
             bytes.resize(bytes.size() - 12);
             return ReplaceDataBlock(t, "vertices", bytes);
         },
         "\"vertices\" block (line"},
        {"long texture vertices",
         [](auto& t, auto& m) {
             std::vector<uint8_t> bytes = AsBytes(m.TexVertices);
             bytes.resize(bytes.size() + 8);
             return ReplaceDataBlock(t, "tvertices", bytes);
         },
         "needs 160"},
        {"vertices before vcount", [](auto& t, auto&) { return ReplaceLine(t, "vcount", nullptr); },
         "\"vertices\" block before \"vcount\""},
        {"negative count", [](auto& t, auto&) { return ReplaceLine(t, "vtcount", "-5"); },
         "\"vtcount\" is negative"},
        {"huge count", [](auto& t, auto&) { return ReplaceLine(t, "pcount", "2000000000"); }, "too large"},
        {"one polygon more", [](auto& t, auto&) { return ReplaceLine(t, "pcount", "13"); }, "polygon 12"},
        {"one polygon fewer", [](auto& t, auto&) { return ReplaceLine(t, "pcount", "11"); },
         "after its 11 polygons"},
        {"material count", [](auto& t, auto&) { return ReplaceLine(t, "mcount", "2"); },
         "\"mcount\" 2 disagrees"},
        {"symmetry axis", [](auto& t, auto&) { return ReplaceLine(t, "SymmetryAxis", "3"); }, "SymmetryAxis"},
        {"weld map entry",
         [](auto& t, auto& m) {
             std::vector<int32_t> weld_map(m.GetVertexCount(), -1);
             weld_map[3] = 99;
             return ReplaceDataBlock(t, "weldmap", AsBytes(weld_map));
         },
         "welds vertex 3 to vertex 99"},
        {"vertex flags",
         [](auto& t, auto&) { return ReplaceDataBlock(t, "vflags", std::vector<uint8_t>(4)); }, "\"vflags\""},
        {"polygon flags",
         [](auto& t, auto&) { return ReplaceDataBlock(t, "pflags", std::vector<uint8_t>(52)); },
         "\"pflags\""},
        {"layer flags",
         [](auto& t, auto&) { return ReplaceDataBlock(t, "PolygonLayerFlags", std::vector<uint8_t>(44)); },
         "\"PolygonLayerFlags\""},
    };
    TTarnwick_Mesh source;
    MakeFigure(source);
    source.Welded = 1;
    const std::string text = TextOf(source);

    for (const TDamage& damage : damages) {
        SCOPED_TRACE(damage.Name);
        TTarnwick_Mesh target;
        MakeGrid(target, 2, 2);
        target.CurrentMorph->GetVertex(4)[0] = 3.0f;
        const std::string before = TextOf(target);
        std::string error;
        EXPECT_FALSE(ReadText(target, damage.Apply(text, source), &error));
        EXPECT_NE(error.find(damage.Message), std::string::npos) << error;
        EXPECT_NE(error.find("figure.Tarnwick"), std::string::npos) << error;
        EXPECT_EQ(TextOf(target), before);
        EXPECT_EQ(target.CurrentMorph->Name, "Default Morph");
    }
}

} // namespace
