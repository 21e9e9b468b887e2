// The undo buffer: creating and trimming records, undo and redo, and the idle compression and
// paging of older records.
//
// [SECTION] Records
// [SECTION] Finding what a record refers to
// [SECTION] Creating and adding records
// [SECTION] Undo and redo
// [SECTION] Idle work
#include "paint/undo_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/report.h"
#include "core/status.h"
#include "core/timer.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "files/settings.h"
#include "mesh/layer.h"
#include "mesh/material.h"
#include "mesh/morph_tree.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"
#include "paint/uv_quadtree.h"

namespace {

constexpr int32_t NothingToUndoEntry = 295;
constexpr int32_t DefaultUndoLimit = 64;
constexpr int32_t CommandMorphChanged = 7;
constexpr int32_t CommandRelayout = 66;
constexpr int32_t CommandUploadChangedMaps = 77;
constexpr int32_t CommandSelectionChanged = 80;
constexpr int32_t CommandRefreshPanels = 244;

int32_t UndoLimitMegabytes()
{
    return TarnwickSettings != nullptr ? TarnwickSettings->UndoLimit : DefaultUndoLimit;
}

// Copies a w × h rectangle of 3-byte pixels between a packed block and an image of image_width.
void CopyRows(const uint8_t* from, int64_t from_stride, uint8_t* to, int64_t to_stride, int32_t rows,
              int64_t row_bytes)
{
    for (int32_t row = 0; row < rows; row++)
        std::memcpy(to + row * to_stride, from + row * from_stride, size_t(row_bytes));
}

std::unique_ptr<TTarnwick_Undo_Node_Paint_SparceBlock> GrabBlock(TZAVMaterialMap& map, int32_t x, int32_t y,
                                                                 int32_t width, int32_t height)
{
    auto block = std::make_unique<TTarnwick_Undo_Node_Paint_SparceBlock>();
    block->X = x;
    block->Y = y;
    block->Width = width;
    block->Height = height;
    try {
        block->Pixels.reset(new uint8_t[size_t(block->ByteCount())]);
    } catch (const std::bad_alloc&) {
        ReportError("Out Of Memory");
    }
    CopyRows(map.PixelAt(x, y), int64_t(map.Width) * 3, block->Pixels.get(), int64_t(width) * 3, height,
             int64_t(width) * 3);
    return block;
}

bool BlockFits(const TTarnwick_Undo_Node_Paint_SparceBlock& block, const TZAVMaterialMap& map)
{
    return block.X >= 0 && block.Y >= 0 && block.Width > 0 && block.Height > 0 &&
           block.X + block.Width <= map.Width && block.Y + block.Height <= map.Height;
}

template <typename TItem> TItem* FindItemWithID(TTarnwick_TreeGroup* tree, int32_t id)
{
    struct TSearch
    {
        int32_t ID;
        TItem* Found = nullptr;
    } search{id};
    if (tree == nullptr)
        return nullptr;
    TTarnwick_TreeGroup::Walk(
        tree, 0,
        [](TTarnwick_TreeGroup* group, int32_t, void* data) {
            auto& search = *static_cast<TSearch*>(data);
            for (TTarnwick_Thingy* item : group->List)
                if (item != nullptr && item->ID == search.ID)
                    if (auto* found = dynamic_cast<TItem*>(item)) {
                        search.Found = found;
                        return false;
                    }
            return true;
        },
        &search, TZAVWalkOrder::PreOrder);
    return search.Found;
}

TZAVMaterialMap* FindMap(TTarnwick_Mesh& mesh, int32_t id)
{
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++)
        if (TZAVMaterialMap* map = MaterialMapAt(mesh, index); map != nullptr && map->ID == id)
            return map;
    return nullptr;
}

void MarkMapChanged(TZAVMaterialMap& map)
{
    map.Painted = 1;
    map.UploadPending = 1;
}

} // namespace

// [SECTION] Records

TTarnwick_Undo_Node_Paint_SparceBlock::~TTarnwick_Undo_Node_Paint_SparceBlock()
{
    DiscardPaged(PageID);
}

void TTarnwick_Undo_Node_Paint_SparceBlock::PageOut()
{
    if (Pixels && PageID == 0)
        ::PageOut(Pixels, ByteCount(), PageID);
}

void TTarnwick_Undo_Node_Paint_SparceBlock::PageIn()
{
    if (PageID == 0)
        return;
    int64_t size = 0;
    ::PageIn(Pixels, size, PageID);
}

