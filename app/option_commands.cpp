// The option commands. Options are project settings, saved with the project; none changes the
// figure, so none records undo.
#include "app/option_commands.h"

#include <string>

#include "app/application.h"
#include "app/cr2_export_window.h"
#include "app/driver_check.h"
#include "app/main_window.h"
#include "app/scene_drawing.h"
#include "app/viewport_panel.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/status.h"
#include "files/language.h"
#include "files/project.h"

namespace {

struct TOptionEntry
{
    int32_t Command;
    bool TTarnwick_Project::*Option;
};

constexpr TOptionEntry Options[] = {
    {21, &TTarnwick_Project::MirrorX},
    {22, &TTarnwick_Project::MirrorY},
    {23, &TTarnwick_Project::MirrorInViewport},
    {24, &TTarnwick_Project::PaintOnBackFaces},
    {25, &TTarnwick_Project::AngleFade},
    {26, &TTarnwick_Project::ExtraSoftBrushStrokes},
    {27, &TTarnwick_Project::ExportVerticesOnly},
    {28, &TTarnwick_Project::ExportGroups},
    {29, &TTarnwick_Project::ExportGroupsAsSeparateFiles},
    {30, &TTarnwick_Project::ExportChangedGroups},
    {31, &TTarnwick_Project::ExportMaps},
    {32, &TTarnwick_Project::ExportMorphs},
    {33, &TTarnwick_Project::ScaleOnImport},
    {34, &TTarnwick_Project::CenterOnImport},
    {35, &TTarnwick_Project::ImportMaps},
    {36, &TTarnwick_Project::ImportMorphs},
    {37, &TTarnwick_Project::AutoFixSeams},
    {50, &TTarnwick_Project::BrushSymmetry},
    {51, &TTarnwick_Project::DeformSymmetry},
    {52, &TTarnwick_Project::FlipSymmetry},
    {53, &TTarnwick_Project::PaintOnSelectionOnly},
};

struct TDisplayEntry
{
    int32_t Command;
    TTarnwick_DisplayMode Mode;
    // Every view, or only the current one.
    bool AllViews;
};

constexpr TDisplayEntry DisplayModes[] = {
    {54, TTarnwick_DisplayMode::Flat, false},    {55, TTarnwick_DisplayMode::Smooth, false},
    {56, TTarnwick_DisplayMode::Texture, false}, {57, TTarnwick_DisplayMode::Texture, true},
    {89, TTarnwick_DisplayMode::Flat, true},     {90, TTarnwick_DisplayMode::Smooth, true},
};

constexpr int32_t OpenGLReportCommand = 61;
constexpr int32_t FirstWizardChoice = 62;
constexpr int32_t LastWizardChoice = 64;
constexpr int32_t ReportWrittenText = 637;

const TOptionEntry* FindOption(int32_t id)
{
    for (const TOptionEntry& entry : Options)
        if (entry.Command == id)
            return &entry;
    return nullptr;
}

const TDisplayEntry* FindDisplayMode(int32_t id)
{
    for (const TDisplayEntry& entry : DisplayModes)
        if (entry.Command == id)
            return &entry;
    return nullptr;
}

bool SetDisplayMode(const TDisplayEntry& entry)
{
    for (int32_t index = 0; index < ViewportCount; index++) {
        TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(index);
        if (panel != nullptr && (entry.AllViews || panel == TarnwickMainWindow->CurrentViewportPanel()))
            panel->SetDisplayMode(entry.Mode);
    }
    TarnwickMainWindow->InvalidateViewportImages();
    return true;
}

bool WriteReport()
{
    std::string folder;
    std::string path;
    if (!AskSaveFileName(GlobalDialogHost, path, folder, "Text Files", "txt", "Tarnwick_OpenGL_Report.txt",
                         true))
        return false;
    std::string chosen_folder = path.substr(0, path.find_last_of('/') + 1);
    if (!WriteOpenGLReport(ReadDriverStrings(), chosen_folder))
        return false;
    ShowMessage(GlobalDialogHost, "%s", GetLanguageString(ReportWrittenText));
    return true;
}

} // namespace

bool IsOptionCommand(int32_t id)
{
    return FindOption(id) != nullptr || FindDisplayMode(id) != nullptr || id == OpenGLReportCommand ||
           (id >= FirstWizardChoice && id <= LastWizardChoice);
}

bool HandleOptionCommand(TZAVEvent* event)
{
    const int32_t id = event->GetID();
    if (TarnwickProject == nullptr)
        return false;
    if (const TOptionEntry* entry = FindOption(id)) {
        bool& option = TarnwickProject->*(entry->Option);
        if (event->Mode == 0)
            event->IntegerParameters[0] = option ? 1 : 0;
        else
            option = event->IntegerParameters[0] != 0;
        return true;
    }
    if (const TDisplayEntry* entry = FindDisplayMode(id))
        return SetDisplayMode(*entry);
    if (id == OpenGLReportCommand)
        return WriteReport();
    if (id >= FirstWizardChoice && id <= LastWizardChoice) {
        CR2ExportWindow().Choose(TTarnwick_CR2ExportKind(id - FirstWizardChoice));
        return true;
    }
    return false;
}
