// A command travelling through the event queue: a command number with parameters.
//
// Widgets keep a prepared event and post a copy when activated; the copy owns its own string
// parameters, so the prepared event may be destroyed while the copy waits in the queue.
#pragma once

#include <cstdint>
#include <memory>

class TZAVglutWigits_Node;
class TZAVEvent;

using TZAVEventHandler = void (*)(TZAVEvent* event);

constexpr int32_t EventParameterCount = 16;

class TZAVEvent
{
public:
    explicit TZAVEvent(int32_t id);
    TZAVEvent(TZAVEventHandler handler, void* context, int32_t id);
    // Duplicates every string parameter; WindowX and WindowY are not carried.
    TZAVEvent(const TZAVEvent& other);
    TZAVEvent& operator=(const TZAVEvent&) = delete;
    ~TZAVEvent();

    int32_t GetID() const { return ID; }
    void SetIndex(int32_t index) { Index = index; }
    int32_t GetIndex() const { return Index; }
    void SetX(int32_t x) { X = x; }
    void SetY(int32_t y) { Y = y; }
    void SetWindowX(int32_t x) { WindowX = x; }
    void SetWindowY(int32_t y) { WindowY = y; }
    void SetSender(TZAVglutWigits_Node* widget) { Sender = widget; }

    // Stores a copy of text in slot index (0..15), freeing what was there; null clears the slot.
    void AddStringParameter(const char* text, int32_t index);
    // The stored text or null.
    const char* GetStringParameter(int32_t index) const;

    int32_t X = 0;
    int32_t Y = 0;
    int32_t WindowX = 0;
    int32_t WindowY = 0;
    // Free for the poster's use; copies carry them unchanged.
    uint8_t Flags[2] = {0, 0};
    int32_t ID = -1;
    int32_t Index = -1;
    TZAVglutWigits_Node* Sender = nullptr;
    int32_t IntegerParameters[EventParameterCount] = {};
    void* PointerParameters[EventParameterCount] = {};
    void* Context = nullptr;
    // Option commands: 0 asks for the option's value in IntegerParameters[0], 1 sets it from there.
    int32_t Mode = 0;
    // Null hands the event to the default dispatcher.
    TZAVEventHandler Handler = nullptr;

private:
    std::unique_ptr<char[]> StringParameters[EventParameterCount];
};
