#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/paths.h"
#include "files/settings.h"
#include "paint/brush_image.h"
#include "paint/image_file.h"
#include "support/largest_allocation.h"
#include "support/temp_folder.h"
#include "support/texture_limits.h"

namespace {

// Smooth gradients, so that JPEG keeps them within a small tolerance; alpha varies by row.
std::vector<uint8_t> Picture(int width, int height, int channel_count)
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            pixels.push_back(uint8_t(width > 1 ? x * 255 / (width - 1) : 200));
            pixels.push_back(uint8_t(height > 1 ? y * 255 / (height - 1) : 100));
            pixels.push_back(uint8_t(((x + y) * 255) / (width + height)));
            if (channel_count == 4)
                pixels.push_back(uint8_t(40 + (y * 7) % 200));
        }
    return pixels;
}

// The largest difference of any byte; -1 when the buffer is missing.
int LargestDifference(const TZAVPixelBuffer& pixels, const std::vector<uint8_t>& expected)
{
    if (!pixels)
        return -1;
    int largest = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        largest = std::max(largest, std::abs(int(pixels[i]) - int(expected[i])));
    return largest;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes.push_back(char(value));
    return bytes;
}

std::string Little32(uint32_t value)
{
    return Bytes({int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF), int(value >> 24)});
}

// A PNG declaring the size, without image data.
std::string PngWithoutPixels(uint32_t width, uint32_t height)
{
    std::string bytes = Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
    for (uint32_t side : {width, height})
        bytes += Bytes({int(side >> 24), int(side >> 16 & 0xFF), int(side >> 8 & 0xFF), int(side & 0xFF)});
    return bytes + Bytes({8, 2, 0, 0, 0, 0, 0, 0, 0}) + Bytes({0, 0, 0, 0, 'I', 'E', 'N', 'D', 0, 0, 0, 0});
}

TEST(ImageFile, RoundTripsEachFormat)
{
    TemporaryFolder folder;
    struct Case
    {
        const char* Extension;
        int Tolerance;
    };
    for (Case format : {Case{"png", 0}, Case{"bmp", 0}, Case{"tga", 0}, Case{"tif", 0}, Case{"jpg", 12}}) {
        for (auto [width, height] : {std::pair{1, 1}, std::pair{300, 200}}) {
            SCOPED_TRACE(std::string(format.Extension) + " " + std::to_string(width));
            const std::string path = folder.Path() + "picture." + format.Extension;
            const std::vector<uint8_t> picture = Picture(width, height, 3);
            std::string error;
            ASSERT_TRUE(SaveImageFile(path, picture, width, height, TZAVImageChannels::RGB, error)) << error;

            TextureLimits limits(1, 8192);
            TZAVPixelBuffer pixels;
            int32_t loaded_width = -1, loaded_height = -1;
            ASSERT_TRUE(
                LoadImageFile(path, pixels, loaded_width, loaded_height, ImageLoad_None, nullptr, error))
                << error;
            ASSERT_EQ(loaded_width, width);
            ASSERT_EQ(loaded_height, height);
            EXPECT_LE(LargestDifference(pixels, picture), format.Tolerance);
            EXPECT_GE(LargestDifference(pixels, picture), 0);
        }
    }
    // Formats with an alpha channel keep it; a 32-bit TIFF's alpha comes back inverted.
    const std::vector<uint8_t> picture = Picture(70, 90, 4);
    for (const char* extension : {"png", "tga", "tif"}) {
        SCOPED_TRACE(extension);
        const std::string path = folder.Path() + "alpha." + extension;
        std::string error;
        ASSERT_TRUE(SaveImageFile(path, picture, 70, 90, TZAVImageChannels::RGBA, error)) << error;
        TZAVPixelBuffer pixels;
        int32_t width = 0, height = 0;
        ASSERT_TRUE(LoadImageFile(path, pixels, width, height, ImageLoad_WantAlpha, nullptr, error)) << error;
        ASSERT_EQ(width * height, 70 * 90);
        const bool inverted = std::strcmp(extension, "tif") == 0;
        EXPECT_EQ(pixels[3], inverted ? 255 - picture[3] : picture[3]);
        EXPECT_EQ(pixels[70 * 89 * 4 + 3],
                  inverted ? 255 - picture[70 * 89 * 4 + 3] : picture[70 * 89 * 4 + 3]);
        EXPECT_EQ(pixels[70 * 89 * 4], picture[70 * 89 * 4]);

        // Alpha wanted but RGB forced gives three channels.
        ASSERT_TRUE(LoadImageFile(path, pixels, width, height, ImageLoad_WantAlpha | ImageLoad_ForceRGB,
                                  nullptr, error));
        EXPECT_EQ(pixels[3], picture[4]);
    }
}

