#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/paths.h"
#include "support/temp_folder.h"

namespace {

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(EnsureFolder(path)) << path;
}

TEST(Paths, SplitsAtBothSeparators)
{
    struct Case
    {
        const char* Path;
        const char* Folder;
        const char* Name;
    };
    const Case cases[] = {
        {"C:\\a\\b.obj", "C:\\a\\", "b.obj"},
        {"model.obj", "", "model.obj"},
        {"/home/artist/figure.obj", "/home/artist/", "figure.obj"},
        {"Runtime/Geometries\\figure.obj", "Runtime/Geometries\\", "figure.obj"},
        {"folder/", "folder/", ""},
        {"", "", ""},
    };
    for (const Case& test : cases) {
        std::string folder = "stale", name = "stale";
        SplitPath(test.Path, folder, name);
        EXPECT_EQ(folder, test.Folder) << test.Path;
        EXPECT_EQ(name, test.Name) << test.Path;
        EXPECT_EQ(FolderOf(test.Path), test.Folder);
        EXPECT_EQ(NameOf(test.Path), test.Name);
    }
    EXPECT_EQ(WithTrailingSeparator(""), "");
    EXPECT_EQ(WithTrailingSeparator("a"), "a/");
    EXPECT_EQ(WithTrailingSeparator("a/"), "a/");
    EXPECT_EQ(WithTrailingSeparator("C:\\a\\"), "C:\\a\\");
    // Only the name's last dot starts an extension, and not as its first character.
    EXPECT_EQ(WithoutExtension("a/figure.tar.obj"), "a/figure.tar");
    EXPECT_EQ(WithoutExtension("a.d/figure"), "a.d/figure");
    EXPECT_EQ(WithoutExtension("a\\.hidden"), "a\\.hidden");
    EXPECT_EQ(ExtensionOf("a/figure.tar.OBJ"), "OBJ");
    EXPECT_EQ(ExtensionOf("a.d/figure"), "");
    EXPECT_EQ(ExtensionOf("a\\.hidden"), "");
}

TEST(Paths, FindFileInFolderIgnoresCase)
{
    TemporaryFolder folder;
    folder.Write("figure.obj", "v 0 0 0\n");
    MakeFolder(folder.Path() + "MODEL.OBJ"); // a folder of that name is not a file
    folder.Write("model.obj.bak", "");

    std::string result;
    ASSERT_TRUE(FindFileInFolder("FIGURE.OBJ", folder.Path(), result, TZAVSearchDepth::FolderOnly));
    EXPECT_EQ(result, folder.Path() + "figure.obj");
    EXPECT_FALSE(FindFileInFolder("model.obj", folder.Path(), result, TZAVSearchDepth::FolderOnly));
    EXPECT_FALSE(FindFileInFolder("", folder.Path(), result, TZAVSearchDepth::FolderOnly));
    EXPECT_FALSE(FindFileInFolder("figure.obj", folder.Path() + "missing", result, TZAVSearchDepth::FolderOnly));

    // Where names differ in case only, the exact one wins.
    folder.Write("Figure.obj", "");
    ASSERT_TRUE(FindFileInFolder("Figure.obj", folder.Path(), result, TZAVSearchDepth::FolderOnly));
    EXPECT_EQ(result, folder.Path() + "Figure.obj");

    // A folder given without its trailing separator still gives a whole path.
    std::string bare = folder.Path().substr(0, folder.Path().size() - 1);
    ASSERT_TRUE(FindFileInFolder("FIGURE.obj", bare, result, TZAVSearchDepth::FolderOnly));
    EXPECT_EQ(result.substr(0, folder.Path().size()), folder.Path());
}

TEST(Paths, ListsFoldersAndMatchesDialogPatterns)
{
    TemporaryFolder folder;
    folder.Write("b.OBJ", "");
    folder.Write("README", "");
    MakeFolder(folder.Path() + "a");
    ASSERT_EQ(symlink((folder.Path() + "a").c_str(), (folder.Path() + "link").c_str()), 0);
    std::vector<TZAVFolderEntry> entries;
    ASSERT_TRUE(ListFolder(folder.Path(), entries));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(entries[0].Name == "README" && !entries[0].IsFolder);
    EXPECT_TRUE(entries[1].Name == "a" && entries[1].IsFolder && !entries[1].IsLink);
    EXPECT_TRUE(entries[3].Name == "link" && entries[3].IsFolder && entries[3].IsLink);

    EXPECT_TRUE(MatchesFilePatterns("b.OBJ", "*.obj"));
    EXPECT_TRUE(MatchesFilePatterns("b.obz", "*.obj; *.obz"));
    EXPECT_FALSE(MatchesFilePatterns("b.obj.bak", "*.obj;;"));
    EXPECT_TRUE(MatchesFilePatterns("README", "*.*"));
    EXPECT_FALSE(MatchesFilePatterns("README", ""));
}

