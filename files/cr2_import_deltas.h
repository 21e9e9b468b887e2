// The text of a CR2 figure read without its geometry, so that it can be read while the geometry
// loads: the file's lines, the delta blocks of the morph targets with part-local indices, and the
// steps (actors, morph targets, materials and their lines) that the import applies to the mesh
// afterwards, in file order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_scan.h"
#include "mesh/morph.h"

enum class TCR2LineKind
{
    Open,
    Close,
    Text,
};

struct TCR2Line
{
    TCR2LineKind Kind = TCR2LineKind::Text;
    std::string_view Keyword;
    // The rest of the line after the keyword, trimmed.
    std::string_view Value;
    // Keyword and value, trimmed.
    std::string_view Whole;
    int64_t Number = 0;
};

// The lines of the file with text, cut as the tree parser cuts them: CR, LF, CR LF and LF CR each
// end a line, the keyword is the first word and a line whose keyword starts with a brace opens or
// closes a block. The text must stay readable for 15 bytes past its end.
class TCR2Lines
{
public:
    // Where a line starts, and the number of the line before it.
    struct TPosition
    {
        const char* Cursor;
        int64_t Number;
    };

    TCR2Lines(const char* begin, const char* end, int64_t lines_before = 0)
        : Cursor(begin), End(end), Number(lines_before)
    {
    }

    bool Next(TCR2Line& out_line)
    {
        while (Cursor < End) {
            const char* line_end = FindLineEnd(Cursor, End);
            const char* next = line_end;
            if (next < End)
                next +=
                    (next + 1 < End && (next[1] == '\r' || next[1] == '\n') && next[1] != next[0]) ? 2 : 1;
            std::string_view text = TrimBlanks(std::string_view(Cursor, size_t(line_end - Cursor)));
            Cursor = next;
            Number++;
            if (text.empty())
                continue;
            out_line.Number = Number;
            out_line.Whole = text;
            out_line.Kind = text[0] == '{'   ? TCR2LineKind::Open
                            : text[0] == '}' ? TCR2LineKind::Close
                                             : TCR2LineKind::Text;
            size_t keyword_end = 0;
            while (keyword_end < text.size() && !IsBlank(text[keyword_end]))
                keyword_end++;
            out_line.Keyword = text.substr(0, keyword_end);
            out_line.Value = TrimBlanks(text.substr(keyword_end));
            return true;
        }
        return false;
    }

    // Reads the next line at once when it is a well-formed "d <index> <x> <y> <z>", the bulk of a
    // figure, without cutting it into keyword and value; otherwise moves nothing and returns false,
    // leaving the line to Next. The numbers are read as the value of Next's line would be.
    bool NextDelta(int64_t& out_index, float out_delta[3]);

    TPosition Position() const { return {Cursor, Number}; }
    void Seek(TPosition position)
    {
        Cursor = position.Cursor;
        Number = position.Number;
    }

private:
    const char* Cursor;
    const char* End;
    int64_t Number;
};

// The last values of the lines that name the figure's files, wherever they stand.
struct TCR2FileLines
{
    void Consider(const TCR2Line& line);

    std::string_view Geometry;
    std::string_view BinaryMorphFile;
};

// The "d" lines of one deltas block.
struct TCR2DeltaBlock
{
    // Ascending part-local indices, each once, with the last delta the block gives it.
    std::vector<TTarnwick_MorphDelta> Deltas;
    int32_t LargestIndex = -1;
    // Lines that are malformed or whose index lies outside [0, the limit read against).
    int64_t SkippedLines = 0;
    int64_t FirstSkippedLine = 0;
    // The block's lines, to read them again against a part's vertex count: from after the
    // "deltas" line up to the close that ends the block, and the depth of the "deltas" line.
    TCR2Lines::TPosition Begin{};
    const char* End = nullptr;
    int64_t Depth = 0;
};

// Reads the block that follows a "deltas" line at `depth`: every line up to the close that brings
// the depth back to it, which is left to be read next. Indices of `vertex_limit` or more are
// skipped; its other lines go to file_lines when given. Returns the depth before that close.
int64_t ReadDeltaBlock(TCR2Lines& lines, int64_t depth, int64_t vertex_limit, TCR2DeltaBlock& out_block,
                       TCR2FileLines* file_lines = nullptr);
// The same block read against a part of vertex_count vertices.
TCR2DeltaBlock RereadDeltaBlock(const TCR2DeltaBlock& block, int32_t vertex_count);

struct TCR2MorphTarget
{
    std::string Name;
    // The full-body dial the target follows, with its factor; empty for none.
    std::string Dial;
    float Factor = 1.0f;
    TCR2DeltaBlock Block;
};

enum class TCR2StepKind
{
    // Line.Value names the part.
    Actor,
    // Target is the index of the morph target.
    MorphTarget,
    // Line.Value names the material.
    Material,
    MaterialLine,
    MaterialEnd,
};

struct TCR2Step
{
    TCR2StepKind Kind;
    TCR2Line Line;
    size_t Target = 0;
};

struct TCR2FigureScan
{
    std::vector<TCR2Step> Steps;
    std::vector<TCR2MorphTarget> Targets;
    // "<part> <target>" of each morph kept in a binary morph file.
    std::vector<std::string> BinaryMorphs;
    TCR2FileLines Files;
    // The brace balance: the depth at the end and the lowest reached, from 0 at the start.
    int64_t FinalDepth = 0;
    int64_t LowestDepth = 0;
};

// One pass over the whole file; morph targets are read only when asked. The braces need not
// balance: the caller refuses the file by FinalDepth and LowestDepth.
TCR2FigureScan ScanFigure(const char* begin, const char* end, bool import_morphs);

// Names match when they are equal, without regard to case, up to their first ':'.
bool SamePartName(std::string_view first, std::string_view second);
bool StartsWithNoCase(std::string_view text, std::string_view start);
// The first number of the value, or fallback.
float ParseFloatValue(std::string_view value, float fallback);
