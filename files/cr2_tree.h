// CR2 figure files as a tree: every line of keyword and value becomes a node, and the lines of a
// "{" ... "}" block become the children of the line before it. The CR2 export edits such a tree
// and writes it back, so everything the program does not understand survives unchanged.
//
// A parsed tree keeps the file's text and its nodes in one store owned by the root: nodes are
// not allocated one by one, and their texts point into the file's text. Deleting such a node runs
// its destructor and leaves the memory to the root, so a node taken out of a parsed tree must be
// deleted or put back before its root is deleted. Nodes made with new are ordinary heap nodes
// and can be inserted anywhere. A CR2 tree holds only CR2 nodes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "core/tree_node.h"

// How a node's value is compared in a search: whole, or only the part before the first ':' of
// both texts, so that "hip:2" finds "hip:9".
enum class TZAVCR2ValueMatch
{
    Whole,
    BeforeColon,
};

// Flat reading keeps every line where it stands; merging joins later top-level descriptions of an
// actor or prop into the first.
enum class TZAVCR2Merge
{
    Flat,
    ActorsAndProps,
};

class TZAVCR2TreeNode : public TZAVTreeNode
{
public:
    // Copies both texts; null stands for an empty text.
    TZAVCR2TreeNode(const char* keyword, const char* value);
    ~TZAVCR2TreeNode() override;
    // Frees the memory only of nodes that did not come from a parsed tree's store.
    void operator delete(TZAVCR2TreeNode* node, std::destroying_delete_t);

    const char* GetKeyword() const { return Keyword; }
    const char* GetValue() const { return Value; }
    // Both copy the text (which may be the node's own); null stands for an empty text.
    void SetKeyword(const char* text);
    void SetValue(const char* text);
    int32_t GetTag() const { return Tag; }
    void SetTag(int32_t tag) { Tag = tag; }

    // Searches the children in order. A null keyword or value matches anything; both compare
    // without regard to case.
    TZAVCR2TreeNode* FindChild(const char* keyword, const char* value,
                               TZAVCR2ValueMatch match = TZAVCR2ValueMatch::Whole) const;
    // The same search over the siblings that follow this node.
    TZAVCR2TreeNode* FindNext(const char* keyword, const char* value,
                              TZAVCR2ValueMatch match = TZAVCR2ValueMatch::Whole) const;

    TZAVCR2TreeNode* Next() const { return static_cast<TZAVCR2TreeNode*>(TZAVTreeNode::Next()); }
    TZAVCR2TreeNode* Previous() const { return static_cast<TZAVCR2TreeNode*>(TZAVTreeNode::Previous()); }
    TZAVCR2TreeNode* FirstChild() const { return static_cast<TZAVCR2TreeNode*>(TZAVTreeNode::FirstChild()); }
    TZAVCR2TreeNode* Parent() const { return static_cast<TZAVCR2TreeNode*>(TZAVTreeNode::Parent()); }

    // A number for the tree's user (an index into its own list, for example); 0 at creation.
    int32_t Tag = 0;
    // Set when a "{" block was opened under this node, so that the writer emits the block even
    // when it ended up empty.
    bool HasBlock = false;

protected:
    enum Flags : uint8_t
    {
        Flags_None = 0,
        Flags_InStore = 1 << 0,
        Flags_KeywordOwned = 1 << 1,
        Flags_ValueOwned = 1 << 2,
        Flags_Placeholder = 1 << 3,
    };
    struct TStoreTexts
    {
    };
    // Keeps the pointers as they are: the texts belong to the store.
    TZAVCR2TreeNode(TStoreTexts, const char* keyword, const char* value, uint8_t flags);

private:
    friend class TZAVCR2Parser;

    const char* Keyword;
    const char* Value;
    uint8_t NodeFlags = Flags_None;
};

// Reads the whole file into a tree whose root has an empty keyword and value and HasBlock set.
// When merging, an "actor" or "prop" line at the top level whose value matches an earlier one's
// up to the ':' continues that earlier node, so the second description of an actor merges into
// the first. A block that opens before a line of its own leaves what it holds in its place. The file
// may be a gzip stream. A "}" with no block open is passed over, and the lines of a later top-level
// block join the first one's, each with a warning; a file that ends inside a block is refused, as
// its rewrite would lose lines. On failure out_error names the file (and line) and out_root is left
// as it was.
[[nodiscard]] bool ParseCR2File(const std::string& path, TZAVCR2Merge merge,
                                std::unique_ptr<TZAVCR2TreeNode>& out_root, std::string& out_error);

// Writes first and its following siblings as one block at depth tabs: each line as its keyword,
// a blank and its value, each block in "{" and "}" lines one tab deeper. False when a write
// failed.
[[nodiscard]] bool WriteCR2Tree(FILE* file, const TZAVCR2TreeNode* first, int32_t depth);

// Writes the tree under root to path through a temporary file that replaces the old file only
// when complete. On failure out_error says why and the old file is intact.
[[nodiscard]] bool WriteCR2File(const std::string& path, const TZAVCR2TreeNode& root, std::string& out_error);
