// The bitmap selection brush in the application: the stamp it starts with from the build's Data
// folder, the panel's load button (run under xvfb-run), and a brush without an image.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/toolbox.h"
#include "app/tool_panel.h"
#include "core/event_queue.h"
#include "data/brushes/selection_brush_stamp.h"
#include "files/project.h"
#include "files/settings.h"
#include "paint/image_file.h"
#include "tools/selection_brush.h"
#include "tools/tool_view.h"
#include "support/grid_mesh.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "support/test_main_window.h"

namespace {

constexpr int32_t WindowWidth = 960;
constexpr int32_t WindowHeight = 640;

std::vector<int32_t> Dispatched;

void RecordAndDispatch(TZAVEvent* event)
{
    Dispatched.push_back(event->GetID());
    DispatchCommand(event);
}

void Queue(TTarnwick_InputKind kind, int32_t button, int32_t state, int32_t x, int32_t y)
{
    TarnwickMainWindow->QueueInput({int32_t(kind), button, state, x, y}, 0);
    while (!TarnwickMainWindow->PendingInput().empty())
        TarnwickMainWindow->DisplayFrame();
}

void Click(const TZAVglutWigits_Node* node)
{
    ASSERT_NE(node, nullptr);
    const TZAVglutWigits_Rect rect = node->AbsoluteRect();
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, rect.X + rect.Width / 2,
          rect.Y + rect.Height / 2);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, rect.X + rect.Width / 2,
          rect.Y + rect.Height / 2);
    while (QueuedEventCount() > 0)
        TarnwickEvents_ProcessEvents();
}

// Found again after each load: the panel is rebuilt when the brush changes.
const TZAVglutWigits_Node* LoadButton()
{
    TarnwickMainWindow->DisplayFrame();
    return FindNamed(TarnwickMainWindow->ToolPanel(), GetLanguageString(474));
}

class BitmapBrush : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        WindowId = StartTestMainWindow("app_bitmap_brush_test", WindowWidth, WindowHeight, error);
        ASSERT_NE(WindowId, 0) << error;
        TarnwickMainWindow->Resize(WindowWidth, WindowHeight);
        TarnwickMainWindow->SwapAfterFrame = false;
        TarnwickMainWindow->CloseSplash();
        SetDefaultEventHandler(RecordAndDispatch);
    }

    static void TearDownTestSuite() { StopTestMainWindow(WindowId); }

    void SetUp() override
    {
        Settings = std::make_unique<TTarnwick_Settings>(GetLanguageString(418));
        TarnwickSettings = Settings.get();
        TarnwickProject = new TTarnwick_Project;
        TTarnwick_Tool* second = nullptr;
        ASSERT_TRUE(ApplicationToolbox().Brushes.Get(second, 1));
        Brush = dynamic_cast<TTarnwick_BitmapBrush*>(second);
        ASSERT_NE(Brush, nullptr) << "the bitmap brush is second in the brush list";
    }

    void TearDown() override
    {
        TarnwickEvents_ProcessEvents();
        ChooseTool(nullptr);
        TarnwickEvents_ProcessEvents();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
        Settings.reset();
    }

    std::unique_ptr<TTarnwick_Settings> Settings;
    TTarnwick_BitmapBrush* Brush = nullptr;
    static inline int WindowId = 0;
};

TEST_F(BitmapBrush, StartsWithTheStampOfTheDataFolderBottomRowFirst)
{
    EXPECT_EQ(Brush->ImageFileName, std::string(TARNWICK_BUILD_DATA) + "Brushes/Default_Selection_Brush.bmp");
    ASSERT_EQ(Brush->Image.Width, SelectionStampSize);
    ASSERT_EQ(Brush->Image.Height, SelectionStampSize);
    int32_t wrong = 0;
    for (int32_t row = 0; row < SelectionStampSize; row++)
        for (int32_t column = 0; column < SelectionStampSize; column++)
            wrong += Brush->Image.Pixels[size_t(row * SelectionStampSize + column)] !=
                     SelectionStampGrey(column, row);
    EXPECT_EQ(wrong, 0);
    // Firm in the middle, nothing in the corners.
    EXPECT_GT(SelectionStampGrey(SelectionStampSize / 2, SelectionStampSize / 2), 160);
    EXPECT_EQ(SelectionStampGrey(0, 0), 0);
}