TEST(ImageFile, ScalesToTheTargetSizeWithinTheTextureLimits)
{
    TemporaryFolder folder;
    std::string error;
    const std::string wide = folder.Path() + "wide.png";
    ASSERT_TRUE(SaveImageFile(wide, Picture(300, 200, 3), 300, 200, TZAVImageChannels::RGB, error)) << error;
    TZAVPixelBuffer pixels;
    int32_t width = 0, height = 0;
    float aspect = 0;
    ASSERT_TRUE(LoadImageFile(wide, pixels, width, height, ImageLoad_PowerOfTwo, &aspect, error)) << error;
    EXPECT_EQ(width, 512);
    EXPECT_EQ(height, 256);
    EXPECT_FLOAT_EQ(aspect, 1.5f);

    // The wanted size, clamped on both sides.
    width = 20;
    height = 20000;
    ASSERT_TRUE(LoadImageFile(wide, pixels, width, height, ImageLoad_KeepSize, &aspect, error)) << error;
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 8192);

    // A 1 x 1 picture fills the smallest texture with its colour.
    const std::string dot = folder.Path() + "dot.bmp";
    ASSERT_TRUE(SaveImageFile(dot, std::vector<uint8_t>{10, 200, 30}, 1, 1, TZAVImageChannels::RGB, error))
        << error;
    ASSERT_TRUE(LoadImageFile(dot, pixels, width, height, ImageLoad_None, &aspect, error)) << error;
    ASSERT_EQ(width, 64);
    ASSERT_EQ(height, 64);
    EXPECT_EQ(pixels[64 * 64 * 3 - 2], 200);

    const std::string strip = folder.Path() + "strip.tga";
    ASSERT_TRUE(SaveImageFile(strip, Picture(10000, 16, 3), 10000, 16, TZAVImageChannels::RGB, error))
        << error;
    ASSERT_TRUE(LoadImageFile(strip, pixels, width, height, ImageLoad_None, &aspect, error)) << error;
    EXPECT_EQ(width, 8192);
    EXPECT_EQ(height, 64);
    EXPECT_FLOAT_EQ(aspect, 625.0f);
}

// A BMP stores its bottom row first, a TGA with bit 5 of its descriptor its top row: both load
// with the bottom row first, and a saved BMP stores the first row of the buffer first.
TEST(ImageFile, KeepsTheFirstRowAtTheBottom)
{
    TemporaryFolder folder;
    TextureLimits limits(1, 8192);
    const std::string bmp =
        folder.Write("column.bmp", "BM" + Little32(62) + Little32(0) + Little32(54) + Little32(40) +
                                       Little32(1) + Little32(2) + Bytes({1, 0, 24, 0}) +
                                       std::string(24, '\0') + Bytes({0, 0, 255, 0, 255, 0, 0, 0}));
    const std::string tga =
        folder.Write("column.tga", Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 24, 32}) +
                                       Bytes({255, 0, 0, 0, 0, 255}));
    for (const std::string& path : {bmp, tga}) {
        SCOPED_TRACE(path);
        TZAVPixelBuffer pixels;
        int32_t width = 0, height = 0;
        std::string error;
        ASSERT_TRUE(LoadImageFile(path, pixels, width, height, ImageLoad_None, nullptr, error)) << error;
        ASSERT_EQ(height, 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(pixels.get()), 6), Bytes({255, 0, 0, 0, 0, 255}));
    }
    std::string error;
    const std::string saved = folder.Path() + "saved.bmp";
    ASSERT_TRUE(
        SaveImageFile(saved, std::vector<uint8_t>{255, 0, 0, 0, 0, 255}, 1, 2, TZAVImageChannels::RGB, error))
        << error;
    const std::string file = TemporaryFolder::Read(saved);
    ASSERT_GE(file.size(), 14u);
    const size_t pixels_at = size_t(uint8_t(file[10])) | size_t(uint8_t(file[11])) << 8;
    EXPECT_EQ(file.substr(pixels_at, 3), Bytes({0, 0, 255}));
}

