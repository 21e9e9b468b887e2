#include "widgets/font.h"

#include "support/screenshot.h"
#include "support/widget_window.h"
#include "widgets/draw.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const TZAVglutWigits_Font& LoadedFont()
{
    const TZAVglutWigits_Font& font = InterfaceFont(2);
    EXPECT_TRUE(font.Loaded());
    return font;
}

} // namespace

TEST(Font, WidthsAddUp)
{
    const TZAVglutWigits_Font& font = LoadedFont();
    const int32_t space = font.TextWidth(" ");
    ASSERT_GT(space, 0);
    EXPECT_EQ(font.TextWidth("Tarn") + font.TextWidth("wick"), font.TextWidth("Tarnwick"));
    EXPECT_EQ(font.TextWidth("ab") + font.TextWidth("[b]cd") + font.TextWidth("ef"),
              font.TextWidth("ab[b]cd[/b]ef"));
    EXPECT_EQ(font.TextWidth("[b][/b]&"), 0);
    EXPECT_EQ(font.TextWidth("&File"), font.TextWidth("File"));
    EXPECT_EQ(font.TextWidth("a\tb"), font.TextWidth("a") + 4 * space + font.TextWidth("b"));
    EXPECT_GT(font.TextWidth("[b]Tarnwick[/b]"), font.TextWidth("Tarnwick"));
    // A tab is four spaces of the style it sits in.
    EXPECT_EQ(font.TextWidth("[b]\t"), 4 * font.TextWidth("[b] "));

    // A font that failed to load measures and draws nothing.
    TZAVglutWigits_Font unloaded;
    EXPECT_EQ(unloaded.TextWidth("Tarnwick"), 0);
    EXPECT_EQ(unloaded.Draw("Tarnwick", 0, 0), 0);
}

TEST(Font, DecodesUtf8AndLatin1Alike)
{
    const TZAVglutWigits_Font& font = LoadedFont();
    EXPECT_EQ(font.TextWidth("Caf\xE9 \xC6r\xF8"), font.TextWidth("Café Ærø"));
    // U+4E2D and U+1F600 have no glyph here: each is one replacement glyph.
    const int32_t replacement = font.TextWidth("\xEF\xBF\xBD");
    ASSERT_GT(replacement, 0);
    EXPECT_EQ(font.TextWidth("\xE4\xB8\xAD\xF0\x9F\x98\x80"), 2 * replacement);

    // Bytes that do not start a valid shortest-form sequence each stand for their Latin-1
    // character: overlong forms, surrogates, past U+10FFFF, cut short, stray continuations.
    for (const std::string& bad :
         std::vector<std::string>{"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88",
                                  "\xE2\x80", "\xE2\x80z", "\x80\xBF", "\xC3(", std::string("\0\x01", 2)}) {
        int32_t byte_by_byte = 0;
        for (char byte : bad) {
            const int32_t width = font.TextWidth(std::string(1, byte));
            EXPECT_GT(width, 0) << int(uint8_t(byte));
            byte_by_byte += width;
        }
        EXPECT_EQ(font.TextWidth(bad), byte_by_byte) << bad;
    }
}

TEST(Font, FitBytesKeepsCharactersAndTagsWhole)
{
    const TZAVglutWigits_Font& font = LoadedFont();
    const std::vector<std::string> pieces = {"A",  "\xC3\xA9", "[b]",  "\xE2\x82\xAC",     "\xE9", "&",
                                             "\t", "[/b]",     "\xC3", "\xF0\x9F\x98\x80", "z"};
    std::string text;
    std::vector<size_t> boundaries = {0};
    for (const std::string& piece : pieces) {
        text += piece;
        boundaries.push_back(text.size());
    }
    const int32_t full = font.TextWidth(text);
    EXPECT_EQ(font.FitBytes(text, -5), 0u);
    for (int32_t width = 0; width <= full + 2; width++) {
        const size_t fitting = font.FitBytes(text, width);
        const auto boundary = std::find(boundaries.begin(), boundaries.end(), fitting);
        ASSERT_NE(boundary, boundaries.end()) << "width " << width << " splits at byte " << fitting;
        EXPECT_LE(font.TextWidth(text.substr(0, fitting)), width);
        if (fitting < text.size()) {
            EXPECT_GT(font.TextWidth(text.substr(0, *(boundary + 1))), width) << "width " << width;
        }
    }
    EXPECT_EQ(font.FitBytes(text, full), text.size());
}

