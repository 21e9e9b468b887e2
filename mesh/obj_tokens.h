// Cursor functions for the tokens of OBJ lines: numbers, corner indices and token counts. They
// rely on the line reader's promise (mesh/obj_line_reader.h): a line is followed by a byte that is
// not a digit and by readable padding, so digit runs need no end check and loads may pass the end.
#pragma once

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cstdint>
#include <string_view>

#include "core/text_scan.h"
#include "mesh/poly_mesh.h"

// The blank bytes of 16 (IsBlank for each lane).
inline __m128i BlankLanes(__m128i bytes)
{
    const __m128i from_tab = _mm_sub_epi8(bytes, _mm_set1_epi8('\t'));
    const __m128i tab_to_return =
        _mm_cmpeq_epi8(_mm_min_epu8(from_tab, _mm_set1_epi8('\r' - '\t')), from_tab);
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')), tab_to_return);
}

// A token starts at each non-blank whose predecessor is blank (or the start). Sixteen bytes at a
// time, the last load reaching into the line padding; its bytes past the line count as blanks.
// Token starts are summed per lane by a sum of absolute differences.
inline int32_t CountObjTokens(std::string_view rest)
{
    const char* text = rest.data();
    const size_t size = rest.size();
    const __m128i one = _mm_set1_epi8(1);
    const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m128i previous_blank = _mm_set1_epi8(-1);
    __m128i sums = _mm_setzero_si128();
    for (size_t i = 0; i < size; i += 16) {
        __m128i blank = BlankLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)));
        if (size - i < 16)
            blank =
                _mm_or_si128(blank, _mm_cmpgt_epi8(lanes, _mm_set1_epi8(static_cast<char>(size - i - 1))));
        __m128i blank_before = _mm_or_si128(_mm_slli_si128(blank, 1), _mm_srli_si128(previous_blank, 15));
        __m128i starts = _mm_and_si128(_mm_andnot_si128(blank, blank_before), one);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(starts, _mm_setzero_si128()));
        previous_blank = blank;
    }
    const int64_t tokens = _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
    return static_cast<int32_t>(std::min<int64_t>(tokens, TZAVPolyMesh::MaxCornerCount));
}

// Reads a run of digits, moving the cursor past it; the count of digits. The value wraps when the
// run is long, so callers bound the count. No end check: a line is followed by a non-digit.
inline int32_t ReadObjDigits(const char*& cursor, uint64_t& out_value)
{
    const auto* scan = reinterpret_cast<const unsigned char*>(cursor);
    uint64_t value = 0;
    for (uint64_t digit; (digit = *scan - uint64_t{'0'}) < 10; scan++)
        value = value * 10 + digit;
    out_value = value;
    const ptrdiff_t count = reinterpret_cast<const char*>(scan) - cursor;
    cursor = reinterpret_cast<const char*>(scan);
    return static_cast<int32_t>(std::min<ptrdiff_t>(count, INT32_MAX));
}

// Reads blanks then one number, as "%f" does; null when there is no number. Plain decimals of at
// most nine digits take a fast path: mantissa × 10^-k in double lies within two units of the last
// place of the exact quotient, so unless it falls near the midpoint between two floats it rounds
// to the float that from_chars gives. Near a midpoint, and for every other form, from_chars reads.
inline const char* ParseObjFloat(const char* cursor, const char* end, float& out_value)
{
    static constexpr uint64_t PowersOfTen[] = {1,      10,      100,      1000,      10000,
                                               100000, 1000000, 10000000, 100000000, 1000000000};
    // 10^-k rounded to double.
    static constexpr double InversePowersOfTen[] = {1e0,  1e-1, 1e-2, 1e-3, 1e-4,
                                                    1e-5, 1e-6, 1e-7, 1e-8, 1e-9};
    // Nine digits cannot overflow the mantissa's 64 bits whatever their split.
    constexpr int32_t MaxFastDigits = 9;
    while (cursor < end && IsBlank(*cursor))
        cursor++;
    if (cursor < end && *cursor == '+')
        cursor++;
    const char* scan = cursor;
    const bool negative = scan < end && *scan == '-';
    scan += negative;
    uint64_t whole = 0;
    uint64_t fraction = 0;
    const int32_t whole_digits = ReadObjDigits(scan, whole);
    int32_t fraction_digits = 0;
    if (scan < end && *scan == '.') {
        scan++;
        fraction_digits = ReadObjDigits(scan, fraction);
    }
    const int64_t digits = int64_t{whole_digits} + fraction_digits;
    const bool ends_plainly = scan == end || (*scan != 'e' && *scan != 'E' && *scan != '.');
    if (digits > 0 && digits <= MaxFastDigits && ends_plainly) {
        const uint64_t mantissa = whole * PowersOfTen[fraction_digits] + fraction;
        const double quotient = static_cast<double>(mantissa) * InversePowersOfTen[fraction_digits];
        // The 29 bits that the float drops: the midpoint is 1 << 28.
        const uint64_t dropped = std::bit_cast<uint64_t>(quotient) & ((uint64_t{1} << 29) - 1);
        if (dropped - ((uint64_t{1} << 28) - 8) > 16) {
            const float value = static_cast<float>(quotient);
            out_value = negative ? -value : value;
            return scan;
        }
    }
    auto [next, error] = std::from_chars(cursor, end, out_value);
    return error == std::errc() ? next : nullptr;
}

// Fills `count` floats; those after the first that fails keep their value. False on a failure.
inline bool ParseObjFloats(std::string_view rest, float* out_values, int32_t count)
{
    const char* cursor = rest.data();
    const char* end = rest.data() + rest.size();
    for (int32_t i = 0; i < count; i++) {
        cursor = ParseObjFloat(cursor, end, out_values[i]);
        if (cursor == nullptr)
            return false;
    }
    return true;
}

// A decimal integer with an optional sign; null when there are no digits, or more of them than
// any index needs (which also keeps the value from overflowing).
inline const char* ParseObjIndex(const char* cursor, const char* end, int64_t& out_value)
{
    constexpr int32_t MaxIndexDigits = 12;
    bool negative = false;
    if (cursor < end && (*cursor == '-' || *cursor == '+'))
        negative = *cursor++ == '-';
    uint64_t value = 0;
    const int32_t digits = ReadObjDigits(cursor, value);
    if (digits == 0 || digits > MaxIndexDigits)
        return nullptr;
    out_value = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    return cursor;
}

// One corner token in the forms v, v/t, v//n and v/t/n; t and n may be left empty ("7/3/", "7//",
// "7/"). 0 stands for a missing index. Null when the token is not wholly one of them.
inline const char* ParseCornerToken(const char* cursor, const char* end, int64_t out_indices[3])
{
    out_indices[0] = out_indices[1] = out_indices[2] = 0;
    cursor = ParseObjIndex(cursor, end, out_indices[0]);
    for (int32_t field = 1; field < 3 && cursor != nullptr && cursor < end && *cursor == '/'; field++) {
        cursor++;
        if (cursor < end && *cursor != '/' && !IsBlank(*cursor))
            cursor = ParseObjIndex(cursor, end, out_indices[field]);
    }
    return cursor != nullptr && (cursor == end || IsBlank(*cursor)) ? cursor : nullptr;
}

// OBJ indices are 1-based; negative ones count back from the last element read so far.
// -1 when the index names no element.
inline int32_t ResolveObjIndex(int64_t index, int64_t read_so_far, int64_t total)
{
    if (index > 0 && index <= total)
        return static_cast<int32_t>(index - 1);
    if (index < 0 && read_so_far + index >= 0)
        return static_cast<int32_t>(read_so_far + index);
    return -1;
}
