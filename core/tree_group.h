// Tree groups: the nodes of the object, morph and selection trees that the tree panels show.
// A group owns the items in its List and, as a tree node, its child groups.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/list.h"
#include "core/thingy.h"
#include "core/tree_node.h"

// Whether Walk calls back for a group before its subtree or after it.
enum class TZAVWalkOrder
{
    PreOrder,
    PostOrder,
};

class TTarnwick_TreeGroup;

// One row of a tree panel: a group row (Item null) or an item row of Group.
struct TTarnwick_TreeRow
{
    TTarnwick_TreeGroup* Group = nullptr;
    TTarnwick_Thingy* Item = nullptr;
    int32_t Depth = 0;
};

class TTarnwick_TreeGroup : public TTarnwick_Thingy, public TZAVTreeNode
{
public:
    // False from a callback stops the walk (or, for WalkPruned, the descent below that group).
    using TWalkCallback = bool (*)(TTarnwick_TreeGroup* group, int32_t depth, void* data);

    TTarnwick_TreeGroup();
    ~TTarnwick_TreeGroup() override;

    // Binary record: the item record, Collapsed, Hidden, Index, ParentIndex. Items are not part of it.
    bool SaveToStream(FILE* file) override;
    // A "group" block (a root group: a block of kind Label with an empty name) holding the item
    // header, "Collapsed", "Hidden", the items and the child groups. Hidden groups write nothing.
    bool SaveToStream_Text(FILE* file) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    bool LoadFromStream(FILE* file) override;
    // Creates a sub-group of this group's kind named value, reads its block and adds it as the
    // last child. Subclasses create their own kind.
    virtual bool LoadSubGroup(TZAVTextReader& reader, std::string_view key, std::string_view value);

    TTarnwick_TreeGroup* ParentGroup() const { return AsGroup(Parent()); }
    TTarnwick_TreeGroup* FirstChildGroup() const { return AsGroup(FirstChild()); }
    TTarnwick_TreeGroup* NextGroup() const { return AsGroup(Next()); }

    // Searches the group's items, its first child's subtree, then its following siblings.
    static TTarnwick_Thingy* FindItemByID(TTarnwick_TreeGroup* group, int32_t id);
    // Visits group and its following siblings with their subtrees, depth first.
    static bool Walk(TTarnwick_TreeGroup* group, int32_t depth, TWalkCallback callback, void* data,
                     TZAVWalkOrder order);
    static void WalkPruned(TTarnwick_TreeGroup* group, int32_t depth, TWalkCallback callback, void* data);
    // Depth-first Index numbers; ParentIndex is the parent's Index, -1 at the top.
    static void NumberGroups(TTarnwick_TreeGroup* group, TTarnwick_TreeGroup* parent, int32_t& counter);
    static void SetChunkTypes(TTarnwick_TreeGroup* group, int32_t group_type, int32_t item_type);

    // The rows a tree panel shows: each visible group, then (unless Collapsed) its items and its
    // child groups. Hidden groups and their subtrees are left out.
    static void FlattenTree(TTarnwick_TreeGroup* tree, std::vector<TTarnwick_TreeRow>& out_rows);
    // Drag and drop between rows of the flattened view; false when nothing moved.
    static bool MoveTreeItem(TTarnwick_TreeGroup* tree, int32_t from, int32_t to);

    bool Collapsed = false;
    bool Hidden = false;
    int32_t Index = -1;
    int32_t ParentIndex = -1;
    std::string Label = "Unlabeled_group";
    uint32_t Owner = 0;
    TZAVMultiList<TTarnwick_ThingyPtr> List;

protected:
    // Names, reads and (when read) adopts a new sub-group; a group that fails to read is dropped.
    bool AdoptSubGroup(TZAVTextReader& reader, std::string_view name, TTarnwick_TreeGroup* group);

private:
    static TTarnwick_TreeGroup* AsGroup(TZAVTreeNode* node)
    {
        return dynamic_cast<TTarnwick_TreeGroup*>(node);
    }
};

// Creates the object, camera or light that a block keyword names; null for other keywords.
using TTarnwick_ObjectFactory = TTarnwick_Thingy* (*)(std::string_view keyword);

// The object tree. Objects live above the core, so the tree is given the factory that makes them;
// sub-groups read from a file share it.
class TTarnwick_ObjectTreeGroup : public TTarnwick_TreeGroup
{
public:
    explicit TTarnwick_ObjectTreeGroup(TTarnwick_ObjectFactory factory = nullptr);

    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    bool LoadSubGroup(TZAVTextReader& reader, std::string_view key, std::string_view value) override;

    TTarnwick_ObjectFactory ItemFactory;
};

using TTarnwick_TreeGroupPtr = TTarnwick_TreeGroup*;
using TTarnwick_ObjectTreeGroupPtr = TTarnwick_ObjectTreeGroup*;

// The items of type TItem in the tree, group by group in pre-order; the items of hidden groups
// (their children are still visited) only with hidden_too. Empty for a null tree.
template <typename TItem> std::vector<TItem*> TreeItemsOf(TTarnwick_TreeGroup* tree, bool hidden_too = true)
{
    struct TCollect
    {
        bool HiddenToo;
        std::vector<TItem*> Found;
    } collect{hidden_too, {}};
    if (tree != nullptr)
        TTarnwick_TreeGroup::Walk(
            tree, 0,
            [](TTarnwick_TreeGroup* group, int32_t, void* data) {
                auto& collecting = *static_cast<TCollect*>(data);
                if (group->Hidden && !collecting.HiddenToo)
                    return true;
                for (TTarnwick_Thingy* item : group->List)
                    if (auto* typed = dynamic_cast<TItem*>(item))
                        collecting.Found.push_back(typed);
                return true;
            },
            &collect, TZAVWalkOrder::PreOrder);
    return collect.Found;
}
