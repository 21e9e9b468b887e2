// The drawn open and save dialog: the folder list (".." and the sub-folders), the file list
// filtered by the request's patterns, the name field, a filter selector when there are several
// patterns, and quick buttons for the request's start folder and the three folders the chooser
// last returned from (kept between calls). Names starting with a dot are not listed.
//
//   folder double click        -> that folder is listed
//   file click                 -> its name goes into the name field; double click chooses it
//   name field Enter, OK       -> a folder (full, relative or "~/" path) is listed; a file is
//                                 chosen: open wants an existing one, save asks before replacing
//                                 one (No stays in the chooser)
//   Cancel, Escape, close      -> declined
//
// Only the rows in view are drawn (the list box hides the others), so a folder of thousands of
// files lists at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "widgets/message_box.h"

class TZAVglutWigits_EditField;
class TZAVglutWigits_ListBox;
class TZAVglutWigits_Text;

// The folders chosen files came from, most recent first (at most three).
const std::vector<std::string>& RecentChooserFolders();

// path made absolute against folder ("~/" is the home folder) with "." and ".." resolved.
std::string ResolveChooserPath(const std::string& folder, const std::string& path);

class TZAVglutWigits_FileChooser : public TZAVglutWigits_DialogWindow
{
public:
    TZAVglutWigits_FileChooser(TZAVglutWigits_Node* parent, const TZAVDialogRequest& request);

    void Opened() override;
    void Update() override;

    // Lists folder; false (and the chooser stays where it was) when it cannot be read.
    bool ShowFolder(const std::string& folder);
    void SelectFilter(int32_t index);
    // Enter in the name field and OK: enters a folder, or checks and chooses a file.
    void Confirm();
    const std::string& CurrentFolder() const { return Folder; }
    int32_t FilterIndex() const { return Filter; }
    // Milliseconds the last ShowFolder took to read the folder and build the rows.
    double LastListingMilliseconds() const { return ListingMilliseconds; }

    TZAVglutWigits_Text* FolderLabel = nullptr;
    TZAVglutWigits_ListBox* FolderList = nullptr;
    TZAVglutWigits_ListBox* FileList = nullptr;
    TZAVglutWigits_EditField* NameField = nullptr;
    // Null with a single pattern; opens FilterList below itself.
    TZAVglutWigits_DialogButton* FilterButton = nullptr;
    TZAVglutWigits_ListBox* FilterList = nullptr;
    // The start folder and the recent folders.
    std::vector<TZAVglutWigits_DialogButton*> PlaceButtons;
    TZAVglutWigits_DialogButton* OkButton = nullptr;
    TZAVglutWigits_DialogButton* CancelButton = nullptr;

    // What the rows report: a click, and a double click (run after the input).
    void RowClicked(TZAVglutWigits_ListBox* list, int32_t index);
    void RowOpened(TZAVglutWigits_ListBox* list, int32_t index);

private:
    void BuildPlaces(int32_t left, int32_t top, const std::string& start_folder);
    void BuildLists(int32_t top, int32_t height);
    void BuildBottomRows(int32_t top);
    // A message box on top of the chooser; true for Yes.
    bool Ask(TZAVDialogKind kind, const std::string& text);
    bool CheckChoice(std::string& path);

    TZAVDialogKind Kind;
    std::vector<TZAVDialogFilterEntry> Entries;
    std::string DefaultExtension;
    bool MustExist = false;
    bool PromptOverwrite = false;
    std::string Folder;
    int32_t Filter = 0;
    std::vector<std::string> SubFolders;
    std::vector<std::string> Files;
    const void* ShownSelection = nullptr;
    double ListingMilliseconds = 0.0;
};
