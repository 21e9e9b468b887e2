// Interface text: glyph rasterising and atlas packing at load, measuring and drawing from the
// atlas. Measuring and drawing walk a string through the same TTextWalker, so a string draws
// exactly as wide as it measures.
//
// [SECTION] Covered characters and UTF-8 decoding
// [SECTION] Finding the font files
// [SECTION] Glyph table and the text walker
// [SECTION] Rasterising and packing
// [SECTION] TZAVglutWigits_Font: loading, measuring, upload, drawing
// [SECTION] The interface fonts
#include "widgets/font.h"

#include "core/status.h"
#include "widgets/draw.h"

// After the project's headers: Xlib's macros (Status, None, Bool) would clash with their names.
#include <GL/gl.h>
#include <GL/glx.h>
#include <ft2build.h>
#include <freetype/freetype.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// [SECTION] Covered characters and UTF-8 decoding

// The characters with a glyph of their own; everything else draws as U+FFFD.
struct TCharacterRange
{
    uint32_t First;
    uint32_t Last;
};
constexpr TCharacterRange CoveredRanges[] = {
    {0x20, 0x7E},     // printable ASCII
    {0xA0, 0x17F},    // Latin-1 Supplement and Latin Extended-A
    {0x2010, 0x2027}, // dashes, quotes, daggers, bullet, ellipsis
    {0x2030, 0x203A}, // per mille, primes, single guillemets
    {0x20AC, 0x20AC}, // euro sign
    {0xFFFD, 0xFFFD}, // replacement character, the last slot
};

constexpr int32_t CountSlots()
{
    int32_t count = 0;
    for (const TCharacterRange& range : CoveredRanges)
        count += int32_t(range.Last - range.First + 1);
    return count;
}
constexpr int32_t SlotCount = CountSlots();
constexpr int32_t ReplacementSlot = SlotCount - 1;
constexpr int32_t StyleCount = 2; // regular, bold
constexpr int32_t SpacesPerTab = 4;
// Empty texels between glyphs, so that no glyph picks up its neighbour's edge.
constexpr int32_t AtlasPadding = 1;
constexpr int32_t AtlasWidthLimit = 512;

const char* const FontFileNames[StyleCount] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"};

int32_t SlotOf(uint32_t character)
{
    int32_t base = 0;
    for (const TCharacterRange& range : CoveredRanges) {
        if (character >= range.First && character <= range.Last)
            return base + int32_t(character - range.First);
        base += int32_t(range.Last - range.First + 1);
    }
    return ReplacementSlot;
}

uint32_t CharacterOfSlot(int32_t slot)
{
    for (const TCharacterRange& range : CoveredRanges) {
        const int32_t size = int32_t(range.Last - range.First + 1);
        if (slot < size)
            return range.First + uint32_t(slot);
        slot -= size;
    }
    return 0xFFFD;
}

bool IsContinuation(uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

// Decodes the character at the start of text (not empty) and returns its length in bytes. A byte
// that does not begin a valid shortest-form sequence (no surrogates, at most U+10FFFF) is taken
// as the Latin-1 character of that byte.
size_t DecodeCharacter(std::string_view text, uint32_t& out_character)
{
    const auto byte = [&](size_t i) { return uint8_t(text[i]); };
    const uint8_t lead = byte(0);
    out_character = lead;
    if (lead < 0xC2 || lead > 0xF4)
        return 1;
    const size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (text.size() < length)
        return 1;
    for (size_t i = 1; i < length; i++)
        if (!IsContinuation(byte(i)))
            return 1;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    const uint8_t second = byte(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 1;
    uint32_t character = lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; i++)
        character = (character << 6) | (byte(i) & 0x3F);
    out_character = character;
    return length;
}

// [SECTION] Finding the font files

bool IsRegularFile(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The folders a DejaVu file is looked for in: Debian's first, then those of other distributions
// and the user's own.
std::vector<std::string> FontFolders()
{
    std::vector<std::string> folders = {
        "/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu",       "/usr/share/fonts/TTF",
        "/usr/share/fonts/truetype",        "/usr/local/share/fonts/dejavu", "/usr/local/share/fonts",
    };
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        folders.push_back(std::string(home) + "/.local/share/fonts");
        folders.push_back(std::string(home) + "/.fonts");
    }
    return folders;
}

// The path of file_name in the first folder that holds it; empty, with a message naming the file
// and the folders, when none does.
std::string FindFontFile(const char* file_name, std::string& out_error)
{
    const std::vector<std::string> folders = FontFolders();
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + file_name;
        if (IsRegularFile(path))
            return path;
    }
    out_error = std::string("Cannot find the interface font ") + file_name + " in";
    for (size_t i = 0; i < folders.size(); i++)
        out_error += (i == 0 ? " " : ", ") + folders[i];
    out_error += " (the package fonts-dejavu-core provides it)";
    return {};
}

