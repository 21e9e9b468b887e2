// The scene in a 3D view: per-mesh vertex buffers, their updates, and the draw calls.
//
// [SECTION] Helpers
// [SECTION] Building the vertex stream and the indices
// [SECTION] Uploads
// [SECTION] Drawing
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include "app/scene_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "files/project.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection.h"
#include "paint/material_map.h"

namespace {

// Position then normal, interleaved: one buffer, one pass to fill it.
constexpr int32_t StreamFloats = 6;
constexpr GLsizei StreamStride = StreamFloats * sizeof(float);
constexpr float DefaultSurfaceColor[3] = {0.8f, 0.8f, 0.8f};
// Morphs may push displayed positions beyond the base box.
constexpr float DepthMargin = 2.0f;
constexpr float LockRepeatPixels = 64.0f;
// The range of locked polygons, and that of polygons whose material the mesh does not have.
constexpr int32_t LockedRange = -2;
constexpr int32_t UnknownMaterialRange = -1;

// [SECTION] Helpers

// What the stream and the indices were built from: when any of it changes they are rebuilt. The
// arrays' addresses stand for their contents, which change only through a new allocation
// (loading, preparing) or under a change of counts.
struct TStructureKey
{
    int32_t VertexCount = -1;
    int32_t TexVertexCount = -1;
    int32_t NormalCount = -1;
    int32_t PolygonCount = -1;
    int32_t CornerTotal = -1;
    const void* Arrays[7] = {};
    uint8_t Welded = 0;
    bool IgnoreWeld = false;

    bool operator==(const TStructureKey&) const = default;
};

TStructureKey StructureKeyOf(const TTarnwick_Mesh& mesh)
{
    TStructureKey key;
    key.VertexCount = mesh.GetVertexCount();
    key.TexVertexCount = mesh.GetTexVertexCount();
    key.NormalCount = mesh.GetNormalCount();
    key.PolygonCount = mesh.GetPolygonCount();
    key.CornerTotal = mesh.GetCornerTotal();
    key.Arrays[0] = mesh.PolygonStart.data();
    key.Arrays[1] = mesh.CornerVertex.data();
    key.Arrays[2] = mesh.CornerNormal.data();
    key.Arrays[3] = mesh.CornerTexVertex.data();
    key.Arrays[4] = mesh.WeldMap.data();
    key.Arrays[5] = mesh.PolygonMaterial.data();
    // Texture coordinates are streamed with the structure: a tool that remaps them gives them a
    // new array.
    key.Arrays[6] = mesh.TexVertices.data();
    key.Welded = mesh.Welded;
    key.IgnoreWeld = mesh.IgnoreWeld;
    return key;
}

constexpr uint32_t LayerStateFlags = PolygonFlag_Hidden | PolygonFlag_Locked;

// Which polygons show and which are locked: their count and a hash of those with either flag.
uint64_t LayerStateHash(const TTarnwick_Mesh& mesh)
{
    uint64_t hash = 1469598103934665603ull;
    const int32_t count = std::min<int32_t>(mesh.GetPolygonCount(), int32_t(mesh.PolygonFlags.size()));
    for (int32_t polygon = 0; polygon < count; polygon++)
        if (const uint32_t state = mesh.PolygonFlags[size_t(polygon)] & LayerStateFlags)
            hash = (hash ^ (uint64_t(polygon) << 8 | state)) * 1099511628211ull;
    return hash ^ uint64_t(count);
}

const float* DisplayedPositions(const TTarnwick_Mesh& mesh)
{
    const size_t needed = 3 * size_t(mesh.GetVertexCount());
    return mesh.DisplayedVertices.size() >= needed ? mesh.DisplayedVertices.data() : mesh.Vertices.data();
}

struct TMaterialLook
{
    float Color[3] = {DefaultSurfaceColor[0], DefaultSurfaceColor[1], DefaultSurfaceColor[2]};
    GLuint Texture = 0;
};

// The material's colour channel, and the map it paints through when that map is in texture
// memory.
TMaterialLook LookOf(const TTarnwick_Mesh& mesh, int32_t material_index)
{
    TMaterialLook look;
    TZAVMaterial* material = nullptr;
    if (material_index < 0 || !mesh.Materials.Get(material, material_index) || material == nullptr)
        return look;
    const TZAVMaterialChannel* channel = material->FindChannel("Color");
    if (channel == nullptr)
        return look;
    std::copy_n(channel->Colors[0], 3, look.Color);
    if (channel->TextureIndex >= 0) {
        const TZAVMaterialMap* map = MaterialMapAt(mesh, channel->TextureIndex);
        if (map != nullptr && !map->OutOfMemory && map->TextureId != 0)
            look.Texture = map->TextureId;
    }
    return look;
}

void DeleteBuffer(GLuint& buffer)
{
    if (buffer != 0)
        glDeleteBuffers(1, &buffer);
    buffer = 0;
}

// A run of the index buffer drawn with one material.
struct TMaterialRange
{
    int32_t Material = UnknownMaterialRange;
    int64_t First = 0;
    int64_t Count = 0;
};

} // namespace

