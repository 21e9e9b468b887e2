// The commands of the tools that change the mesh itself: UV mapping from the view (93), converting
// polygons (94), welding by distance and unwelding (101, 102), merging objects (120) and welding
// the selected points (151). Each records what it changes in the undo buffer before changing it,
// so that one undo puts the mesh back.
#pragma once

#include <cstdint>

class TZAVEvent;

bool IsMeshToolCommand(int32_t id);
// True when the command ran to its end; false when it stopped (no object, nothing selected, the
// user said no).
bool HandleMeshToolCommand(TZAVEvent* event);
