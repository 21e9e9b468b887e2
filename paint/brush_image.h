// TTarnwick_TextureBrushImage: an image that paint brushes use as brush texture, kept in the
// project's list of brush images. The project file keeps its name and the image file it came
// from; the pixels are read again from that file when the project is opened.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/thingy.h"
#include "paint/image_file.h"

class TTarnwick_TextureBrushImage : public TTarnwick_Thingy
{
public:
    // A "BrushImage" block: the item lines and "FileName".
    bool SaveToStream_Text(FILE* file) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    // Reads FileName into the pixels at the image's own size. False, with the reason in out_error
    // and the pixels left as they were, when the file cannot be read.
    [[nodiscard]] bool LoadPixels(std::string& out_error);
    bool HasPixels() const { return Pixels != nullptr; }
    // Writes the pixels of an image that has no file (a grab) as a PNG named after the image into
    // folder, under a name no file there has yet, and makes it the image's file, so that a saved
    // project brings the image back. False, with the reason, when it cannot be written.
    [[nodiscard]] bool KeepInFile(const std::string& folder, std::string& out_error);

    std::string FileName;
    int32_t Width = 0;
    int32_t Height = 0;
    // Width·Height RGBA pixels, bottom row first; null until loaded.
    TZAVPixelBuffer Pixels;
};

using TTarnwick_TextureBrushImagePtr = TTarnwick_TextureBrushImage*;
