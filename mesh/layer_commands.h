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

// True for the events of the layer group (175 to 199, and 240), handled or refused.
bool HandleLayerCommand(TTarnwick_LayerCommandModel& model, TZAVEvent* event);
