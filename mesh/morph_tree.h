// The morph and selection trees of a mesh: tree groups that read their own kind of item
// ("morph" or "selection" blocks) and their own kind of sub-group.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/text_block.h"
#include "core/text_scan.h"
#include "core/tree_group.h"
#include "mesh/morph.h"
#include "mesh/selection.h"

template <class TItem, class TGroup> class TTarnwick_ItemTreeGroup : public TTarnwick_TreeGroup
{
public:
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override
    {
        if (TTarnwick_TreeGroup::LoadFromStream_Text_ConsiderCommand(reader, key, value))
            return true;
        if (!SameTextNoCase(key, TItem::ItemTraits.BlockKeyword))
            return false;
        // Made empty: the block's "vcount" sizes it.
        auto item = std::make_unique<TItem>(0);
        item->SetNameLiteral(value);
        item->ExpectedVertexCount = ItemVertexCount;
        if (LoadItemOrDropIt(reader, *item, TItem::ItemTraits.BlockKeyword))
            List.Add(item.release());
        return true;
    }

    bool LoadSubGroup(TZAVTextReader& reader, std::string_view, std::string_view value) override
    {
        auto* group = new TGroup();
        group->ItemVertexCount = ItemVertexCount;
        return AdoptSubGroup(reader, value, group);
    }

    // When not -1, the vertex count of the mesh the tree belongs to: items read with another are
    // dropped before anything is allocated for them. Sub-groups read from a file take it on.
    int32_t ItemVertexCount = -1;
};

class TTarnwick_MorphTreeGroup : public TTarnwick_ItemTreeGroup<TTarnwick_Morph, TTarnwick_MorphTreeGroup>
{
};

class TTarnwick_SelectionTreeGroup
    : public TTarnwick_ItemTreeGroup<TTarnwick_Selection, TTarnwick_SelectionTreeGroup>
{
};

using TTarnwick_MorphTreeGroupPtr = TTarnwick_MorphTreeGroup*;
using TTarnwick_SelectionTreeGroupPtr = TTarnwick_SelectionTreeGroup*;
