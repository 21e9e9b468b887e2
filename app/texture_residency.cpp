// Texture residency of material maps: uploads, the out-of-memory state and driver compression.
#include "app/texture_residency.h"

#include <GL/gl.h>

#include <vector>

#include "mesh/poly_mesh.h"
#include "mesh/sculpt_mesh.h"
#include "paint/material_map.h"
#include "paint/uv_quadtree.h"

namespace {

// GL_COMPRESSED_RGB_ARB: the driver picks the compressed layout.
constexpr GLenum CompressedRgbFormat = 0x84ED;
constexpr GLclampf HiddenMapPriority = 0.5f;
constexpr GLclampf VisibleMapPriority = 1.0f;
// Hidden and locked polygons do not make their maps visible.
constexpr uint32_t ExcludedPolygonFlags = PolygonFlag_Hidden | PolygonFlag_Locked;

// Per map of the mesh's list: whether a polygon that shows uses it through a channel.
std::vector<uint8_t> FindVisibleMaps(const TTarnwick_Mesh& mesh)
{
    std::vector<uint8_t> visible(size_t(mesh.MaterialMaps.Count()), 0);
    std::vector<uint8_t> material_seen(size_t(mesh.Materials.Count()), 0);
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        if (mesh.PolygonFlags[size_t(polygon)] & ExcludedPolygonFlags)
            continue;
        const int32_t material_index = mesh.PolygonMaterial[size_t(polygon)];
        if (material_index < 0 || material_index >= mesh.Materials.Count() ||
            material_seen[size_t(material_index)])
            continue;
        material_seen[size_t(material_index)] = 1;
        TZAVMaterial* material = nullptr;
        if (!mesh.Materials.Get(material, material_index) || material == nullptr)
            continue;
        for (TZAVMaterialChannel* channel : material->ArbChannels)
            if (channel != nullptr && channel->TextureIndex >= 0 &&
                size_t(channel->TextureIndex) < visible.size())
                visible[size_t(channel->TextureIndex)] = 1;
    }
    return visible;
}

void UploadNodeRectangle(TZAVMaterialMap& map, const TTarnwick_PolyQuadTreeNode& node)
{
    if (map.OutOfMemory || map.TextureId == 0 || !map.HasPixels() || node.PixelWidth <= 0 ||
        node.PixelHeight <= 0)
        return;
    glBindTexture(GL_TEXTURE_2D, map.TextureId);
    // The rectangle is read in place from the map's rows.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, map.Width);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, node.PixelX);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, node.PixelY);
    glTexSubImage2D(GL_TEXTURE_2D, 0, node.PixelX, node.PixelY, node.PixelWidth, node.PixelHeight, GL_RGB,
                    GL_UNSIGNED_BYTE, map.Pixels.data());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
}

} // namespace

void SendToOpenGL(TZAVMaterialMap& map, TZAVTextureCompression compression)
{
    if (map.OutOfMemory || !map.HasPixels())
        return;
    if (map.TextureId == 0) {
        GLuint name = 0;
        glGenTextures(1, &name);
        map.TextureId = name;
    }
    glBindTexture(GL_TEXTURE_2D, map.TextureId);
    // Maps have no mipmaps; the default minifying filter would leave the texture incomplete.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLint internal_format =
        compression == TZAVTextureCompression::Driver && map.Compressed ? GLint(CompressedRgbFormat) : GL_RGB;
    glTexImage2D(GL_TEXTURE_2D, 0, internal_format, map.Width, map.Height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 map.Pixels.data());
    map.Painted = 1;
}

void DeleteMapTexture(TZAVMaterialMap& map)
{
    if (map.TextureId != 0) {
        const GLuint name = map.TextureId;
        glDeleteTextures(1, &name);
    }
    map.TextureId = 0;
    map.Painted = 0;
}

void SendMapsToOpenGL(TTarnwick_Mesh& mesh, int32_t size_limit, TZAVTextureCompression compression)
{
    const std::vector<uint8_t> visible = FindVisibleMaps(mesh);
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++) {
        TZAVMaterialMap* map = MaterialMapAt(mesh, index);
        if (map == nullptr)
            continue;
        map->Visible = visible[size_t(index)];
        if (map->Width < size_limit && map->Height < size_limit) {
            // A map that never went up, came out of memory or changed goes up now.
            const bool stale = map->OutOfMemory || map->TextureId == 0 || map->UploadPending;
            map->OutOfMemory = 0;
            map->UploadPending = 0;
            if (stale)
                SendToOpenGL(*map, compression);
        } else {
            map->OutOfMemory = 1;
            DeleteMapTexture(*map);
        }
        GLclampf priority = VisibleMapPriority;
        if (!map->Visible) {
            // The full-size texture gives way to the driver's compressed one.
            if (compression == TZAVTextureCompression::Driver && !map->Compressed) {
                map->Compressed = 1;
                SendToOpenGL(*map, compression);
            }
            priority = HiddenMapPriority;
        } else if (map->Compressed) {
            map->Compressed = 0;
            SendToOpenGL(*map, compression);
        }
        if (map->TextureId != 0) {
            const GLuint name = map->TextureId;
            glPrioritizeTextures(1, &name, &priority);
        }
    }
}

void InstallMapTextureHooks()
{
    SetMapUploadHook(UploadNodeRectangle);
    SetMapReleaseHook(DeleteMapTexture);
}
