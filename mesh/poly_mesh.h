// TZAVPolyMesh: one polygon mesh as flat arrays.
//
// Polygons are offsets into one corner array: the corners of polygon p are the entries
// PolygonStart[p] .. PolygonStart[p + 1] - 1 of the parallel arrays CornerVertex,
// CornerTexVertex, CornerNormal and CornerVisible. Adjacency is stored the same way (CSR):
// the polygons at vertex v are VertexPolygons[VertexPolygonStart[v] .. VertexPolygonStart[v + 1]).
// Nothing is allocated per polygon or per vertex.
//
// The mesh owns three lists: sub-objects (Groups), polygon groups (Groups2) and Materials.
//
// [SECTION] Flags and helpers
// [SECTION] TZAVPolyMesh
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/list.h"
#include "mesh/group.h"
#include "mesh/material.h"

struct TNormalInput;
struct TNormalOutput;

// [SECTION] Flags and helpers

enum TZAVVertexFlag : uint32_t
{
    VertexFlag_None = 0,
    // An edge at the vertex belongs to a single polygon.
    VertexFlag_Open = 0x02,
    VertexFlag_Hidden = 0x04,
    // Scratch mark during preparation; clear afterwards.
    VertexFlag_Scratch = 0x08,
    VertexFlag_Locked = 0x10,
};

enum TZAVPolygonFlag : uint32_t
{
    PolygonFlag_None = 0,
    PolygonFlag_Hidden = 0x04,
    PolygonFlag_Locked = 0x10,
};

// Which normals a Compute...Normals call brings up to date: all, or only those on the dirty lists.
enum class TZAVNormalScope
{
    All,
    DirtyOnly,
};

// One polygon or line corner, as handed to and from the binary form.
struct TZAVCorner
{
    int32_t Vertex = -1;
    int32_t TexVertex = -1;
    int32_t Normal = -1;
    uint8_t Visible = 1;
};

// [SECTION] TZAVPolyMesh

class TZAVPolyMesh
{
public:
    // A face keeps at most this many corners: project files store the count in 16 bits.
    static constexpr int32_t MaxCornerCount = INT16_MAX;

    TZAVPolyMesh();
    virtual ~TZAVPolyMesh();
    TZAVPolyMesh(const TZAVPolyMesh&) = delete;
    TZAVPolyMesh& operator=(const TZAVPolyMesh&) = delete;

    // Virtual operations, in slot order.
    virtual void ComputePolygonNormal(int32_t polygon);
    virtual void ComputePolygonNormals(TZAVNormalScope scope);
    virtual void ComputeVertexNormal(int32_t vertex);
    virtual void ComputeVertexNormals(TZAVNormalScope scope);
    virtual void Allocate(int32_t vertex_count, int32_t tex_vertex_count, int32_t normal_count,
                          int32_t polygon_count);
    virtual void DropDuplicateFirstCorners();
    virtual void Prepare();
    virtual void GetVertex(int32_t vertex, float out_position[3]) const;
    virtual void ComputeNormals(TZAVNormalScope scope);
    virtual void BuildVisiblePolygons();

    // Loaders build into a fresh mesh and hand the result over here, so that a failed load never
    // reaches the caller's mesh. Takes every array, list and MtlLibName of source (which is left
    // empty); the sculpt mesh extends it with its own per-vertex data. Prepare is the caller's.
    virtual void AdoptContents(TZAVPolyMesh& source);
    // Factories for the list elements, so that loaders make the kinds the mesh keeps.
    virtual TZAVMaterial* CreateMaterial() const;
    virtual TZAVGroup2* CreateGroup2() const;

    // Sizes the corner array; PolygonStart is all zero until the polygons are filled in order.
    void AllocateCorners(int32_t corner_count);
    void AllocateLines(int32_t line_count, int32_t corner_count);
    // Loaders fill polygons in order: each call closes polygon `polygon` after `corner_end` corners.
    void EndPolygon(int32_t polygon, int32_t corner_end) { PolygonStart[polygon + 1] = corner_end; }

    // Bytes held by the flat arrays (not the lists' elements).
    int64_t GetArrayBytes() const;

    int32_t GetVertexCount() const { return VertexCount; }
    int32_t GetTexVertexCount() const { return TexVertexCount; }
    int32_t GetNormalCount() const { return NormalCount; }
    int32_t GetPolygonCount() const { return PolygonCount; }
    int32_t GetLineCount() const
    {
        return static_cast<int32_t>(LineStart.empty() ? 0 : LineStart.size() - 1);
    }
    int32_t GetCornerTotal() const { return PolygonStart.empty() ? 0 : PolygonStart[PolygonCount]; }
    int32_t GetPolygonCornerCount(int32_t polygon) const
    {
        return PolygonStart[polygon + 1] - PolygonStart[polygon];
    }
    // The vertex that stands for `vertex` through the weld map (itself unless welded or ignored).
    int32_t WeldedVertex(int32_t vertex) const
    {
        return !Welded || IgnoreWeld || WeldMap[vertex] < 0 ? vertex : WeldMap[vertex];
    }
    std::span<const int32_t> GetVertexPolygons(int32_t vertex) const;
    std::span<const int32_t> GetTexVertexPolygons(int32_t tex_vertex) const;

