// Draws the figure of the default project, a head on its neck, and saves it as the project that
// the first start opens: make_default_project <Default.Tarnwick>.
//
// The head is a surface of revolution, rings of RingVertexCount vertices from the crown down to
// the base of the neck, closed at the crown by a fan of triangles; the front looks along +z. It
// carries two polygon groups ("Head", "Neck"), two materials ("Skin", and "Eyes" on two patches),
// texture coordinates wrapped around it (u by longitude, v from the neck up), a painted 4096 x 4096
// colour map on the skin (the size artists paint at) and two morphs ("Smile", "Long Face").
// Everything is computed, so every build writes the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

#include "core/virtual_memory.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "paint/material_map.h"

namespace {

constexpr int32_t RingVertexCount = 64;
constexpr int32_t HeadRingCount = 40;
constexpr int32_t NeckRingCount = 8;
constexpr int32_t RingCount = HeadRingCount + NeckRingCount;
constexpr float Pi = std::numbers::pi_v<float>;

struct TRing
{
    float Radius;
    float Height;
};

// Crown to chin along a stretched sphere, then the neck narrowing and going down.
TRing RingAt(int32_t ring)
{
    if (ring < HeadRingCount) {
        const float angle = 0.8f * Pi * float(ring + 1) / float(HeadRingCount);
        return {0.9f * std::sin(angle), 1.15f * std::cos(angle)};
    }
    const float along = float(ring - HeadRingCount + 1) / float(NeckRingCount);
    const float chin_radius = 0.9f * std::sin(0.8f * Pi);
    const float chin_height = 1.15f * std::cos(0.8f * Pi);
    return {chin_radius + (0.4f - chin_radius) * std::min(1.0f, 3.0f * along), chin_height - 0.7f * along};
}

// How much of a bump centred at (polar, longitude) a point has, 1 at the centre.
float Bump(float polar, float longitude, float centre_polar, float centre_longitude, float width)
{
    const float dp = (polar - centre_polar) / width;
    const float dl = (longitude - centre_longitude) / width;
    return std::exp(-(dp * dp + dl * dl));
}

float PolarOf(int32_t ring)
{
    return ring < HeadRingCount ? 0.8f * Pi * float(ring + 1) / float(HeadRingCount) : 0.8f * Pi;
}

// 0 is the front (+z); the rings run towards +x from there, so that the polygons face outward.
float LongitudeOf(int32_t index)
{
    return 2.0f * Pi * float(index) / float(RingVertexCount) - Pi;
}

// Vertex 0 is the crown; ring r's vertex i follows.
int32_t VertexOf(int32_t ring, int32_t index)
{
    return 1 + ring * RingVertexCount + index % RingVertexCount;
}

// Texture vertices: the crown's fan points, then RingVertexCount + 1 per ring (the seam twice).
int32_t TexVertexOf(int32_t ring, int32_t index)
{
    return RingVertexCount + ring * (RingVertexCount + 1) + index;
}

void Shape(TTarnwick_Mesh& mesh)
{
    const int32_t vertex_count = 1 + RingCount * RingVertexCount;
    const int32_t tex_vertex_count = RingVertexCount + RingCount * (RingVertexCount + 1);
    const int32_t polygon_count = RingVertexCount * RingCount;
    mesh.Allocate(vertex_count, tex_vertex_count, vertex_count, polygon_count);
    mesh.Vertices[1] = 1.15f;
    for (int32_t ring = 0; ring < RingCount; ring++) {
        const TRing shape = RingAt(ring);
        for (int32_t index = 0; index < RingVertexCount; index++) {
            const float longitude = LongitudeOf(index);
            // The nose stands out of the face.
            const float nose = ring < HeadRingCount ? 0.12f * Bump(PolarOf(ring), longitude, 0.56f * Pi, 0, 0.12f) : 0;
            float* position = &mesh.Vertices[3 * size_t(VertexOf(ring, index))];
            position[0] = (shape.Radius + nose) * std::sin(longitude);
            position[1] = shape.Height;
            position[2] = (shape.Radius + nose) * std::cos(longitude);
        }
        for (int32_t index = 0; index <= RingVertexCount; index++) {
            float* uv = &mesh.TexVertices[2 * size_t(TexVertexOf(ring, index))];
            uv[0] = float(index) / float(RingVertexCount);
            uv[1] = 1.0f - float(ring + 1) / float(RingCount + 1);
        }
    }
    for (int32_t index = 0; index < RingVertexCount; index++) {
        mesh.TexVertices[2 * size_t(index)] = (float(index) + 0.5f) / float(RingVertexCount);
        mesh.TexVertices[2 * size_t(index) + 1] = 1.0f;
    }

    mesh.AllocateCorners(3 * RingVertexCount + 4 * RingVertexCount * (RingCount - 1));
    int32_t corner = 0;
    int32_t polygon = 0;
    auto add = [&](int32_t vertex, int32_t tex_vertex) {
        mesh.CornerVertex[corner] = vertex;
        mesh.CornerTexVertex[corner] = tex_vertex;
        corner++;
    };
    for (int32_t index = 0; index < RingVertexCount; index++) {
        add(0, index);
        add(VertexOf(0, index), TexVertexOf(0, index));
        add(VertexOf(0, index + 1), TexVertexOf(0, index + 1));
        mesh.EndPolygon(polygon++, corner);
    }
    for (int32_t ring = 0; ring + 1 < RingCount; ring++) {
        for (int32_t index = 0; index < RingVertexCount; index++) {
            add(VertexOf(ring, index), TexVertexOf(ring, index));
            add(VertexOf(ring + 1, index), TexVertexOf(ring + 1, index));
            add(VertexOf(ring + 1, index + 1), TexVertexOf(ring + 1, index + 1));
            add(VertexOf(ring, index + 1), TexVertexOf(ring, index + 1));
            mesh.EndPolygon(polygon++, corner);
        }
    }
}

// "Head" and "Neck" by ring; "Eyes" on two patches of the face, "Skin" elsewhere.
void Dress(TTarnwick_Mesh& mesh)
{
    for (const char* name : {"Head", "Neck"}) {
        TZAVGroup2* group = mesh.CreateGroup2();
        group->SetNameLiteral(name);
        group->Index = mesh.Groups2.Count();
        mesh.Groups2.Add(group);
    }
    // A warm skin and dark eyes, so that the first start shows a face rather than a grey ball.
    const struct
    {
        const char* Name;
        float Colour[3];
    } looks[] = {{"Skin", {0.86f, 0.66f, 0.54f}}, {"Eyes", {0.16f, 0.22f, 0.34f}}};
    for (const auto& look : looks) {
        TZAVMaterial* material = mesh.CreateMaterial();
        material->SetNameLiteral(look.Name);
        material->Index = mesh.Materials.Count();
        if (TZAVMaterialChannel* colour = material->FindChannel("Color"))
            std::copy(look.Colour, look.Colour + 3, colour->Colors[0]);
        mesh.Materials.Add(material);
    }
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        const int32_t ring = polygon < RingVertexCount ? 0 : (polygon - RingVertexCount) / RingVertexCount;
        const int32_t index = polygon % RingVertexCount;
        mesh.PolygonGroup[polygon] = ring < HeadRingCount - 1 ? 0 : 1;
        const float polar = PolarOf(ring);
        const float longitude = LongitudeOf(index);
        const bool eye = Bump(polar, std::fabs(longitude), 0.44f * Pi, 0.35f, 0.07f) > 0.5f;
        mesh.PolygonMaterial[polygon] = eye ? 1 : 0;
    }
}

