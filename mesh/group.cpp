// Polygon groups: vertex lookup and the text block of the application's polygon group.
#include "mesh/group.h"

#include <algorithm>

#include "core/text_block.h"

int32_t TZAVGroup2::FindVertex(int32_t vertex) const
{
    auto found = std::lower_bound(Vertices.begin(), Vertices.end(), vertex);
    if (found == Vertices.end() || *found != vertex)
        return -1;
    return static_cast<int32_t>(found - Vertices.begin());
}

bool TTarnwick_Group::SaveToStream_Text(FILE* file)
{
    TStartTextFileBlock block(file, "polygroup", Name);
    if (!TTarnwick_Thingy::SaveToStream_Text(file))
        return false;
    return block.Close();
}
