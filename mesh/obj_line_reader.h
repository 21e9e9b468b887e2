// The lines of an OBJ file, read in large chunks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "core/text_scan.h"

// Hands out the lines of a file read in large chunks. A line longer than the buffer grows it, so
// lines of any length arrive whole. Lines end at LF (CR LF) or, in files without LF, at CR.
// Every line is followed by a separator byte (never a digit) and at least LinePadding readable
// bytes, so that parsers may stop at the first non-digit and load whole vectors.
class TZAVObjLineReader
{
public:
    static constexpr size_t ChunkSize = size_t{1} << 20;
    // Bytes past the data of the buffer; they belong to no line.
    static constexpr size_t LinePadding = 16;

    explicit TZAVObjLineReader(FILE* file);

    // A line whose last byte is "\\" goes on in the next one. LineNumber is that of the line's
    // first part.
    bool NextLine(std::string_view& out_line)
    {
        // Most lines are whole in the buffer and not continued.
        char* start = Buffer.data() + Begin;
        const char* end = Buffer.data() + End;
        const char* found = FindByte(start, end, Separator);
        if (found != end) [[likely]] {
            const size_t length = static_cast<size_t>(found - start);
            const size_t content = length - (length > 0 && start[length - 1] == '\r');
            if (content == 0 || start[content - 1] != '\\') [[likely]] {
                Begin += length + 1;
                LineNumber = ++PhysicalLines;
                out_line = std::string_view(start, content);
                return true;
            }
        }
        return NextLineSlowly(out_line);
    }

    void Rewind();
    bool Failed() const { return ReadFailed; }

    int64_t LineNumber = 0;

private:
    bool NextLineSlowly(std::string_view& out_line);
    void Refill();
    void DetectSeparator(size_t from, size_t to);
    size_t Capacity() const { return Buffer.size() - LinePadding; }

    FILE* File;
    std::vector<char> Buffer;
    size_t Begin = 0;
    size_t End = 0;
    int64_t PhysicalLines = 0;
    bool AtEnd = false;
    bool ReadFailed = false;
    bool SeparatorKnown = false;
    char Separator = '\n';
};
