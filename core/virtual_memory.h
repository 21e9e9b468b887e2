// The virtual memory manager: pages rarely needed heap blocks out to one temporary file.
//
// PageOut writes a buffer to the paging file, frees it and hands back an ID; PageIn allocates a
// new buffer, reads the data back and retires the ID. Freed slots are reused by later page-outs
// of equal or smaller size (smallest fitting capacity, last freed first); new data goes to the end
// of the file, which never shrinks. The owners decide what to page and when.
//
// Use before initialisation, an unknown ID and a failed read end the process with a failure
// status after a message: the caller's data is gone and cannot be handed back.
#pragma once

#include <cstdint>
#include <memory>

// Creates the paging file in the temporary folder; false (with a message) when it cannot. Its name
// (tarnwick-paging-XXXXXX.tmp) is removed at once, so the file goes when the process ends.
bool InitVirtualMemory();
// Closes the paging file, which frees its space, and forgets every item.
void ShutdownVirtualMemory();
// Starts a new, empty paging file; refused (false) while any item holds paged-out data.
bool ResetVirtualMemory();

// Stores size bytes of buffer, frees it and sets id. A size of 0 does nothing (id 0, buffer kept).
void PageOut(std::unique_ptr<uint8_t[]>& buffer, int64_t size, int32_t& id);
// Reads the data of id into a new buffer, frees its slot and sets id to 0.
bool PageIn(std::unique_ptr<uint8_t[]>& buffer, int64_t& size, int32_t& id);
// Frees the slot of id without reading it; 0 or an unknown ID does nothing.
void DiscardPaged(int32_t id);

bool IsVirtualMemoryInitialized();

// Keeps the heap's large blocks (figure text, mesh arrays, morphs) in the process once freed, so
// that the next figure reuses pages already touched instead of faulting in and zeroing fresh ones;
// the allocator otherwise maps and unmaps each block of more than 32 MB at every use. Called once
// at start-up, before the first figure.
void KeepLargeBlocksInProcess();
// The open paging file; -1 before initialisation.
int VirtualMemoryFileDescriptor();
int32_t PagedItemCount();
// Where the data of a paged-out item starts in the paging file; false for an unknown ID.
bool GetPagedItemOffset(int32_t id, int64_t& out_offset);
// Bytes of the paging file in use, free slots included.
int64_t VirtualMemoryFileSize();
