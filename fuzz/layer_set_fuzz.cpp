// Layer set files and the layer set index on fuzzed bytes. The first byte chooses: below 0xf0
// it is the current object's polygon count and the rest a layer set, read onto fresh layers; a
// refused file must leave the masks as they were. From 0xf0 on the rest is the index.
#include "fuzz/fuzz_support.h"

#include <string>
#include <vector>

#include "mesh/layer.h"
#include "mesh/layer_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    if (data[0] >= 0xf0) {
        WriteInputFile(LayerSetIndexName, data + 1, size - 1);
        std::vector<std::string> names;
        (void)ReadLayerSetIndex(InputFolder(), names);
        return 0;
    }
    const int32_t polygon_count = data[0];
    const std::string path = WriteInputFile("fuzz.lys", data + 1, size - 1);
    std::vector<uint32_t> masks(size_t(polygon_count), 0x5a5a5a5au);
    const std::vector<uint32_t> before = masks;
    TTarnwick_LayerList layers;
    TTarnwick_LayerSetMesh mesh;
    mesh.VertexCount = 12;
    mesh.PolygonCount = polygon_count;
    mesh.PolygonLayerFlags = &masks;
    if (!LoadLayerSet(path, layers, mesh) && masks != before)
        FuzzCheckFailed("a refused layer set changed the masks");
    if (masks.size() != before.size())
        FuzzCheckFailed("a layer set changed the number of masks");
    // What was read must save.
    if (!SaveLayerSet(InputFolder() + "saved.lys", layers, mesh))
        FuzzCheckFailed("a loaded layer set could not be saved");
    return 0;
}