TTarnwick_Undo_Node_Paint_Map* TTarnwick_Undo_Node_Paint::FindMap(int32_t map_id) const
{
    for (const auto& map : Maps)
        if (map->MapID == map_id)
            return map.get();
    return nullptr;
}

int32_t TTarnwick_Undo_Node_Paint::GetMemorySize()
{
    int64_t bytes = 0;
    for (const auto& map : Maps)
        for (const auto& block : map->Blocks)
            bytes += block->ByteCount();
    return int32_t(std::min<int64_t>(bytes, INT32_MAX));
}

std::unique_ptr<TTarnwick_SavedMap> TTarnwick_SavedMap::From(const TZAVMaterialMap& map)
{
    auto saved = std::make_unique<TTarnwick_SavedMap>();
    saved->MapID = map.ID;
    saved->Name = map.Name;
    saved->Width = map.Width;
    saved->Height = map.Height;
    saved->Pixels = map.Pixels;
    saved->MapFileName = map.MapFileName;
    saved->FileFormat = map.FileFormat;
    std::copy(std::begin(map.DefaultColor), std::end(map.DefaultColor), saved->DefaultColor);
    return saved;
}

void TTarnwick_SavedMap::RestoreInto(TZAVMaterialMap& map) const
{
    if (map.Width != Width || map.Height != Height) {
        map.DropQuadTree();
        map.InvalidateCoverage();
    }
    map.SetNameLiteral(Name);
    map.Width = Width;
    map.Height = Height;
    map.Pixels = Pixels;
    map.MapFileName = MapFileName;
    map.FileFormat = FileFormat;
    std::copy(std::begin(DefaultColor), std::end(DefaultColor), map.DefaultColor);
    MarkMapChanged(map);
}

int64_t TTarnwick_UndoNode::PayloadMemory() const
{
    int64_t bytes = 0;
    if (Selection)
        bytes += Selection->GetMemorySize();
    if (Morph)
        bytes += Morph->GetMemorySize();
    if (Patch)
        bytes += int64_t(sizeof(TTarnwick_ValuePatch) + Patch->Vertices.size() * sizeof(int32_t) +
                         Patch->Values.size() * sizeof(float));
    if (Paint)
        bytes += Paint->GetMemorySize();
    if (SavedMap)
        bytes += SavedMap->ByteCount();
    for (const TTarnwick_MapAssignment& assignment : Assignments)
        bytes += int64_t(sizeof(assignment) + assignment.Material.size() + assignment.Channel.size());
    bytes += int64_t(SavedName.size());
    if (Hook)
        bytes += Hook->MemorySize();
    return bytes;
}

std::vector<TTarnwick_MapAssignment> CaptureMapAssignments(const TTarnwick_Mesh& mesh)
{
    std::vector<TTarnwick_MapAssignment> assignments;
    for (TZAVMaterial* material : mesh.Materials)
        for (TZAVMaterialChannel* channel : material->ArbChannels)
            assignments.push_back({material->Name, channel->Name, channel->TextureIndex});
    return assignments;
}

// [SECTION] Finding what a record refers to

TTarnwick_Object* TTarnwick_UndoBuffer::CurrentObject() const
{
    return Scene.CurrentObject != nullptr ? *Scene.CurrentObject : nullptr;
}

TTarnwick_Object* TTarnwick_UndoBuffer::FindObject(int32_t id) const
{
    if (Scene.ObjectTree == nullptr)
        return nullptr;
    return FindItemWithID<TTarnwick_Object>(Scene.ObjectTree->get(), id);
}

// [SECTION] Creating and adding records

