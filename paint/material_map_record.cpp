// The old binary record of a material map, still read from binary project files and never written:
//
//     thingy record | Width (4) | Height (4) | file name (256, NUL-padded)
//     image block: a byte and a 4-byte field (unused), compressed size n (4), n bytes
//     coverage flag (1) | when set, the coverage mask (Width·Height / 8 bytes)
//
// The image block is run-length coded per colour plane; n = 0 means Width·Height·3 raw bytes.
#include <cinttypes>
#include <cstring>

#include "core/binary_chunk.h"
#include "core/dialogs.h"
#include "core/report.h"
#include "core/status.h"
#include "paint/material_map.h"

namespace {

constexpr int32_t RecordChannels = 3;
constexpr size_t RecordFileNameSize = 256;

// Bytes from the read position to the end of the file; -1 when the stream cannot tell.
int64_t BytesLeft(FILE* file)
{
    const long position = std::ftell(file);
    if (position < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, position, SEEK_SET) != 0 || end < position)
        return -1;
    return end - position;
}

} // namespace

bool ExpandMapPlanes(std::span<const uint8_t> compressed, int32_t pixel_count, int32_t channels,
                     std::vector<uint8_t>& out_pixels)
{
    if (pixel_count < 0 || channels <= 0)
        return false;
    const size_t capacity = size_t(pixel_count) * size_t(channels);
    std::vector<uint8_t> planes(capacity, 0);
    size_t written = 0;
    // A lone byte after the last pair is no run.
    for (size_t pair = 0; pair + 1 < compressed.size(); pair += 2) {
        const uint8_t value = compressed[pair];
        const size_t run = compressed[pair + 1];
        if (run > capacity - written) {
            ReportTrace(
                "Error expanding the texture, Data = %p, CompressedSize = %d, n*3 = %d, channels = %d",
                static_cast<const void*>(compressed.data()), static_cast<int>(compressed.size()),
                pixel_count * 3, channels);
            return false;
        }
        std::memset(planes.data() + written, value, run);
        written += run;
    }
    out_pixels.resize(capacity);
    for (int32_t channel = 0; channel < channels; channel++) {
        const uint8_t* plane = planes.data() + size_t(channel) * size_t(pixel_count);
        for (size_t pixel = 0; pixel < size_t(pixel_count); pixel++)
            out_pixels[pixel * size_t(channels) + size_t(channel)] = plane[pixel];
    }
    return true;
}

bool TZAVMaterialMap::SaveToStream(FILE*)
{
    ReportTrace("TZAVMaterialMap::SaveToStream() is obsolete");
    ShowError(GlobalDialogHost, "TZAVMaterialMap::SaveToStream() is obsolete");
    return false;
}

bool TZAVMaterialMap::LoadFromStream(FILE* file)
{
    TTarnwick_ThingyRecord record;
    int32_t width = 0;
    int32_t height = 0;
    char file_name[RecordFileNameSize];
    uint8_t unused_byte = 0;
    int32_t unused_field = 0;
    int32_t compressed_size = 0;
    if (!ReadThingyRecord(file, record) || !ReadInt32LE(file, width) || !ReadInt32LE(file, height) ||
        !ReadBytes(file, file_name, sizeof(file_name)) || !ReadUInt8(file, unused_byte) ||
        !ReadInt32LE(file, unused_field) || !ReadInt32LE(file, compressed_size))
        return false;
    const int64_t pixel_count = int64_t(width) * int64_t(height);
    if (!IsMapSizeAllowed(width, height)) {
        AddWarning("The map \"%s\" cannot be read: its size %d x %d is out of range", record.Name.c_str(),
                   width, height);
        return false;
    }
    std::string memory_problem;
    if (!MapFitsInMemory(width, height, memory_problem)) {
        AddWarning("The map \"%s\" cannot be read. %s", record.Name.c_str(), memory_problem.c_str());
        return false;
    }
    // Sizes are held to the file before anything is allocated by them.
    const int64_t stored_size = compressed_size == 0 ? pixel_count * RecordChannels : compressed_size;
    const int64_t left = BytesLeft(file);
    if (compressed_size < 0 || (left >= 0 && stored_size > left)) {
        AddWarning("The map \"%s\" cannot be read: its image of %" PRId64
                   " bytes runs past the end of the file",
                   record.Name.c_str(), stored_size);
        return false;
    }
    std::vector<uint8_t> stored(static_cast<size_t>(stored_size));
    if (!ReadBytes(file, stored.data(), stored.size()))
        return false;
    std::vector<uint8_t> pixels;
    if (compressed_size == 0) {
        pixels.swap(stored);
    } else if (!ExpandMapPlanes(stored, static_cast<int32_t>(pixel_count), RecordChannels, pixels)) {
        ShowError(GlobalDialogHost, "Error expanding the texture");
        return false;
    }
    uint8_t has_mask = 0;
    if (!ReadUInt8(file, has_mask))
        return false;
    std::vector<uint8_t> mask((size_t(pixel_count) + 7) / 8, 0);
    if (has_mask) {
        const size_t mask_size = size_t(pixel_count) / 8;
        const int64_t mask_left = BytesLeft(file);
        if (mask_left >= 0 && int64_t(mask_size) > mask_left) {
            AddWarning("The map \"%s\" cannot be read: its coverage mask runs past the end of the file",
                       record.Name.c_str());
            return false;
        }
        if (!ReadBytes(file, mask.data(), mask_size))
            return false;
    }

    ApplyThingyRecord(record);
    DropQuadTree();
    Width = width;
    Height = height;
    MapFileName.assign(file_name, strnlen(file_name, sizeof(file_name)));
    Pixels.swap(pixels);
    CoverageMask.swap(mask);
    CoverageValid = has_mask != 0 && pixel_count % 8 == 0;
    return true;
}
