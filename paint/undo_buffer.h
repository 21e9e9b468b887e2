// The undo buffer: every undoable action first records what it is about to change (a selection,
// a morph target, the map pixels a paint stroke touches, a map, the map assignments, a name), and
// the user's undo takes back all records of the most recent action at once.
//
// Records of one action share the action counter's value at their creation. Undoing a record first
// captures the state it is about to replace into a record of the same kind, which goes onto the redo
// list; redoing one does the same the other way, so undo and redo both restore exact states. A new
// record clears the redo list. Undo and redo records together stay within UndoLimit megabytes:
// whole actions go, the oldest undo actions first, and the newest action always stays, so an undo
// never takes back half an action. In idle time older records are compressed, then paged out.
//
// [SECTION] Records
// [SECTION] The buffer
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/thingy.h"
#include "core/tree_group.h"
#include "mesh/morph.h"
#include "mesh/selection.h"

class TTarnwick_Object;
class TTarnwick_LayerList;
class TTarnwick_Mesh;
class TTarnwick_PolyQuadTreeNode;
class TZAVMaterialMap;

// [SECTION] Records

enum TTarnwick_UndoType : int32_t
{
    UndoType_Selection = 1000,
    UndoType_Morph = 1001,
    UndoType_Paint = 1002,
    UndoType_Map = 1003,
    UndoType_MapAssignments = 1004,
    UndoType_Rename = 1005,
    UndoType_HeadTemplate = 1006,
};

// The RGB pixels of one texel rectangle, rows packed; paged out in idle time.
class TTarnwick_Undo_Node_Paint_SparceBlock
{
public:
    int64_t ByteCount() const { return int64_t(Width) * Height * 3; }
    bool IsPagedOut() const { return PageID != 0; }
    void PageOut();
    void PageIn();
    ~TTarnwick_Undo_Node_Paint_SparceBlock();

    int32_t X = 0, Y = 0, Width = 0, Height = 0;
    std::unique_ptr<uint8_t[]> Pixels;
    int32_t PageID = 0;
};

// The blocks saved of one texture map.
class TTarnwick_Undo_Node_Paint_Map
{
public:
    int32_t MapID = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<std::unique_ptr<TTarnwick_Undo_Node_Paint_SparceBlock>> Blocks;
};

class TTarnwick_Undo_Node_Paint : public TTarnwick_Thingy
{
public:
    // The map node of that map; null when none was made.
    TTarnwick_Undo_Node_Paint_Map* FindMap(int32_t map_id) const;
    int32_t GetMemorySize() override;

    std::string PaintMode;
    bool Discarded = false;
    std::vector<std::unique_ptr<TTarnwick_Undo_Node_Paint_Map>> Maps;
};

// A whole map as an edit found it.
struct TTarnwick_SavedMap
{
    static std::unique_ptr<TTarnwick_SavedMap> From(const TZAVMaterialMap& map);
    // Puts the saved pixels and settings back; a change of size drops the map's tree and coverage.
    void RestoreInto(TZAVMaterialMap& map) const;
    int64_t ByteCount() const { return int64_t(Pixels.size()) + int64_t(Name.size()); }

    int32_t MapID = 0;
    std::string Name;
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;
    std::string MapFileName;
    std::string FileFormat;
    float DefaultColor[3] = {1, 1, 1};
};

// The map a material channel used.
struct TTarnwick_MapAssignment
{
    std::string Material;
    std::string Channel;
    int32_t MapIndex = -1;
};

class TTarnwick_UndoNode;

// The values a stroke changed, for those vertices alone: a stroke touches a tenth of a big figure,
// and copying the whole selection or morph for it would cost more than the stroke. One weight per
// vertex for a selection record (1000), three displacements for a morph record (1001).
struct TTarnwick_ValuePatch
{
    int32_t ItemID = 0;
    int32_t VertexCount = 0;
    int32_t Components = 1;
    std::vector<int32_t> Vertices;
    std::vector<float> Values;
};

// Told when its record is undone or redone; restores what its owner saved (the head templates).
class TTarnwick_UndoHook
{
public:
    virtual ~TTarnwick_UndoHook() = default;
    virtual void OnUndo(TTarnwick_UndoNode& record) = 0;
    // A hook that puts back the state as it is now, for the opposite direction; null when the
    // owner cannot capture it (the record is then not redone).
    virtual std::unique_ptr<TTarnwick_UndoHook> CaptureForRedo() { return nullptr; }
    virtual int64_t MemorySize() const { return 0; }
};

class TTarnwick_UndoNode
{
public:
    // Bytes the payload occupies, in memory or paged out.
    int64_t PayloadMemory() const;

    int32_t Layer = 0;
    int32_t Type = 0;
    bool IsCompressed = false;
    bool Optimised = false;
    // Payloads; the one of the record's type is set.
    std::unique_ptr<TTarnwick_Selection> Selection;
    std::unique_ptr<TTarnwick_Morph> Morph;
    std::unique_ptr<TTarnwick_ValuePatch> Patch;
    std::unique_ptr<TTarnwick_Undo_Node_Paint> Paint;
    std::unique_ptr<TTarnwick_SavedMap> SavedMap;
    std::vector<TTarnwick_MapAssignment> Assignments;
    bool HasAssignments = false;
    std::string SavedName;
    bool HasName = false;
    std::unique_ptr<TTarnwick_UndoHook> Hook;
    int64_t Memory = 0;
    int32_t ObjectID = 0;
    int32_t ItemID = 0;
    int64_t Action = 0;
};

