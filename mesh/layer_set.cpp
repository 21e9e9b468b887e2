// Layer set files and the user's folder of layer sets.
#include "mesh/layer_set.h"

#include <array>
#include <cstdio>
#include <span>

#include "core/binary_chunk.h"
#include "core/dialogs.h"
#include "core/file_handle.h"
#include "core/paths.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_line.h"
#include "core/text_scan.h"
#include "mesh/layer.h"

namespace {

// The fields a layer set can change, kept so that a refused file can be undone.
struct TLayerFields
{
    std::string Name;
    bool ReadOnly = false;
    uint32_t DisplayFlags = 0;
    uint8_t Locked = 0;
    float Color[3] = {0, 0, 0};
};

std::array<TLayerFields, LayerCount> CaptureLayers(const TTarnwick_LayerList& layers)
{
    std::array<TLayerFields, LayerCount> fields;
    for (int32_t index = 0; index < LayerCount; index++) {
        const TTarnwick_Layer& layer = layers.Layers[index];
        fields[index] = {layer.Name,
                         layer.ReadOnly,
                         layer.DisplayFlags,
                         layer.Locked,
                         {layer.Color[0], layer.Color[1], layer.Color[2]}};
    }
    return fields;
}

void RestoreLayers(TTarnwick_LayerList& layers, const std::array<TLayerFields, LayerCount>& fields)
{
    for (int32_t index = 0; index < LayerCount; index++) {
        TTarnwick_Layer& layer = layers.Layers[index];
        layer.Name = fields[index].Name;
        layer.ReadOnly = fields[index].ReadOnly;
        layer.DisplayFlags = fields[index].DisplayFlags;
        layer.Locked = fields[index].Locked;
        for (int32_t k = 0; k < 3; k++)
            layer.Color[k] = fields[index].Color[k];
    }
}

bool WriteLayerSetBody(FILE* file, TTarnwick_LayerList& layers, const TTarnwick_LayerSetMesh& mesh)
{
    bool written = std::fprintf(file, "verify_vcount %d\n", mesh.VertexCount) > 0 &&
                   std::fprintf(file, "verify_pcount %d\n", mesh.PolygonCount) > 0;
    for (TTarnwick_Layer& layer : layers.Layers)
        written = written && layer.SaveToStream_Text(file);
    if (!written || mesh.PolygonCount <= 0)
        return written;
    const std::vector<uint32_t>& masks = *mesh.PolygonLayerFlags;
    std::vector<uint8_t> bytes(size_t(mesh.PolygonCount) * 4);
    for (int32_t polygon = 0; polygon < mesh.PolygonCount; polygon++) {
        uint32_t mask = size_t(polygon) < masks.size() ? masks[polygon] : 0;
        EncodeInt32LE(&bytes[size_t(polygon) * 4], int32_t(mask));
    }
    return WriteBinaryBlock(file, bytes, "PolygonLayerFlags");
}

// The path an index line names inside folder, or empty when it names a file anywhere else.
std::string LayerSetPathOf(const std::string& folder, const std::string& line)
{
    std::string line_folder;
    std::string name;
    SplitPath(line, line_folder, name);
    if (name.empty() || name == "." || name == "..")
        return {};
    if (!line_folder.empty() && line_folder != folder)
        return {};
    return folder + name;
}

bool WriteIndex(const std::string& folder, const std::vector<std::string>& names)
{
    std::string path = folder + LayerSetIndexName;
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    bool written = file != nullptr;
    for (const std::string& name : names)
        written = written && std::fprintf(file, "%s\n", name.c_str()) > 0;
    // Commit even after a failed write: it names the cause.
    if (file != nullptr && writer.Commit() && written)
        return true;
    AddWarning("Cannot write the file %s: %s", path.c_str(), writer.Error().c_str());
    return false;
}

} // namespace

// [SECTION] Layer set files

bool SaveLayerSet(const std::string& path, TTarnwick_LayerList& layers, const TTarnwick_LayerSetMesh& mesh)
{
    if (mesh.PolygonLayerFlags == nullptr) {
        ShowMessage(GlobalDialogHost, "Please select an object first");
        return false;
    }
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        ShowError(GlobalDialogHost, "Cannot create the file %s: %s", path.c_str(), writer.Error().c_str());
        return false;
    }
    TTextBlockLevelScope level;
    if (!WriteLayerSetBody(file, layers, mesh) || !writer.Commit()) {
        ShowError(GlobalDialogHost, "Error writing the file %s: %s", path.c_str(),
                  writer.Error().empty() ? "the write failed" : writer.Error().c_str());
        return false;
    }
    return true;
}

