// The process-local clipboard, the hook to the desktop's clipboard, and the DIB / BMP layouts used
// for images.
#include "core/clipboard.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "core/safe_file.h"

namespace {

constexpr uint16_t BitsPerPixel = 24;

enum class TClipboardContent : int32_t
{
    Empty,
    Text,
    Image,
};

// The one clipboard of the process; it holds one kind of content at a time.
struct TClipboard
{
    TClipboardContent Content = TClipboardContent::Empty;
    std::string Text;
    std::vector<uint8_t> Dib;
};

TClipboard clipboard;
const TZAVClipboardBackend* backend = nullptr;

void PutLittleEndian(uint8_t* out_bytes, uint32_t value, int byte_count)
{
    for (int i = 0; i < byte_count; i++)
        out_bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* bytes, int byte_count)
{
    uint32_t value = 0;
    for (int i = byte_count - 1; i >= 0; i--)
        value = (value << 8) | bytes[i];
    return value;
}

// Rows of a 24-bit DIB are padded to a multiple of four bytes.
uint64_t DibRowBytes(int32_t width)
{
    return (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t(3);
}

// The text a paste sees: another program's, or ours.
bool CurrentText(std::string& out_text)
{
    if (backend != nullptr && backend->FetchText != nullptr) {
        switch (backend->FetchText(out_text)) {
        case TZAVClipboardFetch::Found:
            return true;
        case TZAVClipboardFetch::Missing:
            return false;
        case TZAVClipboardFetch::Local:
            break;
        }
    }
    if (clipboard.Content != TClipboardContent::Text)
        return false;
    out_text = clipboard.Text;
    return true;
}

// The DIB a paste sees; points into the local clipboard or into fetched.
const std::vector<uint8_t>* CurrentDib(std::vector<uint8_t>& fetched)
{
    if (backend != nullptr && backend->FetchImage != nullptr) {
        switch (backend->FetchImage(fetched)) {
        case TZAVClipboardFetch::Found:
            return fetched.empty() ? nullptr : &fetched;
        case TZAVClipboardFetch::Missing:
            return nullptr;
        case TZAVClipboardFetch::Local:
            break;
        }
    }
    if (clipboard.Content != TClipboardContent::Image || clipboard.Dib.empty())
        return nullptr;
    return &clipboard.Dib;
}

} // namespace

void SetClipboardBackend(const TZAVClipboardBackend* new_backend)
{
    backend = new_backend;
}

bool MakeDib(const uint8_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out_dib)
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return false;
    const uint64_t row_bytes = DibRowBytes(width);
    const uint64_t image_bytes = row_bytes * static_cast<uint64_t>(height);
    if (image_bytes + DibHeaderSize + BmpFileHeaderSize > std::numeric_limits<uint32_t>::max())
        return false;
    try {
        out_dib.assign(DibHeaderSize + image_bytes, 0);
    } catch (const std::bad_alloc&) {
        out_dib.clear();
        return false;
    }
    uint8_t* header = out_dib.data();
    PutLittleEndian(header + 0, DibHeaderSize, 4);
    PutLittleEndian(header + 4, static_cast<uint32_t>(width), 4);
    PutLittleEndian(header + 8, static_cast<uint32_t>(height), 4);
    PutLittleEndian(header + 12, 1, 2); // planes
    PutLittleEndian(header + 14, BitsPerPixel, 2);
    PutLittleEndian(header + 16, 0, 4); // no compression
    // The image size counts the row padding, so that readers trusting it read every row.
    PutLittleEndian(header + 20, static_cast<uint32_t>(image_bytes), 4);

    const size_t row_pixels = static_cast<size_t>(width);
    for (size_t row = 0; row < static_cast<size_t>(height); row++) {
        const uint8_t* source = pixels + row * row_pixels * 3;
        uint8_t* target = header + DibHeaderSize + row * row_bytes;
        for (size_t column = 0; column < row_pixels; column++) {
            target[column * 3 + 0] = source[column * 3 + 2];
            target[column * 3 + 1] = source[column * 3 + 1];
            target[column * 3 + 2] = source[column * 3 + 0];
        }
    }
    return true;
}