TTarnwick_UndoNodePtr TTarnwick_UndoBuffer::CreateUndoNode(int32_t type, int32_t layer)
{
    TTarnwick_Object* object = CurrentObject();
    if (UndoLimitMegabytes() <= 0 || object == nullptr)
        return nullptr;
    if (type < UndoType_Selection) {
        ShowMessage(GlobalDialogHost, "Invalid type in CreateUndoNode()");
        return nullptr;
    }
    auto record = std::make_unique<TTarnwick_UndoNode>();
    record->Type = type;
    record->Layer = layer >= 0 || Scene.Layers == nullptr ? layer : Scene.Layers->GetCurrentLayerIndex();
    record->ObjectID = object->ID;
    record->Action = ActionCounter;
    TTarnwick_Mesh* mesh = object->Mesh.get();
    switch (type) {
    case UndoType_Selection:
        if (mesh == nullptr || mesh->CurrentSelection == nullptr)
            return nullptr;
        record->Selection = std::make_unique<TTarnwick_Selection>(mesh->CurrentSelection->vcount);
        record->Selection->Copy(mesh->CurrentSelection);
        break;
    case UndoType_Morph:
        if (mesh == nullptr || mesh->CurrentMorph == nullptr)
            return nullptr;
        record->Morph = std::make_unique<TTarnwick_Morph>(mesh->CurrentMorph->vcount);
        record->Morph->Copy(mesh->CurrentMorph);
        break;
    case UndoType_Paint:
        record->Paint = std::make_unique<TTarnwick_Undo_Node_Paint>();
        if (Scene.GetPaintMode)
            record->Paint->PaintMode = Scene.GetPaintMode();
        CurrentPaint = record.get();
        break;
    default:
        break;
    }
    record->Memory = record->PayloadMemory();
    return record;
}

namespace {

// The patch's values as the item holds them now; the item is expanded so that they can be read
// and written in place.
std::unique_ptr<TTarnwick_ValuePatch> CapturePatch(const TTarnwick_ValuePatch& like, TTarnwick_Selection* selection,
                                                   TTarnwick_Morph* morph)
{
    auto patch = std::make_unique<TTarnwick_ValuePatch>(like);
    if (selection != nullptr) {
        for (size_t i = 0; i < like.Vertices.size(); i++)
            patch->Values[i] = selection->GetVSelect(like.Vertices[i]);
        return patch;
    }
    morph->Expand();
    const float* deltas = morph->vertices();
    for (size_t i = 0; i < like.Vertices.size(); i++)
        std::copy_n(deltas + 3 * static_cast<size_t>(like.Vertices[i]), 3, &patch->Values[3 * i]);
    return patch;
}

} // namespace

TTarnwick_UndoNodePtr TTarnwick_UndoBuffer::CreatePatch(int32_t type, std::span<const int32_t> vertices,
                                                        std::span<const float> old_values)
{
    TTarnwick_Object* object = CurrentObject();
    TTarnwick_Mesh* mesh = object != nullptr ? object->Mesh.get() : nullptr;
    if (UndoLimitMegabytes() <= 0 || mesh == nullptr)
        return nullptr;
    auto patch = std::make_unique<TTarnwick_ValuePatch>();
    if (type == UndoType_Selection && mesh->CurrentSelection != nullptr) {
        patch->ItemID = mesh->CurrentSelection->ID;
        patch->VertexCount = mesh->CurrentSelection->vcount;
    } else if (type == UndoType_Morph && mesh->CurrentMorph != nullptr) {
        patch->ItemID = mesh->CurrentMorph->ID;
        patch->VertexCount = mesh->CurrentMorph->vcount;
        patch->Components = 3;
    } else {
        return nullptr;
    }
    if (old_values.size() != vertices.size() * static_cast<size_t>(patch->Components))
        return nullptr;
    for (int32_t vertex : vertices)
        if (static_cast<uint32_t>(vertex) >= static_cast<uint32_t>(patch->VertexCount))
            return nullptr;
    patch->Vertices.assign(vertices.begin(), vertices.end());
    patch->Values.assign(old_values.begin(), old_values.end());
    auto record = std::make_unique<TTarnwick_UndoNode>();
    record->Type = type;
    record->Layer = Scene.Layers != nullptr ? Scene.Layers->GetCurrentLayerIndex() : -1;
    record->ObjectID = object->ID;
    record->Action = ActionCounter;
    record->Patch = std::move(patch);
    record->Memory = record->PayloadMemory();
    return record;
}

int64_t TTarnwick_UndoBuffer::LimitBytes() const
{
    return int64_t(UndoLimitMegabytes()) << 20;
}

int64_t TTarnwick_UndoBuffer::MemoryUse() const
{
    int64_t bytes = 0;
    for (const auto* list : {&UndoList, &RedoList})
        for (const TTarnwick_UndoNodePtr& record : *list)
            bytes += record->Memory;
    return bytes;
}

void TTarnwick_UndoBuffer::Forget(TTarnwick_UndoNode* record)
{
    if (record == CurrentPaint)
        CurrentPaint = nullptr;
}

