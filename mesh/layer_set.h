// Layer set files: the 32 layer records and the current object's polygon layer masks in one text
// file, so that they can be loaded onto another copy of the same mesh; and the user's folder of
// layer sets with its index.
//
//     verify_vcount 1204
//     verify_pcount 1180
//     layer<TAB>Entire Object        (32 "layer" blocks, layer 0 first)
//     {  ...  }
//     PolygonLayerFlags<TAB>          (binary block, 4 bytes per polygon; only with polygons)
//     {  ...  }
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TTarnwick_LayerList;

// The current object's mesh as a layer set sees it. PolygonLayerFlags is null when there is no
// current object; otherwise it holds one mask per polygon.
struct TTarnwick_LayerSetMesh
{
    int32_t VertexCount = 0;
    int32_t PolygonCount = 0;
    std::vector<uint32_t>* PolygonLayerFlags = nullptr;
};

constexpr const char* LayerSetIndexName = "Files.txt";

// Writes through a temporary file, so a failed write leaves an old file as it was.
[[nodiscard]] bool SaveLayerSet(const std::string& path, TTarnwick_LayerList& layers,
                                const TTarnwick_LayerSetMesh& mesh);

// Reads a layer set onto the layers and the mesh's masks. A polygon count that differs from the
// mesh's stops the reading: the layer records read before that line stay, the masks do not
// change. A masks block that does not hold exactly one word per polygon, or a damaged file,
// changes nothing at all. False, with the message shown, whenever the file was not taken whole.
bool LoadLayerSet(const std::string& path, TTarnwick_LayerList& layers, const TTarnwick_LayerSetMesh& mesh);

// "<user folder>Layer Sets/".
std::string LayerSetFolder(const std::string& user_folder);

// The index lines as written, empty lines left out; false when there is no readable index.
bool ReadLayerSetIndex(const std::string& folder, std::vector<std::string>& out_names);
// Appends file_name to the index unless it is listed already.
[[nodiscard]] bool AddLayerSetToIndex(const std::string& folder, const std::string& file_name);

// Asks first; on Yes deletes every layer set the index names, then the index. Only files inside
// folder are touched: a line naming a file elsewhere is skipped with a warning. False when the
// user said No or something could not be deleted.
bool DeleteAllLayerSets(const std::string& folder);
