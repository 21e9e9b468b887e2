// The polygon mesh: Prepare's derived tables, quad/triangle conversion, welding, the fast square
// root and the binary polygon records.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "core/report.h"
#include "mesh/normals.h"
#include "mesh/poly_mesh.h"
#include "support/stream_file.h"

namespace {

struct TPolygonSpec
{
    std::vector<int32_t> Vertices;
    int16_t Material = -1;
    int16_t Group = -1;
};

// A mesh from positions and polygons; texture vertex k of a corner is its vertex when
// tex_vertex_count allows, else -1.
void Build(TZAVPolyMesh& mesh, const std::vector<float>& positions, const std::vector<TPolygonSpec>& polygons,
           int32_t tex_vertex_count = 0)
{
    int32_t corner_total = 0;
    for (const TPolygonSpec& polygon : polygons)
        corner_total += static_cast<int32_t>(polygon.Vertices.size());
    mesh.Allocate(static_cast<int32_t>(positions.size() / 3), tex_vertex_count, 0,
                  static_cast<int32_t>(polygons.size()));
    mesh.AllocateCorners(corner_total);
    mesh.Vertices = positions;
    int32_t cursor = 0;
    for (size_t p = 0; p < polygons.size(); p++) {
        for (int32_t vertex : polygons[p].Vertices) {
            mesh.CornerVertex[cursor] = vertex;
            mesh.CornerTexVertex[cursor] = vertex < tex_vertex_count ? vertex : -1;
            cursor++;
        }
        mesh.PolygonMaterial[p] = polygons[p].Material;
        mesh.PolygonGroup[p] = polygons[p].Group;
        mesh.EndPolygon(static_cast<int32_t>(p), cursor);
    }
}

std::vector<int32_t> PolygonVertices(TZAVPolyMesh& mesh, int32_t polygon)
{
    std::vector<int32_t> vertices;
    mesh.SelectPolygon(polygon);
    for (int32_t k = 0; k < mesh.GetCornerCount(); k++)
        vertices.push_back(mesh.GetCornerVertex(k));
    mesh.ReleasePolygon();
    return vertices;
}

// Vertices of an n x n grid of unit quads in the z = 0 plane, (n + 1)^2 vertices row by row.
void BuildGrid(TZAVPolyMesh& mesh, int32_t n, int32_t tex_vertex_count = 0)
{
    std::vector<float> positions;
    for (int32_t y = 0; y <= n; y++)
        for (int32_t x = 0; x <= n; x++)
            positions.insert(positions.end(), {static_cast<float>(x), static_cast<float>(y), 0.0f});
    std::vector<TPolygonSpec> quads;
    for (int32_t y = 0; y < n; y++)
        for (int32_t x = 0; x < n; x++) {
            int32_t v = y * (n + 1) + x;
            quads.push_back({{v, v + 1, v + n + 2, v + n + 1}});
        }
    Build(mesh, positions, quads, tex_vertex_count);
}

void AddGroup(TZAVPolyMesh& mesh, const char* name)
{
    auto* group = new TZAVGroup;
    group->SetNameLiteral(name);
    mesh.Groups.Add(group);
}

void AddGroup2(TZAVPolyMesh& mesh, const char* name)
{
    auto* group = new TZAVGroup2;
    group->SetNameLiteral(name);
    group->Index = mesh.Groups2.Count();
    mesh.Groups2.Add(group);
}

} // namespace

