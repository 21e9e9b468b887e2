#include "core/virtual_memory.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/dialogs.h"
#include "core/file_handle.h"
#include "core/paths.h"
#include "core/report.h"

namespace {

// Largest single read or write; the kernel moves at most about 2 GiB per call anyway.
constexpr int64_t MaxTransfer = int64_t(1) << 30;
constexpr const char* PagingFileName = "tarnwick-paging-XXXXXX.tmp";
constexpr int PagingFileSuffixLength = 4;

struct TPagedItem
{
    int32_t ID = 0;
    int64_t Size = 0;
    int64_t Capacity = 0;
    int64_t Offset = 0;
};

class TPagingFile
{
public:
    // The name goes as soon as the file is open: the data lives as long as the descriptor, so
    // nothing stays behind when the process ends, crash or not.
    bool Create()
    {
        Close();
        std::string path;
        if (!TempFolder(path))
            return false;
        path += PagingFileName;
        Descriptor = TZAVFileDescriptor(mkostemps(path.data(), PagingFileSuffixLength, O_CLOEXEC));
        if (!Descriptor.IsOpen())
            return false;
        unlink(path.c_str());
        return true;
    }
    void Close() { Descriptor.Reset(); }
    int Get() const { return Descriptor.Get(); }

    bool Write(const uint8_t* data, int64_t size, int64_t offset) const
    {
        while (size > 0) {
            ssize_t written =
                pwrite(Descriptor.Get(), data, static_cast<size_t>(std::min(size, MaxTransfer)), offset);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            data += written;
            size -= written;
            offset += written;
        }
        return true;
    }
    bool Read(uint8_t* data, int64_t size, int64_t offset) const
    {
        while (size > 0) {
            ssize_t read_size =
                pread(Descriptor.Get(), data, static_cast<size_t>(std::min(size, MaxTransfer)), offset);
            if (read_size < 0 && errno == EINTR)
                continue;
            // End of file before the item's end: the file was cut short.
            if (read_size <= 0)
                return false;
            data += read_size;
            size -= read_size;
            offset += read_size;
        }
        return true;
    }

private:
    TZAVFileDescriptor Descriptor;
};

struct TVirtualMemoryState
{
    bool Initialized = false;
    int32_t NextID = 1;
    TPagingFile File;
    int64_t FileEnd = 0;
    std::map<int32_t, TPagedItem> Paged;
    // Free slots by capacity; within one capacity the last freed is reused first.
    std::map<int64_t, std::vector<TPagedItem>> FreePool;
} state;

// Paging may happen on a side thread reading a project while the window's thread works.
std::recursive_mutex vm_mutex;

[[noreturn]] void EndProcess()
{
    std::exit(EXIT_FAILURE);
}

void EnsureInitialized()
{
    if (state.Initialized)
        return;
    ShowMessage(GlobalDialogHost, "Virtual Memory Manager has not been initialized!");
    EndProcess();
}

// Takes the smallest free slot that holds size bytes, or makes a new one at the end of the file.
TPagedItem TakeSlot(int64_t size)
{
    auto fitting = state.FreePool.lower_bound(size);
    if (fitting == state.FreePool.end()) {
        TPagedItem item{state.NextID++, size, size, state.FileEnd};
        state.FileEnd += size;
        return item;
    }
    std::vector<TPagedItem>& slots = fitting->second;
    TPagedItem item = slots.back();
    slots.pop_back();
    if (slots.empty())
        state.FreePool.erase(fitting);
    item.Size = size;
    return item;
}

void FreeSlot(std::map<int32_t, TPagedItem>::iterator paged)
{
    state.FreePool[paged->second.Capacity].push_back(paged->second);
    state.Paged.erase(paged);
}

} // namespace

bool InitVirtualMemory()
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    if (state.Initialized)
        return true;
    if (!state.File.Create()) {
        ShowMessage(GlobalDialogHost, "Cannot create the paging file in the temporary folder");
        return false;
    }
    state.Initialized = true;
    state.NextID = 1;
    state.FileEnd = 0;
    return true;
}

void ShutdownVirtualMemory()
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    if (!state.Initialized)
        return;
    state.File.Close();
    state.Paged.clear();
    state.FreePool.clear();
    state.Initialized = false;
}

bool ResetVirtualMemory()
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    if (!state.Paged.empty())
        return false;
    ShutdownVirtualMemory();
    return InitVirtualMemory();
}

void PageOut(std::unique_ptr<uint8_t[]>& buffer, int64_t size, int32_t& id)
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    id = 0;
    EnsureInitialized();
    if (size <= 0)
        return;
    if (buffer == nullptr)
        ReportError("buffer == NULL in PageOut()");
    TPagedItem item = TakeSlot(size);
    while (!state.File.Write(buffer.get(), size, item.Offset)) {
        if (!AskOkCancel(GlobalDialogHost,
                         "You have run out temporary file space. Please free some space on your system drive "
                         "and try again.\n\nPress Cancel to exit this program now."))
            EndProcess();
    }
    id = item.ID;
    buffer.reset();
    state.Paged[item.ID] = item;
}

bool PageIn(std::unique_ptr<uint8_t[]>& buffer, int64_t& size, int32_t& id)
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    buffer.reset();
    size = 0;
    EnsureInitialized();
    auto paged = state.Paged.find(id);
    if (paged == state.Paged.end()) {
        ShowMessage(GlobalDialogHost, "Cannot find the virtual memory item with ID = %d", id);
        EndProcess();
    }
    const TPagedItem& item = paged->second;
    auto data = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(item.Size));
    if (!state.File.Read(data.get(), item.Size, item.Offset)) {
        ShowMessage(GlobalDialogHost, "Cannot read the virtual memory item with ID = %d", id);
        EndProcess();
    }
    buffer = std::move(data);
    size = item.Size;
    FreeSlot(paged);
    id = 0;
    return true;
}

void DiscardPaged(int32_t id)
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    auto paged = state.Paged.find(id);
    if (paged != state.Paged.end())
        FreeSlot(paged);
}

bool IsVirtualMemoryInitialized()
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    return state.Initialized;
}

int VirtualMemoryFileDescriptor()
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    return state.File.Get();
}

int32_t PagedItemCount()
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    return static_cast<int32_t>(state.Paged.size());
}

bool GetPagedItemOffset(int32_t id, int64_t& out_offset)
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    auto paged = state.Paged.find(id);
    if (paged == state.Paged.end())
        return false;
    out_offset = paged->second.Offset;
    return true;
}

int64_t VirtualMemoryFileSize()
{
    std::lock_guard<std::recursive_mutex> hold(vm_mutex);
    return state.FileEnd;
}

void KeepLargeBlocksInProcess()
{
#ifdef __GLIBC__
    // Blocks up to 256 MB come from the heap, and up to 512 MB of free heap stays mapped.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}
