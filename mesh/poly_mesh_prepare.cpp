// TZAVPolyMesh::Prepare and the derived tables it builds: duplicate first corners, texture index
// repair, adjacency, open vertices, bounding box, unique group names, the vertex lists of the
// polygon groups and the drawing order.
#include <algorithm>
#include <cmath>
#include <strings.h>

#include "core/report.h"
#include "mesh/poly_mesh.h"

namespace {

// Counts per key, then turns counts into offsets: out_start[key] .. out_start[key + 1].
void CountsToOffsets(std::vector<int32_t>& out_start)
{
    int32_t sum = 0;
    for (int32_t& entry : out_start) {
        int32_t count = entry;
        entry = sum;
        sum += count;
    }
}

} // namespace

void TZAVPolyMesh::DropDuplicateFirstCorners()
{
    int32_t write = 0;
    int32_t read = PolygonStart.empty() ? 0 : PolygonStart[0];
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++) {
        int32_t end = PolygonStart[polygon + 1];
        if (end - read > 3 && CornerVertex[read] == CornerVertex[read + 1])
            read++;
        PolygonStart[polygon] = write;
        for (; read < end; read++, write++) {
            CornerVertex[write] = CornerVertex[read];
            CornerTexVertex[write] = CornerTexVertex[read];
            CornerNormal[write] = CornerNormal[read];
            CornerVisible[write] = CornerVisible[read];
        }
    }
    PolygonStart[PolygonCount] = write;
    CornerVertex.resize(write);
    CornerTexVertex.resize(write);
    CornerNormal.resize(write);
    CornerVisible.resize(write);
}

void TZAVPolyMesh::BuildVertexAdjacency()
{
    VertexPolygonStart.assign(static_cast<size_t>(VertexCount) + 1, 0);
    for (int32_t vertex : CornerVertex)
        VertexPolygonStart[WeldedVertex(vertex)]++;
    CountsToOffsets(VertexPolygonStart);
    VertexPolygons.resize(CornerVertex.size());
    // Fill by advancing each start, then shift back: start[v] ends where start[v + 1] began.
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++)
        for (int32_t corner = PolygonStart[polygon]; corner < PolygonStart[polygon + 1]; corner++)
            VertexPolygons[VertexPolygonStart[WeldedVertex(CornerVertex[corner])]++] = polygon;
    std::copy_backward(VertexPolygonStart.begin(), VertexPolygonStart.end() - 1, VertexPolygonStart.end());
    VertexPolygonStart[0] = 0;
}

void TZAVPolyMesh::BuildTexVertexAdjacency()
{
    TexVertexPolygonStart.clear();
    TexVertexPolygons.clear();
    if (TexVertexCount == 0)
        return;
    TexVertexPolygonStart.assign(static_cast<size_t>(TexVertexCount) + 1, 0);
    for (int32_t tex_vertex : CornerTexVertex)
        if (tex_vertex >= 0)
            TexVertexPolygonStart[tex_vertex]++;
    CountsToOffsets(TexVertexPolygonStart);
    TexVertexPolygons.resize(TexVertexPolygonStart[TexVertexCount]);
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++)
        for (int32_t corner = PolygonStart[polygon]; corner < PolygonStart[polygon + 1]; corner++)
            if (CornerTexVertex[corner] >= 0)
                TexVertexPolygons[TexVertexPolygonStart[CornerTexVertex[corner]]++] = polygon;
    std::copy_backward(TexVertexPolygonStart.begin(), TexVertexPolygonStart.end() - 1,
                       TexVertexPolygonStart.end());
    TexVertexPolygonStart[0] = 0;
}

void TZAVPolyMesh::MarkOpenVertices()
{
    std::vector<int32_t> neighbours;
    for (int32_t vertex = 0; vertex < VertexCount; vertex++) {
        neighbours.clear();
        int32_t previous_polygon = -1;
        for (int32_t polygon : GetVertexPolygons(vertex)) {
            // A polygon that uses the vertex twice is listed twice; its corners are met once.
            if (polygon == previous_polygon)
                continue;
            previous_polygon = polygon;
            const int32_t start = PolygonStart[polygon];
            const int32_t count = PolygonStart[polygon + 1] - start;
            for (int32_t k = 0; k < count; k++) {
                if (WeldedVertex(CornerVertex[start + k]) != vertex)
                    continue;
                neighbours.push_back(WeldedVertex(CornerVertex[start + (k + count - 1) % count]));
                neighbours.push_back(WeldedVertex(CornerVertex[start + (k + 1) % count]));
            }
        }
        std::sort(neighbours.begin(), neighbours.end());
        // An edge used by one polygon shows as a neighbour met once.
        for (size_t i = 0; i < neighbours.size();) {
            size_t run = i + 1;
            while (run < neighbours.size() && neighbours[run] == neighbours[i])
                run++;
            if (run - i == 1) {
                VertexFlags[vertex] |= VertexFlag_Open;
                break;
            }
            i = run;
        }
    }
}

