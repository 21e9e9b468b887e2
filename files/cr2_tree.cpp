// CR2 tree: nodes, the parser and the writer.
//
// [SECTION] Texts
// [SECTION] Nodes
// [SECTION] Store and root
// [SECTION] Reading the file
// [SECTION] Parser
// [SECTION] Writer
#include "files/cr2_tree.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/file_handle.h"
#include "core/output_buffer.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/compressed_file.h"

namespace {

constexpr char EmptyText[] = "";
constexpr char PlaceholderKeyword[] = "<AVAILABLE>";
// Zero bytes after the file's text: the line scanner reads 16 bytes at a time, and the last
// line's end gets a NUL there.
constexpr size_t TextPadding = 32;
constexpr size_t NodeBlockSize = 2 * 1024 * 1024; // one huge page
constexpr size_t WriteBufferSize = 256 * 1024;

// [SECTION] Texts

// The value without its suffix: "hip" of "hip:2".
std::string_view BeforeColon(std::string_view text)
{
    return text.substr(0, text.find(':'));
}

bool SameValue(std::string_view first, std::string_view second, TZAVCR2ValueMatch match)
{
    if (match == TZAVCR2ValueMatch::BeforeColon)
        return SameTextNoCase(BeforeColon(first), BeforeColon(second));
    return SameTextNoCase(first, second);
}

bool NodeMatches(const TZAVCR2TreeNode& node, const char* keyword, const char* value, TZAVCR2ValueMatch match)
{
    if (keyword != nullptr && !SameTextNoCase(node.GetKeyword(), keyword))
        return false;
    return value == nullptr || SameValue(node.GetValue(), value, match);
}

char* CopyText(const char* text)
{
    const size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

} // namespace

// [SECTION] Nodes

TZAVCR2TreeNode::TZAVCR2TreeNode(const char* keyword, const char* value)
    : Keyword(EmptyText), Value(EmptyText)
{
    std::unique_ptr<char[]> keyword_copy(CopyText(keyword != nullptr ? keyword : EmptyText));
    std::unique_ptr<char[]> value_copy(CopyText(value != nullptr ? value : EmptyText));
    Keyword = keyword_copy.release();
    Value = value_copy.release();
    NodeFlags = Flags_KeywordOwned | Flags_ValueOwned;
}

TZAVCR2TreeNode::TZAVCR2TreeNode(TStoreTexts, const char* keyword, const char* value, uint8_t flags)
    : Keyword(keyword), Value(value), NodeFlags(flags)
{
}

TZAVCR2TreeNode::~TZAVCR2TreeNode()
{
    if (NodeFlags & Flags_KeywordOwned)
        delete[] Keyword;
    if (NodeFlags & Flags_ValueOwned)
        delete[] Value;
}

void TZAVCR2TreeNode::operator delete(TZAVCR2TreeNode* node, std::destroying_delete_t)
{
    const bool in_store = node->NodeFlags & Flags_InStore;
    node->~TZAVCR2TreeNode();
    if (!in_store)
        ::operator delete(node);
}

void TZAVCR2TreeNode::SetKeyword(const char* text)
{
    // Copy before freeing: text may be this node's own keyword.
    char* copy = CopyText(text != nullptr ? text : EmptyText);
    if (NodeFlags & Flags_KeywordOwned)
        delete[] Keyword;
    Keyword = copy;
    NodeFlags = static_cast<uint8_t>((NodeFlags | Flags_KeywordOwned) & ~Flags_Placeholder);
}

void TZAVCR2TreeNode::SetValue(const char* text)
{
    char* copy = CopyText(text != nullptr ? text : EmptyText);
    if (NodeFlags & Flags_ValueOwned)
        delete[] Value;
    Value = copy;
    NodeFlags |= Flags_ValueOwned;
}

TZAVCR2TreeNode* TZAVCR2TreeNode::FindChild(const char* keyword, const char* value,
                                            TZAVCR2ValueMatch match) const
{
    for (TZAVCR2TreeNode* child = FirstChild(); child != nullptr; child = child->Next()) {
        if (NodeMatches(*child, keyword, value, match))
            return child;
    }
    return nullptr;
}

TZAVCR2TreeNode* TZAVCR2TreeNode::FindNext(const char* keyword, const char* value,
                                           TZAVCR2ValueMatch match) const
{
    for (TZAVCR2TreeNode* sibling = Next(); sibling != nullptr; sibling = sibling->Next()) {
        if (NodeMatches(*sibling, keyword, value, match))
            return sibling;
    }
    return nullptr;
}

// [SECTION] Store and root

namespace {

// The file's text, cut in place into NUL-terminated keywords and values, and the nodes made
// from it, in blocks.
class TZAVCR2Store
{
public:
    std::unique_ptr<char[]> Text;

