// The "Resize map..." dialog: two labelled fields, the proportions switch and the two buttons.
#include "app/resize_map_window.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "paint/material_map.h"
#include "widgets/button.h"
#include "widgets/edit_field.h"
#include "widgets/message_box.h"
#include "widgets/text.h"

namespace {

constexpr int32_t ResizeMapCommand = 13;
constexpr int32_t Margin = 10;
constexpr int32_t LabelWidth = 70;
constexpr int32_t FieldWidth = 90;
constexpr int32_t ButtonWidth = 80;

TTarnwick_ResizeMapWindow* Dialog = nullptr;

} // namespace

TTarnwick_ResizeMapWindow::TTarnwick_ResizeMapWindow(TZAVglutWigits_Node* parent)
    : TZAVglutWigits_Window(parent, "Resize map...")
{
    StayOnTop = true;
    AddCloseButton();
    const int32_t row = LineHeight() + 8;
    int32_t y = Margin;
    for (TZAVglutWigits_EditField** field : {&WidthField, &HeightField}) {
        auto* label = new TZAVglutWigits_Text(this, field == &WidthField ? "Width" : "Height");
        label->LabelAlignment = TZAVglutWigits_Alignment::Left;
        label->DrawFrame = false;
        PlaceNode(label, Margin, y, LabelWidth, row);
        *field = PlaceNode(new TZAVglutWigits_EditField(this), Margin + LabelWidth, y, FieldWidth, row);
        y += row + 4;
    }
    KeepAspectBox = new TZAVglutWigits_CheckBox(this, "Keep the proportions");
    KeepAspectBox->Mode = TZAVglutWigits_ButtonMode::Toggle;
    KeepAspectBox->BoundInteger = &KeepAspect;
    PlaceNode(KeepAspectBox, Margin, y, LabelWidth + FieldWidth + 60, row);
    y += row + Margin;
    OkButton = PlaceNode(new TZAVglutWigits_DialogButton(this, "OK", [this] { Accept(); }), Margin, y,
                         ButtonWidth, row);
    CancelButton = PlaceNode(new TZAVglutWigits_DialogButton(this, "Cancel", [this] { Cancel(); }),
                             Margin + ButtonWidth + Margin, y, ButtonWidth, row);
    Width = std::max(2 * Margin + LabelWidth + FieldWidth + 60, 3 * Margin + 2 * ButtonWidth);
    Height = y + row + Margin;
    Shown = false;
}

void TTarnwick_ResizeMapWindow::Open(const TTarnwick_Object* object, std::vector<int32_t> maps, int32_t width,
                                     int32_t height)
{
    Object = object;
    Maps = std::move(maps);
    WidthField->SetText(std::to_string(width));
    HeightField->SetText(std::to_string(height));
    Centre();
    ShowModal();
    BringToFront();
}

bool TTarnwick_ResizeMapWindow::Accept()
{
    int32_t width = 0, height = 0;
    if (!ParseFieldInteger(WidthField->GetText(), width) ||
        !ParseFieldInteger(HeightField->GetText(), height) || width <= 0 || height <= 0) {
        AddWarning("Please type a width and a height in pixels");
        return false;
    }
    Hide();
    TTarnwick_Object* current = TarnwickProject != nullptr ? TarnwickProject->CurrentObject : nullptr;
    if (current == nullptr || current != Object || !current->Mesh) {
        AddWarning("Please select a map");
        return false;
    }
    for (const int32_t index : Maps) {
        const TZAVMaterialMap* map = MaterialMapAt(*current->Mesh, index);
        if (map == nullptr)
            continue;
        auto* event = new TZAVEvent(ResizeMapCommand);
        event->SetIndex(index);
        event->IntegerParameters[0] = width;
        event->IntegerParameters[1] = height;
        if (KeepAspect != 0 && map->Width > 0)
            event->IntegerParameters[1] =
                std::max(1, int32_t(std::lround(double(width) * map->Height / map->Width)));
        PostEvent(event);
    }
    return true;
}

void TTarnwick_ResizeMapWindow::Cancel()
{
    Hide();
}

TTarnwick_ResizeMapWindow& ResizeMapWindow()
{
    // The main window owns its children; a new main window (tests make several) gets a new dialog.
    if (Dialog == nullptr || TarnwickMainWindow == nullptr || !TarnwickMainWindow->Contains(Dialog))
        Dialog = new TTarnwick_ResizeMapWindow(TarnwickMainWindow);
    return *Dialog;
}
