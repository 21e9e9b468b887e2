// Writes the selection set of the default figure's head regions, which the head template tool's
// sections name: make_head_selections <Default.Tarnwick> <Default_Head.txt>.
//
// Each region is a soft patch on the head, found from the vertex positions: the polar angle from
// the crown (the head is a sphere stretched to 1.15 high) and the longitude from the front (+z).
// Regions on both sides of the face use the longitude's magnitude, so they are mirror images.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "core/virtual_memory.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr float Pi = std::numbers::pi_v<float>;
constexpr float HeadHeight = 1.15f;
// Weights below this are left out, so each region ends.
constexpr float SmallestWeight = 0.05f;

struct TRegion
{
    const char* Name;
    float Polar;
    float Longitude;
    float PolarWidth;
    float LongitudeWidth;
    bool BothSides;
};

// Where the default figure's features are (its nose, eyes and mouth corners are drawn there).
constexpr TRegion Regions[] = {
    {"Brow", 0.38f * Pi, 0.0f, 0.07f * Pi, 0.55f, false},
    {"Eyes", 0.44f * Pi, 0.35f, 0.05f * Pi, 0.14f, true},
    {"Nose", 0.56f * Pi, 0.0f, 0.05f * Pi, 0.16f, false},
    {"Cheeks", 0.58f * Pi, 0.55f, 0.07f * Pi, 0.22f, true},
    {"Mouth", 0.66f * Pi, 0.0f, 0.03f * Pi, 0.34f, false},
    {"Jaw", 0.72f * Pi, 0.75f, 0.06f * Pi, 0.3f, true},
    {"Chin", 0.76f * Pi, 0.0f, 0.04f * Pi, 0.22f, false},
};

float WeightOf(const TRegion& region, const float* position)
{
    const float polar = std::acos(std::clamp(position[1] / HeadHeight, -1.0f, 1.0f));
    float longitude = std::atan2(position[0], position[2]);
    if (region.BothSides)
        longitude = std::fabs(longitude);
    const float dp = (polar - region.Polar) / region.PolarWidth;
    const float dl = (longitude - region.Longitude) / region.LongitudeWidth;
    return std::exp(-(dp * dp + dl * dl));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_head_selections <Default.Tarnwick> <Default_Head.txt>\n");
        return 2;
    }
    if (!InitVirtualMemory()) {
        std::fprintf(stderr, "make_head_selections: no paging file\n");
        return 1;
    }
    int status = 1;
    {
        TTarnwick_Project project;
        const std::vector<TTarnwick_Object*> objects =
            project.OpenProjectFile(argv[1]) ? project.Objects() : std::vector<TTarnwick_Object*>{};
        TTarnwick_Mesh* mesh = objects.empty() ? nullptr : objects.front()->Mesh.get();
        FILE* file = mesh != nullptr ? std::fopen(argv[2], "w") : nullptr;
        if (file == nullptr) {
            std::fprintf(stderr, "make_head_selections: cannot read %s or write %s\n", argv[1], argv[2]);
        } else {
            std::fprintf(file, "# The head regions of the default figure, made by make_head_selections.\n");
            std::fprintf(file, "VertexCount %d\n", mesh->GetVertexCount());
            for (const TRegion& region : Regions) {
                std::fprintf(file, "Selection %s\n", region.Name);
                for (int32_t vertex = 0; vertex < mesh->GetVertexCount(); vertex++) {
                    const float weight = WeightOf(region, &mesh->Vertices[3 * size_t(vertex)]);
                    if (weight >= SmallestWeight)
                        std::fprintf(file, "%d %.4f\n", vertex, double(weight));
                }
            }
            status = std::fclose(file) == 0 ? 0 : 1;
        }
        project.ObjectTree.reset();
    }
    ShutdownVirtualMemory();
    return status;
}
