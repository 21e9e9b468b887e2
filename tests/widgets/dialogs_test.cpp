// The drawn dialogs behind core/dialogs, in a real freeglut window (under xvfb-run -a): each call
// of a core dialog function runs the presenter's loop, and a script of steps, one per loop step,
// clicks and types into the dialog as a user would. Screenshots of each dialog go into the build
// folder's screenshots/.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/dialogs.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"
#include "support/widget_window.h"
#include "widgets/colour_chooser.h"
#include "widgets/dialog_presenter.h"
#include "widgets/edit_field.h"
#include "widgets/file_chooser.h"
#include "widgets/gauge.h"
#include "widgets/list_box.h"
#include "widgets/master.h"
#include "widgets/message_box.h"
#include "widgets/text.h"

namespace {

constexpr int32_t WindowWidth = 800;
constexpr int32_t WindowHeight = 600;
constexpr int32_t KeyCtrlA = 1;

int64_t fake_now = 0;
int64_t FakeClock()
{
    return fake_now;
}

using TStep = std::function<void(TZAVglutWigits_DialogWindow& dialog)>;

std::vector<std::string> Names(const TZAVglutWigits_ListBox* list)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < list->Count(); i++)
        names.push_back(list->Item(i)->Name);
    return names;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : " ") + line;
    return text;
}

class DrawnDialogs : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(StartWidgetGlut(error)) << error;
        WindowId = CreateWidgetTestWindow("widgets_dialogs_test", WindowWidth, WindowHeight);
        // freeglut wants one for the events the dialog loop handles; the loop draws itself.
        glutDisplayFunc([] {});
        Master = std::make_unique<TZAVglutWigits_Master>(WindowId, WindowWidth, WindowHeight);
        Master->Clock = FakeClock;
        Presenter = std::make_unique<TZAVglutWigits_DialogPresenter>(Master.get());
        Presenter->Install();
        Presenter->IterationHook = [this](TZAVglutWigits_Master&, TZAVglutWigits_DialogWindow& dialog) {
            if (Script.empty()) {
                ADD_FAILURE() << "No step left for the dialog \"" << dialog.Name << "\"";
                dialog.Decline();
                return;
            }
            TStep step = std::move(Script.front());
            Script.pop_front();
            step(dialog);
        };
    }
    void TearDown() override
    {
        EXPECT_TRUE(Script.empty()) << Script.size() << " steps not run";
        Presenter.reset();
        Master.reset();
        if (WindowId > 0)
            glutDestroyWindow(WindowId);
        glutMainLoopEvent();
    }

    void Steps(std::initializer_list<TStep> steps) { Script.insert(Script.end(), steps); }

    // A click at the node's centre, a second after the last one so that no two pair up.
    void Click(const TZAVglutWigits_Node* node)
    {
        fake_now += 1000;
        Press(node);
    }
    void DoubleClick(const TZAVglutWigits_Node* node)
    {
        fake_now += 1000;
        Press(node);
        Press(node);
    }
    void Press(const TZAVglutWigits_Node* node)
    {
        const int32_t x = node->AbsX + node->Width / 2, y = node->AbsY + node->Height / 2;
        Master->ProcessMouseButton(MouseLeft, MouseDown, x, y);
        Master->ProcessMouseButton(MouseLeft, MouseUp, x, y);
    }
    void Key(int32_t key) { Master->ProcessKey(key); }
    // Replaces the field's text as a user would, Enter included.
    void TypeInto(const TZAVglutWigits_Node* field, const std::string& text)
    {
        Click(field);
        Key(KeyCtrlA);
        for (char c : text)
            Key(static_cast<uint8_t>(c));
        Key(DialogKeyEnter);
    }
    void Screenshot(const std::string& name)
    {
        Master->Refresh(false);
        const TWidgetFrame frame = TWidgetFrame::ReadBack(WindowWidth, WindowHeight);
        std::string error;
        EXPECT_TRUE(SaveScreenshot(name, frame.Rgb.data(), WindowWidth, WindowHeight, 3, error)) << error;
    }

    int WindowId = 0;
    std::unique_ptr<TZAVglutWigits_Master> Master;
    std::unique_ptr<TZAVglutWigits_DialogPresenter> Presenter;
    std::deque<TStep> Script;
    TZAVDialogHost Host;
};

#define AS(Type, name, dialog)                                                                               \
    auto* name = dynamic_cast<Type*>(&(dialog));                                                             \
    ASSERT_NE(name, nullptr) << "the open dialog is \"" << (dialog).Name << "\""

} // namespace

