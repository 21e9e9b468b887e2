#include "mesh/sculpt_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <set>

#include "core/report.h"
#include "mesh/obj_file.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/sculpt_meshes.h"
#include "support/warnings.h"

namespace {

class SculptMesh : public PagedItemTest
{
};

void ExpectPosition(const TTarnwick_Mesh& mesh, int32_t vertex, float x, float y, float z)
{
    float position[3];
    mesh.GetVertex(vertex, position);
    EXPECT_FLOAT_EQ(position[0], x) << "vertex " << vertex;
    EXPECT_FLOAT_EQ(position[1], y) << "vertex " << vertex;
    EXPECT_FLOAT_EQ(position[2], z) << "vertex " << vertex;
}

// Bit for bit: the incremental, four-at-a-time and one-by-one paths round alike, so that a mesh
// looks the same however its normals were brought up to date.
void ExpectArraysEqual(const std::vector<float>& actual, const std::vector<float>& expected, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < actual.size(); i++)
        ASSERT_EQ(actual[i], expected[i]) << what << " [" << i << "]";
}

TEST_F(SculptMesh, NewMeshHasDefaultsCurrentAndKeepsHiddenItemsOutOfItsText)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 2, 2);
    ASSERT_NE(mesh.CurrentMorph, nullptr);
    ASSERT_NE(mesh.CurrentSelection, nullptr);
    EXPECT_EQ(mesh.CurrentMorph->Name, "Default Morph");
    EXPECT_EQ(mesh.CurrentSelection->Name, "Default Selection");
    EXPECT_TRUE(mesh.CurrentMorph->Current);
    EXPECT_EQ(mesh.CurrentMorph->vcount, 9);
    EXPECT_TRUE(mesh.TempMorph->Locked && mesh.TempMorph2->Locked && mesh.TempSelection->Locked);
    EXPECT_TRUE(mesh.HiddenMorphs->Hidden && mesh.HiddenSelections->Hidden);
    EXPECT_EQ(mesh.MorphTree->Name, "Morph Targets");
    EXPECT_EQ(mesh.SelectionTree->Name, "Selections");

    std::string text = TextOf(mesh);
    EXPECT_NE(text.find("Default Morph"), std::string::npos);
    EXPECT_NE(text.find("Default Selection"), std::string::npos);
    for (const char* hidden : {"Hidden Morphs", "Temp Morph", "Hidden Selections", "Temp Selection"})
        EXPECT_EQ(text.find(hidden), std::string::npos) << hidden;
}

TEST_F(SculptMesh, MixerAddsMorphsByStrengthOnlyWhenMixing)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 2, 2);
    TTarnwick_Morph* idle = mesh.NewMorph(-1);
    SetDelta(*idle, 4, 1, 2, 3);
    idle->Strength = 0;
    TTarnwick_Morph* other = mesh.NewMorph(-1);
    SetDelta(*other, 4, 0, 0, 10);
    other->Strength = 1;

    // Mixing: a morph of strength 0 that is not current moves nothing; the other adds by strength.
    mesh.MixMorphs = true;
    mesh.ResolveVertices();
    ExpectPosition(mesh, 4, 0, 1, 10);
    EXPECT_FALSE(idle->IsPagedIn());
    other->Strength = 0.5f;
    mesh.ResolveVertices();
    ExpectPosition(mesh, 4, 0, 1, 5);

    // Not mixing: only the current and temporary morphs count, at full strength.
    mesh.MixMorphs = false;
    mesh.ResolveVertices();
    ExpectPosition(mesh, 4, 0, 1, 0);
    EXPECT_FALSE(other->IsPagedIn());
    SetDelta(*mesh.TempMorph, 4, 0, 1, 0);
    mesh.SetCurrentMorph(idle);
    mesh.ResolveVertices();
    ExpectPosition(mesh, 4, 1, 4, 3);
}

