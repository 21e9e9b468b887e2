// A frame of the widget toolkit: about 500 widgets (tool windows of collapsible panels with
// buttons and check boxes, text and edit fields, list boxes with their items, labelled gauges, one
// more window over two of them, a menu bar with an open menu) drawn by the Master's Refresh on a
// freeglut window, as the main loop draws every frame. Prints the median frame time with and
// without the buffer swap, the processor time and the GL draw calls of a frame, and ends with
// "ratio widget_frame <median frame time / 16.7 ms>" (one frame of a 60 Hz display), the frame
// drawn and finished without the swap. Needs a display: run it under xvfb-run -a.
//
//     bench_widget_frame [--smoke] [--screenshot]
//         --smoke: a few frames only; --screenshot: writes screenshots/widget_frame.png
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "widgets/button.h"
#include "widgets/collapsible_panel.h"
#include "widgets/edit_field.h"
#include "widgets/gauge.h"
#include "widgets/list_box.h"
#include "widgets/master.h"
#include "widgets/menu.h"
#include "widgets/text.h"
#include "widgets/window.h"

namespace {

constexpr int32_t FrameWidth = 1024;
constexpr int32_t FrameHeight = 768;
constexpr double FrameBudget = 1.0 / 60.0;
constexpr int32_t RowHeight = 24;

// A collapsible panel of push buttons, a toggle that is down and two check boxes; returns its
// bottom.
int32_t AddBrushPanel(TZAVglutWigits_Node* window, int32_t y, int32_t width, int32_t buttons)
{
    const int32_t rows = (buttons + 1) / 2 + 1;
    auto* panel =
        PlaceNode(new TZAVglutWigits_CollapsiblePanel(window, "Brush"), 4, y, width - 8, 24 + rows * RowHeight);
    const int32_t column = (width - 20) / 2;
    for (int32_t i = 0; i < buttons; i++) {
        auto* button = PlaceNode(new TZAVglutWigits_Button(panel, "Button " + std::to_string(i)),
                             6 + (i % 2) * column, 22 + (i / 2) * RowHeight, column - 4, 20);
        if (i == 3) {
            button->Mode = TZAVglutWigits_ButtonMode::Toggle;
            button->SetDown(true);
        }
    }
    const int32_t checks_y = 22 + (buttons + 1) / 2 * RowHeight;
    PlaceNode(new TZAVglutWigits_CheckBox(panel, "Mirror"), 6, checks_y, column - 4, 20)->SetDown(true);
    PlaceNode(new TZAVglutWigits_CheckBox(panel, "Symmetry"), 6 + column, checks_y, column - 4, 20);
    return panel->Y + panel->Height;
}

// Rows of a text and an edit field; returns the bottom.
int32_t AddFields(TZAVglutWigits_Node* window, int32_t y, int32_t width)
{
    for (const char* name : {"Radius", "Falloff"}) {
        PlaceNode(new TZAVglutWigits_Text(window, name), 6, y + 2, 60, 20);
        PlaceNode(new TZAVglutWigits_EditField(window, "0.25"), 70, y, width - 80, 22);
        y += RowHeight + 2;
    }
    return y;
}

// A list box with more items than it shows, one of them selected.
int32_t AddList(TZAVglutWigits_Node* window, int32_t y, int32_t width, int32_t height, int32_t items)
{
    auto* list = PlaceNode(new TZAVglutWigits_ListBox(window), 6, y, width - 12, height);
    for (int32_t i = 0; i < items; i++)
        list->AddItem("Morph target " + std::to_string(i));
    list->SelectIndex(2);
    return y + height + 4;
}

// A collapsible panel of labelled gauges.
int32_t AddGaugePanel(TZAVglutWigits_Node* window, int32_t y, int32_t width, int32_t count)
{
    auto* panel =
        PlaceNode(new TZAVglutWigits_CollapsiblePanel(window, "Strength"), 4, y, width - 8, 24 + count * 22);
    for (int32_t i = 0; i < count; i++) {
        auto* gauge = PlaceNode(new TZAVglutWigits_TextAndGauge(panel, "Gauge " + std::to_string(i)), 6,
                            22 + i * 22, width - 24, 18);
        gauge->LabelColumnWidth = 60;
        gauge->Gauge->Value = 0.1f * float(i + 1);
    }
    return panel->Y + panel->Height;
}

void AddToolWindow(TZAVglutWigits_Master& master, const std::string& title, TZAVglutWigits_Rect rect,
                   int32_t buttons, int32_t list_height, int32_t gauges)
{
    auto* window =
        PlaceNode(new TZAVglutWigits_Window(&master, title.c_str()), rect.X, rect.Y, rect.Width, rect.Height);
    int32_t y = 2;
    if (buttons > 0)
        y = AddBrushPanel(window, y, rect.Width, buttons) + 4;
    y = AddFields(window, y, rect.Width);
    y = AddList(window, y, rect.Width, list_height, 36);
    AddGaugePanel(window, y, rect.Width, gauges);
    window->Show();
}

void AddMenuBar(TZAVglutWigits_Master& master)
{
    auto* bar = new TZAVglutWigits_MenuBar(&master);
    for (const char* title : {"&File", "&Edit", "&View", "&Tools", "&Help"}) {
        TZAVglutWigits_Menu* menu = bar->AddMenu(title);
        for (int32_t i = 0; i < 6; i++)
            menu->AddEntry(i == 3 ? "-" : "&Entry " + std::to_string(i) + "\tCtrl+" + std::to_string(i));
    }
}

int32_t CountNodes(const TZAVglutWigits_Node* node)
{
    int32_t count = 1;
    for (const TZAVglutWigits_Node* child = node->FirstChild; child != nullptr; child = child->NextSibling)
        count += CountNodes(child);
    for (const TZAVglutWigits_Node* child = node->FirstFloatingChild; child != nullptr;
         child = child->NextSibling)
        count += CountNodes(child);
    return count;
}

// Opens the bar's first menu with a press and release on its entry, as the user would.
void OpenFirstMenu(TZAVglutWigits_Master& master)
{
    master.PrepareFrame();
    for (TZAVglutWigits_Node* node = master.FirstChild; node != nullptr; node = node->NextSibling)
        if (auto* bar = dynamic_cast<TZAVglutWigits_MenuBar*>(node)) {
            const TZAVglutWigits_Node* entry = bar->FirstChild;
            master.ProcessMouseButton(MouseLeft, MouseDown, entry->AbsX + 4, entry->AbsY + 4);
            master.ProcessMouseButton(MouseLeft, MouseUp, entry->AbsX + 4, entry->AbsY + 4);
        }
}

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

} // namespace

