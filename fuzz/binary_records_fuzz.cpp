// The binary records of old project files on fuzzed bytes, read as the project loader reads a
// chunk's payload. The first byte's low three bits choose the record (item, morph, selection,
// mixer, object, tree group, polygons), its high five bits the vertex count the item was made
// with (for polygons: the vertex, texture vertex and polygon counts of the mesh).
#include "fuzz/loaded_items.h"

#include <string>

#include "core/thingy.h"
#include "core/tree_group.h"
#include "core/virtual_memory.h"
#include "mesh/morph.h"
#include "mesh/poly_mesh.h"
#include "mesh/scene_object.h"
#include "mesh/selection.h"

namespace {

void ReadRecord(uint8_t kind, int32_t count, FILE* stream)
{
    switch (kind) {
    case 0: {
        TTarnwick_Thingy item;
        (void)item.LoadFromStream(stream);
        break;
    }
    case 1: {
        TTarnwick_Morph morph(count);
        if (morph.LoadFromStream(stream))
            UseMorph(morph);
        break;
    }
    case 2: {
        TTarnwick_Selection selection(count);
        if (selection.LoadFromStream(stream))
            UseSelection(selection);
        break;
    }
    case 3: {
        TTarnwick_MorphMixer mixer;
        (void)mixer.LoadFromStream(stream);
        break;
    }
    case 4: {
        TTarnwick_Object object;
        (void)object.LoadFromStream(stream);
        break;
    }
    case 5: {
        TTarnwick_TreeGroup group;
        (void)group.LoadFromStream(stream);
        break;
    }
    default: {
        TZAVPolyMesh mesh;
        mesh.Allocate(count, count, 0, count);
        for (int32_t k = 0; k < 2; k++) {
            mesh.Materials.Add(mesh.CreateMaterial());
            mesh.Groups2.Add(mesh.CreateGroup2());
        }
        std::string error;
        if (mesh.LoadPolygonsFromStream(stream, "fuzz.Tarnwick", error)) {
            for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
                for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1];
                     corner++)
                    if (mesh.CornerVertex[corner] < 0 || mesh.CornerVertex[corner] >= mesh.GetVertexCount())
                        FuzzCheckFailed("a loaded polygon names a vertex outside the mesh");
        } else if (error.empty()) {
            FuzzCheckFailed("refused polygons left no message");
        }
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const uint8_t kind = data[0] & 7;
    const int32_t count = data[0] >> 3;
    ReadRecord(kind == 7 ? 6 : kind, count, InputStream(data + 1, size - 1));
    if (PagedItemCount() != 0)
        FuzzCheckFailed("paged-out data outlived its items");
    ResetVirtualMemory();
    return 0;
}
