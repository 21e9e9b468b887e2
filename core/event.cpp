#include "core/event.h"

#include <cstring>

#include "core/report.h"

namespace {

std::unique_ptr<char[]> DuplicateText(const char* text)
{
    if (text == nullptr)
        return nullptr;
    size_t length = std::strlen(text);
    auto copy = std::make_unique<char[]>(length + 1);
    std::memcpy(copy.get(), text, length + 1);
    return copy;
}

} // namespace

TZAVEvent::TZAVEvent(int32_t id) : ID(id) {}

TZAVEvent::TZAVEvent(TZAVEventHandler handler, void* context, int32_t id)
    : ID(id), Context(context), Handler(handler)
{
}

TZAVEvent::TZAVEvent(const TZAVEvent& other)
    : X(other.X), Y(other.Y), ID(other.ID), Index(other.Index), Sender(other.Sender), Context(other.Context),
      Mode(other.Mode), Handler(other.Handler)
{
    std::memcpy(Flags, other.Flags, sizeof(Flags));
    std::memcpy(IntegerParameters, other.IntegerParameters, sizeof(IntegerParameters));
    std::memcpy(PointerParameters, other.PointerParameters, sizeof(PointerParameters));
    for (int32_t i = 0; i < EventParameterCount; i++)
        StringParameters[i] = DuplicateText(other.StringParameters[i].get());
}

TZAVEvent::~TZAVEvent() = default;

void TZAVEvent::AddStringParameter(const char* text, int32_t index)
{
    if (index < 0 || index >= EventParameterCount)
        ReportError("i is out of range in TZAVEvent::AddStringParameter()");
    StringParameters[index] = DuplicateText(text);
}

const char* TZAVEvent::GetStringParameter(int32_t index) const
{
    if (index < 0 || index >= EventParameterCount)
        ReportError("i is out of range in TZAVEvent::GetStringParameter(%d)", index);
    return StringParameters[index].get();
}
