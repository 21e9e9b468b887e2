// A frame of the widget toolkit: 500 widgets (windows with panels, labelled buttons, lists of
// text rows and gauges, a menu bar with an open menu) drawn by the Master's Refresh on a freeglut
// window, as the main loop draws every frame. Prints the median frame time with and without the
// buffer swap, the GL draw calls of a frame, and ends with
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
#include "tests/support/screenshot.h"
#include "widgets/collapsible_panel.h"
#include "widgets/master.h"
#include "widgets/menu.h"
#include "widgets/window.h"

namespace {

constexpr int32_t FrameWidth = 1024;
constexpr int32_t FrameHeight = 768;
constexpr int32_t WidgetGoal = 500;
constexpr double FrameBudget = 1.0 / 60.0;

TZAVglutWigits_Node* AddNode(TZAVglutWigits_Node* parent, int32_t x, int32_t y, int32_t width, int32_t height,
                             const std::string& label)
{
    auto* node = new TZAVglutWigits_Node(parent);
    node->X = x;
    node->Y = y;
    node->Width = width;
    node->Height = height;
    node->SetText(label, false);
    return node;
}

// A labelled, clickable, framed node: what a push button draws.
void AddButtons(TZAVglutWigits_Node* panel, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        TZAVglutWigits_Node* button =
            AddNode(panel, 6 + (i % 2) * 108, 22 + (i / 2) * 24, 104, 20, "Button " + std::to_string(i));
        button->Clickable = true;
        button->BackgroundColor[0] = button->BackgroundColor[1] = button->BackgroundColor[2] = 0.25f;
    }
}

// A framed box of unframed, left-aligned text rows, every other one highlighted as selected.
void AddList(TZAVglutWigits_Node* parent, int32_t y, int32_t rows)
{
    TZAVglutWigits_Node* list = AddNode(parent, 6, y, 216, rows * 18 + 10, "");
    list->AutoArrange = true;
    for (int32_t i = 0; i < rows; i++) {
        TZAVglutWigits_Node* row = AddNode(list, 0, 0, 200, 18, "Morph target " + std::to_string(i));
        row->LabelAlignment = TZAVglutWigits_Alignment::Left;
        row->DrawFrame = i % 4 == 0;
        row->BorderWidth = 0;
        row->BackgroundColor[2] = 0.4f;
    }
}

// A framed trough with a filled bar inside and a label over both.
void AddGauges(TZAVglutWigits_Node* parent, int32_t y, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        TZAVglutWigits_Node* trough = AddNode(parent, 6, y + i * 22, 216, 18, "");
        TZAVglutWigits_Node* bar = AddNode(trough, 1, 1, 20 + i * 25, 16, "");
        bar->BorderWidth = 0;
        bar->BackgroundColor[0] = 0.3f;
        bar->BackgroundColor[1] = 0.4f;
        bar->BackgroundColor[2] = 0.7f;
        TZAVglutWigits_Node* label = AddNode(trough, 0, 0, 216, 18, "Strength " + std::to_string(i * 10));
        label->DrawFrame = false;
    }
}

void AddToolWindow(TZAVglutWigits_Master& master, int32_t index)
{
    auto* window = new TZAVglutWigits_Window(&master, ("Tools " + std::to_string(index)).c_str());
    window->X = 12 + index * 250;
    window->Y = 60;
    window->Width = 230;
    window->Height = 680;
    auto* panel = new TZAVglutWigits_CollapsiblePanel(window, "Brush");
    panel->X = 1;
    panel->Y = 1;
    panel->Width = 228;
    panel->Height = 170;
    AddButtons(panel, 12);
    AddList(window, 176, 16);
    AddGauges(window, 480, 8);
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

bool SaveFrame()
{
    std::vector<uint8_t> pixels(size_t(FrameWidth) * FrameHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, FrameWidth, FrameHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::string error;
    if (!SaveScreenshot("widget_frame.png", pixels.data(), FrameWidth, FrameHeight, 3, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    bool smoke = false, screenshot = false;
    for (int i = 1; i < argc; i++) {
        smoke |= std::strcmp(argv[i], "--smoke") == 0;
        screenshot |= std::strcmp(argv[i], "--screenshot") == 0;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        std::fprintf(stderr, "bench_widget_frame needs a display: run it under xvfb-run -a\n");
        return 1;
    }
    int glut_argc = 1;
    char name[] = "bench_widget_frame";
    char* glut_argv[] = {name, nullptr};
    glutInit(&glut_argc, glut_argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);
    glutInitWindowSize(FrameWidth, FrameHeight);
    const int window_id = glutCreateWindow("bench_widget_frame");
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    const int32_t frames = smoke ? 3 : 300;
    double frame_time = 0.0, swapped_time = 0.0, cpu_time = 0.0;
    int32_t widgets = 0, draw_calls = 0;
    {
        auto master = std::make_unique<TZAVglutWigits_Master>(window_id, FrameWidth, FrameHeight);
        AddMenuBar(*master);
        for (int32_t index = 0; CountNodes(master.get()) < WidgetGoal; index++)
            AddToolWindow(*master, index % 4);
        OpenFirstMenu(*master);
        widgets = CountNodes(master.get()) - 1;
        for (int32_t i = 0; i < (smoke ? 1 : 20); i++)
            master->Refresh(false);
        const double cpu_start = ProcessCpuSeconds();
        frame_time = MedianTime(frames, [&] { master->Refresh(false); });
        cpu_time = (ProcessCpuSeconds() - cpu_start) / frames;
        draw_calls = master->LastFrameDrawCalls;
        if (screenshot && !SaveFrame())
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
