// The CR2 export wizard on the real main window, driven by queued clicks. Run under xvfb-run.
#include "app/cr2_export_window.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "app/application.h"
#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/texture_registry.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "files/settings.h"
#include "support/cr2_export_figure.h"
#include "support/scripted_dialogs.h"
#include "support/screenshot.h"
#include "support/widget_window.h"
#include "widgets/message_box.h"

namespace {

constexpr int32_t WindowWidth = 1000;
constexpr int32_t WindowHeight = 700;
constexpr int32_t ExportCR2Command = 233;

std::string ReadText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class CR2ExportWizard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        const int window_id =
            SharedTestWindow("app_cr2_export_window_test", WindowWidth, WindowHeight, error);
        ASSERT_NE(window_id, 0) << error;
        const std::string data = TARNWICK_BUILD_DATA;
        TarnwickApp.ProgramFolder = data.substr(0, data.size() - std::string("Data/").size());
        if (GetLanguageCount() == 0) {
            ASSERT_TRUE(LoadLanguage(TarnwickApp.ProgramFolder, error)) << error;
        }
        ASSERT_TRUE(InitVirtualMemory());
        ASSERT_TRUE(figure.Make(error)) << error;
        TarnwickSettings = new TTarnwick_Settings();
        TarnwickProject = figure.Project.release();
        TarnwickProject->ExportMaps = false;
        textures = std::make_unique<TZAVTextureRegistry>();
        TarnwickApp.Textures = textures.get();
        TarnwickApp.Ready = true;
        window = std::make_unique<TTarnwick_MainWindow>(window_id);
        window->Resize(WindowWidth, WindowHeight);
        window->SwapAfterFrame = false;
        window->BuildPanels("");
        window->CloseSplash();
        InstallDispatcher();
        TarnwickEvents_ProcessEvents();
    }

    void TearDown() override
    {
        window.reset();
        textures.reset();
        TarnwickApp.Textures = nullptr;
        TarnwickApp.Ready = false;
        delete TarnwickProject;
        TarnwickProject = nullptr;
        delete TarnwickSettings;
        TarnwickSettings = nullptr;
        ShutdownVirtualMemory();
        SetDefaultEventHandler(nullptr);
    }

    void RunFrames()
    {
        do
            window->DisplayFrame();
        while (!window->PendingInput().empty());
        TarnwickEvents_ProcessEvents();
    }

    void Click(const TZAVglutWigits_Node& node)
    {
        const TZAVglutWigits_Rect rect = node.AbsoluteRect();
        const int32_t x = rect.X + rect.Width / 2, y = rect.Y + rect.Height / 2;
        window->QueueInput({int32_t(TTarnwick_InputKind::PassiveMotion), 0, 0, x, y}, 0);
        window->QueueInput({int32_t(TTarnwick_InputKind::MouseButton), GLUT_LEFT_BUTTON, GLUT_DOWN, x, y}, 0);
        window->QueueInput({int32_t(TTarnwick_InputKind::MouseButton), GLUT_LEFT_BUTTON, GLUT_UP, x, y}, 0);
        RunFrames();
    }

    TCR2ExportFigure figure;
    std::unique_ptr<TZAVTextureRegistry> textures;
    std::unique_ptr<TTarnwick_MainWindow> window;
};

} // namespace

TEST_F(CR2ExportWizard, EachChoiceMakesTheFilesThePlainExportMakes)
{
    const char* const names[] = {"simple", "body", "character"};
    for (int32_t choice = 0; choice < 3; choice++) {
        SCOPED_TRACE(names[choice]);
        ASSERT_TRUE(PostCommand(ExportCR2Command));
        RunFrames();
        TTarnwick_CR2ExportWindow& wizard = CR2ExportWindow();
        ASSERT_TRUE(wizard.IsShownChain());
        ASSERT_NE(wizard.Choices[choice]->Picture, 0u) << "the wizard's pictures are missing";
        if (choice == 0) {
            const TWidgetFrame frame = TWidgetFrame::ReadBack(WindowWidth, WindowHeight);
            std::string error;
            EXPECT_TRUE(SaveScreenshot("cr2_export_wizard.png", frame.Rgb.data(), WindowWidth, WindowHeight,
                                       3, error))
                << error;
        }

        const std::string base = figure.Folder.Path() + names[choice];
        const std::string obj = base + ".obj";
        {
            // The export asks for its output, then for the new character's OBJ.
            ScriptedDialogs dialogs;
            dialogs.ExpectFile(TZAVDialogKind::SaveFile, base + "_wizard.cr2");
            if (choice == 2)
                dialogs.ExpectFile(TZAVDialogKind::SaveFile, obj);
            Click(*wizard.Choices[choice]);
        }
        EXPECT_FALSE(wizard.IsShownChain());

        TTarnwick_CR2ExportFiles files;
        files.Source = figure.Source;
        files.Output = base + "_plain.cr2";
        files.DataFolder = DataFilePath("");
        files.NewOBJ = obj;
        std::string error;
        ASSERT_TRUE(ExportCR2(*TarnwickProject, files, error)) << error;
        const std::string plain = ReadText(base + "_plain.cr2");
        EXPECT_FALSE(plain.empty());
        EXPECT_EQ(ReadText(base + "_wizard.cr2"), plain);
        EXPECT_EQ(ReadText(base + "_wizard.png"), ReadText(base + "_plain.png"));
        EXPECT_EQ(plain.find("valueParm Sculpted") != std::string::npos, choice != 0);
        EXPECT_EQ(FileExists(obj), choice == 2);
    }
}
