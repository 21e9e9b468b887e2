// The viewport commands: the standard views of the current view, and laying the window out again.
#include "app/view_commands.h"

#include <cstdint>

#include "app/main_window.h"
#include "app/viewport_panel.h"
#include "core/event.h"
#include "core/report.h"
#include "core/status.h"
#include "files/project.h"

namespace {

// The current view fills the view area, or gives it back to the four.
constexpr int32_t MaximizeViewCommand = 162;

// The panel whose orientation menu posted the event, else the current one. The context is only
// compared with the live panels, never followed blindly.
TTarnwick_ViewportPanel* TargetPanel(const TZAVEvent& event)
{
    for (int32_t index = 0; index < ViewportCount; index++)
        if (TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(index))
            if (static_cast<void*>(panel) == event.Context)
                return panel;
    return TarnwickMainWindow->CurrentViewportPanel();
}

bool SetStandardView(const TZAVEvent& event, TTarnwick_StandardView view)
{
    TTarnwick_ViewportPanel* panel = TargetPanel(event);
    if (panel == nullptr)
        ReportError("Panel == NULL for the standard view %d", int32_t(view));
    AddStatus("%s", TTarnwick_Viewport::GetStandardViewInfo(view).StatusText);
    panel->SetView(view);
    return true;
}

} // namespace

bool HandleViewportCommand(TZAVEvent* event)
{
    const int32_t id = event->GetID();
    switch (id) {
    case int32_t(TTarnwick_StandardView::Front):
    case int32_t(TTarnwick_StandardView::Back):
    case int32_t(TTarnwick_StandardView::Right):
    case int32_t(TTarnwick_StandardView::Left):
    case int32_t(TTarnwick_StandardView::Top):
    case int32_t(TTarnwick_StandardView::Bottom):
    case int32_t(TTarnwick_StandardView::Perspective):
        return SetStandardView(*event, static_cast<TTarnwick_StandardView>(id));
    case MaximizeViewCommand:
        TarnwickMainWindow->ToggleMaximized(TargetPanel(*event));
        return true;
    default:
        // The display options (163 to 173) come with the viewport options window; fitting is the
        // panel's own button.
        return false;
    }
}

bool HandleLayoutCommand(TZAVEvent* event)
{
    switch (event->GetID()) {
    case WindowReshapedCommand:
    case LayOutWindowCommand:
    case SceneSettledCommand:
        TarnwickMainWindow->Layout();
        return true;
    default:
        return false;
    }
}
