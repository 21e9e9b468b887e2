// The mesh edits of the weld and UV map tools on two unit quads side by side, each with vertices
// of its own: quad 0 is (0 1 2 3), quad 1 is (4 5 6 7). Vertex 4 lies exactly on vertex 1, vertex
// 7 lies 0.01 above vertex 2; the largest extent is 2. Both quads share texture vertices 0 to 3.
#include "tools/weld_tools.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "support/paged_items.h"

namespace {

class WeldTools : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        const float positions[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1,     0,
                                   1, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1.01f, 0};
        const float uvs[] = {0.1f, 0.1f, 0.9f, 0.1f, 0.9f, 0.9f, 0.1f, 0.9f};
        Mesh.Allocate(8, 4, 8, 2);
        Mesh.Vertices.assign(std::begin(positions), std::end(positions));
        Mesh.TexVertices.assign(std::begin(uvs), std::end(uvs));
        Mesh.AllocateCorners(8);
        for (int32_t corner = 0; corner < 8; corner++) {
            Mesh.CornerVertex[corner] = corner;
            Mesh.CornerTexVertex[corner] = corner % 4;
        }
        Mesh.EndPolygon(0, 4);
        Mesh.EndPolygon(1, 8);
        Mesh.Prepare();
    }

    void Select(std::initializer_list<std::pair<int32_t, float>> weights)
    {
        for (auto [vertex, weight] : weights)
            Mesh.CurrentSelection->SetVSelect(vertex, weight);
    }

    int32_t VerticesInUse() const
    {
        std::set<int32_t> used;
        for (int32_t vertex : Mesh.CornerVertex)
            used.insert(Mesh.WeldedVertex(vertex));
        return int32_t(used.size());
    }

    std::vector<int32_t> PolygonsAt(int32_t vertex) const
    {
        auto polygons = Mesh.GetVertexPolygons(vertex);
        return {polygons.begin(), polygons.end()};
    }

    std::vector<float> CornerUV(int32_t corner) const
    {
        const int32_t tex = Mesh.CornerTexVertex[corner];
        return {Mesh.TexVertices[2 * tex], Mesh.TexVertices[2 * tex + 1]};
    }

    TTarnwick_Mesh Mesh;
};

// clip = (2x - 2, 2y - 2, z, 2): the view shows x and y from 0 to 2, so u = x / 2 and v = y / 2.
const float HalfScale[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, -2, -2, 0, 2};

