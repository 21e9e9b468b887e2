// Whole files that may be gzip streams. Figure libraries ship their figures (".crz"), geometry
// (".obz") and poses (".pzz") gzipped; a reader asks for the file's bytes and gets them unpacked
// whatever the extension, since the first two bytes tell a gzip stream apart from text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Text files larger than this are refused rather than unpacked: a small damaged or hostile stream
// can claim any size.
constexpr size_t DefaultMaxFileBytes = size_t{2} << 30;

// Whether the file starts with the gzip magic bytes; false for a file that cannot be read.
bool IsGzipFile(const std::string& path);

// Reads the whole file (unpacking a gzip stream) into a buffer followed by `padding` zero bytes.
// Refuses a result larger than max_bytes, a damaged or cut-short stream and a folder; out_error
// names the file and says why, and the outputs are left as they were.
[[nodiscard]] bool ReadWholeFile(const std::string& path, size_t padding, size_t max_bytes,
                                 std::unique_ptr<char[]>& out_bytes, size_t& out_size,
                                 std::string& out_error);

// The same for bytes already in memory (a gzip stream or plain bytes), named by path in messages.
[[nodiscard]] bool UnpackBytes(const uint8_t* data, size_t size, const std::string& path, size_t padding,
                               size_t max_bytes, std::unique_ptr<char[]>& out_bytes, size_t& out_size,
                               std::string& out_error);

// The name the other form of a figure file would have: "x.obj" <-> "x.obz", "x.cr2" <-> "x.crz",
// "x.pz2" <-> "x.pzz", keeping the case of the extension's first letters. Empty for other names.
std::string CompressedTwinName(const std::string& path);
