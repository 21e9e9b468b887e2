// A UV-mapped sphere for the drawing and painting benches.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"

// rings × segments vertices on the unit sphere (the poles left open), quads facing outwards, and
// segments + 1 texture vertices per ring so that the seam has two texture coordinates.
inline std::unique_ptr<TTarnwick_Mesh> MakeSphere(int32_t rings, int32_t segments)
{
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    const int32_t vertex_count = rings * segments;
    const int32_t tex_count = rings * (segments + 1);
    const int32_t polygon_count = (rings - 1) * segments;
    mesh->Allocate(vertex_count, tex_count, vertex_count, polygon_count);
    for (int32_t ring = 0; ring < rings; ring++) {
        const float theta = std::numbers::pi_v<float> * (float(ring) + 0.5f) / float(rings);
        for (int32_t segment = 0; segment <= segments; segment++) {
            const float phi = 2.0f * std::numbers::pi_v<float> * float(segment) / float(segments);
            const size_t tex = size_t(ring) * size_t(segments + 1) + size_t(segment);
            mesh->TexVertices[2 * tex] = float(segment) / float(segments);
            mesh->TexVertices[2 * tex + 1] = 1.0f - float(ring) / float(rings - 1);
            if (segment == segments)
                continue;
            const size_t vertex = size_t(ring) * size_t(segments) + size_t(segment);
            mesh->Vertices[3 * vertex] = std::sin(theta) * std::sin(phi);
            mesh->Vertices[3 * vertex + 1] = std::cos(theta);
            mesh->Vertices[3 * vertex + 2] = std::sin(theta) * std::cos(phi);
        }
    }
    mesh->AllocateCorners(4 * polygon_count);
    int32_t corner = 0;
    for (int32_t ring = 0; ring + 1 < rings; ring++) {
        for (int32_t segment = 0; segment < segments; segment++) {
            // Counter-clockwise seen from outside: lower left, lower right, upper right, upper left.
            const int32_t next = (segment + 1) % segments;
            const int32_t vertices[4] = {(ring + 1) * segments + segment, (ring + 1) * segments + next,
                                         ring * segments + next, ring * segments + segment};
            const int32_t texs[4] = {(ring + 1) * (segments + 1) + segment,
                                     (ring + 1) * (segments + 1) + segment + 1,
                                     ring * (segments + 1) + segment + 1, ring * (segments + 1) + segment};
            for (int32_t k = 0; k < 4; k++) {
                mesh->CornerVertex[size_t(corner)] = vertices[k];
                mesh->CornerTexVertex[size_t(corner)] = texs[k];
                corner++;
            }
            mesh->EndPolygon(ring * segments + segment, corner);
        }
    }
    TZAVMaterial* material = mesh->CreateMaterial();
    material->AddDefaultChannels();
    const float skin[3] = {0.85f, 0.62f, 0.5f};
    std::copy_n(skin, 3, material->FindChannel("Color")->Colors[0]);
    mesh->Materials.Add(material);
    std::fill(mesh->PolygonMaterial.begin(), mesh->PolygonMaterial.end(), int16_t(0));
    mesh->Prepare();
    return mesh;
}

// A new project whose one object is a sphere of side × side vertices; its mesh.
inline TTarnwick_Mesh& StartSphereProject(int32_t side)
{
    NewProject();
    auto* object = new TTarnwick_Object;
    object->SetMesh(MakeSphere(side, side));
    TarnwickProject->AddObject(object);
    return *object->Mesh;
}
