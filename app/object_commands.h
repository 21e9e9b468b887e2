// The object commands (112 to 121) and those that copy polygon groups or materials between objects
// (48, 49): new object groups, switching, renaming and deleting objects, and how the objects
// other than the current one are shown.
#pragma once

#include <cstdint>

class TZAVEvent;

constexpr int32_t FirstObjectCommand = 112;
constexpr int32_t LastObjectCommand = 121;

// How the views show the objects other than the current one.
struct TTarnwick_ObjectDisplay
{
    bool ShowAll = true;
    bool DimUnselected = false;
};
extern TTarnwick_ObjectDisplay ObjectDisplay;

bool IsObjectCommand(int32_t id);
// True when the command ran to its end; false when a prerequisite was missing or the number has
// no case.
bool HandleObjectCommand(TZAVEvent* event);
// Deletes the current object; the first remaining object with a mesh becomes current.
bool DeleteCurrentObject();
