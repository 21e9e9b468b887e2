// Parameters: bounds, the commands their widgets post, and the relay back to the tool.
#include "tools/parameter.h"

#include <algorithm>

#include "core/event_queue.h"
#include "tools/tool.h"

namespace {

void PostParameterCommand(int32_t command, TTarnwick_Parameter* parameter)
{
    auto* event = new TZAVEvent(command);
    event->PointerParameters[0] = parameter;
    PostEvent(event);
}

} // namespace

TTarnwick_Parameter::TTarnwick_Parameter(TTarnwick_Tool* owner, TTarnwick_ParameterType type,
                                         const char* label, const char* help, int32_t event)
    : Type(type), Owner(owner), Event(event)
{
    if (label != nullptr)
        SetNameLiteral(label);
    if (help != nullptr)
        Help = help;
}

void TTarnwick_Parameter::SetRange(const float* minimum, const float* maximum)
{
    const bool both = minimum != nullptr && maximum != nullptr;
    Minimum = both ? minimum : nullptr;
    Maximum = both ? maximum : nullptr;
}

float TTarnwick_Parameter::ClampToRange(float value) const
{
    if (Minimum == nullptr || Maximum == nullptr)
        return value;
    return std::clamp(value, *Minimum, std::max(*Minimum, *Maximum));
}

bool TTarnwick_Parameter::SetFloatValue(float value)
{
    if (Type != TTarnwick_ParameterType::Slider || FloatValue == nullptr)
        return false;
    value = ClampToRange(value);
    if (value == *FloatValue)
        return false;
    *FloatValue = value;
    PostParameterCommand(SliderChangedCommand, this);
    return true;
}

bool TTarnwick_Parameter::SetBoolValue(bool value)
{
    if (Type != TTarnwick_ParameterType::CheckBox || BoolValue == nullptr || *BoolValue == value)
        return false;
    *BoolValue = value;
    PostParameterCommand(CheckBoxChangedCommand, this);
    return true;
}

void TTarnwick_Parameter::PostEvents() const
{
    for (int32_t command : {Event, SecondEvent}) {
        if (command == -1)
            continue;
        auto* event = new TZAVEvent(EventHandler, Owner, command);
        event->IntegerParameters[0] = static_cast<int32_t>(EventData);
        PostEvent(event);
    }
}

void TTarnwick_Parameter::AskList(TTarnwick_ListRequest request, TZAVEvent& event) const
{
    if (Type != TTarnwick_ParameterType::DropDown || ListCallback == nullptr || Owner == nullptr)
        return;
    event.Mode = static_cast<int32_t>(request);
    ListCallback(*Owner, event);
}

bool RelayParameterChange(const TZAVEvent& event)
{
    if (event.GetID() != SliderChangedCommand && event.GetID() != CheckBoxChangedCommand)
        return false;
    auto* parameter = static_cast<TTarnwick_Parameter*>(event.PointerParameters[0]);
    if (parameter == nullptr || parameter->Owner == nullptr)
        return false;
    parameter->Owner->ParameterChanged(*parameter);
    return true;
}