TEST_F(DrawnDialogs, MessageBoxesAnswerByButtonsKeysAndClosingAndBlockTheWindowBehind)
{
    int32_t presses_behind = 0;
    auto* behind = new TZAVglutWigits_DialogButton(Master.get(), "Behind", [&] { presses_behind++; });
    behind->X = behind->Y = 10;
    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_MessageBox, box, dialog);
               EXPECT_EQ(box->Name, "Confirm...");
               EXPECT_EQ(box->DefaultButton->Name, "Yes");
               ASSERT_NE(box->CancelButton, nullptr);
               EXPECT_EQ(box->CancelButton->Name, "No");
               Screenshot("dialog_yes_no.png");
               Click(behind);
               Click(box->DefaultButton);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_MessageBox, box, dialog);
               Click(box->CancelButton);
           },
           [&](TZAVglutWigits_DialogWindow&) { Key(DialogKeyEscape); },
           [&](TZAVglutWigits_DialogWindow& dialog) { Click(dialog.CloseButton); },
           [&](TZAVglutWigits_DialogWindow&) { Key(DialogKeyEnter); }});
    EXPECT_TRUE(AskYesNo(Host, "Replace the figure %s?", "Alma"));
    EXPECT_EQ(presses_behind, 0);
    EXPECT_FALSE(AskYesNo(Host, "No"));
    EXPECT_FALSE(AskYesNo(Host, "Escape"));
    EXPECT_FALSE(AskYesNo(Host, "Closed"));
    EXPECT_TRUE(AskYesNo(Host, "Enter"));

    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_MessageBox, box, dialog);
               EXPECT_EQ(box->DefaultButton->Name, "OK");
               EXPECT_EQ(box->CancelButton->Name, "Cancel");
               Key(DialogKeyEscape);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_MessageBox, box, dialog);
               Click(box->DefaultButton);
           }});
    EXPECT_FALSE(AskOkCancel(Host, "Cancelled"));
    EXPECT_TRUE(AskOkCancel(Host, "Accepted"));

    // A long text wraps inside the box; a box with OK alone closes on Escape too.
    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
        AS(TZAVglutWigits_MessageBox, box, dialog);
        EXPECT_EQ(box->Name, "Error...");
        EXPECT_EQ(box->CancelButton, nullptr);
        EXPECT_GT(box->Lines.size(), 2u);
        for (const std::string& line : box->Lines)
            EXPECT_LE(box->TextWidth(line), box->Width - 32) << line;
        EXPECT_EQ(box->Lines.back(), "Second paragraph.");
        Screenshot("dialog_error.png");
        Key(DialogKeyEscape);
    }});
    ShowError(Host,
              "The texture %s cannot be read: the file ends before its header says it should, so the image "
              "is left out and the material keeps its colour.\nSecond paragraph.",
              "/home/someone/figures/textures/skin_diffuse_4096.jpg");

    // Without a Master the presenter answers as the one it replaced, here the default one.
    Presenter->Uninstall();
    TZAVglutWigits_DialogPresenter windowless(nullptr);
    windowless.Install();
    EXPECT_FALSE(AskYesNo(Host, "Nobody to ask"));
}

