// Generic tree node: parent, first-child and doubly linked sibling links. A node owns its
// children; its destructor destroys the whole child list. Nodes are linked and unlinked in O(1)
// except AddChild, which walks to the end of the child list.
#pragma once

#include <cstdint>

class TZAVTreeNode
{
public:
    TZAVTreeNode() = default;
    // Destroys the children, then unlinks this node, so deleting a linked node leaves no
    // dangling link behind in its parent or siblings.
    virtual ~TZAVTreeNode();
    TZAVTreeNode(const TZAVTreeNode&) = delete;
    TZAVTreeNode& operator=(const TZAVTreeNode&) = delete;

    // The inserting operations first unlink node from wherever it is. Inserting a node into its
    // own subtree (which would make a cycle) or a null node is an internal error (ReportError).
    // Appends node at the end of the child list.
    void AddChild(TZAVTreeNode* node);
    // Inserts node as the next sibling, with the same parent.
    void InsertAfter(TZAVTreeNode* node);
    // Inserts node as the previous sibling; it becomes the parent's first child when this was.
    void InsertBefore(TZAVTreeNode* node);
    // Detaches this node (with its subtree) from its parent and siblings.
    void Unlink();
    // Destroys every child with its subtree; works without recursion, so depth is unlimited.
    void DeleteChildren();
    // True when node is this node or lies in its subtree (following siblings are not included).
    bool Contains(const TZAVTreeNode* node) const;

    TZAVTreeNode* Next() const { return NextNode; }
    TZAVTreeNode* Previous() const { return PreviousNode; }
    TZAVTreeNode* FirstChild() const { return FirstChildNode; }
    TZAVTreeNode* Parent() const { return ParentNode; }
    TZAVTreeNode* LastChild() const;
    int32_t CountChildren() const;

private:
    void CheckInsertable(const TZAVTreeNode* node, const char* place) const;

    TZAVTreeNode* NextNode = nullptr;
    TZAVTreeNode* PreviousNode = nullptr;
    TZAVTreeNode* FirstChildNode = nullptr;
    TZAVTreeNode* ParentNode = nullptr;
};