void TTarnwick_UndoBuffer::AddUndoNode(TTarnwick_UndoNodePtr record)
{
    if (!record)
        return;
    for (TTarnwick_UndoNodePtr& undone : RedoList)
        Forget(undone.get());
    RedoList.clear();
    UndoList.push_back(std::move(record));
    Trim(TKeep::NewestUndo);
}

// Whole actions only: the records of an action share its number and lie together in each list.
void TTarnwick_UndoBuffer::Trim(TKeep keep)
{
    auto action_count = [](const std::vector<TTarnwick_UndoNodePtr>& list) {
        int32_t count = 0;
        for (size_t i = 0; i < list.size(); i++)
            if (i == 0 || list[i]->Action != list[i - 1]->Action)
                count++;
        return count;
    };
    // The redo list's first action is the last to be redone, so it goes first.
    auto drop_first_action = [this](std::vector<TTarnwick_UndoNodePtr>& list) {
        const int64_t action = list.front()->Action;
        size_t end = 0;
        while (end < list.size() && list[end]->Action == action)
            Forget(list[end++].get());
        list.erase(list.begin(), list.begin() + ptrdiff_t(end));
    };
    for (auto* list : {&UndoList, &RedoList})
        for (TTarnwick_UndoNodePtr& record : *list)
            record->Memory = record->PayloadMemory();
    if (UndoLimitMegabytes() <= 0)
        return;
    const int64_t limit = LimitBytes();
    while (MemoryUse() > limit) {
        if (action_count(UndoList) > (keep == TKeep::NewestUndo ? 1 : 0))
            drop_first_action(UndoList);
        else if (action_count(RedoList) > (keep == TKeep::NewestRedo ? 1 : 0))
            drop_first_action(RedoList);
        else
            break;
    }
}

void TTarnwick_UndoBuffer::SaveUndoBlocks(std::span<TTarnwick_PolyQuadTreeNode* const> nodes,
                                          TTarnwick_UndoStroke& stroke, TZAVMaterialMap& map)
{
    if (CurrentPaint == nullptr || !CurrentPaint->Paint || !map.HasPixels())
        return;
    TTarnwick_Undo_Node_Paint& paint = *CurrentPaint->Paint;
    for (TTarnwick_PolyQuadTreeNode* node : nodes) {
        if (node == nullptr || node->PixelWidth <= 0 || node->PixelHeight <= 0)
            continue;
        if (!stroke.SavedNodes.insert(node).second)
            continue;
        const int32_t x = std::clamp(node->PixelX, 0, map.Width);
        const int32_t y = std::clamp(node->PixelY, 0, map.Height);
        const int32_t width = std::min(node->PixelX + node->PixelWidth, map.Width) - x;
        const int32_t height = std::min(node->PixelY + node->PixelHeight, map.Height) - y;
        if (width <= 0 || height <= 0)
            continue;
        TTarnwick_Undo_Node_Paint_Map* saved = paint.FindMap(map.ID);
        if (saved == nullptr) {
            paint.Maps.push_back(std::make_unique<TTarnwick_Undo_Node_Paint_Map>());
            saved = paint.Maps.back().get();
            saved->MapID = map.ID;
            saved->Width = map.Width;
            saved->Height = map.Height;
        }
        saved->Blocks.push_back(GrabBlock(map, x, y, width, height));
    }
    CurrentPaint->Memory = CurrentPaint->PayloadMemory();
}

void TTarnwick_UndoBuffer::Clear()
{
    CurrentPaint = nullptr;
    UndoList.clear();
    RedoList.clear();
}

// [SECTION] Undo and redo

TTarnwick_UndoNodePtr TTarnwick_UndoBuffer::Apply(TTarnwick_UndoNode& record, TTarnwick_Object& object)
{
    auto capture = std::make_unique<TTarnwick_UndoNode>();
    capture->Type = record.Type;
    capture->Layer = record.Layer;
    capture->ObjectID = record.ObjectID;
    capture->ItemID = record.ItemID;
    capture->Action = record.Action;
    if (record.Hook) {
        capture->Hook = record.Hook->CaptureForRedo();
        record.Hook->OnUndo(record);
    }
    TTarnwick_Mesh* mesh = object.Mesh.get();
    bool applied = false;
    switch (record.Type) {
    case UndoType_Selection:
        applied = record.Patch ? ApplyPatch(record, mesh, *capture) : ApplySelection(record, mesh, *capture);
        break;
    case UndoType_Morph:
        applied = record.Patch ? ApplyPatch(record, mesh, *capture) : ApplyMorph(record, mesh, *capture);
        break;
    case UndoType_Paint:
        applied = ApplyPaint(record, mesh, *capture);
        break;
    case UndoType_Map:
        applied = ApplyMap(record, mesh, *capture);
        break;
    case UndoType_MapAssignments:
        applied = ApplyMapAssignments(record, mesh, *capture);
        break;
    case UndoType_Rename:
        applied = ApplyRename(record, mesh, *capture);
        break;
    default:
        // The hook restored what the record saved.
        applied = capture->Hook != nullptr;
        break;
    }
    if (!applied)
        return nullptr;
    capture->Memory = capture->PayloadMemory();
    return capture;
}