bool LoadLayerSet(const std::string& path, TTarnwick_LayerList& layers, const TTarnwick_LayerSetMesh& mesh)
{
    if (mesh.PolygonLayerFlags == nullptr) {
        ShowMessage(GlobalDialogHost, "Please select an object first");
        return false;
    }
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        ShowError(GlobalDialogHost, "Cannot open the file %s", path.c_str());
        return false;
    }
    const auto original = CaptureLayers(layers);
    TZAVTextReader reader(file.get(), path);
    std::vector<uint32_t> masks;
    bool masks_read = false;
    int32_t next_layer = 0;
    std::string_view line;
    std::string_view key;
    std::string_view value;
    while (!reader.Failed() && reader.ReadTrimmedLine(line)) {
        if (line == "{") {
            // A block no key claims, such as a 33rd layer.
            SkipTextBlock(reader);
            continue;
        }
        SplitKeyValue(line, key, value);
        if (SameTextNoCase(key, "verify_vcount")) {
            if (TextValueInt(value) != mesh.VertexCount)
                AddWarning("The vertex count used in this layer set does not match the current object. This "
                           "may or may not cause issues with the layer set.");
        } else if (SameTextNoCase(key, "verify_pcount")) {
            if (TextValueInt(value) != mesh.PolygonCount) {
                // The layers read so far stay; the masks cannot fit this mesh.
                layers.SyncCurrentFlags();
                ShowMessage(GlobalDialogHost,
                            "The polygon count used in this layer set does not match the current object.");
                return false;
            }
        } else if (SameTextNoCase(key, "layer") && next_layer < LayerCount) {
            TTarnwick_Layer& layer = layers.Layers[next_layer++];
            layer.SetNameLiteral(value);
            layer.LoadFromStream_Text(reader);
        } else if (SameTextNoCase(key, "PolygonLayerFlags")) {
            std::vector<uint8_t> bytes;
            if (!ReadBinaryBlock(reader, bytes))
                break;
            if (bytes.size() != size_t(mesh.PolygonCount) * 4) {
                reader.Fail("the layer masks are for %zu polygons, the current object has %d",
                            bytes.size() / 4, mesh.PolygonCount);
                break;
            }
            masks.resize(size_t(mesh.PolygonCount));
            for (size_t polygon = 0; polygon < masks.size(); polygon++)
                masks[polygon] = uint32_t(DecodeInt32LE(&bytes[polygon * 4]));
            masks_read = true;
        }
    }
    if (reader.Failed()) {
        RestoreLayers(layers, original);
        ShowError(GlobalDialogHost, "The layer set was not loaded: %s", reader.Error().c_str());
        return false;
    }
    if (masks_read)
        *mesh.PolygonLayerFlags = std::move(masks);
    layers.SyncCurrentFlags();
    return true;
}

// [SECTION] The folder of layer sets

std::string LayerSetFolder(const std::string& user_folder)
{
    return WithTrailingSeparator(user_folder) + "Layer Sets" + PathSeparator;
}

bool ReadLayerSetIndex(const std::string& folder, std::vector<std::string>& out_names)
{
    out_names.clear();
    TZAVFileHandle file(std::fopen((WithTrailingSeparator(folder) + LayerSetIndexName).c_str(), "rb"));
    if (!file)
        return false;
    std::string text = ReadAllText(file.get());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view name(text.data() + start, end - start);
        if (!name.empty() && name.back() == '\r')
            name.remove_suffix(1);
        if (!name.empty())
            out_names.emplace_back(name);
        start = end + 1;
    }
    return true;
}

bool AddLayerSetToIndex(const std::string& folder, const std::string& file_name)
{
    std::string index_folder = WithTrailingSeparator(folder);
    std::vector<std::string> names;
    ReadLayerSetIndex(index_folder, names);
    for (const std::string& name : names)
        if (name == file_name)
            return true;
    names.push_back(file_name);
    return WriteIndex(index_folder, names);
}

bool DeleteAllLayerSets(const std::string& folder)
{
    if (!AskYesNo(GlobalDialogHost, "Are you sure that you would like to delete all of these layer sets?"))
        return false;
    std::string index_folder = WithTrailingSeparator(folder);
    std::vector<std::string> names;
    ReadLayerSetIndex(index_folder, names);
    bool deleted = true;
    for (const std::string& name : names) {
        std::string path = LayerSetPathOf(index_folder, name);
        if (path.empty()) {
            AddWarning("Not deleting \"%s\": it is not a file in %s", name.c_str(), index_folder.c_str());
            continue;
        }
        if (FileExists(path) && !DeleteFile(path)) {
            AddWarning("Cannot delete the file %s", path.c_str());
            deleted = false;
        }
    }
    std::string index_path = index_folder + LayerSetIndexName;
    if (FileExists(index_path) && !DeleteFile(index_path)) {
        AddWarning("Cannot delete the file %s", index_path.c_str());
        deleted = false;
    }
    return deleted;
}