    // No more nodes than this are expected, so a small file does not get a whole huge page.
    void ExpectNodes(size_t count) { ExpectedNodes = count; }

    void* AllocateNode()
    {
        if (UsedInLastBlock == SlotsInLastBlock)
            AddBlock();
        return &Blocks.back()[UsedInLastBlock++];
    }

private:
    struct alignas(TZAVCR2TreeNode) TNodeSlot
    {
        unsigned char Bytes[sizeof(TZAVCR2TreeNode)];
    };
    struct TFreeBlock
    {
        void operator()(TNodeSlot* block) const { std::free(block); }
    };
    static constexpr size_t NodesPerBlock = NodeBlockSize / sizeof(TNodeSlot);
    static constexpr size_t MinNodesPerBlock = 64;

    void AddBlock()
    {
        const size_t slots = std::clamp(ExpectedNodes, MinNodesPerBlock, NodesPerBlock);
        ExpectedNodes -= std::min(ExpectedNodes, slots);
        void* memory = nullptr;
        if (slots == NodesPerBlock) {
            memory = std::aligned_alloc(NodeBlockSize, NodeBlockSize);
            // Millions of nodes would otherwise cost a page fault for every 64 of them.
            if (memory != nullptr)
                madvise(memory, NodeBlockSize, MADV_HUGEPAGE);
        } else {
            memory = std::malloc(slots * sizeof(TNodeSlot));
        }
        if (memory == nullptr)
            throw std::bad_alloc();
        Blocks.emplace_back(static_cast<TNodeSlot*>(memory));
        SlotsInLastBlock = slots;
        UsedInLastBlock = 0;
    }

    std::vector<std::unique_ptr<TNodeSlot[], TFreeBlock>> Blocks;
    size_t ExpectedNodes = NodesPerBlock;
    size_t SlotsInLastBlock = 0;
    size_t UsedInLastBlock = 0;
};

class TZAVCR2TreeRoot final : public TZAVCR2TreeNode
{
public:
    TZAVCR2TreeRoot() : TZAVCR2TreeNode(EmptyText, EmptyText) { HasBlock = true; }
    // The children live in the store, so they go before it does.
    ~TZAVCR2TreeRoot() override { DeleteChildren(); }

    TZAVCR2Store Store;
};

// [SECTION] Reading the file

// NUL bytes carry nothing in a text file and would cut a keyword or value short.
size_t DropNulBytes(char* text, size_t size)
{
    char* write = static_cast<char*>(std::memchr(text, '\0', size));
    if (write == nullptr)
        return size;
    for (const char* read = write; read < text + size; read++) {
        if (*read != '\0')
            *write++ = *read;
    }
    const size_t new_size = static_cast<size_t>(write - text);
    std::memset(text + new_size, 0, size - new_size);
    return new_size;
}
} // namespace

// [SECTION] Parser

// Turns the text into nodes. The current node is the last line read in the innermost open block;
// a "{" opens a block under it with a placeholder node that takes the block's first line.
class TZAVCR2Parser
{
public:
    TZAVCR2Parser(const std::string& path, TZAVCR2Merge merge) : Path(path), Merge(merge) {}

