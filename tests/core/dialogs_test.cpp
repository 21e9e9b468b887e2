#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/dialogs.h"
#include "core/paths.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace {

// Runs a test-supplied function for every dialog, for checks made while the dialog is up.
class CallbackPresenter : public TZAVDialogPresenter
{
public:
    explicit CallbackPresenter(std::function<TZAVDialogAnswer(const TZAVDialogRequest&)> callback)
        : Callback(std::move(callback))
    {
        Previous = SetDialogPresenter(this);
    }
    ~CallbackPresenter() override { SetDialogPresenter(Previous); }
    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override { return Callback(request); }

private:
    std::function<TZAVDialogAnswer(const TZAVDialogRequest&)> Callback;
    TZAVDialogPresenter* Previous = nullptr;
};

TEST(Dialogs, ScriptedAnswersDecideQuestions)
{
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::YesNo, true, "Delete 3 morphs?")
        .Expect(TZAVDialogKind::YesNo, false)
        .Expect(TZAVDialogKind::OkCancel, true)
        .Expect(TZAVDialogKind::OkCancel, false);
    EXPECT_TRUE(AskYesNo(GlobalDialogHost, "Delete %d morphs?", 3));
    EXPECT_FALSE(AskYesNo(GlobalDialogHost, "Really?"));
    EXPECT_TRUE(AskOkCancel(GlobalDialogHost, "Continue?"));
    EXPECT_FALSE(AskOkCancel(GlobalDialogHost, "Continue?"));
    ShowError(GlobalDialogHost, "Bad index %d", -1);
    ShowMessage(GlobalDialogHost, "Saved");

    ASSERT_EQ(dialogs.Requests().size(), 6u);
    EXPECT_EQ(dialogs.Requests()[4].Text, "Bad index -1");
    EXPECT_FALSE(dialogs.Shown(TZAVDialogKind::Message, "Bad index"));
}

TEST(Dialogs, DefaultPresenterPrintsAndAnswersNegatively)
{
    UserFoldersInTemp folders;
    testing::internal::CaptureStderr();
    bool yes = AskYesNo(GlobalDialogHost, "Overwrite %s?", "figure.obj");
    bool ok = AskOkCancel(GlobalDialogHost, "Go on?");
    float colour[3] = {0.25f, 0.5f, 0.75f};
    bool chosen_colour = ChooseColour(GlobalDialogHost, colour, nullptr);
    std::string result = "previous", start_folder = "/start/";
    bool opened = AskOpenFileName(GlobalDialogHost, result, start_folder, "OBJ", "obj", nullptr, true);
    std::string printed = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(yes);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(chosen_colour);
    EXPECT_EQ(colour[1], 0.5f);
    EXPECT_FALSE(opened);
    EXPECT_EQ(result, "");
    EXPECT_EQ(start_folder, "/start/");
    EXPECT_NE(printed.find("Confirm...\nOverwrite figure.obj?"), std::string::npos) << printed;
    EXPECT_EQ(DialogOpenFlag, 0);
}

using Triple = std::vector<int>;

Triple Bytes(const uint8_t colour[3])
{
    return {colour[0], colour[1], colour[2]};
}

TEST(Dialogs, ChooseColourPreselectsTruncatedBytesAndKeepsCustomColours)
{
    std::vector<TZAVDialogRequest> seen;
    TZAVDialogAnswer next;
    CallbackPresenter presenter([&](const TZAVDialogRequest& request) {
        seen.push_back(request);
        if (request.CustomColours != nullptr && seen.size() == 1)
            request.CustomColours[0] = 200; // the user edits a custom colour
        return next;
    });

    next.Accepted = true;
    next.Colour[0] = 51;
    next.Colour[1] = 0;
    next.Colour[2] = 255;
    const float initial[3] = {1.0f, 0.5f, 0.0f};
    float colour[3] = {-1, -1, -1};
    ASSERT_TRUE(ChooseColour(GlobalDialogHost, colour, initial));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].HasInitialColour);
    EXPECT_EQ(Bytes(seen[0].InitialColour), (Triple{255, 127, 0}));
    EXPECT_EQ((std::vector<float>(colour, colour + 3)), (std::vector<float>{0.2f, 0.0f, 1.0f}));

    // Cancel leaves the colour alone; the custom table and last result persist between calls.
    next.Accepted = false;
    const float odd[3] = {2.0f, -0.5f, std::nanf("")};
    ASSERT_FALSE(ChooseColour(GlobalDialogHost, colour, odd));
    EXPECT_FLOAT_EQ(colour[0], 0.2f);
    EXPECT_EQ(Bytes(seen[1].InitialColour), (Triple{255, 0, 0}));
    ASSERT_NE(seen[1].CustomColours, nullptr);
    EXPECT_EQ(seen[1].CustomColours[0], 200);

    ASSERT_FALSE(ChooseColour(GlobalDialogHost, colour, nullptr));
    EXPECT_FALSE(seen[2].HasInitialColour);
    EXPECT_EQ(seen[2].InitialColour[0], 51);
    EXPECT_FALSE(ChooseColour(GlobalDialogHost, nullptr, initial));
    EXPECT_EQ(seen.size(), 3u);
}

