// TTarnwick_Tool: the base of everything the user does with the mouse on the current mesh in a
// viewport, and TTarnwick_Toolbox, the tool lists with the current tool.
//
// A stroke, as the main window drives it:
//   press    Activate(mesh), then MouseButton(mesh, view, button, Pressed, x, y)
//   drag     MouseDrag(mesh, view, x, y) for each motion with a button held
//   release  MouseButton(mesh, view, button, Released, x, y)
//   drawing  DrawCursor(mesh, view, x, y) after the scene, when DrawsCursor is set
// x and y are in the view's normalised space (tools/tool_view.h). PressX/PressY stay fixed during
// a stroke, so every drag sees the whole movement since the press. A tool that returns false has
// done nothing for that event.
//
// [SECTION] Options
// [SECTION] TTarnwick_Tool
// [SECTION] TTarnwick_Toolbox
#pragma once

#include <cstdint>
#include <string>

#include "core/event.h"
#include "core/list.h"
#include "core/thingy.h"
#include "tools/parameter.h"
#include "tools/tool_view.h"

class TTarnwick_Mesh;

// [SECTION] Options

enum TTarnwick_ToolFlag : uint32_t
{
    // The tool may act on hidden and occluded vertices when the user's see-through option is on.
    ToolFlag_SeeThrough = 0x01,
    ToolFlag_Symmetry = 0x10,
    // A selection brush paints once more at the release.
    ToolFlag_PaintAtRelease = 0x100,
    // Every bit is set at construction except these.
    ToolFlags_ClearedAtConstruction = 0x40 | 0x400 | 0x800,
};

enum TTarnwick_ButtonState : int32_t
{
    ButtonState_Pressed = 0,
    ButtonState_Released = 1,
};

enum TTarnwick_MouseButton : int32_t
{
    MouseButton_Left = 0,
    MouseButton_Middle = 1,
    MouseButton_Right = 2,
};

// The command that refreshes the tool panel after a switch.
constexpr int32_t ToolChangedCommand = 243;

// The application's options that tools read, and the counters they keep between calls.
struct TTarnwick_ToolOptions
{
    bool LocalSurfaceOnly = false;
    bool SeeThrough = false;
    bool FacingAttenuation = false;
    bool PartialRedraw = false;
    bool BrushSymmetry = false;
    bool EdgeSmoothing = false;
    // Chooses the hint of the first press; 0 to 3.
    int32_t InteractionMode = 0;
    bool HintShown = false;
    // Vertices skipped in a stroke step for not being on the local surface.
    int32_t SkippedVertices = 0;
    bool LocalSurfaceMessageShown = false;
    // The read-only notices shown this run (TTarnwick_NoticeFlag).
    uint32_t NoticeFlags = 0;
};

extern TTarnwick_ToolOptions TarnwickToolOptions;

// [SECTION] TTarnwick_Tool

class TTarnwick_Tool : public TTarnwick_Thingy
{
public:
    TTarnwick_Tool();
    // Deletes the parameters.
    ~TTarnwick_Tool() override;

    // Virtual operations, in slot order.
    virtual void ParameterChanged(TTarnwick_Parameter& parameter);
    virtual bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state,
                             float x, float y);
    virtual bool MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y);
    virtual void DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y);
    // Before every press: tools that change the mesh record their undo copy here.
    virtual void Activate(TTarnwick_Mesh& mesh);
    // Bracket the time the tool is current; mesh is null without a current object.
    virtual void Selected(TTarnwick_Mesh* mesh);
    virtual void Deselected(TTarnwick_Mesh* mesh);
    virtual int32_t ToolEvent(TZAVEvent& event);

    // Appends a parameter owned by the tool; label and help are language-file entries (-1: none).
    TTarnwick_Parameter* AddParameter(TTarnwick_ParameterType type, int32_t label_entry, int32_t help_entry,
                                      int32_t event = -1);
    TTarnwick_Parameter* AddSlider(float& value, int32_t label_entry, int32_t help_entry);
    TTarnwick_Parameter* AddCheckBox(bool& value, int32_t label_entry, int32_t help_entry);
    // The display name and the help text from language-file entries.
    void SetNameAndHelp(int32_t name_entry, int32_t help_entry);

    // Help text; the name is the tool's display name.
    std::string Help;
    uint32_t Flags = ~static_cast<uint32_t>(ToolFlags_ClearedAtConstruction);
    // While set the tool bar cannot replace the tool (the grabbers, which hand control back).
    bool Busy = false;
    int32_t Button = -1;
    int32_t ButtonState = -1;
    bool DrawsCursor = false;
    // Whether a press brings the view's screen positions of the mesh up to date; the deformers
    // move the selection and never look at them.
    bool UsesScreenPositions = true;
    bool Dragged = false;
    // Set by the caller around a MouseButton repeated with mirrored coordinates.
    bool MirroredRepeat = false;
    TZAVMultiList<TTarnwick_Parameter*> Parameters;
    float RangeZero = 0.0f;
    float RangeOne = 1.0f;
    float RangeTen = 10.0f;
    float PressX = 0;
    float PressY = 0;
    float CurrentX = 0;
    float CurrentY = 0;
};

using TTarnwick_ToolPtr = TTarnwick_Tool*;

// [SECTION] TTarnwick_Toolbox

// The tools of the tool bar in their lists (null entries are gaps), the tools held outside them,
// and the current tool. Owns every tool.
struct TTarnwick_Toolbox
{
    TTarnwick_Toolbox() = default;
    TTarnwick_Toolbox(const TTarnwick_Toolbox&) = delete;
    TTarnwick_Toolbox& operator=(const TTarnwick_Toolbox&) = delete;
    ~TTarnwick_Toolbox();

    // Makes tool current: Deselected on the old tool, Selected on the new one, then the tool panel
    // is refreshed. Refused (false, nothing changes) while the current tool is Busy.
    bool SwitchTool(TTarnwick_Tool* tool, TTarnwick_Mesh* mesh);

    TZAVMultiList<TTarnwick_Tool*> Brushes;
    TZAVMultiList<TTarnwick_Tool*> Transforms;
    TZAVMultiList<TTarnwick_Tool*> OtherTools;
    TZAVMultiList<TTarnwick_Tool*> PaintBrushes;
    TTarnwick_Tool* TextureGrabber = nullptr;
    TTarnwick_Tool* ColorGrabber = nullptr;
    TTarnwick_Tool* LayerBrush = nullptr;
    TTarnwick_Tool* CurrentTool = nullptr;
};