void TZAVPolyMesh::ComputeBoundingBox()
{
    if (VertexCount == 0) {
        std::fill_n(BoundingMin, 3, 0.0f);
        std::fill_n(BoundingMax, 3, 0.0f);
        BoundingDiagonal = 0;
        return;
    }
    for (int32_t axis = 0; axis < 3; axis++)
        BoundingMin[axis] = BoundingMax[axis] = Vertices[axis];
    for (int32_t vertex = 1; vertex < VertexCount; vertex++) {
        const float* position = &Vertices[3 * static_cast<size_t>(vertex)];
        for (int32_t axis = 0; axis < 3; axis++) {
            BoundingMin[axis] = std::min(BoundingMin[axis], position[axis]);
            BoundingMax[axis] = std::max(BoundingMax[axis], position[axis]);
        }
    }
    float size[3] = {BoundingMax[0] - BoundingMin[0], BoundingMax[1] - BoundingMin[1],
                     BoundingMax[2] - BoundingMin[2]};
    BoundingDiagonal = std::sqrt(size[0] * size[0] + size[1] * size[1] + size[2] * size[2]);
}

void TZAVPolyMesh::MakeGroupNamesUnique()
{
    const int32_t count = Groups.Count();
    TZAVGroup** groups = Groups.Data();
    for (int32_t i = count - 1; i >= 0; i--) {
        const std::string original = groups[i]->Name;
        int32_t counter = 1;
        for (int32_t j = 0; j < count; j++) {
            if (j == i || strcasecmp(groups[i]->Name.c_str(), groups[j]->Name.c_str()) != 0)
                continue;
            groups[i]->SetNameLiteral(FormatReportTextf("%s (%d)", original.c_str(), counter++));
            j = -1;
        }
    }
}

void TZAVPolyMesh::BuildGroup2Vertices()
{
    const int32_t group_count = Groups2.Count();
    TZAVGroup2** groups = Groups2.Data();
    // Walking the vertices in order gives each group its vertices already sorted.
    std::vector<int32_t> last_vertex(group_count, -1);
    std::vector<int32_t> sizes(group_count, 0);
    for (int pass = 0; pass < 2; pass++) {
        std::fill(last_vertex.begin(), last_vertex.end(), -1);
        for (int32_t group = 0; group < group_count; group++) {
            if (pass == 1) {
                groups[group]->Vertices.resize(sizes[group]);
                groups[group]->Shared.resize(sizes[group]);
            }
            sizes[group] = 0;
        }
        for (int32_t vertex = 0; vertex < VertexCount; vertex++) {
            int32_t first_group = INT32_MAX;
            for (int32_t polygon : GetVertexPolygons(vertex)) {
                int32_t group = PolygonGroup[polygon];
                if (group >= 0 && group < group_count)
                    first_group = std::min(first_group, group);
            }
            for (int32_t polygon : GetVertexPolygons(vertex)) {
                int32_t group = PolygonGroup[polygon];
                if (group < 0 || group >= group_count || last_vertex[group] == vertex)
                    continue;
                last_vertex[group] = vertex;
                if (pass == 1) {
                    groups[group]->Vertices[sizes[group]] = vertex;
                    groups[group]->Shared[sizes[group]] = group != first_group;
                }
                sizes[group]++;
            }
        }
    }
}

void TZAVPolyMesh::BuildVisiblePolygons()
{
    VisiblePolygons.clear();
    VisibleVertices.clear();
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++) {
        if (PolygonFlags[polygon] & PolygonFlag_Hidden)
            continue;
        VisiblePolygons.push_back(polygon);
        for (int32_t corner = PolygonStart[polygon]; corner < PolygonStart[polygon + 1]; corner++) {
            int32_t vertex = WeldedVertex(CornerVertex[corner]);
            if (vertex < 0 || vertex >= VertexCount)
                ReportError("j is out of range in BuildVisiblePolygons (vertices)");
            VertexFlags[vertex] |= VertexFlag_Scratch;
        }
    }
    for (int32_t vertex = 0; vertex < VertexCount; vertex++) {
        if (VertexFlags[vertex] & VertexFlag_Scratch)
            VisibleVertices.push_back(vertex);
        VertexFlags[vertex] &= ~static_cast<uint32_t>(VertexFlag_Scratch);
    }
}

void TZAVPolyMesh::Prepare()
{
    if (Materials.Count() > 0)
        Materials.SetCurrent(0);
    DropDuplicateFirstCorners();

    // Loaders check their indices; a bad one here is a fault of the code that filled the mesh.
    for (int32_t vertex : CornerVertex)
        if (vertex < 0 || vertex >= VertexCount)
            ReportError("Corner vertex %d out of range in TZAVPolyMesh::Prepare()", vertex);
    for (int32_t& tex_vertex : CornerTexVertex)
        if (TexVertexCount == 0)
            tex_vertex = -1;
        else if (tex_vertex < 0 || tex_vertex >= TexVertexCount)
            tex_vertex = 0;

    WeldMap.assign(VertexCount, -1);
    Welded = 0;
    MakeNormalsFollowVertices();
    VertexFlags.assign(VertexCount, 0);
    PolygonFlags.assign(PolygonCount, 0);
    PolygonNormals.assign(3 * static_cast<size_t>(PolygonCount), 0.0f);
    PolygonAreas.assign(PolygonCount, 0.0f);
    CurrentPolygon = -1;

    BuildVertexAdjacency();
    BuildTexVertexAdjacency();
    MarkOpenVertices();
    ComputeNormals(true);
    ComputeBoundingBox();
    MakeGroupNamesUnique();
    BuildGroup2Vertices();
}
