// Subdivision of small literal meshes, worked out by hand with the Catmull-Clark rules, and the
// snapshot that takes a subdivision back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "mesh/subdivide.h"
#include "support/paged_items.h"
#include "support/sculpt_meshes.h"

namespace {

// Morphs that are not in use are paged out.
class Subdivide : public PagedItemTest
{
};

using TPolygons = std::vector<std::vector<int32_t>>;

// A prepared mesh of the positions (x, y, z each) and polygons; texture vertices (u, v each) with
// one corner list per polygon when given.
std::unique_ptr<TTarnwick_Mesh> MakeMesh(const std::vector<float>& positions, const TPolygons& polygons,
                                         const std::vector<float>& uvs = {}, const TPolygons& uv_corners = {})
{
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    const int32_t vertex_count = int32_t(positions.size() / 3);
    mesh->Allocate(vertex_count, int32_t(uvs.size() / 2), vertex_count, int32_t(polygons.size()));
    mesh->Vertices = positions;
    mesh->TexVertices = uvs;
    int32_t corner_total = 0;
    for (const std::vector<int32_t>& polygon : polygons)
        corner_total += int32_t(polygon.size());
    mesh->AllocateCorners(corner_total);
    int32_t corner = 0;
    for (size_t polygon = 0; polygon < polygons.size(); polygon++) {
        for (size_t k = 0; k < polygons[polygon].size(); k++, corner++) {
            mesh->CornerVertex[size_t(corner)] = polygons[polygon][k];
            if (!uv_corners.empty())
                mesh->CornerTexVertex[size_t(corner)] = uv_corners[polygon][k];
        }
        mesh->EndPolygon(int32_t(polygon), corner);
    }
    mesh->Prepare();
    return mesh;
}

// Two unit quads side by side along x, the middle edge raised to z = 1.
const std::vector<float> StripPositions = {0, 0, 0, 1, 0, 1, 2, 0, 0, 0, 1, 0, 1, 1, 1, 2, 1, 0};
const TPolygons StripQuads = {{0, 1, 4, 3}, {1, 2, 5, 4}};

// The vertex at (x, y, z) in the displayed positions; -1 when there is none.
int32_t FindVertex(const TTarnwick_Mesh& mesh, float x, float y, float z)
{
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++) {
        const std::span<const float> at = mesh.GetDisplayedPosition(vertex);
        if (std::fabs(at[0] - x) < 1e-5f && std::fabs(at[1] - y) < 1e-5f && std::fabs(at[2] - z) < 1e-5f)
            return vertex;
    }
    return -1;
}

TEST_F(Subdivide, LoneQuadAndTriangleSplitIntoQuadsWithTheirCornersKept)
{
    struct TCase
    {
        std::vector<float> Positions;
        std::vector<int32_t> Corners;
        float Centre[2];
    };
    const TCase cases[] = {{{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 3}, {0.5f, 0.5f}},
                           {{0, 0, 0, 3, 0, 0, 0, 3, 0}, {0, 1, 2}, {1.0f, 1.0f}}};
    for (const TCase& test : cases) {
        auto mesh = MakeMesh(test.Positions, {test.Corners});
        const int32_t n = int32_t(test.Corners.size());
        ASSERT_EQ(SubdivideMesh(*mesh), TTarnwick_SubdivideOutcome::Subdivided);
        // n corners, n edge midpoints and the centre; one quad per corner.
        ASSERT_EQ(mesh->GetVertexCount(), 2 * n + 1);
        ASSERT_EQ(mesh->GetPolygonCount(), n);
        const int32_t centre = FindVertex(*mesh, test.Centre[0], test.Centre[1], 0);
        for (int32_t k = 0; k < n; k++) {
            const float* a = &test.Positions[3 * size_t(k)];
            const float* b = &test.Positions[3 * size_t((k + 1) % n)];
            const float* z = &test.Positions[3 * size_t((k + n - 1) % n)];
            ASSERT_EQ(mesh->GetPolygonCornerCount(k), 4);
            const int32_t expected[4] = {k, FindVertex(*mesh, (a[0] + b[0]) / 2, (a[1] + b[1]) / 2, 0),
                                         centre, FindVertex(*mesh, (a[0] + z[0]) / 2, (a[1] + z[1]) / 2, 0)};
            for (int32_t corner = 0; corner < 4; corner++)
                EXPECT_EQ(mesh->CornerVertex[4 * size_t(k) + corner], expected[corner]) << n << " " << k;
            EXPECT_EQ(FindVertex(*mesh, a[0], a[1], 0), k);
        }
    }
}