TEST_F(SculptMesh, SwitchingCurrentItemsCompressesThePreviousOneAndReadOnlyMorphsStayCompressed)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 4, 4);
    TTarnwick_Morph* first = mesh.CurrentMorph;
    SetDelta(*first, 3, 1, 0, 0);
    TTarnwick_Morph* protected_morph = mesh.NewMorph(-1);
    SetDelta(*protected_morph, 5, 0, 1, 0);
    protected_morph->Compress();
    protected_morph->ReadOnly = true;

    mesh.SetCurrentMorph(protected_morph);
    EXPECT_TRUE(protected_morph->IsCompressed());
    EXPECT_TRUE(protected_morph->Current);
    EXPECT_FALSE(first->Current);
    EXPECT_TRUE(first->IsCompressed());
    EXPECT_FALSE(first->IsPagedIn());

    mesh.SetCurrentMorph(first);
    EXPECT_FALSE(first->IsCompressed());
    EXPECT_FLOAT_EQ(first->GetVertex(3)[0], 1.0f);

    TTarnwick_Selection* previous = mesh.CurrentSelection;
    previous->SetVSelect(2, 0.5f);
    TTarnwick_Selection* next = mesh.NewSelection(-1);
    mesh.SelectionDisplayStale = false;
    mesh.SetCurrentSelection(next, TZAVOldSelection::Keep);
    EXPECT_FALSE(previous->IsCompressed());
    EXPECT_FALSE(previous->IsPagedIn());
    EXPECT_TRUE(mesh.SelectionDisplayStale);
    mesh.SetCurrentSelection(previous, TZAVOldSelection::Compress);
    EXPECT_TRUE(next->IsCompressed());
    EXPECT_FLOAT_EQ(previous->GetVSelect(2), 0.5f);
}

TEST_F(SculptMesh, NewItemsGoToTheGroupOfTheTreeRow)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 2, 2);
    auto* face = new TTarnwick_MorphTreeGroup();
    face->SetNameLiteral("Face");
    mesh.MorphTree->AddChild(face);
    // Rows: root, Default Morph, Face.
    TTarnwick_Morph* morph = mesh.NewMorph(2);
    EXPECT_EQ(face->List.IndexOf(morph), 0);
    EXPECT_EQ(morph->vcount, 9);
    EXPECT_GE(mesh.MorphTree->List.IndexOf(mesh.NewMorph(99)), 0);
}

TEST_F(SculptMesh, BakeTurnsTheDisplayedShapeIntoANewCurrentMorph)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 2, 2);
    SetDelta(*mesh.CurrentMorph, 1, 0, 0, 2);
    SetDelta(*mesh.TempMorph, 1, 1, 0, 0);
    mesh.ResolveVertices();
    TTarnwick_Morph* baked = mesh.BakeToNewMorph(-1);
    EXPECT_EQ(mesh.CurrentMorph, baked);
    EXPECT_EQ(baked->Name, BakedMorphDefaultName);
    EXPECT_FLOAT_EQ(baked->Strength, 0.0f);
    EXPECT_FLOAT_EQ(baked->GetVertex(1)[0], 1.0f);
    EXPECT_FLOAT_EQ(baked->GetVertex(1)[2], 2.0f);
    EXPECT_FLOAT_EQ(baked->GetVertex(0)[2], 0.0f);
}

TEST_F(SculptMesh, ReadOnlyNoticesShowOncePerRun)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 2, 2);
    uint32_t notices = Notice_None;
    ScriptedDialogs dialogs;
    EXPECT_TRUE(mesh.CheckMorphWritable(notices));
    mesh.CurrentMorph->ReadOnly = true;
    mesh.CurrentSelection->ReadOnly = true;
    EXPECT_FALSE(mesh.CheckMorphWritable(notices));
    EXPECT_FALSE(mesh.CheckMorphWritable(notices));
    EXPECT_FALSE(mesh.CheckSelectionWritable(notices));
    ASSERT_EQ(dialogs.Requests().size(), 2u);
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message,
                              "The current morph is designated as read-only.\nThe read-only "
                              "status can be changed in the \"Morph Manager\"."));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "The current selection is designated as read-only."));
}

