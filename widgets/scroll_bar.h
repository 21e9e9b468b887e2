// Scroll bars: a trough with a draggable handle between two step buttons. A bar is a floating
// child of the node it scrolls (its owner); the owner's Layout gives it the range and the step,
// and the bar's position is the owner's scroll offset (negated).
//
//   handle press, drag -> the handle follows the mouse; the position follows the handle
//   trough click       -> a page towards the click
//   step button        -> one step; held down, it repeats
#pragma once

#include <cstdint>

#include "widgets/node.h"

class TZAVglutWigits_ScrollBarButton;
class TZAVglutWigits_ScrollBarHandle;

enum class TZAVglutWigits_Orientation : int32_t
{
    Vertical = 0,
    Horizontal = 1,
};

class TZAVglutWigits_ScrollBar : public TZAVglutWigits_Node
{
public:
    // Becomes owner's vertical or horizontal scroll bar.
    TZAVglutWigits_ScrollBar(TZAVglutWigits_Node* owner, TZAVglutWigits_Orientation orientation);

    void SetScrollRange(int32_t range, int32_t step) override;
    int32_t GetScrollPosition() const override { return Position; }
    // Clamps to 0..range and moves the owner's contents at once.
    void SetScrollPosition(int32_t position);
    void Step(int32_t steps);
    void Page(int32_t pages);
    // Position for a handle whose leading edge is at start (in the bar's frame, along the bar).
    void SetPositionFromHandle(int32_t start);
    // The bar's parts take no focus of their own: it goes to the owner.
    void PassFocusToOwner();

    bool OnClick(int32_t x, int32_t y) override;
    void OnGetFocus() override;
    void Layout() override;
    void Draw() override;

    int32_t Range() const { return ScrollRange; }
    int32_t StepSize() const { return ScrollStep; }
    // Along the bar: where the track between the buttons starts, its length, the handle's length.
    int32_t TrackStart() const;
    int32_t TrackLength() const;
    int32_t HandleLength() const;
    int32_t HandleStart() const;

    TZAVglutWigits_Orientation Orientation;
    TZAVglutWigits_ScrollBarHandle* Handle = nullptr;
    TZAVglutWigits_ScrollBarButton* LessButton = nullptr;
    TZAVglutWigits_ScrollBarButton* MoreButton = nullptr;

private:
    bool Vertical() const { return Orientation == TZAVglutWigits_Orientation::Vertical; }
    int32_t Length() const { return Vertical() ? Height : Width; }
    int32_t Thickness() const { return Vertical() ? Width : Height; }
    // The owner's extent along the bar: what one screen shows.
    int32_t VisibleLength() const;
    void PlaceParts();

    int32_t ScrollRange = 0;
    int32_t ScrollStep = 1;
    int32_t Position = 0;
};

class TZAVglutWigits_ScrollBarHandle : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_ScrollBarHandle(TZAVglutWigits_Node* bar);

    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void OnMouseDrag(int32_t x, int32_t y) override;
    void OnGetFocus() override;
    void Draw() override;

private:
    // The parent bar; reports an error when the parent is something else.
    TZAVglutWigits_ScrollBar* Bar() const;

    // Where along the handle it was grabbed.
    int32_t Grab = 0;
    bool Dragging = false;
};