TEST(ImageFile, UnreadableFilesLeaveNoBufferAndNoSize)
{
    TemporaryFolder folder;
    std::string error;
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(Picture(40, 30, 3), 40, 30, png, error)) << error;
    // Whole chunks, so that the error comes from libpng in the middle of the rows.
    std::string damaged(png.begin(), png.end());
    damaged[damaged.size() - 20] ^= 0x55;
    const std::string paths[] = {
        folder.Path() + "missing.png",
        folder.Write("empty.png", ""),
        folder.Write("noise.png", "\x89PNG\r\n\x1a\n these bytes are not a picture at all"),
        folder.Write("half.png", std::string(png.begin(), png.begin() + png.size() / 2)),
        folder.Write("damaged.png", damaged),
        folder.Write("noise.jpg", "\xFF\xD8\xFF\xE0 not a picture either"),
        folder.Write("noise.xyz", "no format at all"),
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        TZAVPixelBuffer pixels(new uint8_t[4]);
        int32_t width = 256, height = 256;
        error.clear();
        EXPECT_FALSE(LoadImageFile(path, pixels, width, height, ImageLoad_KeepSize, nullptr, error));
        EXPECT_EQ(pixels, nullptr);
        EXPECT_EQ(width, 0);
        EXPECT_EQ(height, 0);
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    TZAVPixelBuffer pixels;
    int32_t width = 1, height = 1;
    EXPECT_FALSE(DecodeImageBytes(std::span(png).first(png.size() / 2), pixels, width, height, error));
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(width + height, 0);
    EXPECT_FALSE(DecodeImageBytes(std::span(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size()),
                                  pixels, width, height, error));
    EXPECT_EQ(pixels, nullptr);
    // Saving under an extension no format has writes nothing.
    EXPECT_FALSE(
        SaveImageFile(folder.Path() + "out.xyz", Picture(2, 2, 3), 2, 2, TZAVImageChannels::RGB, error));
    EXPECT_FALSE(FileExists(folder.Path() + "out.xyz"));
}

