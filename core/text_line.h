// Line reading for the program's text files: CR LF, LF CR, LF and CR all end a line; bytes
// 0x80-0xFF are kept so UTF-8 and Latin-1 text survive a round trip; NUL bytes are dropped.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// Reads at most size - 1 bytes; the buffer is always NUL-terminated. False at end of file when
// nothing (not even a line end) was read.
bool ReadTextLine(char* buffer, int size, FILE* stream);
// The same for a line of any length.
bool ReadTextLine(std::string& out_line, FILE* stream);
// The rest of the stream, bytes as they are; ferror tells whether it all came.
std::string ReadAllText(FILE* stream);

// The lines of a stream, as ReadTextLine(std::string&) reads them, read ahead in large blocks.
// Handing out views into its block spares a copy per line; large files are read this way.
class TZAVLineReader
{
public:
    explicit TZAVLineReader(FILE* stream);
    // Seeks the stream back to just after the last line handed out, where ReadTextLine would be.
    ~TZAVLineReader();
    TZAVLineReader(const TZAVLineReader&) = delete;
    TZAVLineReader& operator=(const TZAVLineReader&) = delete;

    // The next line, valid until the next call; false at end of file when nothing was read.
    bool ReadLine(std::string_view& out_line);
    // Bytes read from the stream that no line has handed out yet.
    size_t BufferedBytes() const { return Filled - Start; }

private:
    // Moves the bytes not handed out to the front and reads more after them; false when the
    // stream has nothing more.
    bool Refill();

    FILE* Stream;
    // Capacity bytes, and 16 more so that the 16-byte scanners may read past the filled end.
    std::unique_ptr<char[]> Block;
    size_t Capacity = 0;
    size_t Start = 0;
    size_t Filled = 0;
    bool AtEnd = false;
};