// The raised shared edge's point is (A + B + F1 + F2) / 4; the ends of that edge lie on the
// boundary and take (B1 + 6 P + B2) / 8. A welded copy of the second quad smooths alike.
TEST_F(Subdivide, SharedEdgeSmoothsAndWeldedCopiesStayTogether)
{
    std::vector<float> welded_positions = StripPositions;
    welded_positions.insert(welded_positions.end(), {1, 0, 1, 1, 1, 1});
    auto plain = MakeMesh(StripPositions, StripQuads);
    auto welded = MakeMesh(welded_positions, {{0, 1, 4, 3}, {6, 2, 5, 7}});
    welded->WeldMap[6] = 1;
    welded->WeldMap[7] = 4;
    welded->Welded = 1;
    welded->BuildVertexAdjacency();

    for (TTarnwick_Mesh* mesh : {plain.get(), welded.get()}) {
        ASSERT_EQ(SubdivideMesh(*mesh), TTarnwick_SubdivideOutcome::Subdivided);
        EXPECT_NE(FindVertex(*mesh, 1, 0.5f, 0.75f), -1);
        EXPECT_NE(FindVertex(*mesh, 1, 0, 0.75f), -1);
        EXPECT_NE(FindVertex(*mesh, 1, 1, 0.75f), -1);
    }
    // The copy's point on the shared edge is welded to the first quad's.
    EXPECT_EQ(plain->GetVertexCount(), 6 + 7 + 2);
    ASSERT_EQ(welded->GetVertexCount(), 8 + 8 + 2);
    std::vector<int32_t> on_edge;
    for (int32_t vertex = 0; vertex < welded->GetVertexCount(); vertex++) {
        const std::span<const float> at = welded->GetDisplayedPosition(vertex);
        if (std::fabs(at[0] - 1) < 1e-5f && std::fabs(at[1] - 0.5f) < 1e-5f)
            on_edge.push_back(vertex);
    }
    ASSERT_EQ(on_edge.size(), 2u);
    EXPECT_EQ(welded->WeldedVertex(on_edge[1]), on_edge[0]);
    EXPECT_EQ(welded->WeldedVertex(6), 1);
}

// The raised middle of a 2 × 2 grid has four polygons: (Q + 2R + (4 - 3) P) / 4 with face points
// at z = 1/4 and edge midpoints at z = 1/2 gives (1/4 + 1 + 1) / 4.
TEST_F(Subdivide, InteriorVertexTakesTheAverageOfItsRing)
{
    auto mesh = MakeMesh({0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 1, 1, 1, 2, 1, 0, 0, 2, 0, 1, 2, 0, 2, 2, 0},
                         {{0, 1, 4, 3}, {1, 2, 5, 4}, {3, 4, 7, 6}, {4, 5, 8, 7}});
    ASSERT_EQ(SubdivideMesh(*mesh), TTarnwick_SubdivideOutcome::Subdivided);
    EXPECT_EQ(FindVertex(*mesh, 1, 1, 0.5625f), 4);
}

// A displacement and a weight on one vertex spread with the same weights as the positions.
TEST_F(Subdivide, MorphDeltaAndSelectionWeightCarryOver)
{
    auto mesh = MakeMesh(StripPositions, StripQuads);
    TTarnwick_Morph* morph = mesh->CurrentMorph;
    TTarnwick_Morph* other = mesh->NewMorph(-1);
    SetDelta(*morph, 1, 0, 0, 1);
    SetDelta(*other, 1, 0, 0, 2);
    other->Compress();
    mesh->CurrentSelection->SetVSelect(1, 1.0f);
    mesh->ResolveVertices();
    ASSERT_EQ(SubdivideMesh(*mesh), TTarnwick_SubdivideOutcome::Subdivided);

    EXPECT_EQ(mesh->CurrentMorph, morph);
    EXPECT_TRUE(other->IsCompressed());
    // Base plus the morph: the old vertex moves 6/8 of its delta, the shared edge's point
    // (1 + 0 + 1/4 + 1/4) / 4 of it.
    const int32_t vertex = FindVertex(*mesh, 1, 0, 0.75f + 0.75f);
    const int32_t edge = FindVertex(*mesh, 1, 0.5f, 0.75f + 0.375f);
    ASSERT_NE(vertex, -1);
    ASSERT_NE(edge, -1);
    EXPECT_FLOAT_EQ(morph->GetVertex(vertex)[2], 0.75f);
    EXPECT_FLOAT_EQ(morph->GetVertex(edge)[2], 0.375f);
    EXPECT_FLOAT_EQ(other->GetVertex(edge)[2], 0.75f);
    EXPECT_FLOAT_EQ(mesh->CurrentSelection->GetVSelect(vertex), 0.75f);
    EXPECT_FLOAT_EQ(mesh->CurrentSelection->GetVSelect(edge), 0.375f);
    EXPECT_FLOAT_EQ(mesh->CurrentSelection->GetVSelect(FindVertex(*mesh, 1, 1, 1.5f)), 0.0f);
}

