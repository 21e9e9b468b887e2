// A small quad grid with texture vertices, for tests and for the fuzz targets' seeds; it needs no
// test framework.
//
//     TTarnwick_Mesh mesh;
//     MakeGrid(mesh, 4, 3);    // 5 × 4 vertices, x from -2 to 2, z = 0.1 x²
#pragma once

#include <cstdint>

#include "mesh/sculpt_mesh.h"

// A grid of columns × rows quads in the plane y, symmetric about x = 0 when columns is even.
inline void MakeGrid(TTarnwick_Mesh& mesh, int32_t columns, int32_t rows, float scale = 1.0f)
{
    const int32_t row_length = columns + 1;
    const int32_t vertex_count = row_length * (rows + 1);
    const int32_t polygon_count = columns * rows;
    mesh.Allocate(vertex_count, vertex_count, vertex_count, polygon_count);
    for (int32_t j = 0; j <= rows; j++) {
        for (int32_t i = 0; i <= columns; i++) {
            const int32_t vertex = j * row_length + i;
            const float x = float(i) - float(columns) / 2;
            mesh.Vertices[3 * vertex] = x * scale;
            mesh.Vertices[3 * vertex + 1] = float(j) * scale;
            mesh.Vertices[3 * vertex + 2] = 0.1f * x * x * scale;
            mesh.TexVertices[2 * vertex] = float(i) / float(columns);
            mesh.TexVertices[2 * vertex + 1] = float(j) / float(rows);
        }
    }
    mesh.AllocateCorners(4 * polygon_count);
    int32_t corner = 0;
    for (int32_t j = 0; j < rows; j++) {
        for (int32_t i = 0; i < columns; i++) {
            const int32_t first = j * row_length + i;
            for (int32_t vertex : {first, first + 1, first + 1 + row_length, first + row_length}) {
                mesh.CornerVertex[corner] = vertex;
                mesh.CornerTexVertex[corner] = vertex;
                corner++;
            }
            mesh.EndPolygon(j * columns + i, corner);
        }
    }
    mesh.Prepare();
}
