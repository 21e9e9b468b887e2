// The hint balloon: word wrap, footer and placement beside the node it explains.
#include "widgets/hint_node.h"

#include <algorithm>
#include <iterator>

#include "widgets/draw.h"
#include "widgets/master.h"

namespace {

constexpr float HintBackground[3] = {0.08f, 0.08f, 0.10f};
constexpr float HintText[3] = {0.92f, 0.92f, 0.85f};
constexpr float HintAlpha = 0.9f;
constexpr int32_t PictureSize = 128;
constexpr float WrapFraction = 0.75f;

} // namespace

TZAVglutWigits_HintNode::TZAVglutWigits_HintNode(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    StayOnTop = true;
    // The balloon explains; it never takes the mouse from what lies beneath it.
    MouseTransparent = true;
    ShowLabel = false;
    AutoSize = true;
    DimWhenInactive = false;
    std::copy(std::begin(HintBackground), std::end(HintBackground), BackgroundColor);
    PictureNode = new TZAVglutWigits_Node(this);
    PictureNode->Width = PictureSize;
    PictureNode->Height = PictureSize;
    PictureNode->BorderWidth = 1;
    PictureNode->ShowLabel = false;
    PictureNode->StretchPicture = true;
    PictureNode->Shown = false;
    TextColumn = new TZAVglutWigits_Node(this);
    TextColumn->AutoArrange = true;
    TextColumn->AutoSize = true;
    TextColumn->DrawFrame = false;
    TextColumn->ShowLabel = false;
}

void TZAVglutWigits_HintNode::AddLine(std::string_view text)
{
    auto* line = new TZAVglutWigits_Node(TextColumn);
    line->DrawFrame = false;
    line->BorderWidth = 0;
    line->HorizontalPadding = 0;
    line->VerticalPadding = 0;
    line->ExtraLineHeight = 1;
    line->AutoSize = true;
    line->DimWhenInactive = false;
    line->LabelAlignment = TZAVglutWigits_Alignment::Left;
    std::copy(std::begin(HintText), std::end(HintText), line->LabelColor);
    line->SetText(text);
}

// Words split at spaces and tabs; a newline forces a break; a word that would overflow the line
// starts the next one (a word wider than the whole line stands alone on it).
void TZAVglutWigits_HintNode::WrapText(std::string_view text, int32_t width)
{
    while (true) {
        const size_t end = text.find('\n');
        const std::string_view paragraph = text.substr(0, end);
        std::string line;
        size_t position = 0;
        while (position < paragraph.size()) {
            const size_t start = paragraph.find_first_not_of(" \t", position);
            if (start == std::string_view::npos)
                break;
            const size_t stop = std::min(paragraph.find_first_of(" \t", start), paragraph.size());
            const std::string_view word = paragraph.substr(start, stop - start);
            position = stop;
            std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
            if (!line.empty() && TextWidth(candidate) > width) {
                AddLine(line);
                candidate.assign(word);
            }
            line = std::move(candidate);
        }
        AddLine(line);
        if (end == std::string_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

void TZAVglutWigits_HintNode::SetHint(TZAVglutWigits_Node* node, std::string_view text,
                                      std::string_view footer)
{
    TextColumn->DeleteChildren();
    const bool picture = node != nullptr && node->Picture != 0;
    PictureNode->Shown = picture;
    PictureNode->Picture = picture ? node->Picture : 0;
    const TZAVglutWigits_Master* master = GetMaster();
    const int32_t master_width = master != nullptr ? master->Width : 0;
    const int32_t wrap_width = static_cast<int32_t>(static_cast<float>(master_width) * WrapFraction) -
                               (picture ? PictureNode->Width : 0);
    WrapText(text, wrap_width);
    AddLine("");
    AddLine(footer);
    TextColumn->Layout();
    Layout();
    Place(node);
}

void TZAVglutWigits_HintNode::Layout()
{
    const int32_t inset_x = BorderWidth + HorizontalPadding;
    const int32_t inset_y = BorderWidth + VerticalPadding;
    PictureNode->X = inset_x;
    PictureNode->Y = inset_y;
    TextColumn->X = PictureNode->Shown ? inset_x + PictureNode->Width + HorizontalPadding : inset_x;
    TextColumn->Y = inset_y;
    TZAVglutWigits_Node::Layout();
}

// Under the node, or above it when there is no room below; never above the Master's top.
void TZAVglutWigits_HintNode::Place(TZAVglutWigits_Node* node)
{
    const TZAVglutWigits_Master* master = GetMaster();
    if (master == nullptr)
        return;
    int32_t x = (master->Width - Width) / 2;
    int32_t y = master->Height - Height;
    if (node != nullptr) {
        x = node->AbsX;
        y = node->AbsY + node->Height + VerticalPadding;
        if (y + Height > master->Height)
            y = node->AbsY - Height - VerticalPadding;
    }
    x = std::max(0, std::min(x, master->Width - Width));
    SetPosition(x, std::max(0, y));
}

void TZAVglutWigits_HintNode::Draw()
{
    BeginBlending();
    SetColor4f(BackgroundColor[0], BackgroundColor[1], BackgroundColor[2], HintAlpha);
    DrawFilledRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height));
    EndBlending();
    SetColor3f(0.5f, 0.5f, 0.5f);
    DrawFrameRect(0.0f, 0.0f, static_cast<float>(Width), static_cast<float>(Height),
                  static_cast<float>(BorderWidth));
}
