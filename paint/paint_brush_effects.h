// The blur and smudge brushes: one dab per mouse event, at the current point, whose colours are
// the surface the view shows rather than a colour of the brush. The blur paints the surface under
// the dab back blurred; the smudge paints the surface from around the previous point, moved by
// the mouse, so that the colours are dragged along the stroke. Both go through the same map
// painting as the round brush.
#pragma once

#include <cstdint>
#include <vector>

#include "paint/paint_brush.h"

class TTarnwick_BlurBrush : public TTarnwick_PaintBrush
{
public:
    TTarnwick_BlurBrush();

    void RenderStroke(const TTarnwick_ToolView& view, float from_x, float from_y, float to_x, float to_y,
                      std::vector<TTarnwick_Dab>& out_dabs) const override;

    // The factor the surface image is shrunk by and enlarged again: 2^int(7·sqrt(amount) + 1),
    // from 2 at amount 0 to 256 at amount 1.
    static int32_t ShrinkFactor(float blur_amount);

    // Bound to the slider that shows the strength for the other brushes.
    float BlurAmount = 0.3f;
};

class TTarnwick_SmudgeBrush : public TTarnwick_PaintBrush
{
public:
    TTarnwick_SmudgeBrush();

    void RenderStroke(const TTarnwick_ToolView& view, float from_x, float from_y, float to_x, float to_y,
                      std::vector<TTarnwick_Dab>& out_dabs) const override;
};
