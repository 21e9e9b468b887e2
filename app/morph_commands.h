// The morph commands (122 to 133), the refresh after a morph changed (7) and importing a morph
// target (206): new, current, renamed, cleared, mirrored, deleted, spawned and imported morph
// targets, and their strengths.
#pragma once

#include <cstdint>

class TZAVEvent;

constexpr int32_t FirstMorphCommand = 122;
constexpr int32_t LastMorphCommand = 133;
// Posted after a morph's displacements or strength changed: the displayed positions follow.
constexpr int32_t MorphChangedCommand = 7;

bool IsMorphCommand(int32_t id);
// True when the command ran to its end; false when a prerequisite was missing or the number has
// no case. Every change of displacements is recorded for undo first.
bool HandleMorphCommand(TZAVEvent* event);
// Deletes the current morph of the current object (command 126 and the delete key of its panel).
bool DeleteCurrentMorph();
