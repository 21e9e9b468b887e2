#include <gtest/gtest.h>

#include <vector>

#include "core/report.h"
#include "core/tree_node.h"

namespace {

struct CountedNode : TZAVTreeNode
{
    explicit CountedNode(int* destroyed) : Destroyed(destroyed) {}
    ~CountedNode() override { ++*Destroyed; }
    int* Destroyed;
};

// The children in order, after checking every parent, next and previous link on the way.
std::vector<TZAVTreeNode*> Children(const TZAVTreeNode& parent)
{
    std::vector<TZAVTreeNode*> children;
    TZAVTreeNode* previous = nullptr;
    for (TZAVTreeNode* child = parent.FirstChild(); child != nullptr; child = child->Next()) {
        EXPECT_EQ(child->Parent(), &parent);
        EXPECT_EQ(child->Previous(), previous);
        children.push_back(child);
        previous = child;
    }
    EXPECT_EQ(parent.LastChild(), previous);
    EXPECT_EQ(parent.CountChildren(), static_cast<int32_t>(children.size()));
    return children;
}

TEST(TreeNode, InsertsKeepEveryLinkConsistent)
{
    TZAVTreeNode root;
    auto* a = new TZAVTreeNode;
    auto* b = new TZAVTreeNode;
    auto* c = new TZAVTreeNode;
    auto* d = new TZAVTreeNode;
    root.AddChild(b);
    b->InsertAfter(d);
    d->InsertBefore(c);
    b->InsertBefore(a); // b was the first child: a takes its place
    EXPECT_EQ(Children(root), (std::vector<TZAVTreeNode*>{a, b, c, d}));

    // A linked node is moved, not linked twice.
    a->InsertAfter(d);
    EXPECT_EQ(Children(root), (std::vector<TZAVTreeNode*>{a, d, b, c}));
    c->AddChild(a);
    EXPECT_EQ(Children(root), (std::vector<TZAVTreeNode*>{d, b, c}));
    EXPECT_EQ(Children(*c), (std::vector<TZAVTreeNode*>{a}));
}

TEST(TreeNode, UnlinkFixesParentAndSiblings)
{
    TZAVTreeNode root;
    std::vector<TZAVTreeNode*> nodes;
    for (int i = 0; i < 4; i++) {
        nodes.push_back(new TZAVTreeNode);
        root.AddChild(nodes.back());
    }
    nodes[0]->Unlink();
    nodes[2]->Unlink();
    nodes[3]->Unlink();
    EXPECT_EQ(Children(root), (std::vector<TZAVTreeNode*>{nodes[1]}));
    for (int i : {0, 2, 3}) {
        EXPECT_EQ(nodes[i]->Parent(), nullptr);
        EXPECT_EQ(nodes[i]->Next(), nullptr);
        EXPECT_EQ(nodes[i]->Previous(), nullptr);
        delete nodes[i];
    }
}

TEST(TreeNode, ContainsOnlyItsOwnSubtreeAndRefusesCycles)
{
    TZAVTreeNode root;
    auto* group = new TZAVTreeNode;
    auto* sibling = new TZAVTreeNode;
    auto* child = new TZAVTreeNode;
    auto* grandchild = new TZAVTreeNode;
    root.AddChild(group);
    root.AddChild(sibling);
    group->AddChild(child);
    child->AddChild(grandchild);

    EXPECT_TRUE(group->Contains(group));
    EXPECT_TRUE(group->Contains(grandchild));
    EXPECT_FALSE(group->Contains(&root));
    // A following sibling is not inside the group: moving a group onto it must stay possible.
    EXPECT_FALSE(group->Contains(sibling));
    EXPECT_FALSE(group->Contains(nullptr));

    EXPECT_THROW(grandchild->AddChild(group), TZAVError);
    EXPECT_THROW(child->InsertAfter(group), TZAVError);
    EXPECT_THROW(group->AddChild(group), TZAVError);
    EXPECT_THROW(group->AddChild(nullptr), TZAVError);
    EXPECT_EQ(Children(root), (std::vector<TZAVTreeNode*>{group, sibling}));
    EXPECT_EQ(Children(*group), (std::vector<TZAVTreeNode*>{child}));
    EXPECT_EQ(Children(*child), (std::vector<TZAVTreeNode*>{grandchild}));
}

TEST(TreeNode, DestroysWholeSubtreesAndUnlinksDeletedNodes)
{
    int destroyed = 0;
    TZAVTreeNode root;
    auto* first = new CountedNode(&destroyed);
    auto* middle = new CountedNode(&destroyed);
    auto* last = new CountedNode(&destroyed);
    root.AddChild(first);
    root.AddChild(middle);
    root.AddChild(last);
    middle->AddChild(new CountedNode(&destroyed));
    middle->FirstChild()->AddChild(new CountedNode(&destroyed));

    delete middle;
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(Children(root), (std::vector<TZAVTreeNode*>{first, last}));

    root.DeleteChildren();
    EXPECT_EQ(destroyed, 5);
    EXPECT_EQ(root.FirstChild(), nullptr);
}

TEST(TreeNode, DeepChainsAreDestroyedWithoutRecursion)
{
    int destroyed = 0;
    constexpr int Depth = 300000;
    auto* root = new TZAVTreeNode;
    TZAVTreeNode* tip = root;
    for (int i = 0; i < Depth; i++) {
        auto* node = new CountedNode(&destroyed);
        tip->AddChild(node);
        tip = node;
    }
    delete root;
    EXPECT_EQ(destroyed, Depth);
}

} // namespace
