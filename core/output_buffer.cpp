#include "core/output_buffer.h"

#include <charconv>
#include <cstring>

namespace {

// Room for any int64_t, and for a double in fixed notation up to 1e308 with a few dozen digits.
constexpr size_t NumberRoom = 384;

} // namespace

TZAVOutputBuffer::TZAVOutputBuffer(FILE* file, size_t capacity)
    : File(file), Capacity(capacity < NumberRoom ? NumberRoom : capacity),
      Data(std::make_unique_for_overwrite<char[]>(Capacity))
{
}

void TZAVOutputBuffer::AppendLong(std::string_view text)
{
    Flush();
    if (text.size() > Capacity) {
        WriteOut(text.data(), text.size());
        return;
    }
    std::memcpy(Data.get(), text.data(), text.size());
    Used = text.size();
}

char* TZAVOutputBuffer::Reserve(size_t length)
{
    if (length > Capacity - Used)
        Flush();
    return Data.get() + Used;
}

void TZAVOutputBuffer::AppendInt(int64_t value)
{
    char* start = Reserve(NumberRoom);
    Used += static_cast<size_t>(std::to_chars(start, start + NumberRoom, value).ptr - start);
}

void TZAVOutputBuffer::AppendFixed(double value, int32_t digits)
{
    char* start = Reserve(NumberRoom);
    auto result = std::to_chars(start, start + NumberRoom, value, std::chars_format::fixed, digits);
    if (result.ec != std::errc()) {
        // Only absurd digit counts get here; the shortest form still says the value.
        result = std::to_chars(start, start + NumberRoom, value);
    }
    Used += static_cast<size_t>(result.ptr - start);
}

bool TZAVOutputBuffer::Finish()
{
    Flush();
    return !Failed && std::fflush(File) == 0;
}

void TZAVOutputBuffer::Flush()
{
    WriteOut(Data.get(), Used);
    Used = 0;
}

void TZAVOutputBuffer::WriteOut(const char* text, size_t length)
{
    if (!Failed && length > 0 && std::fwrite(text, 1, length, File) != length)
        Failed = true;
}