struct TFreeTypeLibrary
{
    FT_Library Library = nullptr;
    ~TFreeTypeLibrary()
    {
        if (Library != nullptr)
            FT_Done_FreeType(Library);
    }
};

struct TFreeTypeFace
{
    FT_Face Face = nullptr;
    ~TFreeTypeFace()
    {
        if (Face != nullptr)
            FT_Done_Face(Face);
    }
};

int32_t RoundPixels(FT_Pos value)
{
    return int32_t((value + 32) >> 6);
}

// Whether a GL context is current on this thread; GL calls without one crash in some drivers.
bool HasCurrentContext()
{
    return glXGetCurrentContext() != nullptr;
}

// [SECTION] Glyph table and the text walker

struct TFontData
{
    struct TGlyph
    {
        int32_t Advance = 0;
        // Bitmap offset from the pen position on the baseline, x right and y up.
        int32_t Left = 0;
        int32_t Top = 0;
        int32_t Width = 0;
        int32_t Height = 0;
        int32_t AtlasX = 0;
        int32_t AtlasY = 0;
    };

    bool Loaded = false;
    int32_t LineHeight = 0;
    int32_t Ascent = 0;
    // Slot s of style b at [b * SlotCount + s].
    std::vector<TGlyph> Glyphs;
    std::vector<uint8_t> Atlas;
    int32_t AtlasWidth = 0;
    int32_t AtlasHeight = 0;
    uint32_t Texture = 0;
    // The context and window the texture was made in; a texture name means nothing in another
    // context.
    GLXContext TextureContext = nullptr;
    GLXDrawable TextureDrawable = 0;

    const TGlyph& Glyph(bool bold, int32_t slot) const
    {
        return Glyphs[size_t(bold) * SlotCount + size_t(slot)];
    }
};

// One step through a string: a glyph, a tab, or something that takes no room (a tag, an
// ampersand). Bold is the style the step is drawn in.
struct TTextStep
{
    size_t End = 0;
    int32_t Slot = -1; // -1 when no glyph is drawn
    int32_t Advance = 0;
    bool Bold = false;
};

class TTextWalker
{
public:
    TTextWalker(const TFontData& data, std::string_view text, bool bold, TZAVglutWigits_FontMarkup markup)
        : Data(data), Text(text), Bold(bold), Markup(markup == TZAVglutWigits_FontMarkup::Interpret)
    {
    }

    // The step at the current position; false at the end of the text.
    bool Next(TTextStep& out_step)
    {
        if (Position >= Text.size())
            return false;
        const std::string_view rest = Text.substr(Position);
        out_step = {};
        if (Markup && (rest.starts_with("[b]") || rest.starts_with("[/b]"))) {
            Bold = rest[1] == 'b';
            Position += Bold ? 3 : 4;
        } else if (Markup && rest[0] == '&') {
            Position += 1;
        } else if (rest[0] == '\t') {
            out_step.Advance = SpacesPerTab * Data.Glyph(Bold, SlotOf(' ')).Advance;
            Position += 1;
        } else {
            uint32_t character = 0;
            Position += DecodeCharacter(rest, character);
            out_step.Slot = SlotOf(character);
            out_step.Advance = Data.Glyph(Bold, out_step.Slot).Advance;
        }
        out_step.End = Position;
        out_step.Bold = Bold;
        return true;
    }

private:
    const TFontData& Data;
    std::string_view Text;
    bool Bold;
    bool Markup;
    size_t Position = 0;
};

// A glyph's rectangle in the projection and its part of the atlas.
struct TGlyphQuad
{
    float Left, Top, Right, Bottom;
    float U0, V0, U1, V1;
};

