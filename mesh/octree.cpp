// Octree build and queries. Cells split at their centre; items go to the child of the octant they
// lie in, a polygon by its first corner. Only leaves list items; each node's box and normal bounds
// cover everything below it.
#include "mesh/octree.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "mesh/poly_mesh.h"

namespace {

struct TCell
{
    float Min[3];
    float Max[3];
};

// Stable partition of items by octant code (0..7); out_starts receives the 9 range offsets.
void PartitionByOctant(std::span<int32_t> items, std::vector<int32_t>& scratch, std::vector<uint8_t>& codes,
                       int32_t out_starts[9])
{
    std::fill_n(out_starts, 9, 0);
    for (uint8_t code : codes)
        out_starts[code + 1]++;
    std::partial_sum(out_starts, out_starts + 9, out_starts);
    int32_t fill[8];
    std::copy_n(out_starts, 8, fill);
    scratch.resize(items.size());
    for (size_t i = 0; i < items.size(); i++)
        scratch[fill[codes[i]]++] = items[i];
    std::copy(scratch.begin(), scratch.end(), items.begin());
}

void GrowBox(float minimum[3], float maximum[3], const float* point)
{
    for (int32_t k = 0; k < 3; k++) {
        minimum[k] = std::min(minimum[k], point[k]);
        maximum[k] = std::max(maximum[k], point[k]);
    }
}

} // namespace

namespace {

// The recursive part of the build, holding the input and the scratch buffers.
class TOctreeBuilder
{
public:
    TOctreeBuilder(TZAVOctree& tree, const TZAVOctree::TBuildInput& input) : Tree(tree), Input(input) {}

    int32_t BuildNode(const TCell& cell, int32_t first_polygon, int32_t polygon_count, int32_t first_vertex,
                      int32_t vertex_count, int32_t depth)
    {
        const int32_t node_index = static_cast<int32_t>(Tree.Nodes.size());
        Tree.Nodes.push_back({});
        MaximumDepth = std::max(MaximumDepth, depth);
        TZAVOctree::TNode node{};
        std::fill_n(node.Children, 8, -1);

        if (depth + 1 >= Input.Levels || polygon_count <= Input.PolygonsPerLeaf) {
            node.FirstPolygon = first_polygon;
            node.PolygonCount = polygon_count;
            node.FirstVertex = first_vertex;
            node.VertexCount = vertex_count;
            Tree.Nodes[node_index] = node;
            return node_index;
        }

        const float centre[3] = {(cell.Min[0] + cell.Max[0]) / 2, (cell.Min[1] + cell.Max[1]) / 2,
                                 (cell.Min[2] + cell.Max[2]) / 2};
        auto octant = [&](const float* point) {
            return static_cast<uint8_t>((point[0] >= centre[0]) | (point[1] >= centre[1]) << 1 |
                                        (point[2] >= centre[2]) << 2);
        };
        std::span<int32_t> polygons(Tree.Polygons.data() + first_polygon, polygon_count);
        std::span<int32_t> vertices(Tree.Vertices.data() + first_vertex, vertex_count);
        Codes.resize(polygons.size());
        for (size_t i = 0; i < polygons.size(); i++)
            Codes[i] = FirstCorner(polygons[i]) ? octant(FirstCorner(polygons[i])) : 0;
        int32_t polygon_starts[9];
        PartitionByOctant(polygons, Scratch, Codes, polygon_starts);
        Codes.resize(vertices.size());
        for (size_t i = 0; i < vertices.size(); i++)
            Codes[i] = octant(Position(vertices[i]));
        int32_t vertex_starts[9];
        PartitionByOctant(vertices, Scratch, Codes, vertex_starts);

        node.FirstPolygon = first_polygon;
        node.FirstVertex = first_vertex;
        node.PolygonCount = 0;
        node.VertexCount = 0;
        for (int32_t child = 0; child < 8; child++) {
            const int32_t child_polygons = polygon_starts[child + 1] - polygon_starts[child];
            const int32_t child_vertices = vertex_starts[child + 1] - vertex_starts[child];
            if (child_polygons == 0 && child_vertices == 0)
                continue;
            TCell child_cell;
            for (int32_t k = 0; k < 3; k++) {
                const bool upper = (child >> k) & 1;
                child_cell.Min[k] = upper ? centre[k] : cell.Min[k];
                child_cell.Max[k] = upper ? cell.Max[k] : centre[k];
            }
            const int32_t child_index =
                BuildNode(child_cell, first_polygon + polygon_starts[child], child_polygons,
                          first_vertex + vertex_starts[child], child_vertices, depth + 1);
            node.Children[child] = child_index;
        }
        Tree.Nodes[node_index] = node;
        return node_index;
    }

