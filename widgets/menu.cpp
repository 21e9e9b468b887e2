// Menu bars, drop-down menus and their entries.
//
// [SECTION] Helpers
// [SECTION] Entries
// [SECTION] Menus
// [SECTION] Menu bars
#include "widgets/menu.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <utility>
#include <vector>

#include "widgets/draw.h"
#include "widgets/font.h"
#include "widgets/master.h"
#include "widgets/separator.h"

namespace {

constexpr float BarBackground[3] = {0.17f, 0.17f, 0.19f};
constexpr float MenuBackground[3] = {0.21f, 0.21f, 0.23f};
constexpr float MenuBorder[3] = {0.45f, 0.45f, 0.48f};
constexpr float HighlightBackground[3] = {0.26f, 0.36f, 0.56f};
constexpr float EntryText[3] = {0.86f, 0.86f, 0.86f};
constexpr float HighlightText[3] = {1.0f, 1.0f, 1.0f};
constexpr int32_t MinimumMenuWidth = 80;
// Room between an entry's name and its shortcut text (the part after a tab).
constexpr int32_t ShortcutGap = 24;
constexpr int32_t MenuPadding = 2;
constexpr int32_t BarPadding = 2;
constexpr int32_t KeyReturn = 13;
constexpr int32_t KeyLineFeed = 10;

// The lower-case printable ASCII letter after the first "&", 0 without one.
int32_t ParseMnemonic(std::string_view text)
{
    const size_t ampersand = text.find('&');
    if (ampersand == std::string_view::npos || ampersand + 1 >= text.size())
        return 0;
    const auto letter = static_cast<unsigned char>(text[ampersand + 1]);
    if (letter >= 0x80 || !std::isgraph(letter) || letter == '&')
        return 0;
    return std::tolower(letter);
}

bool IsSeparatorNode(const TZAVglutWigits_Node* node)
{
    if (const auto* entry = dynamic_cast<const TZAVglutWigits_MenuText*>(node))
        return entry->IsSeparator();
    return dynamic_cast<const TZAVglutWigits_Separator*>(node) != nullptr;
}

// The text before a tab is the entry's name, the text after it its shortcut.
std::pair<std::string_view, std::string_view> SplitAtTab(std::string_view text)
{
    const size_t tab = text.find('\t');
    if (tab == std::string_view::npos)
        return {text, {}};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

} // namespace

// [SECTION] Entries

TZAVglutWigits_MenuText::TZAVglutWigits_MenuText(TZAVglutWigits_Node* parent, std::string_view text,
                                                 std::unique_ptr<TZAVEvent> click_event)
    : TZAVglutWigits_Button(parent, text, std::move(click_event))
{
    DrawFrame = false;
    LabelAlignment = TZAVglutWigits_Alignment::Left;
    // Quick clicks on an entry are each a click.
    AcceptsDoubleClick = false;
    std::copy(std::begin(EntryText), std::end(EntryText), LabelColor);
    SetText(text, false);
}

TZAVglutWigits_MenuText::~TZAVglutWigits_MenuText()
{
    if (TZAVglutWigits_Menu* menu = ParentMenu(); menu != nullptr && menu->Highlighted == this)
        menu->Highlighted = nullptr;
}

TZAVglutWigits_Menu* TZAVglutWigits_MenuText::ParentMenu() const
{
    return dynamic_cast<TZAVglutWigits_Menu*>(Parent);
}

// A menu entry's letter picks it whatever the modifiers, since Alt may still be held from
// opening the menu; a bar entry's letter needs exactly the modifiers set for it.
void TZAVglutWigits_MenuText::SetMnemonicActive(bool active)
{
    if (active && (HotKey == 0 || MnemonicActive)) {
        HotKey = Mnemonic;
        MnemonicActive = Mnemonic != 0;
        if (MnemonicActive && ParentMenu() != nullptr)
            HotKeyIgnoreModifiers = true;
    } else if (!active && MnemonicActive) {
        HotKey = 0;
        HotKeyIgnoreModifiers = false;
        MnemonicActive = false;
    }
}

bool TZAVglutWigits_MenuText::OnClick(int32_t x, int32_t y)
{
    if (IsSeparator() || !IsEnabledChain())
        return false;
    return TZAVglutWigits_Button::OnClick(x, y);
}

// Along a bar with one menu open, the entry under the mouse opens its own.
void TZAVglutWigits_MenuText::OnMouseEnter(int32_t x, int32_t y)
{
    TZAVglutWigits_Button::OnMouseEnter(x, y);
    if (TZAVglutWigits_Menu* menu = ParentMenu()) {
        if (!IsSeparator()) {
            menu->Highlighted = this;
            Invalidate();
        }
        return;
    }
    if (AttachedMenu == nullptr || AttachedMenu->Shown || Parent == nullptr)
        return;
    for (TZAVglutWigits_Node* sibling = Parent->FirstChild; sibling != nullptr;
         sibling = sibling->NextSibling)
        if (sibling != this && sibling->GetAttachedMenu() != nullptr && sibling->GetAttachedMenu()->Shown) {
            OpenMenu();
            return;
        }
}

void TZAVglutWigits_MenuText::OnMouseLeave(int32_t x, int32_t y, TZAVglutWigits_Node* new_node)
{
    TZAVglutWigits_Button::OnMouseLeave(x, y, new_node);
    if (TZAVglutWigits_Menu* menu = ParentMenu(); menu != nullptr && menu->Highlighted == this) {
        menu->Highlighted = nullptr;
        Invalidate();
    }
}

// An entry of a menu released over after a press elsewhere (on the bar entry, dragging down) is
// clicked: the Master clicks only the pressed node.
void TZAVglutWigits_MenuText::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    const TZAVglutWigits_Master* master = GetMaster();
    if (master != nullptr && button == MouseLeft && state == MouseUp && ParentMenu() != nullptr &&
        master->Captured != this && master->HoveredNode == this)
        OnClick(x, y);
    TZAVglutWigits_Button::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_MenuText::SetText(std::string_view text, bool relayout)
{
    SetNameLiteral(text);
    Mnemonic = ParseMnemonic(text);
    if (MnemonicActive) {
        HotKey = Mnemonic;
        MnemonicActive = Mnemonic != 0;
    }
    const auto [name, shortcut] = SplitAtTab(text);
    LabelWidth = TextWidth(name) + 2 * (BorderWidth + HorizontalPadding);
    if (!shortcut.empty())
        LabelWidth += ShortcutGap + TextWidth(shortcut);
    // A separator's area belongs to its menu.
    Clickable = !IsSeparator();
    MouseTransparent = IsSeparator();
    if (!relayout)
        return;
    if (Parent != nullptr)
        Parent->Layout();
    else
        Layout();
}

bool TZAVglutWigits_MenuText::IsHighlighted() const
{
    if (const TZAVglutWigits_Menu* menu = ParentMenu())
        return menu->Highlighted == this;
    return (AttachedMenu != nullptr && AttachedMenu->Shown) || Hovered;
}

void TZAVglutWigits_MenuText::Draw()
{
    if (IsSeparator())
        return DrawSeparatorLine(*this);
    const bool highlighted = IsHighlighted() && IsEnabledChain();
    if (highlighted) {
        SetColor3fv(HighlightBackground);
        DrawFilledRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height));
    }
    DrawEntryText(!IsEnabledChain() ? DisabledLabelColor : highlighted ? HighlightText : LabelColor);
}

