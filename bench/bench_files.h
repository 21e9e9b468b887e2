// Writing the benches' generated inputs.
#pragma once

#include <cstdio>
#include <string>

// False when the file could not be written whole.
inline bool WriteWholeFile(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}