bool TTarnwick_UndoBuffer::ApplySelection(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture)
{
    AddStatus("Undoing select");
    TTarnwick_Selection* live =
        mesh != nullptr && record.Selection
            ? FindItemWithID<TTarnwick_Selection>(mesh->SelectionTree.get(), record.Selection->SourceID)
            : nullptr;
    if (live == nullptr || live->vcount != record.Selection->vcount)
        return false;
    capture.Selection = std::make_unique<TTarnwick_Selection>(live->vcount);
    capture.Selection->Copy(live);
    // Copying into the live selection would make the record its source.
    const int32_t source = live->SourceID;
    live->Copy(record.Selection.get());
    live->SourceID = source;
    mesh->SetCurrentSelection(live, TZAVOldSelection::Compress);
    // Making the selection current again marks nothing when it already was.
    mesh->SelectionDisplayStale = true;
    PostCommand(CommandSelectionChanged);
    return true;
}

bool TTarnwick_UndoBuffer::ApplyMorph(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture)
{
    TTarnwick_Morph* live =
        mesh != nullptr && record.Morph
            ? FindItemWithID<TTarnwick_Morph>(mesh->MorphTree.get(), record.Morph->SourceID)
            : nullptr;
    if (live == nullptr || live->vcount != record.Morph->vcount)
        return false;
    capture.Morph = std::make_unique<TTarnwick_Morph>(live->vcount);
    capture.Morph->Copy(live);
    const int32_t source = live->SourceID;
    live->Copy(record.Morph.get());
    live->SourceID = source;
    mesh->SetCurrentMorph(live);
    // The figure shows the restored morph at once, shaded by its own normals.
    mesh->ResolveVertices();
    mesh->ComputeNormals(TZAVNormalScope::All);
    PostCommand(CommandMorphChanged);
    return true;
}

bool TTarnwick_UndoBuffer::ApplyPatch(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture)
{
    if (mesh == nullptr)
        return false;
    const TTarnwick_ValuePatch& patch = *record.Patch;
    if (record.Type == UndoType_Selection) {
        auto* selection = FindItemWithID<TTarnwick_Selection>(mesh->SelectionTree.get(), patch.ItemID);
        if (selection == nullptr || selection->vcount != patch.VertexCount)
            return false;
        AddStatus("Undoing select");
        capture.Patch = CapturePatch(patch, selection, nullptr);
        for (size_t i = 0; i < patch.Vertices.size(); i++)
            selection->SetVSelect(patch.Vertices[i], patch.Values[i]);
        mesh->SetCurrentSelection(selection, TZAVOldSelection::Compress);
        mesh->SelectionDisplayStale = true;
        PostCommand(CommandSelectionChanged);
        return true;
    }
    auto* morph = FindItemWithID<TTarnwick_Morph>(mesh->MorphTree.get(), patch.ItemID);
    if (morph == nullptr || morph->vcount != patch.VertexCount)
        return false;
    capture.Patch = CapturePatch(patch, nullptr, morph);
    float* deltas = morph->vertices();
    for (size_t i = 0; i < patch.Vertices.size(); i++)
        std::copy_n(&patch.Values[3 * i], 3, deltas + 3 * static_cast<size_t>(patch.Vertices[i]));
    if (mesh->CurrentMorph == morph) {
        // Only the patched vertices moved.
        mesh->UpdateVertices(patch.Vertices);
    } else {
        mesh->SetCurrentMorph(morph);
        mesh->ResolveVertices();
        mesh->ComputeNormals(TZAVNormalScope::All);
    }
    PostCommand(CommandMorphChanged);
    return true;
}

