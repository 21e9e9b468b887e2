// The quadtree of a material map's texture space: each node is a rectangle of the unit square
// holding the polygons whose texture-space boxes reach into it, so that painting, undo, seam
// padding and texture upload work on small rectangles of the map.
//
// Polygon boxes are kept per polygon as four 16-bit integers in units of 0.0001 (umin, vmin,
// umax, vmax), rounded outward, and polygons with texture coordinates at every corner carry
// PolygonFlag_Textured. The mesh does not keep them: ComputePolygonTextureBounds makes them from
// its texture vertices when a map builds its tree.
//
// [SECTION] Polygon texture bounds
// [SECTION] Nodes
// [SECTION] Building
// [SECTION] Looking up pixels
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/list.h"
#include "core/thingy.h"

class TZAVPolyMesh;

// [SECTION] Polygon texture bounds

// Every corner of the polygon has a texture vertex.
inline constexpr uint32_t PolygonFlag_Textured = 0x4000;
// Bounds are stored in units of this fraction of the texture's side.
inline constexpr float TextureBoundsScale = 10000.0f;

// Fills out_bounds with 4 entries per polygon and sets or clears PolygonFlag_Textured in the
// mesh's polygon flags. Coordinates beyond what 16 bits hold (about ±3.27) are clamped.
void ComputePolygonTextureBounds(TZAVPolyMesh& mesh, std::vector<int16_t>& out_bounds);

// [SECTION] Nodes

struct TTarnwick_SeamPair
{
    // Pixel indices y·Width + x: the pixel outside every polygon and the covered pixel it copies.
    int32_t Outside;
    int32_t Inside;

    bool operator==(const TTarnwick_SeamPair&) const = default;
};

class TTarnwick_PolyQuadTreeNode : public TTarnwick_Thingy
{
public:
    bool IsLeaf() const { return Children[0] == nullptr; }
    // Half-open on the far sides, except at the edge of the texture, so that every point of the
    // unit square lies in exactly one node of each depth.
    bool Contains(float u, float v) const
    {
        return u >= U0 && (u < U1 || U1 >= 1.0f) && v >= V0 && (v < V1 || V1 >= 1.0f);
    }

    int32_t Depth = 0;
    float U0 = 0, V0 = 0, U1 = 1, V1 = 1;
    int32_t PixelX = 0, PixelY = 0, PixelWidth = 0, PixelHeight = 0;
    // (U0..Um, V0..Vm), (Um..U1, V0..Vm), (U0..Um, Vm..V1), (Um..U1, Vm..V1); owned by the map's
    // node list.
    TTarnwick_PolyQuadTreeNode* Children[4] = {nullptr, nullptr, nullptr, nullptr};
    std::vector<int32_t> Polygons;
    std::vector<TTarnwick_SeamPair> SeamPairs;
    // The node owning the pixel block this node belongs to: itself at the image level.
    TTarnwick_PolyQuadTreeNode* ImageLevelNode = nullptr;
    uint8_t IsImageLevel = 0;
    uint8_t AboveImageLevel = 0;
    int32_t ImageX = 0, ImageY = 0;
    uint8_t SeamsReady = 0;
    // Painting changed pixels of the node since its seams were last fixed.
    uint8_t Dirty = 0;
    // The undo block of the stroke that first changed the node; the undo buffer owns it.
    TTarnwick_Thingy* UndoBlockNode = nullptr;
};

using TTarnwick_PolyQuadTreeNodePtr = TTarnwick_PolyQuadTreeNode*;

// [SECTION] Building

struct TTarnwick_QuadTreeShape
{
    // L: nodes of depth up to L always split. Maps up to 512 pixels a side have level 0.
    int32_t ImageLevel = 0;
    int32_t MaxDepth = 2;
};

TTarnwick_QuadTreeShape QuadTreeShapeFor(int32_t width, int32_t height);

struct TTarnwick_QuadTreeInput
{
    int32_t Width = 0;
    int32_t Height = 0;
    TTarnwick_QuadTreeShape Shape;
    // 4 per polygon, as ComputePolygonTextureBounds makes them, and the mesh's polygon flags.
    std::span<const int16_t> Bounds;
    std::span<const uint32_t> PolygonFlags;
};

// Builds the tree of every textured polygon into out_nodes (appended, root first); returns the root.
TTarnwick_PolyQuadTreeNode* BuildPolyQuadTree(const TTarnwick_QuadTreeInput& input,
                                              TZAVMultiList<TTarnwick_PolyQuadTreeNode*>& out_nodes);

// [SECTION] Looking up pixels

// A point on a polygon's surface: fan triangle k (corners 0, k + 1, k + 2) and its barycentric
// weights.
struct TTarnwick_SurfacePoint
{
    int32_t Polygon = 0;
    int32_t Triangle = 0;
    float Weights[3] = {1, 0, 0};
};

// False when the triangle does not exist or a corner has no texture vertex.
bool TexturePointOf(const TZAVPolyMesh& mesh, const TTarnwick_SurfacePoint& point, float out_uv[2]);

struct TTarnwick_MapPixel
{
    // The leaf holding the point; null when there is no tree.
    TTarnwick_PolyQuadTreeNode* Node = nullptr;
    int32_t X = 0;
    int32_t Y = 0;
};

// Descends the tree to the leaf whose rectangle holds (u, v), clamped to the unit square, and
// gives the pixel under it. The leaf holds every polygon whose texture-space area reaches the point.
TTarnwick_MapPixel LocateMapPixel(TTarnwick_PolyQuadTreeNode* root, int32_t width, int32_t height, float u,
                                  float v);
// The same answer by scanning every node for a leaf that holds the point and lists the polygon:
// the reference the descent is held to.
TTarnwick_MapPixel ScanForMapPixel(TZAVMultiList<TTarnwick_PolyQuadTreeNode*>& nodes, int32_t polygon,
                                   int32_t width, int32_t height, float u, float v);