// Moves `changed` (repeats allowed) through the current and temporary morph, or with a mixed
// background morph, updates incrementally, and checks the dirty lists and every displayed array
// against a full recompute.
void CheckIncrementalUpdate(TTarnwick_Mesh& mesh, const std::vector<int32_t>& changed, bool mixing,
                            uint32_t seed)
{
    SCOPED_TRACE(mixing ? "mixing" : "current and temporary morph");
    mesh.MixMorphs = mixing;
    TTarnwick_Morph* background = mesh.NewMorph(-1);
    SetDelta(*background, changed.back(), 0.5f, 0.5f, 0.5f);
    background->Strength = 0.5f;
    background->Compress();
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);

    std::mt19937 random(seed);
    std::uniform_real_distribution<float> offset(-0.3f, 0.3f);
    for (int32_t vertex : changed)
        SetDelta(*mesh.CurrentMorph, vertex, offset(random), offset(random), offset(random));
    // A tool's working deltas count too when morphs are not mixed.
    SetDelta(*mesh.TempMorph, changed[3], 0.1f, -0.2f, 0.05f);
    if (mixing)
        background->Strength = 2.0f;
    mesh.UpdateVertices(changed);

    std::set<int32_t> expected_polygons;
    for (int32_t vertex : changed)
        for (int32_t polygon : mesh.GetVertexPolygons(vertex))
            expected_polygons.insert(polygon);
    std::set<int32_t> expected_vertices;
    for (int32_t polygon : expected_polygons)
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++)
            expected_vertices.insert(mesh.WeldedVertex(mesh.CornerVertex[corner]));
    EXPECT_EQ(mesh.DirtyPolygons, std::vector<int32_t>(expected_polygons.begin(), expected_polygons.end()));
    EXPECT_EQ(mesh.DirtyVertices, std::vector<int32_t>(expected_vertices.begin(), expected_vertices.end()));

    const std::vector<float> positions = mesh.DisplayedVertices;
    const std::vector<float> normals = mesh.Normals;
    const std::vector<float> polygon_normals = mesh.PolygonNormals;
    const std::vector<float> bounds = mesh.PolygonNormalBounds;
    const std::vector<float> areas = mesh.PolygonAreas;
    mesh.DirtyPolygons.clear();
    mesh.DirtyVertices.clear();
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);
    ExpectArraysEqual(positions, mesh.DisplayedVertices, "positions");
    ExpectArraysEqual(normals, mesh.Normals, "vertex normals");
    ExpectArraysEqual(polygon_normals, mesh.PolygonNormals, "polygon normals");
    ExpectArraysEqual(bounds, mesh.PolygonNormalBounds, "normal bounds");
    ExpectArraysEqual(areas, mesh.PolygonAreas, "areas");
}

