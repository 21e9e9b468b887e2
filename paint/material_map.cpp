// TZAVMaterialMap: pixels, the quadtree, creating maps for channels, and the text record. Seams
// are in material_map_seams.cpp, the old binary record in material_map_record.cpp.
//
// [SECTION] Pixels and the quadtree
// [SECTION] Creating and finding maps
// [SECTION] Text record
#include "paint/material_map.h"

#include <sys/sysinfo.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <new>

#include "core/dialogs.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "files/settings.h"
#include "mesh/sculpt_mesh.h"
#include "paint/image_file.h"
#include "paint/image_header.h"

namespace {

constexpr const char* RendererNotice =
    "%s\nYou may paint on this channel, however it's effects will not show up in Tarnwick's renderer.";

uint8_t ColourByte(float value)
{
    return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
}

// MemAvailable counts what the kernel can reclaim without swapping; sysinfo's free and buffer
// memory is the older, smaller estimate.
int64_t ReadMachineFreeMemory()
{
    if (FILE* file = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        long long kilobytes = -1;
        while (kilobytes < 0 && std::fgets(line, sizeof(line), file) != nullptr)
            if (std::sscanf(line, "MemAvailable: %lld kB", &kilobytes) != 1)
                kilobytes = -1;
        std::fclose(file);
        if (kilobytes >= 0)
            return int64_t(kilobytes) * 1024;
    }
    struct sysinfo info;
    if (sysinfo(&info) != 0)
        return -1;
    return (int64_t(info.freeram) + int64_t(info.bufferram)) * int64_t(info.mem_unit);
}

TZAVFreeMemoryReader free_memory_reader = nullptr;

std::string ByteSizeText(int64_t bytes)
{
    if (bytes < 1024)
        return FormatText("%d bytes", static_cast<int>(bytes));
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double size = double(bytes) / 1024.0;
    size_t unit = 0;
    while (size >= 1024.0 && unit + 1 < std::size(units)) {
        size /= 1024.0;
        unit++;
    }
    return FormatText("%.1f %s", size, units[unit]);
}

} // namespace

void SetFreeMemoryReader(TZAVFreeMemoryReader reader)
{
    free_memory_reader = reader;
}

bool MapFitsInMemory(int32_t width, int32_t height, std::string& out_message)
{
    const int64_t pixel_count = int64_t(std::max(width, 0)) * int64_t(std::max(height, 0));
    const int64_t needed = pixel_count * 3 + (pixel_count + 7) / 8;
    const int64_t free_bytes = free_memory_reader != nullptr ? free_memory_reader() : ReadMachineFreeMemory();
    if (free_bytes < 0 || needed <= free_bytes)
        return true;
    out_message = FormatText("The map of %d x %d pixels needs %s of memory, but only %s is free.", width,
                             height, ByteSizeText(needed).c_str(), ByteSizeText(free_bytes).c_str());
    return false;
}

// [SECTION] Pixels and the quadtree

TZAVMaterialMap::TZAVMaterialMap() : BleedWidth(DefaultPaintBleedWidth)
{
    SetNameLiteral("New_Map");
}

namespace {

TZAVMapReleaseHook map_release_hook = nullptr;

} // namespace

void SetMapReleaseHook(TZAVMapReleaseHook hook)
{
    map_release_hook = hook;
}

TZAVMaterialMap::~TZAVMaterialMap()
{
    if (TextureId != 0 && map_release_hook != nullptr)
        map_release_hook(*this);
    DropQuadTree();
}