TEST_F(DrawnDialogs, FileChooserFiltersNavigatesAndPicksOrCancels)
{
    TemporaryFolder folder;
    const std::string root = folder.Path();
    for (const char* name : {"a.obj", "b.OBJ", "c.txt", ".hidden.obj"})
        folder.Write(name, "");
    ASSERT_EQ(mkdir((root + "sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + ".git").c_str(), 0755), 0);
    folder.Write("sub/d.obj", "");
    const char* filters = "Meshes\0*.obj\0Text files\0*.txt\0";

    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_EQ(chooser->CurrentFolder(), root);
               EXPECT_EQ(Names(chooser->FolderList), (std::vector<std::string>{"..", "sub"}));
               EXPECT_EQ(Names(chooser->FileList), (std::vector<std::string>{"a.obj", "b.OBJ"}));
               Screenshot("dialog_open.png");
               Click(chooser->FileList->Item(1));
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_EQ(chooser->NameField->GetText(), "b.OBJ");
               Click(chooser->OkButton);
           }});
    std::string result;
    std::string start = root;
    int32_t filter_index = 0;
    EXPECT_TRUE(AskOpenFileNameFromList(Host, result, start, filters, "", false, &filter_index));
    EXPECT_EQ(result, root + "b.OBJ");

    // Into a folder by double click, by typing, by the quick button of the last folder; then the
    // second filter, and a double click on the file.
    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_EQ(chooser->CurrentFolder(), root + "sub/");
               EXPECT_EQ(Names(chooser->FileList), std::vector<std::string>{"d.obj"});
               ASSERT_EQ(chooser->PlaceButtons.size(), 2u);
               EXPECT_EQ(std::string(chooser->PlaceButtons[1]->GetCaption()), root);
               DoubleClick(chooser->FolderList->Item(0));
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_EQ(chooser->CurrentFolder(), root);
               TypeInto(chooser->NameField, "./sub/../sub");
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_EQ(chooser->CurrentFolder(), root + "sub/");
               EXPECT_EQ(chooser->NameField->GetText(), "");
               Click(chooser->PlaceButtons[1]);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_EQ(chooser->CurrentFolder(), root);
               ASSERT_NE(chooser->FilterButton, nullptr);
               Click(chooser->FilterButton);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               ASSERT_TRUE(chooser->FilterList->Shown);
               Screenshot("dialog_open_filters.png");
               Click(chooser->FilterList->Item(1));
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_FALSE(chooser->FilterList->Shown);
               EXPECT_EQ(chooser->FilterButton->Name, "Text files");
               ASSERT_EQ(Names(chooser->FileList), std::vector<std::string>{"c.txt"});
               DoubleClick(chooser->FileList->Item(0));
           }});
    start = root + "sub";
    EXPECT_TRUE(AskOpenFileNameFromList(Host, result, start, filters, "", true, &filter_index));
    EXPECT_EQ(result, root + "c.txt");
    EXPECT_EQ(filter_index, 1);
    EXPECT_EQ(start, root);

    // A missing file is refused with a message; Escape then cancels, emptying the result.
    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               TypeInto(chooser->NameField, "missing.obj");
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_MessageBox, box, dialog);
               EXPECT_NE(Joined(box->Lines).find("missing.obj File not found."), std::string::npos);
               Key(DialogKeyEnter);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               Key(DialogKeyEscape);
           }});
    EXPECT_FALSE(AskOpenFileName(Host, result, start, "Meshes", "obj", "", true));
    EXPECT_EQ(result, "");
    EXPECT_EQ(start, root);
}

TEST_F(DrawnDialogs, SaveAsksBeforeReplacingAndNoStaysInTheChooser)
{
    TemporaryFolder folder;
    const std::string root = folder.Path();
    folder.Write("arm.obj", "");
    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               EXPECT_EQ(chooser->NameField->GetText(), "arm");
               Click(chooser->OkButton);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_MessageBox, box, dialog);
               EXPECT_NE(Joined(box->Lines).find("arm.obj already exists"), std::string::npos);
               Screenshot("dialog_replace.png");
               Click(box->CancelButton);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_FileChooser, chooser, dialog);
               Click(chooser->OkButton);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_MessageBox, box, dialog);
               Click(box->DefaultButton);
           }});
    std::string result;
    std::string start = root;
    EXPECT_TRUE(AskSaveFileName(Host, result, start, "Meshes", "obj", "arm", false));
    EXPECT_EQ(result, root + "arm.obj");

    // A new name needs no question.
    Steps({[&](TZAVglutWigits_DialogWindow&) { Key(DialogKeyEnter); }});
    EXPECT_TRUE(AskSaveFileName(Host, result, start, "Meshes", "obj", "leg", false));
    EXPECT_EQ(result, root + "leg.obj");
}

TEST_F(DrawnDialogs, FolderOfFiveThousandFilesLists)
{
    TemporaryFolder folder;
    for (int32_t i = 0; i < 5000; i++)
        folder.Write("scan_" + std::to_string(10000 + i) + ".obj", "");
    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
        AS(TZAVglutWigits_FileChooser, chooser, dialog);
        EXPECT_EQ(chooser->FileList->Count(), 5000);
        const auto start = std::chrono::steady_clock::now();
        Master->Refresh(false);
        const double frame =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("5000 files: listing and rows %.1f ms, a frame %.1f ms with %d draw calls\n",
                    chooser->LastListingMilliseconds(), frame, Master->LastFrameDrawCalls);
        EXPECT_LT(Master->LastFrameDrawCalls, 300);
        Screenshot("dialog_open_5000.png");
        Key(DialogKeyEscape);
    }});
    std::string result;
    std::string start = folder.Path();
    EXPECT_FALSE(AskOpenFileName(Host, result, start, "Meshes", "obj", "", false));
}

