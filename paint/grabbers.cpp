#include "paint/grabbers.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/event_queue.h"
#include "core/status.h"
#include "paint/brush_image.h"
#include "paint/paint_brush.h"
#include "tools/cursor.h"

namespace {

// The view pixel, from the lower left, under a point of the view's normalised space.
void ViewPixel(const TTarnwick_ToolView& view, float x, float y, int32_t& out_x, int32_t& out_y)
{
    out_x = std::clamp(int32_t(std::floor((x + 1.0f) / 2.0f * float(view.Width))), 0, view.Width - 1);
    out_y = std::clamp(int32_t(std::floor((y + 1.0f) / 2.0f * float(view.Height))), 0, view.Height - 1);
}

} // namespace

TTarnwick_GrabberBrush::TTarnwick_GrabberBrush()
{
    Busy = true;
    UsesScreenPositions = false;
}

void TTarnwick_GrabberBrush::WindowPixel(const TTarnwick_ToolView& view, float x, float y, int32_t& out_x,
                                         int32_t& out_y)
{
    ViewPixel(view, x, y, out_x, out_y);
    int32_t origin_x = 0, origin_y = 0;
    if (TarnwickPaintHooks.ViewOrigin)
        TarnwickPaintHooks.ViewOrigin(origin_x, origin_y);
    out_x += origin_x;
    out_y += origin_y;
}

void TTarnwick_GrabberBrush::HandBack()
{
    // Busy keeps the tool bar from replacing the grabber, not the grabber from leaving.
    Busy = false;
    if (TarnwickPaintHooks.ChooseTool)
        TarnwickPaintHooks.ChooseTool(Brush);
    Busy = true;
}

// [SECTION] Colour grabber

TTarnwick_ColorGrabberBrush::TTarnwick_ColorGrabberBrush()
{
    SetNameLiteral("Grab Color From Viewport");
    Help = "Click on a pixel of the view to take its colour.";
}

bool TTarnwick_ColorGrabberBrush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                              int32_t state, float x, float y)
{
    TTarnwick_Tool::MouseButton(mesh, view, button, state, x, y);
    // The release goes to the grabber too; only then does the calling tool take over.
    if (state != ButtonState_Pressed) {
        HandBack();
        return true;
    }
    TTarnwick_PaintCanvas* canvas = TarnwickPaintHooks.Canvas;
    if (canvas == nullptr || Brush == nullptr)
        return true;
    int32_t pixel_x = 0, pixel_y = 0;
    WindowPixel(view, x, y, pixel_x, pixel_y);
    std::vector<uint8_t> rgba;
    if (!canvas->ReadViewPixels(pixel_x, pixel_y, 4, 4, rgba))
        return true;
    float* colour = button == MouseButton_Right ? Brush->SecondaryColor : Brush->PrimaryColor;
    for (int32_t k = 0; k < 3; k++)
        colour[k] = float(rgba[size_t(k)]) / 255.0f;
    PostCommand(ToolChangedCommand);
    return true;
}

// [SECTION] Texture grabber

TTarnwick_TextureGrabberBrush::TTarnwick_TextureGrabberBrush()
{
    SetNameLiteral("Grab Texture From Viewport");
    Help = "Drag a rectangle over the view to take its pixels as the brush's image.";
    DrawsCursor = true;
}

bool TTarnwick_TextureGrabberBrush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view,
                                                int32_t button, int32_t state, float x, float y)
{
    TTarnwick_Tool::MouseButton(mesh, view, button, state, x, y);
    if (state == ButtonState_Pressed)
        return true;
    TTarnwick_PaintCanvas* canvas = TarnwickPaintHooks.Canvas;
    if (canvas == nullptr || !TarnwickPaintHooks.AddBrushImage) {
        HandBack();
        return true;
    }
    // The pixels between the press and the release, both corners included.
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    WindowPixel(view, PressX, PressY, x0, y0);
    WindowPixel(view, x, y, x1, y1);
    const int32_t width = std::abs(x1 - x0) + 1;
    const int32_t height = std::abs(y1 - y0) + 1;
    std::vector<uint8_t> rgba;
    auto image = std::make_unique<TTarnwick_TextureBrushImage>();
    const size_t size = size_t(width) * size_t(height) * 4;
    image->Pixels.reset(new (std::nothrow) uint8_t[size]);
    if (image->Pixels == nullptr) {
        AddWarning("Out Of Memory");
    } else if (canvas->ReadViewPixels(std::min(x0, x1), std::min(y0, y1), width, height, rgba)) {
        std::copy_n(rgba.begin(), size, image->Pixels.get());
        image->Width = width;
        image->Height = height;
        image->SetNameLiteral("Grabbed Texture");
        GrabbedImage = TarnwickPaintHooks.AddBrushImage(std::move(image));
        // The grab becomes the calling brush's stamp, which is what the user grabbed it for.
        if (GrabbedImage >= 0 && Brush != nullptr) {
            Brush->BrushImageIndex = GrabbedImage;
            TarnwickPaintHooks.UseBrushImage = true;
        }
        PostCommand(ToolChangedCommand);
    }
    HandBack();
    return true;
}

void TTarnwick_TextureGrabberBrush::DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x,
                                               float y)
{
    TTarnwick_Tool::DrawCursor(mesh, view, x, y);
    if (Button < 0 || ButtonState != ButtonState_Pressed)
        return;
    // Around the pixels that will be taken, never over them.
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ViewPixel(view, PressX, PressY, x0, y0);
    ViewPixel(view, x, y, x1, y1);
    const float pixel_x = 2.0f / float(view.Width);
    const float pixel_y = 2.0f / float(view.Height);
    const float left = float(std::min(x0, x1)) * pixel_x - 1.0f;
    const float right = float(std::max(x0, x1) + 1) * pixel_x - 1.0f;
    const float bottom = float(std::min(y0, y1)) * pixel_y - 1.0f;
    const float top = float(std::max(y0, y1) + 1) * pixel_y - 1.0f;
    DrawSquareCursorOutline((left + right) / 2, (bottom + top) / 2, (right - left) / 2 + 1.5f * pixel_x,
                            (top - bottom) / 2 + 1.5f * pixel_y, view.Width, view.Height);
}
