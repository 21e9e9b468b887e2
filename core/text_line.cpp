#include "core/text_line.h"

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