using TTarnwick_UndoNodePtr = std::unique_ptr<TTarnwick_UndoNode>;

// Every channel of the mesh's materials with the map it uses.
std::vector<TTarnwick_MapAssignment> CaptureMapAssignments(const TTarnwick_Mesh& mesh);

// What a paint brush keeps per stroke: the quadtree nodes whose pixels it has saved already.
struct TTarnwick_UndoStroke
{
    void Clear() { SavedNodes.clear(); }
    std::unordered_set<const TTarnwick_PolyQuadTreeNode*> SavedNodes;
};

// [SECTION] The buffer

// The project's parts the buffer works on; pointers into the project that owns the buffer.
struct TTarnwick_UndoScene
{
    std::unique_ptr<TTarnwick_ObjectTreeGroup>* ObjectTree = nullptr;
    TTarnwick_Object** CurrentObject = nullptr;
    TTarnwick_LayerList* Layers = nullptr;
    bool* SceneChanged = nullptr;
    // The paint mode; the paint tools install them, and without them a mode is neither saved nor set.
    std::function<std::string()> GetPaintMode;
    std::function<void(const std::string&)> SetPaintMode;
};

class TTarnwick_UndoBuffer
{
public:
    explicit TTarnwick_UndoBuffer(TTarnwick_UndoScene scene) : Scene(std::move(scene)) {}
    TTarnwick_UndoBuffer(const TTarnwick_UndoBuffer&) = delete;
    TTarnwick_UndoBuffer& operator=(const TTarnwick_UndoBuffer&) = delete;

    // A record of the current object holding the state before the change; null when undo is off
    // (UndoLimit 0), there is no current object, the type is below 1000 (with a message), or
    // a selection or morph record finds none current. layer -1 is the current layer. A paint
    // record becomes the current paint record.
    TTarnwick_UndoNodePtr CreateUndoNode(int32_t type, int32_t layer);
    // A selection (1000) or morph (1001) record of the current selection or morph holding only the
    // given vertices' values from before the stroke (one or three floats per vertex); null as
    // CreateUndoNode would be, or when the values do not fit the item.
    TTarnwick_UndoNodePtr CreatePatch(int32_t type, std::span<const int32_t> vertices,
                                      std::span<const float> old_values);
    // Appends the record, clears the redo list, and drops the oldest whole actions while undo and
    // redo records exceed UndoLimit megabytes; the newest action always stays.
    void AddUndoNode(TTarnwick_UndoNodePtr record);
    // Before the first change of a stroke to each node: a block of the node's pixels, in the
    // current paint record's node of that map. Nodes the stroke saved already are skipped.
    void SaveUndoBlocks(std::span<TTarnwick_PolyQuadTreeNode* const> nodes, TTarnwick_UndoStroke& stroke,
                        TZAVMaterialMap& map);
    // Takes back every record of the most recent action; each goes to the redo list.
    void Undo();
    // Takes back the most recently undone action; each record goes to the undo list again.
    void Redo();
    // Idle work within budget_seconds: compresses, then pages out, the records oldest first. True
    // when every record is done.
    bool OptimzeUndoNodes(double budget_seconds);
    // Drops every record.
    void Clear();

    int32_t UndoCount() const { return int32_t(UndoList.size()); }
    int32_t RedoCount() const { return int32_t(RedoList.size()); }
    // Bytes of all undo and redo records.
    int64_t MemoryUse() const;
    const TTarnwick_UndoNode* Newest() const { return UndoList.empty() ? nullptr : UndoList.back().get(); }

    // Raised by the main window for every user action; records take its value.
    int64_t ActionCounter = 0;
    // The paint record of the stroke under way; blocks go here, and the idle work leaves it alone.
    // The brush clears it when its stroke ends; undo and trimming clear it too.
    TTarnwick_UndoNode* CurrentPaint = nullptr;

private:
    enum class TKeep
    {
        NewestUndo,
        NewestRedo,
    };
    TTarnwick_Object* CurrentObject() const;
    TTarnwick_Object* FindObject(int32_t id) const;
    // Restores the record into its object and returns the state it replaced as a record of the
    // same kind (null when there is nothing to take back).
    TTarnwick_UndoNodePtr Apply(TTarnwick_UndoNode& record, TTarnwick_Object& object);
    // Apply by record type: each puts the saved state back and keeps the state it replaces in
    // capture; false when the target is gone.
    bool ApplySelection(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture);
    bool ApplyMorph(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture);
    bool ApplyPatch(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture);
    bool ApplyPaint(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture);
    bool ApplyMap(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture);
    bool ApplyMapAssignments(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture);
    bool ApplyRename(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture);
    // Moves the newest action of `from` onto `to` by applying it.
    void TakeBack(std::vector<TTarnwick_UndoNodePtr>& from, std::vector<TTarnwick_UndoNodePtr>& to);
    void Trim(TKeep keep);
    void Forget(TTarnwick_UndoNode* record);
    int64_t LimitBytes() const;

    TTarnwick_UndoScene Scene;
    // Oldest first; the redo list's last record is the next to redo.
    std::vector<TTarnwick_UndoNodePtr> UndoList;
    std::vector<TTarnwick_UndoNodePtr> RedoList;
};
