#include "core/tree_group.h"

#include <memory>

#include "core/binary_chunk.h"
#include "core/dialogs.h"
#include "core/text_block.h"

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
    if (KeyIs(key, "Collapsed")) {
        Collapsed = TextValueInt(value) != 0;
        return true;
    }
    if (KeyIs(key, "Hidden")) {
        Hidden = TextValueInt(value) != 0;
        return true;
    }
    if (KeyIs(key, "group"))
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

TTarnwick_Thingy* TTarnwick_TreeGroup::FindItemByID(TTarnwick_TreeGroup* group, int32_t id)
{
    for (; group != nullptr; group = group->NextGroup()) {
        for (TTarnwick_Thingy* item : group->List)
            if (item != nullptr && item->ID == id)
                return item;
        if (TTarnwick_Thingy* found = FindItemByID(group->FirstChildGroup(), id))
            return found;
    }
    return nullptr;
}

bool TTarnwick_TreeGroup::Walk(TTarnwick_TreeGroup* group, int32_t depth, TWalkCallback callback, void* data,
                               bool post_order)
{
    for (; group != nullptr; group = group->NextGroup()) {
        if (!post_order && !callback(group, depth, data))
            return false;
        if (!Walk(group->FirstChildGroup(), depth + 1, callback, data, post_order))
            return false;
        if (post_order && !callback(group, depth, data))
            return false;
    }
    return true;
}

void TTarnwick_TreeGroup::WalkPruned(TTarnwick_TreeGroup* group, int32_t depth, TWalkCallback callback,
                                     void* data)
{
    for (; group != nullptr; group = group->NextGroup())
        if (callback(group, depth, data))
            WalkPruned(group->FirstChildGroup(), depth + 1, callback, data);
}

void TTarnwick_TreeGroup::NumberGroups(TTarnwick_TreeGroup* group, TTarnwick_TreeGroup* parent,
                                       int32_t& counter)
{
    for (; group != nullptr; group = group->NextGroup()) {
        group->Index = counter++;
        group->ParentIndex = parent != nullptr ? parent->Index : -1;
        NumberGroups(group->FirstChildGroup(), group, counter);
    }
}

void TTarnwick_TreeGroup::SetChunkTypes(TTarnwick_TreeGroup* group, int32_t group_type, int32_t item_type)
{
    for (; group != nullptr; group = group->NextGroup()) {
        group->ChunkType = group_type;
        for (TTarnwick_Thingy* item : group->List)
            if (item != nullptr)
                item->ChunkType = item_type;
        SetChunkTypes(group->FirstChildGroup(), group_type, item_type);
    }
}

// [SECTION] The tree panel's rows and drag and drop

namespace {

void AppendRows(TTarnwick_TreeGroup* group, int32_t depth, std::vector<TTarnwick_TreeRow>& out_rows)
{
    if (group->Hidden)
        return;
    out_rows.push_back({group, nullptr, depth});
    if (group->Collapsed)
        return;
    for (TTarnwick_Thingy* item : group->List)
        out_rows.push_back({group, item, depth + 1});
    for (TTarnwick_TreeGroup* child = group->FirstChildGroup(); child != nullptr; child = child->NextGroup())
        AppendRows(child, depth + 1, out_rows);
}

} // namespace

void TTarnwick_TreeGroup::FlattenTree(TTarnwick_TreeGroup* tree, std::vector<TTarnwick_TreeRow>& out_rows)
{
    out_rows.clear();
    for (; tree != nullptr; tree = tree->NextGroup())
        AppendRows(tree, 0, out_rows);
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
    source.Group->List.Remove(source.Item, true);
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
    if (item->LoadFromStream_Text(reader))
        List.Add(item.release());
    return true;
}

bool TTarnwick_ObjectTreeGroup::LoadSubGroup(TZAVTextReader& reader, std::string_view, std::string_view value)
{
    return AdoptSubGroup(reader, value, new TTarnwick_ObjectTreeGroup(ItemFactory));
}
