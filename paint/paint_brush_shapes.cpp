#include "paint/paint_brush_shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/cursor.h"

namespace {

// Dabs closer than this are the same dab: segments meet at their ends.
constexpr float SameDab = 1e-5f;

} // namespace

TTarnwick_GeometryBrush::TTarnwick_GeometryBrush()
{
    SetNameLiteral("Geometry Brush");
    // The shape is painted when the button comes up.
    PaintOnRelease = true;
}

bool TTarnwick_GeometryBrush::PaintStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y,
                                        bool first)
{
    if (ButtonState == ButtonState_Pressed) {
        // A mirrored repeat of the press must not move the shape's corner.
        if (first && !MirroredRepeat) {
            StartX = x;
            StartY = y;
            ShapeInProgress = true;
        }
        // Drags only move the shape shown; the view draws it again.
        return true;
    }
    if (!ShapeInProgress)
        return false;
    ShapeInProgress = false;
    std::vector<TTarnwick_Dab> dabs;
    RenderStroke(view, StartX, StartY, x, y, dabs);
    PreviousX = x;
    PreviousY = y;
    const bool painted = PaintDabs(mesh, view, dabs);
    FinishPaint(mesh);
    return painted;
}

void TTarnwick_GeometryBrush::RenderStroke(const TTarnwick_ToolView& view, float from_x, float from_y,
                                           float to_x, float to_y, std::vector<TTarnwick_Dab>& out_dabs) const
{
    std::vector<float> points;
    Outline(from_x, from_y, to_x, to_y, view, points);
    // One dab on the first corner, then each edge as a stroke lays it, its first dab shared.
    TTarnwick_PaintBrush::RenderStroke(view, points[0], points[1], points[0], points[1], out_dabs);
    if (out_dabs.empty())
        return;
    std::vector<TTarnwick_Dab> edge;
    for (size_t i = 2; i + 1 < points.size(); i += 2) {
        TTarnwick_PaintBrush::RenderStroke(view, points[i - 2], points[i - 1], points[i], points[i + 1],
                                           edge);
        for (const TTarnwick_Dab& dab : edge) {
            const TTarnwick_Dab& last = out_dabs.back();
            const TTarnwick_Dab& first = out_dabs.front();
            if (std::fabs(dab.X - last.X) < SameDab && std::fabs(dab.Y - last.Y) < SameDab)
                continue;
            // A closed outline ends on its first dab.
            if (std::fabs(dab.X - first.X) < SameDab && std::fabs(dab.Y - first.Y) < SameDab)
                continue;
            out_dabs.push_back(dab);
        }
    }
}

void TTarnwick_GeometryBrush::DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    TTarnwick_PaintBrush::DrawCursor(mesh, view, x, y);
    if (!ShapeInProgress)
        return;
    std::vector<float> points;
    Outline(StartX, StartY, x, y, view, points);
    DrawCursorLine(points);
}

TTarnwick_LineBrush::TTarnwick_LineBrush()
{
    SetNameLiteral("Line Brush");
    Help = "Press, drag and release to paint a straight line.";
}

void TTarnwick_LineBrush::Outline(float from_x, float from_y, float to_x, float to_y,
                                  const TTarnwick_ToolView&, std::vector<float>& out_points) const
{
    out_points = {from_x, from_y, to_x, to_y};
}

TTarnwick_RectangleBrush::TTarnwick_RectangleBrush()
{
    SetNameLiteral("Rectangle Brush");
    Help = "Press, drag and release to paint the outline of a rectangle.";
}

void TTarnwick_RectangleBrush::Outline(float from_x, float from_y, float to_x, float to_y,
                                       const TTarnwick_ToolView&, std::vector<float>& out_points) const
{
    out_points = {from_x, from_y, to_x, from_y, to_x, to_y, from_x, to_y, from_x, from_y};
}

TTarnwick_EllipseBrush::TTarnwick_EllipseBrush()
{
    SetNameLiteral("Ellipse Brush");
    Help = "Press, drag and release to paint the outline of an ellipse within the box dragged.";
}

void TTarnwick_EllipseBrush::Outline(float from_x, float from_y, float to_x, float to_y,
                                     const TTarnwick_ToolView& view, std::vector<float>& out_points) const
{
    const float centre_x = (from_x + to_x) / 2;
    const float centre_y = (from_y + to_y) / 2;
    const float radius_x = std::fabs(to_x - from_x) / 2;
    const float radius_y = std::fabs(to_y - from_y) / 2;
    // Corners about half a brush radius apart, as a stroke lays its dabs; round distances count
    // vertical differences by the aspect.
    const float around = 2.0f * std::numbers::pi_v<float> * std::max(radius_x, radius_y * view.Aspect());
    const int32_t corners = std::clamp(int32_t(std::ceil(around / std::max(Radius / 2, 1e-6f))), 16, 20000);
    out_points.resize(2 * size_t(corners) + 2);
    for (int32_t i = 0; i <= corners; i++) {
        const float angle = 2.0f * std::numbers::pi_v<float> * float(i % corners) / float(corners);
        out_points[2 * size_t(i)] = centre_x + radius_x * std::cos(angle);
        out_points[2 * size_t(i) + 1] = centre_y + radius_y * std::sin(angle);
    }
}
