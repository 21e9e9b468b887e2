// The selection commands (134 to 153) and the buttons of the group and material selection brushes
// (96, 97, 99, 100): new, current, renamed, cleared, inverted, whole-object and hardened
// selections, hiding and locking the selected surface.
#pragma once

#include <cstdint>

class TZAVEvent;

constexpr int32_t FirstSelectionCommand = 134;
constexpr int32_t LastSelectionCommand = 153;
// Posted after a selection's weights changed: the views show them again.
constexpr int32_t SelectionChangedCommand = 80;

bool IsSelectionCommand(int32_t id);
// True when the command ran to its end; false when a prerequisite was missing or the number has
// no case. Every change of weights is recorded for undo first.
bool HandleSelectionCommand(TZAVEvent* event);
// Deletes the current selection of the current object (the delete key of its panel).
bool DeleteCurrentSelection();
