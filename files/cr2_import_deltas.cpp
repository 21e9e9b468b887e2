// The CR2 import's second pass, which needs no mesh: the lines it walks, the delta blocks of the
// morph targets with part-local indices and the steps applied to the mesh afterwards.
#include "files/cr2_import_deltas.h"

#include <algorithm>
#include <climits>

#include "mesh/obj_tokens.h"

namespace {

// "%d %f %f %f" of a delta line's value; false unless all four are there. The value is followed
// by its line end or the buffer's padding, never by a digit, as the OBJ token readers need.
bool ParseDelta(std::string_view value, int64_t& out_index, float out_delta[3])
{
    const char* cursor = value.data();
    const char* end = cursor + value.size();
    cursor = ParseObjIndex(cursor, end, out_index);
    for (int axis = 0; axis < 3 && cursor != nullptr; axis++)
        cursor = ParseObjFloat(cursor, end, out_delta[axis]);
    return cursor != nullptr;
}

// In index order; an index named again keeps its last delta. Most blocks list their indices in
// order already.
void SortDeltas(std::vector<TTarnwick_MorphDelta>& deltas)
{
    const auto out_of_order = [](const TTarnwick_MorphDelta& a, const TTarnwick_MorphDelta& b) {
        return a.Index >= b.Index;
    };
    if (std::adjacent_find(deltas.begin(), deltas.end(), out_of_order) == deltas.end())
        return;
    std::stable_sort(
        deltas.begin(), deltas.end(),
        [](const TTarnwick_MorphDelta& a, const TTarnwick_MorphDelta& b) { return a.Index < b.Index; });
    size_t kept = 0;
    for (size_t i = 0; i < deltas.size(); i++) {
        if (kept > 0 && deltas[kept - 1].Index == deltas[i].Index)
            kept--;
        deltas[kept++] = deltas[i];
    }
    deltas.resize(kept);
}

// The morph targets of the actors and the material blocks of the figure, as steps.
class TFigureScanner
{
public:
    TFigureScanner(const char* begin, const char* end, bool import_morphs)
        : Lines(begin, end), ImportMorphs(import_morphs)
    {
    }

    TCR2FigureScan Scan();

private:
    void AddStep(TCR2StepKind kind, const TCR2Line& line) { Result.Steps.push_back({kind, line, 0}); }
    void ConsiderActorLine(const TCR2Line& line);
    void FinishDeltas();

    TCR2Lines Lines;
    const bool ImportMorphs;
    TCR2FigureScan Result;

    int64_t Depth = 0;
    int64_t ActorDepth = -1;
    int64_t FigureDepth = -1;
    int64_t MaterialDepth = -1;
    std::string ActorName;

    // The morph target being read.
    std::string TargetName;
    std::string PendingDial;
    float PendingFactor = 1.0f;
    // Lines of "valueOpDeltaAdd" still to come: 2 (figure), 1 (part), then the dial of a BODY part.
    int32_t ValueOpStep = 0;
    int64_t DeltasDepth = -1;
    TCR2DeltaBlock Block;
};

void TFigureScanner::ConsiderActorLine(const TCR2Line& line)
{
    if (ValueOpStep > 0) {
        // The figure's name, the part's name and, for a BODY part, the dial.
        if (ValueOpStep == 2) {
            ValueOpStep = 1;
        } else if (ValueOpStep == 1) {
            ValueOpStep = StartsWithNoCase(line.Whole, "BODY") ? 3 : 0;
        } else {
            PendingDial = std::string(line.Whole);
            ValueOpStep = 0;
        }
        return;
    }
    if (SameTextNoCase(line.Keyword, "targetGeom")) {
        TargetName = std::string(line.Value);
        PendingDial.clear();
        PendingFactor = 1.0f;
    } else if (SameTextNoCase(line.Keyword, "valueOpDeltaAdd")) {
        ValueOpStep = 2;
    } else if (SameTextNoCase(line.Keyword, "deltaAddDelta")) {
        PendingFactor = ParseFloatValue(line.Value, 1.0f);
    } else if (SameTextNoCase(line.Keyword, "useBinaryMorph")) {
        if (ParseFloatValue(line.Value, 0.0f) != 0.0f && !TargetName.empty())
            Result.BinaryMorphs.push_back(ActorName + " " + TargetName);
    } else if (SameTextNoCase(line.Keyword, "deltas")) {
        DeltasDepth = Depth;
        Block = TCR2DeltaBlock();
        // Indices that no int32_t holds fit no part.
        Depth = ReadDeltaBlock(Lines, Depth, INT32_MAX, Block, &Result.Files);
    }
}

void TFigureScanner::FinishDeltas()
{
    if (DeltasDepth < 0)
        return;
    DeltasDepth = -1;
    Result.Targets.push_back({TargetName, PendingDial, PendingFactor, std::move(Block)});
    Result.Steps.push_back({TCR2StepKind::MorphTarget, TCR2Line(), Result.Targets.size() - 1});
}

TCR2FigureScan TFigureScanner::Scan()
{
    TCR2Line line;
    while (Lines.Next(line)) {
        if (line.Kind == TCR2LineKind::Open) {
            Depth++;
            continue;
        }
        if (line.Kind == TCR2LineKind::Close) {
            Depth--;
            Result.LowestDepth = std::min(Result.LowestDepth, Depth);
            if (DeltasDepth >= 0 && Depth <= DeltasDepth)
                FinishDeltas();
            if (Depth <= ActorDepth) {
                ActorDepth = -1;
                ValueOpStep = 0;
            }
            if (Depth <= MaterialDepth) {
                MaterialDepth = -1;
                AddStep(TCR2StepKind::MaterialEnd, line);
            }
            if (Depth <= FigureDepth)
                FigureDepth = -1;
            continue;
        }
        Result.Files.Consider(line);
        if (Depth == 1) {
            if (SameTextNoCase(line.Keyword, "actor")) {
                ActorDepth = Depth;
                ActorName = std::string(TrimBlanks(line.Value));
                AddStep(TCR2StepKind::Actor, line);
            } else if (SameTextNoCase(line.Keyword, "figure")) {
                FigureDepth = Depth;
            }
            continue;
        }
        if (ActorDepth >= 0) {
            if (ImportMorphs)
                ConsiderActorLine(line);
            continue;
        }
        if (FigureDepth < 0)
            continue;
        if (Depth == 2 && SameTextNoCase(line.Keyword, "material")) {
            MaterialDepth = Depth;
            AddStep(TCR2StepKind::Material, line);
        } else if (MaterialDepth >= 0 && Depth > MaterialDepth) {
            AddStep(TCR2StepKind::MaterialLine, line);
        }
    }
    FinishDeltas();
    Result.FinalDepth = Depth;
    return std::move(Result);
}

} // namespace

