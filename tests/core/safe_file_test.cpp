#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/safe_file.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

bool Save(const std::string& path, const std::string& contents)
{
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    return file != nullptr && std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
           writer.Commit();
}

TEST(SafeFile, CommitReplacesTheTargetAndKeepsItsPermissions)
{
    TemporaryFolder folder;
    std::string target = folder.Write("project.Tarnwick", "old contents");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    {
        TZAVSafeFileWriter writer(target);
        FILE* file = writer.Open();
        ASSERT_NE(file, nullptr) << writer.Error();
        std::fputs("new contents", file);
        // Until the commit the old file is what readers see.
        EXPECT_EQ(TemporaryFolder::Read(target), "old contents");
        ASSERT_TRUE(writer.Commit()) << writer.Error();
    }
    EXPECT_EQ(TemporaryFolder::Read(target), "new contents");
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()), std::vector<std::string>{"project.Tarnwick"});

    // A new file gets what any program would give it: 0666 less the umask.
    mode_t old_mask = umask(002);
    bool saved = Save(folder.Path() + "fresh.txt", "fresh");
    umask(old_mask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(ModeOf(folder.Path() + "fresh.txt"), 0664u);
}

TEST(SafeFile, UncommittedWriteLeavesNoTrace)
{
    TemporaryFolder folder;
    std::string target = folder.Write("settings.ini", "kept");
    {
        TZAVSafeFileWriter writer(target);
        ASSERT_NE(writer.Open(), nullptr);
        std::fputs("half written", writer.File());
    }
    EXPECT_EQ(TemporaryFolder::Read(target), "kept");
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()), std::vector<std::string>{"settings.ini"});
}

// A save killed at any moment leaves the old or the new file, and the next save of the same file
// removes what the killed one left, but nothing else: not a live save's temporary, not the
// temporary of another file, not the user's own files.
TEST(SafeFile, KilledSavesKeepOldOrNewFileAndTheNextSaveRemovesTheirLeftovers)
{
    constexpr size_t Size = 4 << 20;
    constexpr int KillCount = 200;
    // A kill tests the rename, not the disk: in memory fsync costs nothing and the run stays short.
    std::optional<ScopedEnvironment> in_memory;
    if (access("/dev/shm", W_OK) == 0)
        in_memory.emplace("TMPDIR", "/dev/shm");
    TemporaryFolder folder;
    std::string first(Size, 'a');
    std::string second(Size, 'b');
    std::string target = folder.Write("figure.obj", first);
    folder.Write(".figure.obj.backup", "the user's");
    folder.Write("figure.obj.orig", "the user's");

    // Another file's save, killed half way.
    pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        TZAVSafeFileWriter writer(folder.Path() + "figure.mtl");
        FILE* file = writer.Open();
        if (file != nullptr)
            std::fwrite(first.data(), 1, Size, file);
        raise(SIGKILL);
    }
    ASSERT_EQ(waitpid(other, nullptr, 0), other);
    const std::vector<std::string> others = TemporaryFolder::Names(folder.Path());
    ASSERT_EQ(others.size(), 4u);

    std::mt19937 random(1847);
    std::uniform_int_distribution<useconds_t> delay(0, 4000);
    for (int kill_index = 0; kill_index < KillCount; kill_index++) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int round = 0;; round++)
                if (!Save(target, round % 2 == 0 ? second : first))
                    _exit(1);
        }
        usleep(delay(random));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "a save failed before kill " << kill_index;
        std::string contents = TemporaryFolder::Read(target);
        ASSERT_TRUE(contents == first || contents == second)
            << "kill " << kill_index << " left " << contents.size() << " bytes";
        // At most the killed save's own temporary remains.
        ASSERT_LE(TemporaryFolder::Names(folder.Path()).size(), others.size() + 1)
            << "after kill " << kill_index;
    }

    TZAVSafeFileWriter live(target);
    ASSERT_NE(live.Open(), nullptr) << live.Error();
    std::fputs("live", live.File());
    ASSERT_TRUE(Save(target, "final"));
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()).size(), others.size() + 1);
    ASSERT_TRUE(live.Commit()) << live.Error();
    EXPECT_EQ(TemporaryFolder::Read(target), "live");
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()), others);
}

TEST(SafeFile, FailedWriteReportsItsCauseAndKeepsTheOldFile)
{
    TemporaryFolder folder;
    std::string target = folder.Write("big.obj", "old mesh");
    EXPECT_TRUE(PassesWithFileSizeLimit(1024, [&] {
        TZAVSafeFileWriter writer(target);
        FILE* file = writer.Open();
        if (file != nullptr) {
            std::vector<char> block(64 * 1024, 'v');
            std::fwrite(block.data(), 1, block.size(), file);
        }
        const bool failed = file == nullptr || !writer.Commit();
        return failed && writer.Error().find(std::strerror(EFBIG)) != std::string::npos &&
               writer.Error().find(target) != std::string::npos;
    })) << "the failed write was not reported with its cause and file";
    EXPECT_EQ(TemporaryFolder::Read(target), "old mesh");
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()), std::vector<std::string>{"big.obj"});
}

TEST(SafeFile, ReadOnlyTargetIsReplacedOnlyWhenTheUserAgrees)
{
    TemporaryFolder folder;
    std::string target = folder.Write("figure.cr2", "old");
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, false, "read-only");
        TZAVSafeFileWriter writer(target);
        EXPECT_EQ(writer.Open(), nullptr);
        EXPECT_NE(writer.Error().find("read-only"), std::string::npos) << writer.Error();
        EXPECT_NE(writer.Error().find(target), std::string::npos) << writer.Error();
        EXPECT_FALSE(writer.Commit());
    }
    EXPECT_EQ(TemporaryFolder::Read(target), "old");
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()), std::vector<std::string>{"figure.cr2"});
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, true, "read-only");
        ASSERT_TRUE(Save(target, "new"));
    }
    EXPECT_EQ(TemporaryFolder::Read(target), "new");
    EXPECT_EQ(ModeOf(target), 0444u);
}

TEST(SafeFile, ReadOnlyFolderIsReportedAndTheOldFileKept)
{
    TemporaryFolder folder;
    std::string target = folder.Write("locked.txt", "locked");
    // Only the folder stands in the way, not the file.
    ASSERT_EQ(chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
    const bool refused = PassesAsUnprivilegedUserIn(folder.Path(), [](const std::string& prefix) {
        TZAVSafeFileWriter writer(prefix + "locked.txt");
        return writer.Open() == nullptr && writer.Error().find("locked.txt") != std::string::npos &&
               !writer.Commit();
    });
    chmod(folder.Path().c_str(), 0755);
    EXPECT_TRUE(refused);
    EXPECT_EQ(TemporaryFolder::Read(target), "locked");
}

TEST(SafeFile, WritesThroughALinkAndKeepsTheLink)
{
    TemporaryFolder folder;
    std::string real = folder.Write("real.ini", "old");
    std::string link = folder.Path() + "link.ini";
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    ASSERT_TRUE(Save(link, "new"));
    struct stat status;
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(TemporaryFolder::Read(real), "new");
}

} // namespace
