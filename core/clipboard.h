// The clipboard: text, and images as a device-independent bitmap (DIB).
//
// The process keeps a clipboard of its own, so that copying text and maps between objects always
// works inside the program. This layer must run without a display, so the desktop's clipboard is
// reached through a backend that the application installs (app/x11_clipboard.h): copies go to the
// local clipboard and are then offered to the backend; pastes ask the backend first and use the local
// clipboard when it says the local content is current. Setting either kind replaces whatever the
// clipboard held.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/dialogs.h"

// BITMAPINFOHEADER and BITMAPFILEHEADER sizes.
constexpr int32_t DibHeaderSize = 40;
constexpr int32_t BmpFileHeaderSize = 14;

// A backend's answer to a paste.
enum class TZAVClipboardFetch : int32_t
{
    // The local clipboard is current: this process holds the desktop's clipboard, nobody holds it,
    // or there is no desktop clipboard.
    Local,
    // Another program's content, in the out argument.
    Found,
    // Another program holds the clipboard but offers no content of that kind, or did not answer.
    Missing,
};

// The desktop's clipboard. Any member may be null: that direction stays local.
struct TZAVClipboardBackend
{
    void (*OfferImage)(std::span<const uint8_t> dib) = nullptr;
    void (*OfferText)(std::string_view text) = nullptr;
    TZAVClipboardFetch (*FetchImage)(std::vector<uint8_t>& out_dib) = nullptr;
    TZAVClipboardFetch (*FetchText)(std::string& out_text) = nullptr;
};

// nullptr goes back to the local clipboard alone. The backend must stay alive while installed.
void SetClipboardBackend(const TZAVClipboardBackend* backend);

// Copies at most size - 1 bytes, NUL-terminated; false when the clipboard holds no text.
bool GetClipboardText(char* buffer, int size);
bool GetClipboardText(std::string& out_text);
bool SetClipboardText(const char* text);

// pixels: width x height RGB triples, rows in the order given (bottom row first). Stored as a
// 24-bit DIB with BGR triples and rows padded to four bytes. Failures are shown and give false.
bool CopyImageToClipboard(const TZAVDialogHost& host, const uint8_t* pixels, int32_t width, int32_t height);
// The DIB on the clipboard (header and pixels); false when there is none.
bool GetClipboardImage(std::vector<uint8_t>& out_dib);
// Writes the clipboard's DIB as a .bmp file; false if there is none or the write fails.
bool SaveClipboardImage(const std::string& path);

// The DIB layout above, for backends that convert to and from other formats.
// False when the image is empty or its size does not fit the format, or memory runs out.
[[nodiscard]] bool MakeDib(const uint8_t* pixels, int32_t width, int32_t height,
                           std::vector<uint8_t>& out_dib);
// The pixels of a 24-bit uncompressed DIB as RGB triples, rows in the DIB's order; false for any
// other kind of DIB or one shorter than its header says.
[[nodiscard]] bool ReadDibPixels(std::span<const uint8_t> dib, std::vector<uint8_t>& out_rgb,
                                 int32_t& out_width, int32_t& out_height);
// The 14-byte header that makes a DIB a .bmp file.
void MakeBmpFileHeader(size_t dib_size, uint8_t (&out_header)[BmpFileHeaderSize]);
