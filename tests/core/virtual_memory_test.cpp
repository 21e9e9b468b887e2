#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/dialogs.h"
#include "core/virtual_memory.h"
#include "support/temp_folder.h"

namespace {

std::unique_ptr<uint8_t[]> Pattern(int64_t size, uint8_t seed)
{
    auto buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
    for (int64_t i = 0; i < size; i++)
        buffer[i] = static_cast<uint8_t>(seed + i * 7);
    return buffer;
}

int32_t PageOutPattern(int64_t size, uint8_t seed)
{
    std::unique_ptr<uint8_t[]> buffer = Pattern(size, seed);
    int32_t id = -5;
    PageOut(buffer, size, id);
    EXPECT_EQ(buffer, nullptr);
    return id;
}

void PageInAndDrop(int32_t id)
{
    std::unique_ptr<uint8_t[]> buffer;
    int64_t size = 0;
    ASSERT_TRUE(PageIn(buffer, size, id));
}

int64_t OffsetOf(int32_t id)
{
    int64_t offset = -1;
    EXPECT_TRUE(GetPagedItemOffset(id, offset)) << "ID " << id;
    return offset;
}

int64_t PagingFileSize()
{
    struct stat status = {};
    EXPECT_EQ(fstat(VirtualMemoryFileDescriptor(), &status), 0);
    return status.st_size;
}

// Each test pages into a fresh temporary folder of its own.
class VirtualMemory : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Folder.Path().empty());
        ASSERT_TRUE(InitVirtualMemory());
    }
    void TearDown() override { ShutdownVirtualMemory(); }

    TemporaryFolder Folder;
    ScopedEnvironment Temp{"TMPDIR", Folder.Path()};
};

using VirtualMemoryDeathTest = VirtualMemory;

TEST_F(VirtualMemory, PagedBytesComeBackIdentical)
{
    auto kept = std::make_unique<uint8_t[]>(4);
    int32_t none = 12;
    PageOut(kept, 0, none);
    EXPECT_EQ(none, 0);
    EXPECT_NE(kept, nullptr);

    int32_t first = PageOutPattern(1000, 3);
    int32_t second = PageOutPattern(77, 9);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    for (auto [id, size, seed] : {std::tuple{second, 77, 9}, std::tuple{first, 1000, 3}}) {
        std::unique_ptr<uint8_t[]> buffer;
        int64_t read_size = 0;
        ASSERT_TRUE(PageIn(buffer, read_size, id));
        EXPECT_EQ(id, 0);
        ASSERT_EQ(read_size, size);
        EXPECT_EQ(std::memcmp(buffer.get(), Pattern(size, static_cast<uint8_t>(seed)).get(), size), 0);
    }
    EXPECT_EQ(PagedItemCount(), 0);
}

TEST_F(VirtualMemory, FreedSlotsTakeWhatFitsAndLargerDataIsAppended)
{
    int32_t id = PageOutPattern(100, 1);
    int64_t offset = OffsetOf(id);
    PageInAndDrop(id);
    int32_t reused = PageOutPattern(80, 2);
    EXPECT_EQ(reused, id);
    EXPECT_EQ(OffsetOf(reused), offset);

    // The slot keeps its capacity: 100 bytes fit again after the 80 come back.
    PageInAndDrop(reused);
    int32_t again = PageOutPattern(100, 3);
    EXPECT_EQ(OffsetOf(again), offset);
    EXPECT_EQ(VirtualMemoryFileSize(), 100);

    PageInAndDrop(again);
    int32_t larger = PageOutPattern(120, 4);
    EXPECT_EQ(larger, id + 1);
    EXPECT_EQ(OffsetOf(larger), 100);
    EXPECT_EQ(VirtualMemoryFileSize(), 220);
}

TEST_F(VirtualMemory, BestFitThenLastFreedFirst)
{
    int32_t big = PageOutPattern(500, 1);
    int32_t first = PageOutPattern(100, 2);
    int32_t second = PageOutPattern(100, 3);
    int64_t second_offset = OffsetOf(second);
    int64_t first_offset = OffsetOf(first);
    PageInAndDrop(big);
    PageInAndDrop(first);
    DiscardPaged(0);
    DiscardPaged(first);
    DiscardPaged(second);
    EXPECT_EQ(PagedItemCount(), 0);

    // 90 bytes fit all three slots: the smallest capacity wins, and of the two the last freed.
    int32_t reused = PageOutPattern(90, 4);
    EXPECT_EQ(reused, second);
    EXPECT_EQ(OffsetOf(reused), second_offset);
    int32_t next = PageOutPattern(90, 5);
    EXPECT_EQ(next, first);
    EXPECT_EQ(OffsetOf(next), first_offset);
    EXPECT_EQ(VirtualMemoryFileSize(), 700);
}

