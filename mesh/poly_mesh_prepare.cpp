// TZAVPolyMesh::Prepare and the derived tables it builds: duplicate first corners, texture index
// repair, adjacency, open vertices, bounding box, unique group names, the vertex lists of the
// polygon groups and the drawing order. A large mesh is prepared on two threads.
//
// [SECTION] Stages
// [SECTION] Second thread
// [SECTION] Derived tables
// [SECTION] Prepare
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <strings.h>
#include <thread>
#include <utility>

#include "core/report.h"
#include "mesh/poly_mesh.h"

// [SECTION] Stages

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

// Marks the vertices with an edge that belongs to a single polygon, from the two neighbours that
// each adjacency entry of a vertex has in its polygon (gathered while the adjacency was filled).
// A neighbour met once shows such an edge.
void MarkOpenVerticesFromRings(TZAVPolyMesh& mesh, const int32_t* ring_neighbours)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    std::vector<uint8_t> met(vertex_count, 0);
    const int32_t* start = mesh.VertexPolygonStart.data();
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        const int32_t* first = ring_neighbours + 2 * static_cast<size_t>(start[vertex]);
        const int32_t* last = ring_neighbours + 2 * static_cast<size_t>(start[vertex + 1]);
        for (const int32_t* neighbour = first; neighbour < last; neighbour++)
            met[*neighbour] += met[*neighbour] < UINT8_MAX;
        bool open = false;
        for (const int32_t* neighbour = first; neighbour < last; neighbour++) {
            open |= met[*neighbour] == 1;
            met[*neighbour] = 0;
        }
        if (open)
            mesh.VertexFlags[vertex] |= VertexFlag_Open;
    }
}

// Shifts offsets that a fill advanced back into place: start[e] ends where start[e + 1] began.
void ShiftOffsetsBack(std::vector<int32_t>& start)
{
    std::copy_backward(start.begin(), start.end() - 1, start.end());
    start.front() = 0;
}

// Checks the corners' vertices, points each corner's normal at its vertex and sizes the vertex
// adjacency: offsets from the count of corners at each vertex.
void CountVertexCorners(TZAVPolyMesh& mesh)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    mesh.VertexPolygonStart.assign(static_cast<size_t>(vertex_count) + 1, 0);
    int32_t* vertex_start = mesh.VertexPolygonStart.data();
    const size_t corner_total = mesh.CornerVertex.size();
    for (size_t corner = 0; corner < corner_total; corner++) {
        const int32_t vertex = mesh.CornerVertex[corner];
        // Loaders check their indices; a bad one here is a fault of the code that filled the mesh.
        if (static_cast<uint32_t>(vertex) >= static_cast<uint32_t>(vertex_count))
            ReportError("Corner vertex %d out of range in TZAVPolyMesh::Prepare()", vertex);
        mesh.CornerNormal[corner] = vertex;
        vertex_start[vertex]++;
    }
    CountsToOffsets(mesh.VertexPolygonStart);
    mesh.VertexPolygons.resize(mesh.VertexPolygonStart.back());
}

// Fills the vertex adjacency that CountVertexCorners sized. Returns for each adjacency entry of a
// vertex the corners before and after it in its polygon, which is all that marking the open
// vertices needs.
std::unique_ptr<int32_t[]> FillVertexPolygons(TZAVPolyMesh& mesh)
{
    const int32_t polygon_count = mesh.GetPolygonCount();
    int32_t* vertex_start = mesh.VertexPolygonStart.data();
    auto ring_neighbours = std::make_unique_for_overwrite<int32_t[]>(2 * mesh.CornerVertex.size());
    // Fill by advancing each start, then shift back.
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        const int32_t start = mesh.PolygonStart[polygon];
        const int32_t end = mesh.PolygonStart[polygon + 1];
        if (start == end)
            continue;
        int32_t previous = mesh.CornerVertex[end - 1];
        for (int32_t corner = start; corner < end; corner++) {
            const int32_t vertex = mesh.CornerVertex[corner];
            const int32_t slot = vertex_start[vertex]++;
            mesh.VertexPolygons[slot] = polygon;
            ring_neighbours[2 * static_cast<size_t>(slot)] = previous;
            ring_neighbours[2 * static_cast<size_t>(slot) + 1] =
                mesh.CornerVertex[corner + 1 == end ? start : corner + 1];
            previous = vertex;
        }
    }
    ShiftOffsetsBack(mesh.VertexPolygonStart);
    return ring_neighbours;
}

