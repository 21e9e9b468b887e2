// Unpacking fuzzed bytes as a figure library's gzip files are unpacked, from memory and from a file,
// with a limit of 1 MB, or 4 KB when bit 0 of the first byte is set. Both must agree, stay within
// the limit and end in zero padding.
#include "fuzz/fuzz_support.h"

#include <cstring>
#include <memory>
#include <string>

#include "files/compressed_file.h"

namespace {

constexpr size_t LargeLimit = 1024 * 1024;
constexpr size_t SmallLimit = 4096;
constexpr size_t Padding = 16;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const size_t limit = (data[0] & 1) != 0 ? SmallLimit : LargeLimit;
    data++;
    size--;
    const std::string path = WriteInputFile("figure.crz", data, size);
    std::unique_ptr<char[]> from_memory, from_file;
    size_t memory_size = 0, file_size = 0;
    std::string memory_error, file_error;
    const bool unpacked =
        UnpackBytes(data, size, path, Padding, limit, from_memory, memory_size, memory_error);
    const bool read = ReadWholeFile(path, Padding, limit, from_file, file_size, file_error);
    if (unpacked != read || (!unpacked && memory_error != file_error))
        FuzzCheckFailed("the file and the bytes in memory unpack differently");
    if (!unpacked) {
        if (memory_error.find(path) == std::string::npos)
            FuzzCheckFailed("a refusal does not name the file");
        return 0;
    }
    if (memory_size > limit || memory_size != file_size ||
        std::memcmp(from_memory.get(), from_file.get(), memory_size) != 0)
        FuzzCheckFailed("the unpacked bytes differ or pass the limit");
    for (size_t i = 0; i < Padding; i++)
        if (from_memory[memory_size + i] != 0 || from_file[file_size + i] != 0)
            FuzzCheckFailed("the padding is not zero");
    return 0;
}
