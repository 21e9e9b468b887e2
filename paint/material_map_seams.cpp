// Seams of a material map: the coverage mask, the seam pairs of each node at the image level, and
// the fix after painting that copies colour the bleed width outward across every UV seam, so that
// texture filtering and mipmaps at the edge of an island do not pick up the unpainted background.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/dialogs.h"
#include "core/report.h"
#include "core/status.h"
#include "files/settings.h"
#include "mesh/poly_mesh.h"
#include "paint/material_map.h"

namespace {

TZAVMapUploadHook map_upload_hook = nullptr;

// Sets the mask bit of every pixel whose centre lies inside or on the triangle (pixel units).
void RasteriseTriangle(const float a[2], const float b[2], const float c[2], int32_t width, int32_t height,
                       std::vector<uint8_t>& mask)
{
    float area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    // Degenerate, or with a coordinate that is not a number.
    if (!std::isfinite(area) || area == 0.0f)
        return;
    // Counter-clockwise, so that inside means every edge function is at least 0.
    if (area < 0.0f)
        std::swap(b, c);
    const int32_t x0 = std::max(0, static_cast<int32_t>(std::floor(std::min({a[0], b[0], c[0]}) - 0.5f)));
    const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(std::min({a[1], b[1], c[1]}) - 0.5f)));
    const int32_t x1 =
        std::min(width - 1, static_cast<int32_t>(std::ceil(std::max({a[0], b[0], c[0]}) - 0.5f)));
    const int32_t y1 =
        std::min(height - 1, static_cast<int32_t>(std::ceil(std::max({a[1], b[1], c[1]}) - 0.5f)));
    auto edge = [](const float* from, const float* to, float x, float y) {
        return (to[0] - from[0]) * (y - from[1]) - (to[1] - from[1]) * (x - from[0]);
    };
    for (int32_t y = y0; y <= y1; y++) {
        for (int32_t x = x0; x <= x1; x++) {
            const float px = float(x) + 0.5f;
            const float py = float(y) + 0.5f;
            if (edge(a, b, px, py) < 0.0f || edge(b, c, px, py) < 0.0f || edge(c, a, px, py) < 0.0f)
                continue;
            const size_t pixel = size_t(y) * size_t(width) + size_t(x);
            mask[pixel >> 3] |= uint8_t(1u << (pixel & 7));
        }
    }
}

// The depth-`level` nodes whose seams a fix must copy: those with a changed node above or below.
// Returns whether the subtree holds a changed node.
bool CollectSeamNodes(TTarnwick_PolyQuadTreeNode* node, bool changed_above, int32_t level,
                      std::vector<TTarnwick_PolyQuadTreeNode*>& out_nodes)
{
    const bool changed = changed_above || node->Dirty;
    bool changed_below = false;
    if (!node->IsLeaf())
        for (TTarnwick_PolyQuadTreeNode* child : node->Children)
            changed_below = CollectSeamNodes(child, changed, level, out_nodes) || changed_below;
    if (node->Depth == level && (changed || changed_below))
        out_nodes.push_back(node);
    return node->Dirty || changed_below;
}

bool BitAt(const std::vector<uint8_t>& bits, int32_t pixel)
{
    return (bits[size_t(pixel) >> 3] >> (pixel & 7)) & 1;
}

void SetBit(std::vector<uint8_t>& bits, int32_t pixel)
{
    bits[size_t(pixel) >> 3] |= uint8_t(1u << (pixel & 7));
}

void ClearBit(std::vector<uint8_t>& bits, int32_t pixel)
{
    bits[size_t(pixel) >> 3] &= uint8_t(~(1u << (pixel & 7)));
}

// Working sets of one node's seam pairs, kept from node to node; each node clears what it set.
struct TSeamScratch
{
    explicit TSeamScratch(size_t mask_bytes) : Taken(mask_bytes, 0), LastRing(mask_bytes, 0) {}

    // Pixels looked at for ring 1, then pixels given a ring.
    std::vector<uint8_t> Taken;
    // Pixels of the ring before the one being made.
    std::vector<uint8_t> LastRing;
    std::vector<int32_t> Reach;
    std::vector<int32_t> Ring;
    std::vector<int32_t> NextRing;
};

// The 8-neighbour of (x, y) inside the image that is_source accepts, the nearest first and the
// first in row order at equal distance; -1 when there is none.
template <typename TSource>
int32_t NearestNeighbour(int32_t x, int32_t y, int32_t width, int32_t height, TSource is_source)
{
    int32_t nearest = -1;
    int32_t nearest_distance = 3;
    for (int32_t ny = std::max(y - 1, 0); ny <= std::min(y + 1, height - 1); ny++) {
        for (int32_t nx = std::max(x - 1, 0); nx <= std::min(x + 1, width - 1); nx++) {
            const int32_t distance = (nx - x) * (nx - x) + (ny - y) * (ny - y);
            if (distance > 0 && distance < nearest_distance && is_source(ny * width + nx)) {
                nearest = ny * width + nx;
                nearest_distance = distance;
            }
        }
    }
    return nearest;
}

