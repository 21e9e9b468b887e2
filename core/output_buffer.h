// Output gathered in a large buffer, so that the file sees few, large writes and a line costs a
// few copies rather than calls.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

class TZAVOutputBuffer
{
public:
    static constexpr size_t DefaultCapacity = size_t{1} << 20;

    explicit TZAVOutputBuffer(FILE* file, size_t capacity = DefaultCapacity);

    void Append(std::string_view text)
    {
        if (text.size() > Capacity - Used) [[unlikely]] {
            AppendLong(text);
            return;
        }
        std::memcpy(Data.get() + Used, text.data(), text.size());
        Used += text.size();
    }
    void Append(char c)
    {
        if (Used == Capacity)
            Flush();
        Data[Used++] = c;
    }
    void AppendInt(int64_t value);
    // Fixed notation with `digits` after the point ("%.*f").
    void AppendFixed(double value, int32_t digits);

    // Writes what is left; false when any write failed (errno tells why).
    [[nodiscard]] bool Finish();

private:
    void AppendLong(std::string_view text);
    void Flush();
    void WriteOut(const char* text, size_t length);
    char* Reserve(size_t length);

    FILE* File;
    size_t Capacity;
    std::unique_ptr<char[]> Data;
    size_t Used = 0;
    bool Failed = false;
};