bool TTarnwick_UndoBuffer::ApplyPaint(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture)
{
    if (!record.Paint)
        return false;
    capture.Paint = std::make_unique<TTarnwick_Undo_Node_Paint>();
    if (Scene.GetPaintMode)
        capture.Paint->PaintMode = Scene.GetPaintMode();
    if (Scene.SetPaintMode && Scene.GetPaintMode && record.Paint->PaintMode != Scene.GetPaintMode())
        Scene.SetPaintMode(record.Paint->PaintMode);
    bool uploaded = false;
    for (const auto& saved : record.Paint->Maps) {
        TZAVMaterialMap* map =
            mesh != nullptr && !record.Paint->Discarded ? FindMap(*mesh, saved->MapID) : nullptr;
        if (map == nullptr || map->Width != saved->Width || map->Height != saved->Height ||
            !map->HasPixels())
            continue;
        auto captured = std::make_unique<TTarnwick_Undo_Node_Paint_Map>();
        captured->MapID = saved->MapID;
        captured->Width = saved->Width;
        captured->Height = saved->Height;
        // Every rectangle as it is now, before any is written: blocks may overlap.
        for (const auto& block : saved->Blocks)
            if (BlockFits(*block, *map))
                captured->Blocks.push_back(
                    GrabBlock(*map, block->X, block->Y, block->Width, block->Height));
        // The first block saved holds the oldest pixels, so it is written last.
        for (auto block = saved->Blocks.rbegin(); block != saved->Blocks.rend(); ++block) {
            if (!BlockFits(**block, *map))
                continue;
            (*block)->PageIn();
            CopyRows((*block)->Pixels.get(), int64_t((*block)->Width) * 3,
                     map->PixelAt((*block)->X, (*block)->Y), int64_t(map->Width) * 3, (*block)->Height,
                     int64_t((*block)->Width) * 3);
        }
        MarkMapChanged(*map);
        uploaded = uploaded || map->TextureId != 0;
        capture.Paint->Maps.push_back(std::move(captured));
    }
    PostCommand(CommandSelectionChanged);
    // The textures take the restored pixels with the next upload.
    if (uploaded)
        PostCommand(CommandUploadChangedMaps);
    return true;
}

bool TTarnwick_UndoBuffer::ApplyMap(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture)
{
    if (!record.SavedMap) {
        ShowMessage(GlobalDialogHost, "UndoMap == NULL");
        return false;
    }
    TZAVMaterialMap* map = mesh != nullptr ? FindMap(*mesh, record.SavedMap->MapID) : nullptr;
    if (map == nullptr) {
        ShowMessage(GlobalDialogHost, "The map %s no longer exists", record.SavedMap->Name.c_str());
        return false;
    }
    capture.SavedMap = TTarnwick_SavedMap::From(*map);
    record.SavedMap->RestoreInto(*map);
    PostCommand(CommandRelayout);
    PostCommand(CommandRefreshPanels);
    return true;
}

bool TTarnwick_UndoBuffer::ApplyMapAssignments(TTarnwick_UndoNode& record, TTarnwick_Mesh* mesh, TTarnwick_UndoNode& capture)
{
    AddStatus("Undoing map assignment(s)");
    if (!record.HasAssignments) {
        ShowMessage(GlobalDialogHost, "a = NULL");
        return false;
    }
    capture.HasAssignments = true;
    for (const TTarnwick_MapAssignment& assignment : record.Assignments) {
        TZAVMaterialChannel* channel = nullptr;
        if (mesh != nullptr)
            for (TZAVMaterial* material : mesh->Materials)
                if (material->Name == assignment.Material && channel == nullptr)
                    channel = material->FindChannel(assignment.Channel);
        if (channel == nullptr)
            continue;
        capture.Assignments.push_back({assignment.Material, assignment.Channel, channel->TextureIndex});
        channel->TextureIndex = assignment.MapIndex;
    }
    PostCommand(CommandRelayout);
    PostCommand(CommandRefreshPanels);
    return true;
}

bool TTarnwick_UndoBuffer::ApplyRename(TTarnwick_UndoNode& record, TTarnwick_Mesh*, TTarnwick_UndoNode& capture)
{
    // Scene objects are not in the ID registry; the object tree has them.
    TTarnwick_Thingy* item = FindObject(record.ItemID);
    if (item == nullptr)
        item = TTarnwick_Thingy::FindByID(record.ItemID);
    if (item == nullptr || !record.HasName) {
        ShowMessage(GlobalDialogHost, "The original item \"%s\" no longer exists",
                    record.SavedName.c_str());
        return false;
    }
    capture.HasName = true;
    capture.SavedName = item->Name;
    item->SetNameLiteral(record.SavedName);
    PostCommand(CommandRefreshPanels);
    return true;
}