// Scattered, banded and welded changes brought up to date incrementally give what a full
// recompute gives, touching only the polygons around the changed vertices and their corners.
TEST_F(SculptMesh, IncrementalUpdateMatchesAFullRecompute)
{
    for (bool mixing : {false, true}) {
        {
            SCOPED_TRACE("scattered vertices, one named twice");
            TTarnwick_Mesh mesh;
            MakeGrid(mesh, 30, 20);
            std::mt19937 random(mixing ? 7 : 11);
            std::uniform_int_distribution<int32_t> pick(0, mesh.GetVertexCount() - 1);
            std::vector<int32_t> changed;
            for (int32_t i = 0; i < 40; i++)
                changed.push_back(pick(random));
            changed.push_back(changed[5]);
            changed.push_back(40);
            CheckIncrementalUpdate(mesh, changed, mixing, 1);
        }
        {
            SCOPED_TRACE("a band of whole rows, as a stroke across the mesh");
            TTarnwick_Mesh mesh;
            MakeGrid(mesh, 30, 20);
            std::vector<int32_t> changed(3 * 31);
            std::iota(changed.begin(), changed.end(), 5 * 31);
            CheckIncrementalUpdate(mesh, changed, mixing, 2);
            // A vertex past the end is a fault of the caller: reported, and the next update whole.
            const std::vector<int32_t> bad = {changed[0], mesh.GetVertexCount()};
            EXPECT_THROW(mesh.UpdateVertices(bad), TZAVError);
            CheckIncrementalUpdate(mesh, {changed.rbegin(), changed.rend()}, mixing, 4);
        }
        {
            SCOPED_TRACE("welded seam, triangles among the quads");
            TTarnwick_Mesh mesh;
            MakeSeamedGrid(mesh, 12, 8, 5);
            // As the weld tool does: the adjacency then goes through the new weld map.
            mesh.WeldByThreshold(1e-4f);
            mesh.BuildVertexAdjacency();
            ASSERT_TRUE(mesh.Welded);
            ASSERT_EQ(mesh.WeldedVertex(MakeSeamedGridCopy(12, 8, 3)), 3 * 13 + 5);
            // Both copies of seam vertices, their neighbours, and vertices of the triangle row.
            std::vector<int32_t> changed = {MakeSeamedGridCopy(12, 8, 3), 3 * 13 + 5, 4 * 13 + 6, 4 * 13 + 4,
                                            MakeSeamedGridCopy(12, 8, 7), 8 * 13 + 2, 7 * 13 + 9, 2 * 13 + 5};
            CheckIncrementalUpdate(mesh, changed, mixing, 3);
        }
    }
}

// While mixing, the morphs a stroke does not edit are kept summed; every change of the mix between
// two updates must still reach the displayed positions exactly as a full resolve gives them.
TEST_F(SculptMesh, MixedUpdatesFollowChangesOfTheMix)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 12, 9);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> offset(-0.3f, 0.3f);
    auto scatter = [&](TTarnwick_Morph& morph, int32_t first, int32_t step) {
        for (int32_t vertex = first; vertex < mesh.GetVertexCount(); vertex += step)
            SetDelta(morph, vertex, offset(random), offset(random), offset(random));
    };
    TTarnwick_Morph* sculpted = mesh.CurrentMorph;
    std::vector<TTarnwick_Morph*> dialled;
    for (int32_t m = 0; m < 3; m++) {
        dialled.push_back(mesh.NewMorph(-1));
        scatter(*dialled.back(), m, 3 + m);
        dialled.back()->Strength = 0.3f + 0.7f * float(m);
        dialled.back()->Compress();
    }
    dialled[2]->Strength = 0;
    mesh.MixMorphs = true;
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);

    // Every vertex is named, so that a stale part of the mix shows anywhere.
    std::vector<int32_t> all(static_cast<size_t>(mesh.GetVertexCount()));
    std::iota(all.begin(), all.end(), 0);
    auto expect_resolved = [&](const char* step) {
        SCOPED_TRACE(step);
        mesh.UpdateVertices(all);
        const std::vector<float> positions = mesh.DisplayedVertices;
        mesh.ResolveVertices();
        ExpectArraysEqual(positions, mesh.DisplayedVertices, "positions");
    };
    scatter(*sculpted, 1, 2);
    expect_resolved("the current morph edited");
    dialled[0]->Strength = -1.25f;
    scatter(*sculpted, 0, 5);
    expect_resolved("another morph's strength changed mid-edit");
    dialled[1]->Strength = 0;
    dialled[2]->Strength = 0.8f;
    expect_resolved("one morph left the mix, another joined it");
    scatter(*mesh.NewMorph(-1), 2, 4);
    scatter(*mesh.TempMorph, 3, 7);
    expect_resolved("a new morph, and a tool's working deltas");

    // A morph edited while current and then left: its new deltas are part of the mix.
    mesh.SetCurrentMorph(dialled[0]);
    scatter(*dialled[0], 0, 2);
    mesh.SetCurrentMorph(sculpted);
    expect_resolved("a former current morph");
    // A read-only current morph stays compressed, which takes the update's other path.
    dialled[2]->ReadOnly = true;
    mesh.SetCurrentMorph(dialled[2]);
    ASSERT_TRUE(dialled[2]->IsCompressed());
    dialled[2]->Strength = 1.5f;
    sculpted->Strength = 0.5f;
    expect_resolved("a compressed current morph");

    EXPECT_GT(mesh.MixedBaseBytes(), 0u);
    mesh.MixMorphs = false;
    expect_resolved("mixing off");
    EXPECT_EQ(mesh.MixedBaseBytes(), 0u);
}