// The second quad's texture vertices on the shared edge are its own: the point on that edge gets
// a texture vertex per side, at the same place.
TEST_F(Subdivide, TextureSeamsStaySplit)
{
    const std::vector<float> uvs = {0, 0, 0.5f, 0, 1, 0, 0, 1, 0.5f, 1, 1, 1, 0.5f, 0, 0.5f, 1};
    auto mesh = MakeMesh(StripPositions, StripQuads, uvs, {{0, 1, 4, 3}, {6, 2, 5, 7}});
    ASSERT_EQ(SubdivideMesh(*mesh), TTarnwick_SubdivideOutcome::Subdivided);
    // 8 old, 4 edges per quad (none shared), 2 centres.
    ASSERT_EQ(mesh->GetTexVertexCount(), 8 + 8 + 2);
    // Child 1 of the first quad and child 0 of the second meet at the shared edge's point.
    const int32_t left = 4 * 1 + 1;
    const int32_t right = 4 * 4 + 3;
    EXPECT_EQ(mesh->CornerVertex[left], mesh->CornerVertex[right]);
    const int32_t left_tex = mesh->CornerTexVertex[left];
    const int32_t right_tex = mesh->CornerTexVertex[right];
    EXPECT_NE(left_tex, right_tex);
    EXPECT_FLOAT_EQ(mesh->TexVertices[2 * size_t(left_tex)], 0.5f);
    EXPECT_FLOAT_EQ(mesh->TexVertices[2 * size_t(right_tex)], 0.5f);
    EXPECT_FLOAT_EQ(mesh->TexVertices[2 * size_t(left_tex) + 1], 0.5f);
    EXPECT_FLOAT_EQ(mesh->TexVertices[2 * size_t(right_tex) + 1], 0.5f);
}

// Two separate quads, each a sub-object, in their own group, material and layers, the second
// hidden: the children inherit all of it and each sub-object's vertices stay one block.
TEST_F(Subdivide, ChildrenInheritGroupsLayersAndFlagsAndSubObjectsStayBlocks)
{
    auto mesh = MakeMesh({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 5, 0, 0, 6, 0, 0, 6, 1, 0, 5, 1, 0},
                         {{0, 1, 2, 3}, {4, 5, 6, 7}});
    for (int32_t index = 0; index < 2; index++) {
        TZAVGroup2* group = mesh->CreateGroup2();
        group->Index = index;
        mesh->Groups2.Add(group);
        auto* part = new TZAVGroup;
        part->VertexRange = part->NormalRange = {4 * index, 4 * index + 3};
        part->PolygonRange = {index, index};
        part->Index = index;
        mesh->Groups.Add(part);
    }
    mesh->PolygonGroup = {1, 0};
    mesh->PolygonPart = {0, 1};
    mesh->PolygonLayerFlags = {0x1, 0x6};
    mesh->PolygonFlags[1] |= PolygonFlag_Hidden;
    // The vertex numbering changes: the second sub-object's block starts after the first's.
    ASSERT_EQ(SubdivideMesh(*mesh), TTarnwick_SubdivideOutcome::Subdivided);

    ASSERT_EQ(mesh->GetPolygonCount(), 8);
    for (int32_t polygon = 0; polygon < 8; polygon++) {
        const int32_t parent = polygon / 4;
        EXPECT_EQ(mesh->PolygonGroup[polygon], 1 - parent);
        EXPECT_EQ(mesh->PolygonPart[polygon], parent);
        EXPECT_EQ(mesh->PolygonLayerFlags[polygon], parent == 0 ? 0x1u : 0x6u);
        EXPECT_EQ((mesh->PolygonFlags[polygon] & PolygonFlag_Hidden) != 0, parent == 1);
    }
    for (int32_t index = 0; index < 2; index++) {
        const TZAVGroup& part = *mesh->Groups.Data()[index];
        EXPECT_EQ(part.VertexRange.Count(), 9);
        EXPECT_EQ(part.PolygonRange.First, 4 * index);
        EXPECT_EQ(part.PolygonRange.Last, 4 * index + 3);
        for (int32_t corner = 16 * index; corner < 16 * index + 16; corner++) {
            EXPECT_GE(mesh->CornerVertex[corner], part.VertexRange.First);
            EXPECT_LE(mesh->CornerVertex[corner], part.VertexRange.Last);
        }
    }
    EXPECT_EQ(mesh->Groups2.Data()[0]->GetVertexCount(), 9);
}

