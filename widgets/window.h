// TZAVglutWigits_Window: a movable frame with a title bar above it (a floating child) and a drop
// shadow. Show makes it the active window and brings it to the front; a modal window keeps input
// away from every node outside it until it is hidden. The Master keeps windows inside itself.
#pragma once

#include <cstdint>

#include "widgets/node.h"

class TZAVglutWigits_CloseButton;
class TZAVglutWigits_TitleBar;

class TZAVglutWigits_Window : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_Window(TZAVglutWigits_Node* parent = nullptr, const char* title = "");

    TZAVglutWigits_Window* AsWindow() override { return this; }
    void Layout() override;
    void Hide() override;
    void Show() override;
    void ShowModal();
    // Centres the window (title bar included) on the Master.
    void Centre();
    int32_t TitleBarHeight() const;
    // A close button at the right end of the title bar, kept there by Layout.
    void AddCloseButton();

    TZAVglutWigits_TitleBar* TitleBar = nullptr;
    TZAVglutWigits_CloseButton* CloseButton = nullptr;
    bool Modal = false;
    // Held to (Master width - 20) x (Master height - 20 - title bar height) at most.
    bool FitInsideMaster = false;
    // Set by a close button, so that the owner can tell a user's close from its own Hide.
    bool ClosedByUser = false;
};

// Sits above its window, as wide as the window; dragging it moves the window.
class TZAVglutWigits_TitleBar : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_TitleBar(TZAVglutWigits_Window* window);

    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void Update() override;
    void Hide() override;
    void Draw() override;
};
