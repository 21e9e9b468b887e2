// Windows and their title bars.
#include "widgets/window.h"

#include <algorithm>
#include <iterator>

#include "widgets/button.h"
#include "widgets/draw.h"
#include "widgets/master.h"

namespace {

constexpr float WindowBackground[3] = {0.16f, 0.16f, 0.18f};
constexpr float TitleBackground[3] = {0.22f, 0.27f, 0.40f};
constexpr float TitleText[3] = {0.92f, 0.92f, 0.92f};
constexpr int32_t TitleBarPadding = 3;
constexpr int32_t CloseButtonInset = 3;

} // namespace

TZAVglutWigits_Window::TZAVglutWigits_Window(TZAVglutWigits_Node* parent, const char* title)
    : TZAVglutWigits_Node(parent)
{
    SetNameLiteral(title != nullptr ? title : "");
    Movable = true;
    DropShadow = true;
    ShowLabel = false;
    std::copy(std::begin(WindowBackground), std::end(WindowBackground), BackgroundColor);
    TitleBar = new TZAVglutWigits_TitleBar(this);
}

int32_t TZAVglutWigits_Window::TitleBarHeight() const
{
    return TitleBar != nullptr && TitleBar->Shown ? TitleBar->Height : 0;
}

void TZAVglutWigits_Window::Layout()
{
    TZAVglutWigits_Node::Layout();
    if (TitleBar == nullptr)
        return;
    TitleBar->Update();
    if (CloseButton != nullptr) {
        CloseButton->Height = std::min(CloseButton->Height, TitleBar->Height - 2);
        CloseButton->X = TitleBar->Width - CloseButton->Width - CloseButtonInset;
        CloseButton->Y = (TitleBar->Height - CloseButton->Height) / 2;
    }
}

void TZAVglutWigits_Window::AddCloseButton()
{
    if (CloseButton == nullptr && TitleBar != nullptr)
        CloseButton = new TZAVglutWigits_CloseButton(TitleBar);
}

void TZAVglutWigits_Window::Show()
{
    Shown = true;
    BringToFront();
    Modal = false;
    if (TZAVglutWigits_Master* master = GetMaster())
        master->ActiveWindow = this;
    Invalidate();
}

void TZAVglutWigits_Window::ShowModal()
{
    Show();
    Modal = true;
}

// The topmost other shown window takes over as the active one.
void TZAVglutWigits_Window::Hide()
{
    TZAVglutWigits_Node::Hide();
    Modal = false;
    TZAVglutWigits_Master* master = GetMaster();
    if (master == nullptr || master->ActiveWindow != this)
        return;
    master->ActiveWindow = nullptr;
    for (TZAVglutWigits_Node* node = master->LastChild; node != nullptr; node = node->PrevSibling)
        if (TZAVglutWigits_Window* window = node->AsWindow(); window != nullptr && window->Shown) {
            master->ActiveWindow = window;
            break;
        }
}

void TZAVglutWigits_Window::Centre()
{
    const TZAVglutWigits_Master* master = GetMaster();
    if (master == nullptr)
        return;
    const int32_t title_height = TitleBarHeight();
    SetPosition((master->Width - Width) / 2, (master->Height - Height - title_height) / 2 + title_height);
}

TZAVglutWigits_TitleBar::TZAVglutWigits_TitleBar(TZAVglutWigits_Window* window)
{
    window->AddFloatingChild(this);
    // Dragging the bar moves the window: mouse input goes to the window.
    Movable = true;
    ForwardMouseToParent = true;
    LabelAlignment = TZAVglutWigits_Alignment::Left;
    std::copy(std::begin(TitleBackground), std::end(TitleBackground), BackgroundColor);
    std::copy(std::begin(TitleText), std::end(TitleText), LabelColor);
    Update();
}

void TZAVglutWigits_TitleBar::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (state == MouseDown && Parent != nullptr)
        Parent->BringToFront();
    TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
}

void TZAVglutWigits_TitleBar::Update()
{
    Height = LineHeight() + 2 * TitleBarPadding;
    if (Parent == nullptr)
        return;
    X = 0;
    Y = -Height;
    Width = Parent->Width;
    if (Name != Parent->Name)
        SetNameLiteral(Parent->Name);
}

void TZAVglutWigits_TitleBar::Hide()
{
    TZAVglutWigits_Node::Hide();
    if (Parent != nullptr)
        Parent->Invalidate();
}

void TZAVglutWigits_TitleBar::Draw()
{
    SetColor3fv(BackgroundColor);
    DrawFilledRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height));
    DrawLabel();
}
