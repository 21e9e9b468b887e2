// Image files through DevIL and ILU.
//
// DevIL keeps one global state (bound image, error stack, settings), so every entry point holds
// one lock and runs on a freshly bound image that an owner deletes on every path out. Its loaders
// trust the sizes in a file's header and size their buffers in 32-bit arithmetic, so for the
// formats whose header we can read the declared size is checked before DevIL sees the bytes.
//
// [SECTION] Limits and DevIL state
// [SECTION] Declared sizes
// [SECTION] Loading
// [SECTION] Saving
#include "paint/image_file.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string_view>

#include <IL/il.h>
#include <IL/ilu.h>

#include "core/file_handle.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "files/settings.h"

namespace {

// [SECTION] Limits and DevIL state

// DevIL stacks its errors; the first names the cause and the rest are thrown away.
constexpr int MaxDrainedErrors = 100;

std::mutex& DevilLock()
{
    static std::mutex lock;
    return lock;
}

void InitialiseDevil()
{
    static bool initialised = false;
    if (!initialised) {
        ilInit();
        iluInit();
        initialised = true;
    }
    // Every picture is held with its first row at the bottom, as OpenGL takes it.
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
}

void DrainErrors()
{
    for (int i = 0; i < MaxDrainedErrors && ilGetError() != IL_NO_ERROR; ++i) {
    }
}

// True when DevIL reported an error since the last call; out_error names it after what.
bool TakeError(const char* what, std::string& out_error)
{
    const ILenum error = ilGetError();
    if (error == IL_NO_ERROR)
        return false;
    DrainErrors();
    out_error = FormatText("%s: %s", what, iluErrorString(error));
    return true;
}

// A failed call that set no error still fails.
bool Failed(bool succeeded, const char* what, std::string& out_error)
{
    if (TakeError(what, out_error))
        return true;
    if (!succeeded)
        out_error = FormatText("%s failed", what);
    return !succeeded;
}

class TBoundImage
{
public:
    TBoundImage() : Name(ilGenImage()) { ilBindImage(Name); }
    ~TBoundImage()
    {
        ilBindImage(0);
        ilDeleteImage(Name);
    }
    TBoundImage(const TBoundImage&) = delete;
    TBoundImage& operator=(const TBoundImage&) = delete;

private:
    ILuint Name;
};

std::string TooBigText(int64_t width, int64_t height)
{
    return FormatText("The image is too big: %lld x %lld pixels.", static_cast<long long>(width),
                      static_cast<long long>(height));
}

bool IsTooBig(int64_t width, int64_t height)
{
    return width * height >= ImagePixelLimit;
}

// [SECTION] Declared sizes

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

struct TDeclaredSize
{
    bool Known = false;
    int64_t Width = 0;
    int64_t Height = 0;
};

TDeclaredSize Declared(int64_t width, int64_t height)
{
    return {true, width, height};
}

// The width and height of the IHDR chunk that must follow the signature. Every chunk must lie
// whole inside the bytes up to IEND: DevIL ignores short reads, and libpng then spins on a file
// cut short.
TDeclaredSize PngSize(std::span<const uint8_t> bytes)
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

// The first frame header (SOF0..SOF15 without DHT, JPG and DAC). Between segments the bytes up to
// the next 0xFF are skipped, as libjpeg skips them, so that no frame header hides from this scan.
TDeclaredSize JpegSize(std::span<const uint8_t> bytes)
{
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
        // Markers without a length: TEM, RST0..RST7, SOI, EOI, and the stuffed zero.
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9))
            continue;
        if (at + 2 > bytes.size())
            break;
        const size_t length = Big16(&bytes[at]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (at + 7 > bytes.size())
                break;
            return Declared(Big16(&bytes[at + 5]), Big16(&bytes[at + 3]));
        }
        at += std::max<size_t>(length, 2);
    }
    return {};
}