TEST_F(SculptMesh, QuadBatchesMatchPolygonByPolygonNormals)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 7, 5); // 35 quads: batches of four and three left over
    std::mt19937 random(3);
    std::uniform_real_distribution<float> offset(-0.4f, 0.4f);
    for (float& coordinate : mesh.DisplayedVertices)
        coordinate += offset(random);
    // A collapsed edge (a triangle of no area) and a quad shrunk to a point send their batches
    // down the one-polygon path.
    std::copy_n(&mesh.DisplayedVertices[3], 3, &mesh.DisplayedVertices[0]);
    const int32_t* corners = &mesh.CornerVertex[mesh.PolygonStart[20]];
    for (int32_t corner = 1; corner < 4; corner++)
        std::copy_n(&mesh.DisplayedVertices[3 * corners[0]], 3, &mesh.DisplayedVertices[3 * corners[corner]]);
    mesh.ComputeNormals(TZAVNormalScope::All);
    const std::vector<float> normals = mesh.PolygonNormals;
    const std::vector<float> bounds = mesh.PolygonNormalBounds;
    const std::vector<float> areas = mesh.PolygonAreas;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
        mesh.ComputePolygonNormal(polygon);
    ExpectArraysEqual(normals, mesh.PolygonNormals, "polygon normals");
    ExpectArraysEqual(bounds, mesh.PolygonNormalBounds, "normal bounds");
    ExpectArraysEqual(areas, mesh.PolygonAreas, "areas");
    // Vertex normals: the unit sum of the normals of the polygons around each vertex.
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++) {
        double sum[3] = {0, 0, 0};
        for (int32_t polygon : mesh.GetVertexPolygons(vertex))
            for (int32_t axis = 0; axis < 3; axis++)
                sum[axis] += mesh.PolygonNormals[3 * polygon + axis];
        const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        for (int32_t axis = 0; axis < 3; axis++)
            ASSERT_NEAR(mesh.Normals[3 * vertex + axis], sum[axis] / length, 1e-5) << "vertex " << vertex;
    }
    EXPECT_NEAR(mesh.PolygonNormals[3 * 5 + 2] * mesh.PolygonNormals[3 * 5 + 2] +
                    mesh.PolygonNormals[3 * 5 + 1] * mesh.PolygonNormals[3 * 5 + 1] +
                    mesh.PolygonNormals[3 * 5] * mesh.PolygonNormals[3 * 5],
                1.0f, 1e-5f);
}

TEST_F(SculptMesh, NormalBoundsSpanTheFanTriangles)
{
    TTarnwick_Mesh mesh;
    mesh.Allocate(4, 0, 4, 1);
    // A quad folded along its 0-2 diagonal: one triangle faces +z, the other -x.
    const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, -1};
    std::copy(std::begin(positions), std::end(positions), mesh.Vertices.begin());
    mesh.AllocateCorners(4);
    for (int32_t corner = 0; corner < 4; corner++)
        mesh.CornerVertex[corner] = corner;
    mesh.EndPolygon(0, 4);
    mesh.Prepare();
    const std::vector<float> expected = {-1, 0, 0, 0, 0, 1};
    ASSERT_EQ(mesh.PolygonNormalBounds.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_NEAR(mesh.PolygonNormalBounds[i], expected[i], 1e-6f) << "bounds [" << i << "]";
}

