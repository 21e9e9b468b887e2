// Line reading for the program's text files: CR LF, LF CR, LF and CR all end a line; bytes
// 0x80-0xFF are kept so UTF-8 and Latin-1 text survive a round trip; NUL bytes are dropped.
#pragma once

#include <cstdio>
#include <string>

// Reads at most size - 1 bytes; the buffer is always NUL-terminated. False at end of file when
// nothing (not even a line end) was read.
bool ReadTextLine(char* buffer, int size, FILE* stream);
// The same for a line of any length.
bool ReadTextLine(std::string& out_line, FILE* stream);
