// TTarnwick_MessagePanel: the status area along the bottom of the main window. It shows the lines
// of AddStatus and AddWarning (warnings in their own colour), newest at the bottom and scrolled
// into view, and under them the busy text a long command draws while no frame is drawn. Every
// line paints its own background, so that the lines alone can be drawn over what the panel
// showed before.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"
#include "widgets/node.h"

class TZAVglutWigits_ScrollBar;
class TZAVglutWigits_Text;

class TTarnwick_MessagePanel : public TZAVglutWigits_Node
{
public:
    explicit TTarnwick_MessagePanel(TZAVglutWigits_Node* parent = nullptr);

    // The text may hold markup ("[b]...[/b]").
    void AddLine(std::string_view text, TZAVStatusKind kind);
    // Destroys the oldest lines beyond limit.
    void Trim(int32_t limit);
    int32_t LineCount() const { return int32_t(Lines.size()); }
    // Line index (0 = oldest kept); empty outside the list.
    std::string LineText(int32_t index) const;
    TZAVStatusKind LineKind(int32_t index) const;
    // Shows text as the last line until it is set empty again.
    void SetBusyText(std::string_view text);
    // Lays the lines out and places them in the window from the panel's last position, for a
    // drawing of the panel outside a frame.
    void PrepareDirectDraw();
    // The panel height that shows line_count lines.
    int32_t HeightForLines(int32_t line_count) const;

    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void Layout() override;

    TZAVglutWigits_ScrollBar* ScrollBar = nullptr;

private:
    struct TLine
    {
        TZAVglutWigits_Text* Node = nullptr;
        TZAVStatusKind Kind = TZAVStatusKind::Status;
    };

    int32_t LineStep() const;
    // A line node in the panel's look.
    TZAVglutWigits_Text* NewLineNode(std::string_view text, const float* colour);

    std::vector<TLine> Lines;
    TZAVglutWigits_Text* BusyLine = nullptr;
    // Set by a new line: the next layout scrolls to the bottom.
    bool ScrollToNewest = false;
};