TEST_F(SculptMesh, MirrorTablesPairVerticesAcrossTheAxisAtAnyScale)
{
    for (float scale : {1.0f, 1000.0f}) {
        TTarnwick_Mesh mesh;
        MakeGrid(mesh, 4, 2, scale);
        mesh.BuildMirrorTables(4);
        // Row 1: vertices 5 (x = -2) .. 9 (x = 2).
        EXPECT_EQ(mesh.MirrorTables.Mirror(5), 9) << scale;
        EXPECT_EQ(mesh.MirrorTables.Mirror(9), 5);
        EXPECT_EQ(mesh.MirrorTables.Mirror(6), 8);
        EXPECT_EQ(mesh.MirrorTables.Mirror(7), 7);
        EXPECT_EQ(mesh.MirrorTables.Source(Mirror_ToPositive, 9), 5);
        EXPECT_EQ(mesh.MirrorTables.Source(Mirror_ToPositive, 5), 5);
        EXPECT_TRUE(mesh.VertexFlags[9] & VertexFlag_MirrorPositive);
        EXPECT_FALSE(mesh.VertexFlags[5] & VertexFlag_MirrorPositive);
        EXPECT_FALSE(mesh.VertexFlags[7] & VertexFlag_MirrorPositive);
    }
}

TEST_F(SculptMesh, MirrorOperationsCopyAndExchangeSidesOfTheCurrentMorph)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 4, 2);
    mesh.BuildMirrorTables(4);
    TTarnwick_Morph& morph = *mesh.CurrentMorph;
    SetDelta(morph, 5, 0.1f, 0.2f, 0.3f);
    SetDelta(morph, 7, 0.5f, 0.5f, 0);
    SetDelta(morph, 8, 9, 9, 9);
    SetDelta(morph, 0, 0.4f, 0, 0);
    mesh.VertexFlags[4] |= VertexFlag_Locked;
    morph.Compress();

    mesh.MirrorCurrentMorph(Mirror_ToPositive);
    EXPECT_TRUE(morph.IsCompressed());
    const float* delta = morph.GetVertex(9);
    EXPECT_FLOAT_EQ(delta[0], -0.1f);
    EXPECT_FLOAT_EQ(delta[1], 0.2f);
    EXPECT_FLOAT_EQ(delta[2], 0.3f);
    // On the plane the axis component goes; the source side and locked vertices stay.
    EXPECT_FLOAT_EQ(morph.GetVertex(7)[0], 0.0f);
    EXPECT_FLOAT_EQ(morph.GetVertex(7)[1], 0.5f);
    EXPECT_FLOAT_EQ(morph.GetVertex(8)[0], 0.0f);
    EXPECT_FLOAT_EQ(morph.GetVertex(5)[0], 0.1f);
    EXPECT_FLOAT_EQ(morph.GetVertex(4)[0], 0.0f);

    SetDelta(morph, 7, 0.5f, 0, 0);
    SetDelta(morph, 9, 0.7f, 0, 0);
    const std::vector<int32_t> listed = {5, 9, 7};
    mesh.ExchangeCurrentMorphSides(listed);
    EXPECT_FLOAT_EQ(morph.GetVertex(5)[0], -0.7f);
    EXPECT_FLOAT_EQ(morph.GetVertex(5)[1], 0.0f);
    EXPECT_FLOAT_EQ(morph.GetVertex(9)[0], -0.1f);
    EXPECT_FLOAT_EQ(morph.GetVertex(9)[1], 0.2f);
    EXPECT_FLOAT_EQ(morph.GetVertex(7)[0], -0.5f);
    SetDelta(morph, 6, 1, 2, 3);
    const std::vector<int32_t> one_side = {6};
    mesh.ExchangeCurrentMorphSides(one_side);
    EXPECT_FLOAT_EQ(morph.GetVertex(8)[0], -1.0f);
    EXPECT_FLOAT_EQ(morph.GetVertex(8)[2], 3.0f);
    EXPECT_FLOAT_EQ(morph.GetVertex(6)[1], 0.0f);

    mesh.CurrentSelection->SetVSelect(1, 0.75f);
    const std::vector<int32_t> targets = {3, 4};
    mesh.MirrorCurrentSelection(Mirror_ToPositive, targets);
    EXPECT_FLOAT_EQ(mesh.CurrentSelection->GetVSelect(3), 0.75f);
    EXPECT_FLOAT_EQ(mesh.CurrentSelection->GetVSelect(4), 0.0f);
}

} // namespace

