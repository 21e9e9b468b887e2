// The morph commands (122 to 133) and the refresh after a morph changed (7): new, current,
// renamed, cleared, mirrored, deleted and spawned morph targets, and their strengths.
#pragma once

#include <cstdint>

class TZAVEvent;

constexpr int32_t FirstMorphCommand = 122;
constexpr int32_t LastMorphCommand = 133;
// Posted after a morph's displacements or strength changed: the displayed positions follow.
constexpr int32_t MorphChangedCommand = 7;

// True when the command ran to its end; false when a prerequisite was missing or the number has
// no case. Every change of displacements is recorded for undo first.
bool HandleMorphCommand(TZAVEvent* event);
// Deletes the current morph of the current object (command 126 and the delete key of its panel).
bool DeleteCurrentMorph();
