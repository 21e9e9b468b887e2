// The quadtree of a map's texture space: polygon texture bounds, the build, and the pixel lookup.
#include "paint/uv_quadtree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>

#include "mesh/poly_mesh.h"

namespace {

// A node holding more polygons than this splits, below the image level too.
constexpr size_t SplitPolygonCount = 100;
// From this many polygons the root's quarters are built on two threads.
constexpr size_t ParallelBuildPolygonCount = 65536;

int16_t BoundsUnit(float coordinate, float (*round)(float))
{
    if (std::isnan(coordinate))
        return 0;
    const float units = round(coordinate * TextureBoundsScale);
    return static_cast<int16_t>(std::clamp(units, float(INT16_MIN), float(INT16_MAX)));
}

// Into the unit square; NaN goes to 0.
float ClampUnit(float coordinate)
{
    return coordinate > 0.0f ? std::min(coordinate, 1.0f) : 0.0f;
}

int32_t PixelOf(float coordinate, int32_t size)
{
    return std::min(static_cast<int32_t>(float(size) * coordinate), size - 1);
}

// One thread's build: the scratch it writes and the nodes it makes, in the order made.
struct TBuild
{
    const TTarnwick_QuadTreeInput& Input;
    // The polygons' boxes widened by two pixels: umin, vmin, umax, vmax.
    const std::vector<float>& Boxes;
    // Which children each polygon of the node being split goes to, one bit per child.
    std::vector<uint8_t> ChildMasks;
    std::vector<TTarnwick_PolyQuadTreeNode*> Nodes;
};

TTarnwick_PolyQuadTreeNode* NewNode(TBuild& build, const TTarnwick_PolyQuadTreeNode* parent, float u0,
                                    float v0, float u1, float v1)
{
    auto* node = new TTarnwick_PolyQuadTreeNode;
    build.Nodes.push_back(node);
    const float width = float(build.Input.Width);
    const float height = float(build.Input.Height);
    node->Depth = parent == nullptr ? 0 : parent->Depth + 1;
    node->U0 = u0;
    node->V0 = v0;
    node->U1 = u1;
    node->V1 = v1;
    node->PixelX = static_cast<int32_t>(width * u0);
    node->PixelY = static_cast<int32_t>(height * v0);
    // Up to where the next node starts, so that sibling rectangles tile the map without a gap
    // column when a side is not a power of two (the painting and undo blocks follow them).
    node->PixelWidth = static_cast<int32_t>(width * u1) - node->PixelX;
    node->PixelHeight = static_cast<int32_t>(height * v1) - node->PixelY;
    // The pixel blocks are owned at the root: the tree is built with image level 0, whatever
    // the split level L of the map.
    constexpr int32_t BuildImageLevel = 0;
    node->IsImageLevel = node->Depth == BuildImageLevel;
    node->AboveImageLevel = node->Depth < BuildImageLevel;
    if (node->IsImageLevel) {
        node->ImageLevelNode = node;
        node->ImageX = node->PixelX;
        node->ImageY = node->PixelY;
    } else if (parent != nullptr) {
        node->ImageLevelNode = parent->ImageLevelNode;
    }
    return node;
}

void Split(TBuild& build, TTarnwick_PolyQuadTreeNode* node)
{
    const float um = 0.5f * (node->U0 + node->U1);
    const float vm = 0.5f * (node->V0 + node->V1);
    node->Children[0] = NewNode(build, node, node->U0, node->V0, um, vm);
    node->Children[1] = NewNode(build, node, um, node->V0, node->U1, vm);
    node->Children[2] = NewNode(build, node, node->U0, vm, um, node->V1);
    node->Children[3] = NewNode(build, node, um, vm, node->U1, node->V1);

    // Count first, so that each child's list is allocated once.
    const std::vector<int32_t>& polygons = node->Polygons;
    build.ChildMasks.resize(polygons.size());
    size_t counts[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < polygons.size(); i++) {
        const float* box = &build.Boxes[4 * size_t(polygons[i])];
        const bool low_u = box[0] <= um && box[2] >= node->U0;
        const bool high_u = box[2] >= um && box[0] <= node->U1;
        const bool low_v = box[1] <= vm && box[3] >= node->V0;
        const bool high_v = box[3] >= vm && box[1] <= node->V1;
        const uint8_t mask = uint8_t((low_u && low_v) | (high_u && low_v) << 1 | (low_u && high_v) << 2 |
                                     (high_u && high_v) << 3);
        build.ChildMasks[i] = mask;
        for (int32_t child = 0; child < 4; child++)
            counts[child] += (mask >> child) & 1;
    }
    // Every polygon is written to all four lists and kept where its bit is set, so that the loop
    // does not branch; one slot of slack takes the last discarded write.
    int32_t* out[4];
    for (int32_t child = 0; child < 4; child++) {
        node->Children[child]->Polygons.resize(counts[child] + 1);
        out[child] = node->Children[child]->Polygons.data();
    }
    for (size_t i = 0; i < polygons.size(); i++) {
        const int32_t polygon = polygons[i];
        const uint8_t mask = build.ChildMasks[i];
        for (int32_t child = 0; child < 4; child++) {
            *out[child] = polygon;
            out[child] += (mask >> child) & 1;
        }
    }
    for (TTarnwick_PolyQuadTreeNode* child : node->Children)
        child->Polygons.pop_back();
}

bool SplitsFurther(const TBuild& build, const TTarnwick_PolyQuadTreeNode* node)
{
    return node->Depth <= build.Input.Shape.ImageLevel || node->Polygons.size() > SplitPolygonCount;
}

void Build(TBuild& build, TTarnwick_PolyQuadTreeNode* node)
{
    if (!SplitsFurther(build, node))
        return;
    Split(build, node);
    if (node->Depth + 1 < build.Input.Shape.MaxDepth)
        for (TTarnwick_PolyQuadTreeNode* child : node->Children)
            Build(build, child);
}

// The root's first two quarters on a side thread, the other two here. Each quarter's nodes are
// appended in quarter order afterwards, so the list is the one a single thread makes.
void BuildQuartersInParallel(TBuild& build, TTarnwick_PolyQuadTreeNode* root)
{
    Split(build, root);
    std::array<TBuild, 4> quarters{TBuild{build.Input, build.Boxes, {}, {}}, TBuild{build.Input, build.Boxes, {}, {}},
                                   TBuild{build.Input, build.Boxes, {}, {}}, TBuild{build.Input, build.Boxes, {}, {}}};
    if (root->Depth + 1 < build.Input.Shape.MaxDepth) {
        std::thread side([&] {
            Build(quarters[0], root->Children[0]);
            Build(quarters[1], root->Children[1]);
        });
        Build(quarters[2], root->Children[2]);
        Build(quarters[3], root->Children[3]);
        side.join();
    }
    for (TBuild& quarter : quarters)
        build.Nodes.insert(build.Nodes.end(), quarter.Nodes.begin(), quarter.Nodes.end());
}

} // namespace

