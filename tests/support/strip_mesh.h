// Small sculpt meshes for tests of objects and layers: a strip of triangles in the z = 0 plane,
// triangle p using vertices p, p + 1 and p + 2, with "Default Selection" current.
//
//     auto mesh = MakeStripMesh(4);        // 4 triangles, 6 vertices
//     auto object = MakeStripObject(4);    // the same inside a scene object
#pragma once

#include <memory>

#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"

inline std::unique_ptr<TTarnwick_Mesh> MakeStripMesh(int32_t polygon_count)
{
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    int32_t vertex_count = polygon_count + 2;
    mesh->Allocate(vertex_count, 0, vertex_count, polygon_count);
    mesh->AllocateCorners(polygon_count * 3);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        mesh->Vertices[size_t(vertex) * 3] = float(vertex / 2);
        mesh->Vertices[size_t(vertex) * 3 + 1] = float(vertex % 2);
    }
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        for (int32_t k = 0; k < 3; k++)
            mesh->CornerVertex[size_t(polygon) * 3 + k] = polygon + k;
        mesh->EndPolygon(polygon, polygon * 3 + 3);
    }
    mesh->Prepare();
    return mesh;
}

inline std::unique_ptr<TTarnwick_Object> MakeStripObject(int32_t polygon_count)
{
    auto object = std::make_unique<TTarnwick_Object>();
    object->SetMesh(MakeStripMesh(polygon_count));
    return object;
}
