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

} // namespace

bool ReadTextLine(char* buffer, int size, FILE* stream)
{
    if (buffer == nullptr || size < 1)
        return false;
    int length = 0;
    bool read_any = false;
    for (;;) {
        if (length >= size - 1)
            break;
        int c = getc_unlocked(stream);
        if (c == EOF)
            break;
        read_any = true;
        if (c == '\r' || c == '\n') {
            SkipLineEndPartner(c, stream);
            break;
        }
        if (c != 0)
            buffer[length++] = static_cast<char>(c);
    }
    buffer[length] = '\0';
    return read_any;
}

bool ReadTextLine(std::string& out_line, FILE* stream)
{
    out_line.clear();
    bool read_any = false;
    for (;;) {
        int c = getc_unlocked(stream);
        if (c == EOF)
            break;
        read_any = true;
        if (c == '\r' || c == '\n') {
            SkipLineEndPartner(c, stream);
            break;
        }
        if (c != 0)
            out_line.push_back(static_cast<char>(c));
    }
    return read_any;
}
