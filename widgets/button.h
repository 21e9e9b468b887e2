// Buttons: push and toggle buttons (a toggle may write a bound integer and may belong to an
// exclusive group of sibling buttons), check boxes, close buttons and the step buttons of scroll
// bars. A button may own a menu (menu bar entries are buttons too): it opens below the button,
// which then holds the focus and hands the keys on to it.
//
//   press   -> pressed look while the mouse stays over the button; an attached menu opens or closes
//   release -> over the button: a toggle changes state, then the click event is posted
//   hot key -> as a click; an attached menu opens or closes
#pragma once

#include <cstdint>
#include <memory>

#include "widgets/node.h"

class TZAVglutWigits_Menu;
class TZAVglutWigits_ScrollBar;

enum class TZAVglutWigits_ButtonMode : int32_t
{
    Push = 0,
    Toggle = 1,
};

class TZAVglutWigits_Button : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_Button(TZAVglutWigits_Node* parent = nullptr, std::string_view text = "",
                                   std::unique_ptr<TZAVEvent> click_event = nullptr);
    ~TZAVglutWigits_Button() override;

    // Takes ownership of menu, taking it from the button that held it; null deletes the current one.
    void AttachMenu(TZAVglutWigits_Menu* menu);
    TZAVglutWigits_Node* GetAttachedMenu() const override;
    // Opens the attached menu below this button.
    void OpenMenu();

    bool OnClick(int32_t x, int32_t y) override;
    void OnMouseEnter(int32_t x, int32_t y) override;
    void OnMouseLeave(int32_t x, int32_t y, TZAVglutWigits_Node* new_node) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    // Keys go to the attached menu while it is open.
    bool OnKey(int32_t key) override;
    bool OnSpecialKey(int32_t key) override;
    void Update() override;
    void Layout() override;
    void Draw() override;
    void DrawLabel() override;

    // A toggle going down writes DownValue to the bound integer and raises the others of its
    // group; going up (outside a group) writes UpValue.
    void SetDown(bool down);
    bool IsDown() const { return Down; }
    // Pressed and the mouse still over it.
    bool LooksPressed() const;

    TZAVglutWigits_ButtonMode Mode = TZAVglutWigits_ButtonMode::Push;
    // When set, the toggle state follows the integer: down while it equals DownValue.
    int32_t* BoundInteger = nullptr;
    int32_t DownValue = 1;
    int32_t UpValue = 0;
    // Sibling toggles with the same non-zero group are exclusive; clicking a down one keeps it down.
    int32_t Group = 0;

protected:
    // The state change a click makes, before the click event goes out.
    void ApplyClick();
    void ToggleMenu();
    void DrawFace(const float* fill);
    void DrawMenuArrow();

    TZAVglutWigits_Menu* AttachedMenu = nullptr;
    bool Down = false;
    bool Pressed = false;

    friend class TZAVglutWigits_Menu;
};

// A toggle button drawn as a box with a check mark; its click event carries the new state in
// integer parameter 0 (1 checked, 0 unchecked).
class TZAVglutWigits_CheckBox : public TZAVglutWigits_Button
{
public:
    explicit TZAVglutWigits_CheckBox(TZAVglutWigits_Node* parent = nullptr, std::string_view text = "",
                                     std::unique_ptr<TZAVEvent> click_event = nullptr);

    bool OnClick(int32_t x, int32_t y) override;
    void Layout() override;
    void Draw() override;

private:
    int32_t BoxSize() const;
};

// Hides the window it sits in (marking it closed by the user), or else its parent.
class TZAVglutWigits_CloseButton : public TZAVglutWigits_Button
{
public:
    explicit TZAVglutWigits_CloseButton(TZAVglutWigits_Node* parent = nullptr);

    bool OnClick(int32_t x, int32_t y) override;
    void Draw() override;
};

// One of a scroll bar's two step buttons: a click steps the bar by direction (-1 or +1); held
// down, it repeats.
class TZAVglutWigits_ScrollBarButton : public TZAVglutWigits_Button
{
public:
    TZAVglutWigits_ScrollBarButton(TZAVglutWigits_ScrollBar* bar, int32_t direction);

    bool OnClick(int32_t x, int32_t y) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void OnTick() override;
    void OnGetFocus() override;
    void Draw() override;

    int32_t Direction;

private:
    TZAVglutWigits_ScrollBar* Bar() const;

    int64_t PressTime = 0;
    int64_t LastRepeat = 0;
    bool Repeated = false;
};
