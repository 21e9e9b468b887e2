// Binary chunk framing of project files, and the little-endian fields that records are made of.
//
// A chunk is "VORNCHUNK" (nine bytes, no NUL), a 32-bit chunk ID, a 32-bit payload size, then
// the payload. Older files leave out the marker (version 5) or the marker and the size
// (version 4); readers are told which by a TZAVChunkLayout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

enum TTarnwick_FileChunkID : int32_t
{
    TTarnwick_FileChunkID_End = 69,
    TTarnwick_FileChunkID_ObjectGroup = 70,
    TTarnwick_FileChunkID_Object = 71,
    TTarnwick_FileChunkID_MorphGroup = 72,
    TTarnwick_FileChunkID_Morph = 73,
    TTarnwick_FileChunkID_SelectionGroup = 74,
    TTarnwick_FileChunkID_Selection = 75,
    TTarnwick_FileChunkID_BrushImage = 76,
    TTarnwick_FileChunkID_MaterialMap = 77,
    TTarnwick_FileChunkID_Mesh = 78,
    TTarnwick_FileChunkID_MorphMixer = 79,
    TTarnwick_FileChunkID_MeshGroups = 80,
    TTarnwick_FileChunkID_MeshFlags = 81,
    TTarnwick_FileChunkID_MixMorphs = 82,
    TTarnwick_FileChunkID_ProjectFlag = 83,
};

constexpr std::string_view ChunkMarker = "VORNCHUNK";

// [SECTION] Little-endian fields: false at the first short write or read.

[[nodiscard]] bool WriteBytes(FILE* file, const void* data, size_t size);
[[nodiscard]] bool WriteUInt8(FILE* file, uint8_t value);
[[nodiscard]] bool WriteInt32LE(FILE* file, int32_t value);
[[nodiscard]] bool WriteFloatLE(FILE* file, float value);

[[nodiscard]] bool ReadBytes(FILE* file, void* out_data, size_t size);
[[nodiscard]] bool ReadUInt8(FILE* file, uint8_t& out_value);
[[nodiscard]] bool ReadInt32LE(FILE* file, int32_t& out_value);
[[nodiscard]] bool ReadFloatLE(FILE* file, float& out_value);

// Inline: the mesh records encode and decode millions of them.
inline void EncodeInt32LE(uint8_t* out_bytes, int32_t value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int32_t i = 0; i < 4; i++)
        out_bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

inline int32_t DecodeInt32LE(const uint8_t* bytes)
{
    uint32_t bits = 0;
    for (int32_t i = 0; i < 4; i++)
        bits |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

// [SECTION] Writing chunks (always with marker and size)

// Writes the chunk's marker, ID and a size to be filled in by CloseChunk.
[[nodiscard]] bool OpenChunk(FILE* file, int32_t chunk_id, int64_t& out_size_position);
// Fills in the size of everything written since OpenChunk; the file must be seekable.
[[nodiscard]] bool CloseChunk(FILE* file, int64_t size_position);

// [SECTION] Reading chunks

struct TZAVChunkLayout
{
    bool Markers = true;
    bool Sizes = true;
};

// Markers from version 6 on; sizes in every version but 4.
TZAVChunkLayout ChunkLayoutForVersion(int32_t version);

struct TZAVChunkHeader
{
    int32_t ID = 0;
    // -1 when the layout has no sizes.
    int64_t Size = -1;
    int64_t PayloadStart = 0;
};

enum class TZAVChunkReadResult : int32_t
{
    Chunk,
    EndOfFile,
    Error,
};

// Reads the next chunk header; with markers, bytes before the marker are skipped. A size that
// reaches past the end of the file is an error, reported in out_error naming the file.
[[nodiscard]] TZAVChunkReadResult ReadChunkHeader(FILE* file, std::string_view file_name,
                                                  const TZAVChunkLayout& layout, TZAVChunkHeader& out_header,
                                                  std::string& out_error);
// Payload bytes not yet read; without sizes, the bytes left in the file. -1 when unknown.
int64_t ChunkBytesLeft(FILE* file, const TZAVChunkHeader& header);
// Moves past the payload; needs a size.
[[nodiscard]] bool SkipChunk(FILE* file, const TZAVChunkHeader& header);