TEST(Dialogs, FileDialogsOfferCleanNamesAndFilters)
{
    TemporaryFolder folder;
    std::string existing = folder.Write("arm_leg_1.obj", "v 0 0 0\n");
    ScriptedDialogs dialogs;
    dialogs.ExpectFile(TZAVDialogKind::OpenFile, existing, "arm_leg_1")
        .ExpectFile(TZAVDialogKind::OpenFile, folder.Path() + "absent.obj")
        .ExpectFile(TZAVDialogKind::SaveFile, "/elsewhere/new.obj")
        .Expect(TZAVDialogKind::SaveFile, false);

    std::string result, start_folder = "/start/";
    EXPECT_TRUE(
        AskOpenFileName(GlobalDialogHost, result, start_folder, "Wavefront OBJ", "obj", "arm/leg:1", true));
    EXPECT_EQ(result, existing);
    EXPECT_EQ(start_folder, folder.Path());
    // The open variant reports whether the chosen file is there.
    EXPECT_FALSE(
        AskOpenFileName(GlobalDialogHost, result, start_folder, "Any", "", "a\"b*c?d<e>f|g\\h", false));
    EXPECT_EQ(start_folder, folder.Path());
    EXPECT_TRUE(AskSaveFileName(GlobalDialogHost, result, start_folder, "OBJ", "obj", nullptr, false));
    EXPECT_EQ(result, "/elsewhere/new.obj");
    EXPECT_EQ(start_folder, folder.Path());
    EXPECT_FALSE(AskSaveFileName(GlobalDialogHost, result, start_folder, "OBJ", "obj", nullptr, true));
    EXPECT_EQ(result, "");

    const std::vector<TZAVDialogRequest>& requests = dialogs.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].DefaultName, "arm_leg_1");
    EXPECT_EQ(requests[0].StartFolder, "/start/");
    EXPECT_EQ(requests[0].DefaultExtension, "obj");
    EXPECT_TRUE(requests[0].MustExist);
    EXPECT_FALSE(requests[0].PromptOverwrite);
    std::vector<TZAVDialogFilterEntry> filter = SplitDialogFilter(requests[0].Filter);
    ASSERT_EQ(filter.size(), 1u);
    EXPECT_EQ(filter[0].Description, "Wavefront OBJ");
    EXPECT_EQ(filter[0].Pattern, "*.obj");
    EXPECT_EQ(requests[1].DefaultName, "a_b_c_d_e_f_g_h");
    EXPECT_EQ(SplitDialogFilter(requests[1].Filter)[0].Pattern, "*.*");
    EXPECT_TRUE(requests[2].PromptOverwrite);
    EXPECT_FALSE(requests[2].MustExist);
}

TEST(Dialogs, FilterListsKeepTheChosenEntry)
{
    const char filter_list[] = "PNG\0*.png\0JPEG\0*.jpg\0BMP\0*.bmp\0";
    ScriptedDialogs dialogs;
    dialogs.ExpectFile(TZAVDialogKind::SaveFile, "/maps/skin.jpg", "", 1)
        .ExpectFile(TZAVDialogKind::OpenFile, "/maps/absent.png", "", 7);

    std::string result, start_folder = "/start/";
    int32_t filter_index = 2;
    EXPECT_TRUE(AskSaveFileNameFromList(GlobalDialogHost, result, start_folder, filter_list, "skin", true,
                                        &filter_index));
    EXPECT_EQ(filter_index, 1);
    EXPECT_EQ(start_folder, "/maps/");
    // The open variant takes the name as it comes; an index past the list is clamped to it.
    EXPECT_TRUE(AskOpenFileNameFromList(GlobalDialogHost, result, start_folder, filter_list, nullptr, false,
                                        &filter_index));
    EXPECT_EQ(result, "/maps/absent.png");
    EXPECT_EQ(filter_index, 2);

    const std::vector<TZAVDialogRequest>& requests = dialogs.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].FilterIndex, 2);
    EXPECT_EQ(requests[1].FilterIndex, 1);
    std::vector<TZAVDialogFilterEntry> filter = SplitDialogFilter(requests[0].Filter);
    ASSERT_EQ(filter.size(), 3u);
    EXPECT_EQ(filter[2].Description, "BMP");
    EXPECT_EQ(filter[2].Pattern, "*.bmp");
}

std::vector<std::string>* guard_events = nullptr;