// Ring 1 is the pixels of the node's polygon boxes, widened by one pixel, that are not covered but
// have a covered neighbour; ring k is the pixels next to ring k - 1 that are neither covered nor
// in a ring yet. Each copies its nearest neighbour of the ring before, so the pairs in order carry
// the colour outward. Where the bleeds of two of the node's islands meet, the ring that reaches a
// pixel first, that of the nearer island, takes it. Islands of other nodes stop a ring but give
// none here: near them, which colour stays depends on which node's fix comes last.
void AddSeamPairs(const TZAVMaterialMap& map, TTarnwick_PolyQuadTreeNode& node, TSeamScratch& scratch,
                  size_t growth)
{
    const int32_t width = map.Width;
    const int32_t height = map.Height;
    const size_t first_pair = node.SeamPairs.size();
    auto add_pair = [&](int32_t outside, int32_t inside) {
        if (node.SeamPairs.size() == node.SeamPairs.capacity())
            node.SeamPairs.reserve(node.SeamPairs.capacity() + growth);
        node.SeamPairs.push_back({outside, inside});
    };
    const uint8_t* covered = map.CoverageMask.data();
    uint8_t* taken = scratch.Taken.data();
    for (int32_t polygon : node.Polygons) {
        const int16_t* bounds = &map.PolygonTextureBounds[4 * size_t(polygon)];
        auto pixel_bound = [](int16_t units, int32_t size, float step) {
            const int32_t pixel =
                static_cast<int32_t>(float(size) * (float(units) / TextureBoundsScale) + step);
            return std::clamp(pixel, 0, size - 1);
        };
        const int32_t x0 = pixel_bound(bounds[0], width, -1.0f);
        const int32_t y0 = pixel_bound(bounds[1], height, -1.0f);
        const int32_t x1 = pixel_bound(bounds[2], width, 1.0f);
        const int32_t y1 = pixel_bound(bounds[3], height, 1.0f);
        for (int32_t y = y0; y <= y1; y++) {
            for (int32_t x = x0; x <= x1; x++) {
                // Most pixels of the boxes are covered: this test is where the time goes.
                const int32_t pixel = y * width + x;
                if ((covered[pixel >> 3] >> (pixel & 7)) & 1 || (taken[pixel >> 3] >> (pixel & 7)) & 1)
                    continue;
                taken[pixel >> 3] |= uint8_t(1u << (pixel & 7));
                const int32_t inside = NearestNeighbour(
                    x, y, width, height, [&](int32_t neighbour) { return map.IsCovered(neighbour); });
                if (inside >= 0) {
                    add_pair(pixel, inside);
                    scratch.Ring.push_back(pixel);
                } else {
                    scratch.Reach.push_back(pixel);
                }
            }
        }
    }
    // Pixels away from the islands may still join a later ring.
    for (int32_t pixel : scratch.Reach)
        ClearBit(scratch.Taken, pixel);
    scratch.Reach.clear();

    for (int32_t ring = 2; ring <= map.GetBleedWidth() && !scratch.Ring.empty(); ring++) {
        scratch.NextRing.clear();
        for (int32_t pixel : scratch.Ring) {
            SetBit(scratch.LastRing, pixel);
            const int32_t x = pixel % width;
            const int32_t y = pixel / width;
            for (int32_t ny = std::max(y - 1, 0); ny <= std::min(y + 1, height - 1); ny++) {
                for (int32_t nx = std::max(x - 1, 0); nx <= std::min(x + 1, width - 1); nx++) {
                    const int32_t neighbour = ny * width + nx;
                    if (!map.IsCovered(neighbour) && !BitAt(scratch.Taken, neighbour)) {
                        SetBit(scratch.Taken, neighbour);
                        scratch.NextRing.push_back(neighbour);
                    }
                }
            }
        }
        for (int32_t pixel : scratch.NextRing)
            add_pair(pixel,
                     NearestNeighbour(pixel % width, pixel / width, width, height,
                                      [&](int32_t neighbour) { return BitAt(scratch.LastRing, neighbour); }));
        for (int32_t pixel : scratch.Ring)
            ClearBit(scratch.LastRing, pixel);
        scratch.Ring.swap(scratch.NextRing);
    }
    scratch.Ring.clear();
    for (size_t pair = first_pair; pair < node.SeamPairs.size(); pair++)
        ClearBit(scratch.Taken, node.SeamPairs[pair].Outside);
}

} // namespace

void SetMapUploadHook(TZAVMapUploadHook hook)
{
    map_upload_hook = hook;
}

