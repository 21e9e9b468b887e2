#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/paths.h"
#include "core/status.h"
#include "files/settings.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace {

std::string ProgramFolderText()
{
    std::string folder;
    EXPECT_TRUE(ProgramFolder(folder));
    return folder;
}

bool HasWarning(const std::vector<TZAVStatusLine>& lines, const std::string& part)
{
    for (const TZAVStatusLine& line : lines) {
        if (line.Kind == TZAVStatusKind::Warning && line.Text.find(part) != std::string::npos)
            return true;
    }
    return false;
}

// The lines, each ended by a newline.
std::string Lines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(EnsureFolder(path)) << path;
}

class Settings : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folders.Made);
        TakeStatusLines();
    }

    std::string SettingsFile() const { return Folders.UserFolderPath() + "Tarnwick_Orvane_v2.ini"; }
    void WriteSettingsFile(const std::string& contents) const
    {
        MakeFolder(Folders.UserFolderPath());
        Folders.Root.Write("config/Tarnwick/Tarnwick_Orvane_v2.ini", contents);
    }

    UserFoldersInTemp Folders;
};

TEST_F(Settings, FirstRunWritesTheDefaults)
{
    TTarnwick_Settings settings;
    std::string user = Folders.UserFolderPath();
    EXPECT_EQ(settings.UserFolder, user);
    EXPECT_EQ(settings.ImportPath, ProgramFolderText() + "Objects/");
    const std::string autosave = Folders.StateFolderPath() + "AutoSave.Tarnwick";
    EXPECT_EQ(settings.AutoSavePath, autosave);
    EXPECT_EQ(settings.AutoSaveFileName, "");
    // The file names this run's autosave, which the next run reads as AutoSaveFileName.
    const std::string written = TemporaryFolder::Read(SettingsFile());
    for (const std::string& line : {"\nAutoSaveFileName\t" + autosave + "\n",
                                    std::string("\nRunCount\t1\n"), std::string("\nUndoLimit\t64\n")})
        EXPECT_NE(written.find(line), std::string::npos) << line << " in\n" << written;
}

TEST_F(Settings, EveryStartRaisesRunCountByOneAndStoresIt)
{
    for (int32_t start = 1; start <= 3; start++) {
        TTarnwick_Settings settings("Recovery");
        EXPECT_EQ(settings.RunCount, start);
        EXPECT_NE(TemporaryFolder::Read(SettingsFile()).find("RunCount\t" + std::to_string(start) + "\n"),
                  std::string::npos);
        EXPECT_NE(settings.AutoSavePath.find("/Recovery.Tarnwick"), std::string::npos);
    }
}

// Found by the settings fuzzer: the count read is clamped to the largest int32, and raising it
// overflowed.
TEST_F(Settings, RunCountOverflowStopsAtTheLargestCount)
{
    WriteSettingsFile("RunCount 99999999999\n");
    TTarnwick_Settings settings;
    EXPECT_EQ(settings.RunCount, INT32_MAX);
}

TEST_F(Settings, ReadingAppliesTheKeysAndKeepsDefaultsForBadValues)
{
    std::string existing = Folders.Root.Path() + "exports";
    std::string search = Folders.Root.Path() + "library";
    MakeFolder(existing);
    WriteSettingsFile(
        Lines({"ImportPath\t" + Folders.Root.Path() + "missing", "  exportpath \t " + existing + " \t",
               "SearchPath\t" + search, "SEARCHPATH\t" + search + "/",
               "RecursiveSearchPath\t" + search + "/deep", "", "NoSuchKey\t5",
               "AutoSaveFileName\t/old/AutoSave.Tarnwick", "AutoSaveTime\t0.9", "MaxTextureSize2\t4096",
               "ExtraLargeTextureSize\t16384", "RunCount\t41", "UndoLimit\t10", "PaintBleedWidth\t99",
               "UseTextureCompression\t1", "Font\t0", "ColorScheme\t3", "CacheViewports\t0",
               "LoadDefaultProject\tyes"}));
    TTarnwick_Settings settings;

    EXPECT_EQ(settings.ImportPath, ProgramFolderText() + "Objects/");
    EXPECT_EQ(settings.ExportPath, existing + "/");
    ASSERT_EQ(settings.GlobalSearchPaths.Count(), 2);
    EXPECT_EQ(settings.GlobalSearchPaths.Data()[0]->Path, search + "/");
    EXPECT_FALSE(settings.GlobalSearchPaths.Data()[0]->Recursive);
    EXPECT_EQ(settings.GlobalSearchPaths.Data()[1]->Path, search + "/deep/");
    EXPECT_TRUE(settings.GlobalSearchPaths.Data()[1]->Recursive);
    EXPECT_EQ(settings.AutoSaveFileName, "/old/AutoSave.Tarnwick");
    EXPECT_FALSE(settings.AutoSaveEnabled());
    EXPECT_EQ(MaxTextureSize, 4096);
    EXPECT_EQ(settings.RunCount, 42);
    EXPECT_EQ(settings.UndoLimit, 10);
    EXPECT_EQ(settings.PaintBleedWidth, MaxPaintBleedWidth);
    EXPECT_TRUE(settings.UseTextureCompression);
    EXPECT_EQ(settings.Font, 2);
    EXPECT_EQ(settings.ColorScheme, 1);
    EXPECT_FALSE(settings.CacheViewports);
    // Numbers that do not parse read as 0.
    EXPECT_FALSE(settings.LoadDefaultProject);
}

