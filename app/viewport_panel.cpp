// The viewport panel. (Being built: only the shell exists.)
#include "app/viewport_panel.h"

TTarnwick_ViewportPanel::TTarnwick_ViewportPanel(TZAVglutWigits_Node* parent, int32_t index)
    : TZAVglutWigits_Node(parent), Index(index)
{
}

TTarnwick_ViewportPanel::~TTarnwick_ViewportPanel() = default;

void TTarnwick_ViewportPanel::SetView(TTarnwick_StandardView view) { Viewport.SetStandardView(view); }
bool TTarnwick_ViewportPanel::FitToObject() { return false; }
void TTarnwick_ViewportPanel::DiscardCachedImage() {}
void TTarnwick_ViewportPanel::AddPointerMovement(int32_t, int32_t) {}
void TTarnwick_ViewportPanel::NavOnMotionCB(TZAVEvent*) {}
bool TTarnwick_ViewportPanel::Navigate(const TZAVEvent&) { return false; }
