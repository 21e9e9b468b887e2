// Polygon layers: the 32 layer records a project owns, the current layer, and what the layers
// make of a polygon's membership mask (its governing layer, its hidden and locked bits).
//
// Layer 0 is the whole object and has no membership bit; layer i (1..31) owns bit i - 1 of the
// per-polygon masks. The hidden and locked bits of a mesh are derived from the layers here and
// never edited directly.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

#include "core/thingy.h"

class TZAVPolyMesh;
class TZAVEvent;

enum TTarnwick_LayerDisplayFlag : uint32_t
{
    LayerDisplay_None = 0,
    LayerDisplay_UseViewportDefault = 0x1,
    LayerDisplay_Textured = 0x2,
    LayerDisplay_Stippled = 0x4,
    LayerDisplay_WireFrame = 0x8,
    LayerDisplay_Points = 0x10,
    LayerDisplay_Hidden = 0x20,
    LayerDisplay_Smooth = 0x40,
    LayerDisplay_Filter = 0x80,
    LayerDisplay_WireFrameOverlay = 0x100,
};

constexpr int32_t LayerCount = 32;
constexpr int32_t HiddenLayerIndex = 30;
constexpr int32_t LockedLayerIndex = 31;

// The mask bit of layer 1..31; 0 for layer 0 and anything out of range.
constexpr uint32_t LayerBit(int32_t layer)
{
    return layer >= 1 && layer < LayerCount ? uint32_t(1) << (layer - 1) : 0;
}

class TTarnwick_Layer : public TTarnwick_Thingy
{
public:
    TTarnwick_Layer();

    // A "layer" block: the item lines, "Color", then each flag as 0 or 1.
    bool SaveToStream_Text(FILE* file) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;

    bool IsHidden() const { return (DisplayFlags & LayerDisplay_Hidden) != 0; }
    void SetHidden(bool hidden);

    uint32_t DisplayFlags =
        LayerDisplay_UseViewportDefault | LayerDisplay_Textured | LayerDisplay_Smooth | LayerDisplay_Filter;
    uint8_t Locked = 0;
    float Color[3] = {1.0f, 1.0f, 1.0f};
    // Not filled or emptied by hand.
    uint8_t BuiltIn = 0;
};

using TTarnwick_LayerPtr = TTarnwick_Layer*;

// What the layer model asks of the interface. Each hook may be null; Data is handed to every one.
struct TTarnwick_LayerHooks
{
    void* Data = nullptr;
    void (*RefreshLayerPanel)(void* data) = nullptr;
    void (*RebuildLayerPanel)(void* data) = nullptr;
    void (*Redraw)(void* data) = nullptr;
    // The layer brush becomes the current tool (the old tool's Deselected, then its Selected).
    void (*SelectLayerBrush)(void* data) = nullptr;
    // The main window's own handling of a layer event's Context.
    void (*MainWindowLayerHandling)(void* data, TZAVEvent* event) = nullptr;
    // The selection display after weights were changed through the layers.
    void (*RefreshSelection)(void* data) = nullptr;
};

// The project's 32 layer records and its current layer.
class TTarnwick_LayerList
{
public:
    // Layer 0 "Entire Object" and layers 30 "Hidden Layer" (hidden) and 31 "Locked Layer" (locked)
    // are built in; layers 1..29 are "Layer 1" .. "Layer 29".
    TTarnwick_LayerList();
    TTarnwick_LayerList(const TTarnwick_LayerList&) = delete;
    TTarnwick_LayerList& operator=(const TTarnwick_LayerList&) = delete;

    int32_t GetLayerCount() const { return LayerCount; }
    // The record at CurrentLayer, or layer 0 when CurrentLayer is out of range.
    TTarnwick_Layer* GetCurrentLayer();
    int32_t GetCurrentLayerIndex() const
    {
        return CurrentLayer >= 0 && CurrentLayer < LayerCount ? CurrentLayer : 0;
    }
    // Null outside 0..31.
    TTarnwick_Layer* GetLayer(int32_t index);
    // The index of a record of this list, -1 for anything else.
    int32_t IndexOf(const void* layer) const;
    // True when the current layer changed; an index outside 0..31 means layer 0.
    bool SetCurrentLayer(int32_t index);

    // Each record's Current flag follows CurrentLayer.
    void SyncCurrentFlags();

    void RefreshLayerPanel() const;
    void RebuildLayerPanel() const;
    void Redraw() const;

    std::array<TTarnwick_Layer, LayerCount> Layers;
    int32_t CurrentLayer = 0;
    TTarnwick_LayerHooks Hooks;
};

// The layer that decides how a polygon with this mask is drawn:
// 1. the highest locked layer holding it, else layer 0 when layer 0 is locked;
// 2. the current layer, when it is one of 1..31 and holds the polygon;
// 3. the highest layer holding it;
// 4. layer 0.
int32_t GoverningLayer(uint32_t mask, const TTarnwick_LayerList& layers);

// The hidden or locked state the layers give to one mesh. masks holds one word per polygon;
// polygons beyond it count as in no layer. The mesh's flag arrays must be allocated.
void ApplyLayerLocksToMesh(const TTarnwick_LayerList& layers, TZAVPolyMesh& mesh,
                           std::span<const uint32_t> masks);
void ApplyLayerVisibilityToMesh(const TTarnwick_LayerList& layers, TZAVPolyMesh& mesh,
                                std::span<const uint32_t> masks);