// The name on the left with its "&" letter underlined, the shortcut on the right.
void TZAVglutWigits_MenuText::DrawEntryText(const float* colour)
{
    if (!ShowLabel)
        return;
    const TZAVglutWigits_Font& font = Font();
    const auto [name, shortcut] = SplitAtTab(Name);
    const int32_t inset = BorderWidth + HorizontalPadding;
    const float x = static_cast<float>(inset);
    const float y = static_cast<float>((Height - LineHeight()) / 2);
    // The font draws in window coordinates, the helpers relative to the node.
    const auto origin_x = static_cast<float>(DrawOriginX());
    const auto origin_y = static_cast<float>(DrawOriginY());
    float adjusted[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    AdjustColor(colour, adjusted);
    // Queued with the frame's other text, so that menus do not break its batch.
    font.Queue(name, origin_x + x, origin_y + y, adjusted);
    if (!shortcut.empty())
        font.Queue(shortcut, origin_x + static_cast<float>(Width - inset - font.TextWidth(shortcut)),
                   origin_y + y, adjusted);
    SetColor3fv(colour);
    const size_t ampersand = name.find('&');
    if (Mnemonic != 0 && ampersand != std::string_view::npos) {
        const float left = x + static_cast<float>(font.TextWidth(name.substr(0, ampersand)));
        const float width = static_cast<float>(font.TextWidth(name.substr(ampersand + 1, 1)));
        DrawFilledRect(left, y + static_cast<float>(font.Ascent() + 1), width, 1.0f);
    }
}

// [SECTION] Menus

TZAVglutWigits_Menu::TZAVglutWigits_Menu()
{
    Shown = false;
    // A press on the menu's frame keeps the keys with the menu.
    Clickable = true;
    AcceptsDoubleClick = false;
    ShowLabel = false;
    // Menus stay bright over dimmed windows; the entries inherit it.
    DimWhenInactive = false;
    std::copy(std::begin(MenuBackground), std::end(MenuBackground), BackgroundColor);
}

TZAVglutWigits_Menu::~TZAVglutWigits_Menu()
{
    if (Holder != nullptr)
        Holder->AttachedMenu = nullptr;
}

TZAVglutWigits_MenuText* TZAVglutWigits_Menu::AddEntry(std::string_view text,
                                                       std::unique_ptr<TZAVEvent> click_event)
{
    auto* entry = new TZAVglutWigits_MenuText(this, text, std::move(click_event));
    if (Shown)
        entry->SetMnemonicActive(true);
    return entry;
}

TZAVglutWigits_Separator* TZAVglutWigits_Menu::AddSeparator()
{
    return new TZAVglutWigits_Separator(this);
}

void TZAVglutWigits_Menu::OpenMenuFor(TZAVglutWigits_Node* owner)
{
    TZAVglutWigits_Master* master = owner != nullptr ? owner->GetMaster() : nullptr;
    if (master == nullptr)
        return;
    master->CloseMenusExcept(owner);
    Owner = owner;
    if (Parent != master || !Floating)
        master->AddFloatingChild(this);
    else
        BringToFront();
    Layout();
    int32_t y = owner->AbsY + owner->Height;
    if (y + Height > master->Height)
        y = std::max(0, owner->AbsY - Height);
    const int32_t x = std::clamp(owner->AbsX, 0, std::max(0, master->Width - Width));
    X = x;
    Y = y;
    AbsX = x;
    AbsY = y;
    Highlighted = nullptr;
    Shown = true;
    SetMnemonicsActive(true);
    // Keys reach the open menu through its owner.
    master->SetFocus(owner);
    Invalidate();
}

void TZAVglutWigits_Menu::SetMnemonicsActive(bool active)
{
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling)
        if (auto* entry = dynamic_cast<TZAVglutWigits_MenuText*>(child))
            entry->SetMnemonicActive(active);
}