// The core header (12 bytes, 16-bit sides) or any later one (32-bit sides; a negative height
// stores the rows from the top).
TDeclaredSize BmpSize(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 26)
        return {};
    if (Little32(&bytes[14]) == 12)
        return Declared(Little16(&bytes[18]), Little16(&bytes[20]));
    // DevIL allocates the colour table that the header's count claims; no table has more than 256.
    constexpr size_t ColourCountAt = 46;
    if (bytes.size() < ColourCountAt + 4 || Little32(&bytes[ColourCountAt]) > 256)
        return {};
    const int64_t width = int32_t(Little32(&bytes[18]));
    const int64_t height = int32_t(Little32(&bytes[22]));
    return Declared(width < 0 ? -width : width, height < 0 ? -height : height);
}

TDeclaredSize TgaSize(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 18)
        return {};
    return Declared(Little16(&bytes[12]), Little16(&bytes[14]));
}

// The logical screen, which DevIL allocates for every frame.
TDeclaredSize GifSize(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 10)
        return {};
    return Declared(Little16(&bytes[6]), Little16(&bytes[8]));
}

TDeclaredSize DeclaredSize(std::span<const uint8_t> bytes, ILenum type)
{
    switch (type) {
    case IL_PNG:
        return PngSize(bytes);
    case IL_JPG:
        return JpegSize(bytes);
    case IL_BMP:
        return BmpSize(bytes);
    case IL_TGA:
        return TgaSize(bytes);
    case IL_GIF:
        return GifSize(bytes);
    default:
        return {};
    }
}

bool HasCheckedSize(ILenum type)
{
    return type == IL_PNG || type == IL_JPG || type == IL_BMP || type == IL_TGA || type == IL_GIF;
}

// [SECTION] Loading

enum class TLoadSize
{
    // The caller's size or the source size, clamped to the texture limits.
    Texture,
    // The source size, unclamped.
    Source,
};

struct TLoadRequest
{
    uint32_t Flags = ImageLoad_None;
    TLoadSize Size = TLoadSize::Texture;
    // The file is named *.tif or *.tiff.
    bool TiffName = false;
};

int64_t RaisedToPowerOfTwo(int64_t size)
{
    if (size < 1)
        return 0;
    int64_t power = 1;
    while (power < size)
        power *= 2;
    return power;
}

int64_t ClampedToTextureLimits(int64_t size)
{
    return std::max<int64_t>(
        1, std::clamp<int64_t>(size, MinTextureSize, std::max(MinTextureSize, MaxTextureSize)));
}

// RGBA: 8 * ((w * h) / 2 + 1) bytes; RGB: 8 * ((w * h * 3) / 8 + 1): whole 8-byte words with room
// for every pixel.
size_t BufferBytes(int64_t pixel_count, int channel_count)
{
    return 8 * size_t(pixel_count * channel_count / 8 + 1);
}