// Repairs the corners' texture vertices (none without texture vertices, the first for an index out
// of range) and builds the texture vertex adjacency.
void BuildTexVertexTables(TZAVPolyMesh& mesh)
{
    const int32_t tex_vertex_count = mesh.GetTexVertexCount();
    mesh.TexVertexPolygonStart.clear();
    mesh.TexVertexPolygons.clear();
    if (tex_vertex_count == 0) {
        std::fill(mesh.CornerTexVertex.begin(), mesh.CornerTexVertex.end(), -1);
        return;
    }
    mesh.TexVertexPolygonStart.assign(static_cast<size_t>(tex_vertex_count) + 1, 0);
    int32_t* tex_vertex_start = mesh.TexVertexPolygonStart.data();
    for (int32_t& tex_vertex : mesh.CornerTexVertex) {
        if (static_cast<uint32_t>(tex_vertex) >= static_cast<uint32_t>(tex_vertex_count))
            tex_vertex = 0;
        tex_vertex_start[tex_vertex]++;
    }
    CountsToOffsets(mesh.TexVertexPolygonStart);
    mesh.TexVertexPolygons.resize(mesh.TexVertexPolygonStart.back());
    const int32_t polygon_count = mesh.GetPolygonCount();
    for (int32_t polygon = 0; polygon < polygon_count; polygon++)
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++)
            mesh.TexVertexPolygons[tex_vertex_start[mesh.CornerTexVertex[corner]]++] = polygon;
    ShiftOffsetsBack(mesh.TexVertexPolygonStart);
}

// [SECTION] Second thread

// Below this many corners a second thread costs more than it saves.
constexpr size_t SideThreadCornerTotal = 1 << 16;

// A task run beside the calling thread, or at once on it. Join waits and rethrows what the task
// threw; the destructor waits too, so that a throw on the calling thread never leaves the task
// working on data that is going away.
class TSideTask
{
public:
    enum class TPlace
    {
        CallingThread,
        SideThread,
    };

    template <typename TTask> TSideTask(TPlace place, TTask task)
    {
        if (place == TPlace::CallingThread) {
            task();
            return;
        }
        Thread = std::jthread([this, task] {
            try {
                task();
            } catch (...) {
                Failure = std::current_exception();
            }
        });
    }

    TSideTask(const TSideTask&) = delete;
    TSideTask& operator=(const TSideTask&) = delete;

    void Join()
    {
        if (Thread.joinable())
            Thread.join();
        if (Failure)
            std::rethrow_exception(std::exchange(Failure, nullptr));
    }

private:
    std::exception_ptr Failure;
    std::jthread Thread;
};

} // namespace

// [SECTION] Derived tables

// Polygons at each element named by corner_elements (-1 = none): out_start, sized element count
// + 1 and zero, receives the offsets into out_polygons.
void TZAVPolyMesh::BuildAdjacency(const std::vector<int32_t>& corner_elements,
                                  std::vector<int32_t>& out_start, std::vector<int32_t>& out_polygons) const
{
    for (int32_t element : corner_elements)
        if (element >= 0)
            out_start[element]++;
    CountsToOffsets(out_start);
    out_polygons.resize(out_start.back());
    // Fill by advancing each start, then shift back: start[e] ends where start[e + 1] began.
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++)
        for (int32_t corner = PolygonStart[polygon]; corner < PolygonStart[polygon + 1]; corner++)
            if (corner_elements[corner] >= 0)
                out_polygons[out_start[corner_elements[corner]]++] = polygon;
    std::copy_backward(out_start.begin(), out_start.end() - 1, out_start.end());
    out_start[0] = 0;
}