bool TZAVglutWigits_Menu::OnClick(int32_t, int32_t)
{
    ClickDelivered = true;
    return false;
}

// A menu whose owner has gone or been hidden closes.
void TZAVglutWigits_Menu::OnTick()
{
    if (!Shown)
        return;
    const TZAVglutWigits_Master* master = GetMaster();
    if (master == nullptr || !master->Contains(Owner) || !Owner->IsShownChain())
        Hide();
}

bool TZAVglutWigits_Menu::OnKey(int32_t key)
{
    if (!Shown)
        return false;
    if (key == KeyReturn || key == KeyLineFeed) {
        if (Highlighted != nullptr)
            Highlighted->OnClick(-1, -1);
        return true;
    }
    const TZAVglutWigits_Master* master = GetMaster();
    return MatchHotKey(FirstChild, key, master != nullptr ? master->InputModifiers : ModifierNone, false);
}

bool TZAVglutWigits_Menu::OnSpecialKey(int32_t key)
{
    if (!Shown)
        return false;
    if (key == GLUT_KEY_UP || key == GLUT_KEY_DOWN) {
        MoveHighlight(key == GLUT_KEY_DOWN ? 1 : -1);
        return true;
    }
    if (key != GLUT_KEY_LEFT && key != GLUT_KEY_RIGHT)
        return false;
    auto* neighbour = dynamic_cast<TZAVglutWigits_Button*>(NeighbourOwner(key == GLUT_KEY_RIGHT ? 1 : -1));
    if (neighbour == nullptr || neighbour->AttachedMenu == nullptr)
        return false;
    neighbour->OpenMenu();
    neighbour->AttachedMenu->MoveHighlight(1);
    return true;
}

// Skips separators, hidden and disabled entries; goes round the ends.
void TZAVglutWigits_Menu::MoveHighlight(int32_t step)
{
    std::vector<TZAVglutWigits_MenuText*> entries;
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling)
        if (auto* entry = dynamic_cast<TZAVglutWigits_MenuText*>(child);
            entry != nullptr && entry->Shown && entry->Enabled && !entry->IsSeparator())
            entries.push_back(entry);
    if (entries.empty())
        return;
    const auto count = static_cast<int32_t>(entries.size());
    const auto found = std::find(entries.begin(), entries.end(), Highlighted);
    int32_t index = step > 0 ? 0 : count - 1;
    if (found != entries.end())
        index = (static_cast<int32_t>(found - entries.begin()) + step + count) % count;
    Highlighted = entries[static_cast<size_t>(index)];
    Invalidate();
}

TZAVglutWigits_Node* TZAVglutWigits_Menu::NeighbourOwner(int32_t step) const
{
    if (Owner == nullptr || Owner->Parent == nullptr)
        return nullptr;
    const TZAVglutWigits_Node* parent = Owner->Parent;
    TZAVglutWigits_Node* node = Owner;
    for (;;) {
        node = step > 0 ? node->NextSibling : node->PrevSibling;
        if (node == nullptr)
            node = step > 0 ? parent->FirstChild : parent->LastChild;
        if (node == Owner)
            return nullptr;
        if (node->Shown && node->GetAttachedMenu() != nullptr)
            return node;
    }
}

