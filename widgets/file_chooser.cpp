// The file chooser: folder and file lists, name field, filter selector and quick folder buttons.
//
// [SECTION] Paths and recent folders
// [SECTION] Parts
// [SECTION] Building
// [SECTION] Listing
// [SECTION] Choosing
#include "widgets/file_chooser.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "core/paths.h"
#include "core/report.h"
#include "widgets/edit_field.h"
#include "widgets/font.h"
#include "widgets/list_box.h"
#include "widgets/master.h"
#include "widgets/scroll_bar.h"
#include "widgets/text.h"

namespace {

constexpr int32_t Margin = 12;
constexpr int32_t Gap = 6;
constexpr int32_t ChooserWidth = 640;
constexpr int32_t ListHeight = 240;
constexpr int32_t FolderListWidth = 200;
constexpr int32_t PlaceButtonWidth = 150;
constexpr int32_t FilterButtonWidth = 300;
constexpr int32_t FilterRowsShown = 8;
constexpr size_t RecentFolderCount = 3;
constexpr const char* Ellipsis = "\xE2\x80\xA6";

std::vector<std::string> recent_folders;

void RememberFolder(const std::string& folder)
{
    std::erase(recent_folders, folder);
    recent_folders.insert(recent_folders.begin(), folder);
    if (recent_folders.size() > RecentFolderCount)
        recent_folders.resize(RecentFolderCount);
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? WithTrailingSeparator(home) : "/";
}

bool HasWildcard(const std::string& text)
{
    return text.find_first_of("*?") != std::string::npos;
}

// The end of text (a path's last folders) when all of it is wider than width.
std::string KeepEnd(const TZAVglutWigits_Font& font, const std::string& text, int32_t width)
{
    if (font.TextWidth(text) <= width)
        return text;
    size_t start = 0;
    while (start < text.size() && font.TextWidth(Ellipsis + text.substr(start)) > width)
        start++;
    // Not in the middle of a UTF-8 sequence.
    while (start < text.size() && (static_cast<uint8_t>(text[start]) & 0xC0) == 0x80)
        start++;
    return Ellipsis + text.substr(start);
}

std::string FolderTitle(const std::string& folder)
{
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == PathSeparator)
        trimmed.pop_back();
    const std::string name = NameOf(trimmed);
    return name.empty() ? trimmed : name;
}

// [SECTION] Parts

// A row of one of the chooser's lists; it tells the chooser of clicks and double clicks.
class TChooserRow : public TZAVglutWigits_ListItem
{
public:
    TChooserRow(TZAVglutWigits_FileChooser* chooser, TZAVglutWigits_ListBox* list, std::string_view text)
        : TZAVglutWigits_ListItem(list, text), Chooser(chooser)
    {
        Draggable = false;
    }
    bool OnClick(int32_t x, int32_t y) override
    {
        const bool result = TZAVglutWigits_ListItem::OnClick(x, y);
        Chooser->RowClicked(GetListBox(), GetIndex());
        return result;
    }
    bool OnDoubleClick(int32_t, int32_t) override
    {
        ClickDelivered = true;
        Chooser->RowOpened(GetListBox(), GetIndex());
        return true;
    }

private:
    TZAVglutWigits_FileChooser* Chooser;
};

// Enter confirms the name; Escape over untouched text is left to the chooser's Cancel.
class TNameField : public TZAVglutWigits_EditField
{
public:
    TNameField(TZAVglutWigits_FileChooser* chooser, std::string_view text)
        : TZAVglutWigits_EditField(chooser, text), Chooser(chooser)
    {
    }
    bool OnKey(int32_t key) override
    {
        if (key == DialogKeyEnter) {
            Commit();
            Chooser->Defer([chooser = Chooser] { chooser->Confirm(); });
            return true;
        }
        if (key == DialogKeyEscape && !Edited)
            return false;
        return TZAVglutWigits_EditField::OnKey(key);
    }

private:
    TZAVglutWigits_FileChooser* Chooser;
};

// The filter selector: a button that drops its list, and shows it with the arrow of a menu button.
class TFilterButton : public TZAVglutWigits_DialogButton
{
public:
    TFilterButton(TZAVglutWigits_Node* parent, std::string_view text, std::function<void()> action)
        : TZAVglutWigits_DialogButton(parent, text, std::move(action))
    {
        LabelAlignment = TZAVglutWigits_Alignment::Left;
    }
    void Draw() override
    {
        TZAVglutWigits_DialogButton::Draw();
        DrawMenuArrow();
    }
};

} // namespace

// [SECTION] Paths and recent folders