void TZAVPolyMesh::DropDuplicateFirstCorners()
{
    auto repeats_first_corner = [&](int32_t polygon) {
        const int32_t start = PolygonStart[polygon];
        return PolygonStart[polygon + 1] - start > 3 && CornerVertex[start] == CornerVertex[start + 1];
    };
    // Nothing moves before the first polygon that loses a corner.
    int32_t first = 0;
    while (first < PolygonCount && !repeats_first_corner(first))
        first++;
    if (first == PolygonCount)
        return;
    int32_t write = PolygonStart[first];
    int32_t read = write;
    for (int32_t polygon = first; polygon < PolygonCount; polygon++) {
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
    if (!Welded || IgnoreWeld) {
        BuildAdjacency(CornerVertex, VertexPolygonStart, VertexPolygons);
        return;
    }
    std::vector<int32_t> welded_vertices(CornerVertex.size());
    for (size_t corner = 0; corner < CornerVertex.size(); corner++)
        welded_vertices[corner] = WeldedVertex(CornerVertex[corner]);
    BuildAdjacency(welded_vertices, VertexPolygonStart, VertexPolygons);
}

void TZAVPolyMesh::BuildTexVertexAdjacency()
{
    TexVertexPolygonStart.clear();
    TexVertexPolygons.clear();
    if (TexVertexCount == 0)
        return;
    TexVertexPolygonStart.assign(static_cast<size_t>(TexVertexCount) + 1, 0);
    BuildAdjacency(CornerTexVertex, TexVertexPolygonStart, TexVertexPolygons);
}

void TZAVPolyMesh::ComputeBoundingBox()
{
    if (VertexCount == 0) {
        std::fill_n(BoundingMin, 3, 0.0f);
        std::fill_n(BoundingMax, 3, 0.0f);
        BoundingDiagonal = 0;
        return;
    }
    // Locals, which the compiler keeps in registers; the members might alias the positions.
    float minimum[3] = {Vertices[0], Vertices[1], Vertices[2]};
    float maximum[3] = {Vertices[0], Vertices[1], Vertices[2]};
    const float* positions = Vertices.data();
    for (int32_t vertex = 1; vertex < VertexCount; vertex++) {
        const float* position = positions + 3 * static_cast<size_t>(vertex);
        for (int32_t axis = 0; axis < 3; axis++) {
            minimum[axis] = std::min(minimum[axis], position[axis]);
            maximum[axis] = std::max(maximum[axis], position[axis]);
        }
    }
    std::copy_n(minimum, 3, BoundingMin);
    std::copy_n(maximum, 3, BoundingMax);
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
            // Names of any length: the report formatter would cut them.
            groups[i]->SetNameLiteral(original + " (" + std::to_string(counter++) + ")");
            j = -1;
        }
    }
}

