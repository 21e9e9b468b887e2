// Image files: PNG through libpng, every other format through DevIL and ILU.
//
// DevIL keeps one global state (bound image, error stack, settings), so every entry point holds
// one lock and runs on a freshly bound image that an owner deletes on every path out. Its loaders
// trust the sizes in a file's header and size their buffers in 32-bit arithmetic, so for the
// formats whose header we can read the declared size is checked before DevIL sees the bytes.
// DevIL's PNG writer calls libpng with no jump target set, and libpng's first error jumped
// through an empty one: PNG is read and written here, every call under a target of our own.
//
// [SECTION] Limits and DevIL state
// [SECTION] PNG through libpng
// [SECTION] Loading
// [SECTION] Saving
#include "paint/image_file.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>

#include <IL/il.h>
#include <IL/ilu.h>
#include <png.h>

#include "core/file_handle.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "files/settings.h"
#include "paint/image_header.h"

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

// RGBA: 8 * ((w * h) / 2 + 1) bytes; RGB: 8 * ((w * h * 3) / 8 + 1): whole 8-byte words with room
// for every pixel.
size_t BufferBytes(int64_t pixel_count, int channel_count)
{
    return 8 * size_t(pixel_count * channel_count / 8 + 1);
}

// A buffer for the pixels, or none with the reason in out_error.
TZAVPixelBuffer NewPixelBuffer(int64_t width, int64_t height, int channel_count, std::string& out_error)
{
    try {
        return TZAVPixelBuffer(new uint8_t[BufferBytes(width * height, channel_count)]);
    } catch (const std::bad_alloc&) {
        out_error = FormatText("Not enough memory for an image of %lld x %lld pixels.",
                               static_cast<long long>(width), static_cast<long long>(height));
        return nullptr;
    }
}

// The caller's buffer holds a width x height image that may be held; checked before any
// computation with the size.
bool HasPixelsFor(std::span<const uint8_t> pixels, int32_t width, int32_t height, TZAVImageChannels channels,
                  std::string& out_error)
{
    const int channel_count = channels == TZAVImageChannels::RGBA ? 4 : 3;
    if (width < 1 || height < 1) {
        out_error = FormatText("The image has no pixels (%d x %d).", width, height);
        return false;
    }
    if (IsImageTooBig(width, height)) {
        out_error = TooBigText(width, height);
        return false;
    }
    const size_t pixel_bytes = size_t(width) * size_t(height) * size_t(channel_count);
    if (pixels.size() < pixel_bytes) {
        out_error = FormatText("The buffer holds %zu bytes, not the %zu of a %d x %d image.", pixels.size(),
                               pixel_bytes, width, height);
        return false;
    }
    return true;
}

// [SECTION] PNG through libpng

// libpng reports a fatal error by jumping to the jump target of the struct. Each function that
// calls into libpng sets that target first and holds no object with a destructor, since the jump
// passes over its frame; what outlives a call is owned by its caller.

// zlib's level 2 with the Up filter encodes a 4096 x 4096 gradient with strokes in an eighth of a
// second, a quarter of the time that DevIL's writer took, into half as many bytes again.
constexpr int PngCompressionLevel = 2;

// What the callbacks of one read or write share; libpng's user pointer for I/O and errors.
struct TPngSession
{
    std::span<const uint8_t> Input;
    size_t InputPosition = 0;
    std::vector<uint8_t>* Output = nullptr;
    // The first fatal error libpng reported.
    char Message[200] = "";
};

[[noreturn]] void KeepPngError(png_structp png, png_const_charp message)
{
    auto* session = static_cast<TPngSession*>(png_get_error_ptr(png));
    if (session->Message[0] == '\0')
        std::snprintf(session->Message, sizeof(session->Message), "%s", message);
    // Were this to return, libpng would print the message before it jumps.
    png_longjmp(png, 1);
}

// Damage in an ancillary chunk costs the chunk only.
void IgnorePngWarning(png_structp, png_const_charp) {}

void ReadPngBytes(png_structp png, png_bytep data, size_t length)
{
    auto* session = static_cast<TPngSession*>(png_get_io_ptr(png));
    if (length > session->Input.size() - session->InputPosition)
        png_error(png, "the image is cut short");
    std::memcpy(data, session->Input.data() + session->InputPosition, length);
    session->InputPosition += length;
}