// Reads the bytes into the bound image once their declared size is known to be safe.
bool ReadIntoBoundImage(std::span<const uint8_t> bytes, ILenum type, std::string& out_error)
{
    const TDeclaredSize declared = DeclaredSize(bytes, type);
    if (HasCheckedSize(type) && !declared.Known) {
        out_error = "The image is damaged or cut short.";
        return false;
    }
    if (declared.Known && IsTooBig(declared.Width, declared.Height)) {
        out_error = TooBigText(declared.Width, declared.Height);
        return false;
    }
    // DevIL keeps file positions in 32-bit signed integers.
    if (bytes.size() > INT_MAX) {
        out_error = FormatText("The image file is too big: %zu bytes.", bytes.size());
        return false;
    }
    // DevIL's reader of memory trusts the offsets a file gives and reads outside the bytes for a
    // far one; through a stream such a seek only fails.
    TZAVFileHandle stream(fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb"));
    if (!stream) {
        out_error = "Not enough memory to read the image.";
        return false;
    }
    return !Failed(ilLoadF(type, stream.get()) == IL_TRUE, "Reading the image", out_error);
}

// The size the request asks for, from the source's: the wanted size or the source's own, raised to
// powers of two when asked, within the texture limits; records keep their own size.
void TargetSize(const TLoadRequest& request, int32_t wanted_width, int32_t wanted_height, int64_t& io_width,
                int64_t& io_height)
{
    if (request.Size != TLoadSize::Texture)
        return;
    if (request.Flags & ImageLoad_KeepSize) {
        io_width = wanted_width;
        io_height = wanted_height;
    } else if (request.Flags & ImageLoad_PowerOfTwo) {
        io_width = RaisedToPowerOfTwo(io_width);
        io_height = RaisedToPowerOfTwo(io_height);
    }
    io_width = ClampedToTextureLimits(io_width);
    io_height = ClampedToTextureLimits(io_height);
}

// Loads the bytes into the bound image and hands them out as the request asks. width and height
// are the wanted size for ImageLoad_KeepSize.
bool LoadBound(std::span<const uint8_t> bytes, ILenum type, const TLoadRequest& request,
               TZAVPixelBuffer& out_pixels, int32_t& width, int32_t& height, float* out_aspect,
               std::string& out_error)
{
    if (!ReadIntoBoundImage(bytes, type, out_error))
        return false;
    const int64_t source_bits = ilGetInteger(IL_IMAGE_BITS_PER_PIXEL);
    const int64_t source_width = ilGetInteger(IL_IMAGE_WIDTH);
    const int64_t source_height = ilGetInteger(IL_IMAGE_HEIGHT);
    if (source_width < 1 || source_height < 1) {
        out_error = FormatText("The image has no pixels (%lld x %lld).", static_cast<long long>(source_width),
                               static_cast<long long>(source_height));
        return false;
    }
    if (IsTooBig(source_width, source_height)) {
        out_error = TooBigText(source_width, source_height);
        return false;
    }

    const bool with_alpha = (request.Flags & ImageLoad_WantAlpha) && !(request.Flags & ImageLoad_ForceRGB);
    const int channel_count = with_alpha ? 4 : 3;
    const ILenum format = with_alpha ? IL_RGBA : IL_RGB;
    if (Failed(ilConvertImage(format, IL_UNSIGNED_BYTE) == IL_TRUE, "Converting the image", out_error))
        return false;
    if (out_aspect != nullptr)
        *out_aspect = float(double(source_width) / double(source_height));

    int64_t target_width = source_width;
    int64_t target_height = source_height;
    TargetSize(request, width, height, target_width, target_height);
    if (IsTooBig(target_width, target_height)) {
        out_error = TooBigText(target_width, target_height);
        return false;
    }
    // Scaled also at the same size, so that every load goes through the same filter.
    iluImageParameter(ILU_FILTER, ILU_BILINEAR);
    if (Failed(iluScale(ILuint(target_width), ILuint(target_height), 1) == IL_TRUE, "Scaling the image",
               out_error))
        return false;
    if (ilGetInteger(IL_IMAGE_WIDTH) != target_width || ilGetInteger(IL_IMAGE_HEIGHT) != target_height ||
        ilGetInteger(IL_IMAGE_FORMAT) != ILint(format) || ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE) {
        out_error = "The image did not convert to the size and format asked for.";
        return false;
    }

    const int64_t pixel_count = target_width * target_height;
    TZAVPixelBuffer pixels;
    try {
        pixels.reset(new uint8_t[BufferBytes(pixel_count, channel_count)]);
    } catch (const std::bad_alloc&) {
        out_error = FormatText("Not enough memory for an image of %lld x %lld pixels.",
                               static_cast<long long>(target_width), static_cast<long long>(target_height));
        return false;
    }
    const ILuint copied = ilCopyPixels(0, 0, 0, ILuint(target_width), ILuint(target_height), 1, format,
                                       IL_UNSIGNED_BYTE, pixels.get());
    if (Failed(copied != 0, "Copying the pixels", out_error))
        return false;

    // 32-bit TIFFs come through DevIL with their alpha inverted.
    if (with_alpha && source_bits == 32 && request.TiffName)
        for (int64_t i = 3; i < pixel_count * 4; i += 4)
            pixels[i] = uint8_t(255 - pixels[i]);

    out_pixels = std::move(pixels);
    width = int32_t(target_width);
    height = int32_t(target_height);
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out_bytes, std::string& out_error)
{
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    struct stat status;
    if (!file || fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode)) {
        out_error = FormatText("Cannot open %s.", path.c_str());
        return false;
    }
    if (status.st_size == 0) {
        out_error = FormatText("%s is empty.", path.c_str());
        return false;
    }
    if (uint64_t(status.st_size) > INT_MAX) {
        out_error =
            FormatText("%s is too big: %lld bytes.", path.c_str(), static_cast<long long>(status.st_size));
        return false;
    }
    try {
        out_bytes.resize(size_t(status.st_size));
    } catch (const std::bad_alloc&) {
        out_error = FormatText("Not enough memory to read %s.", path.c_str());
        return false;
    }
    if (std::fread(out_bytes.data(), 1, out_bytes.size(), file.get()) != out_bytes.size()) {
        out_error = FormatText("Cannot read %s.", path.c_str());
        return false;
    }
    return true;
}

