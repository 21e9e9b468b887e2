// A real freeglut window for the widgets' drawing tests, and reading its frame back. Tests that
// draw run under xvfb-run; without a display they fail with a message saying so.
#pragma once

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/gl_driver_leaks.h"
#include "widgets/node.h"

// Initialises freeglut once per process (double-buffered RGBA). False, with the reason, when there
// is no display.
[[nodiscard]] inline bool StartWidgetGlut(std::string& out_error)
{
    static bool started = false;
    if (started)
        return true;
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        out_error = "drawing tests need a display: run them under xvfb-run -a";
        return false;
    }
    int argc = 1;
    char name[] = "widgets_test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);
    started = true;
    return true;
}

// A window of that size with its context current. The GL driver's libraries are kept loaded from
// here on, so that a sanitizer build can name (and suppress) the driver's own leaks.
inline int CreateWidgetTestWindow(const char* title, int32_t width, int32_t height)
{
    glutInitWindowSize(width, height);
    const int window_id = glutCreateWindow(title);
    KeepGlDriverLoaded();
    return window_id;
}

// The one window of a test program, with a depth buffer for the 3D views: made on the first call,
// made current on every call. 0, with the reason, without a display.
inline int SharedTestWindow(const char* title, int32_t width, int32_t height, std::string& out_error)
{
    static int window_id = 0;
    if (!StartWidgetGlut(out_error))
        return 0;
    if (window_id == 0) {
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
        window_id = CreateWidgetTestWindow(title, width, height);
    }
    glutSetWindow(window_id);
    return window_id;
}

// The window's frame as RGB rows, bottom row first, with the pixel lookup done y down.
struct TWidgetFrame
{
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Rgb;

    static TWidgetFrame ReadBack(int32_t width, int32_t height)
    {
        TWidgetFrame frame{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 3)};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frame.Rgb.data());
        return frame;
    }
    const uint8_t* At(int32_t x, int32_t y) const
    {
        return &Rgb[(size_t(Height - 1 - y) * size_t(Width) + size_t(x)) * 3];
    }
    // Whether the pixel is within tolerance of the colour given in 0..1.
    bool Near(int32_t x, int32_t y, const float* colour, int32_t tolerance = 3) const
    {
        const uint8_t* pixel = At(x, y);
        for (int32_t i = 0; i < 3; i++)
            if (std::abs(int32_t(pixel[i]) - int32_t(colour[i] * 255.0f + 0.5f)) > tolerance)
                return false;
        return true;
    }
};

// A widget of node's tree by name, in either child list, opened menus included; null when none.
inline TZAVglutWigits_Node* FindNamed(TZAVglutWigits_Node* node, std::string_view name)
{
    if (node == nullptr || node->Name == name)
        return node;
    for (TZAVglutWigits_Node* list : {node->FirstChild, node->FirstFloatingChild})
        for (TZAVglutWigits_Node* child = list; child != nullptr; child = child->NextSibling)
            if (TZAVglutWigits_Node* found = FindNamed(child, name))
                return found;
    return nullptr;
}