TEST(Paths, FindFileInFolderDescendsDepthFirstAndSkipsDotFolders)
{
    TemporaryFolder folder;
    const std::string& root = folder.Path();
    MakeFolder(root + "a/deep");
    MakeFolder(root + "b");
    MakeFolder(root + ".hidden");
    folder.Write("a/deep/texture.jpg", "");
    folder.Write("b/texture.jpg", "");
    folder.Write(".hidden/secret.jpg", "");

    std::string result;
    EXPECT_FALSE(FindFileInFolder("texture.jpg", root, result, TZAVSearchDepth::FolderOnly));
    ASSERT_TRUE(FindFileInFolder("TEXTURE.JPG", root, result, TZAVSearchDepth::WithSubfolders));
    EXPECT_EQ(result, root + "a/deep/texture.jpg");
    EXPECT_FALSE(FindFileInFolder("secret.jpg", root, result, TZAVSearchDepth::WithSubfolders));

    // A link back to the top must not trap the search.
    ASSERT_EQ(symlink(root.c_str(), (root + "b/loop").c_str()), 0);
    EXPECT_FALSE(FindFileInFolder("absent.jpg", root, result, TZAVSearchDepth::WithSubfolders));
}

TEST(Paths, UniqueFileNamesAreNewDistinctFiles)
{
    TemporaryFolder folder;
    std::string first, second;
    ASSERT_TRUE(MakeUniqueFileName(first, folder.Path(), "tmp"));
    ASSERT_TRUE(MakeUniqueFileName(second, folder.Path(), "tmp"));
    EXPECT_NE(first, second);
    for (const std::string& path : {first, second}) {
        EXPECT_TRUE(FileExists(path));
        EXPECT_EQ(FolderOf(path), folder.Path());
        EXPECT_EQ(path.substr(path.size() - 4), ".tmp");
        EXPECT_EQ(NameOf(path).rfind("tarnwick-", 0), 0u) << path;
    }
    std::string unchanged = "kept";
    EXPECT_FALSE(MakeUniqueFileName(unchanged, folder.Path() + "no/such/folder", "tmp"));
    EXPECT_EQ(unchanged, "kept");
}

TEST(Paths, SpecialFoldersFollowTheEnvironment)
{
    UserFoldersInTemp folders;
    ASSERT_TRUE(folders.Made);

    std::string result;
    ASSERT_TRUE(AppDataFolder(result, "Tarnwick"));
    EXPECT_EQ(result, folders.UserFolderPath());
    EXPECT_TRUE(FolderExists(result));
    ASSERT_TRUE(UserFolder(result));
    EXPECT_EQ(result, folders.UserFolderPath());

    ASSERT_TRUE(TempFolder(result));
    EXPECT_EQ(result, folders.Root.Path() + "tmp/");
    ASSERT_TRUE(MakeTempFileName(result, "dat"));
    EXPECT_EQ(FolderOf(result), folders.Root.Path() + "tmp/");

    {
        // A relative XDG_CONFIG_HOME is ignored in favour of ~/.config.
        ScopedEnvironment home("HOME", folders.Root.Path() + "home");
        ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/config");
        ASSERT_TRUE(AppDataFolder(result, "Tarnwick"));
        EXPECT_EQ(result, folders.Root.Path() + "home/.config/Tarnwick/");
        ASSERT_TRUE(DesktopFolder(result));
        EXPECT_EQ(result, folders.Root.Path() + "home/Desktop/");
    }
    {
        ScopedEnvironment missing("TMPDIR", folders.Root.Path() + "gone");
        ASSERT_TRUE(TempFolder(result));
        EXPECT_EQ(result, "/tmp/");
    }

    ASSERT_TRUE(ProgramFolder(result));
    EXPECT_EQ(result.back(), '/');
    EXPECT_TRUE(FolderExists(result));
}

TEST(Paths, FileRoutines)
{
    TemporaryFolder folder;
    const std::string& root = folder.Path();
    EXPECT_FALSE(FileExists(root));
    EXPECT_TRUE(FolderExists(root));
    EXPECT_FALSE(FolderExists(folder.Write("plain.txt", "x")));

    ASSERT_TRUE(EnsureFolder(root + "one/two/three"));
    EXPECT_TRUE(FolderExists(root + "one/two/three"));
    EXPECT_FALSE(EnsureFolder(root + "plain.txt/below"));

    std::string source = folder.Write("source.txt", "new contents");
    std::string destination = folder.Write("destination.txt", "old");
    ASSERT_TRUE(CopyFile(destination, source));
    EXPECT_EQ(TemporaryFolder::Read(destination), "new contents");
    EXPECT_FALSE(CopyFile(destination, root + "missing.txt"));
    EXPECT_EQ(TemporaryFolder::Read(destination), "new contents");

    // Moving onto an existing file is refused and loses nothing.
    std::string other = folder.Write("other.txt", "other");
    EXPECT_FALSE(MoveFile(destination, other));
    EXPECT_EQ(TemporaryFolder::Read(destination), "new contents");
    EXPECT_EQ(TemporaryFolder::Read(other), "other");
    ASSERT_TRUE(MoveFile(root + "one/moved.txt", other));
    EXPECT_FALSE(FileExists(other));
    EXPECT_EQ(TemporaryFolder::Read(root + "one/moved.txt"), "other");

    EXPECT_TRUE(DeleteFile(source));
    EXPECT_FALSE(FileExists(source));
    EXPECT_FALSE(DeleteFile(source));
}

} // namespace
