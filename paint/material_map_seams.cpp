// Seams of a material map: the coverage mask, the seam pairs of each node at the image level, and
// the fix after painting that copies colour one pixel outward across every UV seam, so that
// texture filtering at the edge of an island does not pick up the unpainted background.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/dialogs.h"
#include "core/report.h"
#include "core/status.h"
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
    // Pixels already looked at for the node in hand, so that a pixel in the boxes of several of
    // its polygons gives one pair; cleared again after each node.
    std::vector<uint8_t> seen(CoverageMask.size(), 0);
    std::vector<int32_t> visited;
    bool out_of_time = false;
    for (TTarnwick_PolyQuadTreeNode* node : QuadNodeList) {
        if (node->Depth != ImageLevel || node->SeamsReady)
            continue;
        if (out_of_time)
            return false;
        for (int32_t polygon : node->Polygons) {
            const int16_t* bounds = &PolygonTextureBounds[4 * size_t(polygon)];
            auto pixel_bound = [](int16_t units, int32_t size, float step) {
                const int32_t pixel =
                    static_cast<int32_t>(float(size) * (float(units) / TextureBoundsScale) + step);
                return std::clamp(pixel, 0, size - 1);
            };
            const int32_t x0 = pixel_bound(bounds[0], Width, -1.0f);
            const int32_t y0 = pixel_bound(bounds[1], Height, -1.0f);
            const int32_t x1 = pixel_bound(bounds[2], Width, 1.0f);
            const int32_t y1 = pixel_bound(bounds[3], Height, 1.0f);
            for (int32_t y = y0; y <= y1; y++) {
                for (int32_t x = x0; x <= x1; x++) {
                    const int32_t pixel = y * Width + x;
                    if (IsCovered(pixel) || (seen[size_t(pixel) >> 3] >> (pixel & 7)) & 1)
                        continue;
                    seen[size_t(pixel) >> 3] |= uint8_t(1u << (pixel & 7));
                    visited.push_back(pixel);
                    // The nearest covered neighbour; the first in row order at equal distance.
                    int32_t nearest = -1;
                    int32_t nearest_distance = 3;
                    for (int32_t dy = -1; dy <= 1; dy++) {
                        for (int32_t dx = -1; dx <= 1; dx++) {
                            const int32_t nx = std::clamp(x + dx, 0, Width - 1);
                            const int32_t ny = std::clamp(y + dy, 0, Height - 1);
                            const int32_t neighbour = ny * Width + nx;
                            const int32_t distance = (nx - x) * (nx - x) + (ny - y) * (ny - y);
                            if (distance > 0 && distance < nearest_distance && IsCovered(neighbour)) {
                                nearest = neighbour;
                                nearest_distance = distance;
                            }
                        }
                    }
                    if (nearest < 0)
                        continue;
                    if (node->SeamPairs.size() == node->SeamPairs.capacity())
                        node->SeamPairs.reserve(node->SeamPairs.capacity() + growth);
                    node->SeamPairs.push_back({pixel, nearest});
                }
            }
        }
        for (int32_t pixel : visited)
            seen[size_t(pixel) >> 3] = 0;
        visited.clear();
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
