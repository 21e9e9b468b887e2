// Small sculpt meshes for tests, and the text-form surgery that damaged-block tests need.
//
//     TTarnwick_Mesh mesh;
//     MakeGrid(mesh, 4, 3);                          // 5 × 4 vertices, x from -2 to 2, z = 0.1 x²
//     std::string text = TextOf(mesh);
//     text = ReplaceDataBlock(text, "vertices", bytes);  // the block re-encoded around new bytes
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/text_block.h"
#include "mesh/sculpt_mesh.h"
#include "support/grid_mesh.h"
#include "support/stream_file.h"

// Sets the displacement of one vertex of the morph, expanding it first.
inline void SetDelta(TTarnwick_Morph& morph, int32_t vertex, float x, float y, float z)
{
    float* delta = morph.GetVertex(vertex);
    delta[0] = x;
    delta[1] = y;
    delta[2] = z;
}

// Every displacement through the delta iterator, spread over all vertices; the indices visited.
inline std::vector<float> DenseDeltas(TTarnwick_Morph& morph, std::vector<int32_t>* out_indices = nullptr)
{
    std::vector<float> dense(size_t(morph.vcount) * 3, 0.0f);
    int32_t index = -1;
    float delta[3];
    for (bool more = morph.GetFirstDelta(index, delta); more; more = morph.GetNextDelta(index, delta)) {
        std::copy(delta, delta + 3, dense.begin() + index * 3);
        if (out_indices != nullptr)
            out_indices->push_back(index);
    }
    return dense;
}

// The first item of the tree, hidden groups included, with that name and type.
template <typename TItem> TItem* FindItem(TTarnwick_TreeGroup* tree, const std::string& name)
{
    std::vector<TTarnwick_TreeRow> rows;
    TTarnwick_TreeGroup::FlattenTree(tree, rows);
    for (const TTarnwick_TreeRow& row : rows)
        if (row.Item != nullptr && row.Item->Name == name)
            return dynamic_cast<TItem*>(row.Item);
    return nullptr;
}

// MakeSeamedGrid's own copy of the seam vertex in row j, after the grid's vertices.
inline int32_t MakeSeamedGridCopy(int32_t columns, int32_t rows, int32_t j)
{
    return (columns + 1) * (rows + 1) + j;
}

// The grid of MakeGrid (without texture vertices) cut along the vertex column `seam`: the quads
// right of it use copies of those vertices, at the same places, so that welding joins them
// again; the quads of the last row are split into two triangles each.
inline void MakeSeamedGrid(TTarnwick_Mesh& mesh, int32_t columns, int32_t rows, int32_t seam)
{
    const int32_t row_length = columns + 1;
    const int32_t vertex_count = MakeSeamedGridCopy(columns, rows, rows + 1);
    const int32_t polygon_count = columns * rows + columns;
    mesh.Allocate(vertex_count, 0, vertex_count, polygon_count);
    auto place = [&](int32_t vertex, int32_t i, int32_t j) {
        const float x = float(i) - float(columns) / 2;
        mesh.Vertices[3 * vertex] = x;
        mesh.Vertices[3 * vertex + 1] = float(j);
        mesh.Vertices[3 * vertex + 2] = 0.1f * x * x;
    };
    for (int32_t j = 0; j <= rows; j++) {
        for (int32_t i = 0; i <= columns; i++)
            place(j * row_length + i, i, j);
        place(MakeSeamedGridCopy(columns, rows, j), seam, j);
    }
    mesh.AllocateCorners(4 * columns * (rows - 1) + 6 * columns);
    int32_t corner = 0;
    int32_t polygon = 0;
    auto add = [&](std::initializer_list<int32_t> vertices) {
        for (int32_t vertex : vertices)
            mesh.CornerVertex[corner++] = vertex;
        mesh.EndPolygon(polygon++, corner);
    };
    for (int32_t j = 0; j < rows; j++) {
        for (int32_t i = 0; i < columns; i++) {
            auto at = [&](int32_t column, int32_t row) {
                return i >= seam && column == seam ? MakeSeamedGridCopy(columns, rows, row)
                                                   : row * row_length + column;
            };
            const int32_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            if (j < rows - 1) {
                add({a, b, c, d});
            } else {
                add({a, b, c});
                add({a, c, d});
            }
        }
    }
    mesh.Prepare();
}

template <typename T> std::vector<uint8_t> AsBytes(const std::vector<T>& values)
{
    std::vector<uint8_t> bytes(values.size() * sizeof(T));
    if (!bytes.empty())
        std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// The text with the binary block `tag` (written one level deep, as in a mesh block) holding bytes.
inline std::string ReplaceDataBlock(const std::string& text, const std::string& tag,
                                    std::span<const uint8_t> bytes, const std::string& new_tag = {})
{
    const std::string header = "\n\t" + tag + "\t\n";
    const size_t start = text.find(header);
    EXPECT_NE(start, std::string::npos) << tag;
    const size_t end = text.find("\n\t}\n", start);
    StreamFile file(std::tmpfile());
    SetTextBlockLevel(1);
    EXPECT_TRUE(WriteBinaryBlock(file.get(), bytes, new_tag.empty() ? tag.c_str() : new_tag.c_str()));
    SetTextBlockLevel(0);
    std::string block = ContentsOf(file.get());
    return text.substr(0, start + 1) + block + text.substr(end + 4);
}

// The text with the first line starting "\t" + key replaced by "\t" + key + "\t" + value (or removed
// when value is null).
inline std::string ReplaceLine(const std::string& text, const std::string& key, const char* value)
{
    const size_t start = text.find("\n\t" + key + "\t");
    EXPECT_NE(start, std::string::npos) << key;
    const size_t end = text.find('\n', start + 1);
    std::string line = value != nullptr ? "\n\t" + key + "\t" + value : std::string();
    return text.substr(0, start) + line + text.substr(end);
}

// The polygons in the block layout: 2-byte (or, old layout, 4-byte) Material, Group and Count,
// then Vertex and TexVertex per corner.
inline std::vector<uint8_t> PolygonBytes(const TTarnwick_Mesh& mesh, bool old_layout)
{
    std::vector<uint8_t> bytes;
    auto put = [&](int32_t value, int32_t size) {
        for (int32_t k = 0; k < size; k++)
            bytes.push_back(uint8_t((uint32_t(value) >> (8 * k)) & 0xFF));
    };
    const int32_t field = old_layout ? 4 : 2;
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        put(mesh.PolygonMaterial[polygon], field);
        put(mesh.PolygonGroup[polygon], field);
        put(mesh.GetPolygonCornerCount(polygon), field);
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            put(mesh.CornerVertex[corner], 4);
            put(mesh.CornerTexVertex[corner], 4);
        }
    }
    return bytes;
}