// Calls emit with the quad of every glyph that shows, the line's top-left corner at (x, y).
template <typename Emit>
void ForEachGlyphQuad(const TFontData& data, std::string_view text, float x, float y, bool bold,
                      TZAVglutWigits_FontMarkup markup, Emit&& emit)
{
    // Whole pixels keep the glyphs texel for pixel.
    const int32_t origin_x = int32_t(x + (x < 0 ? -0.5f : 0.5f));
    const int32_t baseline = int32_t(y + (y < 0 ? -0.5f : 0.5f)) + data.Ascent;
    const float texel_width = 1.0f / float(data.AtlasWidth);
    const float texel_height = 1.0f / float(data.AtlasHeight);
    int32_t pen = origin_x;
    TTextWalker walker(data, text, bold, markup);
    for (TTextStep step; walker.Next(step); pen += step.Advance) {
        if (step.Slot < 0)
            continue;
        const TFontData::TGlyph& glyph = data.Glyph(step.Bold, step.Slot);
        if (glyph.Width == 0 || glyph.Height == 0)
            continue;
        const float left = float(pen + glyph.Left);
        const float top = float(baseline - glyph.Top);
        emit(TGlyphQuad{left, top, left + float(glyph.Width), top + float(glyph.Height),
                        float(glyph.AtlasX) * texel_width, float(glyph.AtlasY) * texel_height,
                        float(glyph.AtlasX + glyph.Width) * texel_width,
                        float(glyph.AtlasY + glyph.Height) * texel_height});
    }
}

// [SECTION] Rasterising and packing

// A glyph's coverage before packing.
struct TRasterGlyph
{
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Coverage;
};

// Rasterises every slot of one face into raster (and the metrics into glyphs).
bool RasteriseFace(FT_Face face, int32_t pixel_height, const std::string& path, TFontData::TGlyph* glyphs,
                   TRasterGlyph* raster, std::string& out_error)
{
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixel_height)) != 0) {
        out_error =
            "Cannot size the interface font " + path + " to " + std::to_string(pixel_height) + " pixels";
        return false;
    }
    for (int32_t slot = 0; slot < SlotCount; slot++) {
        // A character the face lacks takes the face's own replacement glyph (or .notdef).
        FT_UInt index = FT_Get_Char_Index(face, CharacterOfSlot(slot));
        if (index == 0)
            index = FT_Get_Char_Index(face, 0xFFFD);
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
            char character[16];
            std::snprintf(character, sizeof character, "U+%04X", unsigned(CharacterOfSlot(slot)));
            out_error =
                std::string("Cannot rasterise character ") + character + " of the interface font " + path;
            return false;
        }
        const FT_GlyphSlot source = face->glyph;
        const FT_Bitmap& bitmap = source->bitmap;
        TFontData::TGlyph& glyph = glyphs[slot];
        glyph.Advance = RoundPixels(source->advance.x);
        glyph.Left = source->bitmap_left;
        glyph.Top = source->bitmap_top;
        glyph.Width = int32_t(bitmap.width);
        glyph.Height = int32_t(bitmap.rows);
        TRasterGlyph& target = raster[slot];
        target.Width = glyph.Width;
        target.Height = glyph.Height;
        target.Coverage.resize(size_t(glyph.Width) * size_t(glyph.Height));
        for (int32_t row = 0; row < glyph.Height; row++) {
            const uint8_t* line = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                std::copy(line, line + glyph.Width, target.Coverage.begin() + ptrdiff_t(row) * glyph.Width);
            } else {
                // One bit per pixel, as some faces' embedded bitmaps come.
                for (int32_t column = 0; column < glyph.Width; column++)
                    target.Coverage[size_t(row) * size_t(glyph.Width) + size_t(column)] =
                        (line[column >> 3] & (0x80 >> (column & 7))) != 0 ? 255 : 0;
            }
        }
    }
    return true;
}

