#include "paint/paint_brush_effects.h"

#include <algorithm>
#include <cmath>

#include "files/language.h"

namespace {

// One dab at the point, its colours to come from the surface.
void SurfaceDab(const TTarnwick_PaintBrush& brush, const TTarnwick_ToolView& view, float x, float y,
                std::vector<TTarnwick_Dab>& out_dabs)
{
    out_dabs.clear();
    if (brush.Radius < 1e-30f)
        return;
    TTarnwick_Dab dab;
    dab.X = x;
    dab.Y = y;
    dab.SizeX = brush.Radius;
    dab.SizeY = brush.Radius / view.Aspect();
    dab.Hardness = brush.Hardness;
    dab.Strength = brush.Strength;
    dab.Surface.View = &view;
    out_dabs.push_back(dab);
}

} // namespace

TTarnwick_BlurBrush::TTarnwick_BlurBrush()
{
    SetNameAndHelp(569, 570);
    Hardness = 0.8f;
    Strength = 1.0f;
    // The surface gives the colours, and the slider that shows strength elsewhere sets the blur.
    for (int32_t index = Parameters.Count() - 1; index >= 0; index--) {
        TTarnwick_Parameter* parameter = nullptr;
        if (!Parameters.Get(parameter, index) || parameter == nullptr)
            continue;
        if (parameter->Type == TTarnwick_ParameterType::Colour)
            Parameters.DeleteAt(index);
        else if (parameter->FloatValue == &Strength)
            parameter->FloatValue = &BlurAmount;
    }
}

int32_t TTarnwick_BlurBrush::ShrinkFactor(float blur_amount)
{
    const int32_t exponent = int32_t(7.0f * std::sqrt(std::max(blur_amount, 0.0f)) + 1.0f);
    return 1 << std::min(exponent, 8);
}

void TTarnwick_BlurBrush::RenderStroke(const TTarnwick_ToolView& view, float /*from_x*/, float /*from_y*/,
                                       float to_x, float to_y, std::vector<TTarnwick_Dab>& out_dabs) const
{
    SurfaceDab(*this, view, to_x, to_y, out_dabs);
    for (TTarnwick_Dab& dab : out_dabs)
        dab.Surface.Shrink = ShrinkFactor(BlurAmount);
}

TTarnwick_SmudgeBrush::TTarnwick_SmudgeBrush()
{
    SetNameLiteral("Smudge Brush");
    Help = "Drags the paint under the brush along the stroke.";
    for (int32_t index = Parameters.Count() - 1; index >= 0; index--) {
        TTarnwick_Parameter* parameter = nullptr;
        if (Parameters.Get(parameter, index) && parameter != nullptr &&
            parameter->Type == TTarnwick_ParameterType::Colour)
            Parameters.DeleteAt(index);
    }
}

void TTarnwick_SmudgeBrush::RenderStroke(const TTarnwick_ToolView& view, float from_x, float from_y,
                                         float to_x, float to_y, std::vector<TTarnwick_Dab>& out_dabs) const
{
    SurfaceDab(*this, view, to_x, to_y, out_dabs);
    // What lay under the previous point now lies under this one.
    for (TTarnwick_Dab& dab : out_dabs) {
        dab.Surface.ShiftX = to_x - from_x;
        dab.Surface.ShiftY = to_y - from_y;
    }
}
