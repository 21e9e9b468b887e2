// Layer records, the project's layer list, the governing layer of a polygon, and the hidden and
// locked bits that the layers give to a mesh.
#include "mesh/layer.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/status.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "mesh/poly_mesh.h"

namespace {

struct TLayerFlagKey
{
    const char* Key;
    uint32_t Flag;
};

// In the order the block lists them.
constexpr TLayerFlagKey LayerFlagKeys[] = {
    {"UseViewportDefault", LayerDisplay_UseViewportDefault},
    {"Textured", LayerDisplay_Textured},
    {"Stippled", LayerDisplay_Stippled},
    {"WireFrame", LayerDisplay_WireFrame},
    {"WireFrameOverlay", LayerDisplay_WireFrameOverlay},
    {"Points", LayerDisplay_Points},
    {"Hidden", LayerDisplay_Hidden},
    {"Smooth", LayerDisplay_Smooth},
    {"Filter", LayerDisplay_Filter},
};

// Colours for colour-by-layer, repeated over the layers.
constexpr float LayerPalette[][3] = {
    {0.90f, 0.90f, 0.90f}, {0.90f, 0.45f, 0.45f}, {0.45f, 0.80f, 0.45f}, {0.45f, 0.55f, 0.90f},
    {0.90f, 0.80f, 0.40f}, {0.75f, 0.45f, 0.85f}, {0.40f, 0.80f, 0.80f}, {0.90f, 0.60f, 0.30f},
};
constexpr int32_t LayerPaletteSize = int32_t(sizeof(LayerPalette) / sizeof(LayerPalette[0]));

void CallHook(void (*hook)(void*), void* data)
{
    if (hook != nullptr)
        hook(data);
}

} // namespace

// [SECTION] TTarnwick_Layer

TTarnwick_Layer::TTarnwick_Layer()
{
    SetNameLiteral("New Layer");
}

void TTarnwick_Layer::SetHidden(bool hidden)
{
    if (hidden)
        DisplayFlags |= LayerDisplay_Hidden;
    else
        DisplayFlags &= ~uint32_t(LayerDisplay_Hidden);
}

bool TTarnwick_Layer::SaveToStream_Text(FILE* file)
{
    TStartTextFileBlock block(file, "layer", Name);
    bool written =
        block.Good() && TTarnwick_Thingy::SaveToStream_Text(file) && WriteTextFloat3(file, "Color", Color);
    for (const TLayerFlagKey& flag : LayerFlagKeys)
        written = written && WriteTextFlag(file, flag.Key, (DisplayFlags & flag.Flag) != 0);
    written = written && WriteTextFlag(file, "Locked", Locked != 0);
    return block.Close() && written;
}

bool TTarnwick_Layer::LoadFromStream_Text_ConsiderCommand(TZAVTextReader&, std::string_view key,
                                                          std::string_view value)
{
    if (SameTextNoCase(key, "Color")) {
        TextValueFloat3(value, Color);
        return true;
    }
    if (SameTextNoCase(key, "Locked")) {
        Locked = TextValueInt(value) != 0 ? 1 : 0;
        return true;
    }
    for (const TLayerFlagKey& flag : LayerFlagKeys) {
        if (!SameTextNoCase(key, flag.Key))
            continue;
        if (TextValueInt(value) != 0)
            DisplayFlags |= flag.Flag;
        else
            DisplayFlags &= ~flag.Flag;
        return true;
    }
    return false;
}

// [SECTION] TTarnwick_LayerList

TTarnwick_LayerList::TTarnwick_LayerList()
{
    for (int32_t index = 0; index < LayerCount; index++) {
        TTarnwick_Layer& layer = Layers[index];
        layer.SetName("Layer %d", index);
        for (int32_t k = 0; k < 3; k++)
            layer.Color[k] = LayerPalette[index % LayerPaletteSize][k];
    }
    // Layer 0 has no membership bit, so it can be neither filled nor emptied.
    Layers[0].SetNameLiteral("Entire Object");
    Layers[0].BuiltIn = 1;
    Layers[HiddenLayerIndex].SetNameLiteral("Hidden Layer");
    Layers[HiddenLayerIndex].SetHidden(true);
    Layers[HiddenLayerIndex].BuiltIn = 1;
    Layers[LockedLayerIndex].SetNameLiteral("Locked Layer");
    Layers[LockedLayerIndex].Locked = 1;
    Layers[LockedLayerIndex].BuiltIn = 1;
    SyncCurrentFlags();
}

TTarnwick_Layer* TTarnwick_LayerList::GetCurrentLayer()
{
    return &Layers[GetCurrentLayerIndex()];
}

TTarnwick_Layer* TTarnwick_LayerList::GetLayer(int32_t index)
{
    return index >= 0 && index < LayerCount ? &Layers[index] : nullptr;
}

int32_t TTarnwick_LayerList::IndexOf(const void* layer) const
{
    for (int32_t index = 0; index < LayerCount; index++)
        if (layer == static_cast<const void*>(&Layers[index]))
            return index;
    return -1;
}

