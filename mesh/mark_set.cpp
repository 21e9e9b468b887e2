#include "mesh/mark_set.h"

#include <algorithm>
#include <bit>
#include <cstring>

void TTarnwick_MarkSet::Resize(int32_t count)
{
    if (count == IndexCount)
        return;
    IndexCount = count < 0 ? 0 : count;
    const size_t room = static_cast<size_t>(IndexCount);
    Marks.assign((room + 7) & ~size_t(7), 0);
    Blocks.assign((room >> BlockShift) + 1, 0);
}

void TTarnwick_MarkSet::Take(std::vector<int32_t>& out)
{
    constexpr uint64_t AllMarked = 0x0101010101010101ull;
    constexpr size_t BlockSize = size_t(1) << BlockShift;
    size_t flagged = 0;
    for (uint8_t flag : Blocks)
        flagged += flag;
    // Written through a plain pointer into room for every index of the flagged blocks; the room
    // costs no more than reading those blocks.
    out.resize(std::min(flagged * BlockSize, static_cast<size_t>(IndexCount)));
    int32_t* next = out.data();
    const size_t mark_end = Marks.size();
    for (size_t block = 0; block < Blocks.size(); block++) {
        if (Blocks[block] == 0)
            continue;
        Blocks[block] = 0;
        const size_t first = block << BlockShift;
        const size_t end = std::min(first + BlockSize, mark_end);
        for (size_t word_start = first; word_start < end; word_start += 8) {
            uint64_t word;
            std::memcpy(&word, &Marks[word_start], sizeof(word));
            if (word == 0)
                continue;
            std::memset(&Marks[word_start], 0, sizeof(word));
            const int32_t base = static_cast<int32_t>(word_start);
            if (word == AllMarked) {
                // Dense regions, such as a stroke's band, fill whole words.
                for (int32_t k = 0; k < 8; k++)
                    next[k] = base + k;
                next += 8;
                continue;
            }
            // A mark is 1, so each marked byte holds exactly one set bit.
            for (; word != 0; word &= word - 1)
                *next++ = base + (std::countr_zero(word) >> 3);
        }
    }
    out.resize(static_cast<size_t>(next - out.data()));
}
