#include "mesh/obj_line_reader.h"

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

namespace {

// A chunk, or less for a small file, so that loading one allocates no more than it holds.
size_t BufferSizeFor(FILE* file)
{
    constexpr size_t ChunkSize = TZAVObjLineReader::ChunkSize;
    constexpr size_t LinePadding = TZAVObjLineReader::LinePadding;
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0 &&
        static_cast<uint64_t>(status.st_size) < ChunkSize)
        return static_cast<size_t>(status.st_size) + 1 + LinePadding;
    return ChunkSize + LinePadding;
}

// Comments keep a trailing "\\": it ends many a Windows path.
bool JoinsNextLine(std::string_view line)
{
    line = TrimBlanks(line);
    return !line.empty() && line[0] != '#';
}

} // namespace

TZAVObjLineReader::TZAVObjLineReader(FILE* file) : File(file), Buffer(BufferSizeFor(file)) {}

void TZAVObjLineReader::Rewind()
{
    std::rewind(File);
    Begin = End = 0;
    AtEnd = false;
    LineNumber = PhysicalLines = 0;
}

// Refills the buffer as needed, joins continued lines (the joint becomes blanks in place) and
// ends the last line at the end of the file.
bool TZAVObjLineReader::NextLineSlowly(std::string_view& out_line)
{
    size_t scan = Begin;
    LineNumber = PhysicalLines + 1;
    for (;;) {
        char* start = Buffer.data() + Begin;
        const char* end = Buffer.data() + End;
        const char* found = FindByte(Buffer.data() + scan, end, Separator);
        if (found != end || (AtEnd && Begin < End)) {
            const size_t length = static_cast<size_t>(found - start);
            const size_t content = length - (length > 0 && start[length - 1] == '\r');
            PhysicalLines++;
            if (content > 0 && start[content - 1] == '\\' && JoinsNextLine({start, content})) {
                std::fill(start + content - 1, start + length, ' ');
                if (found != end) {
                    start[length] = ' ';
                    scan = Begin + length + 1;
                    continue;
                }
            }
            Begin = std::min(End, Begin + length + 1);
            out_line = std::string_view(start, content);
            return true;
        }
        if (AtEnd)
            return false;
        const size_t scanned = scan - Begin;
        Refill();
        scan = Begin + scanned;
    }
}

void TZAVObjLineReader::Refill()
{
    std::memmove(Buffer.data(), Buffer.data() + Begin, End - Begin);
    End -= Begin;
    Begin = 0;
    if (End == Capacity())
        Buffer.resize(Capacity() * 2 + LinePadding);
    size_t read = std::fread(Buffer.data() + End, 1, Capacity() - End, File);
    if (!SeparatorKnown)
        DetectSeparator(End, End + read);
    End += read;
    if (read == 0) {
        AtEnd = true;
        ReadFailed = std::ferror(File) != 0;
        // The last line may lack its separator; it gets one in the padding.
        Buffer[End] = '\n';
    }
}

void TZAVObjLineReader::DetectSeparator(size_t from, size_t to)
{
    for (size_t i = from; i < to; i++) {
        if (Buffer[i] == '\n') {
            SeparatorKnown = true;
            return;
        }
        if (Buffer[i] == '\r' && i + 1 < to) {
            Separator = Buffer[i + 1] == '\n' ? '\n' : '\r';
            SeparatorKnown = true;
            return;
        }
    }
}
