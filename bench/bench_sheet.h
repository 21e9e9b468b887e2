// The benches' figure: side × side vertices in a gently curved sheet, (side - 1)² quads, with
// texture coordinates spanning the unit square when asked. Not prepared: some benches time that.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/sculpt_mesh.h"

enum class TSheetTexture
{
    None,
    UnitSquare,
};

inline void MakeSheet(TTarnwick_Mesh& mesh, int32_t side, TSheetTexture texture = TSheetTexture::None)
{
    const int32_t quads = side - 1;
    const bool textured = texture == TSheetTexture::UnitSquare;
    mesh.Allocate(side * side, textured ? side * side : 0, side * side, quads * quads);
    for (int32_t j = 0; j < side; j++) {
        for (int32_t i = 0; i < side; i++) {
            const size_t vertex = size_t(j) * side + i;
            float* position = &mesh.Vertices[3 * vertex];
            position[0] = float(i);
            position[1] = float(j);
            position[2] = 0.001f * float((i - side / 2) * (i - side / 2));
            if (textured) {
                mesh.TexVertices[2 * vertex] = float(i) / float(quads);
                mesh.TexVertices[2 * vertex + 1] = float(j) / float(quads);
            }
        }
    }
    mesh.AllocateCorners(4 * quads * quads);
    int32_t corner = 0;
    for (int32_t j = 0; j < quads; j++) {
        for (int32_t i = 0; i < quads; i++) {
            const int32_t first = j * side + i;
            for (int32_t vertex : {first, first + 1, first + 1 + side, first + side}) {
                mesh.CornerVertex[corner] = vertex;
                mesh.CornerTexVertex[corner] = textured ? vertex : -1;
                corner++;
            }
            mesh.EndPolygon(j * quads + i, corner);
        }
    }
}