// [SECTION] Polygon texture bounds

namespace {

void ComputeBoundsRange(TZAVPolyMesh& mesh, int32_t first, int32_t end, int16_t* out_bounds)
{
    const int32_t tex_vertex_count = mesh.GetTexVertexCount();
    const float* tex = mesh.TexVertices.data();
    for (int32_t polygon = first; polygon < end; polygon++) {
        float low[2] = {INFINITY, INFINITY};
        float high[2] = {-INFINITY, -INFINITY};
        bool textured = true;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            const int32_t tex_vertex = mesh.CornerTexVertex[corner];
            if (tex_vertex < 0 || tex_vertex >= tex_vertex_count) {
                textured = false;
                break;
            }
            for (int32_t axis = 0; axis < 2; axis++) {
                low[axis] = std::min(low[axis], tex[2 * size_t(tex_vertex) + axis]);
                high[axis] = std::max(high[axis], tex[2 * size_t(tex_vertex) + axis]);
            }
        }
        textured = textured && mesh.GetPolygonCornerCount(polygon) > 0;
        uint32_t& flags = mesh.PolygonFlags[polygon];
        flags = textured ? flags | PolygonFlag_Textured : flags & ~PolygonFlag_Textured;
        if (!textured)
            continue;
        int16_t* bounds = &out_bounds[4 * size_t(polygon)];
        bounds[0] = BoundsUnit(low[0], std::floor);
        bounds[1] = BoundsUnit(low[1], std::floor);
        bounds[2] = BoundsUnit(high[0], std::ceil);
        bounds[3] = BoundsUnit(high[1], std::ceil);
    }
}

} // namespace

void ComputePolygonTextureBounds(TZAVPolyMesh& mesh, std::vector<int16_t>& out_bounds)
{
    const int32_t polygon_count = mesh.GetPolygonCount();
    out_bounds.assign(4 * static_cast<size_t>(polygon_count), 0);
    if (mesh.PolygonFlags.size() != size_t(polygon_count))
        mesh.PolygonFlags.assign(polygon_count, 0);
    // Each half writes only its own polygons' flags and bounds.
    if (size_t(polygon_count) < ParallelBuildPolygonCount) {
        ComputeBoundsRange(mesh, 0, polygon_count, out_bounds.data());
        return;
    }
    const int32_t half = polygon_count / 2;
    std::thread side([&] { ComputeBoundsRange(mesh, 0, half, out_bounds.data()); });
    ComputeBoundsRange(mesh, half, polygon_count, out_bounds.data());
    side.join();
}

// [SECTION] Building