const std::vector<std::string>& RecentChooserFolders()
{
    return recent_folders;
}

std::string ResolveChooserPath(const std::string& folder, const std::string& path)
{
    std::string full;
    if (!path.empty() && path[0] == PathSeparator)
        full = path;
    else if (path == "~" || path.starts_with("~/"))
        full = HomeFolder() + path.substr(std::min<size_t>(2, path.size()));
    else
        full = WithTrailingSeparator(folder.empty() ? HomeFolder() : folder) + path;
    std::vector<std::string> parts;
    size_t position = 0;
    while (position <= full.size()) {
        size_t end = full.find(PathSeparator, position);
        if (end == std::string::npos)
            end = full.size();
        const std::string part = full.substr(position, end - position);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        position = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += PathSeparator + part;
    return result.empty() ? std::string(1, PathSeparator) : result;
}

// [SECTION] Building

TZAVglutWigits_FileChooser::TZAVglutWigits_FileChooser(TZAVglutWigits_Node* parent,
                                                       const TZAVDialogRequest& request)
    : TZAVglutWigits_DialogWindow(parent, request.Title.c_str()), Kind(request.Kind),
      Entries(SplitDialogFilter(request.Filter)), DefaultExtension(request.DefaultExtension),
      MustExist(request.MustExist), PromptOverwrite(request.PromptOverwrite)
{
    if (Entries.empty())
        Entries.push_back({"All files", "*.*"});
    Filter = std::clamp(request.FilterIndex, 0, static_cast<int32_t>(Entries.size()) - 1);
    Width = ChooserWidth;
    const int32_t row_height = ButtonHeight();
    const int32_t title_width = std::max(TextWidth("Folder:"), TextWidth("Places:")) + 2 * HorizontalPadding;
    const int32_t path_x = Margin + title_width + Gap;
    PlaceNode(new TZAVglutWigits_Text(this, "Folder:"), Margin, Margin, title_width, row_height)->AutoSize =
        false;
    FolderLabel =
        PlaceNode(new TZAVglutWigits_Text(this, ""), path_x, Margin, Width - path_x - Margin, row_height);
    FolderLabel->AutoSize = false;

    const std::string start_folder = request.StartFolder.empty()
                                         ? std::string()
                                         : WithTrailingSeparator(ResolveChooserPath("", request.StartFolder));
    const int32_t places_top = Margin + row_height + Gap;
    PlaceNode(new TZAVglutWigits_Text(this, "Places:"), Margin, places_top, title_width, row_height)->AutoSize =
        false;
    BuildPlaces(path_x, places_top, start_folder);
    const int32_t lists_top = places_top + row_height + Gap;
    BuildLists(lists_top, ListHeight);
    BuildBottomRows(lists_top + LineHeight() + 4 + ListHeight + Gap);
    NameField->SetText(request.DefaultName, false);

    std::string first = FolderExists(start_folder) ? start_folder : std::string();
    if (first.empty() && !recent_folders.empty() && FolderExists(recent_folders.front()))
        first = recent_folders.front();
    if ((first.empty() || !ShowFolder(first)) && !ShowFolder(HomeFolder()))
        ShowFolder("/");
}

void TZAVglutWigits_FileChooser::BuildPlaces(int32_t left, int32_t top, const std::string& start_folder)
{
    std::vector<std::string> places;
    if (!start_folder.empty())
        places.push_back(start_folder);
    for (const std::string& folder : recent_folders)
        if (std::find(places.begin(), places.end(), folder) == places.end())
            places.push_back(folder);
    // Four buttons at most, narrowed to the chooser's width.
    const int32_t count = static_cast<int32_t>(places.size());
    const int32_t width = count > 0 ? std::min(PlaceButtonWidth, (Width - Margin - left) / count - Gap) : 0;
    int32_t x = left;
    for (const std::string& folder : places) {
        const std::string title = KeepEnd(Font(), FolderTitle(folder), width - 4 * HorizontalPadding);
        auto* button =
            AddButton(this, title, [this, folder] { Defer([this, folder] { ShowFolder(folder); }); });
        button->SetCaptionLiteral(folder);
        button->X = x;
        button->Y = top;
        button->Width = width;
        x += width + Gap;
        PlaceButtons.push_back(button);
    }
}

void TZAVglutWigits_FileChooser::BuildLists(int32_t top, int32_t height)
{
    const int32_t list_top = top + LineHeight() + 4;
    const int32_t files_x = Margin + FolderListWidth + Gap;
    auto* folders_title = new TZAVglutWigits_Text(this, "Folders");
    folders_title->X = Margin;
    folders_title->Y = top;
    auto* files_title = new TZAVglutWigits_Text(this, "Files");
    files_title->X = files_x;
    files_title->Y = top;
    FolderList = PlaceNode(new TZAVglutWigits_ListBox(this), Margin, list_top, FolderListWidth, height);
    FileList = PlaceNode(new TZAVglutWigits_ListBox(this), files_x, list_top, Width - files_x - Margin, height);
}

void TZAVglutWigits_FileChooser::BuildBottomRows(int32_t top)
{
    const int32_t row_height = ButtonHeight();
    const int32_t label_width = std::max(TextWidth("Name:"), TextWidth("Type:")) + 2 * HorizontalPadding;
    const int32_t field_x = Margin + label_width + Gap;
    const int32_t buttons_x = Width - Margin - ButtonWidth();
    PlaceNode(new TZAVglutWigits_Text(this, "Name:"), Margin, top, label_width, row_height)->AutoSize = false;
    NameField = PlaceNode(new TNameField(this, ""), field_x, top, buttons_x - Gap - field_x, row_height);
    OkButton = AddButton(this, Kind == TZAVDialogKind::SaveFile ? "Save" : "Open",
                         [this] { Defer([this] { Confirm(); }); });
    const int32_t second_row = top + row_height + Gap;
    CancelButton = AddButton(this, "Cancel", [this] { Decline(); });
    OkButton->X = CancelButton->X = buttons_x;
    OkButton->Y = top;
    CancelButton->Y = second_row;
    OkButton->HotKey = DialogKeyEnter;
    CancelButton->HotKey = DialogKeyEscape;
    OkButton->HotKeyIgnoreModifiers = CancelButton->HotKeyIgnoreModifiers = true;
    Height = second_row + row_height + Margin;

    PlaceNode(new TZAVglutWigits_Text(this, "Type:"), Margin, second_row, label_width, row_height)->AutoSize =
        false;
    const int32_t filter_width = std::min(FilterButtonWidth, buttons_x - Gap - field_x);
    if (Entries.size() == 1) {
        PlaceNode(new TZAVglutWigits_Text(this, KeepEnd(Font(), Entries[0].Description, filter_width)), field_x,
              second_row, filter_width, row_height)
            ->AutoSize = false;
        return;
    }
    FilterButton = new TFilterButton(this, Entries[size_t(Filter)].Description, [this] {
        FilterList->Shown ? FilterList->Hide() : FilterList->Show();
        FilterList->BringToFront();
    });
    PlaceNode(FilterButton, field_x, second_row, filter_width, row_height);
    FilterList = new TZAVglutWigits_ListBox(nullptr);
    AddFloatingChild(FilterList);
    for (const TZAVDialogFilterEntry& entry : Entries)
        new TChooserRow(this, FilterList, entry.Description);
    const int32_t rows = std::min(static_cast<int32_t>(Entries.size()), FilterRowsShown);
    const int32_t list_height = rows * FilterList->ItemHeight() + 2 * FilterList->BorderWidth;
    // It opens upwards, over the file list, since the chooser ends right below the selector.
    PlaceNode(FilterList, field_x, second_row - list_height, filter_width, list_height);
    FilterList->SelectIndex(Filter);
    FilterList->Shown = false;
}

void TZAVglutWigits_FileChooser::Opened()
{
    if (TZAVglutWigits_Master* master = GetMaster())
        master->SetFocus(NameField);
}

// The name follows a selection moved by the keys; the filter list closes when it loses the focus.
void TZAVglutWigits_FileChooser::Update()
{
    TZAVglutWigits_DialogWindow::Update();
    const TZAVglutWigits_ListItem* selected = FileList->GetSelected();
    if (selected != ShownSelection) {
        ShownSelection = selected;
        if (selected != nullptr)
            NameField->SetText(Files[size_t(selected->GetIndex())], false);
    }
    const TZAVglutWigits_Master* master = GetMaster();
    if (FilterList != nullptr && FilterList->Shown && master != nullptr && master->Focus != FilterList &&
        master->Focus != FilterButton && !FilterList->Contains(master->Focus))
        FilterList->Hide();
}

// [SECTION] Listing

bool TZAVglutWigits_FileChooser::ShowFolder(const std::string& folder)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<TZAVFolderEntry> entries;
    if (!ListFolder(folder, entries)) {
        Ask(TZAVDialogKind::Error, FormatText("The folder %s cannot be read.", folder.c_str()));
        return false;
    }
    Folder = WithTrailingSeparator(ResolveChooserPath("", folder));
    SubFolders.clear();
    Files.clear();
    if (Folder != "/")
        SubFolders.push_back("..");
    const std::string& patterns = Entries[size_t(Filter)].Pattern;
    for (const TZAVFolderEntry& entry : entries) {
        if (entry.Name.empty() || entry.Name[0] == '.')
            continue;
        if (entry.IsFolder)
            SubFolders.push_back(entry.Name);
        else if (MatchesFilePatterns(entry.Name, patterns))
            Files.push_back(entry.Name);
    }
    ShownSelection = nullptr;
    for (TZAVglutWigits_ListBox* list : {FolderList, FileList}) {
        list->Clear();
        for (const std::string& name : list == FolderList ? SubFolders : Files)
            new TChooserRow(this, list, name);
        list->ScrollBar->SetScrollPosition(0);
        list->Layout();
    }
    FolderLabel->SetText(KeepEnd(Font(), Folder, FolderLabel->Width - 2 * FolderLabel->HorizontalPadding),
                         false);
    ListingMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Invalidate();
    return true;
}

