// List boxes and their items.
//
// [SECTION] List box
// [SECTION] List item
#include "widgets/list_box.h"

#include <algorithm>
#include <iterator>

#include "core/report.h"
#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/master.h"
#include "widgets/scroll_bar.h"
#include "widgets/text.h"

namespace {

constexpr int32_t ItemExtraHeight = 4;
constexpr int32_t WheelUp = 3;
constexpr int32_t WheelDown = 4;

// The list's border, drawn over the items that scroll past the top and bottom edges.
class TListFrame : public TZAVglutWigits_Node
{
public:
    explicit TListFrame(TZAVglutWigits_Node* list)
    {
        list->AddFloatingChild(this);
        MouseTransparent = true;
        ShowLabel = false;
        // Not opaque: the scroll bar beneath must not count as hidden.
        DrawFrame = false;
    }
    void Draw() override
    {
        SetColor3fv(ControlLook::Border);
        DrawFrameRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height),
                      static_cast<float>(BorderWidth));
    }
};

} // namespace

// [SECTION] List box

TZAVglutWigits_ListBox::TZAVglutWigits_ListBox(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    Clickable = true;
    ShowLabel = false;
    AcceptsDoubleClick = false;
    std::copy(std::begin(ControlLook::Well), std::end(ControlLook::Well), BackgroundColor);
    ScrollBar = new TZAVglutWigits_ScrollBar(this, TZAVglutWigits_Orientation::Vertical);
    ScrollBar->Shown = false;
    Frame = new TListFrame(this);
}

// The items go first, without each of them searching the list for itself.
TZAVglutWigits_ListBox::~TZAVglutWigits_ListBox()
{
    Items.clear();
    Selected = nullptr;
    DeleteChildren();
}

TZAVglutWigits_ListItem* TZAVglutWigits_ListBox::AddItem(std::string_view text)
{
    return new TZAVglutWigits_ListItem(this, text);
}

void TZAVglutWigits_ListBox::Clear()
{
    Items.clear();
    Selected = nullptr;
    DeleteChildren();
    Layout();
    Invalidate();
}

TZAVglutWigits_ListItem* TZAVglutWigits_ListBox::Item(int32_t index) const
{
    return index >= 0 && index < Count() ? Items[size_t(index)] : nullptr;
}

void TZAVglutWigits_ListBox::ForgetItem(TZAVglutWigits_ListItem* item)
{
    if (Selected == item)
        Selected = nullptr;
    const size_t index = size_t(item->Index);
    if (index >= Items.size() || Items[index] != item)
        return;
    Items.erase(Items.begin() + std::ptrdiff_t(index));
    for (size_t i = index; i < Items.size(); i++)
        Items[i]->Index = static_cast<int32_t>(i);
}

void TZAVglutWigits_ListBox::Select(TZAVglutWigits_ListItem* item)
{
    if (item != nullptr && item->GetListBox() != this)
        return;
    Selected = item;
    Invalidate();
}

void TZAVglutWigits_ListBox::SelectIndex(int32_t index)
{
    Select(Item(index));
}

int32_t TZAVglutWigits_ListBox::SelectedIndex() const
{
    return Selected != nullptr ? Selected->Index : -1;
}

int32_t TZAVglutWigits_ListBox::ItemHeight() const
{
    return LineHeight() + ItemExtraHeight;
}

void TZAVglutWigits_ListBox::AcceptDrops(std::unique_ptr<TZAVEvent> drop_event)
{
    DropEvent = std::move(drop_event);
    for (TZAVglutWigits_ListItem* item : Items)
        item->DropEvent = DropEvent != nullptr ? std::make_unique<TZAVEvent>(*DropEvent) : nullptr;
}

// Items stack from the top at the full inner width, less the scroll bar when they overflow.
void TZAVglutWigits_ListBox::Layout()
{
    const int32_t item_height = ItemHeight();
    const int32_t content_height = Count() * item_height + 2 * BorderWidth;
    const bool overflow = content_height > Height;
    ScrollBar->Shown = overflow;
    if (!overflow)
        ScrollBar->SetScrollRange(0, 1);
    const int32_t inner_width = Width - 2 * BorderWidth - (overflow ? ScrollBar->Width : 0);
    int32_t y = BorderWidth;
    for (TZAVglutWigits_ListItem* item : Items) {
        item->X = BorderWidth;
        item->Y = y;
        item->Width = inner_width;
        item->Height = item_height;
        y += item_height;
    }
    LayoutScrollBars(Width, content_height);
    Frame->Width = Width;
    Frame->Height = Height;
    Frame->BorderWidth = BorderWidth;
    // Scrolled away under the mouse, an item gets no leave.
    for (TZAVglutWigits_ListItem* item : Items)
        item->Hovered = item->Hovered && item->IsVisibleInParent();
}