// The text after the last '.' of the file's name; empty when there is none.
std::string ExtensionOf(const std::string& path)
{
    const size_t name_start =
        path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1;
    const size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < name_start ? std::string() : path.substr(dot + 1);
}

bool IsTiffExtension(const std::string& extension)
{
    return strcasecmp(extension.c_str(), "tif") == 0 || strcasecmp(extension.c_str(), "tiff") == 0;
}

// [SECTION] Saving

// A stream into memory: ilSaveF writes any format to it in one pass.
class TMemoryStream
{
public:
    TMemoryStream() : Stream(open_memstream(&Data, &Size)) {}
    ~TMemoryStream()
    {
        if (Stream != nullptr)
            std::fclose(Stream);
        std::free(Data);
    }
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    FILE* File() const { return Stream; }
    // Valid after a flush.
    std::span<const uint8_t> Bytes() const { return {reinterpret_cast<const uint8_t*>(Data), Size}; }

private:
    char* Data = nullptr;
    size_t Size = 0;
    FILE* Stream;
};

// Puts the caller's pixels into the bound image; checks the size before DevIL computes with it.
bool SetBoundPixels(std::span<const uint8_t> pixels, int32_t width, int32_t height,
                    TZAVImageChannels channels, std::string& out_error)
{
    const int channel_count = channels == TZAVImageChannels::RGBA ? 4 : 3;
    if (width < 1 || height < 1) {
        out_error = FormatText("The image has no pixels (%d x %d).", width, height);
        return false;
    }
    if (IsTooBig(width, height)) {
        out_error = TooBigText(width, height);
        return false;
    }
    const size_t pixel_bytes = size_t(width) * size_t(height) * size_t(channel_count);
    if (pixels.size() < pixel_bytes) {
        out_error = FormatText("The buffer holds %zu bytes, not the %zu of a %d x %d image.", pixels.size(),
                               pixel_bytes, width, height);
        return false;
    }
    // DevIL copies the pixels; it never writes through the pointer.
    void* data = const_cast<uint8_t*>(pixels.data());
    return !Failed(ilTexImage(ILuint(width), ILuint(height), 1, ILubyte(channel_count),
                              channel_count == 4 ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE, data) == IL_TRUE,
                   "Storing the image", out_error);
}

// libpng's own limit on either side of an image it writes.
constexpr int32_t PngSideLimit = 1000000;

bool SaveBound(ILenum type, FILE* file, std::string& out_error)
{
    // libpng refuses a side above a million pixels by jumping back to where DevIL's PNG writer set
    // its jump target, in a function that has already returned: such an image must not reach it.
    const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
    const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
    if (type == IL_PNG && (width > PngSideLimit || height > PngSideLimit)) {
        out_error = FormatText("A PNG image may be at most %d pixels on a side; this one is %d x %d.",
                               PngSideLimit, width, height);
        return false;
    }
    ilHint(IL_COMPRESSION_HINT, IL_USE_COMPRESSION);
    ilSetInteger(IL_JPG_QUALITY, 99);
    const long start = std::ftell(file);
    const ILuint written = ilSaveF(type, file);
    // DevIL's PNG writer answers 0 for a file whose size is a multiple of 256 bytes; such a zero
    // with no error pending is a success.
    const long size = std::ftell(file) - start;
    const bool saved = written != 0 || (size > 0 && size % 256 == 0);
    return !Failed(saved, "Writing the image", out_error);
}

} // namespace

