// The text block stream's reading primitives on fuzzed text, walked as an item reader walks a
// block: "{" lines skip a block, a key without a value (a binary tag) reads a binary block, and the
// first byte's bits decide where a line is given back and read again.
#include "fuzz/fuzz_support.h"

#include <string_view>
#include <vector>

#include "core/text_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const uint8_t unread_pattern = data[0];
    FILE* stream = InputStream(data + 1, size - 1);
    TZAVTextReader reader(stream, "fuzz.Tarnwick");
    std::string_view line;
    int32_t line_index = 0;
    while (reader.ReadTrimmedLine(line)) {
        const int32_t line_number = reader.LineNumber();
        if ((unread_pattern >> (line_index++ & 7) & 1) != 0) {
            reader.UnreadLine();
            std::string_view again;
            if (!reader.ReadTrimmedLine(again) || reader.LineNumber() != line_number)
                FuzzCheckFailed("a line given back did not come again");
            line = again;
        }
        if (line == "{") {
            if (!SkipTextBlock(reader))
                break;
            continue;
        }
        std::string_view key;
        std::string_view value;
        SplitKeyValue(line, key, value);
        float numbers[3] = {0, 0, 0};
        TextValueFloat3(value, numbers);
        (void)TextValueInt(value);
        if (!key.empty() && value.empty() && key != "}") {
            std::vector<uint8_t> bytes;
            if (!ReadBinaryBlock(reader, bytes) && !reader.Failed())
                FuzzCheckFailed("a refused binary block left no message");
            if (reader.Failed())
                break;
        }
        if (reader.RemainingBytes() < 0)
            FuzzCheckFailed("a regular file's remaining bytes are unknown");
    }
    return 0;
}