bool TTarnwick_LayerList::SetCurrentLayer(int32_t index)
{
    if (index < 0 || index >= LayerCount)
        index = 0;
    if (index == CurrentLayer)
        return false;
    CurrentLayer = index;
    SyncCurrentFlags();
    AddStatus("Changing to layer  %d", index);
    RefreshLayerPanel();
    return true;
}

void TTarnwick_LayerList::SyncCurrentFlags()
{
    int32_t current = GetCurrentLayerIndex();
    for (int32_t index = 0; index < LayerCount; index++)
        Layers[index].Current = index == current;
}

void TTarnwick_LayerList::RefreshLayerPanel() const
{
    CallHook(Hooks.RefreshLayerPanel, Hooks.Data);
}

void TTarnwick_LayerList::RebuildLayerPanel() const
{
    CallHook(Hooks.RebuildLayerPanel, Hooks.Data);
}

void TTarnwick_LayerList::Redraw() const
{
    CallHook(Hooks.Redraw, Hooks.Data);
}

// [SECTION] What the layers make of a polygon

int32_t GoverningLayer(uint32_t mask, const TTarnwick_LayerList& layers)
{
    for (int32_t index = LayerCount - 1; index >= 1; index--)
        if ((mask & LayerBit(index)) != 0 && layers.Layers[index].Locked != 0)
            return index;
    if (layers.Layers[0].Locked != 0)
        return 0;
    int32_t current = layers.GetCurrentLayerIndex();
    if ((mask & LayerBit(current)) != 0)
        return current;
    for (int32_t index = LayerCount - 1; index >= 1; index--)
        if ((mask & LayerBit(index)) != 0)
            return index;
    return 0;
}

namespace {

// The layer bits whose layers are locked, or hidden.
uint32_t LockedLayerBits(const TTarnwick_LayerList& layers)
{
    uint32_t bits = 0;
    for (int32_t index = 1; index < LayerCount; index++)
        if (layers.Layers[index].Locked != 0)
            bits |= LayerBit(index);
    return bits;
}

uint32_t HiddenLayerBits(const TTarnwick_LayerList& layers)
{
    uint32_t bits = 0;
    for (int32_t index = 1; index < LayerCount; index++)
        if (layers.Layers[index].IsHidden())
            bits |= LayerBit(index);
    return bits;
}

void LockVertex(TZAVPolyMesh& mesh, int32_t vertex)
{
    int32_t vertex_count = mesh.GetVertexCount();
    if (vertex < 0 || vertex >= vertex_count)
        return;
    mesh.VertexFlags[vertex] |= VertexFlag_Locked;
    // Tools move the vertex that stands for a welded one, so it is held as well.
    int32_t welded = mesh.WeldedVertex(vertex);
    if (welded >= 0 && welded < vertex_count)
        mesh.VertexFlags[welded] |= VertexFlag_Locked;
}

} // namespace

void ApplyLayerLocksToMesh(const TTarnwick_LayerList& layers, TZAVPolyMesh& mesh,
                           std::span<const uint32_t> masks)
{
    int32_t polygon_count = mesh.GetPolygonCount();
    bool lock_all = layers.Layers[0].Locked != 0;
    for (uint32_t& flags : mesh.VertexFlags)
        flags = lock_all ? flags | VertexFlag_Locked : flags & ~uint32_t(VertexFlag_Locked);
    for (uint32_t& flags : mesh.PolygonFlags)
        flags = lock_all ? flags | PolygonFlag_Locked : flags & ~uint32_t(PolygonFlag_Locked);
    uint32_t locked_bits = LockedLayerBits(layers);
    if (lock_all || locked_bits == 0)
        return;
    int32_t masked_count = std::min<int32_t>(polygon_count, int32_t(masks.size()));
    for (int32_t polygon = 0; polygon < masked_count; polygon++) {
        if ((masks[polygon] & locked_bits) == 0)
            continue;
        mesh.PolygonFlags[polygon] |= PolygonFlag_Locked;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++)
            LockVertex(mesh, mesh.CornerVertex[corner]);
    }
}

void ApplyLayerVisibilityToMesh(const TTarnwick_LayerList& layers, TZAVPolyMesh& mesh,
                                std::span<const uint32_t> masks)
{
    int32_t polygon_count = mesh.GetPolygonCount();
    bool hide_all = layers.Layers[0].IsHidden();
    uint32_t hidden_bits = HiddenLayerBits(layers);
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        uint32_t mask = polygon < int32_t(masks.size()) ? masks[polygon] : 0;
        bool hidden = hide_all || (mask & hidden_bits) != 0;
        uint32_t& flags = mesh.PolygonFlags[polygon];
        flags = hidden ? flags | PolygonFlag_Hidden : flags & ~uint32_t(PolygonFlag_Hidden);
    }
    mesh.BuildVisiblePolygons();
}
