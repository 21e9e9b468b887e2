// The texture-map commands. The map a command works on is the entry of the current object's map
// list that the event's Index names. Every change of pixels is recorded as a map record first;
// creating and deleting a map record the material assignments they change. Material colours have
// no undo record type, so setting every material white asks first instead.
#include "app/map_commands.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/dispatcher.h"
#include "app/panel_commands.h"
#include "app/resize_map_window.h"
#include "core/clipboard.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/project.h"
#include "mesh/material.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "paint/undo_buffer.h"

namespace {

enum TMapCommand : int32_t
{
    HoldTexturesCommand = 6,
    SetFileFormatCommand = 12,
    ResizeMapCommand = 13,
    ClearMapCommand = 15,
    ReleaseBrushImagesCommand = 20,
    CheckPaintableCommand = 38,
    PaintChannelCheckCommand = 69,
    DeleteMapCommand = 72,
    CreateMapCommand = 73,
    // The "Resize map..." dialog for the map the event's Index names, or for every map of the
    // current object at once.
    ResizeMapDialogCommand = 74,
    ResizeAllMapsDialogCommand = 75,
    AssignMapCommand = 86,
    AllMaterialsWhiteCommand = 87,
    DetachMapCommand = 88,
    FetchTexturesCommand = 95,
    ToggleChannelCommand = 98,
    RefreshMapsCommand = 103,
    PasteIntoMapCommand = 216,
    CopyMapCommand = 217,
    PasteNewMapCommand = 218,
};

constexpr int32_t UploadMapsCommand = 77;
constexpr int32_t LayOutCommand = 66;
constexpr int32_t DefaultMapSize = 1024;

// Copies of the current object's maps, by map ID, as command 6 found them.
std::vector<std::unique_ptr<TTarnwick_SavedMap>> HeldMaps;

std::vector<TZAVMaterialMap*> Maps(const TTarnwick_Mesh& mesh)
{
    std::vector<TZAVMaterialMap*> maps;
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++)
        if (TZAVMaterialMap* map = MaterialMapAt(mesh, index))
            maps.push_back(map);
    return maps;
}

TZAVMaterialMap* RequireMap(const TTarnwick_Mesh& mesh, const TZAVEvent& event, const char* refusal)
{
    TZAVMaterialMap* map = event.GetIndex() >= 0 ? MaterialMapAt(mesh, event.GetIndex()) : nullptr;
    if (map == nullptr)
        AddWarning("%s", refusal);
    return map;
}

void RecordMap(const TZAVMaterialMap& map)
{
    auto record = TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_Map, -1);
    if (record != nullptr)
        record->SavedMap = TTarnwick_SavedMap::From(map);
    RecordUndo(std::move(record));
}

void RecordAssignments(const TTarnwick_Mesh& mesh)
{
    auto record = TarnwickProject->UndoBuffer.CreateUndoNode(UndoType_MapAssignments, -1);
    if (record != nullptr) {
        record->Assignments = CaptureMapAssignments(mesh);
        record->HasAssignments = true;
    }
    RecordUndo(std::move(record));
}

// The pixels changed as a whole: the texture follows with the next upload.
void PixelsReplaced(TZAVMaterialMap& map)
{
    map.DropQuadTree();
    map.InvalidateCoverage();
    map.UploadPending = 1;
    TarnwickProject->CurrentObject->Mesh->MapsEdited = true;
    PostCommand(UploadMapsCommand);
}

bool ResizeMap(TZAVMaterialMap& map, int32_t width, int32_t height)
{
    if (!IsMapSizeAllowed(width, height) || !map.HasPixels()) {
        AddWarning("Error resizing map");
        return false;
    }
    RecordMap(map);
    const std::unique_ptr<TTarnwick_SavedMap> old = TTarnwick_SavedMap::From(map);
    if (!map.AllocatePixels(width, height)) {
        AddWarning("Error resizing map");
        return false;
    }
    // Nearest pixel: a resize keeps painted strokes sharp, and the user may resize back.
    for (int32_t y = 0; y < height; y++) {
        const int32_t source_y = int32_t(int64_t(y) * old->Height / height);
        for (int32_t x = 0; x < width; x++) {
            const int32_t source_x = int32_t(int64_t(x) * old->Width / width);
            std::copy_n(&old->Pixels[3 * (size_t(source_y) * size_t(old->Width) + size_t(source_x))], 3,
                        map.PixelAt(x, y));
        }
    }
    PixelsReplaced(map);
    AddStatus("Resized map to %dx%d", width, height);
    return true;
}

