// Raster images in and out of the program, PNG through libpng and every other format through
// DevIL: any format DevIL reads comes in as a tightly packed 8-bit RGB or RGBA buffer scaled to the
// size the caller needs, and such a buffer goes out in the format that the file name's extension
// names. Rows follow each other without gaps, the first row is the bottom of the picture.
//
// These functions show nothing: on failure they leave no buffer, zero the sizes and say why in
// out_error, for the caller's own message. An image too large to hold (see ImagePixelLimit and
// ImageSideLimit) is refused the same way, with its size in the text, before the decoder or the
// buffer allocate for it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Images of this many pixels (a 16384 x 16384 map) and more are refused. DevIL counts bytes in
// 32-bit integers; below the limit an RGBA image stays under 1 GiB, and nothing DevIL derives
// from it can overflow.
constexpr int64_t ImagePixelLimit = int64_t(1) << 28;
// Nor may either side exceed libpng's default limit, so that every image read can be saved as a
// PNG that other programs open.
constexpr int32_t ImageSideLimit = 1000000;

// Pixel buffers come from operator new[], whose blocks are 16-byte aligned here: the 8 bytes
// that the pixel loops and the texture upload count on. A buffer may run up to 8 bytes past the
// pixels.
using TZAVPixelBuffer = std::unique_ptr<uint8_t[]>;
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ >= 8);

enum TZAVImageLoadFlags : uint32_t
{
    ImageLoad_None = 0,
    // width and height give the size wanted instead of receiving the size produced.
    ImageLoad_KeepSize = 1 << 0,
    // Four channels, unless ImageLoad_ForceRGB is set too.
    ImageLoad_WantAlpha = 1 << 1,
    ImageLoad_ForceRGB = 1 << 2,
    // Without ImageLoad_KeepSize each side of the source is first raised to a power of two.
    ImageLoad_PowerOfTwo = 1 << 3,
};

enum class TZAVImageChannels
{
    RGB,
    RGBA,
};

// Reads path and scales it with a bilinear filter to the target size (the wanted size, or the
// source size), each side clamped to the process-wide [MinTextureSize, MaxTextureSize] of
// files/settings.h. out_aspect, when given,
// receives the source's width over its height. A 32-bit TIFF loaded with alpha has its alpha
// inverted.
[[nodiscard]] bool LoadImageFile(const std::string& path, TZAVPixelBuffer& out_pixels, int32_t& width,
                                 int32_t& height, uint32_t flags, float* out_aspect, std::string& out_error);

// Writes width x height pixels of 3 or 4 channels in the format of path's extension, with
// compression where the format offers it and JPEG quality 99. The file is replaced only by a
// complete one: a failed save leaves the old file as it was.
[[nodiscard]] bool SaveImageFile(const std::string& path, std::span<const uint8_t> pixels, int32_t width,
                                 int32_t height, TZAVImageChannels channels, std::string& out_error);

// An RGB buffer as the bytes of a PNG file, for records that carry their pixels inline. The
// compression is quick rather than tight: a 4096 x 4096 map takes a fraction of a second.
[[nodiscard]] bool EncodePng(std::span<const uint8_t> rgb, int32_t width, int32_t height,
                             std::vector<uint8_t>& out_bytes, std::string& out_error);

// The bytes of an image file (PNG, JPEG, BMP, TGA or GIF: formats whose size is checked before
// DevIL reads them) as an RGB or RGBA buffer at the image's own size, unclamped.
[[nodiscard]] bool DecodeImageBytes(std::span<const uint8_t> bytes, TZAVPixelBuffer& out_pixels,
                                    int32_t& out_width, int32_t& out_height, std::string& out_error,
                                    TZAVImageChannels channels = TZAVImageChannels::RGB);
