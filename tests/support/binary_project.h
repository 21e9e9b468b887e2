// Old binary project files built byte by byte, for the tests and the fuzz seeds: chunks framed
// as version 4, 5 or 6 frames them, and one dressed figure in that form.
//
//     std::string bytes = BinaryFixture(6);        // the figure as a version 6 file
//     std::string newer = BinaryFixture(6, 2);     // with two chunks of an unknown kind after the mesh
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/binary_chunk.h"
#include "core/tree_group.h"
#include "mesh/morph_tree.h"
#include "mesh/scene_object.h"
#include "tests/support/grid_mesh.h"

// Chunks framed as a file of the given version frames them.
class BinaryProjectWriter
{
public:
    explicit BinaryProjectWriter(int32_t version) : Version(version)
    {
        char magic[20] = {};
        std::snprintf(magic, sizeof(magic), "VORNFILEVERSION%04d", version);
        Bytes.append(magic, sizeof(magic));
        Int32(36);
        std::string options(36, '\0');
        options[1] = 1; // MirrorY
        options[2] = 0; // MirrorInViewport
        options[25] = 7;
        const float tile_size = 2.5f;
        std::memcpy(options.data() + 8, &tile_size, 4);
        const float weld = 0.125f;
        std::memcpy(options.data() + 28, &weld, 4);
        Bytes += options;
    }

    void Int32(int32_t value)
    {
        uint8_t bytes[4];
        EncodeInt32LE(bytes, value);
        Bytes.append(reinterpret_cast<const char*>(bytes), 4);
    }

    void Chunk(int32_t id, const std::string& payload)
    {
        // Bytes between chunks are passed over by the marker search.
        if (Version > 5)
            Bytes += "junk" + std::string(ChunkMarker);
        Int32(id);
        if (Version != 4)
            Int32(int32_t(payload.size()));
        Bytes += payload;
    }

    // The item's own record, taken out of the chunk its save writes.
    void Item(TTarnwick_Thingy& item, int32_t id)
    {
        FILE* file = std::tmpfile();
        std::string record;
        if (file != nullptr && item.SaveToStream(file)) {
            std::rewind(file);
            for (int c; (c = std::fgetc(file)) != EOF;)
                record.push_back(char(c));
        }
        if (file != nullptr)
            std::fclose(file);
        const size_t header_size = ChunkMarker.size() + 8;
        Chunk(id, record.size() >= header_size ? record.substr(header_size) : std::string());
    }

    int32_t Version;
    std::string Bytes;
};

inline std::string Int32Bytes(int32_t value)
{
    std::string bytes(4, '\0');
    EncodeInt32LE(reinterpret_cast<uint8_t*>(bytes.data()), value);
    return bytes;
}

inline std::string ItemRecord(const char* name, int32_t id)
{
    std::string record(TTarnwick_ThingyRecord::Size - 4, '\0');
    std::memcpy(record.data(), name, std::strlen(name));
    return record + Int32Bytes(id);
}

// The mesh record of the grid: counts, positions, texture vertices and polygons of 13-byte corners.
inline std::string MeshRecord(TTarnwick_Mesh& grid)
{
    std::string record = ItemRecord("Grid", 400) + Int32Bytes(grid.GetVertexCount()) +
                         Int32Bytes(grid.GetTexVertexCount()) + Int32Bytes(grid.GetPolygonCount());
    record.append(reinterpret_cast<const char*>(grid.Vertices.data()), grid.Vertices.size() * 4);
    record.append(reinterpret_cast<const char*>(grid.TexVertices.data()), grid.TexVertices.size() * 4);
    for (int32_t polygon = 0; polygon < grid.GetPolygonCount(); polygon++) {
        const char group = polygon == 1 ? 0 : -1;
        const char header[6] = {-1, -1, group, group, char(grid.GetPolygonCornerCount(polygon)), 0};
        record.append(header, 6);
        for (int32_t corner = grid.PolygonStart[polygon]; corner < grid.PolygonStart[polygon + 1]; corner++)
            record += Int32Bytes(grid.CornerVertex[corner]) + Int32Bytes(grid.CornerTexVertex[corner]) +
                      Int32Bytes(-1) + std::string(1, '\1');
    }
    return record;
}