// From a 16384 x 16384 image on nothing is allocated for it: the caller gets the size to report.
TEST(ImageFile, RefusesImagesTooBigToHold)
{
    TemporaryFolder folder;
    std::string error;
    TZAVPixelBuffer pixels;
    int32_t width = 0, height = 0;
    const std::string too_big = "16384 x 16384";
    // Declared by a header (a TGA of 65535 x 65535 would overflow DevIL's byte count).
    const std::string declared[] = {
        folder.Write("big.png", PngWithoutPixels(16384, 16384)),
        folder.Write("big.tga",
                     Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 32, 0}) + "rest"),
        folder.Write("big.bmp", "BM" + Little32(70) + Little32(0) + Little32(54) + Little32(40) +
                                    Little32(16384) + Little32(uint32_t(-16384)) + Bytes({1, 0, 24, 0}) +
                                    std::string(40, '\0')),
    };
    ResetLargestAllocation();
    for (const std::string& path : declared) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(LoadImageFile(path, pixels, width, height, ImageLoad_None, nullptr, error));
        EXPECT_NE(error.find(path.ends_with("tga") ? "65535 x 65535" : too_big), std::string::npos) << error;
    }
    const std::string header = PngWithoutPixels(16384, 16384);
    EXPECT_FALSE(DecodeImageBytes(std::span(reinterpret_cast<const uint8_t*>(header.data()), header.size()),
                                  pixels, width, height, error));
    EXPECT_NE(error.find(too_big), std::string::npos) << error;
    // Sides whose product overflows 64 bits.
    const std::string huge = PngWithoutPixels(0xFFFFFFF9, 0xFFFFFFFB);
    EXPECT_FALSE(DecodeImageBytes(std::span(reinterpret_cast<const uint8_t*>(huge.data()), huge.size()),
                                  pixels, width, height, error));
    EXPECT_NE(error.find("4294967289 x 4294967291"), std::string::npos) << error;
    EXPECT_LT(LargestAllocation(), size_t(1) << 20);

    // A wanted size that the raised upper limit lets through.
    const std::string small = folder.Path() + "small.png";
    ASSERT_TRUE(SaveImageFile(small, Picture(8, 8, 3), 8, 8, TZAVImageChannels::RGB, error)) << error;
    {
        TextureLimits limits(64, 32768);
        width = height = 16384;
        EXPECT_FALSE(LoadImageFile(small, pixels, width, height, ImageLoad_KeepSize, nullptr, error));
        EXPECT_NE(error.find(too_big), std::string::npos) << error;
        EXPECT_EQ(width + height, 0);
    }
    // Saving checks the size before the buffer, and keeps the old file.
    EXPECT_FALSE(SaveImageFile(small, Picture(8, 8, 3), 16384, 16384, TZAVImageChannels::RGB, error));
    EXPECT_NE(error.find(too_big), std::string::npos) << error;
    EXPECT_FALSE(SaveImageFile(small, Picture(8, 8, 3), 9, 9, TZAVImageChannels::RGB, error));
    EXPECT_TRUE(LoadImageFile(small, pixels, width, height, ImageLoad_None, nullptr, error)) << error;
}

TEST(ImageFile, FailedSaveLeavesTheOldFile)
{
    TemporaryFolder folder;
    const std::string path = folder.Path() + "map.png";
    std::string error;
    ASSERT_TRUE(SaveImageFile(path, Picture(8, 8, 3), 8, 8, TZAVImageChannels::RGB, error)) << error;
    const std::string old_file = TemporaryFolder::Read(path);
    std::vector<uint8_t> noise(512 * 512 * 3);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 2654435761u >> 13);
    EXPECT_TRUE(PassesWithFileSizeLimit(4096, [&] {
        std::string child_error;
        return !SaveImageFile(path, noise, 512, 512, TZAVImageChannels::RGB, child_error) &&
               !child_error.empty();
    }));
    EXPECT_EQ(TemporaryFolder::Read(path), old_file);
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()), std::vector<std::string>{"map.png"});
}

// The inline PNG of a record decodes at its own size, below the texture limits too.
TEST(ImageFile, PngBytesRoundTripInMemory)
{
    std::string error;
    for (auto [width, height] : {std::pair{3, 5}, std::pair{257, 65}}) {
        const std::vector<uint8_t> picture = Picture(width, height, 3);
        std::vector<uint8_t> png;
        ASSERT_TRUE(EncodePng(picture, width, height, png, error)) << error;
        ASSERT_GT(png.size(), 8u);
        EXPECT_EQ(std::memcmp(png.data(), "\x89PNG", 4), 0);
        TZAVPixelBuffer pixels;
        int32_t decoded_width = 0, decoded_height = 0;
        ASSERT_TRUE(DecodeImageBytes(png, pixels, decoded_width, decoded_height, error)) << error;
        EXPECT_EQ(decoded_width, width);
        EXPECT_EQ(decoded_height, height);
        EXPECT_EQ(LargestDifference(pixels, picture), 0);
    }
}

// Found by fuzzing project files: a map a million and one pixels wide, saved as PNG, made libpng
// jump through the jump target that DevIL's PNG writer never sets, and the program crashed.
TEST(ImageFile, PngsWiderThanLibpngTakesAreRefused)
{
    const int32_t width = 1000001;
    std::vector<uint8_t> png;
    std::string error;
    EXPECT_FALSE(EncodePng(std::vector<uint8_t>(size_t(width) * 3, 7), width, 1, png, error));
    EXPECT_NE(error.find("1000001 x 1"), std::string::npos) << error;
    EXPECT_TRUE(png.empty());
}