bool ClearMap(TZAVMaterialMap& map)
{
    if (!map.HasPixels()) {
        AddWarning("This map has no pixels!");
        return false;
    }
    RecordMap(map);
    uint8_t colour[3];
    for (int32_t i = 0; i < 3; i++)
        colour[i] = uint8_t(std::clamp(map.DefaultColor[i], 0.0f, 1.0f) * 255.0f + 0.5f);
    for (size_t pixel = 0; pixel + 2 < map.Pixels.size(); pixel += 3)
        std::copy_n(colour, 3, &map.Pixels[pixel]);
    PixelsReplaced(map);
    AddStatus("Cleared the map \"%s\".", map.GetName());
    return true;
}

// The channel indices past a removed map move down by one; those of the removed map are cleared.
void ForgetMapIndex(TTarnwick_Mesh& mesh, int32_t removed)
{
    for (TZAVMaterial* material : mesh.Materials)
        for (TZAVMaterialChannel* channel : material->ArbChannels) {
            if (channel->TextureIndex == removed)
                channel->TextureIndex = -1;
            else if (channel->TextureIndex > removed)
                channel->TextureIndex--;
        }
}

bool DeleteMap(TTarnwick_Mesh& mesh, const TZAVEvent& event)
{
    if (event.GetIndex() < 0) {
        AddWarning("Please select a map to delete");
        return false;
    }
    TZAVMaterialMap* map = MaterialMapAt(mesh, event.GetIndex());
    if (map == nullptr) {
        AddWarning("Error getting Map %d", event.GetIndex());
        return false;
    }
    if (!AskYesNo(GlobalDialogHost, "Are you sure that you would like to delete the map \"%s\"?",
                  map->GetName()))
        return false;
    RecordAssignments(mesh);
    const std::string name = map->GetName();
    mesh.MaterialMaps.DeleteAt(event.GetIndex());
    ForgetMapIndex(mesh, event.GetIndex());
    AddStatus("Deleted the map \"%s\"", name.c_str());
    PostCommand(LayOutCommand);
    PostCommand(RefreshPanelsCommand);
    return true;
}

std::string UnusedMapName(const TTarnwick_Mesh& mesh, const std::string& name)
{
    const std::vector<TZAVMaterialMap*> maps = Maps(mesh);
    auto taken = [&](const std::string& candidate) {
        return std::any_of(maps.begin(), maps.end(),
                           [&](TZAVMaterialMap* map) { return candidate == map->GetName(); });
    };
    if (!taken(name))
        return name;
    for (int32_t number = 1;; number++) {
        std::string candidate = name + "_" + std::to_string(number);
        if (!taken(candidate))
            return candidate;
    }
}

// String parameter 0 names the channel, integer parameter 1 asks for assigning it to all
// materials, integer parameters 2 and 3 give the size (1024 square when not given).
bool CreateMapCommandRun(TTarnwick_Mesh& mesh, const TZAVEvent& event)
{
    const char* channel = event.GetStringParameter(0);
    const std::string channel_name = channel != nullptr ? channel : "";
    const int32_t width = event.IntegerParameters[2] > 0 ? event.IntegerParameters[2] : DefaultMapSize;
    const int32_t height = event.IntegerParameters[3] > 0 ? event.IntegerParameters[3] : DefaultMapSize;
    std::unique_ptr<TZAVMaterialMap> map = CreateMap(channel_name, width, height);
    if (!map)
        return false;
    map->SetNameLiteral(UnusedMapName(mesh, map->GetName()));
    const bool assign_all =
        event.IntegerParameters[1] == 1 &&
        AskYesNo(GlobalDialogHost, "Would you like to assign this map to ALL of the materials?");
    RecordAssignments(mesh);
    TZAVMaterialMap* added = map.release();
    if (!assign_all || AttachMap(mesh, added, channel_name, "") == 0)
        if (mesh.MaterialMaps.IndexOf(added) < 0)
            mesh.MaterialMaps.Add(added);
    added->UploadPending = 1;
    mesh.MapsEdited = true;
    AddStatus("Created a new %d x %d map.", width, height);
    PostCommand(UploadMapsCommand);
    PostCommand(RefreshPanelsCommand);
    return true;
}

