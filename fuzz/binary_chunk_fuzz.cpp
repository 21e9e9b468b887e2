// The chunk framing of old project files on fuzzed bytes. The first byte chooses the file version
// (4: IDs only, 5: IDs and sizes, 6: markers too); the rest is walked chunk by chunk as the
// project loader walks it, reading a few fields from each payload. Chunks read with markers and
// sizes are written out again and must read back the same.
#include "fuzz/fuzz_support.h"

#include <string>
#include <vector>

#include "core/binary_chunk.h"

namespace {

struct TChunk
{
    int32_t ID = 0;
    std::vector<uint8_t> Payload;
};

// Reads every chunk; false at the first error.
bool ReadChunks(FILE* file, const TZAVChunkLayout& layout, int64_t file_size, std::vector<TChunk>& out_chunks)
{
    for (;;) {
        TZAVChunkHeader header;
        std::string error;
        const TZAVChunkReadResult result = ReadChunkHeader(file, "fuzz.Tarnwick", layout, header, error);
        if (result == TZAVChunkReadResult::EndOfFile)
            return true;
        if (result == TZAVChunkReadResult::Error) {
            if (error.empty())
                FuzzCheckFailed("a refused chunk header left no message");
            return false;
        }
        const int64_t left = ChunkBytesLeft(file, header);
        if (left < 0 || header.PayloadStart + left > file_size)
            FuzzCheckFailed("a chunk's payload reaches past the end of the file");
        TChunk chunk;
        chunk.ID = header.ID;
        if (!layout.Sizes) {
            // Without sizes the loader reads the record the ID names; here a field or two.
            int32_t field = 0;
            uint8_t flag = 0;
            if (!ReadInt32LE(file, field) || !ReadUInt8(file, flag))
                return true;
            out_chunks.push_back(std::move(chunk));
            continue;
        }
        chunk.Payload.resize(size_t(header.Size));
        if (!ReadBytes(file, chunk.Payload.data(), chunk.Payload.size()))
            FuzzCheckFailed("a payload within the file could not be read");
        if (ChunkBytesLeft(file, header) != 0)
            FuzzCheckFailed("bytes left after reading a whole payload");
        if (!SkipChunk(file, header))
            FuzzCheckFailed("a chunk with a size could not be skipped");
        out_chunks.push_back(std::move(chunk));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const int32_t version = 4 + data[0] % 3;
    const TZAVChunkLayout layout = ChunkLayoutForVersion(version);
    std::vector<TChunk> chunks;
    if (!ReadChunks(InputStream(data + 1, size - 1), layout, int64_t(size - 1), chunks) || !layout.Markers)
        return 0;

    // Written again: the marker, ID and size of each, then its payload.
    std::vector<uint8_t> written;
    {
        FILE* file = std::tmpfile();
        if (file == nullptr)
            FuzzCheckFailed("no temporary file");
        for (const TChunk& chunk : chunks) {
            int64_t size_position = 0;
            if (!OpenChunk(file, chunk.ID, size_position) ||
                !WriteBytes(file, chunk.Payload.data(), chunk.Payload.size()) ||
                !CloseChunk(file, size_position))
                FuzzCheckFailed("a chunk could not be written");
        }
        std::fflush(file);
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;)
            written.push_back(uint8_t(c));
        std::fclose(file);
    }
    std::vector<TChunk> again;
    if (!ReadChunks(InputStream(written.data(), written.size()), layout, int64_t(written.size()), again))
        FuzzCheckFailed("chunks written by us could not be read");
    if (again.size() != chunks.size())
        FuzzCheckFailed("chunks written by us read back as another number of chunks");
    for (size_t k = 0; k < chunks.size(); k++)
        if (again[k].ID != chunks[k].ID || again[k].Payload != chunks[k].Payload)
            FuzzCheckFailed("a chunk written by us read back different");
    return 0;
}