// "Smile" lifts the corners of the mouth; "Long Face" draws the lower half down.
void AddMorphs(TTarnwick_Mesh& mesh)
{
    TTarnwick_Morph* smile = mesh.NewMorph(-1);
    smile->SetNameLiteral("Smile");
    TTarnwick_Morph* long_face = mesh.NewMorph(-1);
    long_face->SetNameLiteral("Long Face");
    for (int32_t ring = 0; ring < HeadRingCount; ring++) {
        for (int32_t index = 0; index < RingVertexCount; index++) {
            const int32_t vertex = VertexOf(ring, index);
            const float polar = PolarOf(ring);
            const float corners = Bump(polar, std::fabs(LongitudeOf(index)), 0.68f * Pi, 0.32f, 0.08f);
            smile->GetVertex(vertex)[1] = 0.05f * corners;
            smile->GetVertex(vertex)[2] = -0.02f * corners;
            const float height = mesh.Vertices[3 * size_t(vertex) + 1];
            if (height < 0.0f)
                long_face->GetVertex(vertex)[1] = 0.15f * height;
        }
    }
}

// The skin's colour map, painted from the same features the shape has: blushed cheeks, darker
// lips, brows, and a faint mottle so that a brush stroke shows against it.
constexpr int32_t SkinMapSize = 4096;

