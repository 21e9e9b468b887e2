#include "core/tree_group.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/binary_chunk.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "support/scripted_dialogs.h"
#include "support/stream_file.h"

namespace {

int32_t destroyed_objects = 0;

// A scene object as far as the tree sees it: an "object" block with the item header.
class TestObject : public TTarnwick_Thingy
{
public:
    ~TestObject() override { destroyed_objects++; }

    bool SaveToStream_Text(FILE* file) override
    {
        TStartTextFileBlock block(file, "object", Name);
        return TTarnwick_Thingy::SaveToStream_Text(file) && block.Close();
    }
};

TTarnwick_Thingy* MakeObject(std::string_view keyword)
{
    return SameTextNoCase(keyword, "object") ? new TestObject() : nullptr;
}

TTarnwick_ObjectTreeGroup* AddGroup(TTarnwick_TreeGroup* parent, const char* name)
{
    auto* group = new TTarnwick_ObjectTreeGroup(MakeObject);
    group->SetNameLiteral(name);
    parent->AddChild(group);
    return group;
}

TTarnwick_Thingy* AddObject(TTarnwick_TreeGroup* group, const char* name)
{
    auto* object = new TestObject();
    object->SetNameLiteral(name);
    group->List.Add(object);
    return object;
}

TTarnwick_TreeGroup* ChildNamed(TTarnwick_TreeGroup* group, const std::string& name)
{
    for (TTarnwick_TreeGroup* child = group->FirstChildGroup(); child; child = child->NextGroup())
        if (child->Name == name)
            return child;
    return nullptr;
}

std::vector<std::string> ItemNames(const TTarnwick_TreeGroup* group)
{
    std::vector<std::string> names;
    for (TTarnwick_Thingy* item : group->List)
        names.push_back(item->Name);
    return names;
}

// Rows of the panel:  0 Root  1 Lamp  2 Body  3 Torso  4 Arms  5 Hands  6 Props  7 Chair  8 Table
struct SceneTree
{
    SceneTree()
    {
        Root.Label = "objects";
        Root.SetNameLiteral("Root");
        AddObject(&Root, "Lamp");
        Body = AddGroup(&Root, "Body");
        AddObject(Body, "Torso");
        Arms = AddGroup(Body, "Arms");
        Hands = AddGroup(Arms, "Hands");
        Props = AddGroup(&Root, "Props");
        Chair = AddObject(Props, "Chair");
        Table = AddObject(Props, "Table");
    }

    std::string Text()
    {
        StreamFile file(std::tmpfile());
        SetTextBlockLevel(0);
        EXPECT_TRUE(Root.SaveToStream_Text(file.get()));
        return ContentsOf(file.get());
    }

    TTarnwick_ObjectTreeGroup Root{MakeObject};
    TTarnwick_TreeGroup* Body;
    TTarnwick_TreeGroup* Arms;
    TTarnwick_TreeGroup* Hands;
    TTarnwick_TreeGroup* Props;
    TTarnwick_Thingy* Chair;
    TTarnwick_Thingy* Table;
};

bool RecordVisit(TTarnwick_TreeGroup* group, int32_t depth, void* data)
{
    auto* visits = static_cast<std::vector<std::string>*>(data);
    visits->push_back(group->Name + ":" + std::to_string(depth));
    return group->Name != "Arms" && group->Name != "Body_stop";
}

std::string WithoutIdLines(const std::string& text)
{
    std::string kept;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line = std::string_view(text).substr(start, end - start + 1);
        if (TrimBlanks(line).substr(0, 3) != "ID\t")
            kept.append(line);
    }
    return kept;
}

} // namespace

TEST(TreeGroup, WalksVisitGroupsAndFollowingSiblings)
{
    SceneTree tree;
    tree.Arms->Name = "Arms_";
    std::vector<std::string> visits;
    EXPECT_TRUE(TTarnwick_TreeGroup::Walk(&tree.Root, 0, RecordVisit, &visits, TZAVWalkOrder::PreOrder));
    EXPECT_EQ(visits, (std::vector<std::string>{"Root:0", "Body:1", "Arms_:2", "Hands:3", "Props:1"}));
    visits.clear();
    EXPECT_TRUE(TTarnwick_TreeGroup::Walk(&tree.Root, 0, RecordVisit, &visits, TZAVWalkOrder::PostOrder));
    EXPECT_EQ(visits, (std::vector<std::string>{"Hands:3", "Arms_:2", "Body:1", "Props:1", "Root:0"}));

    // A false answer ends the whole walk; the pruned walk only skips that subtree.
    tree.Arms->Name = "Arms";
    visits.clear();
    EXPECT_FALSE(TTarnwick_TreeGroup::Walk(&tree.Root, 0, RecordVisit, &visits, TZAVWalkOrder::PreOrder));
    EXPECT_EQ(visits, (std::vector<std::string>{"Root:0", "Body:1", "Arms:2"}));
    tree.Body->Name = "Body_stop";
    visits.clear();
    TTarnwick_TreeGroup::WalkPruned(&tree.Root, 0, RecordVisit, &visits);
    EXPECT_EQ(visits, (std::vector<std::string>{"Root:0", "Body_stop:1", "Props:1"}));
}

