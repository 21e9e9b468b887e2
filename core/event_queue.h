// The event queue and its processor.
//
// Posted events wait in a first-in, first-out queue until TarnwickEvents_ProcessEvents runs them.
// Events posted while the processor runs park in "TempEvents" and wait for the next run, so that a
// handler's follow-up commands never run in the pass that posted them.
//
// The busy indicator lets a long command show "[b]Processing...[/b]" while no frame is drawn:
// the command calls TarnwickEvents_ProgressTick from its loops.
#pragma once

#include <cstdint>
#include <memory>

#include "core/event.h"

// Called with each event as it is posted; its answer is what PostEvent returns.
using TEventPostHook = bool (*)(TZAVEvent* event);
using TAfterProcessingHook = void (*)();
using TBusyDrawHook = void (*)(const char* text);
// Seconds on a monotonic clock.
using TBusyClock = double (*)();

// Takes ownership; returns the post hook's answer, or true without a hook. A null event is refused.
bool PostEvent(TZAVEvent* event);
// Posts TZAVEvent(id) without parameters.
bool PostCommand(int32_t id);
void BeginProcessing();
// The first queued event, now owned by the caller, or null when the queue is empty.
std::unique_ptr<TZAVEvent> PopEvent();
// Moves the events parked in "TempEvents", in order, to the end of the main queue.
void EndProcessing();
bool IsProcessingEvents();
int32_t QueuedEventCount();

void SetPostHook(TEventPostHook hook);
// Runs events whose Handler is null (the command dispatcher).
void SetDefaultEventHandler(TZAVEventHandler handler);
// Runs after every processor pass (the main window sets its title again there).
void SetAfterProcessingHook(TAfterProcessingHook hook);

// Runs every queued event once; failures of a handler go to the fatal hook and the pass goes on.
void TarnwickEvents_ProcessEvents();

// Draws the next "Processing" text when at least half a second has passed since the last drawing.
void TarnwickEvents_ProgressTick();
// The main window suppresses ticks while it draws a frame.
void SuppressProgressTicks(bool suppress);
// Receives the indicator text; the main window draws it into its status area.
void SetBusyDrawHook(TBusyDrawHook hook);
// Null restores Seconds().
void SetBusyClock(TBusyClock clock);
