// The command dispatcher: the default handler of every event, turning a command number (0..271)
// into an action on the project, the current object, the viewports or the files. Each group of
// numbers has its own handler; a handler reports in the message panel, asks through the dialogs
// and posts follow-up commands instead of calling the next handler.
#pragma once

#include <cstdint>
#include <memory>

class TZAVEvent;
class TTarnwick_Mesh;
class TTarnwick_Morph;
class TTarnwick_Selection;
class TTarnwick_TreeGroup;
class TTarnwick_UndoNode;

constexpr int32_t CommandCount = 272;

// True when a handler ran to its end; false when the number is refused, there is no main
// window, or the handler stopped early.
bool DispatchCommand(TZAVEvent* event);
// Makes DispatchCommand the default event handler.
void InstallDispatcher();
// The layer commands (175 to 199 and 240) on the current project's layers, objects and current
// object; false without a current object.
bool HandleProjectLayerCommand(TZAVEvent* event);

// Why a number inside 0..271 has no case; null for the numbers that do something.
const char* InertCommandReason(int32_t id);

// [Shared by the group handlers]
// The current object's mesh; null, after "Please select an object.", when there is none.
TTarnwick_Mesh* RequireCurrentMesh();
// The mesh's current morph or selection; null, after "Please choose a morph first" or "Please
// choose a selection first", when there is none.
TTarnwick_Morph* RequireMorph(TTarnwick_Mesh& mesh);
TTarnwick_Selection* RequireSelection(TTarnwick_Mesh& mesh);
// Adds a record made before a change to the undo list; a null record (undo is off) is ignored.
void RecordUndo(std::unique_ptr<TTarnwick_UndoNode> record);
// Commands 2 to 5: moves the item or group named by string parameter 0 into the group labelled by
// string parameter 1 of tree. Read-only items and moves into a group's own subtree are refused.
bool MoveDraggedTreeEntry(TTarnwick_TreeGroup* tree, const TZAVEvent& event);
