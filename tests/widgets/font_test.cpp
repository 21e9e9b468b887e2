#include "widgets/font.h"

#include <gtest/gtest.h>

#include <algorithm>
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