bool ReadDibPixels(std::span<const uint8_t> dib, std::vector<uint8_t>& out_rgb, int32_t& out_width,
                   int32_t& out_height)
{
    if (dib.size() < static_cast<size_t>(DibHeaderSize))
        return false;
    const uint32_t header_size = GetLittleEndian(&dib[0], 4);
    const int32_t width = static_cast<int32_t>(GetLittleEndian(&dib[4], 4));
    const int32_t height = static_cast<int32_t>(GetLittleEndian(&dib[8], 4));
    if (header_size < static_cast<uint32_t>(DibHeaderSize) || header_size > dib.size() || width <= 0 ||
        height <= 0 || GetLittleEndian(&dib[14], 2) != BitsPerPixel || GetLittleEndian(&dib[16], 4) != 0)
        return false;
    const uint64_t row_bytes = DibRowBytes(width);
    if (row_bytes * static_cast<uint64_t>(height) > dib.size() - header_size)
        return false;
    const size_t row_pixels = static_cast<size_t>(width);
    out_rgb.resize(row_pixels * 3 * static_cast<size_t>(height));
    for (size_t row = 0; row < static_cast<size_t>(height); row++) {
        const uint8_t* source = dib.data() + header_size + row * row_bytes;
        uint8_t* target = out_rgb.data() + row * row_pixels * 3;
        for (size_t column = 0; column < row_pixels; column++) {
            target[column * 3 + 0] = source[column * 3 + 2];
            target[column * 3 + 1] = source[column * 3 + 1];
            target[column * 3 + 2] = source[column * 3 + 0];
        }
    }
    out_width = width;
    out_height = height;
    return true;
}

void MakeBmpFileHeader(size_t dib_size, uint8_t (&out_header)[BmpFileHeaderSize])
{
    std::memset(out_header, 0, sizeof(out_header));
    out_header[0] = 'B';
    out_header[1] = 'M';
    PutLittleEndian(out_header + 2, static_cast<uint32_t>(dib_size + BmpFileHeaderSize), 4);
    PutLittleEndian(out_header + 10, BmpFileHeaderSize + DibHeaderSize, 4);
}

bool GetClipboardText(char* buffer, int size)
{
    std::string text;
    if (buffer == nullptr || size < 1 || !CurrentText(text))
        return false;
    size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return true;
}

bool GetClipboardText(std::string& out_text)
{
    return CurrentText(out_text);
}

bool SetClipboardText(const char* text)
{
    if (text == nullptr)
        return false;
    clipboard.Text = text;
    clipboard.Dib.clear();
    clipboard.Content = TClipboardContent::Text;
    if (backend != nullptr && backend->OfferText != nullptr)
        backend->OfferText(clipboard.Text);
    return true;
}

bool CopyImageToClipboard(const TZAVDialogHost& host, const uint8_t* pixels, int32_t width, int32_t height)
{
    if (pixels == nullptr || width <= 0 || height <= 0) {
        ShowError(host, "Error setting the clipboard, Error #%d", EINVAL);
        return false;
    }
    std::vector<uint8_t> dib;
    if (!MakeDib(pixels, width, height, dib)) {
        ShowError(host, "There is not enough free memory to copy this image to the clipboard");
        return false;
    }
    clipboard.Dib = std::move(dib);
    clipboard.Text.clear();
    clipboard.Content = TClipboardContent::Image;
    if (backend != nullptr && backend->OfferImage != nullptr)
        backend->OfferImage(clipboard.Dib);
    return true;
}

bool GetClipboardImage(std::vector<uint8_t>& out_dib)
{
    std::vector<uint8_t> fetched;
    const std::vector<uint8_t>* dib = CurrentDib(fetched);
    if (dib == nullptr)
        return false;
    if (dib == &fetched)
        out_dib = std::move(fetched);
    else
        out_dib = *dib;
    return true;
}

bool SaveClipboardImage(const std::string& path)
{
    std::vector<uint8_t> fetched;
    const std::vector<uint8_t>* dib = CurrentDib(fetched);
    if (dib == nullptr)
        return false;
    uint8_t file_header[BmpFileHeaderSize];
    MakeBmpFileHeader(dib->size(), file_header);

    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr)
        return false;
    if (std::fwrite(file_header, 1, sizeof(file_header), file) != sizeof(file_header) ||
        std::fwrite(dib->data(), 1, dib->size(), file) != dib->size())
        return false;
    return writer.Commit();
}
