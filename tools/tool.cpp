// The tool base: the press, drag and cursor bookkeeping every tool shares, its parameters, and
// the switching rule of the toolbox.
#include "tools/tool.h"

#include "core/event_queue.h"
#include "core/status.h"
#include "files/language.h"
#include "mesh/sculpt_mesh.h"

TTarnwick_ToolOptions TarnwickToolOptions;

namespace {

const char* LanguageText(int32_t entry)
{
    return entry < 0 ? nullptr : GetLanguageString(entry);
}

// The hint of the first press names what the mouse does in the current interaction mode.
int32_t FirstPressHint(int32_t interaction_mode)
{
    switch (interaction_mode) {
    case 0:
        return 574;
    case 1:
        return 573;
    case 3:
        return 575;
    default:
        return 576;
    }
}

} // namespace

TTarnwick_Tool::TTarnwick_Tool() = default;

void TTarnwick_Tool::SetNameAndHelp(int32_t name_entry, int32_t help_entry)
{
    SetNameLiteral(GetLanguageString(name_entry));
    Help = GetLanguageString(help_entry);
}

TTarnwick_Tool::~TTarnwick_Tool()
{
    Parameters.Clear();
}

void TTarnwick_Tool::ParameterChanged(TTarnwick_Parameter&) {}

bool TTarnwick_Tool::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                 int32_t state, float x, float y)
{
    Button = button;
    ButtonState = state;
    Dragged = false;
    CurrentX = x;
    CurrentY = y;
    if (state != ButtonState_Pressed)
        return true;
    if (UsesScreenPositions)
        view.UpdateScreenPositions(mesh);
    PressX = x;
    PressY = y;
    if (!TarnwickToolOptions.HintShown) {
        TarnwickToolOptions.HintShown = true;
        AddStatus("%s", GetLanguageString(FirstPressHint(TarnwickToolOptions.InteractionMode)));
    }
    return true;
}

bool TTarnwick_Tool::MouseDrag(TTarnwick_Mesh&, TTarnwick_ToolView&, float x, float y)
{
    CurrentX = x;
    CurrentY = y;
    Dragged = true;
    return true;
}

void TTarnwick_Tool::DrawCursor(TTarnwick_Mesh&, TTarnwick_ToolView&, float, float)
{
    Dragged = false;
}

void TTarnwick_Tool::Activate(TTarnwick_Mesh&) {}

void TTarnwick_Tool::Selected(TTarnwick_Mesh*) {}

void TTarnwick_Tool::Deselected(TTarnwick_Mesh*) {}

int32_t TTarnwick_Tool::ToolEvent(TZAVEvent&)
{
    return 0;
}

TTarnwick_Parameter* TTarnwick_Tool::AddParameter(TTarnwick_ParameterType type, int32_t label_entry,
                                                  int32_t help_entry, int32_t event)
{
    auto* parameter =
        new TTarnwick_Parameter(this, type, LanguageText(label_entry), LanguageText(help_entry), event);
    Parameters.Add(parameter);
    return parameter;
}

TTarnwick_Parameter* TTarnwick_Tool::AddSlider(float& value, int32_t label_entry, int32_t help_entry)
{
    TTarnwick_Parameter* parameter = AddParameter(TTarnwick_ParameterType::Slider, label_entry, help_entry);
    parameter->FloatValue = &value;
    return parameter;
}

TTarnwick_Parameter* TTarnwick_Tool::AddCheckBox(bool& value, int32_t label_entry, int32_t help_entry)
{
    TTarnwick_Parameter* parameter = AddParameter(TTarnwick_ParameterType::CheckBox, label_entry, help_entry);
    parameter->BoolValue = &value;
    return parameter;
}

TTarnwick_Toolbox::~TTarnwick_Toolbox()
{
    CurrentTool = nullptr;
    Brushes.Clear();
    Transforms.Clear();
    OtherTools.Clear();
    PaintBrushes.Clear();
    delete TextureGrabber;
    delete ColorGrabber;
    delete LayerBrush;
}

bool TTarnwick_Toolbox::SwitchTool(TTarnwick_Tool* tool, TTarnwick_Mesh* mesh)
{
    if (CurrentTool != nullptr && CurrentTool->Busy)
        return false;
    if (CurrentTool != nullptr)
        CurrentTool->Deselected(mesh);
    CurrentTool = tool;
    if (CurrentTool != nullptr)
        CurrentTool->Selected(mesh);
    PostCommand(ToolChangedCommand);
    return true;
}
