// Replaces the test program's global allocation functions to record the largest single
// allocation, so that a test can show that a count read from a file allocates nothing by itself.
// Include it in one file of a test program only.
//
//     ResetLargestAllocation();
//     EXPECT_FALSE(ReadText(morph, "morph\tBig\n{\n\tvcount\t134217727\n}\n"));
//     EXPECT_LT(LargestAllocation(), size_t(1) << 20);
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

// GCC takes free() on memory from a replaced operator new for a mismatch; here it is the pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

inline std::atomic<size_t> largest_allocation{0};

inline void ResetLargestAllocation()
{
    largest_allocation = 0;
}

inline size_t LargestAllocation()
{
    return largest_allocation;
}

void* operator new(size_t size)
{
    size_t largest = largest_allocation.load();
    while (size > largest && !largest_allocation.compare_exchange_weak(largest, size)) {
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* operator new[](size_t size)
{
    return operator new(size);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, size_t) noexcept
{
    std::free(memory);
}
