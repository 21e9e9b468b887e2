// The menu family: a bar of entries, the drop-down menu each bar entry opens, and the entries.
//
// A menu is owned by the button it hangs from (a bar entry is a button) and lives, once opened,
// among the Master's floating children (drawn over everything, and where CloseMenus looks for
// it). Its owner holds the keyboard focus while it is open and hands keys to it. A menu opened by
// a node of a modal window takes input along with that window.
//
//   press on a bar entry   -> its menu opens under it (or closes when it was open)
//   mouse along the bar    -> while one menu of the bar is open, the entry under the mouse opens
//                             its own instead
//   up / down              -> the highlight moves through the enabled entries, round the end
//   left / right           -> the neighbouring menu of the bar opens
//   Enter or Return        -> the highlighted entry is clicked
//   an entry's "&" letter  -> Alt + letter on a bar entry; the letter alone, while the menu is
//                             open, on a menu entry (through the Master's hot-key search too)
//   click on an entry      -> its event is posted and every menu closes
//   press outside          -> every menu closes (the Master does this)
//
// An entry named "-" is a separator: a line that takes no clicks.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "widgets/button.h"
#include "widgets/node.h"

class TZAVglutWigits_Separator;

// An entry of a bar or a menu: a button drawn as a line of text.
class TZAVglutWigits_MenuText : public TZAVglutWigits_Button
{
public:
    explicit TZAVglutWigits_MenuText(TZAVglutWigits_Node* parent = nullptr, std::string_view text = "",
                                     std::unique_ptr<TZAVEvent> click_event = nullptr);
    ~TZAVglutWigits_MenuText() override;

    bool IsSeparator() const { return Name == "-"; }
    // Makes the "&" letter this entry's hot key (or takes it away again); explicit hot keys stay.
    void SetMnemonicActive(bool active);

    bool OnClick(int32_t x, int32_t y) override;
    void OnMouseEnter(int32_t x, int32_t y) override;
    void OnMouseLeave(int32_t x, int32_t y, TZAVglutWigits_Node* new_node) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void SetText(std::string_view text, bool relayout = true) override;
    // The entry measures itself in SetText and draws no menu arrow.
    void Layout() override { TZAVglutWigits_Node::Layout(); }
    void Draw() override;

    // The lower-case letter after the first "&" of the name, 0 without one.
    int32_t Mnemonic = 0;

private:
    TZAVglutWigits_Menu* ParentMenu() const;
    bool IsHighlighted() const;
    void DrawEntryText(const float* colour);

    bool MnemonicActive = false;
};

class TZAVglutWigits_Menu : public TZAVglutWigits_Node
{
public:
    // A menu starts closed and without a parent; OpenMenuFor puts it into the Master.
    TZAVglutWigits_Menu();
    ~TZAVglutWigits_Menu() override;

    // "-" gives a separator entry.
    TZAVglutWigits_MenuText* AddEntry(std::string_view text,
                                      std::unique_ptr<TZAVEvent> click_event = nullptr);
    TZAVglutWigits_Separator* AddSeparator();
    // Shows the menu under owner, kept inside the Master (above owner when there is no room below).
    void OpenMenuFor(TZAVglutWigits_Node* owner) override;

    bool IsMenu() const override { return true; }
    TZAVglutWigits_Node* GetMenuOwner() const override { return Owner; }
    bool OnClick(int32_t x, int32_t y) override;
    void OnTick() override;
    bool OnKey(int32_t key) override;
    bool OnSpecialKey(int32_t key) override;
    void Update() override;
    void Hide() override;
    void Layout() override;
    void Draw() override;

    // The entry that Enter picks; follows the mouse and the up and down keys.
    TZAVglutWigits_MenuText* Highlighted = nullptr;

private:
    void MoveHighlight(int32_t step);
    // The next (step 1) or previous (-1) sibling of the owner that has a menu, round the end.
    TZAVglutWigits_Node* NeighbourOwner(int32_t step) const;
    void SetMnemonicsActive(bool active);

    TZAVglutWigits_Node* Owner = nullptr;
    // The button that owns (and deletes) this menu.
    TZAVglutWigits_Button* Holder = nullptr;

    friend class TZAVglutWigits_Button;
};

class TZAVglutWigits_MenuBar : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_MenuBar(TZAVglutWigits_Node* parent = nullptr);

    // A bar entry with a new empty menu, or with menu (which the entry then owns); Alt and the
    // entry's "&" letter open it.
    TZAVglutWigits_Menu* AddMenu(std::string_view title, TZAVglutWigits_Menu* menu = nullptr);
    // The bar entry whose menu is open, or null.
    TZAVglutWigits_MenuText* OpenEntry() const;
    void Hide() override;
    void Layout() override;
    void Draw() override;

    // The bar spans its parent's width.
    bool FillParentWidth = true;
};
