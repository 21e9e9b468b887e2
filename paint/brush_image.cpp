#include "paint/brush_image.h"

#include "core/text_block.h"
#include "core/text_scan.h"

bool TTarnwick_TextureBrushImage::SaveToStream_Text(FILE* file)
{
    TStartTextFileBlock block(file, "BrushImage", Name);
    bool written = block.Good() && TTarnwick_Thingy::SaveToStream_Text(file) &&
                   WriteTextLine(file, "FileName", FileName);
    return block.Close() && written;
}

bool TTarnwick_TextureBrushImage::LoadFromStream_Text_ConsiderCommand(TZAVTextReader&, std::string_view key,
                                                                      std::string_view value)
{
    if (!SameTextNoCase(key, "FileName"))
        return false;
    FileName.assign(value);
    return true;
}

bool TTarnwick_TextureBrushImage::LoadPixels(std::string& out_error)
{
    TZAVPixelBuffer pixels;
    int32_t width = 0;
    int32_t height = 0;
    if (!LoadImageFile(FileName, pixels, width, height, ImageLoad_WantAlpha, nullptr, out_error))
        return false;
    Pixels = std::move(pixels);
    Width = width;
    Height = height;
    return true;
}
