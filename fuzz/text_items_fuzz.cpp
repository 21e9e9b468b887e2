// The item blocks of project files on fuzzed text: a morph, a selection, a mesh, an object tree
// (objects, cameras and lights with their meshes), a morph tree or a layer. The first byte's low
// three bits choose the kind, its high five bits the vertex count of a morph or selection; the
// rest is the block from its "{" on, as an owner hands it over after the header line. What was
// read is then used the way the program uses it first.
#include "fuzz/loaded_items.h"

#include <memory>
#include <string>

#include "core/text_block.h"
#include "core/tree_group.h"
#include "core/virtual_memory.h"
#include "mesh/layer.h"
#include "mesh/morph.h"
#include "mesh/morph_tree.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection.h"
#include "paint/material_map.h"

namespace {

void ReadItem(uint8_t kind, int32_t vertex_count, TZAVTextReader& reader)
{
    switch (kind) {
    case 0: {
        // As in a mesh's tree: the block's vcount must be the mesh's, whose vertices the file holds.
        TTarnwick_Morph morph(vertex_count);
        morph.ExpectedVertexCount = vertex_count;
        if (morph.LoadFromStream_Text(reader))
            UseMorph(morph);
        break;
    }
    case 1: {
        TTarnwick_Selection selection(vertex_count);
        selection.ExpectedVertexCount = vertex_count;
        if (selection.LoadFromStream_Text(reader))
            UseSelection(selection);
        break;
    }
    case 2: {
        TTarnwick_Mesh mesh;
        if (mesh.LoadFromStream_Text(reader)) {
            mesh.Prepare();
            mesh.InstallLoadedWeldMap();
        }
        break;
    }
    case 3: {
        TTarnwick_ObjectTreeGroup tree(CreateSceneObject);
        (void)tree.LoadFromStream_Text(reader);
        break;
    }
    case 4: {
        TTarnwick_MorphTreeGroup tree;
        (void)tree.LoadFromStream_Text(reader);
        break;
    }
    default: {
        TTarnwick_Layer layer;
        (void)layer.LoadFromStream_Text(reader);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    // Meshes read their "map" blocks as the program does.
    static const bool maps_installed = (InstallMaterialMapReader(), true);
    (void)maps_installed;
    const uint8_t kind = (data[0] & 7) % 6;
    const int32_t vertex_count = data[0] >> 3;
    FILE* stream = InputStream(data + 1, size - 1);
    SetTextBlockLevel(0);
    {
        TZAVTextReader reader(stream, "fuzz.Tarnwick");
        ReadItem(kind, vertex_count, reader);
    }
    // Every item is gone, so nothing may still hold paged-out data.
    if (PagedItemCount() != 0)
        FuzzCheckFailed("paged-out data outlived its items");
    ResetVirtualMemory();
    return 0;
}