struct TTarnwick_SceneDrawing::TMeshCache
{
    ~TMeshCache()
    {
        DeleteBuffer(StreamBuffer);
        DeleteBuffer(TexCoordBuffer);
        DeleteBuffer(IndexBuffer);
    }

    TStructureKey Structure;
    uint64_t LayerState = 0;
    uint64_t Revision = 0;
    bool HasStructure = false;
    bool HasIndices = false;
    bool HasPositions = false;

    // Per stream vertex: the (welded) position vertex and the normal it takes; -1 = no normal.
    std::vector<int32_t> StreamVertex;
    std::vector<int32_t> StreamNormal;
    // Per corner: its stream vertex, -1 for corners of polygons that are never drawn.
    std::vector<int32_t> CornerStream;
    std::vector<TMaterialRange> Ranges;

    GLuint StreamBuffer = 0;
    GLsizeiptr StreamBytes = -1;
    GLuint TexCoordBuffer = 0;
    GLuint IndexBuffer = 0;
};

// [SECTION] Building the vertex stream and the indices

namespace {

// A polygon is drawn only with three corners or more, each naming a vertex of the mesh.
bool IsDrawable(const TTarnwick_Mesh& mesh, int32_t polygon)
{
    const int32_t first = mesh.PolygonStart[size_t(polygon)], end = mesh.PolygonStart[size_t(polygon) + 1];
    if (end - first < 3)
        return false;
    for (int32_t corner = first; corner < end; corner++) {
        const int32_t vertex = mesh.CornerVertex[size_t(corner)];
        if (vertex < 0 || vertex >= mesh.GetVertexCount())
            return false;
    }
    return true;
}

// One stream vertex per distinct (position, normal, texture vertex) of the drawable corners:
// corners are bucketed by position vertex, and each bucket keeps its few distinct pairs.
void BuildStream(const TTarnwick_Mesh& mesh, std::vector<int32_t>& out_stream_vertex,
                 std::vector<int32_t>& out_stream_normal, std::vector<int32_t>& out_stream_tex,
                 std::vector<int32_t>& out_corner_stream)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    const int32_t polygon_count = mesh.GetPolygonCount();
    const int32_t normal_count =
        int32_t(std::min<size_t>(size_t(mesh.GetNormalCount()), mesh.Normals.size() / 3));
    const int32_t tex_count =
        int32_t(std::min<size_t>(size_t(mesh.GetTexVertexCount()), mesh.TexVertices.size() / 2));
    const bool has_normals = mesh.CornerNormal.size() >= size_t(mesh.GetCornerTotal());
    const bool has_tex = mesh.CornerTexVertex.size() >= size_t(mesh.GetCornerTotal());

