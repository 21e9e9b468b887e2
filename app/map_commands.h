// The texture-map commands of the current object: holding and fetching textures (6, 95), file
// format (12), resizing (13), clearing (15), deleting (72) and creating (73) maps, brush images
// (20), the paint checks (38, 69), the material channels (86 to 88, 98), refreshing (103) and the
// clipboard (216 to 218).
#pragma once

#include <cstdint>

class TZAVEvent;

bool IsMapCommand(int32_t id);
// True when the command ran to its end; false when a prerequisite was missing, the user said no,
// or the number has no case. Pixels and assignments are recorded for undo before they change.
bool HandleMapCommand(TZAVEvent* event);
// Drops the held copies (a new project holds other maps).
void ForgetHeldTextures();
// How many maps are held.
int32_t HeldTextureCount();
