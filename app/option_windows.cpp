// The viewport options and program options windows.
//
// [SECTION] Controls
// [SECTION] The common frame
// [SECTION] Viewport options
// [SECTION] Program options
// [SECTION] Commands
#include "app/option_windows.h"

#include <algorithm>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/view_commands.h"
#include "app/viewport_panel.h"
#include "core/event.h"
#include "core/status.h"
#include "files/project.h"
#include "files/settings.h"
#include "widgets/button.h"
#include "widgets/draw.h"
#include "widgets/edit_field.h"
#include "widgets/text.h"

namespace {

constexpr int32_t Margin = 10;
constexpr int32_t RowGap = 4;
constexpr int32_t WindowWidth = 340;
constexpr int32_t FieldWidth = 90;

// [SECTION] Controls

// A push button that shows a colour swatch at its right end; the colour is found anew at every
// draw, since the project may be replaced while the window lives.
class TColourButton : public TZAVglutWigits_Button
{
public:
    TColourButton(TZAVglutWigits_Node* parent, const char* text, int32_t command, float* (*colour)())
        : TZAVglutWigits_Button(parent, text, std::make_unique<TZAVEvent>(command)), Colour(colour)
    {
        LabelAlignment = TZAVglutWigits_Alignment::Left;
    }

    void Draw() override
    {
        TZAVglutWigits_Button::Draw();
        const float* colour = Colour();
        if (colour == nullptr)
            return;
        const float side = float(Height - 8);
        SetColor3fv(colour);
        DrawFilledRect(float(Width) - side - 6.0f, 4.0f, side, side);
    }

private:
    float* (*Colour)();
};

float* BackgroundColour()
{
    return TarnwickProject != nullptr ? TarnwickProject->BackgroundColor : nullptr;
}

float* WireframeColour()
{
    return TarnwickProject != nullptr ? TarnwickProject->WireframeColor : nullptr;
}

class TFlagBox : public TZAVglutWigits_CheckBox
{
public:
    TFlagBox(TZAVglutWigits_Node* parent, const char* text, std::function<bool*()> flag)
        : TZAVglutWigits_CheckBox(parent, text), Flag(std::move(flag))
    {
        Update();
    }

    void Update() override
    {
        const bool* flag = Flag();
        Down = flag != nullptr && *flag;
    }
    bool OnClick(int32_t x, int32_t y) override
    {
        const bool delivered = TZAVglutWigits_CheckBox::OnClick(x, y);
        if (bool* flag = Flag())
            *flag = Down;
        return delivered;
    }

private:
    std::function<bool*()> Flag;
};

// An edit field bound anew to its value before every use, holding the value in its range after a
// commit.
class TNumberField : public TZAVglutWigits_EditField
{
public:
    TNumberField(TZAVglutWigits_Node* parent, std::function<float*()> value, float minimum, float maximum)
        : TZAVglutWigits_EditField(parent), FloatValue(std::move(value)), Minimum(minimum), Maximum(maximum)
    {
        Update();
    }
    TNumberField(TZAVglutWigits_Node* parent, std::function<int32_t*()> value, int32_t minimum,
                 int32_t maximum)
        : TZAVglutWigits_EditField(parent), IntegerValue(std::move(value)), Minimum(float(minimum)),
          Maximum(float(maximum))
    {
        Update();
    }

    void Update() override
    {
        Rebind();
        TZAVglutWigits_EditField::Update();
    }
    bool OnKey(int32_t key) override
    {
        Rebind();
        const bool used = TZAVglutWigits_EditField::OnKey(key);
        Clamp();
        return used;
    }
    void OnLoseFocus() override
    {
        Rebind();
        TZAVglutWigits_EditField::OnLoseFocus();
        Clamp();
    }

private:
    void Rebind()
    {
        BoundFloat = FloatValue ? FloatValue() : nullptr;
        BoundInteger = IntegerValue ? IntegerValue() : nullptr;
    }
    void Clamp()
    {
        if (BoundFloat != nullptr)
            *BoundFloat = std::clamp(*BoundFloat, Minimum, Maximum);
        if (BoundInteger != nullptr)
            *BoundInteger = std::clamp(*BoundInteger, int32_t(Minimum), int32_t(Maximum));
    }

