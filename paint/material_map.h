// TZAVMaterialMap: an RGB image that a material channel of a mesh uses (colour, bump,
// displacement, transparency) and that the paint brushes paint into. Besides the pixels it keeps
// the quadtree of its texture space, the coverage mask (pixels inside some polygon in texture
// space) and the seam pairs that pad UV islands by the bleed width, and it writes itself into
// project files.
//
// A map is made empty with its default colour, gets pixels when created or loaded, its tree when
// first painted and its seam pairs lazily, possibly over several calls. The mesh owns its maps as
// TTarnwick_Thingy pointers (mesh/ cannot see this type); MaterialMapAt gives the typed view.
// Texture residency (uploading into OpenGL) lives with the drawing code; here TextureId stays 0
// and the upload after a seam fix goes through a hook that the drawing code installs.
//
// [SECTION] Constants and hooks
// [SECTION] TZAVMaterialMap
// [SECTION] Creating, finding and reading maps
#pragma once

#include <cstdint>
#include <cstdio>
#include <future>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/list.h"
#include "core/thingy.h"
#include "paint/image_file.h"
#include "paint/uv_quadtree.h"

class TTarnwick_Mesh;
class TZAVMaterialMap;

// [SECTION] Constants and hooks

// Maps of this many pixels and more are refused before anything is allocated, like images.
inline constexpr int64_t MaxMapPixels = ImagePixelLimit;
// Either side of a map is at most this long, so that every map can be written as a PNG.
inline constexpr int32_t MaxMapSide = 65536;

// Both sides from 1 to MaxMapSide, and fewer than MaxMapPixels pixels.
inline bool IsMapSizeAllowed(int64_t width, int64_t height)
{
    return width >= 1 && height >= 1 && width <= MaxMapSide && height <= MaxMapSide &&
           width * height < MaxMapPixels;
}
// Seam preparation of larger maps is announced in the message panel.
inline constexpr int64_t AnnouncedSeamPixels = 1048576;

// Bytes of memory the machine can still give; -1 when it cannot tell.
using TZAVFreeMemoryReader = int64_t (*)();
// Null (the default) reads MemAvailable of /proc/meminfo, or sysinfo when that is missing.
void SetFreeMemoryReader(TZAVFreeMemoryReader reader);
// False, with a message giving the sizes, when the pixels and coverage mask of a width × height
// map need more than the machine has free. A machine that cannot tell is trusted.
[[nodiscard]] bool MapFitsInMemory(int32_t width, int32_t height, std::string& out_message);

// Uploads the node's pixel rectangle into the map's texture after a seam fix.
using TZAVMapUploadHook = void (*)(TZAVMaterialMap& map, const TTarnwick_PolyQuadTreeNode& node);
// Null (the default, without OpenGL) makes the upload a no-op.
void SetMapUploadHook(TZAVMapUploadHook hook);
// Deletes the texture of a map that is destroyed while it has one; without it the texture would
// stay in texture memory until the program ends.
using TZAVMapReleaseHook = void (*)(TZAVMaterialMap& map);
void SetMapReleaseHook(TZAVMapReleaseHook hook);

// [SECTION] TZAVMaterialMap

class TZAVMaterialMap : public TTarnwick_Thingy
{
public:
    TZAVMaterialMap();
    ~TZAVMaterialMap() override;

    // Width × height pixels of DefaultColor and a cleared coverage mask. A size that
    // IsMapSizeAllowed or MapFitsInMemory refuses, or one whose memory cannot be had, is refused
    // with a message giving the size; the map then stays as it was.
    [[nodiscard]] bool AllocatePixels(int32_t width, int32_t height);
    bool HasPixels() const { return !Pixels.empty(); }
    int32_t PixelCount() const { return Width * Height; }
    uint8_t* PixelAt(int32_t x, int32_t y) { return &Pixels[3 * (size_t(y) * size_t(Width) + size_t(x))]; }
    bool IsCovered(int32_t pixel) const { return (CoverageMask[size_t(pixel) >> 3] >> (pixel & 7)) & 1; }

    // The tree of every textured polygon of the mesh. Sets PolygonFlag_Textured in the mesh's
    // polygon flags and keeps the polygons' texture bounds; seam preparation starts over.
    void BuildQuadTree(TZAVPolyMesh& mesh);
    void DropQuadTree();
    // The pixel under a point of the mesh's surface; no node when there is no tree or no point.
    TTarnwick_MapPixel FindPixel(const TZAVPolyMesh& mesh, const TTarnwick_SurfacePoint& point);

