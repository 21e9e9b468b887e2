#include "core/binary_chunk.h"

#include <bit>
#include <cinttypes>
#include <cstring>
#include <sys/stat.h>

#include "core/report.h"

namespace {

int64_t FileSize(FILE* file)
{
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    return status.st_size;
}

int64_t BytesLeftInFile(FILE* file)
{
    int64_t size = FileSize(file);
    int64_t position = ftello(file);
    if (size < 0 || position < 0)
        return -1;
    return size > position ? size - position : 0;
}

// Slides a window over the bytes until it holds the marker; false at end of file.
bool FindChunkMarker(FILE* file)
{
    char window[ChunkMarker.size()] = {};
    size_t filled = 0;
    for (int c; (c = getc_unlocked(file)) != EOF;) {
        if (filled == sizeof(window))
            std::memmove(window, window + 1, --filled);
        window[filled++] = static_cast<char>(c);
        if (filled == sizeof(window) && std::string_view(window, filled) == ChunkMarker)
            return true;
    }
    return false;
}

} // namespace

// [SECTION] Little-endian fields

bool WriteBytes(FILE* file, const void* data, size_t size)
{
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

bool WriteUInt8(FILE* file, uint8_t value)
{
    return WriteBytes(file, &value, 1);
}

bool WriteInt32LE(FILE* file, int32_t value)
{
    uint8_t bytes[4];
    EncodeInt32LE(bytes, value);
    return WriteBytes(file, bytes, sizeof(bytes));
}

bool WriteFloatLE(FILE* file, float value)
{
    return WriteInt32LE(file, std::bit_cast<int32_t>(value));
}

bool ReadBytes(FILE* file, void* out_data, size_t size)
{
    return size == 0 || std::fread(out_data, 1, size, file) == size;
}

bool ReadUInt8(FILE* file, uint8_t& out_value)
{
    return ReadBytes(file, &out_value, 1);
}

bool ReadInt32LE(FILE* file, int32_t& out_value)
{
    uint8_t bytes[4];
    if (!ReadBytes(file, bytes, sizeof(bytes)))
        return false;
    out_value = DecodeInt32LE(bytes);
    return true;
}

bool ReadFloatLE(FILE* file, float& out_value)
{
    int32_t bits = 0;
    if (!ReadInt32LE(file, bits))
        return false;
    out_value = std::bit_cast<float>(bits);
    return true;
}

// [SECTION] Writing chunks

bool OpenChunk(FILE* file, int32_t chunk_id, int64_t& out_size_position)
{
    if (!WriteBytes(file, ChunkMarker.data(), ChunkMarker.size()) || !WriteInt32LE(file, chunk_id))
        return false;
    out_size_position = ftello(file);
    return out_size_position >= 0 && WriteInt32LE(file, 0);
}

bool CloseChunk(FILE* file, int64_t size_position)
{
    int64_t end = ftello(file);
    int64_t size = end - size_position - 4;
    if (end < 0 || size < 0 || size > INT32_MAX)
        return false;
    return fseeko(file, size_position, SEEK_SET) == 0 && WriteInt32LE(file, static_cast<int32_t>(size)) &&
           fseeko(file, end, SEEK_SET) == 0;
}

// [SECTION] Reading chunks

TZAVChunkLayout ChunkLayoutForVersion(int32_t version)
{
    return TZAVChunkLayout{version > 5, version != 4};
}

TZAVChunkReadResult ReadChunkHeader(FILE* file, std::string_view file_name, const TZAVChunkLayout& layout,
                                    TZAVChunkHeader& out_header, std::string& out_error)
{
    auto fail = [&](const char* what) {
        out_error = FormatText("The file %.*s is corrupt: %s", int(file_name.size()), file_name.data(), what);
        return TZAVChunkReadResult::Error;
    };
    if (layout.Markers && !FindChunkMarker(file))
        return TZAVChunkReadResult::EndOfFile;
    uint8_t id_bytes[4];
    size_t id_read = std::fread(id_bytes, 1, sizeof(id_bytes), file);
    if (id_read == 0 && !layout.Markers)
        return TZAVChunkReadResult::EndOfFile;
    if (id_read != sizeof(id_bytes))
        return fail("a chunk ID is cut off by the end of the file");
    TZAVChunkHeader header;
    header.ID = DecodeInt32LE(id_bytes);
    if (layout.Sizes) {
        int32_t size = 0;
        if (!ReadInt32LE(file, size))
            return fail("a chunk size is cut off by the end of the file");
        // Sizes are unsigned on disk; anything beyond the file cannot be right.
        header.Size = static_cast<uint32_t>(size);
        int64_t left = BytesLeftInFile(file);
        if (left >= 0 && header.Size > left) {
            out_error = FormatText("The file %.*s is corrupt: chunk %d claims %" PRId64
                                   " bytes, but only %" PRId64 " remain",
                                   int(file_name.size()), file_name.data(), header.ID, header.Size, left);
            return TZAVChunkReadResult::Error;
        }
    }
    header.PayloadStart = ftello(file);
    out_header = header;
    return TZAVChunkReadResult::Chunk;
}

int64_t ChunkBytesLeft(FILE* file, const TZAVChunkHeader& header)
{
    int64_t position = ftello(file);
    if (header.Size < 0 || position < 0)
        return BytesLeftInFile(file);
    int64_t left = header.PayloadStart + header.Size - position;
    return left > 0 ? left : 0;
}

bool SkipChunk(FILE* file, const TZAVChunkHeader& header)
{
    return header.Size >= 0 && fseeko(file, header.PayloadStart + header.Size, SEEK_SET) == 0;
}
