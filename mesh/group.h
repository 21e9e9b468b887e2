// The two kinds of group a mesh owns: TZAVGroup, a sub-object (one loaded file or body part) that
// covers index ranges of the mesh's arrays, and TZAVGroup2, a polygon group (one OBJ "g" name)
// with the sorted list of the vertices its polygons use. TTarnwick_Group adds the application
// object's ID and text persistence to a polygon group.
#pragma once

#include <cstdint>
#include <vector>

#include "core/thingy.h"

// Inclusive; an empty range is 0..-1, an unset one -1..-1.
struct TZAVIndexRange
{
    int32_t First = -1;
    int32_t Last = -1;

    int32_t Count() const { return First < 0 ? 0 : Last - First + 1; }
};

class TZAVGroup : public virtual TZAVThingy
{
public:
    TZAVIndexRange VertexRange;
    TZAVIndexRange TexVertexRange;
    TZAVIndexRange NormalRange;
    TZAVIndexRange PolygonRange;
    TZAVIndexRange LineRange;
    // Position in the mesh's Groups; -1 until added.
    int32_t Index = -1;
};

class TZAVGroup2 : public virtual TZAVThingy
{
public:
    int32_t GetVertexCount() const { return static_cast<int32_t>(Vertices.size()); }
    // Position of a mesh vertex in Vertices; -1 when the group does not use it.
    int32_t FindVertex(int32_t vertex) const;

    uint8_t Visible = 1;
    // Sorted mesh vertices used by the group's polygons; Shared is parallel to it and is 1 for a
    // vertex that an earlier group in Groups2 already uses.
    std::vector<int32_t> Vertices;
    std::vector<uint8_t> Shared;
    int32_t Index = -1;
};

class TTarnwick_Group : public TZAVGroup2, public TTarnwick_Thingy
{
public:
    // A "polygroup" block holding the item header lines.
    bool SaveToStream_Text(FILE* file) override;
};
