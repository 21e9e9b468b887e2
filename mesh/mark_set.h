// TTarnwick_MarkSet: the polygons or vertices that an incremental update has met. Marking is a
// plain byte store, with no test of earlier visits, so the loops that gather neighbours stay free
// of branches; Take then lists each marked index once, in ascending order, and clears the marks.
// A byte per block of indices says where marks were set, so that Take reads only those blocks.
//
//     TTarnwick_MarkSet::TMarker marker = set.Marker();   // raw pointers, held in registers
//     for (...) marker.Mark(index);
//     set.Take(out);
#pragma once

#include <cstdint>
#include <vector>

class TTarnwick_MarkSet
{
public:
    static constexpr int32_t BlockShift = 10;

    // The pointers of the set, copied out: a byte store may alias any field in memory, so hot
    // loops mark through a local copy rather than through the set.
    struct TMarker
    {
        uint8_t* Marks;
        uint8_t* Blocks;

        void Mark(int32_t index) const
        {
            Marks[index] = 1;
            Blocks[index >> BlockShift] = 1;
        }
    };

    // Room for indices 0 .. count - 1, all unmarked; keeps the room when the count is unchanged.
    void Resize(int32_t count);
    TMarker Marker() { return {Marks.data(), Blocks.data()}; }
    // Replaces out with the marked indices in ascending order and leaves the set empty.
    void Take(std::vector<int32_t>& out);

private:
    int32_t IndexCount = -1;
    std::vector<uint8_t> Marks; // rounded up to whole 8-byte words
    std::vector<uint8_t> Blocks;
};
