// Which map each material channel of a mesh uses, and the operations that change it: loading a
// map from an image file and attaching a map to channels. TTarnwick_MapAssignments keeps the
// channels' map indices as they were, so that an assignment can be taken back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/list.h"
#include "core/thingy.h"

class TTarnwick_Mesh;
class TZAVMaterialMap;

// One channel's assignment; channels are found again by name, since materials may be added or
// removed between taking and restoring.
class TTarnwick_MapAssignmentNode : public TTarnwick_Thingy
{
public:
    std::string MaterialName;
    std::string ChannelName;
    int32_t MapIndex = -1;
};

class TTarnwick_MapAssignments : public TTarnwick_Thingy
{
public:
    ~TTarnwick_MapAssignments() override { Nodes.Clear(); }

    // Every channel of every material of the mesh, with the map index it uses now.
    void Capture(const TTarnwick_Mesh& mesh);
    // Puts the captured indices back into the channels that still exist; an index past the mesh's
    // map list becomes -1. Returns the number of channels set.
    int32_t Restore(TTarnwick_Mesh& mesh) const;

    TZAVMultiList<TTarnwick_MapAssignmentNode*> Nodes;
};

// A map holding the image at path at its own size, named after the file without folder and
// extension, with MapFileName and FileFormat (the extension in capitals) set. Null, with the reason in
// out_error, when the image cannot be read or is too large for a map.
std::unique_ptr<TZAVMaterialMap> LoadMapFile(const std::string& path, std::string& out_error);

// Adds the map to the mesh's list (unless it is there already) and makes the channel of that
// name use it, in the material named material_name, or in every material when that is empty.
// Returns the number of channels that now use the map.
int32_t AttachMap(TTarnwick_Mesh& mesh, TZAVMaterialMap* map, std::string_view channel_name,
                  std::string_view material_name);