    out_corner_stream.assign(size_t(mesh.GetCornerTotal()), -1);
    std::vector<int32_t> bucket_start(size_t(vertex_count) + 1, 0);
    std::vector<uint8_t> drawable(static_cast<size_t>(polygon_count));
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        drawable[size_t(polygon)] = IsDrawable(mesh, polygon);
        if (!drawable[size_t(polygon)])
            continue;
        for (int32_t corner = mesh.PolygonStart[size_t(polygon)];
             corner < mesh.PolygonStart[size_t(polygon) + 1]; corner++)
            bucket_start[size_t(mesh.WeldedVertex(mesh.CornerVertex[size_t(corner)])) + 1]++;
    }
    for (int32_t vertex = 0; vertex < vertex_count; vertex++)
        bucket_start[size_t(vertex) + 1] += bucket_start[size_t(vertex)];
    std::vector<int32_t> bucket(static_cast<size_t>(bucket_start.back()));
    std::vector<int32_t> fill(bucket_start.begin(), bucket_start.end() - 1);
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        if (!drawable[size_t(polygon)])
            continue;
        for (int32_t corner = mesh.PolygonStart[size_t(polygon)];
             corner < mesh.PolygonStart[size_t(polygon) + 1]; corner++)
            bucket[size_t(fill[size_t(mesh.WeldedVertex(mesh.CornerVertex[size_t(corner)]))]++)] = corner;
    }

    out_stream_vertex.clear();
    out_stream_normal.clear();
    out_stream_tex.clear();
    out_stream_vertex.reserve(size_t(vertex_count));
    out_stream_normal.reserve(size_t(vertex_count));
    out_stream_tex.reserve(size_t(vertex_count));
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        const int32_t first_stream = int32_t(out_stream_vertex.size());
        for (int32_t slot = bucket_start[size_t(vertex)]; slot < bucket_start[size_t(vertex) + 1]; slot++) {
            const int32_t corner = bucket[size_t(slot)];
            int32_t normal = has_normals ? mesh.CornerNormal[size_t(corner)] : -1;
            if (normal < 0 || normal >= normal_count)
                normal = -1;
            int32_t tex = has_tex ? mesh.CornerTexVertex[size_t(corner)] : -1;
            if (tex < 0 || tex >= tex_count)
                tex = -1;
            int32_t stream = first_stream;
            while (stream < int32_t(out_stream_vertex.size()) &&
                   (out_stream_normal[size_t(stream)] != normal || out_stream_tex[size_t(stream)] != tex))
                stream++;
            if (stream == int32_t(out_stream_vertex.size())) {
                out_stream_vertex.push_back(vertex);
                out_stream_normal.push_back(normal);
                out_stream_tex.push_back(tex);
            }
            out_corner_stream[size_t(corner)] = stream;
        }
    }
}

// Fan triangles of the shown polygons, grouped by material (a counting sort); polygons of a
// material the mesh does not have come next, and locked polygons last.
std::vector<uint32_t> BuildIndices(const TTarnwick_Mesh& mesh, std::span<const int32_t> corner_stream,
                                   std::vector<TMaterialRange>& out_ranges)
{
    const int32_t polygon_count = mesh.GetPolygonCount();
    const int32_t material_count = mesh.Materials.Count();
    const int32_t group_count = material_count + 2;
    auto group_of = [&](int32_t polygon) {
        if (size_t(polygon) < mesh.PolygonFlags.size() &&
            (mesh.PolygonFlags[size_t(polygon)] & PolygonFlag_Locked))
            return material_count + 1;
        const int32_t material =
            size_t(polygon) < mesh.PolygonMaterial.size() ? mesh.PolygonMaterial[size_t(polygon)] : -1;
        return material >= 0 && material < material_count ? material : material_count;
    };
    auto shown = [&](int32_t polygon) {
        const bool hidden = size_t(polygon) < mesh.PolygonFlags.size() &&
                            (mesh.PolygonFlags[size_t(polygon)] & PolygonFlag_Hidden);
        return !hidden && corner_stream[size_t(mesh.PolygonStart[size_t(polygon)])] >= 0;
    };

    std::vector<int64_t> group_start(size_t(group_count) + 1, 0);
    for (int32_t polygon = 0; polygon < polygon_count; polygon++)
        if (shown(polygon))
            group_start[size_t(group_of(polygon)) + 1] += 3 * (mesh.GetPolygonCornerCount(polygon) - 2);
    for (int32_t group = 0; group < group_count; group++)
        group_start[size_t(group) + 1] += group_start[size_t(group)];

    std::vector<uint32_t> indices(static_cast<size_t>(group_start.back()));
    std::vector<int64_t> fill(group_start.begin(), group_start.end() - 1);
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        if (!shown(polygon))
            continue;
        int64_t& at = fill[size_t(group_of(polygon))];
        const int32_t first = mesh.PolygonStart[size_t(polygon)],
                      end = mesh.PolygonStart[size_t(polygon) + 1];
        const auto apex = uint32_t(corner_stream[size_t(first)]);
        for (int32_t corner = first + 1; corner + 1 < end; corner++) {
            indices[size_t(at++)] = apex;
            indices[size_t(at++)] = uint32_t(corner_stream[size_t(corner)]);
            indices[size_t(at++)] = uint32_t(corner_stream[size_t(corner) + 1]);
        }
    }
    out_ranges.clear();
    for (int32_t group = 0; group < group_count; group++) {
        const int64_t count = group_start[size_t(group) + 1] - group_start[size_t(group)];
        const int32_t material = group < material_count    ? group
                                 : group == material_count ? UnknownMaterialRange
                                                           : LockedRange;
        if (count > 0)
            out_ranges.push_back({material, group_start[size_t(group)], count});
    }
    return indices;
}

