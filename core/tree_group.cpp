#include "core/tree_group.h"

#include <memory>

#include "core/binary_chunk.h"
#include "core/dialogs.h"
#include "core/text_block.h"
#include "core/text_scan.h"

// [SECTION] Persistence

TTarnwick_TreeGroup::TTarnwick_TreeGroup()
{
    SetNameLiteral("New Group");
}

TTarnwick_TreeGroup::~TTarnwick_TreeGroup()
{
    List.Clear();
}

bool TTarnwick_TreeGroup::SaveToStream(FILE* file)
{
    int64_t size_position = 0;
    return OpenChunk(file, ChunkType, size_position) && WriteThingyRecord(file) &&
           WriteUInt8(file, Collapsed) && WriteUInt8(file, Hidden) && WriteInt32LE(file, Index) &&
           WriteInt32LE(file, ParentIndex) && CloseChunk(file, size_position);
}

bool TTarnwick_TreeGroup::LoadFromStream(FILE* file)
{
    TTarnwick_ThingyRecord record;
    uint8_t collapsed = 0;
    uint8_t hidden = 0;
    int32_t index = -1;
    int32_t parent_index = -1;
    if (!ReadThingyRecord(file, record) || !ReadUInt8(file, collapsed) || !ReadUInt8(file, hidden) ||
        !ReadInt32LE(file, index) || !ReadInt32LE(file, parent_index))
        return false;
    ApplyThingyRecord(record);
    Collapsed = collapsed != 0;
    Hidden = hidden != 0;
    Index = index;
    ParentIndex = parent_index;
    return true;
}

bool TTarnwick_TreeGroup::SaveToStream_Text(FILE* file)
{
    if (Hidden)
        return true;
    bool is_root = Parent() == nullptr;
    TStartTextFileBlock block(file, is_root ? Label.c_str() : "group", is_root ? std::string_view() : Name);
    bool written = block.Good() && TTarnwick_Thingy::SaveToStream_Text(file) &&
                   WriteTextFlag(file, "Collapsed", Collapsed) && WriteTextFlag(file, "Hidden", Hidden) &&
                   WriteTextEmptyLine(file);
    for (TTarnwick_Thingy* item : List)
        written = written && item->SaveToStream_Text(file);
    // The parent walks its children, so a hidden child does not take its later siblings with it.
    for (TTarnwick_TreeGroup* child = FirstChildGroup(); child != nullptr; child = child->NextGroup())
        written = written && child->SaveToStream_Text(file);
    return block.Close() && written;
}

bool TTarnwick_TreeGroup::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                              std::string_view value)
{
    if (SameTextNoCase(key, "Collapsed")) {
        Collapsed = TextValueInt(value) != 0;
        return true;
    }
    if (SameTextNoCase(key, "Hidden")) {
        Hidden = TextValueInt(value) != 0;
        return true;
    }
    if (SameTextNoCase(key, "group"))
        return LoadSubGroup(reader, key, value);
    return false;
}

bool TTarnwick_TreeGroup::LoadSubGroup(TZAVTextReader& reader, std::string_view, std::string_view value)
{
    return AdoptSubGroup(reader, value, new TTarnwick_TreeGroup());
}

bool TTarnwick_TreeGroup::AdoptSubGroup(TZAVTextReader& reader, std::string_view name,
                                        TTarnwick_TreeGroup* group)
{
    std::unique_ptr<TTarnwick_TreeGroup> owned(group);
    owned->SetNameLiteral(name);
    if (owned->LoadFromStream_Text(reader))
        AddChild(owned.release());
    return true;
}

// [SECTION] Walking the tree

namespace {

enum class TVisit : int32_t
{
    Descend,
    SkipChildren,
    Stop,
};

// Visits group, its following siblings and all their subtrees depth first, through the links
// rather than by recursion, so that no depth of tree can exhaust the stack. enter(group, depth)
// comes before a group's subtree and says whether to go into it; leave(group, depth) comes after
// it and may stop the walk with false. False when the walk was stopped.
template <typename TEnter, typename TLeave>
bool TraverseGroups(TTarnwick_TreeGroup* group, int32_t depth, TEnter enter, TLeave leave)
{
    int32_t level = 0;
    while (group != nullptr) {
        const TVisit visit = enter(group, depth + level);
        if (visit == TVisit::Stop)
            return false;
        if (visit == TVisit::Descend && group->FirstChildGroup() != nullptr) {
            group = group->FirstChildGroup();
            level++;
            continue;
        }
        // Leave this group and every ancestor whose last child it closes.
        for (;;) {
            if (!leave(group, depth + level))
                return false;
            if (group->NextGroup() != nullptr) {
                group = group->NextGroup();
                break;
            }
            if (level == 0)
                return true;
            group = group->ParentGroup();
            level--;
        }
    }
    return true;
}

bool LeaveAlone(TTarnwick_TreeGroup*, int32_t)
{
    return true;
}

} // namespace

TTarnwick_Thingy* TTarnwick_TreeGroup::FindItemByID(TTarnwick_TreeGroup* group, int32_t id)
{
    TTarnwick_Thingy* found = nullptr;
    TraverseGroups(
        group, 0,
        [&](TTarnwick_TreeGroup* visited, int32_t) {
            for (TTarnwick_Thingy* item : visited->List) {
                if (item != nullptr && item->ID == id) {
                    found = item;
                    return TVisit::Stop;
                }
            }
            return TVisit::Descend;
        },
        LeaveAlone);
    return found;
}

