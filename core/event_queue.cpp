#include "core/event_queue.h"

#include <exception>
#include <new>
#include <string>

#include "core/list.h"
#include "core/report.h"
#include "core/timer.h"

namespace {

constexpr double ProgressTickInterval = 0.5;
constexpr int32_t MaxProgressDots = 20;
constexpr const char* ProcessorTitle = "TarnwickEvents_ProcessEvents()";

struct TEventQueueState
{
    TEventQueueState() { MainQueue.SetGrowSize(16); }
    ~TEventQueueState()
    {
        MainQueue.Clear();
        TempEvents.Clear();
    }

    TZAVMultiList<TZAVEvent*> MainQueue;
    TZAVMultiList<TZAVEvent*> TempEvents;
    bool Processing = false;
};

// Created on first use, lives until the process ends.
TEventQueueState& Queue()
{
    static TEventQueueState state;
    return state;
}

TEventPostHook post_hook = nullptr;
TZAVEventHandler default_handler = nullptr;
TAfterProcessingHook after_processing_hook = nullptr;

// The stopwatch is kept here rather than in a TZAVStopwatch so that tests can drive its clock.
struct TBusyIndicator
{
    TBusyDrawHook DrawHook = nullptr;
    TBusyClock Clock = nullptr;
    double StopwatchStart = 0.0;
    int32_t Dots = 0;
    bool Suppressed = false;
} busy;

double BusyNow()
{
    return busy.Clock ? busy.Clock() : Seconds();
}

void DrawBusyText()
{
    if (busy.DrawHook == nullptr)
        return;
    std::string text = "[b]Processing";
    text.append(static_cast<size_t>(busy.Dots), '.');
    text += "[/b]";
    busy.DrawHook(text.c_str());
}

// Runs one event; whatever its handler throws goes to the fatal hook so the pass can go on.
void RunEvent(TZAVEvent* event)
{
    try {
        TZAVEventHandler handler = event->Handler ? event->Handler : default_handler;
        if (handler == nullptr)
            ReportError("No handler for the event with ID = %d", event->ID);
        handler(event);
    } catch (const std::bad_alloc&) {
        CallFatalHook("Bad memory allocation", ProcessorTitle);
    } catch (const std::exception& exception) {
        CallFatalHook(exception.what(), ProcessorTitle);
    } catch (...) {
        CallFatalHook("Unknown exception, probably and access violation", ProcessorTitle);
    }
}

} // namespace

bool PostEvent(TZAVEvent* event)
{
    if (event == nullptr)
        return false;
    TEventQueueState& queue = Queue();
    bool answer = post_hook ? post_hook(event) : true;
    if (queue.Processing)
        queue.TempEvents.Add(event);
    else
        queue.MainQueue.Add(event);
    return answer;
}

bool PostCommand(int32_t id)
{
    return PostEvent(new TZAVEvent(id));
}

void BeginProcessing()
{
    Queue().Processing = true;
}

std::unique_ptr<TZAVEvent> PopEvent()
{
    TEventQueueState& queue = Queue();
    TZAVEvent* event = nullptr;
    if (!queue.MainQueue.Get(event, 0))
        return nullptr;
    queue.MainQueue.RemoveAt(0);
    return std::unique_ptr<TZAVEvent>(event);
}

void EndProcessing()
{
    TEventQueueState& queue = Queue();
    queue.Processing = false;
    // Named so that a traversal fault reports "TZAVEvent *", "event" and "TempEvents".
    TZAVMultiList<TZAVEvent*>& TempEvents = queue.TempEvents;
    // clang-format off
    ZAV_TRAVERSE(TZAVEvent *, event, TempEvents)
    // clang-format on
    {
        queue.MainQueue.Add(event);
    }
    // The events now belong to the main queue: remove without destroying.
    while (TempEvents.RemoveAt(TempEvents.Count() - 1)) {
    }
}

bool IsProcessingEvents()
{
    return Queue().Processing;
}

int32_t QueuedEventCount()
{
    return Queue().MainQueue.Count();
}

void SetPostHook(TEventPostHook hook)
{
    post_hook = hook;
}

void SetDefaultEventHandler(TZAVEventHandler handler)
{
    default_handler = handler;
}

void SetAfterProcessingHook(TAfterProcessingHook hook)
{
    after_processing_hook = hook;
}

void TarnwickEvents_ProcessEvents()
{
    // A nested call would run events out of posting order.
    if (IsProcessingEvents())
        return;
    busy.StopwatchStart = BusyNow();
    BeginProcessing();
    while (std::unique_ptr<TZAVEvent> event = PopEvent())
        RunEvent(event.get());
    EndProcessing();
    if (after_processing_hook)
        after_processing_hook();
}

void TarnwickEvents_ProgressTick()
{
    if (busy.Suppressed)
        return;
    double now = BusyNow();
    if (now - busy.StopwatchStart < ProgressTickInterval)
        return;
    busy.StopwatchStart = now;
    busy.Dots = busy.Dots >= MaxProgressDots ? 0 : busy.Dots + 1;
    DrawBusyText();
}

void SuppressProgressTicks(bool suppress)
{
    busy.Suppressed = suppress;
}

void SetBusyDrawHook(TBusyDrawHook hook)
{
    busy.DrawHook = hook;
}

void SetBusyClock(TBusyClock clock)
{
    busy.Clock = clock;
    // A start time taken on another clock means nothing on this one.
    busy.StopwatchStart = BusyNow();
}