// While the mouse is held (pressed on the bar entry), hover does not notify: follow it here.
void TZAVglutWigits_Menu::Update()
{
    const TZAVglutWigits_Master* master = GetMaster();
    if (!Shown || master == nullptr || master->Captured == nullptr || master->HoveredNode == nullptr ||
        master->HoveredNode->Parent != this)
        return;
    if (auto* entry = dynamic_cast<TZAVglutWigits_MenuText*>(master->HoveredNode);
        entry != nullptr && !entry->IsSeparator())
        Highlighted = entry;
}

void TZAVglutWigits_Menu::Hide()
{
    TZAVglutWigits_Node::Hide();
    Highlighted = nullptr;
    SetMnemonicsActive(false);
}

// Entries stacked, all as wide as the widest; separators get their own height.
void TZAVglutWigits_Menu::Layout()
{
    const int32_t entry_height = LineHeight() + ExtraLineHeight;
    int32_t inner_width = MinimumMenuWidth;
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling) {
        if (!child->Shown || IsSeparatorNode(child))
            continue;
        const bool entry = dynamic_cast<TZAVglutWigits_MenuText*>(child) != nullptr;
        inner_width = std::max(inner_width, entry ? child->LabelWidth : child->Width);
    }
    int32_t y = BorderWidth + MenuPadding;
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling) {
        if (!child->Shown)
            continue;
        if (IsSeparatorNode(child))
            child->Height = SeparatorHeight;
        else if (dynamic_cast<TZAVglutWigits_MenuText*>(child) != nullptr)
            child->Height = entry_height;
        child->X = BorderWidth;
        child->Y = y;
        child->Width = inner_width;
        y += child->Height;
    }
    Width = inner_width + 2 * BorderWidth;
    Height = y + MenuPadding + BorderWidth;
}

void TZAVglutWigits_Menu::Draw()
{
    const float width = static_cast<float>(Width);
    const float height = static_cast<float>(Height);
    SetColor3fv(BackgroundColor);
    DrawFilledRect(0.0f, 0.0f, width, height);
    SetColor3fv(MenuBorder);
    DrawFrameRect(0.0f, 0.0f, width, height, static_cast<float>(BorderWidth));
}

// [SECTION] Menu bars

TZAVglutWigits_MenuBar::TZAVglutWigits_MenuBar(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    ShowLabel = false;
    BorderWidth = 0;
    std::copy(std::begin(BarBackground), std::end(BarBackground), BackgroundColor);
}

TZAVglutWigits_Menu* TZAVglutWigits_MenuBar::AddMenu(std::string_view title, TZAVglutWigits_Menu* menu)
{
    auto* entry = new TZAVglutWigits_MenuText(this, title);
    entry->HotKeyModifiers = ModifierAlt;
    entry->SetMnemonicActive(true);
    if (menu == nullptr)
        menu = new TZAVglutWigits_Menu();
    entry->AttachMenu(menu);
    Layout();
    return menu;
}

TZAVglutWigits_MenuText* TZAVglutWigits_MenuBar::OpenEntry() const
{
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling)
        if (auto* entry = dynamic_cast<TZAVglutWigits_MenuText*>(child);
            entry != nullptr && entry->GetAttachedMenu() != nullptr && entry->GetAttachedMenu()->Shown)
            return entry;
    return nullptr;
}

void TZAVglutWigits_MenuBar::Hide()
{
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling)
        if (TZAVglutWigits_Node* menu = child->GetAttachedMenu(); menu != nullptr && menu->Shown)
            menu->Hide();
    TZAVglutWigits_Node::Hide();
}

// Entries side by side, each as wide as its name.
void TZAVglutWigits_MenuBar::Layout()
{
    if (FillParentWidth && Parent != nullptr)
        Width = Parent->Width - X;
    const int32_t entry_height = LineHeight() + ExtraLineHeight;
    int32_t x = BorderWidth + BarPadding;
    for (TZAVglutWigits_Node* child = FirstChild; child != nullptr; child = child->NextSibling) {
        if (!child->Shown)
            continue;
        child->X = x;
        child->Y = BorderWidth;
        child->Height = entry_height;
        if (dynamic_cast<TZAVglutWigits_MenuText*>(child) != nullptr)
            child->Width = child->LabelWidth;
        x += child->Width;
    }
    Height = entry_height + 2 * BorderWidth;
}

void TZAVglutWigits_MenuBar::Draw()
{
    const float width = static_cast<float>(Width);
    const float height = static_cast<float>(Height);
    SetColor3fv(BackgroundColor);
    DrawFilledRect(0.0f, 0.0f, width, height);
    SetColor3fv(MenuBorder);
    DrawFilledRect(0.0f, height - 1.0f, width, 1.0f);
}