bool TTarnwick_TreeGroup::Walk(TTarnwick_TreeGroup* group, int32_t depth, TWalkCallback callback, void* data,
                               TZAVWalkOrder order)
{
    return TraverseGroups(
        group, depth,
        [&](TTarnwick_TreeGroup* visited, int32_t at) {
            return order == TZAVWalkOrder::PostOrder || callback(visited, at, data) ? TVisit::Descend
                                                                                    : TVisit::Stop;
        },
        [&](TTarnwick_TreeGroup* visited, int32_t at) {
            return order == TZAVWalkOrder::PreOrder || callback(visited, at, data);
        });
}

void TTarnwick_TreeGroup::WalkPruned(TTarnwick_TreeGroup* group, int32_t depth, TWalkCallback callback,
                                     void* data)
{
    TraverseGroups(
        group, depth,
        [&](TTarnwick_TreeGroup* visited, int32_t at) {
            return callback(visited, at, data) ? TVisit::Descend : TVisit::SkipChildren;
        },
        LeaveAlone);
}

void TTarnwick_TreeGroup::NumberGroups(TTarnwick_TreeGroup* group, TTarnwick_TreeGroup* parent,
                                       int32_t& counter)
{
    TraverseGroups(
        group, 0,
        [&](TTarnwick_TreeGroup* visited, int32_t depth) {
            TTarnwick_TreeGroup* visited_parent = depth == 0 ? parent : visited->ParentGroup();
            visited->Index = counter++;
            visited->ParentIndex = visited_parent != nullptr ? visited_parent->Index : -1;
            return TVisit::Descend;
        },
        LeaveAlone);
}

void TTarnwick_TreeGroup::SetChunkTypes(TTarnwick_TreeGroup* group, int32_t group_type, int32_t item_type)
{
    TraverseGroups(
        group, 0,
        [&](TTarnwick_TreeGroup* visited, int32_t) {
            visited->ChunkType = group_type;
            for (TTarnwick_Thingy* item : visited->List)
                if (item != nullptr)
                    item->ChunkType = item_type;
            return TVisit::Descend;
        },
        LeaveAlone);
}

// [SECTION] The tree panel's rows and drag and drop

void TTarnwick_TreeGroup::FlattenTree(TTarnwick_TreeGroup* tree, std::vector<TTarnwick_TreeRow>& out_rows)
{
    out_rows.clear();
    TraverseGroups(
        tree, 0,
        [&](TTarnwick_TreeGroup* group, int32_t depth) {
            if (group->Hidden)
                return TVisit::SkipChildren;
            out_rows.push_back({group, nullptr, depth});
            if (group->Collapsed)
                return TVisit::SkipChildren;
            for (TTarnwick_Thingy* item : group->List)
                out_rows.push_back({group, item, depth + 1});
            return TVisit::Descend;
        },
        LeaveAlone);
}

bool TTarnwick_TreeGroup::MoveTreeItem(TTarnwick_TreeGroup* tree, int32_t from, int32_t to)
{
    std::vector<TTarnwick_TreeRow> rows;
    FlattenTree(tree, rows);
    int32_t row_count = static_cast<int32_t>(rows.size());
    if (from == to || from < 0 || to < 0 || from >= row_count || to >= row_count)
        return false;
    const TTarnwick_TreeRow& source = rows[from];
    const TTarnwick_TreeRow& target = rows[to];
    TTarnwick_Thingy* moved = source.Item != nullptr ? source.Item : source.Group;
    if (moved == tree || moved == (target.Item != nullptr ? target.Item : target.Group))
        return false;
    if (moved->ReadOnly) {
        ShowError(GlobalDialogHost, "\"%s\" is read-only and cannot be edited", moved->GetName());
        return false;
    }
    if (source.Item == nullptr) {
        if (source.Group->Contains(target.Group)) {
            ShowError(GlobalDialogHost, "Cannot move this group into a child group");
            return false;
        }
        target.Group->AddChild(source.Group);
        return true;
    }
    source.Group->List.Remove(source.Item, TZAVRemoveCount::FirstOnly);
    int32_t position = target.Item != nullptr ? target.Group->List.IndexOf(target.Item) : -1;
    if (position < 0)
        position = target.Group->List.Count();
    target.Group->List.InsertAt(source.Item, position);
    return true;
}

// [SECTION] The object tree

TTarnwick_ObjectTreeGroup::TTarnwick_ObjectTreeGroup(TTarnwick_ObjectFactory factory) : ItemFactory(factory)
{
}

bool TTarnwick_ObjectTreeGroup::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader,
                                                                    std::string_view key,
                                                                    std::string_view value)
{
    if (TTarnwick_TreeGroup::LoadFromStream_Text_ConsiderCommand(reader, key, value))
        return true;
    TTarnwick_Thingy* created = ItemFactory != nullptr ? ItemFactory(key) : nullptr;
    if (created == nullptr)
        return false;
    std::unique_ptr<TTarnwick_Thingy> item(created);
    item->SetNameLiteral(value);
    if (LoadItemOrDropIt(reader, *item, key))
        List.Add(item.release());
    return true;
}

bool TTarnwick_ObjectTreeGroup::LoadSubGroup(TZAVTextReader& reader, std::string_view, std::string_view value)
{
    return AdoptSubGroup(reader, value, new TTarnwick_ObjectTreeGroup(ItemFactory));
}