bool TZAVMaterialMap::AllocatePixels(int32_t width, int32_t height)
{
    const int64_t pixel_count = int64_t(width) * int64_t(height);
    const int64_t megabytes = (pixel_count * 3 + (1 << 20) - 1) >> 20;
    if (width <= 0 || height <= 0) {
        ShowError(GlobalDialogHost, "A map of %d x %d pixels cannot be made.", width, height);
        return false;
    }
    bool allocated = IsMapSizeAllowed(width, height);
    std::string memory_problem;
    if (allocated && !MapFitsInMemory(width, height, memory_problem)) {
        ShowError(GlobalDialogHost, "%s", memory_problem.c_str());
        return false;
    }
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> mask;
    if (allocated) {
        try {
            pixels.resize(size_t(pixel_count) * 3);
            mask.assign(size_t(pixel_count + 7) / 8, 0);
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (!allocated) {
        ShowError(GlobalDialogHost,
                  "A map of %d x %d pixels needs %" PRId64
                  " MB, more memory than can be had. Please choose a "
                  "smaller size.",
                  width, height, megabytes);
        return false;
    }
    const uint8_t colour[3] = {ColourByte(DefaultColor[0]), ColourByte(DefaultColor[1]),
                               ColourByte(DefaultColor[2])};
    for (size_t pixel = 0; pixel < size_t(pixel_count); pixel++)
        std::copy(colour, colour + 3, &pixels[3 * pixel]);
    DropQuadTree();
    Width = width;
    Height = height;
    Pixels.swap(pixels);
    CoverageMask.swap(mask);
    CoverageValid = 0;
    return true;
}

void TZAVMaterialMap::DropQuadTree()
{
    QuadNodeList.Clear();
    Root = nullptr;
    SeamsStarted = 0;
    SeamsPrepared = 0;
}

void TZAVMaterialMap::BuildQuadTree(TZAVPolyMesh& mesh)
{
    DropQuadTree();
    const TTarnwick_QuadTreeShape shape = QuadTreeShapeFor(Width, Height);
    ImageLevel = shape.ImageLevel;
    MaxDepth = shape.MaxDepth;
    ComputePolygonTextureBounds(mesh, PolygonTextureBounds);
    TTarnwick_QuadTreeInput input;
    input.Width = Width;
    input.Height = Height;
    input.Shape = shape;
    input.Bounds = PolygonTextureBounds;
    input.PolygonFlags = mesh.PolygonFlags;
    Root = BuildPolyQuadTree(input, QuadNodeList);
}

TTarnwick_MapPixel TZAVMaterialMap::FindPixel(const TZAVPolyMesh& mesh, const TTarnwick_SurfacePoint& point)
{
    float uv[2];
    if (!TexturePointOf(mesh, point, uv))
        return {};
    return LocateMapPixel(Root, Width, Height, uv[0], uv[1]);
}

// [SECTION] Creating and finding maps

std::unique_ptr<TZAVMaterialMap> CreateMap(std::string_view channel, int32_t width, int32_t height)
{
    enum class TAsk
    {
        Colour,
        Notice,
    };
    struct TChannelMap
    {
        const char* Channel;
        const char* MapName;
        float Colour;
        TAsk Ask;
    };
    // The renderer shows colour maps only.
    constexpr TChannelMap ChannelMaps[] = {
        {"Color", "ColorMap", 1.0f, TAsk::Colour},
        {"Bump", "BumpMap", 0.5f, TAsk::Notice},
        {"Displacement", "DisplacementMap", 0.0f, TAsk::Notice},
        {"Transparency", "TransparencyMap", 1.0f, TAsk::Notice},
    };
    auto map = std::make_unique<TZAVMaterialMap>();
    const TChannelMap* found = nullptr;
    for (const TChannelMap& entry : ChannelMaps)
        if (SameTextNoCase(channel, entry.Channel))
            found = &entry;
    if (found != nullptr) {
        map->SetNameLiteral(found->MapName);
        std::fill(map->DefaultColor, map->DefaultColor + 3, found->Colour);
        if (found->Ask == TAsk::Colour) {
            if (!ChooseColour(GlobalDialogHost, map->DefaultColor, nullptr))
                return nullptr;
        } else {
            ShowMessage(GlobalDialogHost, RendererNotice, std::string(channel).c_str());
        }
    }
    if (!map->AllocatePixels(width, height))
        return nullptr;
    return map;
}

TZAVMaterialMap* MaterialMapAt(const TTarnwick_Mesh& mesh, int32_t index)
{
    TTarnwick_Thingy* item = nullptr;
    if (!mesh.MaterialMaps.Get(item, index))
        return nullptr;
    return dynamic_cast<TZAVMaterialMap*>(item);
}

namespace {

TTarnwick_Thingy* ReadMapBlock(TZAVTextReader& reader, std::string_view)
{
    auto map = std::make_unique<TZAVMaterialMap>();
    map->DecodeLater = true;
    if (!map->LoadFromStream_Text(reader))
        return nullptr;
    return map.release();
}

bool FinishMapBlock(TTarnwick_Thingy& item, std::string& out_problem)
{
    auto* map = dynamic_cast<TZAVMaterialMap*>(&item);
    return map == nullptr || map->FinishLoading(out_problem);
}

} // namespace

void InstallMaterialMapReader()
{
    TTarnwick_Mesh::SetMapBlockReader(ReadMapBlock, FinishMapBlock);
}

// [SECTION] Text record

bool TZAVMaterialMap::SaveToStream_Text(FILE* file)
{
    return TTarnwick_Thingy::SaveToStream_Text(file) && SaveToProject(file);
}

// The pixels travel as the bytes of a PNG file, encoded in memory.
bool TZAVMaterialMap::SaveToProject(FILE* file)
{
    bool written = WriteTextInt(file, "Width", Width) && WriteTextInt(file, "Height", Height) &&
                   WriteTextLine(file, "MapFileName", MapFileName) &&
                   WriteTextLine(file, "FileFormat", FileFormat) &&
                   WriteTextFloat3(file, "DefaultColor", DefaultColor);
    if (!written || !HasPixels())
        return written;
    if (!PendingEncode.valid())
        StartEncoding();
    const TCodedImage encoded = PendingEncode.get();
    if (!encoded.Done) {
        AddWarning("The pixels of the map \"%s\" cannot be saved: %s", GetName(), encoded.Error.c_str());
        return false;
    }
    return WriteBinaryBlock(file, encoded.Png, "data");
}

void TZAVMaterialMap::StartEncoding()
{
    if (!HasPixels())
        return;
    // The pixels stay untouched until SaveToProject has taken the result.
    PendingEncode = std::async(std::launch::async, [this] {
        TCodedImage encoded;
        encoded.Done = EncodePng(Pixels, Width, Height, encoded.Png, encoded.Error);
        return encoded;
    });
}

bool TZAVMaterialMap::FinishLoading(std::string& out_problem)
{
    if (!PendingDecode.valid())
        return true;
    TCodedImage decoded = PendingDecode.get();
    return TakeDecoded(decoded, out_problem);
}

bool TZAVMaterialMap::TakeDecoded(TCodedImage& decoded, std::string& out_problem)
{
    if (!decoded.Done) {
        out_problem = FormatText("the image of the map \"%s\" cannot be read: %s", GetName(), decoded.Error.c_str());
        return false;
    }
    if (!IsMapSizeAllowed(decoded.Width, decoded.Height)) {
        out_problem = FormatText("the image of the map \"%s\" is %d x %d pixels, too large for a map", GetName(),
                                 decoded.Width, decoded.Height);
        return false;
    }
    if (!MapFitsInMemory(decoded.Width, decoded.Height, out_problem))
        return false;
    Pixels.assign(decoded.Pixels.get(), decoded.Pixels.get() + 3 * size_t(decoded.Width) * size_t(decoded.Height));
    Width = decoded.Width;
    Height = decoded.Height;
    CoverageMask.assign((size_t(Width) * size_t(Height) + 7) / 8, 0);
    return true;
}

bool TZAVMaterialMap::LoadFromProject(std::string_view key, std::string_view value)
{
    if (SameTextNoCase(key, "Width"))
        Width = TextValueInt(value);
    else if (SameTextNoCase(key, "Height"))
        Height = TextValueInt(value);
    else if (SameTextNoCase(key, "MapFileName"))
        MapFileName.assign(value);
    else if (SameTextNoCase(key, "FileFormat"))
        FileFormat.assign(value);
    else if (SameTextNoCase(key, "DefaultColor"))
        TextValueFloat3(value, DefaultColor);
    else
        return false;
    return true;
}

bool TZAVMaterialMap::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                          std::string_view value)
{
    if (!SameTextNoCase(key, "data"))
        return LoadFromProject(key, value);
    std::vector<uint8_t> png;
    if (!ReadBinaryBlock(reader, png))
        return true;
    // The decoder's buffer is as large as the map's, so a map that cannot fit is refused first.
    const TZAVDeclaredSize declared = DeclaredImageSize(png, TZAVImageFormat::Png);
    std::string memory_problem;
    if (declared.Known && IsMapSizeAllowed(declared.Width, declared.Height) &&
        !MapFitsInMemory(int32_t(declared.Width), int32_t(declared.Height), memory_problem)) {
        reader.Fail("%s", memory_problem.c_str());
        return true;
    }
    auto decode = [](std::vector<uint8_t> bytes) {
        TCodedImage decoded;
        decoded.Done = DecodeImageBytes(bytes, decoded.Pixels, decoded.Width, decoded.Height, decoded.Error);
        return decoded;
    };
    if (DecodeLater) {
        PendingDecode = std::async(std::launch::async, decode, std::move(png));
        return true;
    }
    TCodedImage decoded = decode(std::move(png));
    std::string problem;
    if (!TakeDecoded(decoded, problem))
        reader.Fail("%s", problem.c_str());
    return true;
}

bool TZAVMaterialMap::LoadFromStream_Text(TZAVTextReader& reader)
{
    const bool read = TTarnwick_Thingy::LoadFromStream_Text(reader);
    DropQuadTree();
    InvalidateCoverage();
    if (!read)
        return false;
    // A map without pixels may be 0 x 0.
    if (Width < 0 || Height < 0 || ((Width > 0 || Height > 0) && !IsMapSizeAllowed(Width, Height))) {
        reader.Fail("the map \"%s\" gives the size %d x %d", GetName(), Width, Height);
        return false;
    }
    if (HasPixels() && Pixels.size() != 3 * size_t(Width) * size_t(Height)) {
        reader.Fail("the map \"%s\" holds an image of other sizes than its Width %d and Height %d", GetName(),
                    Width, Height);
        return false;
    }
    return true;
}