    std::function<float*()> FloatValue;
    std::function<int32_t*()> IntegerValue;
    float Minimum;
    float Maximum;
};

TTarnwick_ViewportOptionsWindow* ViewportWindow = nullptr;
TTarnwick_ProgramOptionsWindow* ProgramWindow = nullptr;

// The main window owns its children; a new main window (tests make several) gets new windows.
template <typename TWindow> TWindow& WindowOfMainWindow(TWindow*& window)
{
    if (window == nullptr || TarnwickMainWindow == nullptr || !TarnwickMainWindow->Contains(window))
        window = new TWindow(TarnwickMainWindow);
    return *window;
}

} // namespace

// [SECTION] The common frame

TTarnwick_OptionWindow::TTarnwick_OptionWindow(TZAVglutWigits_Node* parent, const char* title)
    : TZAVglutWigits_Window(parent, title), NextY(Margin)
{
    StayOnTop = true;
    AddCloseButton();
    Width = WindowWidth;
    Shown = false;
}

void TTarnwick_OptionWindow::Open()
{
    Centre();
    Show();
    BringToFront();
}

TZAVglutWigits_Node* TTarnwick_OptionWindow::AddRow(TZAVglutWigits_Node* node, int32_t height)
{
    PlaceNode(node, Margin, NextY, Width - 2 * Margin, height > 0 ? height : LineHeight() + 6);
    NextY += node->Height + RowGap;
    Height = NextY + Margin - RowGap;
    return node;
}

void TTarnwick_OptionWindow::AddHeading(const char* text)
{
    auto* heading = new TZAVglutWigits_Text(this, text);
    heading->LabelAlignment = TZAVglutWigits_Alignment::Left;
    heading->DrawFrame = false;
    if (NextY > Margin)
        NextY += RowGap;
    AddRow(heading, LineHeight());
}

// [SECTION] Viewport options

TTarnwick_ViewportOptionsWindow::TTarnwick_ViewportOptionsWindow(TZAVglutWigits_Node* parent)
    : TTarnwick_OptionWindow(parent, "Viewport options")
{
    PanelName = new TZAVglutWigits_Text(this, "");
    PanelName->LabelAlignment = TZAVglutWigits_Alignment::Left;
    PanelName->DrawFrame = false;
    AddRow(PanelName, LineHeight());
    const struct
    {
        int32_t Command;
        const char* Text;
    } switches[] = {
        {ToggleWireframeCommand, "Wireframe over the surface"},
        {ToggleBackFacesCommand, "Back faces"},
        {ToggleSelectionOverlayCommand, "Selection"},
        {ToggleLightingCommand, "Lighting"},
    };
    for (const auto& entry : switches) {
        auto* box = new TZAVglutWigits_CheckBox(this, entry.Text, std::make_unique<TZAVEvent>(entry.Command));
        box->ClickEvent->Mode = 1;
        AddRow(box);
        Boxes.push_back({entry.Command, box});
    }
    AddHeading("Colors of every viewport");
    AddRow(new TColourButton(this, "Background color...", BackgroundColourCommand, BackgroundColour));
    AddRow(new TColourButton(this, "Wireframe color...", WireframeColourCommand, WireframeColour));
    AddHeading("Viewports");
    struct TAction
    {
        int32_t Command;
        const char* Text;
        // Acts on this window's view rather than on every view.
        bool OwnView;
    };
    const TAction actions[] = {
        {FitViewToObjectCommand, "Fit this viewport to the object", true},
        {FitViewsToSceneCommand, "Fit every viewport to the scene", false},
        {CopyViewOptionsCommand, "Show every viewport like this one", true},
        {ResetViewOptionsCommand, "Start settings for every viewport", false},
    };
    for (const TAction& action : actions) {
        auto* button =
            new TZAVglutWigits_Button(this, action.Text, std::make_unique<TZAVEvent>(action.Command));
        AddRow(button);
        if (action.OwnView)
            OwnViewButtons.push_back(button);
    }
}