void WritePngBytes(png_structp png, png_bytep data, size_t length)
{
    auto* session = static_cast<TPngSession*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        session->Output->insert(session->Output->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        stored = false;
    }
    // Outside the handler: the jump must not leave an exception half handled.
    if (!stored)
        png_error(png, "not enough memory for the PNG");
}

void FlushPngBytes(png_structp) {}

class TPngReadStruct
{
public:
    explicit TPngReadStruct(TPngSession& session)
        : Png(png_create_read_struct(PNG_LIBPNG_VER_STRING, &session, KeepPngError, IgnorePngWarning)),
          Info(Png != nullptr ? png_create_info_struct(Png) : nullptr)
    {
    }
    ~TPngReadStruct() { png_destroy_read_struct(&Png, &Info, nullptr); }
    TPngReadStruct(const TPngReadStruct&) = delete;
    TPngReadStruct& operator=(const TPngReadStruct&) = delete;

    png_structp Png;
    png_infop Info;
};

class TPngWriteStruct
{
public:
    explicit TPngWriteStruct(TPngSession& session)
        : Png(png_create_write_struct(PNG_LIBPNG_VER_STRING, &session, KeepPngError, IgnorePngWarning)),
          Info(Png != nullptr ? png_create_info_struct(Png) : nullptr)
    {
    }
    ~TPngWriteStruct() { png_destroy_write_struct(&Png, &Info); }
    TPngWriteStruct(const TPngWriteStruct&) = delete;
    TPngWriteStruct& operator=(const TPngWriteStruct&) = delete;

    png_structp Png;
    png_infop Info;
};

// Reads the chunks up to the image data.
bool ReadPngHeader(png_structp png, png_infop info, TPngSession& session, int64_t& out_width,
                   int64_t& out_height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, ImageSideLimit, ImageSideLimit);
    png_set_read_fn(png, &session, ReadPngBytes);
    png_read_info(png, info);
    out_width = png_get_image_width(png, info);
    out_height = png_get_image_height(png, info);
    return true;
}

// Reads the rows as 8-bit RGB or RGBA, as DevIL gave them: palettes and grey expanded, 16 bits
// cut to their high byte, alpha dropped or made opaque, no gamma applied. rows holds the address
// of every row.
bool ReadPngRows(png_structp png, png_infop info, int channel_count, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    if (channel_count == 4)
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    else
        png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(png_get_image_width(png, info)) * size_t(channel_count))
        png_error(png, "the rows did not convert to 8-bit RGB or RGBA");
    png_read_image(png, rows);
    return true;
}

// Decodes a PNG file's bytes at the image's own size, the first row at the bottom.
bool DecodePng(std::span<const uint8_t> bytes, TZAVImageChannels channels, TZAVPixelBuffer& out_pixels,
               int64_t& out_width, int64_t& out_height, std::string& out_error)
{
    TPngSession session;
    session.Input = bytes;
    TPngReadStruct read(session);
    if (read.Info == nullptr) {
        out_error = "Not enough memory to read the image.";
        return false;
    }
    int64_t width = 0;
    int64_t height = 0;
    if (!ReadPngHeader(read.Png, read.Info, session, width, height)) {
        out_error = FormatText("Reading the image: %s", session.Message);
        return false;
    }
    if (IsImageTooBig(width, height)) {
        out_error = TooBigText(width, height);
        return false;
    }
    const int channel_count = channels == TZAVImageChannels::RGBA ? 4 : 3;
    TZAVPixelBuffer pixels = NewPixelBuffer(width, height, channel_count, out_error);
    if (!pixels)
        return false;
    std::vector<png_bytep> rows;
    try {
        rows.resize(size_t(height));
    } catch (const std::bad_alloc&) {
        out_error = "Not enough memory to read the image.";
        return false;
    }
    const size_t stride = size_t(width) * size_t(channel_count);
    for (int64_t y = 0; y < height; ++y)
        rows[size_t(y)] = pixels.get() + size_t(height - 1 - y) * stride;
    if (!ReadPngRows(read.Png, read.Info, channel_count, rows.data())) {
        out_error = FormatText("Reading the image: %s", session.Message);
        return false;
    }
    out_pixels = std::move(pixels);
    out_width = width;
    out_height = height;
    return true;
}

