#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/safe_file.h"
#include "support/temp_folder.h"

namespace {

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* listing = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(listing);
    }
    return names;
}

mode_t ModeOf(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

TEST(SafeFile, CommitReplacesTheTargetAndKeepsItsPermissions)
{
    TemporaryFolder folder;
    std::string target = folder.Write("project.Tarnwick", "old contents");
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    {
        TZAVSafeFileWriter writer(target);
        FILE* file = writer.Open();
        ASSERT_NE(file, nullptr) << writer.Error();
        EXPECT_EQ(writer.Open(), file);
        std::fputs("new contents", file);
        // Until the commit the old file is what readers see.
        EXPECT_EQ(TemporaryFolder::Read(target), "old contents");
        ASSERT_TRUE(writer.Commit()) << writer.Error();
    }
    EXPECT_EQ(TemporaryFolder::Read(target), "new contents");
    EXPECT_EQ(ModeOf(target), 0600u);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"project.Tarnwick"});

    // A new file gets 0644 less the umask.
    mode_t old_mask = umask(027);
    TZAVSafeFileWriter fresh(folder.Path() + "fresh.txt");
    ASSERT_NE(fresh.Open(), nullptr);
    ASSERT_TRUE(fresh.Commit());
    umask(old_mask);
    EXPECT_EQ(ModeOf(folder.Path() + "fresh.txt"), 0640u);
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
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"settings.ini"});

    TZAVSafeFileWriter never_opened(target);
    EXPECT_FALSE(never_opened.Commit());
    EXPECT_FALSE(never_opened.Error().empty());
}

TEST(SafeFile, FailedWriteKeepsTheOldFile)
{
    TemporaryFolder folder;
    std::string target = folder.Write("big.obj", "old mesh");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit makes the writes fail with EFBIG instead of killing the child.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        TZAVSafeFileWriter writer(target);
        FILE* file = writer.Open();
        if (file == nullptr)
            _exit(2);
        std::vector<char> block(64 * 1024, 'v');
        std::fwrite(block.data(), 1, block.size(), file);
        bool committed = writer.Commit();
        bool names_target = writer.Error().find(target) != std::string::npos;
        _exit(!committed && names_target ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TemporaryFolder::Read(target), "old mesh");
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"big.obj"});
}

TEST(SafeFile, ReadOnlyFolderIsReportedAndTheOldFileKept)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TemporaryFolder folder;
    std::string target = folder.Write("locked.txt", "locked");
    ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
    TZAVSafeFileWriter writer(target);
    EXPECT_EQ(writer.Open(), nullptr);
    EXPECT_NE(writer.Error().find(target), std::string::npos) << writer.Error();
    EXPECT_FALSE(writer.Commit());
    chmod(folder.Path().c_str(), 0755);
    EXPECT_EQ(TemporaryFolder::Read(target), "locked");
}

TEST(SafeFile, WritesThroughALinkAndKeepsTheLink)
{
    TemporaryFolder folder;
    std::string real = folder.Write("real.ini", "old");
    std::string link = folder.Path() + "link.ini";
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    TZAVSafeFileWriter writer(link);
    ASSERT_NE(writer.Open(), nullptr);
    std::fputs("new", writer.File());
    ASSERT_TRUE(writer.Commit());
    struct stat status;
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(TemporaryFolder::Read(real), "new");
}

} // namespace
