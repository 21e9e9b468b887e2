// The drawing benches' common set-up: their options, the display they need, their freeglut window
// and the frame they save for a look.
#pragma once

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/screenshot.h"

struct TBenchOptions
{
    // A small input, seconds long, for the test run.
    bool Smoke = false;
    // Saves the last frame into the screenshots folder.
    bool Screenshot = false;
};

inline TBenchOptions ReadBenchOptions(int argc, char** argv)
{
    TBenchOptions options;
    for (int i = 1; i < argc; i++) {
        options.Smoke |= std::strcmp(argv[i], "--smoke") == 0;
        options.Screenshot |= std::strcmp(argv[i], "--screenshot") == 0;
    }
    return options;
}

// False, saying so for bench_name, without an X display.
inline bool BenchHasDisplay(const char* bench_name)
{
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && display[0] != '\0')
        return true;
    std::fprintf(stderr, "%s needs a display: run it under xvfb-run -a\n", bench_name);
    return false;
}

// A window named after the bench, its GL context current; display_mode as glutInitDisplayMode
// takes it.
inline int CreateBenchWindow(const char* bench_name, int width, int height, unsigned int display_mode)
{
    int glut_argc = 1;
    std::string name = bench_name;
    char* glut_argv[] = {name.data(), nullptr};
    glutInit(&glut_argc, glut_argv);
    glutInitDisplayMode(display_mode);
    glutInitWindowSize(width, height);
    return glutCreateWindow(bench_name);
}

// The back buffer, drawn and not yet swapped, as a screenshot.
inline bool SaveBenchFrame(const char* file_name, int width, int height)
{
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::string error;
    if (!SaveScreenshot(file_name, pixels.data(), width, height, 3, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}
