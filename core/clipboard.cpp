// The process-local clipboard and the DIB / BMP layouts it uses for images.
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

void PutLittleEndian(uint8_t* out_bytes, uint32_t value, int byte_count)
{
    for (int i = 0; i < byte_count; i++)
        out_bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

bool GetClipboardText(char* buffer, int size)
{
    if (buffer == nullptr || size < 1 || clipboard.Content != TClipboardContent::Text)
        return false;
    size_t length = std::min(clipboard.Text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, clipboard.Text.data(), length);
    buffer[length] = '\0';
    return true;
}

bool GetClipboardText(std::string& out_text)
{
    if (clipboard.Content != TClipboardContent::Text)
        return false;
    out_text = clipboard.Text;
    return true;
}

bool SetClipboardText(const char* text)
{
    if (text == nullptr)
        return false;
    clipboard.Text = text;
    clipboard.Dib.clear();
    clipboard.Content = TClipboardContent::Text;
    return true;
}

bool CopyImageToClipboard(const TZAVDialogHost& host, const uint8_t* pixels, int32_t width, int32_t height)
{
    if (pixels == nullptr || width <= 0 || height <= 0) {
        ShowError(host, "Error setting the clipboard, Error #%d", EINVAL);
        return false;
    }
    // Rows of a 24-bit DIB are padded to a multiple of four bytes.
    uint64_t row_bytes = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t(3);
    uint64_t image_bytes = row_bytes * static_cast<uint64_t>(height);
    if (image_bytes + DibHeaderSize + BmpFileHeaderSize > std::numeric_limits<uint32_t>::max()) {
        ShowError(host, "There is not enough free memory to copy this image to the clipboard");
        return false;
    }
    std::vector<uint8_t> dib;
    try {
        dib.assign(DibHeaderSize + image_bytes, 0);
    } catch (const std::bad_alloc&) {
        ShowError(host, "There is not enough free memory to copy this image to the clipboard");
        return false;
    }
    uint8_t* header = dib.data();
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
    clipboard.Dib = std::move(dib);
    clipboard.Text.clear();
    clipboard.Content = TClipboardContent::Image;
    return true;
}

bool GetClipboardImage(std::vector<uint8_t>& out_dib)
{
    if (clipboard.Content != TClipboardContent::Image || clipboard.Dib.empty())
        return false;
    out_dib = clipboard.Dib;
    return true;
}

bool SaveClipboardImage(const std::string& path)
{
    if (clipboard.Content != TClipboardContent::Image || clipboard.Dib.empty())
        return false;
    uint8_t file_header[BmpFileHeaderSize] = {'B', 'M'};
    PutLittleEndian(file_header + 2, static_cast<uint32_t>(clipboard.Dib.size() + BmpFileHeaderSize), 4);
    PutLittleEndian(file_header + 10, BmpFileHeaderSize + DibHeaderSize, 4);

    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr)
        return false;
    if (std::fwrite(file_header, 1, sizeof(file_header), file) != sizeof(file_header) ||
        std::fwrite(clipboard.Dib.data(), 1, clipboard.Dib.size(), file) != clipboard.Dib.size())
        return false;
    return writer.Commit();
}