TEST_F(Settings, AutoSaveSwitchesOffAtNineTenthsOfASecond)
{
    TTarnwick_Settings settings;
    for (float off : {0.0f, 0.5f, 0.9f}) {
        settings.AutoSaveTime = off;
        EXPECT_FALSE(settings.AutoSaveEnabled()) << off;
        EXPECT_FALSE(settings.AutoSaveDue(10.0)) << off;
    }
    settings.AutoSaveTime = 1.0f;
    EXPECT_TRUE(settings.AutoSaveEnabled());
    EXPECT_FALSE(settings.AutoSaveDue(0.99));
    EXPECT_TRUE(settings.AutoSaveDue(1.0));
}

TEST_F(Settings, TextureLimitBelowTheMinimumKeepsTheDefault)
{
    WriteSettingsFile("MaxTextureSize2\tlarge\n");
    TTarnwick_Settings settings;
    EXPECT_EQ(MaxTextureSize, 8192);
}

TEST_F(Settings, ChangedSettingsSurviveARestart)
{
    std::string library = Folders.Root.Path() + "library/";
    std::string images = Folders.Root.Path() + "my images";
    MakeFolder(images);
    {
        TTarnwick_Settings settings;
        settings.ImagesPath = images + "/";
        settings.AutoSaveTime = 30.5f;
        settings.UndoLimit = 12;
        settings.PaintBleedWidth = 0;
        settings.Hints = false;
        settings.UseTextureCompression = true;
        settings.AddSearchPath(library + "b", TZAVSearchDepth::WithSubfolders);
        settings.AddSearchPath("", TZAVSearchDepth::FolderOnly);
        settings.AddSearchPathOfFile(library + "a/figure.obj", TZAVSearchDepth::FolderOnly);
        settings.AddSearchPath(library + "a", TZAVSearchDepth::WithSubfolders);
        MaxTextureSize = 2048;
        // The destructor deletes this run's autosave and writes the file.
        Folders.Root.Write("state/Tarnwick/AutoSave.Tarnwick", "project");
    }
    EXPECT_FALSE(FileExists(Folders.StateFolderPath() + "AutoSave.Tarnwick"));

    TTarnwick_Settings settings;
    EXPECT_EQ(settings.ImagesPath, images + "/");
    EXPECT_FLOAT_EQ(settings.AutoSaveTime, 30.5f);
    EXPECT_EQ(settings.UndoLimit, 12);
    EXPECT_EQ(settings.PaintBleedWidth, 0);
    EXPECT_TRUE(settings.Hints);
    EXPECT_TRUE(settings.UseTextureCompression);
    EXPECT_EQ(MaxTextureSize, 2048);
    EXPECT_EQ(settings.RunCount, 2);
    EXPECT_EQ(settings.AutoSaveFileName, Folders.StateFolderPath() + "AutoSave.Tarnwick");
    ASSERT_EQ(settings.GlobalSearchPaths.Count(), 2);
    EXPECT_EQ(settings.GlobalSearchPaths.Data()[0]->Path, library + "b/");
    EXPECT_TRUE(settings.GlobalSearchPaths.Data()[0]->Recursive);
    EXPECT_EQ(settings.GlobalSearchPaths.Data()[1]->Path, library + "a/");
    EXPECT_FALSE(settings.GlobalSearchPaths.Data()[1]->Recursive);
}

