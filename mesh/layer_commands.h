// The layer commands (events 176 to 198 and 240) and the hidden and locked state the layers give
// to every object of the project.
//
// What the project hands the handler: its layers (with the interface hooks), its object tree and
// its current object. The layer a command acts on is the one whose index the event carries in
// Index; a command without a current object does nothing.
#pragma once

#include <string>

#include "mesh/layer.h"
#include "mesh/layer_set.h"

class TTarnwick_Object;
class TTarnwick_TreeGroup;
class TZAVEvent;

// The event numbers of the layer group; the numbers between FirstInGroup and LastInGroup that
// have no name here do nothing.
enum class TZAVLayerCommand : int32_t
{
    FirstInGroup = 175,
    SelectForBrush = 176,
    MakeCurrent = 177,
    AddSelected = 178,
    Clear = 179,
    RemoveSelected = 180,
    AddAll = 181,
    RemoveAll = 182,
    SelectLayer = 183,
    DeselectLayer = 184,
    Nothing = 191,
    ToggleDisplayFlags = 192,
    StepLock = 193,
    ToggleHidden = 194,
    ChooseColour = 195,
    Rename = 196,
    MainWindow = 197,
    RebuildPanel = 198,
    LastInGroup = 199,
    DeleteAllLayerSets = 240,
};

struct TTarnwick_LayerCommandModel
{
    TTarnwick_LayerList* Layers = nullptr;
    TTarnwick_TreeGroup* Objects = nullptr;
    TTarnwick_Object* CurrentObject = nullptr;
    // The user's folder, which holds the "Layer Sets" folder.
    std::string UserFolder;
};

// Every object with a mesh in the tree (groups, their children and their siblings).
void ApplyLayerLocks(const TTarnwick_LayerList& layers, TTarnwick_TreeGroup* objects);
void ApplyLayerVisibility(const TTarnwick_LayerList& layers, TTarnwick_TreeGroup* objects);

// The object's mesh as a layer set sees it; no masks without an object or a mesh.
TTarnwick_LayerSetMesh LayerSetMeshOf(TTarnwick_Object* object);

// True for the events of the layer group, handled or refused.
bool HandleLayerCommand(TTarnwick_LayerCommandModel& model, TZAVEvent* event);