void TZAVglutWigits_ListBox::ScrollIntoView(const TZAVglutWigits_ListItem* item)
{
    if (item == nullptr || item->Parent != this)
        return;
    Layout();
    const int32_t top = item->Y - BorderWidth;
    const int32_t bottom = item->Y + item->Height + BorderWidth;
    const int32_t position = ScrollBar->GetScrollPosition();
    if (top < position)
        ScrollBar->SetScrollPosition(top);
    else if (bottom > position + Height)
        ScrollBar->SetScrollPosition(bottom - Height);
}

void TZAVglutWigits_ListBox::MoveSelection(int32_t index)
{
    TZAVglutWigits_ListItem* item = Item(std::clamp(index, 0, Count() - 1));
    if (item == nullptr)
        return;
    if (item != Selected) {
        Select(item);
        if (SelectionEvent != nullptr)
            SelectionEvent->SetIndex(item->Index);
        PostEventCopy(SelectionEvent.get(), 0, 0);
    }
    ScrollIntoView(item);
}

bool TZAVglutWigits_ListBox::OnSpecialKey(int32_t key)
{
    if (Count() == 0)
        return false;
    const int32_t current = SelectedIndex();
    const int32_t page = std::max(1, Height / ItemHeight() - 1);
    switch (key) {
    case SpecialKeyUp:
        MoveSelection(current < 0 ? 0 : current - 1);
        return true;
    case SpecialKeyDown:
        MoveSelection(current + 1);
        return true;
    case SpecialKeyPageUp:
        MoveSelection(current - page);
        return true;
    case SpecialKeyPageDown:
        MoveSelection(current + page);
        return true;
    case SpecialKeyHome:
        MoveSelection(0);
        return true;
    case SpecialKeyEnd:
        MoveSelection(Count() - 1);
        return true;
    default:
        return false;
    }
}

// Below the last item: the drop appends.
bool TZAVglutWigits_ListBox::OnDrop(const char* text, int32_t x, int32_t y)
{
    if (DropEvent != nullptr)
        DropEvent->SetIndex(Count());
    return TZAVglutWigits_Node::OnDrop(text, x, y);
}

bool TZAVglutWigits_ListBox::ScrollByWheel(int32_t button, int32_t state)
{
    if (button != WheelUp && button != WheelDown)
        return false;
    if (state == MouseDown && ScrollBar->Shown)
        ScrollBar->Step(button == WheelUp ? -1 : 1);
    return true;
}

void TZAVglutWigits_ListBox::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (!ScrollByWheel(button, state))
        TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_ListBox::Draw()
{
    const float width = static_cast<float>(Width), height = static_cast<float>(Height);
    SetColor3fv(BackgroundColor);
    DrawFilledRect(0.0f, 0.0f, width, height);
}

// [SECTION] List item

TZAVglutWigits_ListItem::TZAVglutWigits_ListItem(TZAVglutWigits_ListBox* list, std::string_view text)
    : TZAVglutWigits_Node(list)
{
    Clickable = true;
    Draggable = true;
    DrawFrame = false;
    BorderWidth = 0;
    LabelAlignment = TZAVglutWigits_Alignment::Left;
    std::copy(std::begin(ControlLook::Text), std::end(ControlLook::Text), LabelColor);
    SetText(text, false);
    if (list == nullptr)
        return;
    Index = list->Count();
    list->Items.push_back(this);
    Height = list->ItemHeight();
    if (list->DropEvent != nullptr)
        DropEvent = std::make_unique<TZAVEvent>(*list->DropEvent);
}

TZAVglutWigits_ListItem::~TZAVglutWigits_ListItem()
{
    if (TZAVglutWigits_ListBox* list = GetListBox())
        list->ForgetItem(this);
}

