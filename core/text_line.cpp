#include "core/text_line.h"

#include <algorithm>
#include <cstring>

#include "core/text_scan.h"

namespace {

// Consumes the partner of a two-byte line end (CR LF or LF CR); anything else is pushed back.
void SkipLineEndPartner(int line_end, FILE* stream)
{
    int next = getc_unlocked(stream);
    if (next == EOF)
        return;
    bool partner = (line_end == '\r' && next == '\n') || (line_end == '\n' && next == '\r');
    if (!partner)
        ungetc(next, stream);
}

// Hands the bytes of one line to `put` while `has_room` allows; NUL bytes carry nothing and go.
template <typename THasRoom, typename TPut>
bool ReadLineBytes(FILE* stream, THasRoom has_room, TPut put)
{
    bool read_any = false;
    while (has_room()) {
        int c = getc_unlocked(stream);
        if (c == EOF)
            break;
        read_any = true;
        if (c == '\r' || c == '\n') {
            SkipLineEndPartner(c, stream);
            break;
        }
        if (c != 0)
            put(static_cast<char>(c));
    }
    return read_any;
}

} // namespace

bool ReadTextLine(char* buffer, int size, FILE* stream)
{
    if (buffer == nullptr || size < 1)
        return false;
    int length = 0;
    const bool read_any = ReadLineBytes(
        stream, [&] { return length < size - 1; }, [&](char c) { buffer[length++] = c; });
    buffer[length] = '\0';
    return read_any;
}

bool ReadTextLine(std::string& out_line, FILE* stream)
{
    out_line.clear();
    return ReadLineBytes(stream, [] { return true; }, [&](char c) { out_line.push_back(c); });
}

namespace {

// A small file is read in a small block; a large one in blocks that grow until a read costs
// little beside the bytes it brings.
constexpr size_t FirstBlockSize = size_t(1) << 14;
constexpr size_t LargestBlockSize = size_t(1) << 18;
// The scanners load 16 bytes at a time.
constexpr size_t ScanPadding = 16;

} // namespace

TZAVLineReader::TZAVLineReader(FILE* stream)
    : Stream(stream), Block(std::make_unique<char[]>(FirstBlockSize + ScanPadding)), Capacity(FirstBlockSize)
{
}

TZAVLineReader::~TZAVLineReader()
{
    // A stream that cannot seek (a pipe) stays where the reading stopped.
    if (Stream != nullptr && BufferedBytes() > 0)
        (void)fseeko(Stream, -static_cast<off_t>(BufferedBytes()), SEEK_CUR);
}

bool TZAVLineReader::Refill()
{
    if (AtEnd || Stream == nullptr)
        return false;
    const size_t kept = Filled - Start;
    // The block doubles for a line longer than itself, and while the stream fills it whole.
    if (kept == Capacity || (Filled == Capacity && Capacity < LargestBlockSize)) {
        auto larger = std::make_unique<char[]>(2 * Capacity + ScanPadding);
        std::memcpy(larger.get(), Block.get() + Start, kept);
        Block = std::move(larger);
        Capacity *= 2;
    } else if (Start > 0) {
        std::memmove(Block.get(), Block.get() + Start, kept);
    }
    Start = 0;
    Filled = kept;
    const size_t read = std::fread(Block.get() + Filled, 1, Capacity - Filled, Stream);
    Filled += read;
    // Bytes past the end are scanned but never taken; zeros keep them defined.
    std::memset(Block.get() + Filled, 0, ScanPadding);
    if (read == 0)
        AtEnd = true;
    return read > 0;
}

bool TZAVLineReader::ReadLine(std::string_view& out_line)
{
    // Offsets from Start, which a refill moves.
    size_t length = 0;
    bool line_end_found = false;
    bool has_nul = false;
    for (;;) {
        const char* from = Block.get() + Start + length;
        const char* end = Block.get() + Filled;
        const char* found = FindLineEndOrNul(from, end);
        length = static_cast<size_t>(found - (Block.get() + Start));
        if (found < end && *found == '\0') {
            has_nul = true;
            length++;
            continue;
        }
        if (found < end) {
            line_end_found = true;
            break;
        }
        if (!Refill())
            break;
    }
    if (!line_end_found && length == 0)
        return false;
    size_t next = length;
    if (line_end_found) {
        const char line_end = Block[Start + length];
        next++;
        if (Start + next == Filled)
            Refill();
        if (Start + next < Filled) {
            const char partner = Block[Start + next];
            if ((line_end == '\r' && partner == '\n') || (line_end == '\n' && partner == '\r'))
                next++;
        }
    }
    char* line = Block.get() + Start;
    Start += next;
    // NUL bytes carry nothing: the rare line holding one closes up over it.
    if (has_nul)
        length = static_cast<size_t>(std::remove(line, line + length, '\0') - line);
    out_line = std::string_view(line, length);
    return true;
}

std::string ReadAllText(FILE* stream)
{
    std::string text;
    char block[65536];
    for (size_t length; (length = std::fread(block, 1, sizeof(block), stream)) > 0;)
        text.append(block, length);
    return text;
}
