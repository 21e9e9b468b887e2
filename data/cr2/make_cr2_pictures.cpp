// Draws the pictures of the CR2 export: the thumbnail copied beside every exported figure and the
// three pictures of the export wizard's choices, as PNG files in the data folder:
//
//     make_cr2_pictures <build>/Data
//
// Each picture shows plain figures: a head, a trunk, arms and legs as rounded strokes. Parts that
// the choice changes are drawn in the accent colour. Everything is computed, so every build writes
// the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "paint/image_file.h"

namespace {

struct TColour
{
    float R, G, B;
};

constexpr TColour Ground{0.16f, 0.17f, 0.20f};
constexpr TColour Figure{0.62f, 0.63f, 0.66f};
constexpr TColour Accent{0.93f, 0.55f, 0.20f};

// Which parts of a figure take the accent colour.
enum TParts : uint32_t
{
    Parts_None = 0,
    Parts_Head = 1 << 0,
    Parts_Body = 1 << 1,
    Parts_Limbs = 1 << 2,
    Parts_All = Parts_Head | Parts_Body | Parts_Limbs,
};

struct TFigure
{
    float X, Y, Height;
    // Widens the trunk and limbs (a new character).
    float Build = 1.0f;
    uint32_t Accented = Parts_None;
};

float Segment(float px, float py, float ax, float ay, float bx, float by)
{
    const float dx = bx - ax, dy = by - ay;
    const float t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    const float ex = px - ax - t * dx, ey = py - ay - t * dy;
    return std::sqrt(ex * ex + ey * ey);
}

class TPicture
{
public:
    TPicture(int32_t width, int32_t height)
        : Width(width), Height(height), Pixels(size_t(width) * size_t(height) * 3)
    {
        for (int32_t y = 0; y < Height; y++)
            for (int32_t x = 0; x < Width; x++) {
                // A soft vertical gradient behind the figures.
                const float shade = 1.0f + 0.25f * float(y) / float(Height);
                Put(x, y, {Ground.R * shade, Ground.G * shade, Ground.B * shade}, 1.0f);
            }
    }

    // One figure standing on (x, y) (its feet), with y down.
    void Draw(const TFigure& figure)
    {
        const float h = figure.Height, w = figure.Build;
        const float head_y = figure.Y - h * 0.88f, neck_y = figure.Y - h * 0.76f,
                    hip_y = figure.Y - h * 0.45f;
        struct TStroke
        {
            float AX, AY, BX, BY, Width;
            uint32_t Part;
        };
        const float x = figure.X;
        const TStroke strokes[] = {
            {x, neck_y, x, hip_y, h * 0.10f * w, Parts_Body},
            {x - h * 0.03f, hip_y, x - h * 0.08f * w, figure.Y, h * 0.045f * w, Parts_Limbs},
            {x + h * 0.03f, hip_y, x + h * 0.08f * w, figure.Y, h * 0.045f * w, Parts_Limbs},
            {x - h * 0.08f * w, neck_y + h * 0.04f, x - h * 0.20f * w, hip_y, h * 0.035f * w, Parts_Limbs},
            {x + h * 0.08f * w, neck_y + h * 0.04f, x + h * 0.20f * w, hip_y, h * 0.035f * w, Parts_Limbs},
        };
        for (int32_t py = 0; py < Height; py++)
            for (int32_t px = 0; px < Width; px++) {
                const float cx = float(px) + 0.5f, cy = float(py) + 0.5f;
                const float head = std::sqrt((cx - x) * (cx - x) + (cy - head_y) * (cy - head_y)) - h * 0.09f;
                Cover(px, py, head, figure.Accented & Parts_Head);
                for (const TStroke& s : strokes)
                    Cover(px, py, Segment(cx, cy, s.AX, s.AY, s.BX, s.BY) - s.Width,
                          figure.Accented & s.Part);
            }
    }

    // An arrow from one figure to the next.
    void Arrow(float from_x, float to_x, float y)
    {
        for (int32_t py = 0; py < Height; py++)
            for (int32_t px = 0; px < Width; px++) {
                const float cx = float(px) + 0.5f, cy = float(py) + 0.5f;
                float d = Segment(cx, cy, from_x, y, to_x, y);
                d = std::min(d, Segment(cx, cy, to_x, y, to_x - 7, y - 6));
                d = std::min(d, Segment(cx, cy, to_x, y, to_x - 7, y + 6));
                Cover(px, py, d - 1.5f, Parts_All);
            }
    }

    bool Save(const std::string& path) const
    {
        std::vector<uint8_t> bytes(Pixels.size());
        // Image rows go bottom first.
        for (int32_t y = 0; y < Height; y++)
            for (int32_t x = 0; x < Width * 3; x++)
                bytes[size_t(Height - 1 - y) * size_t(Width) * 3 + size_t(x)] = uint8_t(std::lround(
                    std::clamp(Pixels[size_t(y) * size_t(Width) * 3 + size_t(x)], 0.0f, 1.0f) * 255));
        std::string error;
        if (!SaveImageFile(path, bytes, Width, Height, TZAVImageChannels::RGB, error)) {
            std::fprintf(stderr, "make_cr2_pictures: %s\n", error.c_str());
            return false;
        }
        return true;
    }

private:
    void Put(int32_t x, int32_t y, TColour colour, float coverage)
    {
        float* pixel = &Pixels[(size_t(y) * size_t(Width) + size_t(x)) * 3];
        pixel[0] += (colour.R - pixel[0]) * coverage;
        pixel[1] += (colour.G - pixel[1]) * coverage;
        pixel[2] += (colour.B - pixel[2]) * coverage;
    }
    // Coverage from a signed distance in pixels (negative inside) smooths the edges.
    void Cover(int32_t x, int32_t y, float distance, uint32_t accented)
    {
        const float coverage = std::clamp(0.5f - distance, 0.0f, 1.0f);
        if (coverage > 0)
            Put(x, y, accented != 0 ? Accent : Figure, coverage);
    }

    int32_t Width, Height;
    std::vector<float> Pixels;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_cr2_pictures DATA_FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool saved = true;

    TPicture thumbnail(91, 91);
    thumbnail.Draw({45.5f, 84, 76, 1.0f, Parts_Head});
    saved &= thumbnail.Save(folder + "CR2Thumbnail.png");

    TPicture simple(256, 128);
    simple.Draw({128, 120, 110, 1.0f, Parts_Head});
    saved &= simple.Save(folder + "CR2Wizard_SimpleMorphs.png");

    TPicture body(256, 128);
    body.Draw({128, 120, 110, 1.0f, Parts_All});
    saved &= body.Save(folder + "CR2Wizard_BodyMorphs.png");

    TPicture character(256, 128);
    character.Draw({70, 120, 100, 1.0f, Parts_None});
    character.Arrow(108, 150, 70);
    character.Draw({190, 122, 112, 1.5f, Parts_All});
    saved &= character.Save(folder + "CR2Wizard_NewCharacter.png");
    return saved ? 0 : 1;
}
