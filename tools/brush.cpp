// The brush base: its parameters, the local-surface hooks of the stroke, the falloff, the vertex
// skip test and the octree walk for the vertices under the brush.
#include "tools/brush.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "mesh/sculpt_mesh.h"
#include "tools/cursor.h"

namespace {

constexpr uint32_t ExcludedVertex = VertexFlag_Hidden | VertexFlag_Locked;

bool RangesMeet(float first_min, float first_max, float second_min, float second_max)
{
    return first_min <= second_max && second_min <= first_max;
}

} // namespace

TTarnwick_Brush::TTarnwick_Brush()
{
    TTarnwick_Parameter* radius = AddSlider(Radius, 110, 111);
    radius->ToolbarFlag = true;
    TTarnwick_Parameter* strength = AddSlider(Strength, 112, 113);
    TTarnwick_Parameter* hardness = AddSlider(Hardness, 134, 135);
    for (TTarnwick_Parameter* parameter : {radius, strength, hardness})
        parameter->SetRange(&RangeZero, &RangeOne);
}

bool TTarnwick_Brush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                  int32_t state, float x, float y)
{
    if (!TTarnwick_Tool::MouseButton(mesh, view, button, state, x, y))
        return false;
    if (state != ButtonState_Pressed)
        return true;
    if (!MirroredRepeat) {
        StrokePoints.clear();
        StrokePoints.insert(StrokePoints.end(), {x, y, 0.0f});
    }
    if (TarnwickToolOptions.LocalSurfaceOnly)
        LocalSurface.Mark(mesh, view, x, y, Radius, GetVisibility(), NearestDepth);
    return true;
}

bool TTarnwick_Brush::MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    if (!TTarnwick_Tool::MouseDrag(mesh, view, x, y))
        return false;
    StrokePoints.insert(StrokePoints.end(), {x, y, 0.0f});
    if (TarnwickToolOptions.LocalSurfaceOnly)
        TTarnwick_LocalSurfaceSearch::FindNearestVertex(mesh, view, x, y, Radius, GetVisibility(),
                                                        NearestDepth);
    return true;
}

void TTarnwick_Brush::DrawRoundOutline(TTarnwick_Mesh&, TTarnwick_ToolView& view, float x, float y, float rx,
                                       float ry)
{
    DrawRoundCursorOutline(x, y, rx, ry, view.Width, view.Height);
}

void TTarnwick_Brush::DrawSquareOutline(TTarnwick_Mesh&, TTarnwick_ToolView& view, float x, float y, float rx,
                                        float ry)
{
    DrawSquareCursorOutline(x, y, rx, ry, view.Width, view.Height);
}

bool TTarnwick_Brush::IsUnderBrush(const TTarnwick_Mesh&, const TTarnwick_ToolView&, float, float,
                                   std::span<const float>)
{
    return true;
}

float TTarnwick_Brush::BrushFalloff(float distance, float radius, float hardness)
{
    if (!(radius > 0.0f))
        return 0.0f;
    const float exponent = (1.0f - hardness) * 2.0f;
    // cos(π/2) is not 0 in floating point, and a small power of it is far from 0: the edge and
    // beyond are set to exactly 0, which also keeps a negative cosine from a fractional power.
    // Single precision is ample for a weight, and a dab evaluates this per vertex.
    const float ratio = distance / radius;
    const float cosine = ratio >= 1.0f ? 0.0f : std::cos(ratio * std::numbers::pi_v<float> / 2.0f);
    // exp(e · log c) is pow without its slow exact-rounding path.
    const float falloff = exponent == 0.0f ? 1.0f
                          : !(cosine > 0.0f) ? 0.0f
                          : exponent == 2.0f ? cosine * cosine
                                             : std::exp(exponent * std::log(cosine));
    if (falloff >= 1.0f)
        return 1.0f;
    if (!(falloff > 0.0f))
        return 0.0f;
    return falloff;
}