// String parameter 0 names the channel, string parameter 1 the material (every one when absent).
template <typename TChange> int32_t ForChannels(TTarnwick_Mesh& mesh, const TZAVEvent& event, TChange change)
{
    const char* channel = event.GetStringParameter(0);
    const char* material_name = event.GetStringParameter(1);
    int32_t changed = 0;
    for (TZAVMaterial* material : mesh.Materials) {
        if (material_name != nullptr && !SameTextNoCase(material->GetName(), material_name))
            continue;
        if (TZAVMaterialChannel* found = channel != nullptr ? material->FindChannel(channel) : nullptr) {
            change(*found);
            changed++;
        }
    }
    return changed;
}

int32_t ReadLittle(const std::vector<uint8_t>& bytes, size_t at, size_t count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; i++)
        value |= uint32_t(bytes[at + i]) << (8 * i);
    return int32_t(value);
}

// The clipboard's image (a 24- or 32-bit uncompressed DIB, either row order) as a map of its own
// size; null, after "Nothing to paste" or "Error pasting map", when it holds none that fits.
std::unique_ptr<TZAVMaterialMap> PastedMap()
{
    std::vector<uint8_t> dib;
    if (!GetClipboardImage(dib) || dib.size() < 40) {
        AddWarning("Nothing to paste");
        return nullptr;
    }
    const int32_t header = ReadLittle(dib, 0, 4);
    const int32_t width = ReadLittle(dib, 4, 4);
    const int32_t signed_height = ReadLittle(dib, 8, 4);
    const int32_t bits = ReadLittle(dib, 14, 2);
    const int32_t compression = ReadLittle(dib, 16, 4);
    const int64_t rows = signed_height < 0 ? -int64_t(signed_height) : int64_t(signed_height);
    const int64_t stride = (int64_t(width) * (bits / 8) + 3) / 4 * 4;
    auto map = std::make_unique<TZAVMaterialMap>();
    if (header < 40 || (bits != 24 && bits != 32) || compression != 0 || !IsMapSizeAllowed(width, rows) ||
        int64_t(dib.size()) < header + stride * rows || !map->AllocatePixels(width, int32_t(rows))) {
        AddWarning("Error pasting map");
        return nullptr;
    }
    for (int32_t row = 0; row < int32_t(rows); row++) {
        // Rows run bottom up unless the height is negative; map row 0 is the bottom too.
        const int32_t y = signed_height < 0 ? int32_t(rows) - 1 - row : row;
        const uint8_t* source = &dib[size_t(header + stride * row)];
        for (int32_t x = 0; x < width; x++, source += bits / 8) {
            uint8_t* pixel = map->PixelAt(x, y);
            pixel[0] = source[2];
            pixel[1] = source[1];
            pixel[2] = source[0];
        }
    }
    return map;
}

// Into the selected map, stretched to its size.
bool PasteIntoMap(TZAVMaterialMap& map)
{
    if (!map.HasPixels()) {
        AddWarning("This map has no pixels");
        return false;
    }
    std::unique_ptr<TZAVMaterialMap> pasted = PastedMap();
    if (!pasted)
        return false;
    RecordMap(map);
    for (int32_t y = 0; y < map.Height; y++)
        for (int32_t x = 0; x < map.Width; x++)
            std::copy_n(pasted->PixelAt(int32_t(int64_t(x) * pasted->Width / map.Width),
                                        int32_t(int64_t(y) * pasted->Height / map.Height)),
                        3, map.PixelAt(x, y));
    PixelsReplaced(map);
    return true;
}

// A new map of the clipboard's image; adding a map changes no assignment, so there is nothing to
// record for undo.
bool PasteNewMap(TTarnwick_Mesh& mesh)
{
    std::unique_ptr<TZAVMaterialMap> pasted = PastedMap();
    if (!pasted)
        return false;
    pasted->SetNameLiteral(UnusedMapName(mesh, "Pasted_Map"));
    pasted->UploadPending = 1;
    mesh.MaterialMaps.Add(pasted.release());
    mesh.MapsEdited = true;
    PostCommand(UploadMapsCommand);
    PostCommand(RefreshPanelsCommand);
    return true;
}