TEST(TreeGroup, NumberingFindingChunkTypesAndDestruction)
{
    destroyed_objects = 0;
    auto owned = std::make_unique<SceneTree>();
    SceneTree& tree = *owned;
    int32_t counter = 0;
    TTarnwick_TreeGroup::NumberGroups(&tree.Root, nullptr, counter);
    EXPECT_EQ(counter, 5);
    TTarnwick_TreeGroup* groups[] = {&tree.Root, tree.Body, tree.Arms, tree.Hands, tree.Props};
    int32_t parents[] = {-1, 0, 1, 2, 0};
    for (int32_t i = 0; i < 5; i++) {
        EXPECT_EQ(groups[i]->Index, i) << groups[i]->Name;
        EXPECT_EQ(groups[i]->ParentIndex, parents[i]) << groups[i]->Name;
    }

    EXPECT_EQ(TTarnwick_TreeGroup::FindItemByID(&tree.Root, tree.Table->ID), tree.Table);
    // From Body the search covers Body's subtree and its following sibling, not the root's items.
    EXPECT_EQ(TTarnwick_TreeGroup::FindItemByID(tree.Body, tree.Chair->ID), tree.Chair);
    EXPECT_EQ(TTarnwick_TreeGroup::FindItemByID(tree.Body, tree.Root.List.Data()[0]->ID), nullptr);
    EXPECT_EQ(TTarnwick_TreeGroup::FindItemByID(&tree.Root, -5), nullptr);

    TTarnwick_TreeGroup::SetChunkTypes(&tree.Root, TTarnwick_FileChunkID_MorphGroup,
                                       TTarnwick_FileChunkID_Morph);
    EXPECT_EQ(tree.Hands->ChunkType, TTarnwick_FileChunkID_MorphGroup);
    EXPECT_EQ(tree.Table->ChunkType, TTarnwick_FileChunkID_Morph);

    // Destroying the root destroys the items of every group below it.
    owned.reset();
    EXPECT_EQ(destroyed_objects, 4);
}

TEST(TreeGroup, MovingAGroupIntoItsOwnGrandchildIsRefused)
{
    SceneTree tree;
    ScriptedDialogs dialogs;
    EXPECT_FALSE(TTarnwick_TreeGroup::MoveTreeItem(&tree.Root, 2, 5));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Cannot move this group into a child group"));
    EXPECT_EQ(tree.Hands->ParentGroup(), tree.Arms);
    EXPECT_EQ(tree.Body->ParentGroup(), &tree.Root);

    EXPECT_TRUE(TTarnwick_TreeGroup::MoveTreeItem(&tree.Root, 6, 4));
    EXPECT_EQ(tree.Props->ParentGroup(), tree.Arms);
    EXPECT_EQ(ChildNamed(tree.Arms, "Hands")->NextGroup(), tree.Props);
}

TEST(TreeGroup, ReadOnlyItemsStayWhereTheyAre)
{
    SceneTree tree;
    tree.Chair->ReadOnly = true;
    ScriptedDialogs dialogs;
    EXPECT_FALSE(TTarnwick_TreeGroup::MoveTreeItem(&tree.Root, 7, 3));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "\"Chair\" is read-only and cannot be edited"));
    EXPECT_EQ(ItemNames(tree.Props), (std::vector<std::string>{"Chair", "Table"}));
}