// A morph made after the subdivision keeps, on the way back, the values its old vertices went to.
TEST_F(Subdivide, SnapshotRestoresTheMeshAndItsItemsBitForBit)
{
    auto mesh = MakeMesh(StripPositions, StripQuads, {0, 0, 1, 0, 1, 1, 0, 1}, {{0, 1, 2, 3}, {1, 0, 3, 2}});
    SetDelta(*mesh->CurrentMorph, 4, 0.25f, 0, 0);
    TTarnwick_Morph* sparse = mesh->NewMorph(-1);
    SetDelta(*sparse, 2, 0, 1, 0);
    sparse->Compress();
    mesh->CurrentSelection->SetVSelect(5, 0.5f);
    mesh->PolygonLayerFlags[0] = 0x8;
    mesh->ResolveVertices();
    const TTarnwick_MeshSnapshot before = TTarnwick_MeshSnapshot::Capture(*mesh);
    const std::vector<float> displayed = mesh->DisplayedVertices;

    TTarnwick_MeshSnapshot snapshot = TTarnwick_MeshSnapshot::Capture(*mesh);
    ASSERT_EQ(SubdivideMesh(*mesh, &snapshot.NewPlaces), TTarnwick_SubdivideOutcome::Subdivided);
    TTarnwick_Morph* later = mesh->NewMorph(-1);
    SetDelta(*later, snapshot.NewPlaces[3], 0, 0, 2);
    snapshot.Restore(*mesh);

    const TTarnwick_MeshSnapshot after = TTarnwick_MeshSnapshot::Capture(*mesh);
    EXPECT_EQ(mesh->GetVertexCount(), 6);
    EXPECT_EQ(after.Vertices, before.Vertices);
    EXPECT_EQ(after.TexVertices, before.TexVertices);
    EXPECT_EQ(after.PolygonStart, before.PolygonStart);
    EXPECT_EQ(after.CornerVertex, before.CornerVertex);
    EXPECT_EQ(after.CornerTexVertex, before.CornerTexVertex);
    EXPECT_EQ(after.VertexFlags, before.VertexFlags);
    EXPECT_EQ(after.PolygonLayerFlags, before.PolygonLayerFlags);
    EXPECT_EQ(mesh->DisplayedVertices, displayed);
    ASSERT_EQ(after.Morphs.size(), before.Morphs.size() + 1);
    for (const TTarnwick_MeshSnapshot::TItem& old : before.Morphs) {
        auto now = std::find_if(after.Morphs.begin(), after.Morphs.end(),
                                [&](const TTarnwick_MeshSnapshot::TItem& item) { return item.ID == old.ID; });
        ASSERT_NE(now, after.Morphs.end());
        EXPECT_EQ(now->Compressed, old.Compressed);
        EXPECT_EQ(now->Indices, old.Indices);
        EXPECT_EQ(now->Values, old.Values);
    }
    ASSERT_EQ(after.Selections.size(), before.Selections.size());
    for (size_t item = 0; item < before.Selections.size(); item++)
        EXPECT_EQ(after.Selections[item].Values, before.Selections[item].Values);
    EXPECT_EQ(later->vcount, 6);
    EXPECT_FLOAT_EQ(later->GetVertex(3)[2], 2.0f);
}

} // namespace
