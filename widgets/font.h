// Interface text: DejaVu Sans (regular and bold) rasterised through FreeType into one glyph atlas
// per interface size, so that a string draws as textured quads from one texture.
//
// Measuring needs no OpenGL: the glyphs are rasterised and measured when a font is loaded, and
// only Upload() puts the atlas into a texture. Text is UTF-8; a byte that does not start a valid
// UTF-8 sequence stands for its Latin-1 character, so names read from older files show as they
// were typed. Characters without a glyph draw as the font's replacement glyph.
//
// Markup (as in "[b]Processing[/b]"): "[b]" switches to bold and "[/b]" back; the tags take no
// room. An ampersand takes no room and is not drawn (it marks a menu's hot key). Text the user
// edits is taken literally instead, every character shown. A tab is as wide as four spaces of
// the current style either way.
//
// Glyphs exist for printable ASCII, Latin-1, Latin Extended-A, the common punctuation (dashes,
// quotes, bullet, ellipsis) and the euro sign. Advances are whole pixels, so a string is exactly
// as wide as its parts together; the antialiased edge of a glyph may reach one pixel past its
// advance (the left of 'T', the right of 'k').
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The three interface fonts that the settings' font numbers choose.
inline constexpr int32_t InterfaceFontCount = 3;
inline constexpr int32_t InterfaceFontPixelHeights[InterfaceFontCount] = {11, 12, 13};

enum class TZAVglutWigits_FontMarkup : int32_t
{
    Interpret = 0,
    Literal = 1,
};

class TZAVglutWigits_Font
{
public:
    TZAVglutWigits_Font();
    ~TZAVglutWigits_Font();
    TZAVglutWigits_Font(const TZAVglutWigits_Font&) = delete;
    TZAVglutWigits_Font& operator=(const TZAVglutWigits_Font&) = delete;

    // Rasterises the glyphs at pixel_height (the em size in pixels). False, with the reason, when
    // the font files cannot be found or read; the font then measures and draws nothing. The files
    // are looked for in Debian's DejaVu folder first, then in other usual font folders. Forgets
    // an uploaded texture: Upload again after loading.
    [[nodiscard]] bool Load(int32_t pixel_height, std::string& out_error);
    bool Loaded() const;

    // From the top of a line to the next line's top, and from the top to the baseline.
    int32_t LineHeight() const;
    int32_t Ascent() const;
    // Pixels the text takes on one line (interpreted markup takes none).
    int32_t TextWidth(std::string_view utf8,
                      TZAVglutWigits_FontMarkup markup = TZAVglutWigits_FontMarkup::Interpret) const;
    // The number of bytes of text, from its start, that fit into width pixels; never splits a
    // character or a tag (tags and ampersands right after the last fitting character are
    // counted in). All of it when the font is not loaded.
    size_t FitBytes(std::string_view utf8, int32_t width,
                    TZAVglutWigits_FontMarkup markup = TZAVglutWigits_FontMarkup::Interpret) const;

    // Puts the atlas into one texture of the current GL context. Called again in the same window
    // it refills the same texture; in a rebuilt window (a new context) it makes a new one, since
    // the old name may belong to another texture there. False when there is no context or the
    // texture cannot be made. The texture is never deleted: it goes with its context.
    bool Upload();
    uint32_t TextureId() const;
    // Draws one line at once with its top-left corner at (x, y) in the current projection (y
    // down, one unit per pixel; x and y are rounded to whole pixels), in the current colour and
    // alpha, bold when bold is set (markup switches it). Text queued in the frame's text batch
    // (draw.h) is drawn first, so that this line lands on top of it. All glyphs go in one
    // glBegin/glEnd with the texture bound once and alpha blending on; the GL state is restored
    // afterwards. Returns the number of GL draw calls made: 1, or 0 when nothing shows (empty or
    // blank text, before Upload).
    int32_t Draw(std::string_view utf8, float x, float y, bool bold = false,
                 TZAVglutWigits_FontMarkup markup = TZAVglutWigits_FontMarkup::Interpret) const;
    // Queues one line like Draw, in window coordinates and colour rgba, into the frame's text
    // batch, clipped to the current draw clip. Widgets draw their text this way: a frame's text
    // then costs a draw call or a few, not one per label.
    void Queue(std::string_view utf8, float x, float y, const float* rgba,
               TZAVglutWigits_FontMarkup markup = TZAVglutWigits_FontMarkup::Interpret) const;
    // Atlas pixels (one byte of coverage each, regular and bold glyphs together) and their size.
    const uint8_t* AtlasPixels() const;
    int32_t AtlasWidth() const;
    int32_t AtlasHeight() const;

private:
    // Glyphs, atlas, and the uploaded texture with its context.
    struct TData;
    std::unique_ptr<TData> Data;
};

// The interface fonts, loaded on first use; number is clamped to 0..InterfaceFontCount - 1. A
// font that cannot be loaded is reported once with AddWarning and measures nothing, so the
// program runs on without interface text.
TZAVglutWigits_Font& InterfaceFont(int32_t number);
