// The shape brushes: the press fixes one corner of the shape, the drags show it, and the release
// paints it, spanned by the press point and the release point, with dabs of the brush laid along
// its outline as a stroke would lay them. The line runs from point to point; the rectangle and
// the ellipse fill the box the two points span.
//
//   press    the start point; nothing painted
//   drag     the shape shows over the view (DrawCursor)
//   release  the outline's dabs painted into the maps; one undo record
#pragma once

#include <cstdint>
#include <vector>

#include "paint/paint_brush.h"

class TTarnwick_GeometryBrush : public TTarnwick_PaintBrush
{
public:
    TTarnwick_GeometryBrush();

    bool PaintStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y, bool first) override;
    // The dabs along the outline of the shape spanned by the two points.
    void RenderStroke(const TTarnwick_ToolView& view, float from_x, float from_y, float to_x, float to_y,
                      std::vector<TTarnwick_Dab>& out_dabs) const override;
    void DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;

    // The corners of the shape's outline, x and y pairs; a closed outline returns to its first.
    virtual void Outline(float from_x, float from_y, float to_x, float to_y, const TTarnwick_ToolView& view,
                         std::vector<float>& out_points) const = 0;

    bool ShapeInProgress = false;
    float StartX = 0;
    float StartY = 0;
};

class TTarnwick_LineBrush : public TTarnwick_GeometryBrush
{
public:
    TTarnwick_LineBrush();
    void Outline(float from_x, float from_y, float to_x, float to_y, const TTarnwick_ToolView& view,
                 std::vector<float>& out_points) const override;
};

class TTarnwick_RectangleBrush : public TTarnwick_GeometryBrush
{
public:
    TTarnwick_RectangleBrush();
    void Outline(float from_x, float from_y, float to_x, float to_y, const TTarnwick_ToolView& view,
                 std::vector<float>& out_points) const override;
};

class TTarnwick_EllipseBrush : public TTarnwick_GeometryBrush
{
public:
    TTarnwick_EllipseBrush();
    void Outline(float from_x, float from_y, float to_x, float to_y, const TTarnwick_ToolView& view,
                 std::vector<float>& out_points) const override;
};