TZAVglutWigits_ListBox* TZAVglutWigits_ListItem::GetListBox() const
{
    return dynamic_cast<TZAVglutWigits_ListBox*>(Parent);
}

bool TZAVglutWigits_ListItem::IsSelected() const
{
    const TZAVglutWigits_ListBox* list = GetListBox();
    return list != nullptr && list->Selected == this;
}

void TZAVglutWigits_ListItem::SetText(std::string_view text, bool relayout)
{
    // Drag text that followed the old text follows the new one.
    if (DragData == Name)
        DragData.assign(text);
    TZAVglutWigits_Node::SetText(text, relayout);
}

void TZAVglutWigits_ListItem::SelectThisItem()
{
    TZAVglutWigits_ListBox* list = GetListBox();
    if (list == nullptr)
        ReportError("Listbox is NULL in TZAVglutWigits_ListItem::SelectThisItem()");
    list->Select(this);
}

bool TZAVglutWigits_ListItem::PostItemEvent(TZAVEvent* own, TZAVEvent* fallback, int32_t x, int32_t y,
                                            const char* text)
{
    TZAVEvent* prototype = own != nullptr ? own : fallback;
    if (prototype == nullptr)
        return false;
    prototype->SetIndex(Index);
    return PostEventCopy(prototype, x, y, text);
}

bool TZAVglutWigits_ListItem::OnClick(int32_t x, int32_t y)
{
    ClickDelivered = true;
    TZAVglutWigits_ListBox* list = GetListBox();
    if (list == nullptr)
        ReportError("Listbox is NULL in TZAVglutWigits_ListItem::OnClick()");
    const bool changed = !IsSelected();
    SelectThisItem();
    if (changed)
        PostItemEvent(nullptr, list->SelectionEvent.get(), 0, 0);
    return PostItemEvent(ClickEvent.get(), list->ItemClickEvent.get(), x, y);
}

bool TZAVglutWigits_ListItem::OnRightClick(int32_t x, int32_t y)
{
    ClickDelivered = true;
    TZAVglutWigits_ListBox* list = GetListBox();
    if (list == nullptr)
        return TZAVglutWigits_Node::OnRightClick(x, y);
    const bool changed = !IsSelected();
    SelectThisItem();
    if (changed)
        PostItemEvent(nullptr, list->SelectionEvent.get(), 0, 0);
    return PostItemEvent(RightClickEvent.get(), list->ItemRightClickEvent.get(), x, y);
}

bool TZAVglutWigits_ListItem::OnDoubleClick(int32_t x, int32_t y)
{
    ClickDelivered = true;
    const TZAVglutWigits_ListBox* list = GetListBox();
    return PostItemEvent(DoubleClickEvent.get(), list != nullptr ? list->ItemDoubleClickEvent.get() : nullptr,
                         x, y);
}

bool TZAVglutWigits_ListItem::OnDrop(const char* text, int32_t x, int32_t y)
{
    const TZAVglutWigits_ListBox* list = GetListBox();
    return PostItemEvent(DropEvent.get(), list != nullptr ? list->DropEvent.get() : nullptr, x, y,
                         text != nullptr ? text : "");
}

// The list holds the keyboard focus for its items.
void TZAVglutWigits_ListItem::OnGetFocus()
{
    TZAVglutWigits_Master* master = GetMaster();
    if (TZAVglutWigits_ListBox* list = GetListBox(); list != nullptr && master != nullptr)
        master->SetFocus(list);
}

void TZAVglutWigits_ListItem::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    TZAVglutWigits_ListBox* list = GetListBox();
    if (list == nullptr || !list->ScrollByWheel(button, state))
        TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_ListItem::Draw()
{
    const TZAVglutWigits_ListBox* list = GetListBox();
    if (list == nullptr)
        ReportError("Listbox is NULL in TZAVglutWigits_ListItem::Draw()");
    const bool selected = list->Selected == this;
    if (selected || Hovered) {
        SetColor3fv(selected ? ControlLook::Accent : ControlLook::Fill);
        DrawFilledRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height));
    }
    DrawLabelInColor(selected           ? ControlLook::TextSelected
                     : IsEnabledChain() ? LabelColor
                                        : DisabledLabelColor);
}