// One object "Body" holding a grid with morphs in two groups (the second of them in the mix), a
// hidden group as a saving mesh leaves it, a weighted selection, a polygon group, flags, a colour
// map, a brush image and the project flag. An unknown chunk goes after the mesh when asked.
inline std::string BinaryFixture(int32_t version, int32_t unknown_chunks = 0)
{
    BinaryProjectWriter writer(version);
    TTarnwick_Mesh grid;
    MakeGrid(grid, 2, 1);
    const int32_t vertex_count = grid.GetVertexCount();

    TTarnwick_ObjectTreeGroup objects;
    objects.Index = 0;
    writer.Item(objects, TTarnwick_FileChunkID_ObjectGroup);
    TTarnwick_Object body;
    body.SetNameLiteral("Body");
    body.Pos[1] = 4.0f;
    writer.Item(body, TTarnwick_FileChunkID_Object);
    writer.Chunk(TTarnwick_FileChunkID_Mesh, MeshRecord(grid));
    for (int32_t unknown = 0; unknown < unknown_chunks; unknown++)
        writer.Chunk(99, "newer things");

    TTarnwick_MorphTreeGroup root;
    root.Index = 0;
    TTarnwick_MorphTreeGroup faces;
    faces.SetNameLiteral("Faces");
    faces.Index = 1;
    faces.ParentIndex = 0;
    TTarnwick_MorphTreeGroup hidden;
    hidden.Hidden = true;
    hidden.Index = 2;
    hidden.ParentIndex = 0;
    TTarnwick_Morph base(vertex_count);
    base.SetNameLiteral("Base");
    TTarnwick_Morph smile(vertex_count);
    smile.SetNameLiteral("Smile");
    smile.Strength = 0.5f;
    float* delta = smile.GetVertex(4);
    delta[0] = 1.0f;
    delta[1] = 2.0f;
    delta[2] = 3.0f;
    TTarnwick_Morph temporary(vertex_count);
    writer.Item(root, TTarnwick_FileChunkID_MorphGroup);
    writer.Item(base, TTarnwick_FileChunkID_Morph);
    writer.Item(faces, TTarnwick_FileChunkID_MorphGroup);
    writer.Item(smile, TTarnwick_FileChunkID_Morph);
    writer.Item(hidden, TTarnwick_FileChunkID_MorphGroup);
    writer.Item(temporary, TTarnwick_FileChunkID_Morph);

    TTarnwick_SelectionTreeGroup selections;
    selections.Index = 0;
    TTarnwick_Selection weights(vertex_count);
    weights.SetVSelect(2, 0.25f);
    writer.Item(selections, TTarnwick_FileChunkID_SelectionGroup);
    writer.Item(weights, TTarnwick_FileChunkID_Selection);

    TTarnwick_MorphMixer mixer;
    mixer.List.Add(&smile);
    writer.Item(mixer, TTarnwick_FileChunkID_MorphMixer);
    mixer.List.RemoveAt(0);

    std::string groups = Int32Bytes(1) + ItemRecord("", 0) + std::string(256, '\0') + Int32Bytes(1) +
                         Int32Bytes(3) + Int32Bytes(0);
    std::memcpy(groups.data() + 4 + TTarnwick_ThingyRecord::Size, "Head", 4);
    writer.Chunk(TTarnwick_FileChunkID_MeshGroups, groups);
    std::string flags;
    for (int32_t vertex = 0; vertex < vertex_count; vertex++)
        flags += Int32Bytes(vertex == 1 ? 0x10 : 0);
    for (int32_t polygon = 0; polygon < grid.GetPolygonCount(); polygon++)
        flags += Int32Bytes(polygon == 1 ? 0x04 : 0);
    writer.Chunk(TTarnwick_FileChunkID_MeshFlags, flags);
    writer.Chunk(TTarnwick_FileChunkID_MixMorphs, std::string(1, '\1'));
    // A 2 x 1 colour map, run-length coded per plane: R 10 10, G 20 30, B 40 40; no coverage mask.
    const char runs[] = {10, 2, 20, 1, 30, 1, 40, 2};
    writer.Chunk(TTarnwick_FileChunkID_MaterialMap, ItemRecord("ColorMap", 0) + Int32Bytes(2) + Int32Bytes(1) +
                                                        std::string(256, '\0') + std::string(1, '\0') +
                                                        Int32Bytes(0) + Int32Bytes(sizeof runs) +
                                                        std::string(runs, sizeof runs) + std::string(1, '\0'));
    std::string image = ItemRecord("Pores", 0) + std::string(256, '\0') + Int32Bytes(2) + Int32Bytes(1) +
                        std::string(8, '\x7f');
    std::memcpy(image.data() + TTarnwick_ThingyRecord::Size, "pores.png", 9);
    writer.Chunk(TTarnwick_FileChunkID_BrushImage, image);
    writer.Chunk(TTarnwick_FileChunkID_ProjectFlag, std::string(1, '\5'));
    writer.Chunk(TTarnwick_FileChunkID_End, "");
    return writer.Bytes;
}