bool LoadImageFile(const std::string& path, TZAVPixelBuffer& out_pixels, int32_t& width, int32_t& height,
                   uint32_t flags, float* out_aspect, std::string& out_error)
{
    out_pixels.reset();
    if (!(flags & ImageLoad_KeepSize))
        width = height = 0;
    if (out_aspect != nullptr)
        *out_aspect = 1.0f;

    std::vector<uint8_t> bytes;
    bool loaded = ReadWholeFile(path, bytes, out_error);
    if (loaded) {
        std::lock_guard<std::mutex> hold(DevilLock());
        InitialiseDevil();
        ILenum type = ilTypeFromExt(path.c_str());
        if (type == IL_TYPE_UNKNOWN)
            type = ilDetermineTypeL(bytes.data(), ILuint(bytes.size()));
        DrainErrors();
        TLoadRequest request;
        request.Flags = flags;
        request.TiffName = IsTiffExtension(ExtensionOf(path));
        TBoundImage image;
        loaded = LoadBound(bytes, type, request, out_pixels, width, height, out_aspect, out_error);
    }
    if (!loaded) {
        out_pixels.reset();
        width = height = 0;
        out_error = FormatText("%s: %s", path.c_str(), out_error.c_str());
    }
    return loaded;
}

bool DecodeImageBytes(std::span<const uint8_t> bytes, TZAVPixelBuffer& out_pixels, int32_t& out_width,
                      int32_t& out_height, std::string& out_error)
{
    out_pixels.reset();
    out_width = out_height = 0;
    if (bytes.size() > INT_MAX) {
        out_error = FormatText("The image is too big: %zu bytes.", bytes.size());
        return false;
    }
    if (bytes.empty()) {
        out_error = "The image is empty.";
        return false;
    }
    std::lock_guard<std::mutex> hold(DevilLock());
    InitialiseDevil();
    const ILenum type = ilDetermineTypeL(bytes.data(), ILuint(bytes.size()));
    DrainErrors();
    if (!HasCheckedSize(type)) {
        out_error = "The image is not PNG, JPEG, BMP, TGA or GIF.";
        return false;
    }
    TLoadRequest request;
    request.Size = TLoadSize::Source;
    TBoundImage image;
    if (!LoadBound(bytes, type, request, out_pixels, out_width, out_height, nullptr, out_error)) {
        out_pixels.reset();
        out_width = out_height = 0;
        return false;
    }
    return true;
}

bool SaveImageFile(const std::string& path, std::span<const uint8_t> pixels, int32_t width, int32_t height,
                   TZAVImageChannels channels, std::string& out_error)
{
    std::lock_guard<std::mutex> hold(DevilLock());
    InitialiseDevil();
    const ILenum type = ilTypeFromExt(path.c_str());
    DrainErrors();
    if (type == IL_TYPE_UNKNOWN) {
        out_error = FormatText("%s: no image format has this extension.", path.c_str());
        return false;
    }
    TBoundImage image;
    if (!SetBoundPixels(pixels, width, height, channels, out_error)) {
        out_error = FormatText("%s: %s", path.c_str(), out_error.c_str());
        return false;
    }
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_error = writer.Error();
        return false;
    }
    if (!SaveBound(type, file, out_error)) {
        out_error = FormatText("%s: %s", path.c_str(), out_error.c_str());
        return false;
    }
    if (!writer.Commit()) {
        out_error = writer.Error();
        return false;
    }
    return true;
}

bool EncodePng(std::span<const uint8_t> rgb, int32_t width, int32_t height, std::vector<uint8_t>& out_bytes,
               std::string& out_error)
{
    out_bytes.clear();
    std::lock_guard<std::mutex> hold(DevilLock());
    InitialiseDevil();
    TBoundImage image;
    if (!SetBoundPixels(rgb, width, height, TZAVImageChannels::RGB, out_error))
        return false;
    TMemoryStream stream;
    if (stream.File() == nullptr) {
        out_error = "Not enough memory for the PNG.";
        return false;
    }
    if (!SaveBound(IL_PNG, stream.File(), out_error))
        return false;
    if (std::fflush(stream.File()) != 0) {
        out_error = "Not enough memory for the PNG.";
        return false;
    }
    out_bytes.assign(stream.Bytes().begin(), stream.Bytes().end());
    return true;
}