    // Polygon cursor.
    void SelectPolygon(int32_t polygon);
    void ReleasePolygon() { CurrentPolygon = -1; }
    int32_t GetCornerCount() const;
    int32_t GetCornerVertex(int32_t corner) const;
    int32_t GetCornerTexVertex(int32_t corner) const;
    void SetCornerTexVertex(int32_t corner, int32_t tex_vertex);
    int32_t GetCornerNormal(int32_t corner) const;
    void SetCornerNormal(int32_t corner, int32_t normal);
    int32_t GetMaterial() const;
    void SetMaterial(int32_t material);
    int32_t GetGroup() const;

    // Replaces every polygon of five or more corners by a fan of quads and at most one triangle.
    void MakeQuadsAndTrisOnly();
    // Joins vertices closer than threshold times the largest extent of the bounding box.
    void WeldByThreshold(float threshold);
    void Unweld();
    // Rebuilds the vertex-to-polygon adjacency through the current weld map.
    void BuildVertexAdjacency();
    void BuildTexVertexAdjacency();

    // Polygon records in the binary form of project files: Material, Group, Count (2 bytes each),
    // then per corner Vertex, TexVertex, Normal (4 bytes each) and Visible (1 byte).
    [[nodiscard]] bool SavePolygonsToStream(FILE* file) const;
    // Reads PolygonCount records; every count and index is checked against the mesh. On failure
    // the polygons stay as they were and out_error names the file and the polygon.
    [[nodiscard]] bool LoadPolygonsFromStream(FILE* file, const std::string& file_name,
                                              std::string& out_error);

    // Geometry (3 floats per vertex and normal, 2 per texture vertex).
    std::vector<float> Vertices;
    std::vector<float> TexVertices;
    std::vector<float> Normals;
    std::vector<float> PolygonNormals;
    std::vector<float> PolygonAreas;

    // Polygons: PolygonCount + 1 offsets into the corner arrays, and per-polygon fields.
    std::vector<int32_t> PolygonStart;
    std::vector<int16_t> PolygonMaterial;
    std::vector<int16_t> PolygonGroup;
    std::vector<int16_t> PolygonPart;
    std::vector<int32_t> CornerVertex;
    std::vector<int32_t> CornerTexVertex;
    std::vector<int32_t> CornerNormal;
    std::vector<uint8_t> CornerVisible;

    // Open polylines from OBJ "l" lines, laid out like the polygons.
    std::vector<int32_t> LineStart;
    std::vector<int32_t> LineVertex;
    std::vector<int32_t> LineTexVertex;

    std::vector<uint32_t> VertexFlags;
    std::vector<uint32_t> PolygonFlags;

    // Holds one entry per vertex whenever Welded is set.
    std::vector<int32_t> WeldMap;
    bool IgnoreWeld = false;
    uint8_t Welded = 0;

    std::vector<int32_t> VertexPolygonStart;
    std::vector<int32_t> VertexPolygons;
    std::vector<int32_t> TexVertexPolygonStart;
    std::vector<int32_t> TexVertexPolygons;

    // When not empty, ComputeNormals(TZAVNormalScope::DirtyOnly) refreshes only these.
    std::vector<int32_t> DirtyPolygons;
    std::vector<int32_t> DirtyVertices;

    // Drawing order of the visible polygons and the vertices they use.
    std::vector<int32_t> VisiblePolygons;
    std::vector<int32_t> VisibleVertices;

    float BoundingMin[3] = {0, 0, 0};
    float BoundingMax[3] = {0, 0, 0};
    float BoundingDiagonal = 0;

    std::string MtlLibName;

    TZAVMultiList<TZAVGroup*> Groups;
    TZAVMultiList<TZAVGroup2*> Groups2;
    TZAVMultiList<TZAVMaterial*> Materials;

protected:
    void BuildAdjacency(const std::vector<int32_t>& corner_elements, std::vector<int32_t>& out_start,
                        std::vector<int32_t>& out_polygons) const;
    void ComputeBoundingBox();
    void MakeGroupNamesUnique();
    void BuildGroup2Vertices();
    // One normal per vertex; every corner's Normal names its (welded) vertex.
    void MakeNormalsFollowVertices();
    // The arrays the normal passes read, with the given positions, and those they write.
    TNormalInput NormalInput(std::span<const float> positions) const;
    TNormalOutput NormalOutput();

    int32_t VertexCount = 0;
    int32_t TexVertexCount = 0;
    int32_t NormalCount = 0;
    int32_t PolygonCount = 0;
    int32_t CurrentPolygon = -1;
};