    int32_t MaximumDepth = 0;

private:
    const float* Position(int32_t vertex) const { return &Input.Positions[3 * static_cast<size_t>(vertex)]; }

    const float* FirstCorner(int32_t polygon) const
    {
        const TZAVPolyMesh& mesh = *Input.Mesh;
        if (mesh.GetPolygonCornerCount(polygon) == 0)
            return nullptr;
        return Position(mesh.WeldedVertex(mesh.CornerVertex[mesh.PolygonStart[polygon]]));
    }

    TZAVOctree& Tree;
    const TZAVOctree::TBuildInput& Input;
    std::vector<int32_t> Scratch;
    std::vector<uint8_t> Codes;
};

} // namespace

bool TZAVOctree::IsLeaf(const TNode& node)
{
    return std::all_of(node.Children, node.Children + 8, [](int32_t child) { return child < 0; });
}

void TZAVOctree::BoundLeaf(TNode& node) const
{
    std::fill_n(node.Min, 3, INFINITY);
    std::fill_n(node.Max, 3, -INFINITY);
    std::fill_n(node.NormalMin, 3, INFINITY);
    std::fill_n(node.NormalMax, 3, -INFINITY);
    auto position = [&](int32_t vertex) { return &Positions[3 * static_cast<size_t>(vertex)]; };
    for (int32_t vertex : NodeVertices(node))
        GrowBox(node.Min, node.Max, position(vertex));
    const bool has_bounds = NormalBounds.size() == 6 * static_cast<size_t>(Mesh->GetPolygonCount());
    for (int32_t polygon : NodePolygons(node)) {
        for (int32_t corner = Mesh->PolygonStart[polygon]; corner < Mesh->PolygonStart[polygon + 1]; corner++)
            GrowBox(node.Min, node.Max, position(Mesh->WeldedVertex(Mesh->CornerVertex[corner])));
        if (has_bounds) {
            const float* bounds = &NormalBounds[6 * static_cast<size_t>(polygon)];
            GrowBox(node.NormalMin, node.NormalMax, bounds);
            GrowBox(node.NormalMin, node.NormalMax, bounds + 3);
        }
    }
}

void TZAVOctree::Build(const TBuildInput& input)
{
    Nodes.clear();
    Mesh = input.Mesh;
    Positions = input.Positions;
    NormalBounds = input.NormalBounds;
    DirtyLeaves.clear();
    TreeDepth = 0;
    const int32_t vertex_count = static_cast<int32_t>(input.Positions.size() / 3);
    const int32_t polygon_count = input.Mesh != nullptr ? input.Mesh->GetPolygonCount() : 0;
    Polygons.resize(polygon_count);
    std::iota(Polygons.begin(), Polygons.end(), 0);
    Vertices.resize(vertex_count);
    std::iota(Vertices.begin(), Vertices.end(), 0);
    if (vertex_count == 0)
        return;
    TCell root;
    std::copy_n(&input.Positions[0], 3, root.Min);
    std::copy_n(&input.Positions[0], 3, root.Max);
    for (int32_t vertex = 1; vertex < vertex_count; vertex++)
        GrowBox(root.Min, root.Max, &input.Positions[3 * static_cast<size_t>(vertex)]);
    TOctreeBuilder builder(*this, input);
    builder.BuildNode(root, 0, polygon_count, 0, vertex_count, 0);
    TreeDepth = builder.MaximumDepth + 1;

    VertexLeaf.assign(vertex_count, -1);
    PolygonLeaf.assign(polygon_count, -1);
    LeafDirty.assign(Nodes.size(), 0);
    for (size_t node = 0; node < Nodes.size(); node++) {
        if (!IsLeaf(Nodes[node]))
            continue;
        for (int32_t vertex : NodeVertices(Nodes[node]))
            VertexLeaf[vertex] = int32_t(node);
        for (int32_t polygon : NodePolygons(Nodes[node]))
            PolygonLeaf[polygon] = int32_t(node);
        LeafDirty[node] = 1;
        DirtyLeaves.push_back(int32_t(node));
    }
    // The bounds come from the same code that refits them.
    Refit();
}