TEST_F(WeldTools, WeldsByDistanceWithTheAdjacencyRebuiltAndUnweldsBack)
{
    // 10^-3 · 2: the coinciding pair only.
    WeldMeshByThreshold(Mesh, 3);
    EXPECT_EQ(VerticesInUse(), 7);
    EXPECT_EQ(Mesh.WeldedVertex(4), 1);
    EXPECT_EQ(Mesh.WeldedVertex(7), 7);
    EXPECT_EQ(PolygonsAt(1), (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(PolygonsAt(4).empty());
    EXPECT_EQ(PolygonsAt(2), (std::vector<int32_t>{0}));

    // 10^-1 · 2 reaches the pair 0.01 apart too; the later in sweep order goes.
    WeldMeshByThreshold(Mesh, 1);
    EXPECT_EQ(VerticesInUse(), 6);
    EXPECT_EQ(Mesh.WeldedVertex(7), 2);
    EXPECT_EQ(PolygonsAt(2), (std::vector<int32_t>{0, 1}));

    UnweldMesh(Mesh);
    EXPECT_EQ(VerticesInUse(), 8);
    for (int32_t vertex = 0; vertex < 8; vertex++)
        EXPECT_EQ(PolygonsAt(vertex), (std::vector<int32_t>{vertex / 4})) << vertex;
}

TEST_F(WeldTools, WeldsTheSelectedPointsAtTheirMidpointIntoTheHighest)
{
    Select({{0, 0.05f}});
    EXPECT_EQ(WeldSelectedPoints(Mesh), TTarnwick_WeldOutcome::NothingSelected);
    EXPECT_EQ(Mesh.CornerVertex[2], 2);

    Select({{2, 1.0f}, {7, 0.5f}});
    ASSERT_EQ(WeldSelectedPoints(Mesh), TTarnwick_WeldOutcome::Welded);
    EXPECT_EQ((std::vector<int32_t>(Mesh.CornerVertex.begin(), Mesh.CornerVertex.begin() + 4)),
              (std::vector<int32_t>{0, 1, 7, 3}));
    EXPECT_EQ(VerticesInUse(), 7);
    for (int32_t vertex : {2, 7}) {
        EXPECT_FLOAT_EQ(Mesh.Vertices[3 * vertex], 1.0f);
        EXPECT_FLOAT_EQ(Mesh.Vertices[3 * vertex + 1], 1.005f);
        EXPECT_FLOAT_EQ(Mesh.GetDisplayedPosition(vertex)[1], 1.005f);
    }
    EXPECT_EQ(PolygonsAt(7), (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(PolygonsAt(2).empty());
    EXPECT_EQ(Mesh.CurrentSelection->GetVSelect(2), 0.0f);
    EXPECT_EQ(Mesh.CurrentSelection->GetVSelect(7), 1.0f);
    EXPECT_FLOAT_EQ(Mesh.CurrentSelection->GetVSelect(0), 0.05f);
}

TEST_F(WeldTools, MapsTheWholeMeshFromTheViewOneTextureVertexPerVertex)
{
    EXPECT_EQ(UVMapFromView(Mesh, HalfScale), TTarnwick_UVMapOutcome::NoSelectedPolygons);
    for (int32_t vertex = 0; vertex < 8; vertex++)
        Select({{vertex, 1.0f}});
    ASSERT_EQ(UVMapFromView(Mesh, HalfScale), TTarnwick_UVMapOutcome::Mapped);
    ASSERT_EQ(Mesh.GetTexVertexCount(), 8);
    EXPECT_EQ(Mesh.CornerTexVertex, Mesh.CornerVertex);
    // The left edge maps to u = 0, the right edge to u = 1.
    EXPECT_EQ(CornerUV(0), (std::vector<float>{0.0f, 0.0f}));
    EXPECT_EQ(CornerUV(5), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(CornerUV(6), (std::vector<float>{1.0f, 0.5f}));
    EXPECT_FLOAT_EQ(CornerUV(7)[1], 0.505f);
}

TEST_F(WeldTools, MapsHalfTheMeshLeavingTheOtherHalfUnshared)
{
    Select({{0, 1.0f}, {1, 1.0f}, {2, 1.0f}, {3, 0.5f}});
    ASSERT_EQ(UVMapFromView(Mesh, HalfScale), TTarnwick_UVMapOutcome::Mapped);
    ASSERT_EQ(Mesh.GetTexVertexCount(), 8);
    EXPECT_EQ(std::set<int32_t>(Mesh.CornerTexVertex.begin(), Mesh.CornerTexVertex.end()).size(), 8u);
    const std::vector<std::vector<float>> mapped = {{0, 0}, {0.5f, 0}, {0.5f, 0.5f}, {0, 0.5f}};
    const std::vector<std::vector<float>> kept = {{0.1f, 0.1f}, {0.9f, 0.1f}, {0.9f, 0.9f}, {0.1f, 0.9f}};
    for (int32_t k = 0; k < 4; k++) {
        EXPECT_EQ(CornerUV(k), mapped[k]) << k;
        EXPECT_EQ(CornerUV(4 + k), kept[k]) << k;
    }
    EXPECT_EQ(Mesh.GetTexVertexPolygons(Mesh.CornerTexVertex[4]).size(), 1u);
}

TEST_F(WeldTools, RestoringTheShapeUndoesEveryEditExactly)
{
    WeldMeshByThreshold(Mesh, 3);
    const std::vector<float> vertices = Mesh.Vertices, tex_vertices = Mesh.TexVertices;
    const std::vector<int32_t> corners = Mesh.CornerVertex, corner_tex = Mesh.CornerTexVertex;
    const std::vector<int32_t> weld_map = Mesh.WeldMap;
    const TTarnwick_MeshShape shape = TTarnwick_MeshShape::Capture(Mesh);

    UnweldMesh(Mesh);
    Select({{1, 1.0f}, {2, 1.0f}, {6, 1.0f}});
    WeldSelectedPoints(Mesh);
    Select({{0, 1.0f}, {3, 1.0f}, {6, 1.0f}});
    UVMapFromView(Mesh, HalfScale);

    ASSERT_TRUE(shape.Restore(Mesh));
    EXPECT_EQ(Mesh.Vertices, vertices);
    EXPECT_EQ(Mesh.DisplayedVertices, vertices);
    EXPECT_EQ(Mesh.TexVertices, tex_vertices);
    EXPECT_EQ(Mesh.GetTexVertexCount(), 4);
    EXPECT_EQ(Mesh.CornerVertex, corners);
    EXPECT_EQ(Mesh.CornerTexVertex, corner_tex);
    EXPECT_EQ(Mesh.WeldMap, weld_map);
    EXPECT_EQ(PolygonsAt(1), (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(PolygonsAt(4).empty());
    EXPECT_EQ(Mesh.GetTexVertexPolygons(0).size(), 2u);
}

TEST_F(WeldTools, MergesMeshesRenumberedWithMaterialsByName)
{
    auto add_material = [](TTarnwick_Mesh& mesh, const char* name) {
        TZAVMaterial* material = mesh.CreateMaterial();
        material->SetNameLiteral(name);
        material->Index = mesh.Materials.Count();
        mesh.Materials.Add(material);
    };
    add_material(Mesh, "Skin");
    Mesh.PolygonMaterial = {0, 0};
    TTarnwick_Mesh other;
    other.Allocate(3, 0, 3, 1);
    other.Vertices = {5, 0, 0, 6, 0, 0, 5, 1, 0};
    other.AllocateCorners(3);
    other.CornerVertex = {0, 1, 2};
    other.EndPolygon(0, 3);
    add_material(other, "Eyes");
    add_material(other, "Skin");
    other.PolygonMaterial = {1};
    other.Prepare();

    const TTarnwick_Mesh* meshes[] = {&Mesh, &other};
    std::unique_ptr<TTarnwick_Mesh> merged = MergeMeshes(meshes, {});
    ASSERT_EQ(merged->GetVertexCount(), 11);
    ASSERT_EQ(merged->GetPolygonCount(), 3);
    EXPECT_EQ(merged->Name, MergedObjectName);
    EXPECT_EQ(merged->Materials.Count(), 2);
    EXPECT_EQ(merged->PolygonMaterial, (std::vector<int16_t>{0, 0, 0}));
    EXPECT_EQ((std::vector<int32_t>(merged->CornerVertex.begin() + 8, merged->CornerVertex.end())),
              (std::vector<int32_t>{8, 9, 10}));
    EXPECT_EQ(merged->GetTexVertexCount(), 4);
    EXPECT_EQ(merged->Vertices[3 * 9], 6.0f);

    TTarnwick_MergeOptions weld;
    weld.KeepMaterials = false;
    weld.WeldSeams = true;
    merged = MergeMeshes(meshes, weld);
    EXPECT_EQ(merged->Materials.Count(), 0);
    EXPECT_EQ(merged->WeldedVertex(4), 1);
    EXPECT_EQ(merged->WeldedVertex(7), 7);
}

} // namespace