TEST_F(VirtualMemory, ResetOnlyWhenNothingIsPaged)
{
    int32_t id = PageOutPattern(64, 1);
    EXPECT_FALSE(ResetVirtualMemory());
    EXPECT_EQ(PagingFileSize(), 64);
    EXPECT_EQ(PagedItemCount(), 1);

    // A new file: the old one never shrinks.
    PageInAndDrop(id);
    ASSERT_TRUE(ResetVirtualMemory());
    EXPECT_EQ(PagingFileSize(), 0);
    EXPECT_EQ(VirtualMemoryFileSize(), 0);
    // IDs start over, and the old free slot is gone.
    EXPECT_EQ(PageOutPattern(32, 2), 1);
    EXPECT_EQ(OffsetOf(1), 0);
}

TEST_F(VirtualMemoryDeathTest, PageInOfARetiredIDEndsTheProcess)
{
    int32_t id = PageOutPattern(100, 1);
    int32_t retired = id;
    PageInAndDrop(id);
    std::unique_ptr<uint8_t[]> buffer;
    int64_t size = 0;
    EXPECT_EXIT(PageIn(buffer, size, retired), testing::ExitedWithCode(EXIT_FAILURE),
                "Cannot find the virtual memory item with ID = 1");
}

TEST_F(VirtualMemoryDeathTest, UseBeforeInitialisationEndsTheProcess)
{
    ShutdownVirtualMemory();
    auto buffer = std::make_unique<uint8_t[]>(8);
    int32_t id = 0;
    EXPECT_EXIT(PageOut(buffer, 8, id), testing::ExitedWithCode(EXIT_FAILURE),
                "Virtual Memory Manager has not been initialized!");
}

TEST_F(VirtualMemoryDeathTest, ACutShortFileIsNotReadAsData)
{
    int32_t id = PageOutPattern(4096, 1);
    ASSERT_EQ(ftruncate(VirtualMemoryFileDescriptor(), 100), 0);
    std::unique_ptr<uint8_t[]> buffer;
    int64_t size = 0;
    EXPECT_EXIT(PageIn(buffer, size, id), testing::ExitedWithCode(EXIT_FAILURE),
                "Cannot read the virtual memory item with ID = 1");
}

TEST_F(VirtualMemoryDeathTest, NoPagingFileStaysBehind)
{
    int32_t id = PageOutPattern(300, 5);
    // The file is made in the temporary folder under our name, which goes at once.
    std::string link = "/proc/self/fd/" + std::to_string(VirtualMemoryFileDescriptor());
    char target[4096] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof(target) - 1), 0);
    EXPECT_EQ(std::string(target).rfind(Folder.Path() + "tarnwick-paging-", 0), 0u) << target;
    EXPECT_EQ(TemporaryFolder::Names(Folder.Path()), std::vector<std::string>{});

    // A process that dies while paging leaves nothing; one that exits leaves the parent's data.
    EXPECT_DEATH(
        {
            ShutdownVirtualMemory();
            InitVirtualMemory();
            PageOutPattern(50, 1);
            std::abort();
        },
        "");
    EXPECT_EXIT(std::exit(0), testing::ExitedWithCode(0), "");
    EXPECT_EQ(TemporaryFolder::Names(Folder.Path()), std::vector<std::string>{});
    std::unique_ptr<uint8_t[]> buffer;
    int64_t size = 0;
    ASSERT_TRUE(PageIn(buffer, size, id));
    ASSERT_EQ(size, 300);
    EXPECT_EQ(std::memcmp(buffer.get(), Pattern(300, 5).get(), 300), 0);
}

// Limits the file size of this (child) process so that writes past it fail with EFBIG.
void LimitFileSize(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(VirtualMemoryDeathTest, FullDiskCancelEndsTheProcess)
{
    // Without a window every question gets its negative answer: Cancel.
    EXPECT_EXIT(
        {
            LimitFileSize(4096);
            PageOutPattern(8192, 1);
        },
        testing::ExitedWithCode(EXIT_FAILURE), "run out temporary file space");
}

// Frees "disk space" when asked, then answers OK.
class FreeSpaceThenRetry : public TZAVDialogPresenter
{
public:
    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override
    {
        Questions++;
        TZAVDialogAnswer answer;
        answer.Accepted = request.Kind == TZAVDialogKind::OkCancel;
        LimitFileSize(RLIM_INFINITY);
        return answer;
    }
    int Questions = 0;
};

TEST_F(VirtualMemoryDeathTest, FullDiskOkRetriesTheWrite)
{
    EXPECT_EXIT(
        {
            FreeSpaceThenRetry presenter;
            SetDialogPresenter(&presenter);
            LimitFileSize(4096);
            int32_t id = PageOutPattern(8192, 7);
            std::unique_ptr<uint8_t[]> buffer;
            int64_t size = 0;
            PageIn(buffer, size, id);
            std::unique_ptr<uint8_t[]> expected = Pattern(8192, 7);
            bool same = size == 8192 && std::memcmp(buffer.get(), expected.get(), 8192) == 0;
            std::exit(same && presenter.Questions == 1 ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