// Packs the glyphs into rows of the atlas (tallest first, so that rows waste little) and copies
// their coverage in. The atlas is AtlasWidthLimit wide and as tall as needed, in powers of two.
void PackAtlas(TFontData& data, const std::vector<TRasterGlyph>& raster)
{
    std::vector<int32_t> order(raster.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = int32_t(i);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return raster[size_t(a)].Height > raster[size_t(b)].Height;
    });
    int32_t x = AtlasPadding;
    int32_t y = AtlasPadding;
    int32_t row_height = 0;
    for (int32_t index : order) {
        const TRasterGlyph& glyph = raster[size_t(index)];
        if (glyph.Width == 0 || glyph.Height == 0)
            continue;
        if (x + glyph.Width + AtlasPadding > AtlasWidthLimit) {
            x = AtlasPadding;
            y += row_height + AtlasPadding;
            row_height = 0;
        }
        data.Glyphs[size_t(index)].AtlasX = x;
        data.Glyphs[size_t(index)].AtlasY = y;
        x += glyph.Width + AtlasPadding;
        row_height = std::max(row_height, glyph.Height);
    }
    const int32_t used_height = y + row_height + AtlasPadding;
    data.AtlasWidth = AtlasWidthLimit;
    data.AtlasHeight = 1;
    while (data.AtlasHeight < used_height)
        data.AtlasHeight *= 2;
    data.Atlas.assign(size_t(data.AtlasWidth) * size_t(data.AtlasHeight), 0);
    for (size_t index = 0; index < raster.size(); index++) {
        const TRasterGlyph& glyph = raster[index];
        const TFontData::TGlyph& placed = data.Glyphs[index];
        for (int32_t row = 0; row < glyph.Height; row++)
            std::copy_n(glyph.Coverage.begin() + ptrdiff_t(row) * glyph.Width, glyph.Width,
                        data.Atlas.begin() + ptrdiff_t(placed.AtlasY + row) * data.AtlasWidth +
                            placed.AtlasX);
    }
}

} // namespace

// [SECTION] TZAVglutWigits_Font: loading, measuring, upload, drawing

// The helpers above work on TFontData, which the private TData only names.
struct TZAVglutWigits_Font::TData : TFontData
{
};

TZAVglutWigits_Font::TZAVglutWigits_Font() : Data(std::make_unique<TData>()) {}

// The texture is left to its context: the fonts outlive the window, and a destructor running
// without a context must not call GL.
TZAVglutWigits_Font::~TZAVglutWigits_Font() = default;

bool TZAVglutWigits_Font::Load(int32_t pixel_height, std::string& out_error)
{
    static_cast<TFontData&>(*Data) = TFontData{};
    if (pixel_height < 1 || pixel_height > 256) {
        out_error = "Interface font size " + std::to_string(pixel_height) + " is outside 1..256 pixels";
        return false;
    }
    std::string paths[StyleCount];
    for (int32_t style = 0; style < StyleCount; style++) {
        paths[style] = FindFontFile(FontFileNames[style], out_error);
        if (paths[style].empty())
            return false;
    }
    TFreeTypeLibrary library;
    if (FT_Init_FreeType(&library.Library) != 0) {
        out_error = "Cannot start FreeType for the interface font";
        return false;
    }
    TFontData loaded;
    loaded.Glyphs.resize(size_t(StyleCount) * SlotCount);
    std::vector<TRasterGlyph> raster(size_t(StyleCount) * SlotCount);
    for (int32_t style = 0; style < StyleCount; style++) {
        TFreeTypeFace face;
        if (FT_New_Face(library.Library, paths[style].c_str(), 0, &face.Face) != 0) {
            out_error = "Cannot read the interface font " + paths[style];
            return false;
        }
        if (!RasteriseFace(face.Face, pixel_height, paths[style], &loaded.Glyphs[size_t(style) * SlotCount],
                           &raster[size_t(style) * SlotCount], out_error))
            return false;
        // The regular face sets the line; bold shares it.
        if (style == 0) {
            const FT_Size_Metrics& metrics = face.Face->size->metrics;
            loaded.Ascent = RoundPixels(metrics.ascender);
            loaded.LineHeight =
                std::max(RoundPixels(metrics.height), loaded.Ascent + RoundPixels(-metrics.descender));
        }
    }
    PackAtlas(loaded, raster);
    loaded.Loaded = true;
    static_cast<TFontData&>(*Data) = std::move(loaded);
    return true;
}

bool TZAVglutWigits_Font::Loaded() const
{
    return Data->Loaded;
}

int32_t TZAVglutWigits_Font::LineHeight() const
{
    return Data->LineHeight;
}

int32_t TZAVglutWigits_Font::Ascent() const
{
    return Data->Ascent;
}

int32_t TZAVglutWigits_Font::TextWidth(std::string_view utf8, TZAVglutWigits_FontMarkup markup) const
{
    if (!Data->Loaded)
        return 0;
    int32_t width = 0;
    TTextWalker walker(*Data, utf8, false, markup);
    for (TTextStep step; walker.Next(step);)
        width += step.Advance;
    return width;
}

size_t TZAVglutWigits_Font::FitBytes(std::string_view utf8, int32_t width,
                                     TZAVglutWigits_FontMarkup markup) const
{
    if (!Data->Loaded)
        return utf8.size();
    int32_t used = 0;
    size_t fitting = 0;
    TTextWalker walker(*Data, utf8, false, markup);
    for (TTextStep step; walker.Next(step);) {
        if (used + step.Advance > width)
            break;
        used += step.Advance;
        fitting = step.End;
    }
    return fitting;
}

