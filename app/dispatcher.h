// The command dispatcher: the default handler of every event, turning a command number (0..271)
// into an action on the project, the current object, the viewports or the files. Each group of
// numbers has its own handler; a handler reports in the message panel, asks through the dialogs
// and posts follow-up commands instead of calling the next handler.
#pragma once

#include <cstdint>

class TZAVEvent;

constexpr int32_t CommandCount = 272;

// True when a handler ran to its end; false when the number is refused, there is no main
// window, or the handler stopped early.
bool DispatchCommand(TZAVEvent* event);
// Makes DispatchCommand the default event handler.
void InstallDispatcher();
// The layer commands (175 to 199 and 240) on the current project's layers, objects and current
// object; false without a current object.
bool HandleProjectLayerCommand(TZAVEvent* event);