void TTarnwick_ViewportOptionsWindow::ShowPanel(TTarnwick_ViewportPanel* panel)
{
    Panel = panel;
    PanelName->SetText(panel != nullptr ? panel->Name : std::string());
    for (const TSwitchBox& entry : Boxes) {
        entry.Box->ClickEvent->Context = panel;
        entry.Box->BoundInteger = nullptr;
        if (panel != nullptr) {
            if (entry.Command == ToggleWireframeCommand)
                entry.Box->BoundInteger = &panel->Options.Wireframe;
            else if (entry.Command == ToggleBackFacesCommand)
                entry.Box->BoundInteger = &panel->Options.BackFaces;
            else if (entry.Command == ToggleSelectionOverlayCommand)
                entry.Box->BoundInteger = &panel->Options.ShowSelection;
            else if (entry.Command == ToggleLightingCommand)
                entry.Box->BoundInteger = &panel->Options.Lighting;
            entry.Box->Update();
        }
    }
    for (TZAVglutWigits_Button* button : OwnViewButtons)
        button->ClickEvent->Context = panel;
}

TZAVglutWigits_CheckBox* TTarnwick_ViewportOptionsWindow::SwitchBox(int32_t command) const
{
    for (const TSwitchBox& entry : Boxes)
        if (entry.Command == command)
            return entry.Box;
    return nullptr;
}

// [SECTION] Program options

namespace {

template <typename TValue> std::function<TValue*()> ProjectMember(TValue TTarnwick_Project::*member)
{
    return
        [member]() -> TValue* { return TarnwickProject != nullptr ? &(TarnwickProject->*member) : nullptr; };
}

template <typename TValue> std::function<TValue*()> SettingsMember(TValue TTarnwick_Settings::*member)
{
    return [member]() -> TValue* {
        return TarnwickSettings != nullptr ? &(TarnwickSettings->*member) : nullptr;
    };
}

} // namespace

TTarnwick_ProgramOptionsWindow::TTarnwick_ProgramOptionsWindow(TZAVglutWigits_Node* parent)
    : TTarnwick_OptionWindow(parent, "Program options")
{
    using P = TTarnwick_Project;
    AddHeading("Importing objects");
    AddFlag("Load the maps they name", ProjectMember(&P::ImportMaps));
    AddFlag("Load their morph targets", ProjectMember(&P::ImportMorphs));
    AddFlag("Scale them", ProjectMember(&P::ScaleOnImport));
    AddFloat("Scale factor", ProjectMember(&P::ScaleFactor), 0.0001f, 10000.0f);
    AddFlag("Centre them", ProjectMember(&P::CenterOnImport));
    AddHeading("Exporting objects");
    AddFlag("Write the groups", ProjectMember(&P::ExportGroups));
    AddFlag("One file per group", ProjectMember(&P::ExportGroupsAsSeparateFiles));
    AddFlag("Only the groups that changed", ProjectMember(&P::ExportChangedGroups));
    AddFlag("Vertices only", ProjectMember(&P::ExportVerticesOnly));
    AddFlag("Export the maps", ProjectMember(&P::ExportMaps));
    AddFlag("Export the morph targets", ProjectMember(&P::ExportMorphs));
    AddHeading("Painting and welding");
    AddFlag("Repair texture seams while painting", ProjectMember(&P::AutoFixSeams));
    AddFloat("Brush texture tile size", ProjectMember(&P::TileSize), 0.001f, 1000.0f);
    AddFloat("Weld distance", ProjectMember(&P::WeldThreshold), 0.0f, 1000.0f);
    AddHeading("Program");
    AddFloat("Autosave every (seconds, 0 = off)", SettingsMember(&TTarnwick_Settings::AutoSaveTime), 0.0f,
             86400.0f);
    AddInteger("Undo memory (MB, 0 = no undo)", SettingsMember(&TTarnwick_Settings::UndoLimit), 0, 65536);
    AddFlag("Keep images of the viewports", SettingsMember(&TTarnwick_Settings::CacheViewports));
}