// Writes the rows, the last one of the buffer first: PNG stores the top of the picture first.
bool WritePngRows(png_structp png, png_infop info, TPngSession& session, const uint8_t* pixels, int32_t width,
                  int32_t height, int channel_count)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &session, WritePngBytes, FlushPngBytes);
    png_set_user_limits(png, ImageSideLimit, ImageSideLimit);
    png_set_compression_level(png, PngCompressionLevel);
    // One filter for every row: trying all five on each row triples the time and saves no bytes on
    // smooth maps, whose rows differ little from the row before.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 channel_count == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    const size_t stride = size_t(width) * size_t(channel_count);
    for (int32_t y = height - 1; y >= 0; --y)
        png_write_row(png, pixels + size_t(y) * stride);
    png_write_end(png, info);
    return true;
}

// The caller's pixels, once checked, as the bytes of a PNG file.
bool EncodePngPixels(std::span<const uint8_t> pixels, int32_t width, int32_t height,
                     TZAVImageChannels channels, std::vector<uint8_t>& out_bytes, std::string& out_error)
{
    out_bytes.clear();
    if (!HasPixelsFor(pixels, width, height, channels, out_error))
        return false;
    TPngSession session;
    session.Output = &out_bytes;
    TPngWriteStruct write(session);
    if (write.Info == nullptr) {
        out_error = "Not enough memory for the PNG.";
        return false;
    }
    const int channel_count = channels == TZAVImageChannels::RGBA ? 4 : 3;
    if (!WritePngRows(write.Png, write.Info, session, pixels.data(), width, height, channel_count)) {
        out_bytes.clear();
        out_error = FormatText("Writing the PNG: %s", session.Message);
        return false;
    }
    return true;
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

// The formats whose headers are checked before DevIL reads them.
TZAVImageFormat ImageFormatOf(ILenum type)
{
    switch (type) {
    case IL_PNG:
        return TZAVImageFormat::Png;
    case IL_JPG:
        return TZAVImageFormat::Jpeg;
    case IL_BMP:
        return TZAVImageFormat::Bmp;
    case IL_TGA:
        return TZAVImageFormat::Tga;
    case IL_GIF:
        return TZAVImageFormat::Gif;
    default:
        return TZAVImageFormat::Other;
    }
}

// The size that the header declares may be read, where the format's header can be checked.
bool HasSafeDeclaredSize(std::span<const uint8_t> bytes, ILenum type, std::string& out_error)
{
    const TZAVImageFormat format = ImageFormatOf(type);
    const TZAVDeclaredSize declared = DeclaredImageSize(bytes, format);
    if (format != TZAVImageFormat::Other && !declared.Known) {
        out_error = "The image is damaged or cut short.";
        return false;
    }
    if (declared.Known && IsImageTooBig(declared.Width, declared.Height)) {
        out_error = TooBigText(declared.Width, declared.Height);
        return false;
    }
    if (declared.PixelEnd > bytes.size()) {
        out_error = "The image is damaged or cut short.";
        return false;
    }
    // DevIL keeps file positions in 32-bit signed integers.
    if (bytes.size() > INT_MAX) {
        out_error = FormatText("The image file is too big: %zu bytes.", bytes.size());
        return false;
    }
    return true;
}

// Reads the bytes into the bound image once their declared size is known to be safe. A PNG comes
// in with the channels asked for, any other format as DevIL reads it.
bool ReadIntoBoundImage(std::span<const uint8_t> bytes, ILenum type, TZAVImageChannels channels,
                        std::string& out_error)
{
    if (!HasSafeDeclaredSize(bytes, type, out_error))
        return false;
    if (type == IL_PNG) {
        TZAVPixelBuffer pixels;
        int64_t width = 0;
        int64_t height = 0;
        if (!DecodePng(bytes, channels, pixels, width, height, out_error))
            return false;
        const bool with_alpha = channels == TZAVImageChannels::RGBA;
        return !Failed(ilTexImage(ILuint(width), ILuint(height), 1, with_alpha ? 4 : 3,
                                  with_alpha ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE, pixels.get()) == IL_TRUE,
                       "Storing the image", out_error);
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
    const bool with_alpha = (request.Flags & ImageLoad_WantAlpha) && !(request.Flags & ImageLoad_ForceRGB);
    const TZAVImageChannels channels = with_alpha ? TZAVImageChannels::RGBA : TZAVImageChannels::RGB;
    if (!ReadIntoBoundImage(bytes, type, channels, out_error))
        return false;
    const int64_t source_bits = ilGetInteger(IL_IMAGE_BITS_PER_PIXEL);
    const int64_t source_width = ilGetInteger(IL_IMAGE_WIDTH);
    const int64_t source_height = ilGetInteger(IL_IMAGE_HEIGHT);
    if (source_width < 1 || source_height < 1) {
        out_error = FormatText("The image has no pixels (%lld x %lld).", static_cast<long long>(source_width),
                               static_cast<long long>(source_height));
        return false;
    }
    if (IsImageTooBig(source_width, source_height)) {
        out_error = TooBigText(source_width, source_height);
        return false;
    }

    const int channel_count = with_alpha ? 4 : 3;
    const ILenum format = with_alpha ? IL_RGBA : IL_RGB;
    if (Failed(ilConvertImage(format, IL_UNSIGNED_BYTE) == IL_TRUE, "Converting the image", out_error))
        return false;
    if (out_aspect != nullptr)
        *out_aspect = float(double(source_width) / double(source_height));

    int64_t target_width = source_width;
    int64_t target_height = source_height;
    TargetSize(request, width, height, target_width, target_height);
    if (IsImageTooBig(target_width, target_height)) {
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
    TZAVPixelBuffer pixels = NewPixelBuffer(target_width, target_height, channel_count, out_error);
    if (!pixels)
        return false;
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

bool IsTiffExtension(const std::string& extension)
{
    return strcasecmp(extension.c_str(), "tif") == 0 || strcasecmp(extension.c_str(), "tiff") == 0;
}

// [SECTION] Saving

// Puts the caller's pixels into the bound image; checks the size before DevIL computes with it.
bool SetBoundPixels(std::span<const uint8_t> pixels, int32_t width, int32_t height,
                    TZAVImageChannels channels, std::string& out_error)
{
    if (!HasPixelsFor(pixels, width, height, channels, out_error))
        return false;
    const int channel_count = channels == TZAVImageChannels::RGBA ? 4 : 3;
    // DevIL copies the pixels; it never writes through the pointer.
    void* data = const_cast<uint8_t*>(pixels.data());
    return !Failed(ilTexImage(ILuint(width), ILuint(height), 1, ILubyte(channel_count),
                              channel_count == 4 ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE, data) == IL_TRUE,
                   "Storing the image", out_error);
}

bool SaveBound(ILenum type, FILE* file, std::string& out_error)
{
    ilHint(IL_COMPRESSION_HINT, IL_USE_COMPRESSION);
    ilSetInteger(IL_JPG_QUALITY, 99);
    const long start = std::ftell(file);
    const ILuint written = ilSaveF(type, file);
    // ilSaveF judges the byte count that a writer returns by its lowest byte, so a file whose size
    // is a multiple of 256 bytes comes back as 0; such a zero with no error pending is a success.
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
                      int32_t& out_height, std::string& out_error, TZAVImageChannels channels)
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
    // A PNG needs neither DevIL nor its lock, nor a pass through its scaling at the same size.
    if (bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0) {
        int64_t width = 0;
        int64_t height = 0;
        if (!HasSafeDeclaredSize(bytes, IL_PNG, out_error) ||
            !DecodePng(bytes, channels, out_pixels, width, height, out_error))
            return false;
        out_width = int32_t(width);
        out_height = int32_t(height);
        return true;
    }
    std::lock_guard<std::mutex> hold(DevilLock());
    InitialiseDevil();
    const ILenum type = ilDetermineTypeL(bytes.data(), ILuint(bytes.size()));
    DrainErrors();
    if (ImageFormatOf(type) == TZAVImageFormat::Other) {
        out_error = "The image is not PNG, JPEG, BMP, TGA or GIF.";
        return false;
    }
    TLoadRequest request;
    request.Size = TLoadSize::Source;
    request.Flags = channels == TZAVImageChannels::RGBA ? ImageLoad_WantAlpha : ImageLoad_ForceRGB;
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
    std::vector<uint8_t> png;
    const bool prepared = type == IL_PNG ? EncodePngPixels(pixels, width, height, channels, png, out_error)
                                         : SetBoundPixels(pixels, width, height, channels, out_error);
    if (!prepared) {
        out_error = FormatText("%s: %s", path.c_str(), out_error.c_str());
        return false;
    }
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_error = writer.Error();
        return false;
    }
    // A short write of the PNG shows at the commit.
    if (type == IL_PNG)
        std::fwrite(png.data(), 1, png.size(), file);
    else if (!SaveBound(type, file, out_error)) {
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
    return EncodePngPixels(rgb, width, height, TZAVImageChannels::RGB, out_bytes, out_error);
}