void TZAVglutWigits_FileChooser::SelectFilter(int32_t index)
{
    if (index < 0 || index >= static_cast<int32_t>(Entries.size()))
        return;
    Filter = index;
    if (FilterButton != nullptr)
        FilterButton->SetText(Entries[size_t(index)].Description, false);
    if (FilterList != nullptr)
        FilterList->SelectIndex(index);
    ShowFolder(Folder);
}

void TZAVglutWigits_FileChooser::RowClicked(TZAVglutWigits_ListBox* list, int32_t index)
{
    if (list == FileList && index >= 0 && index < static_cast<int32_t>(Files.size())) {
        NameField->SetText(Files[size_t(index)], false);
        ShownSelection = FileList->GetSelected();
    } else if (list == FilterList) {
        FilterList->Hide();
        Defer([this, index] { SelectFilter(index); });
    }
}

void TZAVglutWigits_FileChooser::RowOpened(TZAVglutWigits_ListBox* list, int32_t index)
{
    if (list == FolderList && index >= 0 && index < static_cast<int32_t>(SubFolders.size())) {
        const std::string folder = ResolveChooserPath(Folder, SubFolders[size_t(index)]);
        Defer([this, folder] { ShowFolder(folder); });
    } else if (list == FileList && index >= 0 && index < static_cast<int32_t>(Files.size())) {
        NameField->SetText(Files[size_t(index)], false);
        Defer([this] { Confirm(); });
    } else if (list == FilterList) {
        RowClicked(list, index);
    }
}