bool TCR2Lines::NextDelta(int64_t& out_index, float out_delta[3])
{
    const char* cursor = Cursor;
    while (cursor < End && (*cursor == ' ' || *cursor == '\t'))
        cursor++;
    if (End - cursor < 2 || cursor[0] != 'd' || (cursor[1] != ' ' && cursor[1] != '\t'))
        return false;
    const char* line_end = FindLineEnd(cursor, End);
    cursor += 2;
    while (cursor < line_end && IsBlank(*cursor))
        cursor++;
    // The line end, or the zeros past the text, stops every digit run.
    cursor = ParseObjIndex(cursor, line_end, out_index);
    for (int axis = 0; axis < 3 && cursor != nullptr; axis++)
        cursor = ParseObjFloat(cursor, line_end, out_delta[axis]);
    if (cursor == nullptr)
        return false;
    const char* next = line_end;
    if (next < End)
        next += (next + 1 < End && (next[1] == '\r' || next[1] == '\n') && next[1] != next[0]) ? 2 : 1;
    Cursor = next;
    Number++;
    return true;
}

void TCR2FileLines::Consider(const TCR2Line& line)
{
    // The length first: this sees every line of the file.
    if (line.Keyword.size() == 13 && SameTextNoCase(line.Keyword, "figureResFile"))
        Geometry = line.Value;
    else if (line.Keyword.size() == 15 && SameTextNoCase(line.Keyword, "morphBinaryFile"))
        BinaryMorphFile = line.Value;
}

int64_t ReadDeltaBlock(TCR2Lines& lines, int64_t depth, int64_t vertex_limit, TCR2DeltaBlock& out_block,
                       TCR2FileLines* file_lines)
{
    const int64_t block_depth = depth;
    out_block.Begin = lines.Position();
    out_block.Depth = depth;
    const auto take = [&](bool parsed, int64_t index, const float delta[3], int64_t line_number) {
        if (!parsed || index < 0 || index >= vertex_limit) {
            if (out_block.SkippedLines++ == 0)
                out_block.FirstSkippedLine = line_number;
            return;
        }
        out_block.Deltas.push_back({int32_t(index), {delta[0], delta[1], delta[2]}});
        out_block.LargestIndex = std::max(out_block.LargestIndex, int32_t(index));
    };
    TCR2Line line;
    for (;;) {
        int64_t index = -1;
        float delta[3];
        if (depth == block_depth + 1 && lines.NextDelta(index, delta)) {
            take(true, index, delta, lines.Position().Number);
            continue;
        }
        const TCR2Lines::TPosition before = lines.Position();
        if (!lines.Next(line))
            break;
        if (line.Kind == TCR2LineKind::Open) {
            depth++;
            continue;
        }
        if (line.Kind == TCR2LineKind::Close) {
            if (depth - 1 <= block_depth) {
                lines.Seek(before);
                break;
            }
            depth--;
            continue;
        }
        if (depth != block_depth + 1 || line.Keyword != "d") {
            if (file_lines != nullptr)
                file_lines->Consider(line);
            continue;
        }
        const bool parsed = ParseDelta(line.Value, index, delta);
        take(parsed, index, delta, line.Number);
    }
    out_block.End = lines.Position().Cursor;
    SortDeltas(out_block.Deltas);
    return depth;
}

TCR2DeltaBlock RereadDeltaBlock(const TCR2DeltaBlock& block, int32_t vertex_count)
{
    TCR2Lines lines(block.Begin.Cursor, block.End, block.Begin.Number);
    TCR2DeltaBlock again;
    ReadDeltaBlock(lines, block.Depth, vertex_count, again);
    return again;
}

TCR2FigureScan ScanFigure(const char* begin, const char* end, bool import_morphs)
{
    return TFigureScanner(begin, end, import_morphs).Scan();
}

bool SamePartName(std::string_view first, std::string_view second)
{
    return SameTextNoCase(first.substr(0, first.find(':')), second.substr(0, second.find(':')));
}

bool StartsWithNoCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && SameTextNoCase(text.substr(0, start.size()), start);
}

float ParseFloatValue(std::string_view value, float fallback)
{
    float number = fallback;
    return ParseFloatList(value, &number, 1) == 1 ? number : fallback;
}
