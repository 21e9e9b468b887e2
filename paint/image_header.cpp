// Image headers: the sizes a file declares, read before any decoder trusts them.
#include "paint/image_header.h"

#include <algorithm>
#include <string_view>

#include "paint/image_file.h"

namespace {

uint32_t Big16(const uint8_t* p)
{
    return uint32_t(p[0]) << 8 | p[1];
}

uint32_t Big32(const uint8_t* p)
{
    return Big16(p) << 16 | Big16(p + 2);
}

uint32_t Little16(const uint8_t* p)
{
    return uint32_t(p[1]) << 8 | p[0];
}

uint32_t Little32(const uint8_t* p)
{
    return Little16(p + 2) << 16 | Little16(p);
}

TZAVDeclaredSize Declared(int64_t width, int64_t height)
{
    return {true, width, height};
}

// The width and height of the IHDR chunk that must follow the signature. Every chunk must lie
// whole inside the bytes up to IEND: DevIL ignores short reads, and libpng then spins on a file
// cut short.
TZAVDeclaredSize PngSize(std::span<const uint8_t> bytes)
{
    const auto type_is = [&](size_t at, std::string_view type) {
        return std::string_view(reinterpret_cast<const char*>(&bytes[at + 4]), 4) == type;
    };
    if (bytes.size() < 24 || Big32(&bytes[8]) != 13 || !type_is(8, "IHDR"))
        return {};
    // A chunk is its length, its type, its data and a CRC.
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const size_t length = Big32(&bytes[at]);
        if (length > bytes.size() - at - 12)
            return {};
        if (type_is(at, "IEND"))
            return Declared(Big32(&bytes[16]), Big32(&bytes[20]));
        at += 12 + length;
    }
    return {};
}

// The first frame header (SOF0..SOF15 without DHT, JPG and DAC), once every segment up to the end
// of the image is known to lie whole inside the bytes: DevIL's reader skips a segment by asking for
// bytes until it has them all, and past the end of the file it asks forever. Between segments the
// bytes up to the next 0xFF are skipped, as libjpeg skips them, so that no segment hides from this
// scan.
TZAVDeclaredSize JpegSize(std::span<const uint8_t> bytes)
{
    TZAVDeclaredSize frame;
    size_t at = 2;
    while (at + 1 < bytes.size()) {
        if (bytes[at] != 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        at += 2;
        // libjpeg reads nothing after the end of the image.
        if (marker == 0xD9)
            break;
        // Markers without a length: TEM, RST0..RST7, SOI, and the stuffed zero.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue;
        if (at + 2 > bytes.size())
            return {};
        const size_t length = Big16(&bytes[at]);
        if (length > bytes.size() - at)
            return {};
        const bool frame_header =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame_header && !frame.Known) {
            if (length < 7)
                return {};
            frame = Declared(Big16(&bytes[at + 5]), Big16(&bytes[at + 3]));
        }
        at += std::max<size_t>(length, 2);
    }
    return frame;
}

// The core header (12 bytes, 16-bit sides) or any later one (32-bit sides; a negative height
// stores the rows from the top).
TZAVDeclaredSize BmpSize(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 26)
        return {};
    // Uncompressed rows are padded to whole 32-bit words; DevIL reads a file cut short without
    // complaint, so the rows it promises must be there.
    const uint64_t pixel_start = Little32(&bytes[10]);
    const auto with_rows = [&](int64_t width, int64_t height, uint32_t bits, bool compressed) {
        TZAVDeclaredSize size = Declared(width, height);
        if (!compressed && !IsImageTooBig(width, height))
            size.PixelEnd = pixel_start + uint64_t((width * bits + 31) / 32 * 4) * uint64_t(height);
        return size;
    };
    if (Little32(&bytes[14]) == 12)
        return with_rows(Little16(&bytes[18]), Little16(&bytes[20]), Little16(&bytes[24]), false);
    // DevIL allocates the colour table that the header's count claims; no table has more than 256.
    constexpr size_t ColourCountAt = 46;
    if (bytes.size() < ColourCountAt + 4 || Little32(&bytes[ColourCountAt]) > 256)
        return {};
    const int64_t width = int32_t(Little32(&bytes[18]));
    const int64_t height = int32_t(Little32(&bytes[22]));
    // Compression 0 stores the pixels as they are, 3 as bit fields in whole words.
    const uint32_t compression = Little32(&bytes[30]);
    return with_rows(width < 0 ? -width : width, height < 0 ? -height : height, Little16(&bytes[28]),
                     compression != 0 && compression != 3);
}

// The colour map of a colour-mapped image must lie inside the file: DevIL allocates it from the
// header's count, which it takes for a signed 16-bit number, so that 32768 entries and more ask
// for gigabytes. DevIL makes up the pixels of a file cut short, so they must be there too: as
// they are, or in run-length packets of at most 128 pixels, each a count byte and a pixel or more.
TZAVDeclaredSize TgaSize(std::span<const uint8_t> bytes)
{
    constexpr size_t HeaderBytes = 18;
    constexpr int64_t PixelsPerPacket = 128;
    if (bytes.size() < HeaderBytes)
        return {};
    const uint8_t id_length = bytes[0];
    const uint8_t map_type = bytes[1];
    const uint8_t image_type = bytes[2];
    size_t map_bytes = 0;
    if (map_type == 1 || image_type == 1 || image_type == 9) {
        const size_t map_length = Little16(&bytes[5]);
        map_bytes = map_length * (bytes[7] / 8);
        if (map_length >= 0x8000 || HeaderBytes + id_length + map_bytes > bytes.size())
            return {};
    }
    TZAVDeclaredSize size = Declared(Little16(&bytes[12]), Little16(&bytes[14]));
    const int64_t pixel_count = size.Width * size.Height;
    const int64_t pixel_bytes = (bytes[16] + 7) / 8;
    const uint64_t pixel_start = HeaderBytes + id_length + map_bytes;
    if (image_type >= 1 && image_type <= 3)
        size.PixelEnd = pixel_start + uint64_t(pixel_count * pixel_bytes);
    else if (image_type >= 9 && image_type <= 11)
        size.PixelEnd =
            pixel_start + uint64_t((pixel_count + PixelsPerPacket - 1) / PixelsPerPacket * (1 + pixel_bytes));
    return size;
}

// The logical screen, which DevIL allocates for every frame.
TZAVDeclaredSize GifSize(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 10)
        return {};
    return Declared(Little16(&bytes[6]), Little16(&bytes[8]));
}

} // namespace

bool IsImageTooBig(int64_t width, int64_t height)
{
    // The sides first, so that the product cannot overflow.
    return width > ImageSideLimit || height > ImageSideLimit || width * height >= ImagePixelLimit;
}

TZAVDeclaredSize DeclaredImageSize(std::span<const uint8_t> bytes, TZAVImageFormat format)
{
    switch (format) {
    case TZAVImageFormat::Png:
        return PngSize(bytes);
    case TZAVImageFormat::Jpeg:
        return JpegSize(bytes);
    case TZAVImageFormat::Bmp:
        return BmpSize(bytes);
    case TZAVImageFormat::Tga:
        return TgaSize(bytes);
    case TZAVImageFormat::Gif:
        return GifSize(bytes);
    case TZAVImageFormat::Other:
        break;
    }
    return {};
}