namespace {

// Each non-empty polygon as its corners, material name and group name.
std::vector<std::string> FilledPolygons(const TTarnwick_Mesh& mesh)
{
    std::vector<std::string> polygons;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        if (mesh.GetPolygonCornerCount(polygon) == 0)
            continue;
        std::string text = mesh.Materials.Data()[mesh.PolygonMaterial[polygon]]->Name + " " +
                           mesh.Groups2.Data()[mesh.PolygonGroup[polygon]]->Name;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++)
            text += " " + std::to_string(mesh.CornerVertex[corner]);
        polygons.push_back(text);
    }
    return polygons;
}

} // namespace

// Faces that could not be read leave empty slots, the last one and every one included: loading,
// the normal passes, the project block and the OBJ writer must all take them.
TEST_F(SculptMesh, EmptySlotsSurviveEveryRoundTrip)
{
    const std::string path = Folders.Root.Path() + "slots.obj";
    const std::string grid = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\n";
    std::string error;
    for (const char* faces :
         {"f\nf 1 2\n", "usemtl a\ng top\nf 1 2 3 4\nf\nusemtl b\ng low\nf 2 5 3\nf 1 x 2\n"}) {
        SCOPED_TRACE(faces);
        Folders.Root.Write("slots.obj", grid + faces);
        TTarnwick_Mesh mesh;
        ASSERT_TRUE(ReadOBJ(path, mesh, ObjRead_None, error)) << error;
        ASSERT_EQ(TakeWarnings().size(), 1u);
        mesh.PolygonLayerFlags.back() = 3;
        mesh.PolygonLayerFlags.front() = 6;
        mesh.ComputeNormals(TZAVNormalScope::All);

        TTarnwick_Mesh reopened;
        ASSERT_TRUE(ReadText(reopened, TextOf(mesh), &error)) << error;
        reopened.Prepare();
        EXPECT_TRUE(TakeWarnings().empty());
        EXPECT_EQ(reopened.PolygonStart, mesh.PolygonStart);
        EXPECT_EQ(reopened.CornerVertex, mesh.CornerVertex);
        EXPECT_EQ(reopened.PolygonMaterial, mesh.PolygonMaterial);
        EXPECT_EQ(reopened.PolygonGroup, mesh.PolygonGroup);
        EXPECT_EQ(reopened.PolygonLayerFlags, mesh.PolygonLayerFlags);

        const std::string copy_path = Folders.Root.Path() + "copy.obj";
        ASSERT_TRUE(WriteOBJ(mesh, copy_path, ObjWrite_Groups, error)) << error;
        TTarnwick_Mesh copy;
        ASSERT_TRUE(ReadOBJ(copy_path, copy, ObjRead_None, error)) << error;
        EXPECT_TRUE(TakeWarnings().empty());
        if (mesh.Groups2.Count() > 0) {
            EXPECT_EQ(FilledPolygons(copy), FilledPolygons(mesh));
        }
    }
}

// The fuzzer's inputs, kept as found: faces without corners, the last one among them.
TEST_F(SculptMesh, FuzzedFacesWithoutCornersLoadAndPrepare)
{
    for (const char* name : {"face-without-corners.obj", "empty-polygon-normal-pass.obj"}) {
        SCOPED_TRACE(name);
        TTarnwick_Mesh mesh;
        std::string error;
        ASSERT_TRUE(ReadOBJ(std::string(TARNWICK_TEST_DATA "fuzz/") + name, mesh,
                            ObjRead_LoadNormals | ObjRead_UseInternalNames, error))
            << error;
        mesh.Prepare();
        EXPECT_FALSE(TakeWarnings().empty());
    }
}