// Found by fuzzing: ilSaveF judges a writer's byte count by its lowest byte, and reported a failed
// write for a file of 256, 512, ... bytes. DevIL's TGA of 158 x 1 pixels takes 1024 bytes.
TEST(ImageFile, SavesFilesWhoseSizeIsAMultipleOf256)
{
    TemporaryFolder folder;
    const std::string path = folder.Path() + "row.tga";
    std::string error;
    ASSERT_TRUE(SaveImageFile(path, Picture(158, 1, 3), 158, 1, TZAVImageChannels::RGB, error)) << error;
    EXPECT_EQ(TemporaryFolder::Read(path).size(), 1024u);
}

// Found by fuzzing: a BMP of 73 bytes declaring 6 x 1048580 pixels decoded, and saving it again as
// a PNG, as a map does, crashed as above. No image read may have a side that a PNG cannot.
TEST(ImageFile, FuzzedBmpTallerThanAPngMayBeIsRefused)
{
    const std::string bmp = "BM" + Little32(134) + Little32(0) + Little32(54) + Little32(40) + Little32(6) +
                            Little32(1048580) + Bytes({1, 0, 24, 0}) + std::string(22, '\0') +
                            Bytes({0xff, 0x00, 0x03, 0xf5, 0x0a, 0x06, 0xeb, 0x14, 0x09, 0xff, 0xff,
                                   0xff, 0xff, 0xff, 0xff, 0x06, 0x00, 0xff, 0xd8, 0xff, 0xf4});
    TZAVPixelBuffer pixels;
    int32_t width = 0, height = 0;
    std::string error;
    EXPECT_FALSE(DecodeImageBytes(std::span(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()), pixels,
                                  width, height, error));
    EXPECT_NE(error.find("6 x 1048580"), std::string::npos) << error;

    // The widest image taken, in black and white, goes through a PNG and back.
    const int row_bytes = (ImageSideLimit + 31) / 32 * 4;
    const std::string widest = "BM" + Little32(62 + row_bytes) + Little32(0) + Little32(62) + Little32(40) +
                               Little32(ImageSideLimit) + Little32(1) + Bytes({1, 0, 1, 0}) +
                               std::string(24, '\0') + Bytes({0, 0, 0, 0, 255, 255, 255, 0}) +
                               std::string(size_t(row_bytes), '\x5a');
    ASSERT_TRUE(DecodeImageBytes(std::span(reinterpret_cast<const uint8_t*>(widest.data()), widest.size()),
                                 pixels, width, height, error))
        << error;
    ASSERT_EQ(width, ImageSideLimit);
    const std::vector<uint8_t> decoded(pixels.get(), pixels.get() + 3 * size_t(width));
    EXPECT_EQ(decoded[3], 255);
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(decoded, width, 1, png, error)) << error;
    ASSERT_TRUE(DecodeImageBytes(png, pixels, width, height, error)) << error;
    EXPECT_EQ(LargestDifference(pixels, decoded), 0);
}

