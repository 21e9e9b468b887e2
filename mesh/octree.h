// The spatial index of a mesh: an octree over the displayed positions with the polygons (placed
// by their first corner) and the vertices in its leaves. Nodes and index lists are flat arrays;
// the items of a leaf are one contiguous range of each list.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class TZAVPolyMesh;

template <typename TIndex> struct TZAVOctreeNode
{
    // Box of the node's vertices and of every corner of its polygons, so that a query rejecting
    // the box misses nothing of the node.
    float Min[3];
    float Max[3];
    // Component-wise bounds of the unit normals of its polygons' fan triangles; empty (minimum
    // above maximum) for a node without polygons.
    float NormalMin[3];
    float NormalMax[3];
    TIndex Children[8];
    TIndex FirstPolygon;
    TIndex PolygonCount;
    TIndex FirstVertex;
    TIndex VertexCount;
};

class TZAVOctree
{
public:
    using TNode = TZAVOctreeNode<int32_t>;

    struct TBuildInput
    {
        const TZAVPolyMesh* Mesh = nullptr;
        std::span<const float> Positions;
        // 6 floats per polygon: normal minimum then maximum.
        std::span<const float> NormalBounds;
        int32_t Levels = 5;
        int32_t PolygonsPerLeaf = 1;
    };
    void Build(const TBuildInput& input);

    // Positions or polygon normals changed: the leaves holding the vertices, and the polygons
    // (which a leaf bounds by all their corners), need new bounds before the next query.
    void MarkChanged(std::span<const int32_t> vertices, std::span<const int32_t> polygons);
    bool NeedsRefit() const { return !DirtyLeaves.empty(); }
    // New bounds for the marked leaves and every node above them. Items stay in their leaves, so
    // a refitted tree answers queries exactly, only a little slower as its boxes come to overlap.
    void Refit();

    // Vertices within radius of center, and polygons with a corner within it.
    void QuerySphere(const float center[3], float radius, std::vector<int32_t>& out_vertices,
                     std::vector<int32_t>& out_polygons) const;
    // Visits the nodes depth first from the root; visit(node) returns false to skip the subtree.
    template <typename TVisit> void Walk(TVisit visit) const
    {
        if (!Nodes.empty())
            WalkFrom(0, visit);
    }
    // False when every polygon normal the node's bounds allow faces away from a viewer looking
    // along view_direction; true for a node without polygons.
    static bool CanFaceViewer(const TNode& node, const float view_direction[3]);

    std::span<const int32_t> NodePolygons(const TNode& node) const
    {
        return {Polygons.data() + node.FirstPolygon, static_cast<size_t>(node.PolygonCount)};
    }
    std::span<const int32_t> NodeVertices(const TNode& node) const
    {
        return {Vertices.data() + node.FirstVertex, static_cast<size_t>(node.VertexCount)};
    }
    int32_t Depth() const { return TreeDepth; }

    // Nodes[0] is the root when there is one.
    std::vector<TNode> Nodes;
    std::vector<int32_t> Polygons;
    std::vector<int32_t> Vertices;

private:
    template <typename TVisit> void WalkFrom(int32_t node_index, TVisit& visit) const
    {
        const TNode& node = Nodes[node_index];
        if (!visit(node))
            return;
        for (int32_t child : node.Children)
            if (child >= 0)
                WalkFrom(child, visit);
    }

    static bool IsLeaf(const TNode& node);
    void BoundLeaf(TNode& node) const;

    const TZAVPolyMesh* Mesh = nullptr;
    std::span<const float> Positions;
    std::span<const float> NormalBounds;
    int32_t TreeDepth = 0;
    // The leaf of every vertex and polygon, and the leaves marked for a refit.
    std::vector<int32_t> VertexLeaf;
    std::vector<int32_t> PolygonLeaf;
    std::vector<uint8_t> LeafDirty;
    std::vector<int32_t> DirtyLeaves;
};
