// Keeping material maps in OpenGL texture memory: which maps are uploaded, compressed by the driver
// or kept out because they are too large, and the upload of a node's pixels after a seam fix.
// The pixels in memory are never compressed; compression is the driver's, of the texture only.
#pragma once

#include <cstdint>

class TTarnwick_Mesh;
class TZAVMaterialMap;

// Whether maps marked compressed go up in the driver's compressed RGB format: on only when the
// settings ask for it and the driver offers GL_ARB_texture_compression.
enum class TZAVTextureCompression
{
    Off,
    Driver,
};

// Uploads the whole map (RGB, unsigned bytes, rows packed), making its texture name when it has
// none. Nothing happens when the map is out of texture memory or has no pixels.
void SendToOpenGL(TZAVMaterialMap& map, TZAVTextureCompression compression);

// One residency pass over the mesh's maps. A map with a side at or above size_limit is kept out of
// texture memory; one that fits again, or whose pixels changed (UploadPending), is uploaded. Maps that no visible polygon uses are re-sent
// compressed (when compression is on) at priority 0.5; visible ones uncompressed at priority 1.
void SendMapsToOpenGL(TTarnwick_Mesh& mesh, int32_t size_limit, TZAVTextureCompression compression);

// Deletes the map's texture and clears its uploaded state.
void DeleteMapTexture(TZAVMaterialMap& map);

// Makes seam fixes upload their changed rectangles into the maps' textures, and destroyed maps
// delete theirs.
void InstallMapTextureHooks();