// Drawing: a real freeglut window on the display (xvfb-run gives one to the test run).
namespace {

// A window whose context is current, with one unit per pixel and y down.
class TTestWindow
{
public:
    TTestWindow(int32_t width, int32_t height) : Width(width), Height(height)
    {
        Id = CreateWidgetTestWindow("widgets_font_test", width, height);
        glViewport(0, 0, width, height);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, width, height, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    ~TTestWindow()
    {
        glutDestroyWindow(Id);
        // freeglut destroys the window and its context when it next handles events.
        glutMainLoopEvent();
    }
    TTestWindow(const TTestWindow&) = delete;
    TTestWindow& operator=(const TTestWindow&) = delete;

    // The back buffer as RGB, bottom row first.
    std::vector<uint8_t> ReadRgb() const
    {
        std::vector<uint8_t> pixels(size_t(Width) * size_t(Height) * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, Width, Height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    // The pixel at (x, y), y down as in the projection.
    static const uint8_t* Pixel(const std::vector<uint8_t>& pixels, int32_t width, int32_t height, int32_t x,
                                int32_t y)
    {
        return &pixels[(size_t(height - 1 - y) * size_t(width) + size_t(x)) * 3];
    }

    int32_t Width;
    int32_t Height;

private:
    int Id = 0;
};

} // namespace

TEST(FontDrawing, LightsOnlyItsMeasuredBox)
{
    std::string error;
    ASSERT_TRUE(StartWidgetGlut(error)) << error;
    TTestWindow window(160, 40);
    for (int32_t number = 0; number < InterfaceFontCount; number++) {
        TZAVglutWigits_Font& font = InterfaceFont(number);
        ASSERT_TRUE(font.Upload());
        // Uploading again in the same window (as a resize does) keeps the texture.
        const uint32_t texture = font.TextureId();
        ASSERT_TRUE(font.Upload());
        EXPECT_EQ(font.TextureId(), texture);

        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        EXPECT_EQ(font.Draw("", 20, 10), 0);
        EXPECT_EQ(font.Draw(" \t&[b]", 20, 10), 0);
        EXPECT_EQ(font.Draw("Tarnwick", 20, 10), 1);
        // The antialiased edges of a glyph may reach a pixel past its advance ('T' leans left).
        const int32_t box_left = 20 - 1, box_top = 10;
        const int32_t box_right = 20 + font.TextWidth("Tarnwick") + 1;
        const int32_t box_bottom = box_top + font.LineHeight();

        const std::vector<uint8_t> pixels = window.ReadRgb();
        int32_t lit = 0, ink_left = window.Width, ink_right = -1, brightest = 0;
        for (int32_t y = 0; y < window.Height; y++)
            for (int32_t x = 0; x < window.Width; x++) {
                const uint8_t red = TTestWindow::Pixel(pixels, window.Width, window.Height, x, y)[0];
                if (red == 0)
                    continue;
                lit++;
                ink_left = std::min(ink_left, x);
                ink_right = std::max(ink_right, x);
                brightest = std::max(brightest, int32_t(red));
                EXPECT_TRUE(x >= box_left && x < box_right && y >= box_top && y < box_bottom)
                    << "font " << number << ": lit pixel (" << x << ", " << y << ") outside the measured box";
            }
        EXPECT_GT(lit, 40) << "font " << number;
        EXPECT_EQ(brightest, 255) << "font " << number;
        // The ink spans the box: measuring and drawing advance alike.
        EXPECT_LE(ink_left, box_left + 2) << "font " << number;
        EXPECT_GE(ink_right, box_right - 4) << "font " << number;
    }
}

TEST(FontDrawing, DrawsInARebuiltWindowAndShowsEveryLine)
{
    std::string error;
    ASSERT_TRUE(StartWidgetGlut(error)) << error;
    TZAVglutWigits_Font& font = InterfaceFont(2);
    {
        TTestWindow first(32, 32);
        ASSERT_TRUE(font.Upload());
    }
    const int32_t line = font.LineHeight();
    TTestWindow window(300, 6 * line);
    // The new context hands out the old name again; it is this texture's now, not the font's.
    GLuint other = 0;
    glGenTextures(1, &other);
    const uint8_t one_texel[4] = {0, 0, 0, 0};
    glBindTexture(GL_TEXTURE_2D, other);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, one_texel);
    glBindTexture(GL_TEXTURE_2D, 0);
    ASSERT_TRUE(font.Upload());
    EXPECT_NE(font.TextureId(), other);
    GLint other_width = 0;
    glBindTexture(GL_TEXTURE_2D, other);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &other_width);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(other_width, 1);