TEST(TreeGroup, MovingItemsBetweenAndWithinGroups)
{
    SceneTree tree;
    ScriptedDialogs dialogs;
    EXPECT_TRUE(TTarnwick_TreeGroup::MoveTreeItem(&tree.Root, 8, 3));
    EXPECT_EQ(ItemNames(tree.Body), (std::vector<std::string>{"Table", "Torso"}));
    EXPECT_EQ(ItemNames(tree.Props), (std::vector<std::string>{"Chair"}));

    // Rows now: 0 Root 1 Lamp 2 Body 3 Table 4 Torso 5 Arms 6 Hands 7 Props 8 Chair
    EXPECT_TRUE(TTarnwick_TreeGroup::MoveTreeItem(&tree.Root, 1, 7));
    EXPECT_EQ(ItemNames(tree.Props), (std::vector<std::string>{"Chair", "Lamp"}));
    EXPECT_TRUE(ItemNames(&tree.Root).empty());
    // Rows now: 0 Root 1 Body 2 Table 3 Torso 4 Arms 5 Hands 6 Props 7 Chair 8 Lamp
    EXPECT_TRUE(TTarnwick_TreeGroup::MoveTreeItem(&tree.Root, 3, 2));
    EXPECT_EQ(ItemNames(tree.Body), (std::vector<std::string>{"Torso", "Table"}));

    // Refused quietly: same row, no target, rows outside the view, the root itself.
    for (auto [from, to] : {std::pair{3, 3}, {3, -1}, {-1, 3}, {3, 40}, {0, 7}})
        EXPECT_FALSE(TTarnwick_TreeGroup::MoveTreeItem(&tree.Root, from, to)) << from << " " << to;
    EXPECT_TRUE(dialogs.Requests().empty());

    // A collapsed group hides its rows from the view.
    tree.Body->Collapsed = true;
    std::vector<TTarnwick_TreeRow> rows;
    TTarnwick_TreeGroup::FlattenTree(&tree.Root, rows);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[2].Group, tree.Props);
    EXPECT_EQ(rows[4].Item->Name, "Lamp");
    EXPECT_EQ(rows[4].Depth, 2);
}

TEST(TreeGroup, TextFormNestsGroupBlocks)
{
    TTarnwick_TreeGroup root;
    root.Label = "selections";
    root.SetNameLiteral("Root");
    ASSERT_TRUE(root.SetID(0));
    TTarnwick_TreeGroup* child = new TTarnwick_TreeGroup();
    ASSERT_TRUE(child->SetID(0));
    child->Collapsed = true;
    root.AddChild(child);
    StreamFile file(std::tmpfile());
    SetTextBlockLevel(0);
    ASSERT_TRUE(root.SaveToStream_Text(file.get()));
    EXPECT_EQ(ContentsOf(file.get()),
              "selections\t\n{\n\tName\tRoot\n\tReadOnly\t0\n\tCollapsed\t0\n\tHidden\t0\n\n"
              "\tgroup\tNew Group\n\t{\n\t\tName\tNew Group\n\t\tReadOnly\t0\n"
              "\t\tCollapsed\t1\n\t\tHidden\t0\n\n\t}\n}\n");
    EXPECT_EQ(GetTextBlockLevel(), 0);
}

