// The file commands of sets and images: selection, morph and layer set files, morph injection
// files, and images read into maps and brushes (numbers in set_commands.cpp).
#pragma once

#include <cstdint>

class TZAVEvent;

bool IsSetCommand(int32_t id);
// True when the command ran to its end; false when the user cancelled, a prerequisite was
// missing, a file could not be read or written, or the number is not one of these.
bool HandleSetCommand(TZAVEvent* event);
