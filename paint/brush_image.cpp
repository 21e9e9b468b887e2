#include "paint/brush_image.h"

#include <string>

#include "core/dialogs.h"
#include "core/paths.h"
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

bool TTarnwick_TextureBrushImage::KeepInFile(const std::string& folder, std::string& out_error)
{
    if (Pixels == nullptr || Width <= 0 || Height <= 0) {
        out_error = "The brush image " + Name + " has no pixels";
        return false;
    }
    if (!EnsureFolder(folder)) {
        out_error = "Error making the folder " + folder;
        return false;
    }
    const std::string base = WithTrailingSeparator(folder) + CleanFileName(Name.c_str());
    std::string path = base + ".png";
    for (int32_t number = 2; FileExists(path); number++)
        path = base + "_" + std::to_string(number) + ".png";
    const size_t bytes = size_t(Width) * size_t(Height) * 4;
    if (!SaveImageFile(path, std::span<const uint8_t>(Pixels.get(), bytes), Width, Height,
                       TZAVImageChannels::RGBA, out_error))
        return false;
    FileName = path;
    return true;
}
