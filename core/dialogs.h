// Message boxes and the colour, open and save dialogs.
//
// Every dialog goes through one presenter. The default presenter writes to stderr and answers
// every question negatively (no window yet, or no display); the widget toolkit installs the
// drawn windows, and tests install a scripted responder. While a dialog is up the dialog-open
// flag is set and the host's BeforeDialog/AfterDialog callbacks bracket it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TZAVDialogHost
{
    int32_t Reserved = 0;
    void (*BeforeDialog)() = nullptr;
    void (*AfterDialog)() = nullptr;
    void* Owner = nullptr;
};

// The process-wide host; the application installs its callbacks at start-up.
extern TZAVDialogHost GlobalDialogHost;

// Set while any message box or dialog is open (error boxes included); other parts ignore input
// meanwhile.
extern uint8_t DialogOpenFlag;

// Runs BeforeDialog on construction and AfterDialog on destruction.
class TZAVDialogGuard
{
public:
    explicit TZAVDialogGuard(const TZAVDialogHost& host);
    ~TZAVDialogGuard();
    TZAVDialogGuard(const TZAVDialogGuard&) = delete;
    TZAVDialogGuard& operator=(const TZAVDialogGuard&) = delete;

private:
    void (*AfterDialog)();
};

// Serialises dialogs: two never open at once. Not re-entrant: a second lock taken by the thread
// that already holds it is refused (Acquired() is false) instead of deadlocking, and the dialog
// it guards does not open.
class TZAVThreadLock
{
public:
    TZAVThreadLock();
    ~TZAVThreadLock();
    TZAVThreadLock(const TZAVThreadLock&) = delete;
    TZAVThreadLock& operator=(const TZAVThreadLock&) = delete;
    bool Acquired() const { return Held; }

private:
    bool Held = false;
};

enum class TZAVDialogKind : int32_t
{
    Error,
    Message,
    YesNo,
    OkCancel,
    Colour,
    OpenFile,
    SaveFile,
};

// What a dialog asks. For file dialogs `Filter` is the list of (description, pattern) pairs and
// `FilterIndex` the 0-based entry to preselect; open dialogs set MustExist, save dialogs
// PromptOverwrite. Message boxes and questions carry Title and Text only.
struct TZAVDialogRequest
{
    TZAVDialogKind Kind = TZAVDialogKind::Message;
    std::string Title;
    std::string Text;
    // colour dialog
    bool HasInitialColour = false;
    uint8_t InitialColour[3] = {0, 0, 0};
    uint8_t* CustomColours = nullptr; // 16 RGB triples kept between calls
    // file dialogs
    std::string StartFolder;
    std::string DefaultName;
    std::string DefaultExtension;
    std::string Filter; // "description\0pattern\0...\0"
    int32_t FilterIndex = 0;
    bool MustExist = false;
    bool PromptOverwrite = false;
};

// The user's answer. `Accepted` is Yes / OK; false is No / Cancel / closed.
struct TZAVDialogAnswer
{
    bool Accepted = false;
    uint8_t Colour[3] = {0, 0, 0};
    std::string Path;
    int32_t FilterIndex = 0; // 0-based entry the user ended with
};

struct TZAVDialogFilterEntry
{
    std::string Description;
    std::string Pattern;
};

// Splits a NUL-separated filter list into its entries; an unpaired description is dropped.
std::vector<TZAVDialogFilterEntry> SplitDialogFilter(const std::string& filter);

class TZAVDialogPresenter
{
public:
    virtual ~TZAVDialogPresenter() = default;
    virtual TZAVDialogAnswer Present(const TZAVDialogRequest& request) = 0;
};

// Work on a side thread (reading a project ahead of need) must not open the drawn dialogs or
// write to the message panel, which belong to the window's thread. While a quiet scope lives on a
// thread, that thread's dialogs go to stderr with the negative answer and its message lines stay
// in the status sink; Interrupted() tells the worker that something wanted the user, so that the
// work can be done again in the open.
class TZAVQuietThread
{
public:
    TZAVQuietThread();
    ~TZAVQuietThread();
    TZAVQuietThread(const TZAVQuietThread&) = delete;
    TZAVQuietThread& operator=(const TZAVQuietThread&) = delete;
    bool Interrupted() const;
};
// True on a thread inside a quiet scope; the dialogs and the status lines count themselves here.
bool NoteQuietInterruption();

// Installs a presenter (null restores the default one); returns the previous one, null when that
// was the default, so that handing the result back restores it.
TZAVDialogPresenter* SetDialogPresenter(TZAVDialogPresenter* presenter);

void ShowError(const TZAVDialogHost& host, const char* format, ...) __attribute__((format(printf, 2, 3)));
void ShowMessage(const TZAVDialogHost& host, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool AskYesNo(const TZAVDialogHost& host, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool AskOkCancel(const TZAVDialogHost& host, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Beep();

// colour and initial are RGB in 0..1; initial may be null.
bool ChooseColour(const TZAVDialogHost& host, float* colour, const float* initial);

bool AskOpenFileName(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                     const char* description, const char* extension, const char* default_name,
                     bool remember_folder);
bool AskSaveFileName(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                     const char* description, const char* extension, const char* default_name,
                     bool remember_folder);
// filter_list: pairs of description and pattern, each ended by NUL, the list by an extra NUL.
bool AskOpenFileNameFromList(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                             const char* filter_list, const char* default_name, bool remember_folder,
                             int32_t* filter_index = nullptr);
bool AskSaveFileNameFromList(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                             const char* filter_list, const char* default_name, bool remember_folder,
                             int32_t* filter_index = nullptr);

// Replaces the characters a file name may not hold by '_'.
std::string CleanFileName(const char* name);

// Finds a missing file: as named, beside the hint folder, or by asking the user.
bool LocateFile(const TZAVDialogHost& host, std::string& path, const char* hint_folder);

// Opens a document or web page with the desktop's default program.
bool OpenDocument(const TZAVDialogHost& host, const char* path);

// Crash marker: a file in the state folder, present while a file dialog is open, so that it
// survives a crash inside one.
bool DialogCrashMarkerPresent();
void SetDialogCrashMarker();
void ClearDialogCrashMarker();
