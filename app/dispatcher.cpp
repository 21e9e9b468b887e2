// The command dispatcher. (Being built: only the shell exists.)
#include "app/dispatcher.h"

#include "core/event_queue.h"

bool DispatchCommand(TZAVEvent*)
{
    return false;
}

void InstallDispatcher()
{
    SetDefaultEventHandler([](TZAVEvent* event) { DispatchCommand(event); });
}
