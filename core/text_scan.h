// Character tests, comparisons without case and scanners shared by every text reader.
#pragma once

#include <bit>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

// Every x86-64 processor has SSE2; the scanners are written for it alone.
#if !defined(__SSE2__)
#error "Tarnwick needs SSE2 (x86-64)"
#endif
#include <emmintrin.h>

// Space, tab, LF, VT, FF and CR.
inline bool IsBlank(char c)
{
    // Most bytes read are above the space: one test settles them.
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte <= ' ' && (byte == ' ' || static_cast<unsigned char>(byte - '\t') <= '\r' - '\t');
}

inline char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Keys in files are ASCII; any other byte must match exactly.
inline bool SameTextNoCase(std::string_view first, std::string_view second)
{
    if (first.size() != second.size())
        return false;
    for (size_t i = 0; i < first.size(); i++) {
        if (LowerAscii(first[i]) != LowerAscii(second[i]))
            return false;
    }
    return true;
}

inline std::string_view TrimBlanks(std::string_view text)
{
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        start++;
    size_t end = text.size();
    while (end > start && IsBlank(text[end - 1]))
        end--;
    return text.substr(start, end - start);
}

// The first byte in [from, end) whose bit is set in the mask that `match` makes of 16 bytes, or
// end. Loads 16 bytes at a time, so the caller's buffer must stay readable for 15 bytes past end.
template <typename TMatch> inline const char* FindFirstMatch(const char* from, const char* end, TMatch match)
{
    for (const char* block = from; block < end; block += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        const uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(match(bytes)));
        if (mask != 0) {
            const char* found = block + std::countr_zero(mask);
            return found < end ? found : end;
        }
    }
    return end;
}

inline const char* FindByte(const char* from, const char* end, char wanted)
{
    const __m128i pattern = _mm_set1_epi8(wanted);
    return FindFirstMatch(from, end, [pattern](__m128i bytes) { return _mm_cmpeq_epi8(bytes, pattern); });
}

// The first CR or LF.
inline const char* FindLineEnd(const char* from, const char* end)
{
    const __m128i line_feed = _mm_set1_epi8('\n');
    const __m128i carriage_return = _mm_set1_epi8('\r');
    return FindFirstMatch(from, end, [=](__m128i bytes) {
        return _mm_or_si128(_mm_cmpeq_epi8(bytes, line_feed), _mm_cmpeq_epi8(bytes, carriage_return));
    });
}

// The first CR, LF or NUL: line reading finds the rare NUL to drop in the same pass.
inline const char* FindLineEndOrNul(const char* from, const char* end)
{
    const __m128i line_feed = _mm_set1_epi8('\n');
    const __m128i carriage_return = _mm_set1_epi8('\r');
    const __m128i nul = _mm_setzero_si128();
    return FindFirstMatch(from, end, [=](__m128i bytes) {
        return _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, line_feed), _mm_cmpeq_epi8(bytes, carriage_return)),
            _mm_cmpeq_epi8(bytes, nul));
    });
}

// Reads up to `count` blank-separated numbers (each may start with '+') and stops at the first
// text that is not one; returns how many it wrote to out_values.
int32_t ParseFloatList(std::string_view text, float* out_values, int32_t count);

// A whole word as a finite float or as an int32_t, read as strtof and strtol read it; false when
// anything is left over or the value does not fit.
inline bool ParseFloatWord(const std::string& word, float& out)
{
    char* end = nullptr;
    out = std::strtof(word.c_str(), &end);
    return end != word.c_str() && *end == '\0' && std::isfinite(out);
}

inline bool ParseInt32Word(const std::string& word, int32_t& out)
{
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    out = int32_t(value);
    return end != word.c_str() && *end == '\0' && value >= INT32_MIN && value <= INT32_MAX;
}