TEST(TreeGroup, HiddenGroupsAndTheirSubtreesAreLeftOutOfTheText)
{
    SceneTree tree;
    tree.Body->Hidden = true;
    std::string text = tree.Text();
    for (const char* absent : {"Body", "Torso", "Arms", "Hands"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    // The hidden group's later sibling is still written.
    for (const char* present : {"Root", "Lamp", "Props", "Chair", "Table"})
        EXPECT_NE(text.find(present), std::string::npos) << present;
}

TEST(TreeGroup, TextFormRoundTrips)
{
    SceneTree tree;
    tree.Arms->Collapsed = true;
    tree.Props->SetNameLiteral("Props 100%s");
    tree.Table->ReadOnly = true;
    std::string text = tree.Text();

    StreamFile file = FileHolding(text + "after\n");
    TZAVTextReader reader(file.get(), "scene.Tarnwick");
    std::string_view header;
    ASSERT_TRUE(reader.ReadTrimmedLine(header));
    EXPECT_EQ(header, "objects");
    TTarnwick_ObjectTreeGroup loaded(MakeObject);
    loaded.Label = "objects";
    ASSERT_TRUE(loaded.LoadFromStream_Text(reader));
    std::string_view next;
    ASSERT_TRUE(reader.ReadTrimmedLine(next));
    EXPECT_EQ(next, "after");

    TTarnwick_TreeGroup* arms = ChildNamed(ChildNamed(&loaded, "Body"), "Arms");
    ASSERT_NE(arms, nullptr);
    EXPECT_TRUE(arms->Collapsed);
    EXPECT_NE(dynamic_cast<TTarnwick_ObjectTreeGroup*>(arms), nullptr);
    TTarnwick_TreeGroup* props = ChildNamed(&loaded, "Props 100%s");
    ASSERT_NE(props, nullptr);
    EXPECT_EQ(ItemNames(props), (std::vector<std::string>{"Chair", "Table"}));
    EXPECT_TRUE(props->List.Data()[1]->ReadOnly);

    StreamFile again(std::tmpfile());
    ASSERT_TRUE(loaded.SaveToStream_Text(again.get()));
    EXPECT_EQ(WithoutIdLines(ContentsOf(again.get())), WithoutIdLines(text));
}

TEST(TreeGroup, BinaryRecordRoundTrips)
{
    TTarnwick_TreeGroup saved;
    saved.SetNameLiteral("Group %d%n");
    saved.Collapsed = true;
    saved.Hidden = true;
    saved.Index = 4;
    saved.ParentIndex = 2;
    saved.ChunkType = TTarnwick_FileChunkID_ObjectGroup;
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(saved.SaveToStream(file.get()));
    std::rewind(file.get());

    TZAVChunkHeader header;
    std::string error;
    ASSERT_EQ(ReadChunkHeader(file.get(), "a.Tarnwick", ChunkLayoutForVersion(6), header, error),
              TZAVChunkReadResult::Chunk);
    EXPECT_EQ(header.ID, TTarnwick_FileChunkID_ObjectGroup);
    EXPECT_EQ(header.Size, int64_t(TTarnwick_ThingyRecord::Size + 10));
    TTarnwick_TreeGroup loaded;
    ASSERT_TRUE(loaded.LoadFromStream(file.get()));
    EXPECT_EQ(loaded.Name, "Group %d%n");
    EXPECT_TRUE(loaded.Collapsed);
    EXPECT_TRUE(loaded.Hidden);
    EXPECT_EQ(loaded.Index, 4);
    EXPECT_EQ(loaded.ParentIndex, 2);
    EXPECT_EQ(loaded.LoadedID, saved.ID);

    // A record cut short inside the group fields leaves the group as it was.
    TTarnwick_TreeGroup untouched;
    StreamFile cut = FileHolding(ContentsOf(file.get()).substr(17, TTarnwick_ThingyRecord::Size + 5));
    EXPECT_FALSE(untouched.LoadFromStream(cut.get()));
    EXPECT_EQ(untouched.Name, "New Group");
    EXPECT_EQ(untouched.Index, -1);
}

TEST(TreeGroup, DeepNestingIsRefusedAndTheDeepestTreeThatLoadsIsWalkedSavedAndDestroyed)
{
    auto nested = [](int32_t depth) {
        std::string text = "{\n";
        for (int32_t level = 0; level < depth; level++)
            text += "group\tg\n{\n";
        for (int32_t level = 0; level <= depth; level++)
            text += "}\n";
        return text + "after\n";
    };
    auto read = [](TTarnwick_TreeGroup& tree, const std::string& text, std::string& out_error) {
        StreamFile file = FileHolding(text);
        TZAVTextReader reader(file.get(), "deep.Tarnwick");
        bool loaded = tree.LoadFromStream_Text(reader);
        out_error = reader.Error();
        // Whether it loaded or not, the reader stays in step with the blocks.
        std::string_view next;
        EXPECT_TRUE(reader.ReadTrimmedLine(next) && next == "after");
        return loaded;
    };
    std::string error;
    TTarnwick_ObjectTreeGroup refused(MakeObject);
    EXPECT_FALSE(read(refused, nested(100000), error));
    EXPECT_NE(error.find("deep.Tarnwick\", line " + std::to_string(2 * MaxTextBlockDepth + 1)),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("nested too deeply"), std::string::npos) << error;

    destroyed_objects = 0;
    {
        TTarnwick_ObjectTreeGroup deepest(MakeObject);
        deepest.Label = "objects";
        ASSERT_TRUE(read(deepest, nested(MaxTextBlockDepth - 1), error)) << error;
        TTarnwick_TreeGroup* last = &deepest;
        while (last->FirstChildGroup() != nullptr)
            last = last->FirstChildGroup();
        // Its block is as deep as the deepest group's.
        TTarnwick_Thingy* bottom = AddObject(last->ParentGroup(), "Bottom");
        std::vector<std::string> visits;
        EXPECT_TRUE(TTarnwick_TreeGroup::Walk(&deepest, 0, RecordVisit, &visits, TZAVWalkOrder::PostOrder));
        ASSERT_EQ(visits.size(), size_t(MaxTextBlockDepth));
        EXPECT_EQ(visits.front(), "g:" + std::to_string(MaxTextBlockDepth - 1));
        EXPECT_EQ(TTarnwick_TreeGroup::FindItemByID(&deepest, bottom->ID), bottom);

        StreamFile file(std::tmpfile());
        SetTextBlockLevel(0);
        ASSERT_TRUE(deepest.SaveToStream_Text(file.get()));
        std::string saved = ContentsOf(file.get());
        TTarnwick_ObjectTreeGroup again(MakeObject);
        EXPECT_TRUE(read(again, saved.substr(saved.find('\n') + 1) + "after\n", error)) << error;
    }
    EXPECT_EQ(destroyed_objects, 2);
}
