#include "core/tree_node.h"

#include "core/report.h"

TZAVTreeNode::~TZAVTreeNode()
{
    DeleteChildren();
    Unlink();
}

void TZAVTreeNode::CheckInsertable(const TZAVTreeNode* node, const char* place) const
{
    if (node == nullptr)
        ReportError("node == NULL in TZAVTreeNode::%s()", place);
    // Only a node with children can hold this one below it; the walk up is skipped for the
    // fresh leaves that parsers insert, or deep trees would build in quadratic time.
    if (node == this || (node->FirstChild() != nullptr && node->Contains(this)))
        ReportError("A node cannot be inserted into its own subtree in TZAVTreeNode::%s()", place);
}

void TZAVTreeNode::AddChild(TZAVTreeNode* node)
{
    CheckInsertable(node, "AddChild");
    node->Unlink();
    node->ParentNode = this;
    TZAVTreeNode* last = LastChild();
    if (last == nullptr) {
        FirstChildNode = node;
        return;
    }
    last->NextNode = node;
    node->PreviousNode = last;
}

void TZAVTreeNode::InsertAfter(TZAVTreeNode* node)
{
    CheckInsertable(node, "InsertAfter");
    node->Unlink();
    node->ParentNode = ParentNode;
    node->PreviousNode = this;
    node->NextNode = NextNode;
    if (NextNode != nullptr)
        NextNode->PreviousNode = node;
    NextNode = node;
}

void TZAVTreeNode::InsertBefore(TZAVTreeNode* node)
{
    CheckInsertable(node, "InsertBefore");
    node->Unlink();
    node->ParentNode = ParentNode;
    node->NextNode = this;
    node->PreviousNode = PreviousNode;
    if (PreviousNode != nullptr)
        PreviousNode->NextNode = node;
    else if (ParentNode != nullptr)
        ParentNode->FirstChildNode = node;
    PreviousNode = node;
}

void TZAVTreeNode::Unlink()
{
    if (PreviousNode != nullptr)
        PreviousNode->NextNode = NextNode;
    else if (ParentNode != nullptr && ParentNode->FirstChildNode == this)
        ParentNode->FirstChildNode = NextNode;
    if (NextNode != nullptr)
        NextNode->PreviousNode = PreviousNode;
    NextNode = nullptr;
    PreviousNode = nullptr;
    ParentNode = nullptr;
}

void TZAVTreeNode::DeleteChildren()
{
    while (TZAVTreeNode* child = FirstChildNode) {
        // Lift the grandchildren into this list right after the child, so that no destructor
        // recurses: every node is moved up at most once, and a deep tree cannot exhaust the stack.
        if (TZAVTreeNode* grandchild = child->FirstChildNode) {
            TZAVTreeNode* last = grandchild;
            for (TZAVTreeNode* lifted = grandchild; lifted != nullptr; lifted = lifted->NextNode) {
                lifted->ParentNode = this;
                last = lifted;
            }
            last->NextNode = child->NextNode;
            if (child->NextNode != nullptr)
                child->NextNode->PreviousNode = last;
            child->NextNode = grandchild;
            grandchild->PreviousNode = child;
            child->FirstChildNode = nullptr;
        }
        child->Unlink();
        delete child;
    }
}

bool TZAVTreeNode::Contains(const TZAVTreeNode* node) const
{
    for (const TZAVTreeNode* ancestor = node; ancestor != nullptr; ancestor = ancestor->ParentNode) {
        if (ancestor == this)
            return true;
    }
    return false;
}

TZAVTreeNode* TZAVTreeNode::LastChild() const
{
    TZAVTreeNode* last = FirstChildNode;
    while (last != nullptr && last->NextNode != nullptr)
        last = last->NextNode;
    return last;
}

int32_t TZAVTreeNode::CountChildren() const
{
    int32_t count = 0;
    for (const TZAVTreeNode* child = FirstChildNode; child != nullptr; child = child->NextNode)
        count++;
    return count;
}
