// Draws the interface pictures and writes them into the graphics archive as uncompressed 32-bit
// TGA files, one record per picture of widgets/skin_names.h:
//
//     make_graphics <build>/Data/Graphics.dat
//
// Every shape is a signed distance in pixels (negative inside) evaluated at the pixel centres; its
// coverage, 0.5 - distance clamped to [0, 1], smooths its edges. The output depends on nothing but
// this file, so every build writes the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/graphics_archive.h"
#include "widgets/skin_names.h"

namespace {

struct TColour
{
    float R, G, B, A = 1;
};

constexpr TColour Grey(float value, float alpha = 1)
{
    return {value, value, value, alpha};
}

TColour Mix(TColour from, TColour to, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return {from.R + (to.R - from.R) * t, from.G + (to.G - from.G) * t, from.B + (to.B - from.B) * t,
            from.A + (to.A - from.A) * t};
}

// The light grey of the interface's text, shared by every pictogram.
constexpr TColour TextColour = Grey(0.7f);

struct TPoint
{
    float X, Y;
};

// [SECTION] Distances

// sqrt is exact to the last bit everywhere, hypot is not: the pictures stay the same on every libm.
float Length(float x, float y)
{
    return std::sqrt(x * x + y * y);
}

// A rectangle with rounded corners: top_radius for the two upper ones, bottom_radius for the lower.
float Box(TPoint p, float left, float top, float right, float bottom, float top_radius, float bottom_radius)
{
    const float centre_x = (left + right) / 2, centre_y = (top + bottom) / 2;
    const float radius = p.Y < centre_y ? top_radius : bottom_radius;
    const float qx = std::fabs(p.X - centre_x) - ((right - left) / 2 - radius);
    const float qy = std::fabs(p.Y - centre_y) - ((bottom - top) / 2 - radius);
    const float outside = Length(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float Box(TPoint p, float left, float top, float right, float bottom, float radius)
{
    return Box(p, left, top, right, bottom, radius, radius);
}

float Circle(TPoint p, TPoint centre, float radius)
{
    return Length(p.X - centre.X, p.Y - centre.Y) - radius;
}

// A stroke of the given width along the segment from a to b, with round ends.
float Stroke(TPoint p, TPoint a, TPoint b, float width)
{
    const float dx = b.X - a.X, dy = b.Y - a.Y;
    const float t = std::clamp(((p.X - a.X) * dx + (p.Y - a.Y) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return Length(p.X - a.X - t * dx, p.Y - a.Y - t * dy) - width / 2;
}

// A triangle given clockwise (y down): the largest distance to its three edge lines.
float Triangle(TPoint p, TPoint a, TPoint b, TPoint c)
{
    float distance = -1e9f;
    const TPoint corners[] = {a, b, c, a};
    for (int i = 0; i < 3; ++i) {
        const TPoint from = corners[i], to = corners[i + 1];
        const float length = Length(to.X - from.X, to.Y - from.Y);
        // The outward normal of a clockwise edge with y down is (dy, -dx).
        distance = std::max(distance,
                            ((p.X - from.X) * (to.Y - from.Y) - (p.Y - from.Y) * (to.X - from.X)) / length);
    }
    return distance;
}

// [SECTION] Pictures

class TPicture
{
public:
    // ground is the colour stored under transparent pixels, so that filtering at a shape's edge
    // blends towards the shape's own colour rather than black.
    TPicture(const TZAVSkinImage& image, TColour ground)
        : Width(image.Width), Height(image.Height), Ground(ground),
          Pixels(size_t(Width) * Height, TColour{0, 0, 0, 0})
    {
    }

    // Lays shade(p) over every pixel, weighted by the coverage of the shape at its centre.
    template <typename Distance, typename Shade> void Fill(Distance distance, Shade shade)
    {
        for (int32_t y = 0; y < Height; ++y) {
            for (int32_t x = 0; x < Width; ++x) {
                const TPoint centre{x + 0.5f, y + 0.5f};
                const float coverage = std::clamp(0.5f - distance(centre), 0.0f, 1.0f);
                if (coverage <= 0)
                    continue;
                const TColour colour = shade(centre);
                const float alpha = colour.A * coverage;
                TColour& pixel = Pixels[size_t(y) * Width + x];
                pixel = {colour.R * alpha + pixel.R * (1 - alpha), colour.G * alpha + pixel.G * (1 - alpha),
                         colour.B * alpha + pixel.B * (1 - alpha), alpha + pixel.A * (1 - alpha)};
            }
        }
    }

    template <typename Distance> void Fill(Distance distance, TColour colour)
    {
        Fill(distance, [colour](TPoint) { return colour; });
    }

    // A TGA file: 18-byte header, then BGRA rows from the bottom up (descriptor 8: eight alpha
    // bits, origin at the lower left), the order of an OpenGL texture.
    std::vector<uint8_t> Tga() const
    {
        std::vector<uint8_t> bytes(18, 0);
        bytes[2] = 2; // uncompressed true colour
        bytes[12] = uint8_t(Width);
        bytes[13] = uint8_t(Width >> 8);
        bytes[14] = uint8_t(Height);
        bytes[15] = uint8_t(Height >> 8);
        bytes[16] = 32;
        bytes[17] = 8;
        for (int32_t y = Height - 1; y >= 0; --y) {
            for (int32_t x = 0; x < Width; ++x) {
                const TColour& pixel = Pixels[size_t(y) * Width + x];
                // The pixels are premultiplied; the file holds straight colour.
                const TColour colour =
                    pixel.A > 0 ? TColour{pixel.R / pixel.A, pixel.G / pixel.A, pixel.B / pixel.A, pixel.A}
                                : TColour{Ground.R, Ground.G, Ground.B, 0};
                for (float channel : {colour.B, colour.G, colour.R, colour.A})
                    bytes.push_back(uint8_t(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255)));
            }
        }
        return bytes;
    }

    const int32_t Width;
    const int32_t Height;

private:
    TColour Ground;
    // Premultiplied by alpha, rows from the top.
    std::vector<TColour> Pixels;
};

// A frame: a dark outline, a one-pixel line of light (or shadow) along the inside of its top, and
// a vertical gradient over the rest.
struct TFrameStyle
{
    float TopRadius;
    float BottomRadius;
    TColour Outline;
    TColour TopLine;
    TColour Top;
    TColour Bottom;
};

TPicture Frame(const TZAVSkinImage& image, const TFrameStyle& style)
{
    TPicture picture(image, style.Outline);
    const float width = float(image.Width), height = float(image.Height);
    const float top_inner = std::max(style.TopRadius - 1, 0.0f);
    const float bottom_inner = std::max(style.BottomRadius - 1, 0.0f);
    picture.Fill([&](TPoint p) { return Box(p, 0, 0, width, height, style.TopRadius, style.BottomRadius); },
                 style.Outline);
    picture.Fill([&](TPoint p) { return Box(p, 1, 1, width - 1, height - 1, top_inner, bottom_inner); },
                 style.TopLine);
    picture.Fill([&](TPoint p) { return Box(p, 1, 2, width - 1, height - 1, top_inner, bottom_inner); },
                 [&](TPoint p) { return Mix(style.Top, style.Bottom, (p.Y - 2) / (height - 3)); });
    return picture;
}

TPicture Frame(const TZAVSkinImage& image, float radius, TColour outline, TColour top_line, TColour top,
               TColour bottom)
{
    return Frame(image, {radius, radius, outline, top_line, top, bottom});
}

// An arrow pointing up in a 16-pixel square; the others are the same one mirrored or turned, by
// mapping each pixel into its frame.
template <typename Turn> TPicture Arrow(const TZAVSkinImage& image, Turn turn)
{
    TPicture picture(image, TextColour);
    picture.Fill([&](TPoint p) { return Triangle(turn(p), {8, 4.5f}, {12.5f, 10}, {3.5f, 10}); }, TextColour);
    return picture;
}

enum class TSign
{
    Plus,
    Minus,
};

// A rounded box with a sign in it.
TPicture Toggle(const TZAVSkinImage& image, TSign sign)
{
    TPicture picture(image, TextColour);
    picture.Fill([](TPoint p) { return Box(p, 2, 2, 14, 14, 2.5f); }, Grey(0.5f));
    picture.Fill([](TPoint p) { return Box(p, 3, 3, 13, 13, 1.5f); },
                 [](TPoint p) { return Mix(Grey(0.27f), Grey(0.19f), (p.Y - 3) / 10); });
    picture.Fill([](TPoint p) { return Stroke(p, {5.5f, 8}, {10.5f, 8}, 1.6f); }, TextColour);
    if (sign == TSign::Plus)
        picture.Fill([](TPoint p) { return Stroke(p, {8, 5.5f}, {8, 10.5f}, 1.6f); }, TextColour);
    return picture;
}

// A dark padlock on a light ground with faint diagonal stripes. The stripes repeat every 16
// pixels along both axes, so the tile joins its neighbours without a seam.
TPicture Lock(const TZAVSkinImage& image)
{
    TPicture picture(image, Grey(0.86f));
    picture.Fill([](TPoint) { return -1.0f; }, Grey(0.86f));
    picture.Fill(
        [](TPoint p) {
            const float phase = std::fmod(p.X + p.Y, 16.0f);
            return (std::fabs(phase - 8) - 2.5f) / std::sqrt(2.0f);
        },
        Grey(0.80f));
    const auto shackle = [](TPoint p) {
        const TPoint centre{32, 27};
        const float ring = p.Y < centre.Y
                               ? std::fabs(Length(p.X - centre.X, p.Y - centre.Y) - 8) - 2.5f
                               : std::min(Stroke(p, {24, 27}, {24, 33}, 5), Stroke(p, {40, 27}, {40, 33}, 5));
        return ring;
    };
    picture.Fill([&](TPoint p) { return shackle(p) - 1; }, Grey(0.18f));
    picture.Fill(shackle, [](TPoint p) { return Mix(Grey(0.62f), Grey(0.42f), (p.Y - 16) / 16); });
    picture.Fill([](TPoint p) { return Box(p, 18, 30, 46, 52, 4); }, Grey(0.16f));
    picture.Fill([](TPoint p) { return Box(p, 19.5f, 31.5f, 44.5f, 50.5f, 3); },
                 [](TPoint p) { return Mix(Grey(0.44f), Grey(0.28f), (p.Y - 31) / 20); });
    picture.Fill(
        [](TPoint p) {
            return std::min(Circle(p, {32, 38.5f}, 3), Stroke(p, {32, 39}, {32, 45.5f}, 2.6f));
        },
        Grey(0.12f));
    return picture;
}

TPicture Draw(const TZAVSkinImage& image)
{
    const std::string name = image.Name;
    if (name == SkinPanel.Name)
        return Frame(image, 4, Grey(0.13f), Grey(0.29f), Grey(0.25f), Grey(0.22f));
    if (name == SkinButtonNormal.Name)
        return Frame(image, 4, Grey(0.11f), Grey(0.47f), Grey(0.38f), Grey(0.29f));
    if (name == SkinButtonHover.Name)
        return Frame(image, 4, Grey(0.11f), Grey(0.56f), Grey(0.46f), Grey(0.35f));
    if (name == SkinButtonPressed.Name)
        return Frame(image, 4, Grey(0.09f), Grey(0.15f), Grey(0.21f), Grey(0.27f));
    if (name == SkinWindowBody.Name)
        return Frame(image, {0, 6, Grey(0.08f), Grey(0.23f), Grey(0.20f), Grey(0.17f)});
    if (name == SkinTitleBar.Name)
        return Frame(image, {6, 0, Grey(0.08f), Grey(0.45f), Grey(0.35f), Grey(0.26f)});
    if (name == SkinMenu.Name)
        return Frame(image, 3, Grey(0.08f), Grey(0.25f), Grey(0.20f), Grey(0.17f));
    if (name == SkinGaugeTrack.Name)
        return Frame(image, 5, Grey(0.09f), Grey(0.10f), Grey(0.13f), Grey(0.18f));
    if (name == SkinGaugeFill.Name)
        return Frame(image, 5, {0.14f, 0.20f, 0.28f}, {0.60f, 0.72f, 0.84f}, {0.46f, 0.59f, 0.73f},
                     {0.31f, 0.42f, 0.55f});
    if (name == SkinScrollTrack.Name)
        return Frame(image, 4, Grey(0.10f), Grey(0.11f), Grey(0.14f), Grey(0.17f));
    if (name == SkinScrollHandle.Name)
        return Frame(image, 4, Grey(0.10f), Grey(0.52f), Grey(0.42f), Grey(0.33f));
    if (name == SkinArrowUp.Name)
        return Arrow(image, [](TPoint p) { return p; });
    if (name == SkinArrowDown.Name)
        return Arrow(image, [](TPoint p) { return TPoint{p.X, 16 - p.Y}; });
    if (name == SkinArrowLeft.Name)
        return Arrow(image, [](TPoint p) { return TPoint{p.Y, p.X}; });
    if (name == SkinArrowRight.Name)
        return Arrow(image, [](TPoint p) { return TPoint{p.Y, 16 - p.X}; });
    if (name == SkinCheckMark.Name) {
        TPicture picture(image, TextColour);
        picture.Fill(
            [](TPoint p) {
                return std::min(Stroke(p, {3.5f, 8.5f}, {6.5f, 11.5f}, 2.2f),
                                Stroke(p, {6.5f, 11.5f}, {12.5f, 4.5f}, 2.2f));
            },
            TextColour);
        return picture;
    }
    if (name == SkinClose.Name) {
        TPicture picture(image, TextColour);
        picture.Fill(
            [](TPoint p) {
                return std::min(Stroke(p, {4.5f, 4.5f}, {11.5f, 11.5f}, 2),
                                Stroke(p, {11.5f, 4.5f}, {4.5f, 11.5f}, 2));
            },
            TextColour);
        return picture;
    }
    if (name == SkinPlus.Name)
        return Toggle(image, TSign::Plus);
    if (name == SkinMinus.Name)
        return Toggle(image, TSign::Minus);
    if (name == SkinLock.Name)
        return Lock(image);
    std::fprintf(stderr, "make_graphics: no drawing for the picture \"%s\"\n", image.Name);
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_graphics <Graphics.dat>\n");
        return 2;
    }
    std::vector<TZAVGraphicsRecord> records;
    for (const TZAVSkinImage& image : SkinImages) {
        const TPicture picture = Draw(image);
        records.push_back({std::string(image.Name) + ".tga", picture.Tga()});
    }
    std::string error;
    if (!WriteGraphicsArchive(records, argv[1], error)) {
        std::fprintf(stderr, "make_graphics: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