// Found by fuzzing: a BMP whose pixel data offset points 2 GiB past its end made DevIL read
// outside the bytes it was given.
TEST(ImageFile, BmpHeaderOffsetsAndCountsStayInsideTheFile)
{
    TemporaryFolder folder;
    const std::string path = folder.Write(
        "far.bmp", "BM" + Little32(134) + Little32(0) + Little32(0x80000036) + Little32(40) + Little32(6) +
                       Little32(4) + Bytes({1, 0, 24, 0}) + std::string(24, '\0') + std::string(80, '\x7f'));
    // Also found: a colour count of 3.6 billion, which DevIL allocated.
    const std::string palette = folder.Write(
        "palette.bmp", "BM" + Little32(134) + Little32(0) + Little32(54) + Little32(40) + Little32(93) +
                           Little32(132) + Bytes({1, 0, 8, 0}) + std::string(16, '\0') +
                           Little32(0xdadadada) + std::string(84, '\x7f'));
    TZAVPixelBuffer pixels;
    int32_t width = 0, height = 0;
    std::string error;
    // Refused before DevIL reads it (DevIL's allocator is not ours to count).
    EXPECT_FALSE(LoadImageFile(palette, pixels, width, height, ImageLoad_None, nullptr, error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    if (LoadImageFile(path, pixels, width, height, ImageLoad_None, nullptr, error))
        EXPECT_EQ(width, 64);
    else
        EXPECT_EQ(width + height, 0);
}

// Found by fuzzing, and now refused before DevIL reads them: a JPEG with a segment running past the
// end of the file, which DevIL skipped forever; a TGA whose colour map of 41509 entries DevIL took
// for a negative count and allocated 4 GiB for; a BMP of 86 bytes promising 2310 x 58884 pixels
// and a run-length TGA of 34 bytes promising 64047 x 4120 (here 2000 x 2000), which DevIL made up.
TEST(ImageFile, FuzzedHeadersPromisingMoreThanTheFileHoldsAreRefused)
{
    const std::string files[] = {
        Bytes({0xff, 0xd8, 0x02, 0xff, 0xc0, 0x00, 0x11, 0x08, 0x00, 0x04, 0xf6, 0x05, 0x03, 0xff, 0xfc, 0xff,
               0xd8, 0xff, 0xe0, 0x00, 0x10, 0xdd, 0x46, 0x49, 0x46, 0xff, 0xff, 0xff, 0x01, 0xff, 0xe0, 0x00,
               0xdb, 0xfe, 0xfa, 0x00, 0xe0, 0x00, 0xdb, 0xb0, 0x00, 0x00, 0x00, 0xd8, 0xff, 0xe0, 0x01}),
        Bytes({0x00, 0x00, 0x01, 0xff, 0xe0, 0x25, 0xa2, 0x10, 0x00, 0x00, 0xff,
               0x23, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x29, 0x46, 0x49, 0x33}),
        "BM" + Little32(86) + Little32(0) + Little32(54) + Little32(40) + Little32(2310) + Little32(58884) +
            Bytes({1, 0, 24, 0}) + std::string(24, '\0') + std::string(32, '\x5d'),
        Bytes({0x00, 0x00, 0x0a, 0x00, 0x01, 0x00, 0xff, 0xff, 0xe0, 0x00, 0x00, 0xfe,
               0xd0, 0x07, 0xd0, 0x07, 0x10, 0x00, 0xff, 0x00, 0xbe, 0x7c, 0x7c, 0x87,
               0x00, 0x60, 0x40, 0x00, 0x00, 0xb7, 0xbe, 0x24, 0x86, 0x78}),
    };
    for (const std::string& file : files) {
        TZAVPixelBuffer pixels;
        int32_t width = 0, height = 0;
        std::string error;
        EXPECT_FALSE(DecodeImageBytes(std::span(reinterpret_cast<const uint8_t*>(file.data()), file.size()),
                                      pixels, width, height, error));
        EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    }
}

} // namespace

// A grabbed brush image gets a file of its own, so that the project can name it; a second grab
// of the same name does not overwrite the first.
TEST(ImageFile, GrabbedBrushImagesAreKeptInFilesOfTheirOwn)
{
    TemporaryFolder folder;
    TextureLimits limits(1, 8192);
    std::string first_file;
    for (uint8_t red : {200, 100}) {
        TTarnwick_TextureBrushImage image;
        image.SetNameLiteral("Grabbed Texture");
        image.Width = 2;
        image.Height = 1;
        image.Pixels = TZAVPixelBuffer(new uint8_t[8]{red, 1, 2, 255, 3, 4, 5, 128});
        std::string error;
        ASSERT_TRUE(image.KeepInFile(folder.Path() + "Brushes", error)) << error;
        EXPECT_NE(image.FileName, first_file);
        first_file = image.FileName;

        TTarnwick_TextureBrushImage reloaded;
        reloaded.FileName = image.FileName;
        ASSERT_TRUE(reloaded.LoadPixels(error)) << error;
        ASSERT_EQ(reloaded.Width * reloaded.Height, 2);
        EXPECT_EQ(std::vector<uint8_t>(reloaded.Pixels.get(), reloaded.Pixels.get() + 8),
                  std::vector<uint8_t>(image.Pixels.get(), image.Pixels.get() + 8));
    }
}