    // The coverage mask from the texture-space polygons of the tree's root.
    void ComputeCoverageMask(const TZAVPolyMesh& mesh);
    // Drops the mask and the seam pairs (after a load, or when the texture coordinates changed).
    void InvalidateCoverage();
    // Pixels outside every island and within this many rings of one take the colour of the
    // nearest covered pixel in a seam fix; 0 pads nothing. Clamped to 0..MaxPaintBleedWidth; a
    // change drops the seam pairs. Painting code passes the PaintBleedWidth setting.
    void SetBleedWidth(int32_t width);
    int32_t GetBleedWidth() const { return BleedWidth; }
    // Seam pairs of the nodes of depth ImageLevel, within time_budget seconds when that is above
    // 1e-30; a later call goes on where this one stopped. Needs the tree and a valid mask; true
    // once every node is done. A node's pairs run ring by ring outward from its islands, so that
    // each pair copies a pixel that an earlier pair, or the painting, has already set.
    bool PrepareSeams(double time_budget);
    // After painting: copies each seam pair's inside pixel to its outside pixel in the nodes whose
    // pixels changed, then uploads the changed nodes. Computes what is missing first (tree, mask,
    // seams). The caller picks the maps: visible, not culled, uploaded, of a visible mesh. False
    // (with a message) when a node has no image-level node or a pair lies outside the image.
    bool FixSeams(TZAVPolyMesh& mesh);

    // Persistence. The text form is the thingy lines then the project record, whose "data" holds
    // the pixels as PNG bytes; the mesh opens the "map" block around it. The old binary record is
    // read only.
    bool SaveToStream_Text(FILE* file) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    bool LoadFromStream_Text(TZAVTextReader& reader) override;
    [[nodiscard]] bool SaveToProject(FILE* file);
    // One key of the project record other than "data"; false when the key is not the map's.
    bool LoadFromProject(std::string_view key, std::string_view value);
    bool SaveToStream(FILE* file) override;
    bool LoadFromStream(FILE* file) override;
    // The PNG coding of big maps takes as long as writing or reading the rest of a figure, so it
    // may run on a side thread meanwhile. StartEncoding begins the PNG of the pixels for the next
    // SaveToProject; with DecodeLater set, a "data" block read starts decoding and FinishLoading
    // takes the pixels (false, with the reason, when the image cannot be read).
    void StartEncoding();
    [[nodiscard]] bool FinishLoading(std::string& out_problem);
    bool DecodeLater = false;

    int32_t Width = 0;
    int32_t Height = 0;
    // Width·Height·3 bytes, R, G, B; row 0 is v = 0.
    std::vector<uint8_t> Pixels;
    std::string MapFileName;
    std::string FileFormat;
    float DefaultColor[3] = {1.0f, 1.0f, 1.0f};
    // Bit i (i = y·Width + x) is bit i mod 8 of byte i / 8.
    std::vector<uint8_t> CoverageMask;
    uint8_t CoverageValid = 0;

    uint32_t TextureId = 0;
    uint8_t Compressed = 0;
    uint8_t Culled = 0;
    uint8_t Visible = 0;
    uint8_t OutOfMemory = 0;
    // Position in the mesh's map list, refreshed before each paint step.
    int32_t Index = -1;

    int32_t ImageLevel = 0;
    int32_t MaxDepth = 2;
    TTarnwick_PolyQuadTreeNode* Root = nullptr;
    // Every node of the tree, root first; owns them.
    TZAVMultiList<TTarnwick_PolyQuadTreeNode*> QuadNodeList;
    // 4 per polygon, the bounds the tree was built from.
    std::vector<int16_t> PolygonTextureBounds;
    uint8_t SeamsStarted = 0;
    uint8_t SeamsPrepared = 0;

    uint8_t Painted = 0;
    uint8_t UploadPending = 0;

private:
    struct TCodedImage
    {
        bool Done = false;
        std::string Error;
        std::vector<uint8_t> Png;
        TZAVPixelBuffer Pixels;
        int32_t Width = 0;
        int32_t Height = 0;
    };
    // Takes decoded pixels as the map's own; false with the reason when the decode failed.
    bool TakeDecoded(TCodedImage& decoded, std::string& out_problem);
    void DropSeamPairs();

    int32_t BleedWidth;

    std::future<TCodedImage> PendingEncode;
    std::future<TCodedImage> PendingDecode;
};

using TZAVMaterialMapPtr = TZAVMaterialMap*;

// [SECTION] Creating, finding and reading maps

// A new map for the channel of that name (any case), named after it: "ColorMap" with a colour
// the user chooses (cancelling gives null), "BumpMap" grey, "DisplacementMap" black,
// "TransparencyMap" white, "New_Map" for any other channel. Bump, displacement and transparency
// maps come with a notice that the renderer does not show them. Null as well when the pixels
// cannot be had.
std::unique_ptr<TZAVMaterialMap> CreateMap(std::string_view channel, int32_t width, int32_t height);

// The map at `index` of the mesh's list; null when there is none or it is not a map.
TZAVMaterialMap* MaterialMapAt(const TTarnwick_Mesh& mesh, int32_t index);

// Lets meshes read their "map" blocks. Called once at start-up (and by tests that read maps).
void InstallMaterialMapReader();

// Expands run-length coded colour planes (value, run pairs; all R, then all G, then all B) into
// interleaved pixels of `channels` bytes. False when the runs would write past pixel_count
// pixels; out_pixels is then left as it was.
[[nodiscard]] bool ExpandMapPlanes(std::span<const uint8_t> compressed, int32_t pixel_count, int32_t channels,
                                   std::vector<uint8_t>& out_pixels);
