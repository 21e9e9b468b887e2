#include "mesh/selection.h"

#include <algorithm>

#include "core/report.h"

TTarnwick_Selection::TTarnwick_Selection(int32_t vertex_count)
    : TTarnwick_VertexValues<1>(vertex_count, ItemTraits)
{
    SetNameLiteral("New Selection");
}

void TTarnwick_Selection::SetVSelectExpanding(int32_t i, float weight)
{
    if (i < 0 || i >= vcount)
        return;
    RequireExpanded("SetVSelect")[i] = weight;
}

float TTarnwick_Selection::GetVSelectExpanding(int32_t i)
{
    if (i < 0 || i >= vcount)
        return 0.0f;
    return RequireExpanded("GetVSelect")[i];
}

void TTarnwick_Selection::Add(TTarnwick_Selection* other)
{
    if (other == nullptr)
        ReportError("Selection == NULL in TTarnwick_Selection::Add()");
    CombineFrom(*other, "Add", [](float* weight, const float* other_weight) {
        *weight = std::clamp(*weight + *other_weight, 0.0f, 1.0f);
    });
}

void TTarnwick_Selection::Copy(TTarnwick_Selection* other)
{
    if (other == nullptr)
        ReportError("Selection == NULL in TTarnwick_Selection::Copy()");
    if (other == this)
        return;
    Clear();
    CombineFrom(*other, "Copy", [](float* weight, const float* other_weight) { *weight = *other_weight; });
    SourceID = other->ID;
}

void TTarnwick_Selection::Clear()
{
    ClearValues();
}

void TTarnwick_Selection::SetVertexCount(int32_t vertex_count)
{
    Resize(vertex_count);
}

bool TTarnwick_Selection::GetFirstValue(int32_t& out_index, float& out_weight)
{
    float* value = nullptr;
    if (!FirstStored(out_index, value))
        return false;
    out_weight = *value;
    return true;
}

bool TTarnwick_Selection::GetNextValue(int32_t& out_index, float& out_weight)
{
    float* value = nullptr;
    if (!NextStored(out_index, value))
        return false;
    out_weight = *value;
    return true;
}

void TTarnwick_Selection::SetCurrentValue(float weight)
{
    if (float* value = CursorValue())
        *value = weight;
}
