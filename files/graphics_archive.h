// The interface graphics archive "Graphics.dat": the pictures of the interface, each kept as the
// bytes of an image file under its file name. The records follow each other to the end of the file:
//
//     256 bytes   the file name, ended by a NUL inside the field (the rest is zero when we write)
//     4 bytes     the length of the image, little-endian
//     length      the bytes of the image file
//
// The loader registers each picture as a texture under its name without the extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t GraphicsNameFieldSize = 256;
constexpr size_t GraphicsRecordHeaderSize = GraphicsNameFieldSize + 4;

struct TZAVGraphicsRecord
{
    std::string Name;
    std::vector<uint8_t> Bytes;
};

// Reads the records of bytes; source_name names them in warnings. A name without a NUL in its
// field ends the reading, as does a record cut short or claiming more bytes than are left; the
// last two are warned about (message panel) with the record's number. The records before the
// end are kept in every case.
void ReadGraphicsArchive(std::span<const uint8_t> bytes, std::string_view source_name,
                         std::vector<TZAVGraphicsRecord>& out_records);

// The same from a file. False, with out_error naming the file and out_records left as they
// were, only when the file cannot be opened or read.
[[nodiscard]] bool ReadGraphicsArchive(const std::string& path, std::vector<TZAVGraphicsRecord>& out_records,
                                       std::string& out_error);

// Writes the records through a temporary file, so a failed write leaves an old archive intact.
// A name of 256 bytes or more, or holding a NUL, and an image of 4 GiB or more are refused
// before anything is written.
[[nodiscard]] bool WriteGraphicsArchive(std::span<const TZAVGraphicsRecord> records, const std::string& path,
                                        std::string& out_error);
