// Image files and inline image bytes on fuzzed input. The first byte chooses: an even one hands
// the rest to DecodeImageBytes, whose result must survive a PNG round trip unchanged; an odd one
// writes the rest to a file whose extension comes from bits 1..3 and loads it with the load flags
// of bits 4..7. Either way a failure leaves no buffer and no size.
#include "fuzz/fuzz_support.h"

#include <cstring>
#include <string>
#include <vector>

#include "files/settings.h"
#include "paint/image_file.h"

namespace {

constexpr const char* Extensions[] = {"png", "jpg", "bmp", "tga", "tif", "gif"};
// Small textures keep each input fast; the clamp is still exercised on both sides.
constexpr int FuzzMinTextureSize = 2;
constexpr int FuzzMaxTextureSize = 256;

void CheckOutcome(bool loaded, const TZAVPixelBuffer& pixels, int32_t width, int32_t height)
{
    if (!loaded && (pixels || width != 0 || height != 0))
        FuzzCheckFailed("a failed load left a buffer or a size");
    if (loaded && (!pixels || width < 1 || height < 1 || int64_t(width) * height >= ImagePixelLimit ||
                   width > ImageSideLimit || height > ImageSideLimit))
        FuzzCheckFailed("a load succeeded without a buffer of a valid size");
}

void Decode(const uint8_t* data, size_t size)
{
    TZAVPixelBuffer pixels;
    int32_t width = -1, height = -1;
    std::string error;
    const bool decoded = DecodeImageBytes({data, size}, pixels, width, height, error);
    CheckOutcome(decoded, pixels, width, height);
    if (!decoded)
        return;
    const size_t pixel_bytes = size_t(width) * size_t(height) * 3;
    std::vector<uint8_t> png;
    if (!EncodePng({pixels.get(), pixel_bytes}, width, height, png, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        FuzzCheckFailed("a decoded image could not be encoded");
    }
    TZAVPixelBuffer again;
    int32_t again_width = 0, again_height = 0;
    if (!DecodeImageBytes(png, again, again_width, again_height, error))
        FuzzCheckFailed("our own PNG could not be decoded");
    if (again_width != width || again_height != height ||
        std::memcmp(again.get(), pixels.get(), pixel_bytes) != 0)
        FuzzCheckFailed("a PNG round trip changed the image");
}

void Load(uint8_t selector, const uint8_t* data, size_t size)
{
    const std::string path = WriteInputFile(
        std::string("fuzz.") + Extensions[(selector >> 1 & 7) % std::size(Extensions)], data, size);
    MinTextureSize = FuzzMinTextureSize;
    MaxTextureSize = FuzzMaxTextureSize;
    const uint32_t flags = selector >> 4;
    TZAVPixelBuffer pixels;
    int32_t width = 37, height = 23;
    float aspect = 0;
    std::string error;
    const bool loaded = LoadImageFile(path, pixels, width, height, flags, &aspect, error);
    CheckOutcome(loaded, pixels, width, height);
    if (loaded && (width > FuzzMaxTextureSize || height > FuzzMaxTextureSize))
        FuzzCheckFailed("a loaded image is larger than the texture limit");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    if (data[0] % 2 == 0)
        Decode(data + 1, size - 1);
    else
        Load(data[0], data + 1, size - 1);
    return 0;
}
