#include "paint/map_assignments.h"

#include <cstring>

#include "core/paths.h"
#include "core/report.h"
#include "mesh/material.h"
#include "mesh/sculpt_mesh.h"
#include "paint/image_file.h"
#include "paint/material_map.h"

void TTarnwick_MapAssignments::Capture(const TTarnwick_Mesh& mesh)
{
    Nodes.Clear();
    for (TZAVMaterial* material : mesh.Materials) {
        for (TZAVMaterialChannel* channel : material->ArbChannels) {
            auto* node = new TTarnwick_MapAssignmentNode;
            node->MaterialName = material->Name;
            node->ChannelName = channel->Name;
            node->MapIndex = channel->TextureIndex;
            Nodes.Add(node);
        }
    }
}

int32_t TTarnwick_MapAssignments::Restore(TTarnwick_Mesh& mesh) const
{
    int32_t restored = 0;
    for (const TTarnwick_MapAssignmentNode* node : Nodes) {
        for (TZAVMaterial* material : mesh.Materials) {
            if (material->Name != node->MaterialName)
                continue;
            if (TZAVMaterialChannel* channel = material->FindChannel(node->ChannelName)) {
                channel->TextureIndex = node->MapIndex < mesh.MaterialMaps.Count() ? node->MapIndex : -1;
                restored++;
            }
            break;
        }
    }
    return restored;
}

std::unique_ptr<TZAVMaterialMap> LoadMapFile(const std::string& path, std::string& out_error)
{
    TZAVPixelBuffer pixels;
    int32_t width = 0;
    int32_t height = 0;
    if (!LoadImageFile(path, pixels, width, height, ImageLoad_ForceRGB, nullptr, out_error))
        return nullptr;
    // Told here rather than by AllocatePixels, so that the caller's message is the only one.
    if (!MapFitsInMemory(width, height, out_error))
        return nullptr;
    auto map = std::make_unique<TZAVMaterialMap>();
    if (!map->AllocatePixels(width, height)) {
        out_error = FormatText("The image \"%s\" of %d x %d pixels is too large for a map.", path.c_str(),
                               width, height);
        return nullptr;
    }
    std::memcpy(map->Pixels.data(), pixels.get(), map->Pixels.size());
    map->SetNameLiteral(NameOf(WithoutExtension(path)));
    map->MapFileName = path;
    for (char c : ExtensionOf(path))
        map->FileFormat += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    return map;
}

int32_t AttachMap(TTarnwick_Mesh& mesh, TZAVMaterialMap* map, std::string_view channel_name,
                  std::string_view material_name)
{
    int32_t index = mesh.MaterialMaps.IndexOf(map);
    if (index < 0) {
        mesh.MaterialMaps.Add(map);
        index = mesh.MaterialMaps.Count() - 1;
    }
    mesh.MapsEdited = true;
    int32_t attached = 0;
    for (TZAVMaterial* material : mesh.Materials) {
        if (!material_name.empty() && material->Name != material_name)
            continue;
        if (TZAVMaterialChannel* channel = material->FindChannel(channel_name)) {
            channel->TextureIndex = index;
            attached++;
        }
    }
    return attached;
}
