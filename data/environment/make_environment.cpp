// Draws the environment that surrounds every scene, a sphere seen from inside with a soft studio
// backdrop painted on it, and writes it into the data folder:
//
//     make_environment <build>/Data
//
// Environment.OBJ is a closed sphere of SegmentCount longitudes and RingCount latitudes (triangles
// at the poles, quads elsewhere), wound and lit so that its faces look inward. Its texture is
// wrapped by longitude (u, the seam twice) and latitude (v, 0 at the floor, 1 at the ceiling), so
// the maps are equirectangular: EnvironmentMap.BMP in colour, EnvironmentMap_Grey.BMP its
// luminance. Everything is computed, so every build writes the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "paint/image_file.h"

namespace {

constexpr int32_t SegmentCount = 32;
constexpr int32_t RingCount = 16;
// Far beyond a figure a couple of units tall, so that the figure never reaches the walls.
constexpr float Radius = 40.0f;
constexpr int32_t MapWidth = 256;
constexpr int32_t MapHeight = 128;
constexpr double Pi = std::numbers::pi;

struct TColour
{
    double R, G, B;
};

TColour Mix(TColour from, TColour to, double amount)
{
    return {from.R + (to.R - from.R) * amount, from.G + (to.G - from.G) * amount,
            from.B + (to.B - from.B) * amount};
}

double SmoothStep(double low, double high, double x)
{
    const double t = std::clamp((x - low) / (high - low), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// height runs from -1 (floor) to 1 (ceiling); longitude 0 is the front. A warm ceiling fades
// through a pale horizon to a darker floor, with a soft key light above the front left.
TColour StudioColour(double height, double longitude)
{
    const TColour floor{0.36, 0.36, 0.38};
    const TColour horizon{0.78, 0.78, 0.80};
    const TColour ceiling{0.62, 0.64, 0.70};
    TColour colour = height < 0 ? Mix(horizon, floor, SmoothStep(-0.05, 0.8, -height))
                                : Mix(horizon, ceiling, SmoothStep(0.0, 0.9, height));
    const double dl = std::remainder(longitude + 0.6, 2 * Pi);
    const double dh = height - 0.55;
    const double key = std::exp(-(dl * dl) / 0.25 - (dh * dh) / 0.08);
    colour = Mix(colour, {1.0, 0.97, 0.90}, 0.8 * key);
    return colour;
}

// Without "-0.00000" where a sine misses zero by a rounding error.
double Tidy(double value)
{
    return std::abs(value) < 1e-9 ? 0.0 : value;
}

uint8_t Byte(double value)
{
    return uint8_t(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}

// Rows bottom to top, the first row the floor, as the texture coordinates expect.
bool WriteMaps(const std::string& folder)
{
    std::vector<uint8_t> colour(size_t(MapWidth) * MapHeight * 3);
    std::vector<uint8_t> grey(colour.size());
    for (int32_t row = 0; row < MapHeight; ++row) {
        const double height = -std::cos(Pi * (row + 0.5) / MapHeight);
        for (int32_t column = 0; column < MapWidth; ++column) {
            const double longitude = 2 * Pi * (column + 0.5) / MapWidth - Pi;
            const TColour c = StudioColour(height, longitude);
            const double luminance = 0.299 * c.R + 0.587 * c.G + 0.114 * c.B;
            uint8_t* pixel = &colour[(size_t(row) * MapWidth + column) * 3];
            pixel[0] = Byte(c.R);
            pixel[1] = Byte(c.G);
            pixel[2] = Byte(c.B);
            std::fill_n(&grey[(size_t(row) * MapWidth + column) * 3], 3, Byte(luminance));
        }
    }
    std::string error;
    for (const auto& [name, pixels] :
         {std::pair{"EnvironmentMap.BMP", &colour}, std::pair{"EnvironmentMap_Grey.BMP", &grey}}) {
        if (!SaveImageFile(folder + name, *pixels, MapWidth, MapHeight, TZAVImageChannels::RGB, error)) {
            std::fprintf(stderr, "make_environment: %s%s: %s\n", folder.c_str(), name, error.c_str());
            return false;
        }
    }
    return true;
}

struct TFileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Vertices: the floor pole, RingCount - 1 rings of SegmentCount, the ceiling pole. Texture
// vertices: SegmentCount + 1 per latitude line, RingCount + 1 lines, so that each pole's
// triangles get their own u. OBJ indices are 1-based.
int32_t VertexOf(int32_t line, int32_t segment)
{
    if (line == 0)
        return 1;
    if (line == RingCount)
        return 2 + (RingCount - 1) * SegmentCount;
    return 2 + (line - 1) * SegmentCount + segment % SegmentCount;
}

int32_t TexVertexOf(int32_t line, int32_t segment)
{
    return 1 + line * (SegmentCount + 1) + segment;
}

bool WriteMesh(const std::string& path)
{
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        std::fprintf(stderr, "make_environment: cannot create %s\n", path.c_str());
        return false;
    }
    std::FILE* out = file.get();
    std::fprintf(out, "# Tarnwick studio environment: a sphere seen from inside\ng Environment\n");
    std::vector<double> xs, ys, zs;
    for (int32_t line = 0; line <= RingCount; ++line) {
        const double polar = Pi * line / RingCount;
        const int32_t count = line == 0 || line == RingCount ? 1 : SegmentCount;
        for (int32_t segment = 0; segment < count; ++segment) {
            const double longitude = 2 * Pi * segment / SegmentCount - Pi;
            const double ring = line == 0 || line == RingCount ? 0 : std::sin(polar);
            xs.push_back(Tidy(ring * std::sin(longitude)));
            ys.push_back(Tidy(-std::cos(polar)));
            zs.push_back(Tidy(ring * std::cos(longitude)));
        }
    }
    for (size_t i = 0; i < xs.size(); ++i)
        std::fprintf(out, "v %.5f %.5f %.5f\n", Radius * xs[i], Radius * ys[i], Radius * zs[i]);
    for (int32_t line = 0; line <= RingCount; ++line)
        for (int32_t segment = 0; segment <= SegmentCount; ++segment)
            std::fprintf(out, "vt %.5f %.5f\n", double(segment) / SegmentCount, double(line) / RingCount);
    // Inward: the normal of a point of the unit sphere is the point negated.
    for (size_t i = 0; i < xs.size(); ++i)
        std::fprintf(out, "vn %.5f %.5f %.5f\n", Tidy(-xs[i]), Tidy(-ys[i]), Tidy(-zs[i]));
    // Seen from inside, with the floor below, longitude grows to the left: a cell's
    // counter-clockwise order is lower right, upper right, upper left, lower left.
    for (int32_t line = 0; line < RingCount; ++line) {
        for (int32_t segment = 0; segment < SegmentCount; ++segment) {
            const int32_t corners[4][2] = {
                {line, segment}, {line + 1, segment}, {line + 1, segment + 1}, {line, segment + 1}};
            std::fprintf(out, "f");
            for (int32_t corner = 0; corner < 4; ++corner) {
                const auto [l, s] = corners[corner];
                // A pole is one vertex: its cell is a triangle.
                if ((line == 0 && corner == 3) || (line == RingCount - 1 && corner == 2))
                    continue;
                const int32_t vertex = VertexOf(l, s);
                std::fprintf(out, " %d/%d/%d", vertex, TexVertexOf(l, s), vertex);
            }
            std::fprintf(out, "\n");
        }
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_environment <Data folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.ends_with('/'))
        folder += '/';
    if (!WriteMesh(folder + "Environment.OBJ"))
        return 1;
    return WriteMaps(folder) ? 0 : 1;
}
