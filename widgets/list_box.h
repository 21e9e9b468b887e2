// List boxes: a column of one-line items with a vertical scroll bar when they overflow. The list
// box keeps the selection; items select themselves when clicked.
//
//   click         -> the item is selected, the list takes the focus, the item click event goes out
//   right click   -> selected too, the item right-click event goes out
//   double click  -> the item double-click event goes out
//   drag          -> an item carries its drag text (its own text unless set)
//   drop          -> the list's drop event goes out with the text and, as its index, the item
//                    dropped on (the item count below the last item)
//   up/down, page up/down, home/end -> with the focus, move the selection and keep it in view
//   mouse wheel   -> scrolls
//
// Item events come from the item's own prototype when it has one, else from the list's Item*
// prototype; their index is the item's. Only the items in view are drawn or hit.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "widgets/node.h"

class TZAVglutWigits_ListItem;
class TZAVglutWigits_ScrollBar;

class TZAVglutWigits_ListBox : public TZAVglutWigits_Node
{
public:
    explicit TZAVglutWigits_ListBox(TZAVglutWigits_Node* parent = nullptr);
    ~TZAVglutWigits_ListBox() override;

    TZAVglutWigits_ListItem* AddItem(std::string_view text);
    void Clear();
    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    TZAVglutWigits_ListItem* Item(int32_t index) const;
    // Null clears the selection.
    void Select(TZAVglutWigits_ListItem* item);
    void SelectIndex(int32_t index);
    TZAVglutWigits_ListItem* GetSelected() const { return Selected; }
    // -1 without a selection.
    int32_t SelectedIndex() const;
    void ScrollIntoView(const TZAVglutWigits_ListItem* item);
    int32_t ItemHeight() const;
    // Sets the drop event of the list and of every item, so that drops land anywhere on it.
    void AcceptDrops(std::unique_ptr<TZAVEvent> drop_event);

    void Layout() override;
    void Draw() override;
    bool OnSpecialKey(int32_t key) override;
    bool OnDrop(const char* text, int32_t x, int32_t y) override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;

    TZAVglutWigits_ScrollBar* ScrollBar = nullptr;
    std::unique_ptr<TZAVEvent> ItemClickEvent;
    std::unique_ptr<TZAVEvent> ItemRightClickEvent;
    std::unique_ptr<TZAVEvent> ItemDoubleClickEvent;
    // Posted when the user changes the selection, with the selected index.
    std::unique_ptr<TZAVEvent> SelectionEvent;

private:
    friend class TZAVglutWigits_ListItem;
    void ForgetItem(TZAVglutWigits_ListItem* item);
    void MoveSelection(int32_t index);
    // Scrolls by wheel steps: buttons 3 (up) and 4 (down).
    bool ScrollByWheel(int32_t button, int32_t state);

    std::vector<TZAVglutWigits_ListItem*> Items;
    TZAVglutWigits_ListItem* Selected = nullptr;
    TZAVglutWigits_Node* Frame = nullptr;
};

class TZAVglutWigits_ListItem : public TZAVglutWigits_Node
{
public:
    TZAVglutWigits_ListItem(TZAVglutWigits_ListBox* list, std::string_view text);
    ~TZAVglutWigits_ListItem() override;

    void SelectThisItem();
    bool IsSelected() const;
    // The parent list box, or null.
    TZAVglutWigits_ListBox* GetListBox() const;
    int32_t GetIndex() const { return Index; }

    bool OnClick(int32_t x, int32_t y) override;
    bool OnRightClick(int32_t x, int32_t y) override;
    bool OnDoubleClick(int32_t x, int32_t y) override;
    bool OnDrop(const char* text, int32_t x, int32_t y) override;
    void OnGetFocus() override;
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void SetText(std::string_view text, bool relayout = true) override;
    void Layout() override {}
    void Draw() override;

private:
    friend class TZAVglutWigits_ListBox;
    // Posts own if set, else fallback, with the item's index.
    bool PostItemEvent(TZAVEvent* own, TZAVEvent* fallback, int32_t x, int32_t y, const char* text = nullptr);

    int32_t Index = 0;
};
