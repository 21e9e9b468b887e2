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

// The grid dressed like a figure: a material "Skin" on polygon 0, a group "Head" on polygon 1,
// layer flags on polygon 2, a change in the base morph, a second morph "Smile" (returned) and a
// weight in the current selection.
inline TTarnwick_Morph* MakeDressedGrid(TTarnwick_Mesh& mesh, int32_t columns, int32_t rows)
{
    MakeGrid(mesh, columns, rows);
    TZAVMaterial* material = mesh.CreateMaterial();
    material->SetNameLiteral("Skin");
    mesh.Materials.Add(material);
    TZAVGroup2* group = mesh.CreateGroup2();
    group->SetNameLiteral("Head");
    mesh.Groups2.Add(group);
    mesh.PolygonMaterial[0] = 0;
    mesh.PolygonGroup[1] = 0;
    mesh.PolygonLayerFlags[2] = 5;
    mesh.CurrentMorph->GetVertex(3)[1] = 0.25f;
    TTarnwick_Morph* smile = mesh.NewMorph(-1);
    smile->SetNameLiteral("Smile");
    smile->Strength = 0.5f;
    smile->GetVertex(5)[0] = 1.5f;
    mesh.CurrentSelection->SetVSelect(1, 0.5f);
    return smile;
}