TEST_F(Settings, FailedWriteLeavesTheOldFileAndIsReported)
{
    WriteSettingsFile("RunCount\t7\nUndoLimit\t9\n");
    std::string old_contents = TemporaryFolder::Read(SettingsFile());
    EXPECT_TRUE(PassesWithFileSizeLimit(16, [] {
        TTarnwick_Settings settings;
        return HasWarning(TakeStatusLines(), "The settings were not saved") && settings.RunCount == 8;
    }));
    EXPECT_EQ(TemporaryFolder::Read(SettingsFile()), old_contents);
    EXPECT_EQ(TemporaryFolder::Names(Folders.UserFolderPath()),
              std::vector<std::string>{"Tarnwick_Orvane_v2.ini"});
}

TEST_F(Settings, UnusableUserFolderKeepsTheDefaults)
{
    // A plain file where the configuration folder should be: no folder can be made there.
    std::string blocker = Folders.Root.Write("blocker", "x");
    ScopedEnvironment config("XDG_CONFIG_HOME", blocker);
    TTarnwick_Settings settings;
    EXPECT_TRUE(HasWarning(TakeStatusLines(), "Cannot make the user folder"));
    EXPECT_EQ(settings.UserFolder, "");
    EXPECT_EQ(settings.RunCount, 1);
    EXPECT_EQ(settings.ImportPath, ProgramFolderText() + "Objects/");
    EXPECT_FALSE(settings.WriteSettings());
}

class FindFileTest : public Settings
{
protected:
    void SetUp() override
    {
        Settings::SetUp();
        Library = Folders.Root.Path() + "library/";
        MakeFolder(Library + ".hidden");
        MakeFolder(Library + "geometry/people");
        Folders.Root.Write("library/.hidden/figure.obj", "hidden");
    }
    std::string Library;
};

TEST_F(FindFileTest, RecursiveSearchIgnoresCaseAndSkipsDotFolders)
{
    TTarnwick_Settings settings;
    settings.AddSearchPath(Library, TZAVSearchDepth::WithSubfolders);
    std::string path = "C:\\Poser\\Runtime\\FIGURE.OBJ";
    EXPECT_FALSE(settings.FindFile(path, TZAVMissingFile::Fail));
    EXPECT_EQ(path, "C:\\Poser\\Runtime\\FIGURE.OBJ");

    Folders.Root.Write("library/geometry/people/figure.obj", "found");
    EXPECT_TRUE(settings.FindFile(path, TZAVMissingFile::Fail));
    EXPECT_EQ(path, Library + "geometry/people/figure.obj");
}

TEST_F(FindFileTest, ExistingFileTeachesItsFolder)
{
    std::string path = Folders.Root.Write("library/geometry/hat.obj", "hat");
    TTarnwick_Settings settings;
    std::string empty;
    EXPECT_FALSE(settings.FindFile(empty, TZAVMissingFile::AskUser));
    EXPECT_TRUE(settings.FindFile(path, TZAVMissingFile::Fail));
    ASSERT_EQ(settings.GlobalSearchPaths.Count(), 1);
    EXPECT_EQ(settings.GlobalSearchPaths.Data()[0]->Path, Library + "geometry/");

    std::string moved = "/old/place/HAT.OBJ";
    EXPECT_TRUE(settings.FindFile(moved, TZAVMissingFile::Fail));
    EXPECT_EQ(moved, path);
    // A plain search path does not look into its sub-folders.
    Folders.Root.Write("library/geometry/people/figure.obj", "figure");
    std::string deeper = "figure.obj";
    EXPECT_FALSE(settings.FindFile(deeper, TZAVMissingFile::Fail));
}

TEST_F(FindFileTest, AskingTheUser)
{
    std::string chosen = Folders.Root.Write("library/geometry/people/torso.obj", "torso");
    TTarnwick_Settings settings;
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, false, "The file 'torso.obj' cannot be found.");
        std::string path = "/gone/torso.obj";
        EXPECT_FALSE(settings.FindFile(path, TZAVMissingFile::AskUser));
        EXPECT_EQ(path, "/gone/torso.obj");
    }
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, true, "Do you want to find it now?")
            .ExpectFile(TZAVDialogKind::OpenFile, chosen, "torso.obj");
        std::string path = "/gone/torso.obj";
        EXPECT_TRUE(settings.FindFile(path, TZAVMissingFile::AskUser));
        EXPECT_EQ(path, chosen);
    }
    ASSERT_EQ(settings.GlobalSearchPaths.Count(), 1);
    EXPECT_EQ(settings.GlobalSearchPaths.Data()[0]->Path, Library + "geometry/people/");
}

} // namespace
