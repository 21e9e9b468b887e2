// Cursor outlines in immediate mode: a handful of vertices per frame.
#include "tools/cursor.h"

#include <GL/gl.h>

#include <cmath>

TTarnwick_CursorDrawing::TTarnwick_CursorDrawing()
{
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glLineWidth(1.0f);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

TTarnwick_CursorDrawing::~TTarnwick_CursorDrawing()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

namespace {

void DrawLoop(const std::vector<float>& points)
{
    glBegin(GL_LINE_LOOP);
    for (size_t i = 0; i + 1 < points.size(); i += 2)
        glVertex3f(points[i], points[i + 1], 0.0f);
    glEnd();
}

void SquarePoints(float x, float y, float rx, float ry, std::vector<float>& out_points)
{
    out_points = {x - rx, y - ry, x + rx, y - ry, x + rx, y + ry, x - rx, y + ry};
}

// White at the radii, black one pixel further out.
template <typename TPoints>
void DrawTwoPasses(float x, float y, float rx, float ry, int32_t width, int32_t height, TPoints points_of)
{
    const float pixel_x = 2.0f / float(width > 0 ? width : 1);
    const float pixel_y = 2.0f / float(height > 0 ? height : 1);
    std::vector<float> points;
    TTarnwick_CursorDrawing drawing;
    points_of(x, y, rx, ry, points);
    glColor4f(1, 1, 1, 1);
    DrawLoop(points);
    points_of(x, y, rx + pixel_x, ry + pixel_y, points);
    glColor4f(0, 0, 0, 1);
    DrawLoop(points);
}

} // namespace

void DrawCursorLine(const std::vector<float>& points)
{
    TTarnwick_CursorDrawing drawing;
    glColor4f(1, 1, 1, 1);
    glBegin(GL_LINE_STRIP);
    for (size_t i = 0; i + 1 < points.size(); i += 2)
        glVertex2f(points[i], points[i + 1]);
    glEnd();
}

void RoundOutlinePoints(float x, float y, float rx, float ry, std::vector<float>& out_points)
{
    out_points.resize(2 * 360);
    for (int32_t degree = 0; degree < 360; degree++) {
        const float angle = float(degree) * 3.14159f / 180.0f;
        out_points[2 * degree] = x + std::cos(angle) * rx;
        out_points[2 * degree + 1] = y + std::sin(angle) * ry;
    }
}

void DrawRoundCursorOutline(float x, float y, float rx, float ry, int32_t width, int32_t height)
{
    DrawTwoPasses(x, y, rx, ry, width, height, RoundOutlinePoints);
}

void DrawSquareCursorOutline(float x, float y, float rx, float ry, int32_t width, int32_t height)
{
    DrawTwoPasses(x, y, rx, ry, width, height, SquarePoints);
}
