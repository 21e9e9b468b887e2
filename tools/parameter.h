// TTarnwick_Parameter: one named setting of a tool, which the tool panel turns into a widget. The
// parameter points at the tool field the widget edits; a change comes back to the tool through a
// posted command, which the dispatcher relays to the owner's ParameterChanged.
#pragma once

#include <cstdint>
#include <string>

#include "core/event.h"
#include "core/thingy.h"

class TTarnwick_Tool;

// The widget the tool panel builds for a parameter.
enum class TTarnwick_ParameterType : int32_t
{
    Slider = 1,
    CheckBox = 3,
    Button = 4,
    Label = 5,
    DropDown = 6,
    Colour = 7,
    RowBreak = 8,
};

// The commands a slider and a check box post, with the parameter in pointer parameter 0.
constexpr int32_t SliderChangedCommand = 43;
constexpr int32_t CheckBoxChangedCommand = 44;

// What a drop-down list asks its callback; the request travels in the event's Mode.
enum class TTarnwick_ListRequest : int32_t
{
    // The text of entry Index, into string parameter 0.
    EntryText = 0,
    // The index of the current entry, into integer parameter 0.
    CurrentEntry = 1,
    // The user chose entry Index.
    Chosen = 2,
    // The number of entries, into integer parameter 0.
    EntryCount = 3,
};

// Answers a drop-down list's requests for the tool that owns it.
using TTarnwick_ListCallback = void (*)(TTarnwick_Tool& tool, TZAVEvent& event);

class TTarnwick_Parameter : public TTarnwick_Thingy
{
public:
    // label is the name shown, help the hint text; null texts stay empty.
    TTarnwick_Parameter(TTarnwick_Tool* owner, TTarnwick_ParameterType type, const char* label,
                        const char* help, int32_t event = -1);

    // Bounds for a slider; both or neither (null), so that a half-bounded slider cannot be made.
    void SetRange(const float* minimum, const float* maximum);
    float ClampToRange(float value) const;
    // Writes the bounded value into the tool's field and posts the slider command; false (nothing
    // posted) when the value did not change or the parameter is no slider.
    bool SetFloatValue(float value);
    // Writes the check box's field and posts the check box command; false when nothing changed.
    bool SetBoolValue(bool value);
    // What a button or colour swatch posts: Event, then SecondEvent when it is not -1, each with
    // EventData in integer parameter 0.
    void PostEvents() const;
    // Asks a drop-down list; the answer is in the event (see TTarnwick_ListRequest).
    void AskList(TTarnwick_ListRequest request, TZAVEvent& event) const;

    TTarnwick_ParameterType Type;
    std::string Help;
    // What the widget edits, by type: a float (slider), a bool (check box), three floats (colour).
    float* FloatValue = nullptr;
    bool* BoolValue = nullptr;
    TTarnwick_ListCallback ListCallback = nullptr;
    // The handler of the events a button or colour swatch posts; null for the dispatcher.
    TZAVEventHandler EventHandler = nullptr;
    const float* Minimum = nullptr;
    const float* Maximum = nullptr;
    TTarnwick_Tool* Owner;
    uint32_t EventData = 0;
    bool ToolbarFlag = false;
    int32_t Event;
    int32_t SecondEvent = -1;
    bool SliderStyle1 = false;
    bool SliderStyle2 = false;
};

using TTarnwick_ParameterPtr = TTarnwick_Parameter*;

// The dispatcher's handling of the slider and check box commands: the owner of the parameter the
// event carries hears of the change. False for another command or an event without a parameter.
bool RelayParameterChange(const TZAVEvent& event);