bool HoldTextures(const TTarnwick_Mesh& mesh)
{
    if (!AskYesNo(GlobalDialogHost,
                  "Are you sure that you would like to hold the current textures.\n"
                  "The previously \"held\" textures will be lost in favor of the current ones."))
        return false;
    HeldMaps.clear();
    for (TZAVMaterialMap* map : Maps(mesh))
        HeldMaps.push_back(TTarnwick_SavedMap::From(*map));
    return true;
}

bool FetchTextures(const TTarnwick_Mesh& mesh)
{
    if (!AskYesNo(GlobalDialogHost,
                  "Are you sure that you would like to fetch the previously \"held\" textures.\n"
                  "Any changes that you made since then will be lost"))
        return false;
    int32_t fetched = 0;
    for (TZAVMaterialMap* map : Maps(mesh))
        for (const std::unique_ptr<TTarnwick_SavedMap>& held : HeldMaps)
            if (held->MapID == map->ID) {
                RecordMap(*map);
                held->RestoreInto(*map);
                PixelsReplaced(*map);
                fetched++;
            }
    return fetched > 0;
}

} // namespace

void ForgetHeldTextures()
{
    HeldMaps.clear();
}

int32_t HeldTextureCount()
{
    return int32_t(HeldMaps.size());
}

bool IsMapCommand(int32_t id)
{
    switch (id) {
    case HoldTexturesCommand:
    case SetFileFormatCommand:
    case ResizeMapCommand:
    case ClearMapCommand:
    case ReleaseBrushImagesCommand:
    case CheckPaintableCommand:
    case PaintChannelCheckCommand:
    case DeleteMapCommand:
    case CreateMapCommand:
    case ResizeMapDialogCommand:
    case ResizeAllMapsDialogCommand:
    case AssignMapCommand:
    case AllMaterialsWhiteCommand:
    case DetachMapCommand:
    case FetchTexturesCommand:
    case ToggleChannelCommand:
    case RefreshMapsCommand:
    case PasteIntoMapCommand:
    case CopyMapCommand:
    case PasteNewMapCommand:
        return true;
    default:
        return false;
    }
}