// [SECTION] Uploads

void UploadIndices(GLuint& buffer, const std::vector<uint32_t>& indices)
{
    if (buffer == 0)
        glGenBuffers(1, &buffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(uint32_t)), indices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

// Texture coordinates only change with the structure; a stream vertex without one gets (0, 0).
bool UploadTexCoords(GLuint& buffer, const TTarnwick_Mesh& mesh, const std::vector<int32_t>& stream_tex)
{
    if (std::none_of(stream_tex.begin(), stream_tex.end(), [](int32_t tex) { return tex >= 0; })) {
        DeleteBuffer(buffer);
        return false;
    }
    std::vector<float> coordinates(2 * stream_tex.size(), 0.0f);
    for (size_t stream = 0; stream < stream_tex.size(); stream++)
        if (stream_tex[stream] >= 0)
            std::copy_n(&mesh.TexVertices[2 * size_t(stream_tex[stream])], 2, &coordinates[2 * stream]);
    if (buffer == 0)
        glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(coordinates.size() * sizeof(float)), coordinates.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return true;
}

// Positions and normals of every stream vertex, written straight into the (orphaned) buffer.
void WriteStream(const TTarnwick_Mesh& mesh, std::span<const int32_t> stream_vertex,
                 std::span<const int32_t> stream_normal, float* out)
{
    const float* positions = DisplayedPositions(mesh);
    const float* normals = mesh.Normals.data();
    const size_t count = stream_vertex.size();
    for (size_t stream = 0; stream < count; stream++, out += StreamFloats) {
        const float* position = positions + 3 * size_t(stream_vertex[stream]);
        out[0] = position[0];
        out[1] = position[1];
        out[2] = position[2];
        const int32_t normal_index = stream_normal[stream];
        if (normal_index >= 0) {
            const float* normal = normals + 3 * size_t(normal_index);
            out[3] = normal[0];
            out[4] = normal[1];
            out[5] = normal[2];
        } else {
            out[3] = 0.0f;
            out[4] = 0.0f;
            out[5] = 1.0f;
        }
    }
}

void UploadStream(GLuint& buffer, GLsizeiptr& store_bytes, const TTarnwick_Mesh& mesh,
                  std::span<const int32_t> stream_vertex, std::span<const int32_t> stream_normal)
{
    if (buffer == 0)
        glGenBuffers(1, &buffer);
    const auto bytes = GLsizeiptr(stream_vertex.size() * StreamStride);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    if (store_bytes != bytes) {
        glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_DYNAMIC_DRAW);
        store_bytes = bytes;
    }
    // Invalidating lets the driver hand out fresh memory instead of waiting for frames still
    // drawing from the old contents; a store of the same size is kept, which spares the fresh
    // pages of a new allocation.
    auto* mapped = static_cast<float*>(
        glMapBufferRange(GL_ARRAY_BUFFER, 0, bytes, GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT));
    if (mapped != nullptr) {
        WriteStream(mesh, stream_vertex, stream_normal, mapped);
        if (glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE) {
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            return;
        }
    }
    // Mapping failed, or the store was lost while mapped: send a copy.
    std::vector<float> copy(stream_vertex.size() * StreamFloats);
    WriteStream(mesh, stream_vertex, stream_normal, copy.data());
    glBufferData(GL_ARRAY_BUFFER, bytes, copy.data(), GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

} // namespace

TTarnwick_SceneDrawing::TTarnwick_SceneDrawing() = default;

TTarnwick_SceneDrawing::~TTarnwick_SceneDrawing() = default;

TTarnwick_SceneDrawing::TMeshCache& TTarnwick_SceneDrawing::CacheFor(const TTarnwick_Mesh& mesh)
{
    std::unique_ptr<TMeshCache>& slot = Caches[&mesh];
    if (!slot)
        slot = std::make_unique<TMeshCache>();
    return *slot;
}

void TTarnwick_SceneDrawing::UpdateMesh(const TTarnwick_Mesh& mesh)
{
    TMeshCache& cache = CacheFor(mesh);
    const TStructureKey structure = StructureKeyOf(mesh);
    const uint64_t layer_state = LayerStateHash(mesh);
    const bool new_structure = !cache.HasStructure || !(structure == cache.Structure);
    if (new_structure) {
        std::vector<int32_t> stream_tex;
        BuildStream(mesh, cache.StreamVertex, cache.StreamNormal, stream_tex, cache.CornerStream);
        UploadTexCoords(cache.TexCoordBuffer, mesh, stream_tex);
        cache.Structure = structure;
        cache.HasStructure = true;
        cache.HasPositions = false;
        StructureBuildCount++;
    }
    if (new_structure || !cache.HasIndices || layer_state != cache.LayerState) {
        UploadIndices(cache.IndexBuffer, BuildIndices(mesh, cache.CornerStream, cache.Ranges));
        cache.LayerState = layer_state;
        cache.HasIndices = true;
    }
    if (!cache.HasPositions || cache.Revision != mesh.DisplayRevision) {
        UploadStream(cache.StreamBuffer, cache.StreamBytes, mesh, cache.StreamVertex, cache.StreamNormal);
        cache.Revision = mesh.DisplayRevision;
        cache.HasPositions = true;
        PositionUploadCount++;
    }
}

void TTarnwick_SceneDrawing::KeepOnly(std::span<const TTarnwick_Mesh* const> meshes)
{
    std::erase_if(Caches, [&](const auto& entry) {
        return std::find(meshes.begin(), meshes.end(), entry.first) == meshes.end();
    });
}

void TTarnwick_SceneDrawing::Clear()
{
    Caches.clear();
}

// [SECTION] Drawing

namespace {

// Two directional lights fixed to the eye: a key light from the upper left front and a weaker
// fill from the lower right.
void SetUpLights()
{
    const GLfloat ambient[4] = {0.22f, 0.22f, 0.22f, 1.0f};
    const GLfloat key_position[4] = {-0.35f, 0.55f, 1.0f, 0.0f};
    const GLfloat key_diffuse[4] = {0.72f, 0.72f, 0.72f, 1.0f};
    const GLfloat fill_position[4] = {0.6f, -0.4f, 0.5f, 0.0f};
    const GLfloat fill_diffuse[4] = {0.28f, 0.28f, 0.3f, 1.0f};
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_POSITION, key_position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, key_diffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightfv(GL_LIGHT1, GL_POSITION, fill_position);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, fill_diffuse);
    glLightfv(GL_LIGHT1, GL_AMBIENT, black);
    glLightfv(GL_LIGHT1, GL_SPECULAR, black);
    glPopMatrix();
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHTING);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

// The lock picture repeats over the view every LockRepeatPixels pixels, whatever the polygons'
// texture coordinates: the planes are given in eye space, where x and y follow the window.
void SetLockTiling(bool on, float pixels_per_unit)
{
    if (!on) {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        return;
    }
    const float scale = pixels_per_unit / LockRepeatPixels;
    const GLfloat s_plane[4] = {scale, 0.0f, 0.0f, 0.0f};
    const GLfloat t_plane[4] = {0.0f, scale, 0.0f, 0.0f};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_EYE_PLANE, s_plane);
    glTexGenfv(GL_T, GL_EYE_PLANE, t_plane);
    glPopMatrix();
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
}

} // namespace

