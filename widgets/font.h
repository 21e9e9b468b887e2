// Interface text: DejaVu Sans (regular and bold) rasterised through FreeType into one glyph atlas
// per interface size, so that a string draws as textured quads from one texture.
//
// Measuring needs no OpenGL: the glyphs are rasterised and measured when a font is loaded, and
// only Upload() puts the atlas into a texture. Text is UTF-8; a byte that does not start a valid
// UTF-8 sequence stands for its Latin-1 character, so names read from older files show as they
// were typed. Characters without a glyph draw as the font's replacement glyph.
//
// Markup (as in "[b]Processing[/b]"): "[b]" switches to bold and "[/b]" back; the tags take no
// room. An ampersand takes no room and is not drawn (it marks a menu's hot key); a tab is as
// wide as four spaces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The three interface fonts that the settings' font numbers choose.
inline constexpr int32_t InterfaceFontCount = 3;
inline constexpr int32_t InterfaceFontPixelHeights[InterfaceFontCount] = {11, 12, 13};

class TZAVglutWigits_Font
{
public:
    TZAVglutWigits_Font();
    ~TZAVglutWigits_Font();
    TZAVglutWigits_Font(const TZAVglutWigits_Font&) = delete;
    TZAVglutWigits_Font& operator=(const TZAVglutWigits_Font&) = delete;

    // Rasterises the glyphs at pixel_height (the em size in pixels). False, with the reason, when
    // the font files cannot be read; the font then measures and draws nothing.
    [[nodiscard]] bool Load(int32_t pixel_height, std::string& out_error);
    bool Loaded() const;

    // From the top of a line to the next line's top, and from the top to the baseline.
    int32_t LineHeight() const;
    int32_t Ascent() const;
    // Pixels the text takes on one line, markup and ampersands excluded.
    int32_t TextWidth(std::string_view utf8) const;
    // The number of bytes of text, from its start, that fit into width pixels; never splits a
    // character or a tag.
    size_t FitBytes(std::string_view utf8, int32_t width) const;

    // Puts the atlas into one texture of the current GL context (again after the context was
    // rebuilt). False when there is no context or the texture cannot be made.
    bool Upload();
    uint32_t TextureId() const;
    // Draws one line with its top-left corner at (x, y) in the current projection (y down), in
    // the current colour, bold when bold is set (markup switches it). Returns the number of GL
    // draw calls made (0 for empty text or before Upload).
    int32_t Draw(std::string_view utf8, float x, float y, bool bold = false) const;
    // Atlas pixels (one byte of coverage each) and their size, for tests and the upload.
    const uint8_t* AtlasPixels() const;
    int32_t AtlasWidth() const;
    int32_t AtlasHeight() const;

private:
    struct TData;
    std::unique_ptr<TData> Data;
};

// The interface fonts, loaded on first use; number is clamped to 0..InterfaceFontCount - 1.
TZAVglutWigits_Font& InterfaceFont(int32_t number);