TEST_F(DrawnDialogs, ColourChooserPreselectsKeepsScalesInStepAndKeepsCustomColours)
{
    Steps({[&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_ColourChooser, chooser, dialog);
               const uint8_t* colour = chooser->Colour();
               EXPECT_EQ((std::vector<int32_t>{colour[0], colour[1], colour[2]}),
                         (std::vector<int32_t>{255, 127, 0}));
               EXPECT_EQ(chooser->Fields[ChannelGreen]->GetText(), "127");
               EXPECT_EQ(chooser->Fields[ChannelHue]->GetText(), "30");
               EXPECT_EQ(chooser->Fields[ChannelSaturation]->GetText(), "100");
               Screenshot("dialog_colour.png");
               // A press a quarter along the red bar.
               const TZAVglutWigits_Gauge* red = chooser->Gauges[ChannelRed];
               const int32_t x =
                   red->AbsX + red->BorderWidth + 1 + (red->Width - 2 * (red->BorderWidth + 1)) / 4;
               Master->ProcessMouseButton(MouseLeft, MouseDown, x, red->AbsY + 3);
               Master->ProcessMouseButton(MouseLeft, MouseUp, x, red->AbsY + 3);
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_ColourChooser, chooser, dialog);
               EXPECT_NEAR(chooser->Colour()[0], 64, 2);
               EXPECT_EQ(chooser->Fields[ChannelRed]->GetText(), std::to_string(chooser->Colour()[0]));
               // Green leads now: the hue moved from orange to yellow-green.
               EXPECT_EQ(chooser->Fields[ChannelHue]->GetText(), "90");
               TypeInto(chooser->Fields[ChannelGreen], "200");
           },
           [&](TZAVglutWigits_DialogWindow& dialog) {
               AS(TZAVglutWigits_ColourChooser, chooser, dialog);
               EXPECT_EQ(chooser->Colour()[1], 200);
               Click(chooser->OkButton);
           }});
    float colour[3] = {0.0f, 0.0f, 0.0f};
    const float orange[3] = {1.0f, 0.5f, 0.0f};
    ASSERT_TRUE(ChooseColour(Host, colour, orange));
    EXPECT_NEAR(colour[0], 64.0f / 255.0f, 2.5f / 255.0f);
    EXPECT_FLOAT_EQ(colour[1], 200.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], 0.0f);

    // A custom colour stored in a cancelled chooser is there the next time; cancelling leaves the
    // caller's colour.
    Steps(
        {[&](TZAVglutWigits_DialogWindow& dialog) {
             AS(TZAVglutWigits_ColourChooser, chooser, dialog);
             Click(chooser->Swatches[5]);
             TypeInto(chooser->Fields[ChannelRed], "10");
             TypeInto(chooser->Fields[ChannelGreen], "20");
             TypeInto(chooser->Fields[ChannelBlue], "30");
             Click(chooser->AddCustomButton);
             EXPECT_EQ(chooser->SelectedSlot(), 6);
             TypeInto(chooser->Fields[ChannelSaturation], "0");
         },
         [&](TZAVglutWigits_DialogWindow& dialog) {
             AS(TZAVglutWigits_ColourChooser, chooser, dialog);
             const uint8_t* grey = chooser->Colour();
             EXPECT_EQ((std::vector<int32_t>{grey[0], grey[1], grey[2]}), (std::vector<int32_t>{30, 30, 30}));
             Key(DialogKeyEscape);
         },
         [&](TZAVglutWigits_DialogWindow& dialog) {
             AS(TZAVglutWigits_ColourChooser, chooser, dialog);
             Click(chooser->Swatches[5]);
             Click(chooser->OkButton);
         }});
    const float kept[3] = {0.2f, 0.3f, 0.4f};
    std::copy(kept, kept + 3, colour);
    const float light[3] = {0.9f, 0.9f, 0.9f};
    EXPECT_FALSE(ChooseColour(Host, colour, light));
    EXPECT_EQ(std::vector<float>(colour, colour + 3), std::vector<float>(kept, kept + 3));
    ASSERT_TRUE(ChooseColour(Host, colour, nullptr));
    EXPECT_FLOAT_EQ(colour[0], 10.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[1], 20.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], 30.0f / 255.0f);
}