void TTarnwick_SceneDrawing::DrawMesh(const TTarnwick_Mesh& mesh, TMeshCache& cache,
                                      const TTarnwick_SceneView& view, float shade)
{
    if (cache.Ranges.empty() || cache.StreamVertex.empty())
        return;
    glBindBuffer(GL_ARRAY_BUFFER, cache.StreamBuffer);
    glVertexPointer(3, GL_FLOAT, StreamStride, nullptr);
    glNormalPointer(GL_FLOAT, StreamStride, reinterpret_cast<const void*>(3 * sizeof(float)));
    const bool textured = view.Mode == TTarnwick_DisplayMode::Texture && cache.TexCoordBuffer != 0;
    if (textured) {
        glBindBuffer(GL_ARRAY_BUFFER, cache.TexCoordBuffer);
        glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, cache.IndexBuffer);
    constexpr float White[3] = {1.0f, 1.0f, 1.0f};
    GLuint bound_texture = 0;
    bool tiling = false;
    for (const TMaterialRange& range : cache.Ranges) {
        // Locked polygons: white under the lock picture, and the maps do not apply.
        const bool locked = range.Material == LockedRange;
        const TMaterialLook look = locked ? TMaterialLook{} : LookOf(mesh, range.Material);
        const GLuint texture = locked ? view.LockTexture : textured ? look.Texture : 0;
        if (locked != tiling) {
            SetLockTiling(locked, view.PixelsPerUnit);
            tiling = locked;
        }
        if (texture != bound_texture) {
            if (bound_texture == 0)
                glEnable(GL_TEXTURE_2D);
            if (texture == 0)
                glDisable(GL_TEXTURE_2D);
            else
                glBindTexture(GL_TEXTURE_2D, texture);
            if (locked && texture != 0) {
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            }
            bound_texture = texture;
        }
        const float* colour = locked || texture != 0 ? White : look.Color;
        glColor3f(colour[0] * shade, colour[1] * shade, colour[2] * shade);
        glDrawElements(GL_TRIANGLES, GLsizei(range.Count), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(range.First * int64_t(sizeof(uint32_t))));
    }
    if (tiling)
        SetLockTiling(false, view.PixelsPerUnit);
    if (bound_texture != 0)
        glDisable(GL_TEXTURE_2D);
    if (textured)
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void TTarnwick_SceneDrawing::DrawWireframe(const TMeshCache& cache, const TTarnwick_SceneView& view)
{
    if (cache.Ranges.empty() || cache.StreamVertex.empty())
        return;
    glDisable(GL_LIGHTING);
    glBindBuffer(GL_ARRAY_BUFFER, cache.StreamBuffer);
    glVertexPointer(3, GL_FLOAT, StreamStride, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, cache.IndexBuffer);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glDepthRange(0.0, 0.9995);
    glColor3fv(view.WireframeColor);
    // The ranges follow each other from the start of the indices: one call draws them all.
    const TMaterialRange& last = cache.Ranges.back();
    glDrawElements(GL_TRIANGLES, GLsizei(last.First + last.Count), GL_UNSIGNED_INT, nullptr);
    glDepthRange(0.0, 1.0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (view.Lighting)
        glEnable(GL_LIGHTING);
}

void TTarnwick_SceneDrawing::DrawScene(const TTarnwick_Project& project, const TTarnwick_SceneView& view)
{
    std::vector<const TTarnwick_Mesh*> meshes, shown;
    std::vector<float> shades;
    for (const TTarnwick_Object* object : project.Objects()) {
        if (!object->Mesh || object->Mesh->GetVertexCount() == 0)
            continue;
        meshes.push_back(object->Mesh.get());
        const bool other = view.Current != nullptr && object != view.Current;
        if (other && !view.ShowOthers)
            continue;
        shown.push_back(object->Mesh.get());
        shades.push_back(other && view.DimOthers ? DimmedObjectShade : 1.0f);
    }
    // A mesh left out of this view keeps its buffers: the next view may show it.
    KeepOnly(meshes);
    if (shown.empty())
        return;

    if (view.Lighting) {
        SetUpLights();
    } else {
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    if (view.BackFaces) {
        glDisable(GL_CULL_FACE);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    }
    glFrontFace(GL_CCW);
    glShadeModel(view.Mode == TTarnwick_DisplayMode::Flat ? GL_FLAT : GL_SMOOTH);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    for (size_t index = 0; index < shown.size(); index++) {
        UpdateMesh(*shown[index]);
        TMeshCache& cache = *Caches[shown[index]];
        DrawMesh(*shown[index], cache, view, shades[index]);
        if (view.Wireframe)
            DrawWireframe(cache, view);
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    if (view.Selection != nullptr)
        DrawSelection(*view.Selection);
    glDisableClientState(GL_VERTEX_ARRAY);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LESS);
}

void TTarnwick_SceneDrawing::DrawSelection(TTarnwick_Mesh& mesh)
{
    TTarnwick_Selection* selection = mesh.CurrentSelection;
    if (selection == nullptr)
        return;
    if (SelectionMesh != &mesh || SelectionShown != selection || SelectionRevision != mesh.DisplayRevision ||
        mesh.SelectionDisplayStale) {
        SelectionPoints.clear();
        SelectionColours.clear();
        const float* positions = DisplayedPositions(mesh);
        for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++) {
            const float weight = selection->GetVSelect(vertex);
            if (weight <= 0.0f || (mesh.VertexFlags[size_t(vertex)] & VertexFlag_Hidden) != 0)
                continue;
            SelectionPoints.insert(SelectionPoints.end(), positions + 3 * size_t(vertex),
                                   positions + 3 * size_t(vertex) + 3);
            // White at a light touch, full red where the selection is whole.
            SelectionColours.insert(SelectionColours.end(), {1.0f, 1.0f - weight, 1.0f - weight});
        }
        SelectionMesh = &mesh;
        SelectionShown = selection;
        SelectionRevision = mesh.DisplayRevision;
        mesh.SelectionDisplayStale = false;
    }
    if (SelectionPoints.empty())
        return;
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    // Drawn a hair nearer than the surface they lie on, so that it does not hide them.
    glDepthRange(0.0, 0.9995);
    glPointSize(3.0f);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, SelectionPoints.data());
    glColorPointer(3, GL_FLOAT, 0, SelectionColours.data());
    glDrawArrays(GL_POINTS, 0, GLsizei(SelectionPoints.size() / 3));
    glDisableClientState(GL_COLOR_ARRAY);
    glPointSize(1.0f);
    glDepthRange(0.0, 1.0);
}

std::shared_ptr<TTarnwick_SceneDrawing> SharedSceneDrawing()
{
    static std::weak_ptr<TTarnwick_SceneDrawing> shared;
    std::shared_ptr<TTarnwick_SceneDrawing> drawing = shared.lock();
    if (!drawing) {
        drawing = std::make_shared<TTarnwick_SceneDrawing>();
        shared = drawing;
    }
    return drawing;
}

float SceneDepth(const TTarnwick_Project& project, const float look_at[3])
{
    float farthest = 0.0f;
    for (const TTarnwick_Object* object : project.Objects()) {
        if (!object->Mesh || object->Mesh->GetVertexCount() == 0)
            continue;
        const TTarnwick_Mesh& mesh = *object->Mesh;
        float squared = 0.0f;
        for (int32_t axis = 0; axis < 3; axis++) {
            const float reach = std::max(std::fabs(mesh.BoundingMin[axis] - look_at[axis]),
                                         std::fabs(mesh.BoundingMax[axis] - look_at[axis]));
            squared += reach * reach;
        }
        farthest = std::max(farthest, std::sqrt(squared));
    }
    return std::max(farthest * DepthMargin, 1.0f);
}
