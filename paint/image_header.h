// What an image file's header says of the image's size, read from the bytes before any decoder
// sees them: the decoders trust these numbers and size their buffers from them, so a header that
// is damaged, cut short or promises more than the file holds is refused first.
#pragma once

#include <cstdint>
#include <span>

// The formats whose headers are read here.
enum class TZAVImageFormat
{
    Png,
    Jpeg,
    Bmp,
    Tga,
    Gif,
    Other,
};

struct TZAVDeclaredSize
{
    bool Known = false;
    int64_t Width = 0;
    int64_t Height = 0;
    // The bytes from the start of the file to the end of the pixels, where the format fixes them.
    uint64_t PixelEnd = 0;
};

// Beyond ImageSideLimit on a side or ImagePixelLimit in all (paint/image_file.h).
bool IsImageTooBig(int64_t width, int64_t height);
// Not Known when the header is damaged or its chunks or segments run past the bytes.
TZAVDeclaredSize DeclaredImageSize(std::span<const uint8_t> bytes, TZAVImageFormat format);