    glColor3f(1, 1, 1);
    EXPECT_EQ(font.Draw("Tarnwick sculpts & paints figures", 4, 0.5f * line), 1);
    EXPECT_EQ(font.Draw("[b]Bold[/b] and regular, tab\tafter", 4, 1.5f * line), 1);
    EXPECT_EQ(
        font.Draw(
            "Caf\xC3\xA9 \xC3\x86r\xC3\xB8 \xC3\xB1 \xE2\x80\x93 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC",
            4, 2.5f * line, true),
        1);
    // The current colour tints the text.
    glColor3f(1, 0, 0);
    EXPECT_EQ(font.Draw("Caf\xE9 \xC6r\xF8 \xF1 (Latin-1 bytes) \xC3(", 4, 3.5f * line), 1);

    const std::vector<uint8_t> pixels = window.ReadRgb();
    for (int32_t row = 0; row < 4; row++) {
        int32_t lit = 0;
        for (int32_t y = int32_t((0.5f + row) * line); y < int32_t((1.5f + row) * line); y++)
            for (int32_t x = 0; x < window.Width; x++) {
                const uint8_t* pixel = TTestWindow::Pixel(pixels, window.Width, window.Height, x, y);
                lit += pixel[0] > 0;
                if (row == 3) {
                    EXPECT_TRUE(pixel[1] == 0 && pixel[2] == 0) << "(" << x << ", " << y << ")";
                }
            }
        EXPECT_GT(lit, 100) << "line " << row;
    }
    EXPECT_TRUE(SaveScreenshot("widgets_font.png", pixels.data(), window.Width, window.Height, 3, error))
        << error;
}

// Queued text is clipped on the CPU: it must show exactly what the scissor lets through of text
// drawn at once, glyphs cut on every side included.
TEST(FontDrawing, QueuedTextIsClippedLikeScissoredText)
{
    std::string error;
    ASSERT_TRUE(StartWidgetGlut(error)) << error;
    TTestWindow window(160, 40);
    TZAVglutWigits_Font& font = InterfaceFont(2);
    ASSERT_TRUE(font.Upload());
    SetWindowProjection(window.Width, window.Height);
    const TZAVglutWigits_Rect clip{27, 13, 50, 7};
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};

    glClear(GL_COLOR_BUFFER_BIT);
    SetDrawClip(clip);
    glColor3f(1, 1, 1);
    EXPECT_EQ(font.Draw("Tarnwick [b]bold", 20, 10), 1);
    SetDrawClip(NoDrawClip);
    const std::vector<uint8_t> scissored = window.ReadRgb();

    glClear(GL_COLOR_BUFFER_BIT);
    SetDrawClip(clip);
    font.Queue("Tarnwick [b]bold", 20, 10, white);
    SetDrawClip(NoDrawClip);
    FlushTextBatch();
    const std::vector<uint8_t> queued = window.ReadRgb();

    EXPECT_GT(std::count_if(queued.begin(), queued.end(), [](uint8_t value) { return value > 0; }), 60);
    EXPECT_TRUE(queued == scissored);
}