void TTarnwick_ProgramOptionsWindow::AddFlag(const char* text, std::function<bool*()> flag)
{
    auto* box = new TFlagBox(this, text, std::move(flag));
    AddRow(box);
    Boxes.emplace_back(text, box);
}

TZAVglutWigits_EditField* TTarnwick_ProgramOptionsWindow::AddField(const char* text,
                                                                   TZAVglutWigits_EditField* field)
{
    auto* label = new TZAVglutWigits_Text(this, text);
    label->LabelAlignment = TZAVglutWigits_Alignment::Left;
    label->DrawFrame = false;
    AddRow(label);
    label->Width -= FieldWidth + Margin;
    PlaceNode(field, label->X + label->Width + Margin, label->Y, FieldWidth, label->Height);
    Fields.emplace_back(text, field);
    return field;
}

void TTarnwick_ProgramOptionsWindow::AddFloat(const char* text, std::function<float*()> value, float minimum,
                                              float maximum)
{
    AddField(text, new TNumberField(this, std::move(value), minimum, maximum));
}

void TTarnwick_ProgramOptionsWindow::AddInteger(const char* text, std::function<int32_t*()> value,
                                                int32_t minimum, int32_t maximum)
{
    AddField(text, new TNumberField(this, std::move(value), minimum, maximum));
}

TZAVglutWigits_CheckBox* TTarnwick_ProgramOptionsWindow::FindBox(const char* text) const
{
    for (const auto& [label, box] : Boxes)
        if (label == text)
            return box;
    return nullptr;
}

TZAVglutWigits_EditField* TTarnwick_ProgramOptionsWindow::FindField(const char* text) const
{
    for (const auto& [label, field] : Fields)
        if (label == text)
            return field;
    return nullptr;
}

// [SECTION] Commands

TTarnwick_ViewportOptionsWindow& ViewportOptionsWindow()
{
    return WindowOfMainWindow(ViewportWindow);
}

TTarnwick_ProgramOptionsWindow& ProgramOptionsWindow()
{
    return WindowOfMainWindow(ProgramWindow);
}

bool IsOptionWindowCommand(int32_t id)
{
    return id == ViewportOptionsWindowCommand || id == ProgramOptionsWindowCommand;
}

bool HandleOptionWindowCommand(TZAVEvent* event)
{
    if (TarnwickMainWindow == nullptr)
        return false;
    if (event->GetID() == ProgramOptionsWindowCommand) {
        AddStatus("Opening program options window");
        ProgramOptionsWindow().Open();
        return true;
    }
    if (event->GetID() != ViewportOptionsWindowCommand)
        return false;
    // The context is only compared with the live panels, never followed blindly.
    TTarnwick_ViewportPanel* panel = TarnwickMainWindow->CurrentViewportPanel();
    for (int32_t index = 0; index < ViewportCount; index++)
        if (TTarnwick_ViewportPanel* candidate = TarnwickMainWindow->ViewportPanel(index))
            if (static_cast<void*>(candidate) == event->Context)
                panel = candidate;
    if (panel == nullptr)
        return false;
    AddStatus("Opening viewport options window");
    TTarnwick_ViewportOptionsWindow& window = ViewportOptionsWindow();
    window.ShowPanel(panel);
    window.Open();
    return true;
}