TTarnwick_QuadTreeShape QuadTreeShapeFor(int32_t width, int32_t height)
{
    TTarnwick_QuadTreeShape shape;
    const int32_t side = std::max(width, height);
    const double level = side > 0 ? std::log2(double(side)) - 9.0 : 0.0;
    shape.ImageLevel = level > 0 ? static_cast<int32_t>(level) : 0;
    shape.MaxDepth = shape.ImageLevel + 2;
    return shape;
}

TTarnwick_PolyQuadTreeNode* BuildPolyQuadTree(const TTarnwick_QuadTreeInput& input,
                                              TZAVMultiList<TTarnwick_PolyQuadTreeNode*>& out_nodes)
{
    const size_t polygon_count = input.Bounds.size() / 4;
    std::vector<float> boxes(4 * polygon_count);
    TBuild build{input, boxes, {}, {}};
    const float widen_u = 2.0f / float(std::max(input.Width, 1));
    const float widen_v = 2.0f / float(std::max(input.Height, 1));
    TTarnwick_PolyQuadTreeNode* root = NewNode(build, nullptr, 0.0f, 0.0f, 1.0f, 1.0f);
    root->Polygons.reserve(polygon_count);
    for (size_t polygon = 0; polygon < polygon_count; polygon++) {
        if (polygon >= input.PolygonFlags.size() || !(input.PolygonFlags[polygon] & PolygonFlag_Textured))
            continue;
        const int16_t* bounds = &input.Bounds[4 * polygon];
        float* box = &boxes[4 * polygon];
        box[0] = float(bounds[0]) / TextureBoundsScale - widen_u;
        box[1] = float(bounds[1]) / TextureBoundsScale - widen_v;
        box[2] = float(bounds[2]) / TextureBoundsScale + widen_u;
        box[3] = float(bounds[3]) / TextureBoundsScale + widen_v;
        root->Polygons.push_back(static_cast<int32_t>(polygon));
    }
    if (root->Polygons.size() >= ParallelBuildPolygonCount && SplitsFurther(build, root))
        BuildQuartersInParallel(build, root);
    else
        Build(build, root);
    for (TTarnwick_PolyQuadTreeNode* node : build.Nodes)
        out_nodes.Add(node);
    return root;
}

// [SECTION] Looking up pixels

bool TexturePointOf(const TZAVPolyMesh& mesh, const TTarnwick_SurfacePoint& point, float out_uv[2])
{
    if (point.Polygon < 0 || point.Polygon >= mesh.GetPolygonCount() || point.Triangle < 0 ||
        point.Triangle + 2 >= mesh.GetPolygonCornerCount(point.Polygon))
        return false;
    const int32_t first = mesh.PolygonStart[point.Polygon];
    const int32_t corners[3] = {first, first + point.Triangle + 1, first + point.Triangle + 2};
    out_uv[0] = out_uv[1] = 0.0f;
    for (int32_t k = 0; k < 3; k++) {
        const int32_t tex_vertex = mesh.CornerTexVertex[corners[k]];
        if (tex_vertex < 0 || tex_vertex >= mesh.GetTexVertexCount())
            return false;
        out_uv[0] += point.Weights[k] * mesh.TexVertices[2 * size_t(tex_vertex)];
        out_uv[1] += point.Weights[k] * mesh.TexVertices[2 * size_t(tex_vertex) + 1];
    }
    return true;
}

TTarnwick_MapPixel LocateMapPixel(TTarnwick_PolyQuadTreeNode* root, int32_t width, int32_t height, float u,
                                  float v)
{
    TTarnwick_MapPixel pixel;
    if (root == nullptr || width <= 0 || height <= 0)
        return pixel;
    u = ClampUnit(u);
    v = ClampUnit(v);
    TTarnwick_PolyQuadTreeNode* node = root;
    while (!node->IsLeaf()) {
        const float um = 0.5f * (node->U0 + node->U1);
        const float vm = 0.5f * (node->V0 + node->V1);
        node = node->Children[int32_t(u >= um) | int32_t(v >= vm) << 1];
    }
    pixel.Node = node;
    pixel.X = PixelOf(u, width);
    pixel.Y = PixelOf(v, height);
    return pixel;
}

TTarnwick_MapPixel ScanForMapPixel(TZAVMultiList<TTarnwick_PolyQuadTreeNode*>& nodes, int32_t polygon,
                                   int32_t width, int32_t height, float u, float v)
{
    TTarnwick_MapPixel pixel;
    if (width <= 0 || height <= 0)
        return pixel;
    u = ClampUnit(u);
    v = ClampUnit(v);
    for (TTarnwick_PolyQuadTreeNode* node : nodes) {
        if (!node->IsLeaf() || !node->Contains(u, v) ||
            std::find(node->Polygons.begin(), node->Polygons.end(), polygon) == node->Polygons.end())
            continue;
        pixel.Node = node;
        pixel.X = PixelOf(u, width);
        pixel.Y = PixelOf(v, height);
        break;
    }
    return pixel;
}
