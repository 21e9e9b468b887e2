#include "core/text_scan.h"

#include <charconv>

int32_t ParseFloatList(std::string_view text, float* out_values, int32_t count)
{
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    for (int32_t i = 0; i < count; i++) {
        while (cursor < end && IsBlank(*cursor))
            cursor++;
        if (cursor < end && *cursor == '+')
            cursor++;
        auto [next, error] = std::from_chars(cursor, end, out_values[i]);
        if (error != std::errc())
            return i;
        cursor = next;
    }
    return count;
}