void TZAVPolyMesh::BuildGroup2Vertices()
{
    const int32_t group_count = Groups2.Count();
    TZAVGroup2** groups = Groups2.Data();
    std::vector<int32_t> sizes(group_count, 0);
    // The distinct groups at one vertex, in the order met, and the lowest of them.
    std::vector<int32_t> vertex_groups;
    int32_t first_group = INT32_MAX;
    auto collect_groups = [&](int32_t vertex) {
        vertex_groups.clear();
        first_group = INT32_MAX;
        int32_t previous_group = -1;
        for (int32_t polygon : GetVertexPolygons(vertex)) {
            const int32_t group = PolygonGroup[polygon];
            if (group == previous_group || group < 0 || group >= group_count)
                continue;
            previous_group = group;
            if (std::find(vertex_groups.begin(), vertex_groups.end(), group) != vertex_groups.end())
                continue;
            vertex_groups.push_back(group);
            first_group = std::min(first_group, group);
        }
    };
    // Walking the vertices in order gives each group its vertices already sorted. The first walk
    // counts and keeps the group of each vertex that has only one (most have), so that the second
    // walk, which fills, revisits the polygons only of the vertices on a group border.
    constexpr int32_t NoGroup = -1;
    constexpr int32_t SeveralGroups = -2;
    auto sole_group = [&](int32_t vertex) {
        int32_t found = NoGroup;
        for (int32_t polygon : GetVertexPolygons(vertex)) {
            const int32_t group = PolygonGroup[polygon];
            if (group == found || group < 0 || group >= group_count)
                continue;
            if (found != NoGroup)
                return SeveralGroups;
            found = group;
        }
        return found;
    };
    auto single_group = std::make_unique_for_overwrite<int32_t[]>(VertexCount);
    for (int32_t vertex = 0; vertex < VertexCount; vertex++) {
        const int32_t group = sole_group(vertex);
        single_group[vertex] = group;
        if (group >= 0) {
            sizes[group]++;
            continue;
        }
        if (group == NoGroup)
            continue;
        collect_groups(vertex);
        for (int32_t shared_group : vertex_groups)
            sizes[shared_group]++;
    }
    for (int32_t group = 0; group < group_count; group++) {
        groups[group]->Vertices.resize(sizes[group]);
        groups[group]->Shared.resize(sizes[group]);
        sizes[group] = 0;
    }
    for (int32_t vertex = 0; vertex < VertexCount; vertex++) {
        const int32_t group = single_group[vertex];
        if (group >= 0) {
            groups[group]->Vertices[sizes[group]] = vertex;
            groups[group]->Shared[sizes[group]] = 0;
            sizes[group]++;
            continue;
        }
        if (group == NoGroup)
            continue;
        collect_groups(vertex);
        for (int32_t shared_group : vertex_groups) {
            groups[shared_group]->Vertices[sizes[shared_group]] = vertex;
            groups[shared_group]->Shared[sizes[shared_group]] = shared_group != first_group;
            sizes[shared_group]++;
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

// [SECTION] Prepare

// The stages write disjoint arrays, so that running two at once gives the same bits as running
// them in turn: first the vertex adjacency and open vertices beside the texture adjacency, the
// polygon normals and the bounding box; then the vertex normals beside the polygon groups' lists.
// Each stage sizes the arrays it fills, so that the first touches of fresh memory are shared out
// too; the normal passes write every entry, so they size theirs only when the counts changed.
void TZAVPolyMesh::Prepare()
{
    if (Materials.Count() > 0)
        Materials.SetCurrent(0);
    DropDuplicateFirstCorners();

    Welded = 0;
    VertexFlags.assign(VertexCount, 0);
    CurrentPolygon = -1;
    // They name polygons and vertices of the mesh before; every normal is computed afresh below.
    DirtyPolygons.clear();
    DirtyVertices.clear();

    const TSideTask::TPlace place = CornerVertex.size() < SideThreadCornerTotal
                                        ? TSideTask::TPlace::CallingThread
                                        : TSideTask::TPlace::SideThread;
    // Checks every corner's vertex before any stage reads positions through it.
    CountVertexCorners(*this);
    TSideTask beside_tables(place, [this] {
        WeldMap.assign(VertexCount, -1);
        PolygonFlags.assign(PolygonCount, 0);
        BuildTexVertexTables(*this);
        ComputePolygonNormals(TZAVNormalScope::All);
        ComputeBoundingBox();
    });
    std::unique_ptr<int32_t[]> ring_neighbours = FillVertexPolygons(*this);
    MarkOpenVerticesFromRings(*this, ring_neighbours.get());
    ring_neighbours.reset();
    MakeGroupNamesUnique();
    beside_tables.Join();

    TSideTask beside_normals(place, [this] { BuildGroup2Vertices(); });
    // One normal per vertex, named by every corner of the vertex (CountVertexCorners points them).
    Normals.assign(3 * static_cast<size_t>(VertexCount), 0.0f);
    NormalCount = VertexCount;
    for (TZAVGroup* group : Groups)
        group->NormalRange = group->VertexRange;
    ComputeVertexNormals(TZAVNormalScope::All);
    beside_normals.Join();
    // Every polygon starts visible; the tools walk the visible lists from the first stroke on.
    BuildVisiblePolygons();
}