float TTarnwick_Brush::ViewAttenuation(const float normal[3], const float view_direction[3])
{
    const float cosine =
        normal[0] * view_direction[0] + normal[1] * view_direction[1] + normal[2] * view_direction[2];
    const float square = cosine * cosine;
    return square * square;
}

TTarnwick_Visibility TTarnwick_Brush::GetVisibility() const
{
    return TarnwickToolOptions.SeeThrough && (Flags & ToolFlag_SeeThrough) ? TTarnwick_Visibility::Ignored
                                                                           : TTarnwick_Visibility::Respected;
}

bool TTarnwick_Brush::IsVertexExcluded(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view,
                                       int32_t vertex, TTarnwick_Occlusion occlusion)
{
    const uint32_t flags = mesh.VertexFlags[vertex];
    if (flags & ExcludedVertex)
        return true;
    if (TarnwickToolOptions.LocalSurfaceOnly && !(flags & ToolVertexFlag_LocalSurface)) {
        TarnwickToolOptions.SkippedVertices++;
        return true;
    }
    if (GetVisibility() == TTarnwick_Visibility::Ignored)
        return false;
    if (flags & ToolVertexFlag_FacingAway)
        return true;
    return occlusion == TTarnwick_Occlusion::Test && view.IsOccluded(mesh, vertex);
}

void TTarnwick_Brush::FindCandidateVertices(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view,
                                            float x, float y, std::vector<int32_t>& out_vertices) const
{
    out_vertices.clear();
    const TZAVOctree* octree = mesh.GetOctree();
    if (octree == nullptr || TarnwickToolOptions.BrushSymmetry) {
        out_vertices.assign(mesh.VisibleVertices.begin(), mesh.VisibleVertices.end());
        return;
    }
    // The circle's box: the distance scales vertical differences by the aspect, so the circle
    // reaches Radius / aspect up and down.
    const float reach_x = Radius;
    const float reach_y = VerticalRadius(view);
    const bool respect_visibility = GetVisibility() == TTarnwick_Visibility::Respected;
    float view_direction[3];
    float eye[3];
    view.GetViewDirection(view_direction);
    view.GetEyePosition(eye);

    octree->Walk([&](const TZAVOctree::TNode& node) {
        if (respect_visibility) {
            float direction[3];
            for (int32_t k = 0; k < 3; k++)
                direction[k] =
                    view.Perspective ? (node.Min[k] + node.Max[k]) / 2 - eye[k] : view_direction[k];
            if (!TZAVOctree::CanFaceViewer(node, direction))
                return false;
        }
        float low[2] = {INFINITY, INFINITY};
        float high[2] = {-INFINITY, -INFINITY};
        bool bounded = true;
        for (int32_t corner = 0; corner < 8 && bounded; corner++) {
            const float point[3] = {corner & 1 ? node.Max[0] : node.Min[0],
                                    corner & 2 ? node.Max[1] : node.Min[1],
                                    corner & 4 ? node.Max[2] : node.Min[2]};
            float screen[3];
            // A box reaching behind a perspective eye has no screen rectangle; keep it.
            bounded = view.ProjectPoint(point, screen);
            for (int32_t k = 0; k < 2; k++) {
                low[k] = std::min(low[k], screen[k]);
                high[k] = std::max(high[k], screen[k]);
            }
        }
        if (bounded &&
            !(RangesMeet(low[0], high[0], -1.0f, 1.0f) && RangesMeet(low[1], high[1], -1.0f, 1.0f) &&
              RangesMeet(low[0], high[0], x - reach_x, x + reach_x) &&
              RangesMeet(low[1], high[1], y - reach_y, y + reach_y)))
            return false;
        std::span<const int32_t> vertices = octree->NodeVertices(node);
        out_vertices.insert(out_vertices.end(), vertices.begin(), vertices.end());
        return true;
    });
}

void TTarnwick_Brush::MarkChangedPolygons(TTarnwick_Mesh& mesh, int32_t vertex)
{
    for (int32_t polygon : mesh.GetVertexPolygons(vertex))
        mesh.PolygonFlags[polygon] |= ToolPolygonFlag_Changed;
}
