// The interface graphics archive on fuzzed bytes. The first byte chooses: an even one reads the
// rest from memory, an odd one from a file as well, which must give the same records. What was
// read must fit in the input, and must survive being written and read again unchanged.
#include "fuzz/fuzz_support.h"

#include <string>
#include <vector>

#include "files/graphics_archive.h"

namespace {

bool SameRecords(const std::vector<TZAVGraphicsRecord>& first, const std::vector<TZAVGraphicsRecord>& second)
{
    if (first.size() != second.size())
        return false;
    for (size_t i = 0; i < first.size(); ++i)
        if (first[i].Name != second[i].Name || first[i].Bytes != second[i].Bytes)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const bool from_file = data[0] % 2 == 1;
    ++data;
    --size;
    std::vector<TZAVGraphicsRecord> records;
    ReadGraphicsArchive({data, size}, "Graphics.dat", records);
    size_t used = 0;
    for (const TZAVGraphicsRecord& record : records) {
        if (record.Name.size() >= GraphicsNameFieldSize || record.Name.find('\0') != std::string::npos)
            FuzzCheckFailed("a name does not fit its field");
        used += GraphicsRecordHeaderSize + record.Bytes.size();
    }
    if (used > size)
        FuzzCheckFailed("the records hold more bytes than the input");

    std::string error;
    if (from_file) {
        std::vector<TZAVGraphicsRecord> from_path;
        if (!ReadGraphicsArchive(WriteInputFile("Graphics.dat", data, size), from_path, error))
            FuzzCheckFailed("an existing archive could not be read");
        if (!SameRecords(records, from_path))
            FuzzCheckFailed("the file and the bytes read differently");
    }

    const std::string written = InputFolder() + "written.dat";
    if (!WriteGraphicsArchive(records, written, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        FuzzCheckFailed("records read could not be written");
    }
    std::vector<TZAVGraphicsRecord> again;
    if (!ReadGraphicsArchive(written, again, error) || !SameRecords(records, again))
        FuzzCheckFailed("a written archive read back different");
    return 0;
}