void TTarnwick_UndoBuffer::TakeBack(std::vector<TTarnwick_UndoNodePtr>& from,
                                    std::vector<TTarnwick_UndoNodePtr>& to)
{
    CurrentPaint = nullptr;
    const int64_t action = from.back()->Action;
    while (!from.empty() && from.back()->Action == action) {
        TTarnwick_UndoNodePtr record = std::move(from.back());
        from.pop_back();
        // A record whose object is gone is dropped; the rest of its action is still taken back.
        TTarnwick_Object* object = FindObject(record->ObjectID);
        if (object == nullptr)
            continue;
        if (Scene.CurrentObject != nullptr && *Scene.CurrentObject != object) {
            *Scene.CurrentObject = object;
            if (Scene.SceneChanged != nullptr)
                *Scene.SceneChanged = true;
        }
        if (Scene.Layers != nullptr && record->Layer >= 0 &&
            record->Layer != Scene.Layers->GetCurrentLayerIndex())
            Scene.Layers->SetCurrentLayer(record->Layer);
        if (TTarnwick_UndoNodePtr capture = Apply(*record, *object))
            to.push_back(std::move(capture));
    }
}

void TTarnwick_UndoBuffer::Undo()
{
    if (UndoList.empty()) {
        if (UndoLimitMegabytes() <= 0)
            ShowMessage(GlobalDialogHost,
                        "The undo buffer is disabled. To enable it, set the 'Undo Limit' to a "
                        "value greater than zero in the 'General Options' window.");
        else
            ShowMessage(GlobalDialogHost, "%s", GetLanguageString(NothingToUndoEntry));
        return;
    }
    TakeBack(UndoList, RedoList);
    Trim(TKeep::NewestRedo);
}

void TTarnwick_UndoBuffer::Redo()
{
    if (RedoList.empty()) {
        ShowMessage(GlobalDialogHost, "There is nothing to redo.");
        return;
    }
    TakeBack(RedoList, UndoList);
    Trim(TKeep::NewestUndo);
}

// [SECTION] Idle work

bool TTarnwick_UndoBuffer::OptimzeUndoNodes(double budget_seconds)
{
    TZAVStopwatch stopwatch;
    for (auto* list : {&UndoList, &RedoList}) {
        for (size_t i = 0; i < list->size();) {
            TTarnwick_UndoNode& record = *(*list)[i];
            // The stroke under way still adds blocks.
            if (record.Optimised || &record == CurrentPaint) {
                i++;
                continue;
            }
            if (FindObject(record.ObjectID) == nullptr) {
                Forget(&record);
                list->erase(list->begin() + ptrdiff_t(i));
                continue;
            }
            if (record.Selection || record.Morph) {
                TTarnwick_VertexValues<1>* selection = record.Selection.get();
                TTarnwick_VertexValues<3>* morph = record.Morph.get();
                if (!record.IsCompressed) {
                    record.IsCompressed = true;
                    if (selection != nullptr)
                        selection->Compress();
                    if (morph != nullptr)
                        morph->Compress();
                } else {
                    if (selection != nullptr)
                        selection->PageOut();
                    if (morph != nullptr)
                        morph->PageOut();
                    record.Optimised = true;
                }
            } else if (record.Paint && !record.Paint->Discarded) {
                for (const auto& map : record.Paint->Maps)
                    for (const auto& block : map->Blocks) {
                        if (block->IsPagedOut())
                            continue;
                        block->PageOut();
                        if (stopwatch.Elapsed() > budget_seconds)
                            return false;
                    }
                record.Optimised = true;
            } else {
                record.Optimised = true;
            }
            i++;
            if (stopwatch.Elapsed() > budget_seconds)
                return false;
        }
    }
    return std::all_of(UndoList.begin(), UndoList.end(),
                       [this](const TTarnwick_UndoNodePtr& record) {
                           return record->Optimised || record.get() == CurrentPaint;
                       }) &&
           std::all_of(RedoList.begin(), RedoList.end(),
                       [](const TTarnwick_UndoNodePtr& record) { return record->Optimised; });
}