// The panel's button asks for a file in the images folder; a coloured picture comes in as the
// mean of its channels and the panel hears of it. A file that is no image is refused with the
// message and the brush keeps what it had.
TEST_F(BitmapBrush, LoadButtonReadsTheChosenImageOrKeepsThePreviousOne)
{
    TemporaryFolder folder;
    constexpr int32_t Side = 64;
    std::vector<uint8_t> rgb(Side * Side * 3);
    for (int32_t i = 0; i < Side * Side; i++) {
        rgb[size_t(i) * 3] = uint8_t(i % Side * 4);
        rgb[size_t(i) * 3 + 1] = uint8_t(i / Side * 4);
        rgb[size_t(i) * 3 + 2] = uint8_t(i % 7 * 30);
    }
    const std::string picture = folder.Path() + "stripes.png";
    std::string error;
    ASSERT_TRUE(SaveImageFile(picture, rgb, Side, Side, TZAVImageChannels::RGB, error)) << error;
    const std::string bad = folder.Write("broken.bmp", "BM not really a bitmap");
    Settings->ImagesPath = folder.Path();

    ASSERT_TRUE(ChooseTool(Brush));
    TarnwickEvents_ProcessEvents();
    TarnwickMainWindow->DisplayFrame();
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::OpenFile, picture);
        Dispatched.clear();
        Click(LoadButton());
        ASSERT_EQ(dialogs.Requests().size(), 1u);
        EXPECT_EQ(dialogs.Requests()[0].StartFolder, folder.Path());
    }
    EXPECT_EQ(Brush->ImageFileName, picture);
    ASSERT_EQ(Brush->Image.Width, Side);
    ASSERT_EQ(Brush->Image.Height, Side);
    for (size_t i : {size_t(0), size_t(Side + 5), size_t(Side * Side - 1), size_t(37 * Side + 50)})
        EXPECT_EQ(Brush->Image.Pixels[i], (rgb[i * 3] + rgb[i * 3 + 1] + rgb[i * 3 + 2]) / 3) << i;
    EXPECT_EQ(std::count(Dispatched.begin(), Dispatched.end(), ToolChangedCommand), 1);

    const std::vector<uint8_t> kept = Brush->Image.Pixels;
    ScriptedDialogs dialogs;
    dialogs.ExpectFile(TZAVDialogKind::OpenFile, bad);
    Dispatched.clear();
    Click(LoadButton());
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "Cannot load the image file...\n\n" + bad));
    EXPECT_EQ(Brush->ImageFileName, picture);
    EXPECT_EQ(Brush->Image.Pixels, kept);
    EXPECT_EQ(std::count(Dispatched.begin(), Dispatched.end(), ToolChangedCommand), 0);
}

// Without an image nothing is under the brush: a stroke at half strength leaves full weights.
TEST_F(BitmapBrush, WithoutAnImageAStrokeChangesNothing)
{
    TTarnwick_Mesh mesh;
    MakeGrid(mesh, 4, 4, 0.1f);
    mesh.BuildVisiblePolygons();
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        mesh.CurrentSelection->SetVSelect(vertex, 1.0f);
    TTarnwick_ToolView view;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    view.SetCamera(identity, identity, 100, 100, false);
    TTarnwick_BitmapBrush brush;
    brush.Radius = 0.25f;
    brush.Strength = 0.5f;
    brush.Activate(mesh);
    brush.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, 0.0f, 0.2f);
    brush.MouseButton(mesh, view, MouseButton_Left, ButtonState_Released, 0.0f, 0.2f);
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        EXPECT_EQ(mesh.CurrentSelection->GetVSelect(vertex), 1.0f) << vertex;
    TTarnwick_SelectionBrush::Weights.Forget();
}

} // namespace