    bool Parse(std::unique_ptr<char[]> text, size_t size, std::unique_ptr<TZAVCR2TreeNode>& out_root,
               std::string& out_error);

private:
    // A top-level "actor" or "prop" node that later descriptions merge into, with its last child
    // when known (checked before use), so that appending to it needs no walk.
    struct TMergeTarget
    {
        TZAVCR2TreeNode* Node;
        TZAVCR2TreeNode* LastChild;
    };

    void OpenBlock(int64_t line_number);
    void CloseBlock(int64_t line_number);
    void AddLine(char* keyword, char* value);
    void LiftLinelessBlocks();
    TZAVCR2TreeNode* NewNode(const char* keyword, const char* value, uint8_t flags);
    bool Fail(int64_t line_number, const char* problem, std::string& out_error) const;
    void ReportPassedOver() const;

    const std::string& Path;
    const TZAVCR2Merge Merge;
    std::unique_ptr<TZAVCR2TreeRoot> Root;
    TZAVCR2TreeNode* Current = nullptr;
    // A node that was the last child of its parent when its block closed; checked before use.
    TZAVCR2TreeNode* LastClosed = nullptr;
    // Line numbers of the "{" of every open block, innermost last.
    std::vector<int64_t> OpenBlockLines;
    // Top-level "actor" and "prop" nodes by lower-case keyword and value cut at ':'.
    std::unordered_map<std::string, TMergeTarget> MergeTargets;
    // The target that is the current top-level node, if it is one.
    TMergeTarget* CurrentTarget = nullptr;
    // Set when a block closed without a line of its own but with blocks nested in it.
    bool HasLinelessBlocks = false;
    // Every node takes a line of at least one character and its line end, but the last one.
    size_t MostNodes = 0;
    // Lines the parser passed over with a warning: how many and the first.
    struct TPassedOver
    {
        int64_t Count = 0;
        int64_t FirstLine = 0;
        void Note(int64_t line_number)
        {
            if (Count++ == 0)
                FirstLine = line_number;
        }
    };
    TPassedOver StrayBraces;
    TPassedOver SecondBlocks;
};

namespace {

// The key under which an "actor" or "prop" line merges with earlier ones; false for other lines.
bool MakeMergeKey(const char* keyword, const char* value, std::string& out_key)
{
    if (!SameTextNoCase(keyword, "actor") && !SameTextNoCase(keyword, "prop"))
        return false;
    out_key.clear();
    for (const char* c = keyword; *c != '\0'; c++)
        out_key += LowerAscii(*c);
    out_key += '\n';
    for (const char* c = value; *c != '\0' && *c != ':'; c++)
        out_key += LowerAscii(*c);
    return true;
}

} // namespace

bool TZAVCR2Parser::Fail(int64_t line_number, const char* problem, std::string& out_error) const
{
    out_error = "Error reading the CR2 file " + Path;
    if (line_number > 0)
        out_error += " (line " + std::to_string(line_number) + ")";
    out_error += ": ";
    out_error += problem;
    return false;
}

void TZAVCR2Parser::ReportPassedOver() const
{
    if (StrayBraces.Count > 0)
        AddWarning("The CR2 file %s (line %lld) has %lld '}' without a matching '{'; they were passed over",
                   Path.c_str(), static_cast<long long>(StrayBraces.FirstLine),
                   static_cast<long long>(StrayBraces.Count));
    if (SecondBlocks.Count > 0)
        AddWarning(
            "The CR2 file %s (line %lld) has %lld more top-level blocks; their lines were read into the "
            "first one",
            Path.c_str(), static_cast<long long>(SecondBlocks.FirstLine),
            static_cast<long long>(SecondBlocks.Count));
}

TZAVCR2TreeNode* TZAVCR2Parser::NewNode(const char* keyword, const char* value, uint8_t flags)
{
    return new (Root->Store.AllocateNode())
        TZAVCR2TreeNode(TZAVCR2TreeNode::TStoreTexts{}, keyword, value,
                        static_cast<uint8_t>(flags | TZAVCR2TreeNode::Flags_InStore));
}

void TZAVCR2Parser::OpenBlock(int64_t line_number)
{
    if (Root == nullptr) {
        Root = std::make_unique<TZAVCR2TreeRoot>();
        Root->Store.ExpectNodes(MostNodes);
        Current = Root.get();
    } else if (OpenBlockLines.empty()) {
        // Its lines join the first block's, as if the two braces between them were not there.
        SecondBlocks.Note(line_number);
        Current = Root.get();
    }
    TZAVCR2TreeNode* placeholder = NewNode(PlaceholderKeyword, EmptyText, TZAVCR2TreeNode::Flags_Placeholder);
    // Blocks usually open under a childless node; the remembered last child saves a walk when a
    // node gets a second block.
    if (Current->FirstChild() == nullptr)
        Current->AddChild(placeholder);
    else if (LastClosed != nullptr && LastClosed->Parent() == Current && LastClosed->Next() == nullptr)
        LastClosed->InsertAfter(placeholder);
    else
        Current->LastChild()->InsertAfter(placeholder);
    Current->HasBlock = true;
    Current = placeholder;
    OpenBlockLines.push_back(line_number);
}

void TZAVCR2Parser::CloseBlock(int64_t line_number)
{
    if (OpenBlockLines.empty()) {
        // Nothing is open, so nothing is lost by passing over it.
        StrayBraces.Note(line_number);
        return;
    }
    OpenBlockLines.pop_back();
    TZAVCR2TreeNode* closed = Current;
    TZAVCR2TreeNode* parent = closed->Parent();
    LastClosed = closed;
    if (closed->NodeFlags & TZAVCR2TreeNode::Flags_Placeholder) {
        // A block that never got its first line. Blocks nested in it take its place once the
        // whole file is read: lifting them now would move them again for every enclosing block
        // of the same kind.
        if (closed->FirstChild() != nullptr) {
            HasLinelessBlocks = true;
        } else {
            LastClosed = closed->Previous();
            delete closed;
        }
    }
    if (CurrentTarget != nullptr && CurrentTarget->Node == parent)
        CurrentTarget->LastChild = LastClosed;
    // The top-level block is done once it closes: the root is not a line of the file.
    Current = OpenBlockLines.empty() ? nullptr : parent;
}

void TZAVCR2Parser::AddLine(char* keyword, char* value)
{
    std::string merge_key;
    const bool top_level = Current->Parent() == Root.get();
    const bool mergeable =
        Merge == TZAVCR2Merge::ActorsAndProps && top_level && MakeMergeKey(keyword, value, merge_key);
    if (mergeable) {
        auto found = MergeTargets.find(merge_key);
        if (found != MergeTargets.end()) {
            // A later top-level block that starts with this line opened a placeholder for it.
            if (Current->NodeFlags & TZAVCR2TreeNode::Flags_Placeholder) {
                if (Current->FirstChild() == nullptr)
                    delete Current;
                else
                    HasLinelessBlocks = true;
            }
            CurrentTarget = &found->second;
            Current = CurrentTarget->Node;
            LastClosed = CurrentTarget->LastChild;
            return;
        }
    }
    if (Current->NodeFlags & TZAVCR2TreeNode::Flags_Placeholder) {
        Current->Keyword = keyword;
        Current->Value = value;
        Current->NodeFlags &= static_cast<uint8_t>(~TZAVCR2TreeNode::Flags_Placeholder);
    } else {
        TZAVCR2TreeNode* node = NewNode(keyword, value, TZAVCR2TreeNode::Flags_None);
        Current->InsertAfter(node);
        Current = node;
    }
    if (mergeable)
        CurrentTarget =
            &MergeTargets.emplace(std::move(merge_key), TMergeTarget{Current, nullptr}).first->second;
    else if (top_level)
        CurrentTarget = nullptr;
}

// Puts the children of every block that closed without a line of its own in its place, and
// merges the actors and props that this brings to the top level, as reading the written file
// would. The tree is taken apart and linked again as a list of nodes with their final depths:
// every node moves once, and as a leaf, so the cost stays linear however deep the nesting.
void TZAVCR2Parser::LiftLinelessBlocks()
{
    // Document order; a lineless block's children take its depth, and it gets depth 0.
    std::vector<std::pair<TZAVCR2TreeNode*, int32_t>> order;
    TZAVCR2TreeNode* const root = Root.get();
    TZAVCR2TreeNode* node = root->FirstChild();
    int32_t depth = 1;
    while (node != nullptr) {
        const bool kept = !(node->NodeFlags & TZAVCR2TreeNode::Flags_Placeholder);
        order.emplace_back(node, kept ? depth : 0);
        if (node->FirstChild() != nullptr) {
            depth += kept;
            node = node->FirstChild();
            continue;
        }
        while (node != root && node->Next() == nullptr) {
            node = node->Parent();
            depth -= !(node->NodeFlags & TZAVCR2TreeNode::Flags_Placeholder);
        }
        node = node != root ? node->Next() : nullptr;
    }
    // Children before parents, so that every node ends up alone.
    for (auto entry = order.rbegin(); entry != order.rend(); ++entry)
        entry->first->Unlink();

    MergeTargets.clear();
    CurrentTarget = nullptr;
    std::string merge_key;
    // The node after which the next one at each depth goes; none when it is its parent's first.
    std::vector<TZAVCR2TreeNode*> previous(2, nullptr);
    for (const auto& [placed, final_depth] : order) {
        if (final_depth == 0) {
            delete placed;
            continue;
        }
        previous.resize(static_cast<size_t>(final_depth) + 1, nullptr);
        if (final_depth == 1 && Merge == TZAVCR2Merge::ActorsAndProps &&
            MakeMergeKey(placed->Keyword, placed->Value, merge_key)) {
            auto [found, added] = MergeTargets.try_emplace(merge_key, TMergeTarget{placed, nullptr});
            CurrentTarget = &found->second;
            if (!added) {
                // Its children follow at depth 2 and go to the end of the earlier node's.
                CurrentTarget->Node->HasBlock |= placed->HasBlock;
                delete placed;
                previous[1] = CurrentTarget->Node;
                previous.push_back(CurrentTarget->LastChild);
                continue;
            }
        } else if (final_depth == 1) {
            CurrentTarget = nullptr;
        }
        if (previous[final_depth] != nullptr)
            previous[final_depth]->InsertAfter(placed);
        else
            (final_depth == 1 ? root : previous[final_depth - 1])->AddChild(placed);
        previous[final_depth] = placed;
        if (final_depth == 2 && CurrentTarget != nullptr)
            CurrentTarget->LastChild = placed;
    }
}

bool TZAVCR2Parser::Parse(std::unique_ptr<char[]> text, size_t size,
                          std::unique_ptr<TZAVCR2TreeNode>& out_root, std::string& out_error)
{
    size = DropNulBytes(text.get(), size);
    MostNodes = size / 2 + 2;
    char* cursor = text.get();
    char* const end = cursor + size;
    // A UTF-8 byte order mark would otherwise hide the first "{".
    if (size >= 3 && std::memcmp(cursor, "\xEF\xBB\xBF", 3) == 0)
        cursor += 3;

    int64_t line_number = 0;
    while (cursor < end) {
        // FindLineEnd hands back a read-only pointer; going by the offset keeps this one writable.
        char* const line_end = cursor + (FindLineEnd(cursor, end) - cursor);
        line_number++;
        // CR LF is one line end; other pairs make an empty line, which is skipped anyway.
        char* next = line_end;
        if (next < end)
            next += (next[0] == '\r' && next + 1 < end && next[1] == '\n') ? 2 : 1;

        // Indentation is tabs; the general test after it takes any other blank.
        char* keyword = cursor;
        while (keyword < line_end && *keyword == '\t')
            keyword++;
        while (keyword < line_end && IsBlank(*keyword))
            keyword++;
        cursor = next;
        if (keyword == line_end)
            continue;
        if (*keyword == '{') {
            OpenBlock(line_number);
            continue;
        }
        if (*keyword == '}') {
            CloseBlock(line_number);
            continue;
        }
        // Lines outside the top-level block are not part of the tree.
        if (Current == nullptr)
            continue;
        char* keyword_end = keyword;
        while (keyword_end < line_end && !IsBlank(*keyword_end))
            keyword_end++;
        char* value = keyword_end;
        while (value < line_end && IsBlank(*value))
            value++;
        char* value_end = line_end;
        while (value_end > value && IsBlank(value_end[-1]))
            value_end--;
        // Cut the texts in place; the line end (or the padding) takes the last NUL.
        *keyword_end = '\0';
        *value_end = '\0';
        AddLine(keyword, value);
    }
    if (Root == nullptr)
        return Fail(0, "no '{' found", out_error);
    if (!OpenBlockLines.empty()) {
        const std::string problem = "the file ends inside the block opened at line " +
                                    std::to_string(OpenBlockLines.back()) + " (the file may be cut short)";
        return Fail(0, problem.c_str(), out_error);
    }
    if (HasLinelessBlocks)
        LiftLinelessBlocks();
    ReportPassedOver();
    Root->Store.Text = std::move(text);
    out_root = std::move(Root);
    return true;
}

bool ParseCR2File(const std::string& path, TZAVCR2Merge merge, std::unique_ptr<TZAVCR2TreeNode>& out_root,
                  std::string& out_error)
{
    try {
        std::unique_ptr<char[]> text;
        size_t size = 0;
        if (!ReadWholeFile(path, TextPadding, DefaultMaxFileBytes, text, size, out_error))
            return false;
        TZAVCR2Parser parser(path, merge);
        return parser.Parse(std::move(text), size, out_root, out_error);
    } catch (const std::bad_alloc&) {
        out_error = "Not enough memory to read the file " + path;
        return false;
    }
}

// [SECTION] Writer

namespace {

void AppendTabs(TZAVOutputBuffer& out, int32_t count)
{
    static constexpr std::string_view Tabs = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    for (; count > int32_t(Tabs.size()); count -= int32_t(Tabs.size()))
        out.Append(Tabs);
    if (count > 0)
        out.Append(Tabs.substr(0, size_t(count)));
}

// "{" or "}" on a line of its own.
void AppendBraceLine(TZAVOutputBuffer& out, int32_t depth, char brace)
{
    AppendTabs(out, depth);
    out.Append(brace);
    out.Append('\n');
}

void AppendNodeLine(TZAVOutputBuffer& out, int32_t depth, const TZAVCR2TreeNode& node)
{
    AppendTabs(out, depth);
    out.Append(node.GetKeyword());
    out.Append(' ');
    out.Append(node.GetValue());
    out.Append('\n');
}

} // namespace

bool WriteCR2Tree(FILE* file, const TZAVCR2TreeNode* first, int32_t depth)
{
    if (depth < 0)
        depth = 0;
    TZAVOutputBuffer out(file, WriteBufferSize);
    AppendBraceLine(out, depth, '{');
    // Walks down through first children and back up through parents, so nesting depth costs
    // no stack.
    const TZAVCR2TreeNode* node = first;
    int32_t level = depth + 1;
    while (node != nullptr) {
        AppendNodeLine(out, level, *node);
        if (node->FirstChild() != nullptr) {
            AppendBraceLine(out, level, '{');
            node = node->FirstChild();
            level++;
            continue;
        }
        if (node->HasBlock) {
            AppendBraceLine(out, level, '{');
            AppendBraceLine(out, level, '}');
        }
        while (node->Next() == nullptr && level > depth + 1) {
            node = node->Parent();
            level--;
            AppendBraceLine(out, level, '}');
        }
        node = node->Next();
    }
    AppendBraceLine(out, depth, '}');
    return out.Finish();
}

bool WriteCR2File(const std::string& path, const TZAVCR2TreeNode& root, std::string& out_error)
{
    // The writer's own messages name the file.
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_error = writer.Error();
        return false;
    }
    if (!WriteCR2Tree(file, root.FirstChild(), 0)) {
        out_error = "Error writing '" + path + "': " + std::strerror(errno);
        return false;
    }
    if (!writer.Commit()) {
        out_error = writer.Error();
        return false;
    }
    return true;
}
