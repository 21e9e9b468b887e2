// Meshes for map tests: separate quads placed in texture space, each with its own four vertices
// (positions equal to the texture coordinates, z = 0).
//
//     std::vector<UvRect> rects;
//     AddUvRectGrid(rects, {0.1f, 0.1f, 0.4f, 0.4f}, 10, 10);   // 100 quads inside that rectangle
//     TTarnwick_Mesh mesh;
//     MakeUvQuads(mesh, rects);
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/sculpt_mesh.h"

struct UvRect
{
    float U0, V0, U1, V1;
};

// columns × rows quads filling `area`, each shrunk to half its cell so that they do not touch.
inline void AddUvRectGrid(std::vector<UvRect>& rects, UvRect area, int32_t columns, int32_t rows)
{
    const float cell_u = (area.U1 - area.U0) / float(columns);
    const float cell_v = (area.V1 - area.V0) / float(rows);
    for (int32_t row = 0; row < rows; row++)
        for (int32_t column = 0; column < columns; column++) {
            const float u = area.U0 + cell_u * float(column);
            const float v = area.V0 + cell_v * float(row);
            rects.push_back({u + cell_u / 4, v + cell_v / 4, u + 3 * cell_u / 4, v + 3 * cell_v / 4});
        }
}

inline void MakeUvQuads(TTarnwick_Mesh& mesh, const std::vector<UvRect>& rects)
{
    const int32_t count = static_cast<int32_t>(rects.size());
    mesh.Allocate(4 * count, 4 * count, 4 * count, count);
    mesh.AllocateCorners(4 * count);
    for (int32_t quad = 0; quad < count; quad++) {
        const UvRect& rect = rects[quad];
        const float corners[4][2] = {
            {rect.U0, rect.V0}, {rect.U1, rect.V0}, {rect.U1, rect.V1}, {rect.U0, rect.V1}};
        for (int32_t k = 0; k < 4; k++) {
            const int32_t vertex = 4 * quad + k;
            mesh.Vertices[3 * vertex] = corners[k][0];
            mesh.Vertices[3 * vertex + 1] = corners[k][1];
            mesh.Vertices[3 * vertex + 2] = 0.0f;
            mesh.TexVertices[2 * vertex] = corners[k][0];
            mesh.TexVertices[2 * vertex + 1] = corners[k][1];
            mesh.CornerVertex[vertex] = vertex;
            mesh.CornerTexVertex[vertex] = vertex;
        }
        mesh.EndPolygon(quad, 4 * quad + 4);
    }
    mesh.Prepare();
}