TEST(PolyMesh, PrepareDropsARepeatedFirstCornerOnlyFromPolygonsAboveThreeCorners)
{
    TZAVPolyMesh mesh;
    Build(mesh, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {{{0, 0, 1, 2}}, {{3, 3, 1}}, {{0, 1, 2, 3}}});
    mesh.Prepare();
    EXPECT_EQ(PolygonVertices(mesh, 0), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(PolygonVertices(mesh, 1), (std::vector<int32_t>{3, 3, 1}));
    EXPECT_EQ(PolygonVertices(mesh, 2), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(mesh.GetCornerTotal(), 10);
}

TEST(PolyMesh, PrepareRepairsTextureIndices)
{
    TZAVPolyMesh without_uvs;
    Build(without_uvs, {0, 0, 0, 1, 0, 0, 1, 1, 0}, {{{0, 1, 2}}});
    without_uvs.CornerTexVertex[1] = 7;
    without_uvs.Prepare();
    for (int32_t tex_vertex : without_uvs.CornerTexVertex)
        EXPECT_EQ(tex_vertex, -1);

    TZAVPolyMesh with_uvs;
    Build(with_uvs, {0, 0, 0, 1, 0, 0, 1, 1, 0}, {{{0, 1, 2}}}, 2);
    with_uvs.Prepare();
    // Corner 2 named no texture vertex (-1), which lies outside 0..1.
    EXPECT_EQ(with_uvs.CornerTexVertex, (std::vector<int32_t>{0, 1, 0}));
    ASSERT_EQ(with_uvs.GetTexVertexPolygons(0).size(), 2u);
}

TEST(PolyMesh, PrepareBuildsAdjacencyOpenVerticesNormalsAndBounds)
{
    TZAVPolyMesh mesh;
    BuildGrid(mesh, 3);
    // Left over from an edit: Prepare still computes every normal.
    mesh.DirtyPolygons = {4};
    mesh.Prepare();

    // Vertex 5 is interior (row 1, column 1): used by the four quads around it.
    auto around = mesh.GetVertexPolygons(5);
    EXPECT_EQ(std::vector<int32_t>(around.begin(), around.end()), (std::vector<int32_t>{0, 1, 3, 4}));
    EXPECT_EQ(mesh.GetVertexPolygons(0).size(), 1u);

    for (int32_t v = 0; v < 16; v++) {
        int32_t x = v % 4, y = v / 4;
        bool border = x == 0 || x == 3 || y == 0 || y == 3;
        EXPECT_EQ((mesh.VertexFlags[v] & VertexFlag_Open) != 0, border) << "vertex " << v;
        EXPECT_EQ(mesh.VertexFlags[v] & VertexFlag_Scratch, 0u);
        EXPECT_NEAR(mesh.Normals[3 * v + 2], 1.0f, 1e-3f);
    }
    for (int32_t p = 0; p < 9; p++) {
        EXPECT_NEAR(mesh.PolygonNormals[3 * p + 2], 1.0f, 1e-3f);
        EXPECT_NEAR(mesh.PolygonAreas[p], 1.0f, 1e-3f);
    }
    // Every corner's normal is its vertex's.
    for (size_t corner = 0; corner < mesh.CornerVertex.size(); corner++)
        EXPECT_EQ(mesh.CornerNormal[corner], mesh.CornerVertex[corner]);
    EXPECT_EQ(mesh.BoundingMax[0], 3.0f);
    EXPECT_EQ(mesh.BoundingMin[1], 0.0f);
    EXPECT_NEAR(mesh.BoundingDiagonal, std::sqrt(18.0f), 1e-5f);

    TZAVPolyMesh empty;
    empty.Allocate(0, 0, 0, 0);
    empty.Prepare();
    EXPECT_EQ(empty.BoundingDiagonal, 0.0f);
    EXPECT_EQ(empty.BoundingMax[2], 0.0f);
}

// Large enough for Prepare to run its stages on two threads and its normals four to a register:
// tables and normals must be what the stages give run one after another, polygon by polygon and
// vertex by vertex. Lengths fall inside and outside the square root table, and one quad has none.
TEST(PolyMesh, LargePrepareMatchesTheOneAtATimePaths)
{
    constexpr int32_t Side = 130;
    TZAVPolyMesh mesh;
    BuildGrid(mesh, Side, (Side + 1) * (Side + 1));
    for (size_t vertex = 0; vertex < mesh.Vertices.size() / 3; vertex++)
        mesh.Vertices[3 * vertex + 2] = 4.0f * std::sin(0.37f * static_cast<float>(vertex));
    for (int32_t corner = mesh.PolygonStart[500]; corner < mesh.PolygonStart[501]; corner++)
        std::fill_n(&mesh.Vertices[3 * mesh.CornerVertex[corner]], 3, 1.0f);
    AddGroup2(mesh, "left");
    AddGroup2(mesh, "right");
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
        mesh.PolygonGroup[polygon] = polygon % Side < Side / 2 ? 0 : 1;
    mesh.Prepare();

    const std::vector<int32_t> vertex_start = mesh.VertexPolygonStart;
    const std::vector<int32_t> vertex_polygons = mesh.VertexPolygons;
    const std::vector<int32_t> tex_vertex_polygons = mesh.TexVertexPolygons;
    const std::vector<float> polygon_normals = mesh.PolygonNormals;
    const std::vector<float> areas = mesh.PolygonAreas;
    const std::vector<float> normals = mesh.Normals;
    mesh.BuildVertexAdjacency();
    mesh.BuildTexVertexAdjacency();
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
        mesh.ComputePolygonNormal(polygon);
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        mesh.ComputeVertexNormal(vertex);
    EXPECT_EQ(vertex_start, mesh.VertexPolygonStart);
    EXPECT_EQ(vertex_polygons, mesh.VertexPolygons);
    EXPECT_EQ(tex_vertex_polygons, mesh.TexVertexPolygons);
    EXPECT_EQ(polygon_normals, mesh.PolygonNormals);
    EXPECT_EQ(areas, mesh.PolygonAreas);
    EXPECT_EQ(normals, mesh.Normals);
    EXPECT_EQ(mesh.PolygonAreas[500], 0.0f);
    EXPECT_EQ(mesh.Groups2.Data()[0]->GetVertexCount(), (Side / 2 + 1) * (Side + 1));
    EXPECT_EQ(mesh.VertexFlags[Side + 2] & VertexFlag_Open, 0u);
    EXPECT_NE(mesh.VertexFlags[Side + 1] & VertexFlag_Open, 0u);
}

TEST(PolyMesh, ClosedSurfaceHasNoOpenVerticesAndOutwardNormals)
{
    // A unit cube with outward (counter-clockwise seen from outside) quads.
    TZAVPolyMesh mesh;
    Build(mesh, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1},
          {{{0, 3, 2, 1}}, {{4, 5, 6, 7}}, {{0, 1, 5, 4}}, {{2, 3, 7, 6}}, {{1, 2, 6, 5}}, {{0, 4, 7, 3}}});
    mesh.Prepare();
    for (int32_t v = 0; v < 8; v++)
        EXPECT_EQ(mesh.VertexFlags[v] & VertexFlag_Open, 0u) << "vertex " << v;
    // Vertex 6 is the (1,1,1) corner: its normal points along the diagonal.
    const float expected = 1.0f / std::sqrt(3.0f);
    for (int32_t axis = 0; axis < 3; axis++) {
        EXPECT_NEAR(mesh.Normals[3 * 6 + axis], expected, 2e-3f);
        EXPECT_NEAR(mesh.Normals[3 * 0 + axis], -expected, 2e-3f);
    }
}

TEST(PolyMesh, GroupNamesAreMadeUniqueWithoutRegardToCase)
{
    TZAVPolyMesh mesh;
    BuildGrid(mesh, 1);
    AddGroup(mesh, "arm");
    AddGroup(mesh, "Arm");
    AddGroup(mesh, "leg");
    AddGroup(mesh, "ARM");
    AddGroup(mesh, "Arm (1)");
    mesh.Prepare();
    std::vector<std::string> names;
    for (TZAVGroup* group : mesh.Groups)
        names.push_back(group->Name);
    // From the last group back: "Arm (1)" is unique; "ARM" meets "arm" → "ARM (1)", which meets
    // "Arm (1)" → "ARM (2)"; "Arm" meets "arm" → "Arm (1)" → "Arm (2)" → "Arm (3)".
    EXPECT_EQ(names, (std::vector<std::string>{"arm", "Arm (3)", "leg", "ARM (2)", "Arm (1)"}));
}

TEST(PolyMesh, PolygonGroupsListTheirSortedVerticesAndMarkShared)
{
    TZAVPolyMesh mesh;
    BuildGrid(mesh, 2);
    AddGroup2(mesh, "left");
    AddGroup2(mesh, "right");
    AddGroup2(mesh, "unused");
    // Quads 0 and 2 (x = 0) go left, 1 and 3 (x = 1) right; they share the column x = 1.
    mesh.PolygonGroup = {0, 1, 0, 1};
    mesh.Prepare();
    TZAVGroup2* left = mesh.Groups2.Data()[0];
    TZAVGroup2* right = mesh.Groups2.Data()[1];
    EXPECT_EQ(left->Vertices, (std::vector<int32_t>{0, 1, 3, 4, 6, 7}));
    EXPECT_EQ(left->Shared, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(right->Vertices, (std::vector<int32_t>{1, 2, 4, 5, 7, 8}));
    EXPECT_EQ(right->Shared, (std::vector<uint8_t>{1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(mesh.Groups2.Data()[2]->GetVertexCount(), 0);
    EXPECT_EQ(right->FindVertex(5), 3);
    EXPECT_EQ(right->FindVertex(3), -1);
}

TEST(PolyMesh, MakeQuadsAndTrisOnlyFansLargePolygons)
{
    TZAVPolyMesh mesh;
    std::vector<float> positions;
    for (int32_t v = 0; v < 8; v++)
        positions.insert(positions.end(), {std::cos(v * 0.7f), std::sin(v * 0.7f), 0.0f});
    Build(
        mesh, positions,
        {{{0, 1, 2}, 1, 0}, {{0, 1, 2, 3, 4, 5, 6}, 0, 1}, {{1, 2, 3, 4, 5, 6}, 1, 2}, {{7, 6, 5, 4}, 0, 0}});
    mesh.PolygonPart = {0, 3, 4, 0};
    mesh.MakeQuadsAndTrisOnly();
    ASSERT_EQ(mesh.GetPolygonCount(), 1 + 3 + 2 + 1);
    std::vector<std::vector<int32_t>> expected = {{0, 1, 2},    {0, 1, 2, 3}, {0, 3, 4, 5}, {0, 5, 6},
                                                  {1, 2, 3, 4}, {1, 4, 5, 6}, {7, 6, 5, 4}};
    for (int32_t p = 0; p < mesh.GetPolygonCount(); p++)
        EXPECT_EQ(PolygonVertices(mesh, p), expected[p]) << "polygon " << p;
    EXPECT_EQ(mesh.PolygonMaterial, (std::vector<int16_t>{1, 0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(mesh.PolygonGroup, (std::vector<int16_t>{0, 1, 1, 1, 2, 2, 0}));
    EXPECT_EQ(mesh.PolygonPart, (std::vector<int16_t>{0, 3, 3, 3, 4, 4, 0}));
    // Prepare ran: the new polygons have normals and adjacency.
    EXPECT_EQ(mesh.PolygonNormals.size(), 3u * 7);
    EXPECT_EQ(mesh.GetVertexPolygons(0).size(), 4u);
}

TEST(PolyMesh, WeldByThresholdJoinsSeamVerticesAndUnweldUndoesIt)
{
    // Two quads side by side whose shared edge is doubled: vertices 4 and 5 lie on 1 and 2.
    TZAVPolyMesh mesh;
    Build(mesh, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0, 2, 0, 0, 2, 1, 0},
          {{{0, 1, 2, 3}}, {{4, 6, 7, 5}}});
    mesh.Prepare();
    EXPECT_NE(mesh.VertexFlags[1] & VertexFlag_Open, 0u);
    mesh.WeldByThreshold(0.01f);
    EXPECT_TRUE(mesh.Welded);
    EXPECT_EQ(mesh.WeldMap, (std::vector<int32_t>{-1, -1, -1, -1, 1, 2, -1, -1}));
    EXPECT_EQ(PolygonVertices(mesh, 1), (std::vector<int32_t>{1, 6, 7, 2}));
    mesh.IgnoreWeld = true;
    EXPECT_EQ(PolygonVertices(mesh, 1), (std::vector<int32_t>{4, 6, 7, 5}));
    mesh.IgnoreWeld = false;

    mesh.BuildVertexAdjacency();
    EXPECT_EQ(mesh.GetVertexPolygons(1).size(), 2u);
    EXPECT_TRUE(mesh.GetVertexPolygons(4).empty());

    mesh.Unweld();
    EXPECT_FALSE(mesh.Welded);
    EXPECT_EQ(mesh.GetVertexPolygons(1).size(), 1u);
    EXPECT_EQ(PolygonVertices(mesh, 1), (std::vector<int32_t>{4, 6, 7, 5}));
}

TEST(PolyMesh, WeldNeverFoldsAPolygonOntoItself)
{
    // A sliver triangle whose two close corners belong to the same polygon stays as it is.
    TZAVPolyMesh mesh;
    Build(mesh, {0, 0, 0, 1, 0, 0, 1, 0.0001f, 0}, {{{0, 1, 2}}});
    mesh.Prepare();
    mesh.WeldByThreshold(0.01f);
    EXPECT_EQ(mesh.WeldMap, (std::vector<int32_t>{-1, -1, -1}));
}

TEST(PolyMesh, FastSquareRootStaysWithinAThousandth)
{
    for (float x = 0.0f; x < 30.0f; x += 0.0137f) {
        float exact = std::sqrt(x);
        EXPECT_NEAR(FastSquareRoot(x), exact, exact * 2e-3f + 1e-6f) << x;
    }
    EXPECT_FLOAT_EQ(FastSquareRoot(400.0f), 20.0f);
    EXPECT_FLOAT_EQ(FastSquareRoot(1e-6f), 1e-3f);
}

TEST(PolyMesh, CursorRefusesAPolygonOutOfRange)
{
    TZAVPolyMesh mesh;
    BuildGrid(mesh, 1);
    mesh.Prepare();
    EXPECT_THROW(mesh.SelectPolygon(1), TZAVError);
    EXPECT_THROW(mesh.SelectPolygon(-1), TZAVError);
}

TEST(PolyMesh, PreparedMeshHandsOverWholly)
{
    TZAVPolyMesh source;
    BuildGrid(source, 2);
    AddGroup2(source, "body");
    source.MtlLibName = "body.mtl";
    source.Prepare();
    TZAVPolyMesh target;
    BuildGrid(target, 1);
    target.AdoptContents(source);
    EXPECT_EQ(target.GetVertexCount(), 9);
    EXPECT_EQ(target.GetPolygonCount(), 4);
    EXPECT_EQ(target.Groups2.Count(), 1);
    EXPECT_EQ(target.MtlLibName, "body.mtl");
    EXPECT_EQ(source.Groups2.Count(), 0);
    EXPECT_EQ(source.GetVertexCount(), 4);
}

TEST(PolyMeshBinary, PolygonRecordsRoundTrip)
{
    TZAVPolyMesh mesh;
    Build(mesh, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {{{0, 1, 2, 3}, 2, 1}, {{}, -1, -1}, {{3, 2, 1}, 0, 4}},
          4);
    mesh.CornerVisible[1] = 0;
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(mesh.SavePolygonsToStream(file.get()));
    // 3 headers of 6 bytes and 7 corners of 13 bytes.
    EXPECT_EQ(ContentsOf(file.get()).size(), 3u * 6 + 7u * 13);

    TZAVPolyMesh loaded;
    loaded.Allocate(4, 4, 0, 3);
    for (int32_t i = 0; i < 3; i++)
        loaded.Materials.Add(new TZAVMaterial);
    for (const char* name : {"a", "b", "c", "d", "e"})
        AddGroup2(loaded, name);
    std::string error;
    ASSERT_TRUE(loaded.LoadPolygonsFromStream(file.get(), "project.Tarnwick", error)) << error;
    EXPECT_EQ(loaded.PolygonStart, mesh.PolygonStart);
    EXPECT_EQ(loaded.CornerVertex, mesh.CornerVertex);
    EXPECT_EQ(loaded.CornerTexVertex, mesh.CornerTexVertex);
    EXPECT_EQ(loaded.CornerVisible, mesh.CornerVisible);
    EXPECT_EQ(loaded.PolygonMaterial, mesh.PolygonMaterial);
    EXPECT_EQ(loaded.PolygonGroup, mesh.PolygonGroup);
}

TEST(PolyMeshBinary, BadRecordsLeaveThePolygonsAsTheyWere)
{
    TZAVPolyMesh mesh;
    Build(mesh, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {{{0, 1, 2, 3}}, {{3, 2, 1}}}, 4);
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(mesh.SavePolygonsToStream(file.get()));
    std::string good = ContentsOf(file.get());

    struct TCase
    {
        const char* Name;
        std::string Bytes;
        const char* Message;
    };
    std::string bad_vertex = good;
    bad_vertex[6 + 13 * 2] = 4; // corner 2 of polygon 0 names vertex 4 of 4
    std::string bad_tex = good;
    bad_tex[6 + 4] = static_cast<char>(0xFE); // texture vertex -2
    std::string negative_count = good;
    negative_count[5] = static_cast<char>(0x80);
    // The target has neither materials nor polygon groups: only -1 fits.
    std::string bad_material = good;
    bad_material[6 + 13 * 4] = 0;
    bad_material[6 + 13 * 4 + 1] = 0;
    std::string bad_group = good;
    bad_group[2] = 0;
    bad_group[3] = 0;
    for (const TCase& test : {TCase{"material", bad_material, "polygon 1 in old.Tarnwick: material index"},
                              TCase{"group", bad_group, "polygon group index out of range"},
                              TCase{"vertex", bad_vertex, "vertex index out of range"},
                              TCase{"texture", bad_tex, "texture vertex index out of range"},
                              TCase{"count", negative_count, "negative corner count"},
                              TCase{"short", good.substr(0, good.size() - 1), "ends early"}}) {
        SCOPED_TRACE(test.Name);
        StreamFile bad = FileHolding(test.Bytes);
        TZAVPolyMesh target;
        Build(target, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {{{0, 1, 2}}, {{1, 2, 3}}}, 4);
        std::vector<int32_t> corners_before = target.CornerVertex;
        std::string error;
        EXPECT_FALSE(target.LoadPolygonsFromStream(bad.get(), "old.Tarnwick", error));
        EXPECT_NE(error.find("old.Tarnwick"), std::string::npos) << error;
        EXPECT_NE(error.find(test.Message), std::string::npos) << error;
        EXPECT_EQ(target.CornerVertex, corners_before);
    }
}