// [SECTION] Choosing

bool TZAVglutWigits_FileChooser::Ask(TZAVDialogKind kind, const std::string& text)
{
    if (!AskUser)
        return false;
    TZAVDialogRequest request;
    request.Kind = kind;
    request.Title = kind == TZAVDialogKind::Error ? "Error..." : "Confirm...";
    request.Text = text;
    return AskUser(request).Accepted;
}

// Completes the extension and asks what must be asked; false keeps the chooser open.
bool TZAVglutWigits_FileChooser::CheckChoice(std::string& path)
{
    const std::string folder = FolderOf(path);
    if (!FolderExists(folder)) {
        Ask(TZAVDialogKind::Error, FormatText("The folder %s does not exist.", folder.c_str()));
        return false;
    }
    const bool without_extension = WithoutExtension(path) == path && !DefaultExtension.empty();
    if (without_extension && (Kind == TZAVDialogKind::SaveFile || !FileExists(path)))
        path += "." + DefaultExtension;
    if (MustExist && !FileExists(path)) {
        Ask(TZAVDialogKind::Error,
            FormatText("%s\nFile not found.\nCheck the file name and try again.", NameOf(path).c_str()));
        return false;
    }
    if (PromptOverwrite && FileExists(path))
        return Ask(
            TZAVDialogKind::YesNo,
            FormatText("The file %s already exists.\nDo you want to replace it?", NameOf(path).c_str()));
    return true;
}

void TZAVglutWigits_FileChooser::Confirm()
{
    std::string name = NameField->GetText();
    const size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string()
                                      : name.substr(first, name.find_last_not_of(' ') - first + 1);
    if (name.empty() || HasWildcard(name))
        return;
    std::string path = ResolveChooserPath(Folder, name);
    if (FolderExists(path)) {
        if (ShowFolder(path))
            NameField->SetText("", false);
        return;
    }
    if (!CheckChoice(path))
        return;
    Answer.Path = path;
    Answer.FilterIndex = Filter;
    RememberFolder(FolderOf(path));
    Accept();
}