void TZAVOctree::MarkChanged(std::span<const int32_t> vertices, std::span<const int32_t> polygons)
{
    auto mark = [&](const std::vector<int32_t>& leaf_of, int32_t item) {
        if (static_cast<size_t>(item) >= leaf_of.size() || leaf_of[item] < 0 || LeafDirty[leaf_of[item]])
            return;
        LeafDirty[leaf_of[item]] = 1;
        DirtyLeaves.push_back(leaf_of[item]);
    };
    for (int32_t vertex : vertices)
        mark(VertexLeaf, vertex);
    for (int32_t polygon : polygons)
        mark(PolygonLeaf, polygon);
}

void TZAVOctree::Refit()
{
    if (DirtyLeaves.empty())
        return;
    for (int32_t leaf : DirtyLeaves) {
        BoundLeaf(Nodes[leaf]);
        LeafDirty[leaf] = 0;
    }
    DirtyLeaves.clear();
    // Children come after their parent in the array, so one backward sweep bounds every inner node.
    for (size_t index = Nodes.size(); index-- > 0;) {
        TNode& node = Nodes[index];
        if (IsLeaf(node))
            continue;
        std::fill_n(node.Min, 3, INFINITY);
        std::fill_n(node.Max, 3, -INFINITY);
        std::fill_n(node.NormalMin, 3, INFINITY);
        std::fill_n(node.NormalMax, 3, -INFINITY);
        for (int32_t child : node.Children) {
            if (child < 0)
                continue;
            const TNode& below = Nodes[child];
            GrowBox(node.Min, node.Max, below.Min);
            GrowBox(node.Min, node.Max, below.Max);
            if (below.NormalMin[0] <= below.NormalMax[0]) {
                GrowBox(node.NormalMin, node.NormalMax, below.NormalMin);
                GrowBox(node.NormalMin, node.NormalMax, below.NormalMax);
            }
        }
    }
}

void TZAVOctree::QuerySphere(const float center[3], float radius, std::vector<int32_t>& out_vertices,
                             std::vector<int32_t>& out_polygons) const
{
    out_vertices.clear();
    out_polygons.clear();
    const float radius_squared = radius * radius;
    auto within = [&](const float* point) {
        const float dx = point[0] - center[0], dy = point[1] - center[1], dz = point[2] - center[2];
        return dx * dx + dy * dy + dz * dz <= radius_squared;
    };
    Walk([&](const TNode& node) {
        float distance_squared = 0;
        for (int32_t k = 0; k < 3; k++) {
            const float outside = std::max({node.Min[k] - center[k], 0.0f, center[k] - node.Max[k]});
            distance_squared += outside * outside;
        }
        if (distance_squared > radius_squared)
            return false;
        for (int32_t vertex : NodeVertices(node))
            if (within(&Positions[3 * static_cast<size_t>(vertex)]))
                out_vertices.push_back(vertex);
        for (int32_t polygon : NodePolygons(node)) {
            for (int32_t corner = Mesh->PolygonStart[polygon]; corner < Mesh->PolygonStart[polygon + 1];
                 corner++) {
                if (within(&Positions[3 *
                                      static_cast<size_t>(Mesh->WeldedVertex(Mesh->CornerVertex[corner]))])) {
                    out_polygons.push_back(polygon);
                    break;
                }
            }
        }
        return true;
    });
}

bool TZAVOctree::CanFaceViewer(const TNode& node, const float view_direction[3])
{
    // Without polygons there is nothing to face away.
    if (!(node.NormalMin[0] <= node.NormalMax[0]))
        return true;
    // The smallest dot product any normal within the bounds can have with the view direction.
    float smallest = 0;
    for (int32_t k = 0; k < 3; k++)
        smallest += std::min(node.NormalMin[k] * view_direction[k], node.NormalMax[k] * view_direction[k]);
    return smallest < 0;
}