TEST(Dialogs, FlagAndHostCallbacksBracketEveryDialog)
{
    UserFoldersInTemp folders;
    std::vector<std::string> events;
    guard_events = &events;
    TZAVDialogHost host;
    host.BeforeDialog = [] { guard_events->push_back("before " + std::to_string(DialogOpenFlag)); };
    host.AfterDialog = [] { guard_events->push_back("after " + std::to_string(DialogOpenFlag)); };

    int presented = 0;
    CallbackPresenter presenter([&](const TZAVDialogRequest& request) {
        presented++;
        events.push_back("open " + std::to_string(DialogOpenFlag) + " marker " +
                         std::to_string(DialogCrashMarkerPresent()));
        // A second dialog while this one is up must not open.
        if (request.Kind == TZAVDialogKind::YesNo) {
            EXPECT_FALSE(AskYesNo(host, "nested"));
        }
        TZAVDialogAnswer answer;
        answer.Accepted = true;
        answer.Path = "/tmp/x.obj";
        return answer;
    });

    EXPECT_TRUE(AskYesNo(host, "outer"));
    EXPECT_EQ(presented, 1);
    std::string result, start_folder;
    EXPECT_TRUE(AskSaveFileName(host, result, start_folder, "OBJ", "obj", nullptr, false));
    ShowError(host, "error");
    guard_events = nullptr;

    EXPECT_EQ(events, (std::vector<std::string>{"before 0", "open 1 marker 0", "after 0", "before 0",
                                                "open 1 marker 1", "after 0", "before 0", "open 1 marker 0",
                                                "after 0"}));
    EXPECT_FALSE(DialogCrashMarkerPresent());
    EXPECT_EQ(DialogOpenFlag, 0);
}

TEST(Dialogs, LocateFileTriesTheHintFolderThenAsks)
{
    TemporaryFolder folder;
    std::string figure = folder.Write("figure.obj", "");
    std::string found_elsewhere = folder.Write("chosen.obj", "");

    std::string path = figure;
    EXPECT_TRUE(LocateFile(GlobalDialogHost, path, nullptr));
    EXPECT_EQ(path, figure);

    // A Windows path whose name differs from the disk in case only.
    path = "C:\\Poser\\Runtime\\FIGURE.OBJ";
    EXPECT_TRUE(LocateFile(GlobalDialogHost, path, folder.Path().c_str()));
    EXPECT_EQ(path, figure);

    ScriptedDialogs dialogs;
    dialogs
        .Expect(TZAVDialogKind::YesNo, true,
                "The file 'lost.obj' cannot be found. Do you want to find it now?")
        .ExpectFile(TZAVDialogKind::OpenFile, found_elsewhere, "lost.obj")
        .Expect(TZAVDialogKind::YesNo, false)
        .Expect(TZAVDialogKind::YesNo, true)
        .ExpectFile(TZAVDialogKind::OpenFile, folder.Path() + "also_missing.obj");
    path = "/gone/lost.obj";
    EXPECT_TRUE(LocateFile(GlobalDialogHost, path, folder.Path().c_str()));
    EXPECT_EQ(path, found_elsewhere);
    EXPECT_EQ(dialogs.Requests()[1].StartFolder, folder.Path());

    path = "/gone/lost.obj";
    EXPECT_FALSE(LocateFile(GlobalDialogHost, path, ""));
    EXPECT_EQ(path, "/gone/lost.obj");
    EXPECT_FALSE(LocateFile(GlobalDialogHost, path, ""));
    EXPECT_EQ(path, "/gone/lost.obj");
}

TEST(Dialogs, OpenDocumentPassesThePathAsOneArgument)
{
    TemporaryFolder folder;
    ScopedEnvironment path_variable("PATH", folder.Path());
    {
        ScriptedDialogs dialogs;
        EXPECT_FALSE(OpenDocument(GlobalDialogHost, "/docs/manual.pdf"));
        EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Error opening the document\n/docs/manual.pdf"));
    }

    std::string opened = folder.Path() + "opened.txt";
    std::string script = "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened + ".part' && /bin/mv '" + opened +
                         ".part' '" + opened + "'\n";
    std::string launcher = folder.Write("xdg-open", script);
    ASSERT_EQ(chmod(launcher.c_str(), 0755), 0);

    const std::string document = "/docs/a b; touch " + folder.Path() + "pwned $(id).pdf";
    EXPECT_TRUE(OpenDocument(GlobalDialogHost, document.c_str()));
    // The launcher runs detached; wait (bounded) for it to leave its note.
    for (int attempt = 0; attempt < 500 && !FileExists(opened); attempt++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(TemporaryFolder::Read(opened), document);
    EXPECT_FALSE(FileExists(folder.Path() + "pwned"));
}

} // namespace
