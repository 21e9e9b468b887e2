// The clipboard: text, and images as a device-independent bitmap (DIB).
//
// The X11 clipboard is out of reach from this layer, which must run without a display, so the
// clipboard is local to the process: copying text and maps between objects always works inside
// the program. Setting either kind replaces whatever the clipboard held.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/dialogs.h"

// BITMAPINFOHEADER and BITMAPFILEHEADER sizes.
constexpr int32_t DibHeaderSize = 40;
constexpr int32_t BmpFileHeaderSize = 14;

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
