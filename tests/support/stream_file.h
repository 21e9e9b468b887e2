// Temporary files for stream tests: one holding given text, and the whole text a file holds.
//
//     StreamFile file = FileHolding("Name\tx\n");   // positioned at the start
//     std::string text = ContentsOf(file.get());    // whole file; the position is left at the start
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "core/file_handle.h"

using StreamFile = TZAVFileHandle;

inline StreamFile FileHolding(std::string_view text)
{
    StreamFile file(std::tmpfile());
    if (file) {
        std::fwrite(text.data(), 1, text.size(), file.get());
        std::rewind(file.get());
    }
    return file;
}

inline std::string ContentsOf(FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[65536];
    for (size_t length; (length = std::fread(buffer, 1, sizeof(buffer), file)) > 0;)
        text.append(buffer, length);
    std::rewind(file);
    return text;
}

// Writes fail at once: an unbuffered stream on a device that is always full.
inline StreamFile FullDevice()
{
    StreamFile file(std::fopen("/dev/full", "w"));
    if (file)
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
    return file;
}