void PaintSkin(TZAVMaterialMap& map)
{
    const float skin[3] = {0.86f, 0.66f, 0.54f};
    const float blush[3] = {0.85f, 0.45f, 0.42f};
    const float lips[3] = {0.62f, 0.30f, 0.30f};
    const float brows[3] = {0.30f, 0.20f, 0.14f};
    for (int32_t y = 0; y < map.Height; y++) {
        const float v = (float(y) + 0.5f) / float(map.Height);
        const float ring = (1.0f - v) * float(RingCount + 1) - 1.0f;
        const float polar = 0.8f * Pi * std::min(ring + 1.0f, float(HeadRingCount)) / float(HeadRingCount);
        for (int32_t x = 0; x < map.Width; x++) {
            const float u = (float(x) + 0.5f) / float(map.Width);
            const float longitude = 2.0f * Pi * u - Pi;
            const float side = std::fabs(longitude);
            const float weights[3] = {0.6f * Bump(polar, side, 0.6f * Pi, 0.42f, 0.12f),
                                      Bump(polar, 0.45f * longitude, 0.69f * Pi, 0.0f, 0.035f),
                                      Bump(polar, 0.3f * side, 0.39f * Pi, 0.1f, 0.025f)};
            const float* looks[3] = {blush, lips, brows};
            // Broad enough not to shimmer when the map is drawn small.
            const float mottle = 1.0f + 0.03f * std::sin(19.0f * u) * std::sin(13.0f * v) +
                                 0.02f * std::sin(31.0f * u + 2.0f * std::sin(23.0f * v));
            uint8_t* pixel = map.PixelAt(x, y);
            for (int channel = 0; channel < 3; channel++) {
                float value = skin[channel];
                for (int look = 0; look < 3; look++)
                    value += std::min(1.0f, weights[look]) * (looks[look][channel] - value);
                pixel[channel] = uint8_t(std::clamp(value * mottle, 0.0f, 1.0f) * 255.0f + 0.5f);
            }
        }
    }
}

// The skin material's colour channel shows the painted map.
bool AddSkinMap(TTarnwick_Mesh& mesh)
{
    auto map = std::make_unique<TZAVMaterialMap>();
    map->SetNameLiteral("ColorMap");
    if (!map->AllocatePixels(SkinMapSize, SkinMapSize))
        return false;
    PaintSkin(*map);
    TZAVMaterial* skin = nullptr;
    TZAVMaterialChannel* colour = mesh.Materials.Get(skin, 0) ? skin->FindChannel("Color") : nullptr;
    if (colour == nullptr)
        return false;
    colour->TextureIndex = mesh.MaterialMaps.Count();
    mesh.MaterialMaps.Add(map.release());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_default_project <Default.Tarnwick>\n");
        return 2;
    }
    if (!InitVirtualMemory()) {
        std::fprintf(stderr, "make_default_project: no paging file\n");
        return 1;
    }
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    Shape(*mesh);
    Dress(*mesh);
    mesh->Prepare();
    AddMorphs(*mesh);
    if (!AddSkinMap(*mesh)) {
        std::fprintf(stderr, "make_default_project: cannot paint the skin map\n");
        return 1;
    }
    TTarnwick_Project project;
    auto* figure = new TTarnwick_Object;
    figure->SetNameLiteral("Head");
    figure->DisplayColor[0] = 0.85f;
    figure->DisplayColor[1] = 0.72f;
    figure->DisplayColor[2] = 0.62f;
    figure->SetMesh(std::move(mesh));
    figure->Current = true;
    project.ObjectTree->List.Add(figure);
    const bool saved = project.SaveProject(argv[1], false);
    if (!saved)
        std::fprintf(stderr, "%s\n", project.Error().c_str());
    project.ObjectTree.reset();
    ShutdownVirtualMemory();
    return saved ? 0 : 1;
}