// The paint brushes compute the mask by drawing the texture-space polygons through OpenGL; this
// rasteriser gives the same pixels (centres inside a polygon) without a display, so that seams
// can be prepared and fixed by code that never draws, and tested.
void TZAVMaterialMap::ComputeCoverageMask(const TZAVPolyMesh& mesh)
{
    if (!HasPixels())
        return;
    CoverageMask.assign((size_t(PixelCount()) + 7) / 8, 0);
    const int32_t tex_vertex_count = mesh.GetTexVertexCount();
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        const int32_t first = mesh.PolygonStart[polygon];
        const int32_t end = mesh.PolygonStart[polygon + 1];
        const int32_t* tex_vertices = mesh.CornerTexVertex.data();
        const bool textured = std::all_of(tex_vertices + first, tex_vertices + end,
                                          [&](int32_t t) { return t >= 0 && t < tex_vertex_count; });
        if (!textured)
            continue;
        auto corner_point = [&](int32_t corner, float out[2]) {
            const int32_t tex_vertex = mesh.CornerTexVertex[corner];
            out[0] = mesh.TexVertices[2 * size_t(tex_vertex)] * float(Width);
            out[1] = mesh.TexVertices[2 * size_t(tex_vertex) + 1] * float(Height);
        };
        float a[2], b[2], c[2];
        corner_point(first, a);
        for (int32_t corner = first + 1; corner + 1 < end; corner++) {
            corner_point(corner, b);
            corner_point(corner + 1, c);
            RasteriseTriangle(a, b, c, Width, Height, CoverageMask);
        }
    }
    InvalidateCoverage();
    CoverageValid = 1;
}

void TZAVMaterialMap::InvalidateCoverage()
{
    CoverageValid = 0;
    DropSeamPairs();
}

void TZAVMaterialMap::SetBleedWidth(int32_t width)
{
    width = std::clamp(width, 0, MaxPaintBleedWidth);
    if (width == BleedWidth)
        return;
    BleedWidth = width;
    DropSeamPairs();
}

void TZAVMaterialMap::DropSeamPairs()
{
    SeamsStarted = 0;
    SeamsPrepared = 0;
    for (TTarnwick_PolyQuadTreeNode* node : QuadNodeList) {
        node->SeamPairs.clear();
        node->SeamsReady = 0;
    }
}

bool TZAVMaterialMap::PrepareSeams(double time_budget)
{
    if (Root == nullptr || !CoverageValid || !HasPixels())
        return false;
    if (SeamsPrepared)
        return true;
    const bool announce = PixelCount() > AnnouncedSeamPixels;
    if (!SeamsStarted) {
        SeamsStarted = 1;
        if (announce)
            AddStatus("Preparing the map %s...", GetName());
    }
    const auto start = std::chrono::steady_clock::now();
    const size_t growth = size_t(std::max(Width, Height));
    TSeamScratch scratch(CoverageMask.size());
    bool out_of_time = false;
    for (TTarnwick_PolyQuadTreeNode* node : QuadNodeList) {
        if (node->Depth != ImageLevel || node->SeamsReady)
            continue;
        if (out_of_time)
            return false;
        if (BleedWidth > 0)
            AddSeamPairs(*this, *node, scratch, growth);
        node->SeamsReady = 1;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        out_of_time = time_budget > 1e-30 && elapsed.count() >= time_budget;
    }
    SeamsPrepared = 1;
    if (announce)
        AddStatus("Finished preparing the map %s.", GetName());
    return true;
}

bool TZAVMaterialMap::FixSeams(TZAVPolyMesh& mesh)
{
    if (!HasPixels())
        return true;
    if (Root == nullptr)
        BuildQuadTree(mesh);
    if (!CoverageValid)
        ComputeCoverageMask(mesh);
    if (!SeamsPrepared)
        PrepareSeams(0.0);

    for (TTarnwick_PolyQuadTreeNode* node : QuadNodeList) {
        if (node->Dirty && node->ImageLevelNode == nullptr) {
            ReportTrace("%d, %d, %d, %d", node->PixelX, node->PixelY, node->PixelWidth, node->PixelHeight);
            ShowError(GlobalDialogHost, "ImageLevelNode == NULL");
            return false;
        }
    }
    std::vector<TTarnwick_PolyQuadTreeNode*> seam_nodes;
    CollectSeamNodes(Root, false, ImageLevel, seam_nodes);
    const int32_t pixel_count = PixelCount();
    for (TTarnwick_PolyQuadTreeNode* node : seam_nodes) {
        for (const TTarnwick_SeamPair& pair : node->SeamPairs) {
            for (int32_t pixel : {pair.Outside, pair.Inside}) {
                if (pixel < 0 || pixel >= pixel_count) {
                    ShowError(GlobalDialogHost, "Seam pixels are out of sync ie = %d of %d", pixel,
                              pixel_count);
                    return false;
                }
            }
            std::copy_n(&Pixels[3 * size_t(pair.Inside)], 3, &Pixels[3 * size_t(pair.Outside)]);
        }
    }
    for (TTarnwick_PolyQuadTreeNode* node : QuadNodeList) {
        if (!node->Dirty)
            continue;
        if (!OutOfMemory && map_upload_hook != nullptr)
            map_upload_hook(*this, *node);
        node->Dirty = 0;
    }
    return true;
}
