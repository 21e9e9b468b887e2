// The on/off options bound to check boxes (21 to 37, 50 to 53), the display modes of the views
// (54 to 57, 89, 90), the OpenGL report (61) and the CR2 wizard's choices (62 to 64).
#pragma once

#include <cstdint>

class TZAVEvent;

bool IsOptionCommand(int32_t id);
// Option commands use the event's Mode: 0 writes the option's value (0 or 1) into integer
// parameter 0, 1 sets the option from integer parameter 0 being non-zero.
bool HandleOptionCommand(TZAVEvent* event);