int main(int argc, char** argv)
{
    const TBenchOptions options = ReadBenchOptions(argc, argv);
    if (!BenchHasDisplay("bench_widget_frame"))
        return 1;
    const int window_id = CreateBenchWindow("bench_widget_frame", FrameWidth, FrameHeight, GLUT_RGBA | GLUT_DOUBLE);
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    const int32_t frames = options.Smoke ? 3 : 300;
    double frame_time = 0.0, swapped_time = 0.0, cpu_time = 0.0;
    int32_t widgets = 0, draw_calls = 0;
    {
        auto master = std::make_unique<TZAVglutWigits_Master>(window_id, FrameWidth, FrameHeight);
        AddMenuBar(*master);
        for (int32_t index = 0; index < 4; index++)
            AddToolWindow(*master, "Tools " + std::to_string(index), {12 + index * 250, 60, 230, 680}, 12,
                          170, 8);
        // Windows over others, so that text and shapes of different windows overlap.
        AddToolWindow(*master, "Materials", {370, 330, 260, 330}, 0, 110, 4);
        AddToolWindow(*master, "Layers", {640, 120, 240, 420}, 4, 110, 3);
        OpenFirstMenu(*master);
        widgets = CountNodes(master.get()) - 1;
        for (int32_t i = 0; i < (options.Smoke ? 1 : 20); i++)
            master->Refresh(false);
        const double cpu_start = ProcessCpuSeconds();
        frame_time = MedianTime(frames, [&] { master->Refresh(false); });
        cpu_time = (ProcessCpuSeconds() - cpu_start) / frames;
        draw_calls = master->LastFrameDrawCalls;
        if (options.Screenshot && !SaveBenchFrame("widget_frame.png", FrameWidth, FrameHeight))
            return 1;
        swapped_time = MedianTime(frames, [&] { master->Refresh(true); });
        master.reset();
    }
    std::printf("widgets: %d\n", widgets);
    std::printf("draw calls per frame: %d\n", draw_calls);
    std::printf("median frame (drawn and finished): %.3f ms\n", frame_time * 1000.0);
    // The machine may be shared: processor time (all threads, llvmpipe's rasterisers included)
    // varies less than the wall clock.
    std::printf("mean processor time per frame: %.3f ms\n", cpu_time * 1000.0);
    std::printf("median frame with the buffer swap: %.3f ms\n", swapped_time * 1000.0);
    std::printf("ratio widget_frame %.4f\n", frame_time / FrameBudget);
    return 0;
}