bool HandleMapCommand(TZAVEvent* event)
{
    const int32_t id = event->GetID();
    if (TarnwickProject == nullptr || !IsMapCommand(id))
        return false;
    if (id == ReleaseBrushImagesCommand) {
        // The images hold pixels only; the brushes upload their own previews.
        for (TTarnwick_TextureBrushImage* image : TarnwickProject->BrushImages)
            AddStatus("Unbinding %s", image->GetName());
        return true;
    }
    TTarnwick_Mesh* mesh = RequireCurrentMesh();
    if (mesh == nullptr)
        return false;
    switch (id) {
    case HoldTexturesCommand:
        return HoldTextures(*mesh);
    case FetchTexturesCommand:
        return FetchTextures(*mesh);
    case SetFileFormatCommand: {
        TZAVMaterialMap* map = RequireMap(*mesh, *event, "Please select a map");
        const char* format = event->GetStringParameter(0);
        if (map == nullptr || format == nullptr)
            return false;
        AddStatus("Setting file format to %s", format);
        map->FileFormat = format;
        return true;
    }
    case ResizeMapCommand: {
        TZAVMaterialMap* map = RequireMap(*mesh, *event, "Please select a map");
        return map != nullptr && ResizeMap(*map, event->IntegerParameters[0], event->IntegerParameters[1]);
    }
    case ResizeMapDialogCommand: {
        TZAVMaterialMap* map = RequireMap(*mesh, *event, "Please select a map");
        if (map == nullptr)
            return false;
        if (!map->HasPixels()) {
            AddWarning("This map has no pixels!");
            return false;
        }
        ResizeMapWindow().Open(TarnwickProject->CurrentObject, {event->GetIndex()}, map->Width, map->Height);
        return true;
    }
    case ResizeAllMapsDialogCommand: {
        std::vector<int32_t> indices;
        const TZAVMaterialMap* first = nullptr;
        for (int32_t index = 0; index < mesh->MaterialMaps.Count(); index++)
            if (const TZAVMaterialMap* map = MaterialMapAt(*mesh, index);
                map != nullptr && map->HasPixels()) {
                indices.push_back(index);
                first = first != nullptr ? first : map;
            }
        if (first == nullptr) {
            AddWarning("Please select a map");
            return false;
        }
        ResizeMapWindow().Open(TarnwickProject->CurrentObject, std::move(indices), first->Width,
                               first->Height);
        return true;
    }
    case ClearMapCommand: {
        TZAVMaterialMap* map = RequireMap(*mesh, *event, "Please select a map");
        return map != nullptr && ClearMap(*map);
    }
    case CheckPaintableCommand: {
        AddStatus("Analyzing the object to see if it is OK to paint on.");
        if (mesh->GetTexVertexCount() == 0) {
            AddWarning("This object has no texture coordinates and cannot be painted on.");
            return false;
        }
        if (Maps(*mesh).empty()) {
            AddWarning("This object has no maps to paint on.");
            return false;
        }
        return true;
    }
    case PaintChannelCheckCommand: {
        const char* channel = event->GetStringParameter(0);
        if (channel == nullptr || channel[0] == '\0') {
            AddWarning("Paint Channel not specified");
            return false;
        }
        return true;
    }
    case DeleteMapCommand:
        return DeleteMap(*mesh, *event);
    case CreateMapCommand:
        return CreateMapCommandRun(*mesh, *event);
    case AssignMapCommand: {
        TZAVMaterialMap* map = RequireMap(*mesh, *event, "Please select a map");
        const char* channel = event->GetStringParameter(0);
        if (map == nullptr || channel == nullptr)
            return false;
        RecordAssignments(*mesh);
        const char* material = event->GetStringParameter(1);
        if (AttachMap(*mesh, map, channel, material != nullptr ? material : "") == 0)
            return false;
        PostCommand(UploadMapsCommand);
        PostCommand(RefreshPanelsCommand);
        return true;
    }
    case DetachMapCommand:
        RecordAssignments(*mesh);
        if (ForChannels(*mesh, *event, [](TZAVMaterialChannel& channel) { channel.TextureIndex = -1; }) == 0)
            return false;
        PostCommand(RefreshPanelsCommand);
        return true;
    case ToggleChannelCommand:
        if (ForChannels(*mesh, *event,
                        [](TZAVMaterialChannel& channel) { channel.Enabled = channel.Enabled ? 0 : 1; }) == 0)
            return false;
        TarnwickProject->SceneChanged = true;
        return true;
    case AllMaterialsWhiteCommand: {
        if (!AskYesNo(GlobalDialogHost,
                      "Are you sure that you would like to set the color of all of the materials to white?"))
            return false;
        AddStatus("Setting the color of all of the materials to white.");
        for (TZAVMaterial* material : mesh->Materials)
            for (TZAVMaterialChannel* channel : material->ArbChannels)
                if (SameTextNoCase(channel->GetName(), "Color"))
                    std::fill_n(channel->Colors[0], 3, 1.0f);
        TarnwickProject->SceneChanged = true;
        return true;
    }
    case PasteIntoMapCommand: {
        TZAVMaterialMap* map = RequireMap(*mesh, *event, "Please select a map");
        return map != nullptr && PasteIntoMap(*map);
    }
    case PasteNewMapCommand:
        return PasteNewMap(*mesh);
    case CopyMapCommand: {
        TZAVMaterialMap* map = RequireMap(*mesh, *event, "Please select a map");
        if (map == nullptr)
            return false;
        if (!map->HasPixels()) {
            AddWarning("This map has no pixels!");
            return false;
        }
        if (!CopyImageToClipboard(GlobalDialogHost, map->Pixels.data(), map->Width, map->Height))
            return false;
        AddStatus("Copied the map \"%s\" to the clipboard.", map->GetName());
        return true;
    }
    case RefreshMapsCommand:
        for (TZAVMaterialMap* map : Maps(*mesh))
            map->UploadPending = 1;
        PostCommand(UploadMapsCommand);
        return true;
    default:
        return false;
    }
}