bool TZAVglutWigits_Font::Upload()
{
    if (!Data->Loaded || !HasCurrentContext())
        return false;
    const GLXContext context = glXGetCurrentContext();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    GLuint texture = Data->Texture;
    // A rebuilt window brings a new context, where the old name may already be someone else's
    // texture (names start from 1 again). A freed context's address can come back, but not with
    // the old window's drawable, so the pair tells the contexts apart.
    if (texture == 0 || context != Data->TextureContext || drawable != Data->TextureDrawable ||
        !glIsTexture(texture))
        glGenTextures(1, &texture);
    if (texture == 0)
        return false;
    GLint unpack_alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack_alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, texture);
    // Glyphs are drawn at whole pixels, texel for pixel.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // An alpha texture under GL_MODULATE takes its colour from the current colour.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, Data->AtlasWidth, Data->AtlasHeight, 0, GL_ALPHA,
                 GL_UNSIGNED_BYTE, Data->Atlas.data());
    // Asked of the texture itself, so that errors others left behind do not count.
    GLint made_width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &made_width);
    glPopAttrib();
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpack_alignment);
    const bool made = made_width == Data->AtlasWidth;
    if (!made && texture != Data->Texture)
        glDeleteTextures(1, &texture);
    Data->Texture = made ? texture : 0;
    Data->TextureContext = made ? context : nullptr;
    Data->TextureDrawable = made ? drawable : 0;
    return made;
}

uint32_t TZAVglutWigits_Font::TextureId() const
{
    return Data->Texture;
}

int32_t TZAVglutWigits_Font::Draw(std::string_view utf8, float x, float y, bool bold,
                                  TZAVglutWigits_FontMarkup markup) const
{
    if (!Data->Loaded || Data->Texture == 0 || utf8.empty())
        return 0;
    bool begun = false;
    ForEachGlyphQuad(*Data, utf8, x, y, bold, markup, [&](const TGlyphQuad& quad) {
        if (!begun) {
            FlushTextBatch();
            glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT);
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, Data->Texture);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glBegin(GL_QUADS);
            begun = true;
        }
        glTexCoord2f(quad.U0, quad.V0);
        glVertex2f(quad.Left, quad.Top);
        glTexCoord2f(quad.U1, quad.V0);
        glVertex2f(quad.Right, quad.Top);
        glTexCoord2f(quad.U1, quad.V1);
        glVertex2f(quad.Right, quad.Bottom);
        glTexCoord2f(quad.U0, quad.V1);
        glVertex2f(quad.Left, quad.Bottom);
    });
    if (!begun)
        return 0;
    glEnd();
    glPopAttrib();
    return 1;
}

void TZAVglutWigits_Font::Queue(std::string_view utf8, float x, float y, const float* rgba,
                                TZAVglutWigits_FontMarkup markup) const
{
    if (!Data->Loaded || Data->Texture == 0 || utf8.empty())
        return;
    BeginTextRun(Data->Texture, rgba);
    ForEachGlyphQuad(*Data, utf8, x, y, false, markup, [](const TGlyphQuad& quad) {
        QueueTextQuad(quad.Left, quad.Top, quad.Right, quad.Bottom, quad.U0, quad.V0, quad.U1, quad.V1);
    });
    EndTextRun();
}

const uint8_t* TZAVglutWigits_Font::AtlasPixels() const
{
    return Data->Atlas.data();
}

int32_t TZAVglutWigits_Font::AtlasWidth() const
{
    return Data->AtlasWidth;
}

int32_t TZAVglutWigits_Font::AtlasHeight() const
{
    return Data->AtlasHeight;
}

// [SECTION] The interface fonts

TZAVglutWigits_Font& InterfaceFont(int32_t number)
{
    static TZAVglutWigits_Font fonts[InterfaceFontCount];
    static bool tried[InterfaceFontCount] = {};
    static bool warned = false;
    const int32_t index = std::clamp(number, int32_t(0), InterfaceFontCount - 1);
    if (!tried[index]) {
        tried[index] = true;
        std::string error;
        // The same missing file fails every size; one warning says it.
        if (!fonts[index].Load(InterfaceFontPixelHeights[index], error) && !warned) {
            warned = true;
            AddWarning("%s; interface text is not shown", error.c_str());
        }
    }
    return fonts[index];
}
