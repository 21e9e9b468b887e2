// The bitmap selection brush in the application (run under xvfb-run): the stamp it starts with, the
// panel's load button, and a brush without an image.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/tool_panel.h"
#include "app/toolbox.h"
#include "core/event_queue.h"
#include "data/brushes/selection_brush_stamp.h"
#include "files/settings.h"
#include "paint/image_file.h"
#include "tools/selection_brush.h"
#include "tools/tool_view.h"
#include "support/grid_mesh.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "support/test_main_window.h"

namespace {

std::vector<int32_t> Dispatched;

// Clicks the load button, found again each time: the panel is rebuilt when the brush changes.
void ClickLoadButton()
{
    TarnwickMainWindow->DisplayFrame();
    const TZAVglutWigits_Node* button = FindNamed(TarnwickMainWindow->ToolPanel(), GetLanguageString(474));
    ASSERT_NE(button, nullptr);
    const TZAVglutWigits_Rect rect = button->AbsoluteRect();
    for (int32_t state : {MouseDown, MouseUp})
        TarnwickMainWindow->QueueInput({int32_t(TTarnwick_InputKind::MouseButton), MouseLeft, state,
                                        rect.X + rect.Width / 2, rect.Y + rect.Height / 2},
                                       0);
    while (!TarnwickMainWindow->PendingInput().empty() || QueuedEventCount() > 0)
        TarnwickMainWindow->DisplayFrame();
}

class BitmapBrush : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        WindowId = StartTestMainWindow("app_bitmap_brush_test", 960, 640, error);
        ASSERT_NE(WindowId, 0) << error;
        TarnwickMainWindow->Resize(960, 640);
        TarnwickMainWindow->SwapAfterFrame = false;
        TarnwickMainWindow->CloseSplash();
        SetDefaultEventHandler([](TZAVEvent* event) {
            Dispatched.push_back(event->GetID());
            DispatchCommand(event);
        });
        TarnwickSettings = new TTarnwick_Settings(GetLanguageString(418));
    }

    static void TearDownTestSuite()
    {
        ChooseTool(nullptr);
        delete TarnwickSettings;
        TarnwickSettings = nullptr;
        StopTestMainWindow(WindowId);
    }

    void SetUp() override
    {
        TTarnwick_Tool* second = nullptr;
        ASSERT_TRUE(ApplicationToolbox().Brushes.Get(second, 1));
        Brush = dynamic_cast<TTarnwick_BitmapBrush*>(second);
        ASSERT_NE(Brush, nullptr) << "the bitmap brush is second in the brush list";
    }

    TTarnwick_BitmapBrush* Brush = nullptr;
    static inline int WindowId = 0;
};

TEST_F(BitmapBrush, StartsWithTheStampOfTheDataFolderBottomRowFirst)
{
    EXPECT_EQ(Brush->ImageFileName, std::string(TARNWICK_BUILD_DATA) + "Brushes/Default_Selection_Brush.bmp");
    ASSERT_EQ(Brush->Image.Width, SelectionStampSize);
    ASSERT_EQ(Brush->Image.Height, SelectionStampSize);
    int32_t wrong = 0;
    for (int32_t i = 0; i < SelectionStampSize * SelectionStampSize; i++)
        wrong += Brush->Image.Pixels[size_t(i)] !=
                 SelectionStampGrey(i % SelectionStampSize, i / SelectionStampSize);
    EXPECT_EQ(wrong, 0);
}

// The button asks for a file in the images folder; a coloured picture comes in as the mean of its
// channels and the panel hears of it. A file that is no image is refused with the message and the
// brush keeps what it had.
TEST_F(BitmapBrush, LoadButtonReadsTheChosenImageOrKeepsThePreviousOne)
{
    TemporaryFolder folder;
    constexpr int32_t Side = 64;
    std::vector<uint8_t> rgb(Side * Side * 3);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = uint8_t(i * 37 % 251);
    const std::string picture = folder.Path() + "stripes.png";
    std::string error;
    ASSERT_TRUE(SaveImageFile(picture, rgb, Side, Side, TZAVImageChannels::RGB, error)) << error;
    const std::string bad = folder.Write("broken.bmp", "BM not really a bitmap");
    TarnwickSettings->ImagesPath = folder.Path();
    ASSERT_TRUE(ChooseTool(Brush));
    TarnwickEvents_ProcessEvents();
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::OpenFile, picture);
        Dispatched.clear();
        ClickLoadButton();
        EXPECT_EQ(dialogs.Requests().at(0).StartFolder, folder.Path());
    }
    EXPECT_EQ(Brush->ImageFileName, picture);
    ASSERT_EQ(Brush->Image.Pixels.size(), size_t(Side * Side));
    for (size_t i : {0, Side + 5, 37 * Side + 50, Side * Side - 1})
        EXPECT_EQ(Brush->Image.Pixels[i], (rgb[i * 3] + rgb[i * 3 + 1] + rgb[i * 3 + 2]) / 3) << i;
    EXPECT_EQ(std::count(Dispatched.begin(), Dispatched.end(), ToolChangedCommand), 1);

    const std::vector<uint8_t> kept = Brush->Image.Pixels;
    ScriptedDialogs dialogs;
    dialogs.ExpectFile(TZAVDialogKind::OpenFile, bad);
    Dispatched.clear();
    ClickLoadButton();
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "Cannot load the image file...\n\n" + bad));
    EXPECT_EQ(Brush->ImageFileName, picture);
    EXPECT_EQ(Brush->Image.Pixels, kept);
    EXPECT_EQ(std::count(Dispatched.begin(), Dispatched.end(), ToolChangedCommand), 0);
}

// Without an image nothing is under the brush: a stroke at half strength leaves full weights.
TEST(BitmapBrushAlone, WithoutAnImageAStrokeChangesNothing)
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
    TTarnwick_SelectionBrush::Weights.Forget();
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        EXPECT_EQ(mesh.CurrentSelection->GetVSelect(vertex), 1.0f) << vertex;
}

} // namespace
